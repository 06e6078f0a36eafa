#include "log_xml_text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <system_error>
#include <utility>

#include "kept_row_cells.h"
#include "simd.h"
#include "text_search.h"

namespace rowsift {
namespace {

constexpr std::size_t kNpos = std::string_view::npos;

// Bytes that a cell's text or the XML cannot take as they are.
struct ByteTable {
  bool marks[256] = {};
  constexpr ByteTable(std::string_view bytes, bool fromHigh, bool controls) {
    for (const char c : bytes) marks[static_cast<unsigned char>(c)] = true;
    for (int c = 0; c < 256; ++c) {
      if ((fromHigh && c >= 0x7F) || (controls && c < 0x20)) marks[c] = true;
    }
  }
  bool operator[](char c) const { return marks[static_cast<unsigned char>(c)]; }
};
constexpr ByteTable kCellSpecial("&\r\n\t", false, false);
constexpr ByteTable kXmlSpecial("&<>\"'", true, true);

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The character a reference at text[at] ("&amp;", "&#233;", "&#xE9;", and
// the log's indent mark "&nbsp" without its semicolon) stands for, and its
// length; nothing where it is no reference.
std::optional<std::pair<char32_t, std::size_t>> Reference(std::string_view text, std::size_t at) {
  static constexpr std::pair<std::string_view, char32_t> kNamed[] = {
      {"&amp;", '&'},   {"&lt;", '<'},    {"&gt;", '>'},  {"&quot;", '"'},
      {"&apos;", '\''}, {"&nbsp;", 0xA0}, {"&nbsp", 0xA0}};
  const std::string_view rest = text.substr(at);
  if (rest.size() < 3) return std::nullopt;
  if (rest[1] != '#') {
    const unsigned char first = FoldAscii(static_cast<unsigned char>(rest[1]));
    for (const auto& [name, c] : kNamed) {
      if (static_cast<unsigned char>(name[1]) == first && rest.size() >= name.size() &&
          EqualsIgnoreCase(rest.substr(0, name.size()), name))
        return std::pair{c, name.size()};
    }
    return std::nullopt;
  }
  if (rest.size() < 4) return std::nullopt;
  const bool hex = rest[2] == 'x' || rest[2] == 'X';
  const std::size_t digits = hex ? 3 : 2;
  const std::size_t end = rest.find(';', digits);
  if (end == kNpos || end == digits || end > digits + 8) return std::nullopt;
  std::uint32_t value = 0;
  const auto [stop, error] =
      std::from_chars(rest.data() + digits, rest.data() + end, value, hex ? 16 : 10);
  if (error != std::errc() || stop != rest.data() + end) return std::nullopt;
  return std::pair{static_cast<char32_t>(value), end + 1};
}

}  // namespace

std::size_t AppendCellText(std::string_view bytes, const LogTextDecoder& decode,
                           std::string& text) {
  bytes = Trimmed(bytes);
  std::string decoded;
  if (std::any_of(bytes.begin(), bytes.end(), [](char c) { return c & 0x80; })) {
    decoded = decode(bytes);
    bytes = decoded;
  }
  const std::size_t begin = text.size();
  std::size_t plain = 0;  // the start of bytes that go in as they are
  for (std::size_t at = 0; at < bytes.size();) {
    const char c = bytes[at];
    if (!kCellSpecial[c]) {
      ++at;
      continue;
    }
    text.append(bytes.substr(plain, at - plain));
    if (c != '&') {
      text += ' ';
      ++at;
    } else if (const auto reference = Reference(bytes, at)) {
      AppendUtf8(reference->first, text);
      at += reference->second;
    } else {
      text += c;
      ++at;
    }
    plain = at;
  }
  text.append(bytes.substr(plain));
  // The no-break spaces of indent marks, at either end.
  const auto noBreakSpaceAt = [&](std::size_t at) {
    return text.size() - at >= 2 && text[at] == '\xC2' && text[at + 1] == '\xA0';
  };
  std::size_t first = begin;
  for (;;) {
    if (first < text.size() && IsSpace(text[first])) {
      ++first;
    } else if (noBreakSpaceAt(first)) {
      first += 2;
    } else {
      break;
    }
  }
  if (first != begin) text.erase(begin, first - begin);
  for (;;) {
    if (text.size() > begin && IsSpace(text.back())) {
      text.pop_back();
    } else if (text.size() - begin >= 2 && noBreakSpaceAt(text.size() - 2)) {
      text.resize(text.size() - 2);
    } else {
      break;
    }
  }
  return begin;
}

void AppendEscaped(std::string_view text, bool attribute, std::string& xml) {
  static constexpr char kReplacement[] = "\xEF\xBF\xBD";
  for (std::size_t at = 0; at < text.size();) {
    // A run that needs nothing done goes in whole.
    std::size_t plain = at;
    while (plain < text.size() && !kXmlSpecial[text[plain]]) ++plain;
    xml.append(text.substr(at, plain - at));
    at = plain;
    if (at == text.size()) break;
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
      switch (lead) {
        case '&':
          xml += "&amp;";
          break;
        case '<':
          xml += "&lt;";
          break;
        case '>':
          xml += "&gt;";
          break;
        case '"':
          xml += attribute ? "&quot;" : "\"";
          break;
        case '\'':
          xml += attribute ? "&apos;" : "'";
          break;
        case '\t':
          xml += attribute ? "&#9;" : "\t";
          break;
        case '\n':
          xml += attribute ? "&#10;" : "\n";
          break;
        case '\r':
          xml += "&#13;";
          break;
        default:
          if (lead < 0x20 || lead == 0x7F) {
            xml += kReplacement;
          } else {
            xml += static_cast<char>(lead);
          }
      }
      ++at;
      continue;
    }
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    char32_t c = lead & (0x7F >> length);
    bool valid = lead >= 0xC2 && lead <= 0xF4 && at + length <= text.size();
    for (std::size_t i = 1; valid && i < length; ++i) {
      const auto next = static_cast<unsigned char>(text[at + i]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    const char32_t lowest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    valid = valid && c >= lowest && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF) && c != 0xFFFE &&
            c != 0xFFFF;
    if (!valid) {
      xml += kReplacement;
      ++at;
      while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
      continue;
    }
    xml.append(text.substr(at, length));
    at += length;
  }
}

bool IsLongTextPlainXml(std::string_view text, std::size_t readable) {
  std::size_t at = 0;
#if ROWSIFT_SSE2
  constexpr std::size_t kBlock = 16;
  for (; at < text.size() && readable - at >= kBlock; at += kBlock) {
    const std::size_t inText = std::min(kBlock, text.size() - at);
    if ((NotPlainXmlBlock(text.data() + at) & ((1u << inText) - 1)) != 0) return false;
  }
#endif
  for (; at < text.size(); ++at) {
    if (kXmlSpecial[text[at]]) return false;
  }
  return true;
}

// The usual name or number, ASCII without references behind its indent
// marks, goes in as it is.
void AppendCellXml(std::string_view cell, const LogTextDecoder& decode, std::string& scratch,
                   std::string& xml) {
  while (StartsWithFolded(cell, "&nbsp")) {
    cell = Trimmed(cell.substr(cell.size() > 5 && cell[5] == ';' ? 6 : 5));
  }
  if (IsPlainXml(cell, cell.size())) {
    xml += cell;
    return;
  }
  scratch.clear();
  AppendCellText(cell, decode, scratch);
  AppendEscaped(scratch, true, xml);
}

std::string TitleOf(std::string_view head, const LogTextDecoder& decode) {
  const std::size_t open = FindIgnoreCase(head, "<title");
  if (open == kNpos) return {};
  const std::size_t textStart = head.find('>', open);
  if (textStart == kNpos) return {};
  const std::size_t close = FindIgnoreCase(head, "</title", textStart);
  if (close == kNpos) return {};
  std::string withoutTags;
  const std::string_view inner = head.substr(textStart + 1, close - textStart - 1);
  for (std::size_t at = 0; at < inner.size();) {
    const std::size_t open = inner.find('<', at);
    withoutTags.append(inner.substr(at, open - at));
    if (open == kNpos) break;
    const std::size_t end = inner.find('>', open);
    if (end == kNpos) {
      withoutTags.append(inner.substr(open));
      break;
    }
    at = end + 1;
  }
  std::string title;
  AppendCellText(withoutTags, decode, title);
  return title;
}

}  // namespace rowsift
