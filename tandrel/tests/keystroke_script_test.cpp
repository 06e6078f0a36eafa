// The key events each keyboard export sends, recorded without a system.
#include "keystroke_script.h"

#include <gtest/gtest.h>

#include <string>

namespace tandrel {
namespace {

// Records events as "v65" (down) and "^65" (up), with ":scan" when nonzero.
class Recorder final : public KeyEventSink {
 public:
  void Send(const KeyEvent& event) override {
    if (!events_.empty()) events_ += ' ';
    events_ += (event.up ? '^' : 'v') + std::to_string(event.key);
    if (event.scan != 0) events_ += ':' + std::to_string(event.scan);
  }
  const std::string& Events() const { return events_; }

 private:
  std::string events_;
};

// A US-like layout, plus one character only Ctrl+Alt makes.
std::uint16_t FakeLayout(char c) {
  if (c >= 'a' && c <= 'z') return static_cast<std::uint16_t>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'Z') return static_cast<std::uint16_t>(0x100 | c);
  switch (c) {
    case '>':
      return 0x1BE;
    case '-':
      return 0x0BD;
    case '+':
      return 0x1BB;
    case '@':
      return 0x651;
    default:
      return 0xFFFF;  // no key makes it
  }
}

std::string Typed(const std::string& text, bool holdAndRelease) {
  Recorder recorder;
  TypeKeys(text.c_str(), holdAndRelease, FakeLayout, recorder);
  return recorder.Events();
}

// What both typists must agree on: texts without a "-" or "+" after a tag.
void ExpectBothType(const std::string& text, const std::string& events) {
  EXPECT_EQ(Typed(text, false), events) << "keybd_type of '" << text << "'";
  EXPECT_EQ(Typed(text, true), events) << "keybd_type2 of '" << text << "'";
}

TEST(Typists, CharactersAndTags) {
  ExpectBothType("", "");
  ExpectBothType("ab<13>", "v65 ^65 v66 ^66 v13 ^13");
  ExpectBothType("A", "v16 v65 ^65 ^16");
  ExpectBothType("<13>", "v13 ^13");
  // A tagged key is pressed without Shift.
  ExpectBothType("<65>", "v65 ^65");
  // Without any ">", "-" and "+" are ordinary characters.
  ExpectBothType("a-b+", "v65 ^65 v189 ^189 v66 ^66 v16 v187 ^187 ^16");
}

TEST(Typists, ShiftOnlyForShiftStateOne) {
  ExpectBothType("@", "v81 ^81");       // Ctrl+Alt on this layout: no modifier
  ExpectBothType("\x80", "v255 ^255");  // no key: 0xFFFF
}

TEST(Typists, GreaterThanWithoutKeyTypesItself) {
  const std::string greater = "v16 v190 ^190 ^16";
  for (const char* text : {">", "<0>", "<>", "<abc>", "<256>"}) ExpectBothType(text, greater);
}

TEST(Typists, TagNumberReadAsAtolLow8Bits) {
  ExpectBothType("<300>", "v44 ^44");
  ExpectBothType("< 13>", "v13 ^13");
  ExpectBothType("<-1>", "v255 ^255");
  ExpectBothType("<13abc>", "v13 ^13");
  // Only the first 7 characters count: 1234567 = 0x12D687, not 123456789.
  ExpectBothType("<123456789>", "v135 ^135");
  // Far longer than the buffer: still only the first 7 (and no overrun).
  ExpectBothType("<0000013" + std::string(1000, '9') + ">", "v13 ^13");
}

TEST(Typists, LessThanIsNeverTyped) {
  ExpectBothType("<<13>", "v13 ^13");
  ExpectBothType("ab<13", "v65 ^65 v66 ^66");
  ExpectBothType("a<b>c", "v65 ^65 v16 v190 ^190 ^16 v67 ^67");
}

TEST(KeybdType, SuffixIsAnOrdinaryCharacter) {
  EXPECT_EQ(Typed("<17>-", false), "v17 ^17 v189 ^189");
}

TEST(KeybdType2, SuffixHoldsOrReleases) {
  EXPECT_EQ(Typed("<17>-c<17>+", true), "v17 v67 ^67 ^17");
  EXPECT_EQ(Typed("<16>-abc<16>+", true), "v16 v65 ^65 v66 ^66 v67 ^67 ^16");
  // A held shifted character keeps its Shift down.
  EXPECT_EQ(Typed("<13>A-", true), "v13 ^13 v16 v65");
}

TEST(KeybdType2, ArmedUntilASuffixUsesIt) {
  EXPECT_EQ(Typed("<13>x-", true), "v13 ^13 v88");
  EXPECT_EQ(Typed(">a+", true), "v16 v190 ^190 ^16 ^65");
  // Once used, the next suffix is typed.
  EXPECT_EQ(Typed("<17>-c-", true), "v17 v67 ^67 v189 ^189");
  EXPECT_EQ(Typed("<17>--", true), "v17 v189 ^189");
}

TEST(ScreenKeys, PrintScreenWithAltOnlyForActive) {
  const auto keys = [](const char* which) {
    Recorder recorder;
    PrintScreenKeys(which, recorder);
    return recorder.Events();
  };
  EXPECT_EQ(keys("Active"), "v18 v44 ^18");
  EXPECT_EQ(keys("active"), "v44");
  EXPECT_EQ(keys("Active "), "v44");
  EXPECT_EQ(keys(""), "v44");
}

TEST(ScreenKeys, CaptureScreenUsesLow8BitsAsScan) {
  const auto keys = [](int scan) {
    Recorder recorder;
    CaptureScreenKeys(scan, recorder);
    return recorder.Events();
  };
  EXPECT_EQ(keys(1), "v44:1");
  EXPECT_EQ(keys(0x1FF), "v44:255");
  EXPECT_EQ(keys(0x100), "v44");
}

}  // namespace
}  // namespace tandrel
