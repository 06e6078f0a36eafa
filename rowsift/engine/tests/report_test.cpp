// The output report as a whole: the cut into head, rows and tail, the piece
// count, the rows' quick reading against the parser's, and the windows.
#include <gtest/gtest.h>

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "report_filter.h"
#include "report_rows.h"

namespace rowsift {
namespace {

const char kHead[] = "<html><head><title>Results</title></head><body>\r\n<table border=1>\r\n";
const char kHeading[] =
    "<TR><TD>Itr#</TD><TD>Status</TD><TD>Step</TD><TD>Time</TD><TD>Details</TD></TR>";
const char kTail[] = "\r\n</table>\r\n</body></html>\r\n";

std::string Detail(int itr, std::string_view name) {
  return "\r\n<TR><TD>" + std::to_string(itr) + "</TD><TD>Passed</TD><TD>" + std::string(name) +
         "</TD><TD>10:0" + std::to_string(itr) + "</TD><TD>ok</TD></TR>";
}

ReportWriter AppendTo(std::string& output) {
  return [&output](std::span<const std::string_view> pieces) {
    for (const std::string_view piece : pieces) output += piece;
  };
}

std::string Filter(std::string_view input, std::string_view filter,
                   FilterCounts* counts = nullptr) {
  std::string output;
  const FilterCounts c = FilterReport(input, FilterPattern(filter), output);
  if (counts) *counts = c;
  return output;
}

// The head and the kept detail rows as a reader is given them, each row as
// the output holds it, closed by "</TR>"; the cell ends are checked against
// the row.
class KeptRowsAsText final : public KeptRowReader {
 public:
  std::string head;
  std::string rows;

  void Head(std::string_view bytes) override { head += bytes; }
  std::unique_ptr<Part> StartPart() override { return std::make_unique<TextPart>(); }
  void EndPart(std::unique_ptr<Part> part) override { rows += static_cast<TextPart&>(*part).rows; }

