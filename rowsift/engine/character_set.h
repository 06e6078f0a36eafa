// The characters of 8-bit text in a system code page. Logs are written in the
// system code page; under the double-byte code pages of East Asian Windows
// (932, 936, 949 and 950, and EUC-KR, 51949) a character may take two bytes,
// and its second byte may look like an ASCII letter. Under the other code
// pages, and in UTF-8 as far as ASCII is concerned, each ASCII byte is a
// character of its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace rowsift {

class CharacterSet {
 public:
  // One byte, one character.
  CharacterSet() = default;
  // Double-byte for 932, 936, 949, 950 and 51949; one byte, one character
  // for the code pages that have no wider characters. Nothing for those whose
  // characters may take three or four bytes, or whose bytes change meaning
  // with a shift state (GB 18030, Johab, EUC-JP, ISO-2022, HZ, UTF-7): a match
  // could start inside a character there.
  [[nodiscard]] static std::optional<CharacterSet> ForCodePage(unsigned codePage);

  bool DoubleByte() const { return doubleByte_; }

  // The length of the character that starts at text[at]: 2 for a lead byte
  // followed by a byte that may end a character of the code page, 1 for
  // anything else (a lead byte without a valid second byte stands alone).
  [[nodiscard]] std::size_t LengthAt(std::string_view text, std::size_t at) const {
    if (!doubleByte_ || !(kinds_[Byte(text[at])] & kLead) || at + 1 >= text.size()) return 1;
    return (kinds_[Byte(text[at + 1])] & kTrail) ? 2 : 1;
  }
  bool IsLeadByte(char c) const { return (kinds_[Byte(c)] & kLead) != 0; }
  bool IsTrailByte(char c) const { return (kinds_[Byte(c)] & kTrail) != 0; }

  // No byte below this is ever the second byte of a character, so the
  // position after such a byte always starts a character.
  static constexpr unsigned char kLowestTrailByte = 0x40;

 private:
  static unsigned char Byte(char c) { return static_cast<unsigned char>(c); }
  void Mark(unsigned first, unsigned last, std::uint8_t kind);

  static constexpr std::uint8_t kLead = 1;
  static constexpr std::uint8_t kTrail = 2;
  bool doubleByte_ = false;
  std::array<std::uint8_t, 256> kinds_{};
};

// Tells which positions of one text start a character, counting from the
// text's start. Positions must be asked in increasing order, so a whole text
// is walked at most once.
class CharacterStarts {
 public:
  CharacterStarts(const CharacterSet& characters, std::string_view text, std::size_t start = 0)
      : characters_(characters), text_(text), next_(start) {}

  // Starts over at `start`, a character start, for positions from there on.
  void Restart(std::size_t start) { next_ = start; }

  // Also true for the text's end, which ends its last character.
  [[nodiscard]] bool IsStart(std::size_t at) {
    return !characters_.DoubleByte() || IsStartOfDoubleByteText(at);
  }

 private:
  [[nodiscard]] bool IsStartOfDoubleByteText(std::size_t at);

  const CharacterSet& characters_;
  std::string_view text_;
  std::size_t next_;  // the first character start at or after the last position asked
};

}  // namespace rowsift
