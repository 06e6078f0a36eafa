// The filter text's search: letter case, and the characters of the
// double-byte code pages, whose second bytes may look like ASCII letters.
#include "text_search.h"

#include <gtest/gtest.h>

#include "report_filter.h"

namespace rowsift {
namespace {

constexpr std::size_t kNpos = std::string_view::npos;
const CharacterSet kJapanese = CharacterSet::ForCodePage(932).value();

std::string Replaced(std::string_view text, const FilterPattern& filter) {
  std::string output;
  filter.AppendReplacingExact(output, text, "&nbsp");
  return output;
}

TEST(FilterPattern, MatchesLettersInEitherCaseAndOtherBytesExactly) {
  const FilterPattern filter("Caf\xE9 x");
  EXPECT_EQ(filter.FindIn("a CAF\xE9 X b"), 2u);
  EXPECT_EQ(filter.FindIn("a caf\xC9 x"), kNpos);
  EXPECT_EQ(FilterPattern("").FindIn("abc", 1), 1u);
  // Long enough for the sixteen-at-a-time search, with near misses on the way.
  const std::string text = std::string(100, 'c') + "caf\xE9 y caf\xE9 X";
  EXPECT_EQ(filter.FindIn(text), 107u);
}

TEST(FilterPattern, InADoubleByteCodePageMatchesOnlyAtCharacterStarts) {
  // 0x83 0x41 is one character whose second byte reads as 'A'.
  std::string text;
  for (int i = 0; i < 21; ++i)
    text +=
        "\x83"
        "A";
  text += "b Ab";
  EXPECT_EQ(FilterPattern("Ab").FindIn(text), 41u) << "single-byte: any byte starts a character";
  EXPECT_EQ(FilterPattern("Ab", kJapanese).FindIn(text), 44u);
  EXPECT_EQ(Replaced("\x83"
                     "AA",
                     FilterPattern("A", kJapanese)),
            "\x83"
            "A&nbsp");
  EXPECT_EQ(Replaced("\x83"
                     "AA",
                     FilterPattern("A")),
            "\x83&nbsp&nbsp");
}

TEST(FilterPattern, SecondBytesOfCharactersCompareExactly) {
  EXPECT_FALSE(FilterPattern("\x83"
                             "a",
                             kJapanese)
                   .EqualsIgnoringCase("\x83"
                                       "A"));
  EXPECT_TRUE(FilterPattern("\x83"
                            "a")
                  .EqualsIgnoringCase("\x83"
                                      "A"));
  EXPECT_TRUE(FilterPattern("x\x83"
                            "Ay",
                            kJapanese)
                  .EqualsIgnoringCase("X\x83"
                                      "AY"));
}

TEST(FilterPattern, AFilterEndingInAFirstByteDoesNotEndInsideACharacter) {
  const FilterPattern filter("x\x83", kJapanese);
  EXPECT_EQ(filter.FindIn("x\x83"
                          "A x\x83<"),
            4u);
  EXPECT_EQ(filter.FindIn("x\x83"), 0u);
}

TEST(CharacterSet, DoubleByteCodePagesPairBytesAndWiderOnesAreUnknown) {
  for (unsigned codePage : {932u, 936u, 949u, 950u}) {
    const CharacterSet set = CharacterSet::ForCodePage(codePage).value();
    EXPECT_TRUE(set.DoubleByte()) << codePage;
    EXPECT_EQ(set.LengthAt("\x81\x61", 0), 2u) << codePage;
    // A byte that cannot end a character leaves the first byte alone.
    EXPECT_EQ(set.LengthAt("\x81<", 0), 1u) << codePage;
  }
  EXPECT_EQ(CharacterSet::ForCodePage(950)->LengthAt("\x81\x80", 0), 1u);
  EXPECT_EQ(CharacterSet::ForCodePage(949)->LengthAt("\x81\x5B", 0), 1u);
  EXPECT_EQ(CharacterSet::ForCodePage(51949)->LengthAt("\xB0\xA1", 0), 2u);
  EXPECT_EQ(CharacterSet::ForCodePage(51949)->LengthAt("\x81\x61", 0), 1u);
  for (unsigned codePage : {0u, 437u, 1252u, 65001u}) {
    EXPECT_FALSE(CharacterSet::ForCodePage(codePage).value().DoubleByte()) << codePage;
  }
  // Characters of three or four bytes, or a shift state: a match could start
  // inside one.
  for (unsigned codePage : {54936u, 1361u, 20932u, 50220u, 52936u, 65000u}) {
    EXPECT_FALSE(CharacterSet::ForCodePage(codePage)) << codePage;
  }
}

}  // namespace
}  // namespace rowsift