 private:
  struct TextPart final : Part {
    void Read(std::string_view row, const FilterCut& cut,
              std::span<const std::size_t> cellEnds) override {
      std::size_t next = 0;
      for (const std::size_t end : cellEnds) {
        next = FindIgnoreCase(row, kCellClose, next);
        EXPECT_EQ(end, next) << row;
        next += kCellClose.size();
      }
      std::string text(row.substr(0, cut.before));
      for (int i = 0; i < cut.indents; ++i) text += kIndent;
      text += row.substr(cut.after);
      rows += text.substr(0, text.size() - kRowClose.size()) + std::string(kRowClose);
    }
    std::string rows;
  };
};

// The same log through windows of every size up to `largest` bytes, and in
// parts on several threads, must give the same output and piece count as
// the log in one piece on one thread, and, where `keptRows` are given, the
// same kept rows to a reader.
void ExpectSameThroughWindows(std::string_view input, std::string_view filter, std::size_t largest,
                              const std::string* keptRows = nullptr) {
  const std::string whole = Filter(input, filter);
  const std::string head(input.substr(0, FindIgnoreCase(input, kRowOpen)));
  const auto expectKept = [&](const KeptRowsAsText& kept, const std::string& how) {
    if (!keptRows) return;
    EXPECT_EQ(kept.head, head) << how;
    EXPECT_EQ(kept.rows, *keptRows) << how;
  };
  TextSource inOnePiece(input);
  const std::int64_t pieces = CountDetailPieces(inOnePiece);
  for (unsigned threads = 1; threads <= 4; ++threads) {
    std::string inParts;
    KeptRowsAsText kept;
    FilterReport(inOnePiece, FilterPattern(filter), AppendTo(inParts), threads, &kept);
    EXPECT_EQ(inParts, whole) << threads << " threads";
    expectKept(kept, std::to_string(threads) + " threads");
  }
  for (std::size_t window = 1; window <= largest; ++window) {
    TextSource log(input, window);
    std::string streamed;
    KeptRowsAsText kept;
    FilterReport(log, FilterPattern(filter), AppendTo(streamed), 1, &kept);
    EXPECT_EQ(streamed, whole) << "window " << window;
    EXPECT_EQ(CountDetailPieces(log), pieces) << "window " << window;
    expectKept(kept, "window " + std::to_string(window));
  }
}

TEST(FilterReport, KeepsHeadHeadingMatchingRowsAndTail) {
  const std::string input = kHead + std::string(kHeading) + Detail(1, "Login1Open") +
                            Detail(2, "Search") + Detail(3, "Login2Check") + kTail;
  FilterCounts counts;
  EXPECT_EQ(Filter(input, "Login", &counts),
            kHead + std::string(kHeading) +
                "\r\n<TR><TD>1</TD><TD>Passed</TD><TD>&nbspOpen</TD><TD>10:01</TD><TD>ok</TD></TR>"
                "\r\n<TR><TD>3</TD><TD>Passed</TD><TD>&nbsp&nbspCheck</TD><TD>10:03</TD><TD>ok</"
                "TD></TR>" +
                kTail);
  EXPECT_EQ(counts.detailRows, 4u);
  EXPECT_EQ(counts.keptRows, 3u);
}

TEST(FilterReport, NoMatchStillGivesACompleteDocument) {
  const std::string input = kHead + std::string(kHeading) + Detail(1, "A") + kTail;
  EXPECT_EQ(Filter(input, "zzz"), kHead + std::string(kHeading) + kTail);
}

// Rows of fewer than four cells are kept as they are, so what these logs
// give shows where the cut falls.
TEST(FilterReport, CutsAtBareRowTagsInAnyLetterCase) {
  struct Case {
    std::string log, output;
    std::int64_t pieces;
  };
  const Case cases[] = {
      {"<html><table>\r\n<TR><TD>Itr#</TD></TR>\r\n<TR><TD>1</TD></TR>\r\n</table></html>",
       "<html><table>\r\n<TR><TD>Itr#</TD></TR>\r\n<TR><TD>1</TD></TR>\r\n</table></html>", 2},
      // Every kept row is closed in upper case; the head and tail stay as they are.
      {"h</tr><tr>a</tr>b</Tr>c</tR>t</tr", "h</tr><tr>a</TR>b</TR>c</TR>t</tr", 3},
      // A row tag with attributes is no row tag: that row stays in the head, unfiltered.
      {"<TR "
       "bgcolor=red><TD>1</TD><TD>P</TD><TD>N</TD><TD>t</TD><TD>d</TD></tr><TR><TD>y</TD></TR>end",
       "<TR "
       "bgcolor=red><TD>1</TD><TD>P</TD><TD>N</TD><TD>t</TD><TD>d</TD></tr><TR><TD>y</TD></TR>end",
       1},
      {"<html><body>No results.</body></html>", "<html><body>No results.</body></html>", -1},
      {"head<TR><TD>1</TD>", "head<TR><TD>1</TD>", 0},
      {"", "", -1},
      {"<TR>a</TR", "<TR>a</TR", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.log);
    EXPECT_EQ(Filter(c.log, "zzz"), c.output);
    TextSource log(c.log);
    EXPECT_EQ(CountDetailPieces(log), c.pieces);
    ExpectSameThroughWindows(c.log, "zzz", 8);
  }
}

TEST(FilterReport, AnyNumberOfRows) {
  std::string log = "<table>";
  const int rows = 70000;
  for (int i = 0; i < rows; ++i) log += "<TR><TD>1</TD></TR>";
  log += "</table>";
  FilterCounts counts;
  EXPECT_EQ(Filter(log, "x", &counts), log);
  EXPECT_EQ(counts.detailRows, static_cast<std::uint64_t>(rows));
  TextSource source(log);
  EXPECT_EQ(CountDetailPieces(source), rows);
}

TEST(FilterReport, DroppedRowTakesTheTextInFrontOfItAlong) {
  const std::string input =
      "<table><TR><TD>Itr#</TD><TD>S</TD><TD>N</TD><TD>T</TD><TD>D</TD></TR>"
      "</table><h2>Part two</h2><table>"
      "<TR><TD>1</TD><TD>P</TD><TD>other</TD><TD>t</TD><TD>d</TD></TR></table>";
  EXPECT_EQ(Filter(input, "Login"),
            "<table><TR><TD>Itr#</TD><TD>S</TD><TD>N</TD><TD>T</TD><TD>D</TD></TR></table>");
}

// Rows the stream decides from one look at their bytes, and rows it leaves
// to the parser, must come out exactly as the parser's verdict has them.
TEST(FilterReport, EveryRowComesOutAsTheParsersVerdictHasIt) {
  const std::string rows[] = {
      "\r\n<TR><TD>1</TD><TD>P</TD><TD>Login1Step</TD><TD>t</TD><TD>d</TD></TR>",
      "\r\n<tr><td>2</td><td>P</td><td>Login</td><td>t</td><td>Login login</td></tr>",
      "\r\n<TR><TD align=right><B> 3 </B></TD><TD>P</TD><TD><A "
      "HREF=x>LOGIN9</A></TD><TD>t</TD><TD>d</TD></TR>",
      "\r\n<TR><TD></TD><TD>P</TD><TD>Logout</TD><TD>t</TD><TD>d</TD></TR>",
      "\r\n<TR><TD> Itr# </TD><TD>P</TD><TD>x</TD><TD>t</TD><TD>d</TD></TR>",
      "\r\n<TR>\r\n<TD>4</TD>\r\n<TD>P</TD>\r\n<TD>Login2</TD>\r\n<TD>t</TD><TD>d</TD></TR>",
      "\r\n<TR><TD>5<TD></TD><TD>P</TD><TD>a<TD>Login</TD><TD>t</TD><TD>d</TD></TR>",
      "\r\n<TR><TD>It<TR>r#</TD><TD>P</TD><TD>x</TD><TD>t</TD><TD>d</TD></TR>",
      "\r\n<TR><TD>6</TD><TD>P</TD><TD>x</TD><TD>Login</T\r\nD><TD>d</TD></tr>",
      "\r\n<TR><TD>7</TD><TD>P</TD><TD>x</TD><TD>t</TD><TD>d</TD></tr>",
      "\r\n<TR><TD>8</TD><TD>P</TD><TD>x</TD><TD>t</TD><TD>LoGiN</tr>",
  };
  // Behind the heading row, each row is a piece of the cut as it stands.
  std::string log = kHead + std::string(kHeading);
  std::string expected = log;
  std::string keptRows;  // those kept for the filter, as a reader is given them
  TextArena arena;
  std::string scratch;
  const FilterPattern filter("login");
  for (const std::string& row : rows) {
    log += row;
    std::string verdict;
    const LogData record = MakeRecord(row, arena, scratch);
    if (AppendSelectedRow(record, filter, verdict) && !KeptUnconditionally(record.Itr))
      keptRows += verdict;
    expected += verdict;
  }
  log += kTail;
  expected += kTail;
  EXPECT_EQ(Filter(log, "login"), expected);
  ExpectSameThroughWindows(log, "login", 40, &keptRows);
}

TEST(FilterReport, HandedOnAboutAMegabyteAtATime) {
  std::string input = kHead + std::string(kHeading);
  for (int i = 0; i < 80000; ++i) input += Detail(i % 10, i % 2 ? "Login1Step" : "Other step");
  input += kTail;
  TextSource log(input);
  std::string streamed;
  int batches = 0;
  const FilterCounts counts =
      FilterReport(log, FilterPattern("login"), [&](std::span<const std::string_view> pieces) {
        std::size_t bytes = 0;
        for (const std::string_view piece : pieces) {
          EXPECT_FALSE(piece.empty());
          bytes += piece.size();
          streamed += piece;
        }
        EXPECT_LE(bytes, 2u << 20);
        ++batches;
      });
  EXPECT_EQ(streamed, Filter(input, "login"));
  EXPECT_EQ(counts.keptRows, 40001u);
  EXPECT_GT(batches, 2);
}

}  // namespace
}  // namespace rowsift
