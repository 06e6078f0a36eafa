// Cutting a log into head, detail rows and tail.
#include <gtest/gtest.h>

#include "report_engine.h"

namespace rowsift {
namespace {

std::string Rejoin(const ReportCut& cut) {
  std::string text(cut.head);
  for (std::string_view row : cut.rows) text += row;
  text += cut.tail;
  return text;
}

TEST(CutReport, SplitsHeadRowsAndTail) {
  const std::string log =
      "<html><table>\r\n<TR><TD>Itr#</TD></TR>\r\n<TR><TD>1</TD></TR>\r\n</table></html>";
  const ReportCut cut = CutReport(log);
  EXPECT_EQ(cut.head, "<html><table>\r\n");
  ASSERT_EQ(cut.rows.size(), 2u);
  EXPECT_EQ(cut.rows[0], "<TR><TD>Itr#</TD></TR>");
  EXPECT_EQ(cut.rows[1], "\r\n<TR><TD>1</TD></TR>");
  EXPECT_EQ(cut.tail, "\r\n</table></html>");
  EXPECT_EQ(cut.pieceCount, 2);
  EXPECT_EQ(Rejoin(cut), log);
}

TEST(CutReport, MatchesRowTagsInAnyCase) {
  const ReportCut cut = CutReport("h<tr>a</tr>b</Tr>c</tR>t");
  EXPECT_EQ(cut.head, "h");
  ASSERT_EQ(cut.rows.size(), 3u);
  EXPECT_EQ(cut.rows[0], "<tr>a</tr>");
  EXPECT_EQ(cut.rows[1], "b</Tr>");
  EXPECT_EQ(cut.rows[2], "c</tR>");
  EXPECT_EQ(cut.tail, "t");
}

TEST(CutReport, RowTagWithAttributesStaysInTheHead) {
  const ReportCut cut = CutReport("<TR bgcolor=red><TD>x</TD></TR><TR><TD>y</TD></TR>end");
  EXPECT_EQ(cut.head, "<TR bgcolor=red><TD>x</TD></TR>");
  ASSERT_EQ(cut.rows.size(), 1u);
  EXPECT_EQ(cut.rows[0], "<TR><TD>y</TD></TR>");
  EXPECT_EQ(cut.tail, "end");
}

TEST(CutReport, WithoutAnyRowTheWholeInputIsTheHead) {
  const std::string log = "<html><body>No results.</body></html>";
  const ReportCut cut = CutReport(log);
  EXPECT_EQ(cut.head, log);
  EXPECT_TRUE(cut.rows.empty());
  EXPECT_TRUE(cut.tail.empty());
  EXPECT_EQ(cut.pieceCount, -1);
}

TEST(CutReport, RowNeverClosedIsAllTail) {
  const ReportCut cut = CutReport("head<TR><TD>1</TD>");
  EXPECT_EQ(cut.head, "head");
  EXPECT_TRUE(cut.rows.empty());
  EXPECT_EQ(cut.tail, "<TR><TD>1</TD>");
  EXPECT_EQ(cut.pieceCount, 0);
}

TEST(CutReport, EmptyInputAndEdgeTags) {
  EXPECT_EQ(CutReport("").pieceCount, -1);
  // A closing tag cut off at the very end is no tag.
  const ReportCut cut = CutReport("<TR>a</TR");
  EXPECT_TRUE(cut.rows.empty());
  EXPECT_EQ(cut.tail, "<TR>a</TR");
  // A closing tag before the first row tag belongs to the head.
  const ReportCut early = CutReport("</TR>x<TR>y</TR>");
  EXPECT_EQ(early.head, "</TR>x");
  ASSERT_EQ(early.rows.size(), 1u);
}

TEST(CutReport, ManyRowsBeyondASixteenBitIndex) {
  std::string log = "<table>";
  const int rows = 70000;
  for (int i = 0; i < rows; ++i) log += "<TR><TD>1</TD></TR>";
  log += "</table>";
  const ReportCut cut = CutReport(log);
  EXPECT_EQ(cut.rows.size(), static_cast<std::size_t>(rows));
  EXPECT_EQ(Rejoin(cut), log);
}

}  // namespace
}  // namespace rowsift
