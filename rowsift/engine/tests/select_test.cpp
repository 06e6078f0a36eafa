// Keeping, rewriting and dropping rows by the filter text.
#include <gtest/gtest.h>

#include <optional>

#include "report_rows.h"

namespace rowsift {
namespace {

std::string Row(std::string_view itr, std::string_view name, std::string_view details = "ok") {
  std::string row = "\r\n<TR><TD>";
  row += itr;
  row += "</TD><TD>Passed</TD><TD>";
  row += name;
  row += "</TD><TD>10:02</TD><TD>";
  row += details;
  row += "</TD></TR>";
  return row;
}

// The row's output text, or nothing when it is dropped.
std::optional<std::string> Select(std::string_view row, std::string_view filter) {
  TextArena arena;
  std::string scratch;
  std::string output = "before|";
  if (!AppendSelectedRow(MakeRecord(row, arena, scratch), FilterPattern(filter), output)) {
    EXPECT_EQ(output, "before|") << "a dropped row appends nothing";
    return std::nullopt;
  }
  return output.substr(7);
}

TEST(SelectRow, WorkedExample) {
  EXPECT_EQ(Select(Row("3", "Login2Check user"), "Login"),
            "\r\n<TR><TD>3</TD><TD>Passed</TD><TD>&nbsp&nbspCheck user</TD><TD>10:02</TD>"
            "<TD>ok</TD></TR>");
}

TEST(SelectRow, RowsKeptUnconditionally) {
  const std::string heading = Row("Itr#", "Step");
  EXPECT_EQ(Select(heading, "Login"), heading);
  EXPECT_EQ(Select(Row(" Itr# ", "Step"), "zzz"), Row(" Itr# ", "Step"));
  EXPECT_EQ(Select(Row("", "Step"), "zzz"), Row("", "Step"));
  const std::string threeCells = "<TR><TD>1</TD><TD>x</TD><TD>y</TD></TR>";
  EXPECT_EQ(Select(threeCells, "zzz"), threeCells);
  // Only the exact heading mark is a heading.
  EXPECT_EQ(Select(Row("ITR#", "Step"), "zzz"), std::nullopt);
  // A non-breaking space is not an empty cell.
  EXPECT_EQ(Select(Row("&nbsp;", "Step"), "zzz"), std::nullopt);
}

TEST(SelectRow, DropsRowsWithoutTheFilter) {
  EXPECT_EQ(Select(Row("1", "Logout"), "Login"), std::nullopt);
}

TEST(SelectRow, FilterMatchesInAnyCaseAnywhereInTheRow) {
  EXPECT_EQ(Select(Row("1", "Open", "see LOGIN page"), "login"),
            "\r\n<TR><TD>1</TD><TD>Passed</TD><TD>Open</TD><TD>10:02</TD><TD>see  page</TD></TR>");
  // A filter found only in markup keeps the row and cuts the markup.
  EXPECT_EQ(Select(Row("1", "Open"), "td"),
            "\r\n<TR><>1</TD><TD>Passed</TD><TD>Open</TD><TD>10:02</TD><TD>ok</TD></TR>");
}

TEST(SelectRow, StepNamedLikeTheFilterBecomesBlank) {
  EXPECT_EQ(Select(Row("1", "Login", "Login ok, login"), "Login"),
            "\r\n<TR><TD>1</TD><TD>Passed</TD><TD>&nbsp</TD><TD>10:02</TD>"
            "<TD>&nbsp ok, login</TD></TR>");
  // Equal but for letter case: kept, the name stays, exact spellings elsewhere go.
  EXPECT_EQ(Select(Row("1", "login", "Login"), "Login"),
            "\r\n<TR><TD>1</TD><TD>Passed</TD><TD>login</TD><TD>10:02</TD><TD>&nbsp</TD></TR>");
  // Non-overlapping, left to right.
  EXPECT_EQ(Select(Row("1", "aa", "aaa"), "aa"),
            "\r\n<TR><TD>1</TD><TD>Passed</TD><TD>&nbsp</TD><TD>10:02</TD><TD>&nbspa</TD></TR>");
}

TEST(SelectRow, DigitAfterTheMatchIsAnIndent) {
  EXPECT_EQ(Select(Row("1", "Login0Step"), "Login"),
            "\r\n<TR><TD>1</TD><TD>Passed</TD><TD>Step</TD><TD>10:02</TD><TD>ok</TD></TR>");
  EXPECT_EQ(Select(Row("1", "Login12Step"), "Login"),
            "\r\n<TR><TD>1</TD><TD>Passed</TD><TD>&nbsp2Step</TD><TD>10:02</TD><TD>ok</TD></TR>");
  EXPECT_EQ(Select(Row("1", "Login9"), "Login"),
            "\r\n<TR><TD>1</TD><TD>Passed</TD><TD>&nbsp&nbsp&nbsp&nbsp&nbsp&nbsp&nbsp&nbsp&nbsp"
            "</TD><TD>10:02</TD><TD>ok</TD></TR>");
  // Only the first match is cut.
  EXPECT_EQ(Select(Row("1", "Login2 Login3"), "Login"),
            "\r\n<TR><TD>1</TD><TD>Passed</TD><TD>&nbsp&nbsp Login3</TD><TD>10:02</TD>"
            "<TD>ok</TD></TR>");
}

TEST(SelectRow, FilterIsNotTrimmed) {
  // " Login" never equals a trimmed step name: the first match is cut instead.
  EXPECT_EQ(Select("<TR><TD>1</TD><TD>P</TD><TD> Login</TD><TD>t</TD><TD>d</TD></TR>", " Login"),
            "<TR><TD>1</TD><TD>P</TD><TD></TD><TD>t</TD><TD>d</TD></TR>");
}

TEST(SelectRow, EmptyFilterKeepsEveryRow) {
  EXPECT_EQ(Select(Row("1", "Step"), ""), Row("1", "Step"));
  // An empty step name equals the empty filter: nothing to replace.
  EXPECT_EQ(Select(Row("1", ""), ""), Row("1", ""));
  // A row text that starts with a digit loses it as an indent count.
  EXPECT_EQ(Select("2x<TR><TD>1</TD><TD>P</TD><TD>N</TD><TD>t</TD><TD>d</TD></TR>", ""),
            "&nbsp&nbspx<TR><TD>1</TD><TD>P</TD><TD>N</TD><TD>t</TD><TD>d</TD></TR>");
}

TEST(SelectRow, FilterAcrossTheClosingTag) {
  // The search runs over the row as rewritten, closing tag in upper case.
  EXPECT_EQ(Select("<tr><td>1</td><td>P</td><td>N</td><td>t</td><td>d</td></tr>", "td></tr>"),
            "<tr><td>1</td><td>P</td><td>N</td><td>t</td><td>d</");
}

}  // namespace
}  // namespace rowsift
