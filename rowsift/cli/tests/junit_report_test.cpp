// The JUnit file of the rows a filter kept: suites, cases, outcomes, times
// and escaping, whatever the cells hold, and whichever part of the log the
// rows were read in.
#include "junit_report.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kept_row_cells.h"
#include "report_rows.h"

namespace rowsift {
namespace {

std::string Row(std::string_view itr, std::string_view status, std::string_view name,
                std::string_view time, std::string_view details) {
  return "\r\n<TR><TD>" + std::string(itr) + "</TD><TD>" + std::string(status) + "</TD><TD>" +
         std::string(name) + "</TD><TD>" + std::string(time) + "</TD><TD>" + std::string(details) +
         "</TD></TR>";
}

// The JUnit file as it is committed.
class CommittedFile final : public filelayer::FileReplacement {
 public:
  explicit CommittedFile(std::string& file) : file_(file) {}
  void Append(std::span<const std::string_view> pieces) override {
    for (const std::string_view piece : pieces) bytes_ += piece;
  }
  void WriteOver(std::uint64_t offset, std::string_view bytes) override {
    bytes_.replace(static_cast<std::size_t>(offset), bytes.size(), bytes);
  }
  void Commit() override { file_ = bytes_; }

 private:
  std::string& file_;
  std::string bytes_;
};

JUnitFileOpener CommitTo(std::string& file) {
  return [&file] { return std::make_unique<CommittedFile>(file); };
}

// `text` with every `mark` in it replaced by `by`.
std::string Replaced(std::string text, std::string_view mark, std::string_view by) {
  for (std::size_t at = text.find(mark); at != std::string::npos;
       at = text.find(mark, at + by.size())) {
    text.replace(at, mark.size(), by);
  }
  return text;
}

using Parts = std::vector<std::vector<std::string>>;

// The collector given the head, then the rows part by part, as the filter
// gives them.
void ReadInParts(JUnitCollector& collector, std::string_view head, const Parts& parts) {
  collector.Head(head);
  for (const std::vector<std::string>& rows : parts) {
    std::unique_ptr<KeptRowReader::Part> part = collector.StartPart();
    for (const std::string& row : rows) part->Read(row, FilterCut{row.size(), row.size(), 0}, {});
    collector.EndPart(std::move(part));
  }
}

// Latin-1 for the test: each byte is the character of the same number.
std::string FromLatin1(std::string_view bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text += c;
    } else {
      text += static_cast<char>(0xC0 | (byte >> 6));
      text += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return text;
}

const std::string kHead = "<html><head><title>Nightly &amp; <b>Login</b></title></head><table>\r\n";

// Iteration 1 runs across the parts' bound, and comes back after 2; 2
// comes back too, after a run whose time takes two digits, with a name
// whose reference lies past its sixteenth byte.
const Parts kParts = {
    {Row("Itr#", "Status", "Step", "Time", "Details"),
     Row("1", "<FONT CLASS=pass>Passed</FONT>", "&nbsp&nbspOpen <i>caf\xE9</i>", "23:59:58", "ok")},
    {Row("<B>1</B>", "Passed", "Log in", "23:59:59", ""),
     Row("2", "FAILED", "Check &lt;total&gt;", "10:00:00", "expected 5, found \"6\" ]]> \x01"),
     Row("2", "Passed", "Wait", "10:00:12", ""),
     Row("1", "Warning", "Check", "00:00:03", "slow &#x263A;"),
     Row("1", "Passed", "Check", "not a time", "")},
    {},
    {Row("", "Passed", "no iteration", "", ""),
     Row("2", "", "Close the orders &#65;", "10:00:30", "")}};

TEST(JUnitCollector, SuitesByIterationCasesByRowOutcomesByStatusAndEveryTextEscaped) {
  std::string xml;
  JUnitCollector collector(FromLatin1, "run.htm", CommitTo(xml));
  ReadInParts(collector, kHead, kParts);
  EXPECT_FALSE(collector.ReadAgain());
  const JUnitCounts counts = collector.Finish();
  EXPECT_EQ(counts.cases, 7u);
  EXPECT_EQ(counts.passed, 4u);
  EXPECT_EQ(counts.failed, 1u);
  EXPECT_EQ(counts.other, 2u);
  EXPECT_EQ(xml,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<testsuites name=\"Nightly &amp; Login\" tests=\"7\" failures=\"1\" errors=\"0\" "
            "skipped=\"0\" time=\"35\">\n"
            "  <testsuite name=\"1\" tests=\"4\" failures=\"0\" errors=\"0\" skipped=\"0\" "
            "time=\"5\">\n"
            "    <testcase name=\"Open caf\xC3\xA9\" classname=\"1\" time=\"1\"/>\n"
            "    <testcase name=\"Log in\" classname=\"1\" time=\"4\"/>\n"
            "    <testcase name=\"Check\" classname=\"1\" time=\"0\"><system-out>Warning: slow "
            "\xE2\x98\xBA</system-out></testcase>\n"
            "    <testcase name=\"Check\" classname=\"1\" time=\"0\"/>\n"
            "  </testsuite>\n"
            "  <testsuite name=\"2\" tests=\"3\" failures=\"1\" errors=\"0\" skipped=\"0\" "
            "time=\"30\">\n"
            "    <testcase name=\"Check &lt;total&gt;\" classname=\"2\" time=\"12\"><failure "
            "message=\"expected 5, found &quot;6&quot; ]]&gt; \xEF\xBF\xBD\">expected 5, found "
            "\"6\" ]]&gt; \xEF\xBF\xBD</failure></testcase>\n"
            "    <testcase name=\"Wait\" classname=\"2\" time=\"18\"/>\n"
            "    <testcase name=\"Close the orders A\" classname=\"2\" time=\"0\"><system-out>: "
            "</system-out></testcase>\n"
            "  </testsuite>\n"
            "</testsuites>\n");
  const std::string wholeAtTheEnd = xml;

  // Written out suite by suite as the parts end, the start last, in the room
  // kept for the longest totals.
  JUnitCollector early(FromLatin1, "run.htm", CommitTo(xml), 1);
  ReadInParts(early, kHead, kParts);
  EXPECT_FALSE(early.ReadAgain());
  early.Finish();
  const std::size_t startEnd = xml.find(">\n", xml.find("<testsuites")) + 2;
  const std::size_t padding = xml.find("  <testsuite") - startEnd;
  EXPECT_EQ(xml.substr(startEnd, padding), std::string(padding - 1, ' ') + "\n");
  EXPECT_GT(padding, 40u);
  EXPECT_EQ(xml.erase(startEnd, padding), wholeAtTheEnd);

  JUnitCollector countsOnly(FromLatin1, "run.htm");
  ReadInParts(countsOnly, "", kParts);
  EXPECT_EQ(countsOnly.Finish().failed, 1u);
}

TEST(JUnitCollector, AnIterationBackAfterItsSuiteWasWrittenOutTakesASecondReading) {
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<testsuites name=\"run.htm\" tests=\"3\" failures=\"1\" errors=\"0\" skipped=\"0\" "
      "time=\"5\">\n"
      "  <testsuite name=\"{1}\" tests=\"2\" failures=\"1\" errors=\"0\" skipped=\"0\" "
      "time=\"5\">\n"
      "    <testcase name=\"a\" classname=\"{1}\" time=\"5\"/>\n"
      "    <testcase name=\"c\" classname=\"{1}\" time=\"0\"><failure message=\"late\">late"
      "</failure></testcase>\n"
      "  </testsuite>\n"
      "  <testsuite name=\"{2}\" tests=\"1\" failures=\"0\" errors=\"0\" skipped=\"0\" "
      "time=\"0\">\n"
      "    <testcase name=\"b\" classname=\"{2}\" time=\"0\"/>\n"
      "  </testsuite>\n"
      "</testsuites>\n";
  // Numbered iterations, and names found by their hash ("01" is not "1").
  for (const auto& [first, second] : {std::pair<std::string, std::string>{"1", "2"},
                                      std::pair<std::string, std::string>{"Run 1", "01"}}) {
    SCOPED_TRACE(first);
    const Parts parts = {{Row(first, "Passed", "a", "10:00:00", "")},
                         {Row(second, "Passed", "b", "10:00:01", "")},
                         {Row(first, "Failed", "c", "10:00:05", "late")}};
    std::string xml;
    JUnitCollector collector(FromLatin1, "run.htm", CommitTo(xml), 1);
    ReadInParts(collector, "", parts);
    ASSERT_TRUE(collector.ReadAgain());
    ReadInParts(collector, "", parts);
    EXPECT_FALSE(collector.ReadAgain());
    EXPECT_EQ(collector.Finish().cases, 3u);
    EXPECT_EQ(xml, Replaced(Replaced(expected, "{1}", first), "{2}", second));
  }
}

TEST(JUnitCollector, ACutRowIsReadAsTheOutputHoldsIt) {
  std::string xml;
  JUnitCollector collector(FromLatin1, "run.htm", CommitTo(xml));
  std::unique_ptr<KeptRowReader::Part> part = collector.StartPart();
  // The row read with `length` bytes cut from where `found` is, `indents`
  // indents in their place.
  const auto readCut = [&part](const std::string& row, std::string_view found, std::size_t length,
                               int indents) {
    const std::size_t at = row.find(found);
    part->Read(row, FilterCut{at, at + length, indents}, {});
  };
  // "Login2" cut from the step, which keeps two indents; then cuts that
  // take a cell's closing tag, or only its middle, joining the step and its
  // time.
  readCut(Row("1", "Passed", "Login2Open", "10:00:00", ""), "Login2", 6, 2);
  readCut(Row("1", "Passed", "Close", "x", "y"), "</TD><TD>x", 9, 0);
  readCut(Row("1", "Passed", "Shut", "y", "z"), "/TD><TD>y", 3, 0);
  // An indent followed by ";" reads as "&nbsp;", which the ";" ends; one
  // in the middle of a name is a no-break space there.
  readCut(Row("1", "Passed", "Login;Next", "10:00:01", ""), "Login", 5, 1);
  readCut(Row("1", "Passed", "Pre Login Post", "10:00:02", ""), "Login", 5, 1);
  collector.EndPart(std::move(part));
  EXPECT_EQ(collector.Finish().cases, 5u);
  EXPECT_NE(xml.find("<testcase name=\"Open\" classname=\"1\" time=\"0\"/>"), std::string::npos);
  EXPECT_NE(xml.find("<testcase name=\"Closex\" classname=\"1\" time=\"0\"/>"), std::string::npos);
  EXPECT_NE(xml.find("<testcase name=\"Shuty\" classname=\"1\" time=\"0\"/>"), std::string::npos);
  EXPECT_NE(xml.find("<testcase name=\"Next\" classname=\"1\" time=\"1\"/>"), std::string::npos);
  EXPECT_NE(xml.find("<testcase name=\"Pre \xC2\xA0 Post\" classname=\"1\" time=\"0\"/>"),
            std::string::npos);
}

TEST(JUnitCollector, ALogWithoutTitleOrRowsIsAnEmptySuiteListNamedAfterTheFile) {
  std::string xml;
  JUnitCollector collector(FromLatin1, "run.htm", CommitTo(xml));
  ReadInParts(collector, "<html>no rows</html>", {});
  EXPECT_EQ(collector.Finish().cases, 0u);
  EXPECT_EQ(xml,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<testsuites name=\"run.htm\" tests=\"0\" failures=\"0\" errors=\"0\" skipped=\"0\" "
            "time=\"0\">\n</testsuites>\n");
}

TEST(SameBytes, TellsEveryDifferenceAtEverySize) {
  for (std::size_t size = 0; size <= 70; ++size) {
    const std::string text(size, 'x');
    std::string copy = text;
    EXPECT_TRUE(SameBytes(text, copy)) << size;
    EXPECT_FALSE(SameBytes(text, copy + 'x')) << size;
    for (std::size_t at = 0; at < size; ++at) {
      copy[at] = 'y';
      EXPECT_FALSE(SameBytes(text, copy)) << size << " " << at;
      copy[at] = 'x';
    }
  }
}

TEST(JUnitPathFor, PutsXmlInPlaceOfTheHtmlEnding) {
  EXPECT_EQ(JUnitPathFor("C:\\logs\\Run1_Output.htm"), "C:\\logs\\Run1_Output.xml");
  EXPECT_EQ(JUnitPathFor("run.HTML"), "run.xml");
  EXPECT_EQ(JUnitPathFor("run.txt"), "run.txt.xml");
}

}  // namespace
}  // namespace rowsift
