// The file-name rules: logs and proposed output names.
#include "output_name.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace rowsift
