// The log's text as XML text: the log's code page decoded, its character
// references and indent marks decoded, and what XML cannot take as it is
// escaped or replaced, so that whatever a log holds makes well-formed
// UTF-8.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

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

// Whether UTF-8 `text` goes into XML as it is, and is a cell's text as it
// is: printable ASCII without "<", ">", "&" or quotes. `readable` bytes may
// be read from its start (at least its size); sixteen at a time where that
// many may.
[[nodiscard]] bool IsPlainXml(std::string_view text, std::size_t readable);

// Appends a cell's text (its tags already dropped) as an attribute's value;
// `scratch` is working space.
void AppendCellXml(std::string_view cell, const LogTextDecoder& decode, std::string& scratch,
                   std::string& xml);

// The text of the <TITLE> in a log's head; empty where it has none.
[[nodiscard]] std::string TitleOf(std::string_view head, const LogTextDecoder& decode);

}  // namespace rowsift
