// The file-name rules: logs, proposed output names, the same file.
#include <gtest/gtest.h>

#include "output_name.h"

namespace rowsift {
namespace {

TEST(ProposeOutputName, HtmAndHtmlInAnyCase) {
  EXPECT_EQ(ProposeOutputName("C:\\logs\\Run1.HTM"), "C:\\logs\\Run1_Output.htm");
  EXPECT_EQ(ProposeOutputName("run.html"), "run_Output.html");
  EXPECT_EQ(ProposeOutputName("D:\\Results\\Suite.HTML"), "D:\\Results\\Suite_Output.html");
  EXPECT_EQ(ProposeOutputName("x.html\\run.htm"), "x.html\\run_Output.htm");
  EXPECT_EQ(ProposeOutputName(".htm"), "_Output.htm");
  EXPECT_EQ(ProposeOutputName("run.txt"), std::nullopt);
  EXPECT_EQ(ProposeOutputName("run.htmx"), std::nullopt);
  EXPECT_EQ(ProposeOutputName(""), std::nullopt);
}

TEST(HasHtmlExtension, AcceptsOnlyHtmAndHtml) {
  EXPECT_TRUE(HasHtmlExtension("REPORT.HTM"));
  EXPECT_TRUE(HasHtmlExtension("report.Html"));
  EXPECT_FALSE(HasHtmlExtension("report.txt"));
  EXPECT_FALSE(HasHtmlExtension("report.htmls"));
  EXPECT_FALSE(HasHtmlExtension(""));
}

TEST(SamePathText, LetterCaseOnlyAndNeverInsideACharacter) {
  EXPECT_TRUE(SamePathText("C:\\Logs\\Run.HTM", "c:\\logs\\run.htm", {}));
  EXPECT_FALSE(SamePathText("C:\\logs\\run.htm", "C:\\logs\\.\\run.htm", {}));
  const CharacterSet japanese = CharacterSet::ForCodePage(932);
  EXPECT_FALSE(SamePathText("C:\\\x83" "a.htm", "C:\\\x83" "A.htm", japanese));
  EXPECT_TRUE(SamePathText("C:\\\x83" "A.HTM", "c:\\\x83" "A.htm", japanese));
}

}  // namespace
}  // namespace rowsift
