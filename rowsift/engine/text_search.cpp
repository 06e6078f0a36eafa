#include "text_search.h"

#include <bit>
#include <cstring>

#include "simd.h"

namespace rowsift {
namespace {

constexpr std::size_t kNpos = std::string_view::npos;

bool EqualFolded(const char* text, std::string_view pattern) {
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (FoldAscii(static_cast<unsigned char>(text[i])) !=
        FoldAscii(static_cast<unsigned char>(pattern[i])))
      return false;
  }
  return true;
}

// Calls visit(position) for every position p in [from, last] where both
// anchors of a pattern are in place (text[p + offset] | caseBit == folded),
// in increasing order, until visit returns true; returns that position or
// npos. The bytes compared must lie inside the text: last + the larger
// offset < text.size().
template <typename Visit>
std::size_t FindCandidate(std::string_view text, std::size_t from, std::size_t last,
                          const FilterPattern::Anchor& a, const FilterPattern::Anchor& b,
                          Visit&& visit) {
  std::size_t p = from;
#if ROWSIFT_SSE2
  const __m128i caseA = simd::Splat(a.caseBit), wantA = simd::Splat(a.folded);
  const __m128i caseB = simd::Splat(b.caseBit), wantB = simd::Splat(b.folded);
  for (; p + 16 <= last + 1; p += 16) {
    const __m128i atA = _mm_or_si128(simd::Load(text.data() + p + a.offset), caseA);
    const __m128i atB = _mm_or_si128(simd::Load(text.data() + p + b.offset), caseB);
    for (unsigned mask =
             simd::Mask(_mm_and_si128(_mm_cmpeq_epi8(atA, wantA), _mm_cmpeq_epi8(atB, wantB)));
         mask != 0; mask &= mask - 1) {
      const std::size_t candidate = p + static_cast<std::size_t>(std::countr_zero(mask));
      if (visit(candidate)) return candidate;
    }
  }
#endif
  for (; p <= last; ++p) {
    if ((static_cast<unsigned char>(text[p + a.offset]) | a.caseBit) == a.folded &&
        (static_cast<unsigned char>(text[p + b.offset]) | b.caseBit) == b.folded && visit(p))
      return p;
  }
  return kNpos;
}

FilterPattern::Anchor AnchorAt(std::string_view pattern, std::size_t offset, bool foldable) {
  const auto byte = static_cast<unsigned char>(pattern[offset]);
  if (foldable) return {offset, static_cast<unsigned char>(FoldAscii(byte) | 0x20), 0x20};
  return {offset, byte, 0};
}

// How common a byte is in a results log: markup, spaces and the frequent
// letters first. Letters are ranked case-folded; unlisted bytes are rarest.
std::size_t Commonness(unsigned char byte) {
  constexpr std::string_view kMostCommonFirst =
      " <>/tdreaoinshlcumpfgwybvk\r\n0123456789=\"'.:,;-&#xjqz_()[]";
  const std::size_t rank = kMostCommonFirst.find(static_cast<char>(FoldAscii(byte)));
  return rank == kNpos ? 0 : kMostCommonFirst.size() - rank;
}

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && EqualFolded(a.data(), b);
}

std::size_t FindIgnoreCase(std::string_view text, std::string_view pattern, std::size_t from) {
  if (pattern.empty()) return from <= text.size() ? from : kNpos;
  if (pattern.size() > text.size() || from > text.size() - pattern.size()) return kNpos;
  // The first and the last byte are compared sixteen starts at a time; only
  // the candidates are checked in full.
  const auto anchor = [&](std::size_t offset) {
    return AnchorAt(pattern, offset, IsAsciiLetter(static_cast<unsigned char>(pattern[offset])));
  };
  const std::string_view middle = pattern.substr(1);
  return FindCandidate(text, from, text.size() - pattern.size(), anchor(0),
                       anchor(pattern.size() - 1),
                       [&](std::size_t p) { return EqualFolded(text.data() + p + 1, middle); });
}

std::size_t RemoveAllIgnoreCase(std::string& text, std::size_t begin, std::size_t end,
                                std::string_view pattern) {
  std::string_view range(text.data() + begin, end - begin);
  std::size_t match = FindIgnoreCase(range, pattern);
  if (match == kNpos) return end;
  std::size_t write = begin + match;
  std::size_t read = write + pattern.size();
  while ((match = FindIgnoreCase(range, pattern, read - begin)) != kNpos) {
    const std::size_t keep = begin + match - read;
    std::memmove(&text[write], &text[read], keep);
    write += keep;
    read = begin + match + pattern.size();
  }
  std::memmove(&text[write], &text[read], end - read);
  return write + (end - read);
}

FilterPattern::FilterPattern(std::string_view filter, const CharacterSet& characters)
    : filter_(filter), foldable_(filter.size(), '\0'), characters_(characters) {
  for (std::size_t at = 0; at < filter_.size();) {
    const std::size_t length = characters_.LengthAt(filter_, at);
    if (length == 1) {
      foldable_[at] = IsAsciiLetter(static_cast<unsigned char>(filter_[at])) ? 1 : 0;
      endsWithLeadByte_ = at + 1 == filter_.size() && characters_.IsLeadByte(filter_[at]);
    }
    at += length;
  }
  if (filter_.empty()) return;
  std::size_t rarest = 0;
  for (std::size_t at = 1; at < filter_.size(); ++at) {
    if (Commonness(static_cast<unsigned char>(filter_[at])) <
        Commonness(static_cast<unsigned char>(filter_[rarest])))
      rarest = at;
  }
  std::size_t next = rarest == 0 ? filter_.size() - 1 : 0;
  for (std::size_t at = 0; at < filter_.size(); ++at) {
    if (at != rarest && Commonness(static_cast<unsigned char>(filter_[at])) <
                            Commonness(static_cast<unsigned char>(filter_[next])))
      next = at;
  }
  first_ = AnchorAt(filter_, rarest, foldable_[rarest] != 0);
  second_ = AnchorAt(filter_, next, foldable_[next] != 0);
}

std::size_t FilterPattern::FindIn(std::string_view text, std::size_t from) const {
  if (filter_.empty()) return from <= text.size() ? from : kNpos;
  if (filter_.size() > text.size() || from > text.size() - filter_.size()) return kNpos;
  CharacterStarts starts(characters_, text, from);
  return FindCandidate(text, from, text.size() - filter_.size(), first_, second_,
                       [&](std::size_t p) { return MatchesAt(text, p) && starts.IsStart(p); });
}

void FilterPattern::AppendReplacingExact(std::string& output, std::string_view text,
                                         std::string_view replacement) const {
  std::size_t copied = 0;
  if (!filter_.empty()) {
    CharacterStarts starts(characters_, text);
    for (std::size_t at = text.find(filter_); at != kNpos; at = text.find(filter_, at + 1)) {
      if (!MatchesAt(text, at) || !starts.IsStart(at)) continue;
      output.append(text.substr(copied, at - copied));
      output.append(replacement);
      copied = at + filter_.size();
      at = copied - 1;
    }
  }
  output.append(text.substr(copied));
}

}  // namespace rowsift
