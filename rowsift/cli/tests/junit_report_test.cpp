// The JUnit file of a condensed log: suites, cases, outcomes, times and
// escaping, whatever the cells hold.
#include "junit_report.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace rowsift {
namespace {

std::string Row(std::string_view itr, std::string_view status, std::string_view name,
                std::string_view time, std::string_view details) {
  return "\r\n<TR><TD>" + std::string(itr) + "</TD><TD>" + std::string(status) + "</TD><TD>" +
         std::string(name) + "</TD><TD>" + std::string(time) + "</TD><TD>" + std::string(details) +
         "</TD></TR>";
}

JUnitSink AppendTo(std::string& xml) {
  return [&xml](std::string_view piece) { xml += piece; };
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

TEST(WriteJUnit, SuitesByIterationCasesByRowOutcomesByStatusAndEveryTextEscaped) {
  const std::string log =
      "<html><head><title>Nightly &amp; <b>Login</b></title></head><table>\r\n"
      "<TR><TD>Itr#</TD><TD>Status</TD><TD>Step</TD><TD>Time</TD><TD>Details</TD></TR>" +
      Row("1", "<FONT CLASS=pass>Passed</FONT>", "&nbsp&nbspOpen <i>caf\xE9</i>", "23:59:58",
          "ok") +
      Row("2", "FAILED", "Check &lt;total&gt;", "10:00:00", "expected 5, found \"6\" ]]> \x01") +
      Row("1", "Warning", "Check", "00:00:03", "slow &#x263A;") +
      Row("1", "Passed", "Check", "not a time", "") + Row("", "Passed", "no iteration", "", "") +
      Row("2", "", "Close", "10:00:30", "") + "\r\n</table></html>";
  std::string xml;
  const JUnitCounts counts = WriteJUnit(log, "run.htm", FromLatin1, AppendTo(xml));
  EXPECT_EQ(counts.cases, 5u);
  EXPECT_EQ(counts.passed, 2u);
  EXPECT_EQ(counts.failed, 1u);
  EXPECT_EQ(counts.other, 2u);
  EXPECT_EQ(xml,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<testsuites name=\"Nightly &amp; Login\" tests=\"5\" failures=\"1\" errors=\"0\" "
            "skipped=\"0\" time=\"35\">\n"
            "  <testsuite name=\"1\" tests=\"3\" failures=\"0\" errors=\"0\" skipped=\"0\" "
            "time=\"5\">\n"
            "    <testcase name=\"Open caf\xC3\xA9\" classname=\"1\" time=\"5\"/>\n"
            "    <testcase name=\"Check\" classname=\"1\" time=\"0\"><system-out>Warning: slow "
            "\xE2\x98\xBA</system-out></testcase>\n"
            "    <testcase name=\"Check\" classname=\"1\" time=\"0\"/>\n"
            "  </testsuite>\n"
            "  <testsuite name=\"2\" tests=\"2\" failures=\"1\" errors=\"0\" skipped=\"0\" "
            "time=\"30\">\n"
            "    <testcase name=\"Check &lt;total&gt;\" classname=\"2\" time=\"30\"><failure "
            "message=\"expected 5, found &quot;6&quot; ]]&gt; \xEF\xBF\xBD\">expected 5, found "
            "\"6\" ]]&gt; \xEF\xBF\xBD</failure></testcase>\n"
            "    <testcase name=\"Close\" classname=\"2\" time=\"0\"><system-out>: "
            "</system-out></testcase>\n"
            "  </testsuite>\n"
            "</testsuites>\n");
  JUnitCollector countsOnly(FromLatin1);
  countsOnly.Add(log);
  EXPECT_EQ(countsOnly.Finish("run.htm", nullptr).failed, 1u);
}

TEST(WriteJUnit, ALogWithoutTitleOrRowsIsAnEmptySuiteListNamedAfterTheFile) {
  std::string xml;
  EXPECT_EQ(WriteJUnit("<html>no rows</html>", "run.htm", FromLatin1, AppendTo(xml)).cases, 0u);
  EXPECT_EQ(xml,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<testsuites name=\"run.htm\" tests=\"0\" failures=\"0\" errors=\"0\" skipped=\"0\" "
            "time=\"0\">\n</testsuites>\n");
}

TEST(JUnitPathFor, PutsXmlInPlaceOfTheHtmlEnding) {
  EXPECT_EQ(JUnitPathFor("C:\\logs\\Run1_Output.htm"), "C:\\logs\\Run1_Output.xml");
  EXPECT_EQ(JUnitPathFor("run.HTML"), "run.xml");
  EXPECT_EQ(JUnitPathFor("run.txt"), "run.txt.xml");
}

}  // namespace
}  // namespace rowsift
