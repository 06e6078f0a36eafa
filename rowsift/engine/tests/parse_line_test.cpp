// Parsing a detail row into its five cells.
#include <gtest/gtest.h>

#include "report_rows.h"

namespace rowsift {
namespace {

struct Cells {
  std::string itr, status, name, time, details;
  friend bool operator==(const Cells&, const Cells&) = default;
  friend std::ostream& operator<<(std::ostream& os, const Cells& c) {
    return os << '[' << c.itr << '|' << c.status << '|' << c.name << '|' << c.time << '|'
              << c.details << ']';
  }
};

Cells Parse(std::string_view htmlString) {
  TextArena arena;
  std::string scratch;
  LogData record;
  record.HTMLString = htmlString;
  ParseDetailLine(record, arena, scratch);
  return {std::string(record.Itr), std::string(record.Status), std::string(record.Name),
          std::string(record.Time), std::string(record.Details)};
}

TEST(ParseDetailLine, ReadsFiveCells) {
  EXPECT_EQ(Parse("\r\n<TR><TD>3</TD><TD>Passed</TD><TD>Login2Check user</TD><TD>10:02</TD>"
                  "<TD>ok</TD></TR>"),
            (Cells{"3", "Passed", "Login2Check user", "10:02", "ok"}));
}

TEST(ParseDetailLine, StripsTagsLikeTheLoop) {
  // One cell per case, in the Itr column, rest padding.
  const std::pair<const char*, const char*> cases[] = {
      {"<TD align=right>7", "7"},
      {"<TD><font color=red>Failed</font>", "Failed"},
      {"<TD><a href=x><b>Open</b></a>", "Open"},
      {"<TD>before<BR>after", "after"},
      {"<TD>&nbsp;", "&nbsp;"},
      {"<td>  spaced  ", "spaced"},
      {"<TD>\ttab\t", "\ttab\t"},
      {"<TD>a>b>c", "c"},
      {"<TD><i>x</i>y</b>z", "x"},
      {"<TD>no tags", "no tags"},
      {"<TD>", ""},
  };
  for (const auto& [cell, expected] : cases) {
    const std::string row =
        std::string("<TR>") + cell + "</TD><TD>s</TD><TD>n</TD><TD>t</TD><TD>d</TD></TR>";
    EXPECT_EQ(Parse(row).itr, expected) << cell;
  }
}

TEST(ParseDetailLine, FewerThanFourCellClosesLeavesFieldsEmpty) {
  EXPECT_EQ(Parse("<TR><TD>1</TD><TD>2</TD><TD>3</TD></TR>"), Cells{});
  EXPECT_EQ(Parse("\r\n</table>\r\n<p>between tables</p></TR>"), Cells{});
  // Four closes are enough: the fifth cell runs to the end of the row.
  EXPECT_EQ(Parse("<TR><TD>1</TD><TD>2</TD><TD>3</TD><TD>4</TD><TD>5</TR>"),
            (Cells{"1", "2", "3", "4", "5"}));
}

TEST(ParseDetailLine, IgnoresCellsAfterTheFifth) {
  EXPECT_EQ(Parse("<TR><TD>1</TD><TD>2</TD><TD>3</TD><TD>4</TD><TD>5</TD><TD>6</TD></TR>").details,
            "5");
}

TEST(ParseDetailLine, TagsInAnyCase) {
  EXPECT_EQ(Parse("<tr><td>1</td><Td>2</tD><TD>3</TD><td>4</td><td>5</td></tr>"),
            (Cells{"1", "2", "3", "4", "5"}));
}

TEST(ParseDetailLine, RemovesLineBreakPairsOnly) {
  EXPECT_EQ(Parse("<TR><TD>a\r\nb</TD><TD>c\nd</TD><TD>e\rf</TD><TD>4</TD><TD>5</TD></TR>"),
            (Cells{"ab", "c\nd", "e\rf", "4", "5"}));
}

TEST(ParseDetailLine, RemovalsArePlainLeftToRightPasses) {
  // Removing "<TR>" joins "</" and "TR>" into a "</TR>", which the next pass
  // removes; a "<TR>" made by removing a line break stays (its pass is over),
  // and then counts as text in front of a ">".
  EXPECT_EQ(Parse("<TD>a</<TR>TR>b</TD><TD>2</TD><TD>3</TD><TD>4</TD><TD>5</TD></TR>").itr, "ab");
  EXPECT_EQ(Parse("<TD>x<T\r\nR>y</TD><TD>2</TD><TD>3</TD><TD>4</TD><TD>5</TD></TR>").itr, "y");
  // One pass of "<TD>" removal: "<T<TD>D>" leaves "<TD>" in the text, whose ">"
  // the tag-stripping loop then cuts at.
  EXPECT_EQ(Parse("<TD><T<TD>D>v</TD><TD>2</TD><TD>3</TD><TD>4</TD><TD>5</TD></TR>").itr, "v");
}

TEST(ParseDetailLine, HeadingRowAndEmptyText) {
  EXPECT_EQ(
      Parse("<TR><TD> Itr# </TD><TD>Status</TD><TD>Step</TD><TD>Time</TD><TD>Details</TD></TR>"),
      (Cells{"Itr#", "Status", "Step", "Time", "Details"}));
  EXPECT_EQ(Parse(""), Cells{});
}

TEST(MakeRecord, ClosingTagIsWrittenInUpperCase) {
  TextArena arena;
  std::string scratch;
  const LogData lower =
      MakeRecord("<tr><td>1</td><td>2</td><td>3</td><td>4</td><td>5</td></tr>", arena, scratch);
  EXPECT_EQ(lower.HTMLString, "<tr><td>1</td><td>2</td><td>3</td><td>4</td><td>5</td></TR>");
  EXPECT_EQ(lower.Details, "5");
  const std::string upper = "<TR><TD>1</TD></TR>";
  EXPECT_EQ(MakeRecord(upper, arena, scratch).HTMLString.data(), upper.data())
      << "a row already closed by \"</TR>\" is not copied";
}

}  // namespace
}  // namespace rowsift
