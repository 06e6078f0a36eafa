// The one UTF-8/UTF-16 conversion and its one rule for what is not valid.
#include "utf_text.h"

#include <gtest/gtest.h>

namespace {

std::string U8(std::u8string_view text) { return {text.begin(), text.end()}; }

TEST(UtfTextTest, EveryScriptCrossesWholeAndWhatIsInvalidBecomesTheReplacementCharacter) {
  const std::wstring wide = L"R\u00e9sultats \u03a9mega \u65e5\u5fd7 \U0001F600";
  const std::string utf8 = U8(u8"R\u00e9sultats \u03a9mega \u65e5\u5fd7 \U0001F600");
  EXPECT_EQ(kit::Utf8FromUtf16(wide), utf8);
  EXPECT_EQ(kit::Utf16FromUtf8(utf8), wide);
  EXPECT_EQ(kit::Utf16FromUtf8(""), L"");

  EXPECT_EQ(kit::Utf8FromUtf16(std::wstring{L'a', wchar_t(0xD800), L'b'}), U8(u8"a\uFFFDb"));
  EXPECT_EQ(kit::Utf8FromUtf16(std::wstring{L'a', wchar_t(0xDC00)}), U8(u8"a\uFFFD"));
  EXPECT_EQ(kit::Utf16FromUtf8("a\xFF"
                               "b"),
            L"a\uFFFDb");
}

}  // namespace
