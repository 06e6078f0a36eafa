// The filter text in the code page logs are written in.
#include "wide_text.h"

#include <gtest/gtest.h>

namespace rowsift {
namespace {

std::string U8(std::u8string_view text) { return {text.begin(), text.end()}; }

TEST(WideTextTest, ACodePageSpellsATextExactlyOrNotAtAll) {
  EXPECT_EQ(SpellInCodePage(L"Caf\u00e9", 1252), "Caf\xE9");
  EXPECT_EQ(SpellInCodePage(L"\u03a9mega", 1253), "\xD9mega");
  EXPECT_EQ(SpellInCodePage(L"\u65e5\u5fd7", 932), "\x93\xFA\x8E\x75");
  EXPECT_EQ(SpellInCodePage(L"\u03a9", 65001), U8(u8"\u03a9"));
  EXPECT_EQ(SpellInCodePage(L"", 1252), "");

  EXPECT_EQ(SpellInCodePage(L"\u03a9mega", 1252), std::nullopt) << "no look-alike \"Omega\"";
  EXPECT_EQ(SpellInCodePage(L"\u65e5", 1252), std::nullopt) << "no \"?\"";
  EXPECT_EQ(SpellInCodePage(std::wstring{L'a', wchar_t(0xD800)}, 65001), std::nullopt);
  EXPECT_EQ(SpellInCodePage(L"Login", 12345), std::nullopt) << "no such code page";
}

}  // namespace
}  // namespace rowsift
