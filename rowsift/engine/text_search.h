// Searching 8-bit text with the ASCII letters matched in either case: the
// markup searches of the log grammar (tags and line breaks, which are safe in
// every code page: none of their bytes can end a two-byte character), and the
// search for the user's filter text, which must respect the characters of the
// system code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "character_set.h"

namespace rowsift {

[[nodiscard]] inline unsigned char FoldAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

[[nodiscard]] inline bool IsAsciiLetter(unsigned char c) {
  return FoldAscii(c) >= 'a' && FoldAscii(c) <= 'z';
}

// The four bytes at `at` as one word: four bytes of a tag compared at once,
// their letters' case bits set by or-ing in a word of 0x20s where they lie.
[[nodiscard]] inline std::uint32_t LoadWord(const char* at) {
  std::uint32_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

// Byte for byte, ASCII letters in either case.
[[nodiscard]] bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// First position at or after `from` where the markup `pattern` occurs, ASCII
// letters in either case; npos when there is none. An empty pattern occurs at
// `from`.
[[nodiscard]] std::size_t FindIgnoreCase(std::string_view text, std::string_view pattern,
                                         std::size_t from = 0);

// Removes every occurrence of `pattern` (ASCII letters in either case) from
// text[begin, end) in one left-to-right pass, as a text replace with nothing
// does: matches are found in the text as it was, so removing one never joins
// the text around it into a new match. Returns the new end of the range.
std::size_t RemoveAllIgnoreCase(std::string& text, std::size_t begin, std::size_t end,
                                std::string_view pattern);

// The filter text as typed, ready to be searched for. A match starts on a
// character and ends on a character's end; ASCII letters that are characters
// of their own match in either case, every other byte exactly.
class FilterPattern {
 public:
  explicit FilterPattern(std::string_view filter, const CharacterSet& characters = {});

  std::string_view Text() const { return filter_; }
  std::size_t size() const { return filter_.size(); }
  bool Empty() const { return filter_.empty(); }
  const CharacterSet& Characters() const { return characters_; }

  // The first match in `text` at or after `from`, which must start a
  // character of `text`; npos when there is none. The empty filter matches at
  // `from`.
  [[nodiscard]] std::size_t FindIn(std::string_view text, std::size_t from = 0) const;

  // Whether `text` is the filter but for the letter case.
  [[nodiscard]] bool EqualsIgnoringCase(std::string_view text) const {
    return text.size() == filter_.size() && MatchesAt(text, 0);
  }

  // Appends `text` with every occurrence spelled exactly as the filter
  // replaced by `replacement`, left to right, not overlapping. The empty
  // filter replaces nothing.
  void AppendReplacingExact(std::string& output, std::string_view text,
                            std::string_view replacement) const;

  // Whether the filter is found at text[at], ending on a character's end;
  // `at` must start a character of `text` (the caller knows).
  [[nodiscard]] bool MatchesAt(std::string_view text, std::size_t at) const {
    if (at > text.size() || text.size() - at < filter_.size()) return false;
    const char* const candidate = text.data() + at;
    for (std::size_t i = 0; i < filter_.size(); ++i) {
      if (candidate[i] != filter_[i] &&
          !(foldable_[i] && FoldAscii(static_cast<unsigned char>(candidate[i])) ==
                                FoldAscii(static_cast<unsigned char>(filter_[i]))))
        return false;
    }
    // A filter that ends in the first byte of a character cannot end inside
    // one of the text.
    const std::size_t end = at + filter_.size();
    return !(endsWithLeadByte_ && end < text.size() && characters_.IsTrailByte(text[end]));
  }

  // Two bytes of the filter, chosen for being rare in a log, that a scanner
  // compares sixteen positions at a time before it calls MatchesAt. A letter
  // is compared with its case bit set.
  struct Anchor {
    std::size_t offset = 0;
    unsigned char folded = 0;
    unsigned char caseBit = 0;
  };
  const Anchor& FirstAnchor() const { return first_; }
  const Anchor& SecondAnchor() const { return second_; }

 private:
  std::string filter_;
  std::string foldable_;  // 1 where a byte of the filter is a letter that matches in either case
  bool endsWithLeadByte_ = false;  // a two-byte character cut after its first byte
  CharacterSet characters_;
  Anchor first_;
  Anchor second_;
};

}  // namespace rowsift
