#include "command_line.h"

#include <gtest/gtest.h>

namespace rowsift {
namespace {

TEST(ArgumentText, FollowsTheProgramNameQuotedOrNot) {
  EXPECT_EQ(ArgumentText("Rowsift.exe -debug"), "-debug");
  EXPECT_EQ(ArgumentText("\"C:\\Program Files\\Kit\\Rowsift.exe\"   -debug x"), "-debug x");
  EXPECT_EQ(ArgumentText("C:\\\"My Tools\"\\Rowsift.exe \t-debug"), "-debug");
  // The quoted name ends the name only where a blank follows.
  EXPECT_EQ(ArgumentText("\"C:\\Kit\\Rowsift.exe\"-debug"), "");
  EXPECT_EQ(ArgumentText("\"C:\\Program Files\\Kit\\Rowsift.exe\"  "), "");
  EXPECT_EQ(ArgumentText("\"C:\\Program Files\\Kit\\Rowsift.exe -debug"), "") << "no closing quote";
  EXPECT_EQ(ArgumentText(""), "");
}

TEST(DebugSwitch, OnlyTheWholeArgumentInAnyCase) {
  EXPECT_TRUE(IsDebugSwitch("-debug"));
  EXPECT_TRUE(IsDebugSwitch("-DEBUG"));
  EXPECT_TRUE(IsDebugSwitch("-Debug"));

  EXPECT_FALSE(IsDebugSwitch("-debug x"));
  EXPECT_FALSE(IsDebugSwitch("-debugx"));
  EXPECT_FALSE(IsDebugSwitch("/debug"));
  EXPECT_FALSE(IsDebugSwitch("\"-debug\""));
  EXPECT_FALSE(IsDebugSwitch(""));
}

TEST(DebugSwitch, FromAFullCommandLine) {
  EXPECT_TRUE(IsDebugSwitch(ArgumentText("\"C:\\Program Files\\Kit\\Rowsift.exe\" -Debug")));
  EXPECT_FALSE(IsDebugSwitch(ArgumentText("\"C:\\Program Files\\Kit\\Rowsift.exe\"")));
  EXPECT_FALSE(IsDebugSwitch(ArgumentText("-debug")));
}

TEST(ProgramName, IsTheFileNameWithoutFolderAndExtension) {
  EXPECT_EQ(ProgramName("C:\\Program Files\\Kit\\Rowsift.exe"), "Rowsift");
  EXPECT_EQ(ProgramName("C:\\Kit.v2\\RowsiftScratch.EXE"), "RowsiftScratch");
  EXPECT_EQ(ProgramName("\\\\server\\share\\Rowsift.old.exe"), "Rowsift.old");
  EXPECT_EQ(ProgramName("C:\\Kit.v2\\Rowsift"), "Rowsift");
  EXPECT_EQ(ProgramName("D:Rowsift.exe"), "Rowsift");
}

}  // namespace
}  // namespace rowsift
