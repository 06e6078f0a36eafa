// The output report as a whole, and the proposed output name.
#include <gtest/gtest.h>

#include "report_engine.h"

namespace rowsift {
namespace {

const char kHead[] =
    "<html><head><title>Results</title></head><body>\r\n<table border=1>\r\n";
const char kHeading[] =
    "<TR><TD>Itr#</TD><TD>Status</TD><TD>Step</TD><TD>Time</TD><TD>Details</TD></TR>";
const char kTail[] = "\r\n</table>\r\n</body></html>\r\n";

std::string Detail(int itr, std::string_view name) {
  return "\r\n<TR><TD>" + std::to_string(itr) + "</TD><TD>Passed</TD><TD>" + std::string(name) +
         "</TD><TD>10:0" + std::to_string(itr) + "</TD><TD>ok</TD></TR>";
}

std::string Filter(std::string_view input, std::string_view filter, FilterCounts* counts = nullptr) {
  std::string output;
  const FilterCounts c = FilterReport(input, filter, output);
  if (counts) *counts = c;
  return output;
}

TEST(FilterReport, KeepsHeadHeadingMatchingRowsAndTail) {
  const std::string input = kHead + std::string(kHeading) + Detail(1, "Login1Open") +
                            Detail(2, "Search") + Detail(3, "Login2Check") + kTail;
  FilterCounts counts;
  EXPECT_EQ(Filter(input, "Login", &counts),
            kHead + std::string(kHeading) +
                "\r\n<TR><TD>1</TD><TD>Passed</TD><TD>&nbspOpen</TD><TD>10:01</TD><TD>ok</TD></TR>"
                "\r\n<TR><TD>3</TD><TD>Passed</TD><TD>&nbsp&nbspCheck</TD><TD>10:03</TD><TD>ok</TD></TR>" +
                kTail);
  EXPECT_EQ(counts.detailRows, 4u);
  EXPECT_EQ(counts.keptRows, 3u);
}

TEST(FilterReport, NoMatchStillGivesACompleteDocument) {
  const std::string input = kHead + std::string(kHeading) + Detail(1, "A") + kTail;
  EXPECT_EQ(Filter(input, "zzz"), kHead + std::string(kHeading) + kTail);
}

TEST(FilterReport, InputWithoutRowsPassesThrough) {
  const std::string noRows = "<html><body><p>No steps ran.</p></body></html>";
  EXPECT_EQ(Filter(noRows, "x"), noRows);
  const std::string unclosed = "<html><table><TR><TD>1</TD><TD>2</TD></table></html>";
  EXPECT_EQ(Filter(unclosed, "x"), unclosed);
  EXPECT_EQ(Filter("", "x"), "");
}

TEST(FilterReport, KeepsLineBreaksAndUpperCasesClosingRowTags) {
  const std::string input =
      "<table>\r\n<tr><td>Itr#</td><td>S</td><td>N</td><td>T</td><td>D</td></tr>\n"
      "<tr><td>1</td><td>P</td><td>step</td><td>t</td><td>d</td></Tr>\r\n</table>";
  // "step" equals the filter but for case: kept, and nothing spelled "STEP" to replace.
  EXPECT_EQ(Filter(input, "STEP"),
            "<table>\r\n<tr><td>Itr#</td><td>S</td><td>N</td><td>T</td><td>D</td></TR>\n"
            "<tr><td>1</td><td>P</td><td>step</td><td>t</td><td>d</td></TR>\r\n</table>");
}

TEST(FilterReport, DroppedRowTakesTheTextInFrontOfItAlong) {
  const std::string input = "<table><TR><TD>Itr#</TD><TD>S</TD><TD>N</TD><TD>T</TD><TD>D</TD></TR>"
                            "</table><h2>Part two</h2><table>"
                            "<TR><TD>1</TD><TD>P</TD><TD>other</TD><TD>t</TD><TD>d</TD></TR></table>";
  EXPECT_EQ(Filter(input, "Login"),
            "<table><TR><TD>Itr#</TD><TD>S</TD><TD>N</TD><TD>T</TD><TD>D</TD></TR></table>");
}

TEST(FilterReport, SameResultAsTheStepByStepRun) {
  std::string input = kHead + std::string(kHeading);
  for (int i = 0; i < 200; ++i) input += Detail(i % 10, i % 3 ? "Login" + std::to_string(i % 7) + "x" : "Other");
  input += "<tr><td>7</td><td>P</td><td>login</td><td>t</td><td>Login</td></tr>";
  input += kTail;

  const ReportCut cut = CutReport(input);
  const RecordTable table = BuildRecords(cut);
  std::string stepwise(cut.head);
  for (const LogData& record : table.records) AppendSelectedRow(record, "Login", stepwise);
  stepwise += cut.tail;
  EXPECT_EQ(Filter(input, "Login"), stepwise);
}

TEST(FilterReport, StreamedOutputEqualsTheWholeOutput) {
  // Several megabytes, so the kept rows go out in more than one piece.
  std::string input = kHead + std::string(kHeading);
  for (int i = 0; i < 40000; ++i) input += Detail(i % 10, i % 2 ? "Login1Step" : "Other step");
  input += kTail;
  std::string streamed;
  int pieces = 0;
  const FilterCounts counts = FilterReport(input, "login", [&](std::string_view piece) {
    EXPECT_FALSE(piece.empty());
    streamed += piece;
    ++pieces;
  });
  EXPECT_EQ(streamed, Filter(input, "login"));
  EXPECT_EQ(counts.keptRows, 20001u);
  EXPECT_GT(pieces, 3);

  const std::string noRows = "<p>nothing</p>";
  streamed.clear();
  FilterReport(noRows, "x", [&](std::string_view piece) { streamed += piece; });
  EXPECT_EQ(streamed, noRows);
}

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
