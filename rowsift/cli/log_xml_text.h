// The log's text as XML text: the log's code page decoded, its character
// references and indent marks decoded, and what XML cannot take as it is
// escaped or replaced, so that whatever a log holds makes well-formed
// UTF-8.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "simd.h"

namespace rowsift {

// The log's bytes as UTF-8. What the log's code page cannot map becomes
// U+FFFD.
using LogTextDecoder = std::function<std::string(std::string_view bytes)>;

// Appends the text of a cell (its tags already removed) to `text` as UTF-8:
// the code page decoded, character references and indent marks decoded,
// line breaks as spaces, white space trimmed. Returns where it begins: the
// size `text` had.
std::size_t AppendCellText(std::string_view bytes, const LogTextDecoder& decode, std::string& text);

// Appends UTF-8 `text` escaped for an attribute's value or for an element's
// text. The characters XML forbids, and what is not UTF-8, become U+FFFD.
void AppendEscaped(std::string_view text, bool attribute, std::string& xml);

#if ROWSIFT_SSE2
// The bytes of the sixteen at `at` that are not plain XML text, a bit each:
// kXmlSpecial's bytes (log_xml_text.cpp), sixteen at once.
inline unsigned NotPlainXmlBlock(const char* at) {
  const __m128i bytes = simd::Load(at);
  // Below 0x20, and from 0x80 on, as signed bytes.
  __m128i marks = _mm_or_si128(_mm_cmplt_epi8(bytes, simd::Splat(0x20)),
                               _mm_cmpeq_epi8(bytes, simd::Splat(0x7F)));
  for (const char special : {'<', '>', '&', '"', '\''})
    marks = _mm_or_si128(marks, _mm_cmpeq_epi8(bytes, simd::Splat(special)));
  return simd::Mask(marks);
}
#endif

// IsPlainXml for a text of any length.
[[nodiscard]] bool IsLongTextPlainXml(std::string_view text, std::size_t readable);

// Whether UTF-8 `text` goes into XML as it is, and is a cell's text as it
// is: printable ASCII without "<", ">", "&" or quotes. `readable` bytes may
// be read from its start (at least its size); sixteen at a time where that
// many may, the usual cell's text in a step or two, inline.
[[nodiscard]] inline bool IsPlainXml(std::string_view text, std::size_t readable) {
#if ROWSIFT_SSE2
  if (text.size() <= 16 && readable >= 16)
    return (NotPlainXmlBlock(text.data()) & ((1u << text.size()) - 1)) == 0;
  if (text.size() <= 32 && readable >= 32) {
    const unsigned inSecond = (1u << (text.size() - 16)) - 1;
    return (NotPlainXmlBlock(text.data()) | (NotPlainXmlBlock(text.data() + 16) & inSecond)) == 0;
  }
#endif
  return IsLongTextPlainXml(text, readable);
}

// Appends a cell's text (its tags already dropped) as an attribute's value;
// `scratch` is working space.
void AppendCellXml(std::string_view cell, const LogTextDecoder& decode, std::string& scratch,
                   std::string& xml);

// The text of the <TITLE> in a log's head; empty where it has none.
[[nodiscard]] std::string TitleOf(std::string_view head, const LogTextDecoder& decode);

}  // namespace rowsift
