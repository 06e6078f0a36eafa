"""The JUnit files of rowsift-cli --junit as a CI server reads them.

junitparser (Debian's python3-junitparser) loads every file written here;
its suites, cases and failures must be those of the condensed log beside it,
counted here from the condensed log's own rows.

  junit_consumer.py ROWSIFT_CLI SCRATCH_FOLDER SAMPLE_LOG [ROWS]
"""
import os
import re
import subprocess
import sys

from junitparser import Failure, JUnitXml

CLI, SCRATCH, SAMPLE = sys.argv[1:4]
ROWS = int(sys.argv[4]) if len(sys.argv) > 4 else 1000000

HEADING = b"<TR><TD>Itr#</TD><TD>Status</TD><TD>Step</TD><TD>Time</TD><TD>Details</TD></TR>"


def row(itr, status, name, time, details):
    return b"\r\n<TR><TD>%s</TD><TD>%s</TD><TD>%s</TD><TD>%s</TD><TD>%s</TD></TR>" % (
        itr, status, name, time, details)


def text(cell):
    return re.sub(rb"<[^<>]*>", b"", cell).strip(b" \r\n\t")


def expected_suites(condensed):
    """Per iteration, in order of first appearance: [cases, failures]."""
    suites = {}
    start = condensed.upper().find(b"<TR>")
    if start < 0:
        return suites
    pieces = re.split(rb"</tr>", condensed[start:], flags=re.IGNORECASE)[:-1]
    for piece in pieces:
        cells = re.split(rb"</td>", piece, flags=re.IGNORECASE)
        if len(cells) < 5:
            continue
        itr = text(cells[0])
        if not itr or itr == b"Itr#":
            continue
        counts = suites.setdefault(itr, [0, 0])
        counts[0] += 1
        counts[1] += text(cells[1]).lower() == b"failed"
    return suites


def check(name, log_bytes, filter_bytes, extra=()):
    log = os.path.join(SCRATCH, name + ".htm")
    with open(log, "wb") as f:
        f.write(log_bytes)
    subprocess.run([CLI, "--overwrite", "--junit", "--filter", filter_bytes, *extra, log],
                   check=True, stderr=subprocess.DEVNULL)
    with open(os.path.join(SCRATCH, name + "_Output.htm"), "rb") as f:
        expected = expected_suites(f.read())
    xml = JUnitXml.fromfile(os.path.join(SCRATCH, name + "_Output.xml"))
    found = {}
    names = []
    for suite in xml:
        cases = list(suite)
        failures = sum(any(isinstance(r, Failure) for r in case.result) for case in cases)
        assert suite.tests == len(cases) and suite.failures == failures, (name, suite.name)
        found[suite.name.encode("utf-8")] = [len(cases), failures]
        names += [case.name for case in cases]
    assert list(found.items()) == list(expected.items()), (name, found, expected)
    assert xml.tests == sum(v[0] for v in expected.values()), name
    assert xml.failures == sum(v[1] for v in expected.values()), name
    print(f"{name}: {xml.tests} cases in {len(found)} suites, {xml.failures} failed: as the log")
    return names


def main():
    os.makedirs(SCRATCH, exist_ok=True)
    with open(SAMPLE, "rb") as f:
        check("sample", f.read(), "Login")

    # Failed and warning rows, references, markup, "]]>" and control
    # characters, iterations interleaved, a step across midnight.
    mixed = (b"<html><head><title>Mixed &amp; odd</title></head><table>\r\n" + HEADING +
             row(b"1", b"<FONT CLASS=fail>Failed</FONT>", b"Login <b>Open</b> &lt;main&gt;",
                 b"23:59:50", b"expected ]]> found \x01\x02 &#0; &#xFFFE;") +
             row(b"2", b"Warning", b"Login2Check", b"10:00:00", b"<A HREF='x'>slow</A>") +
             row(b"1", b"passed", b"Login&nbsp;again", b"00:00:10", b"") +
             row(b"2", b"FAILED", b"Login", b"10:00:05", b"\"quoted\" & 'single'") +
             row(b"3", b"", b"Login", b"", b"") +
             row(b"1", b"Done", b"Logout", b"00:00:20", b"not kept") +
             b"\r\n</table></html>")
    check("mixed", mixed, "Login")

    japanese = (b"<html><table>" + HEADING +
                row(b"1", b"Passed", "ログイン画面を開く".encode("cp932"), b"09:00:00", b"ok") +
                row(b"1", b"Failed", "ログイン確認".encode("cp932"), b"09:00:04",
                    "表示されない".encode("cp932")) +
                b"</table></html>")
    names = check("japanese", japanese, "ログ".encode("cp932"), ("--codepage", "932"))
    assert names == ["イン画面を開く", "イン確認"], names

    steps = [b"Login1Enter user name", b"Open order form", b"Login2Check welcome banner",
             b"Logout"]
    parts = [b"<html><head><title>Large</title></head><table>\r\n", HEADING]
    for i in range(ROWS):
        parts.append(row(str(i // 8 + 1).encode(),
                         b"<FONT CLASS=fail>Failed</FONT>" if i % 97 == 0 else b"Passed",
                         steps[i % 4], b"%02d:%02d:%02d" % (i // 3600 % 24, i // 60 % 60, i % 60),
                         b"Window 'New Order' found"))
    parts.append(b"\r\n</table></html>")
    check("large", b"".join(parts), "Login")


main()
