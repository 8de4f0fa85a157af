# SPDX-License-Identifier: MIT
"""python3 -m zelreport html: the page's structure without a browser, and the
fixes to plot and table that came with it."""
import base64
import html
import os
import re
import struct
import subprocess
import sys
import zlib

import pytest

from conftest import SAMPLE, record_xml, run_python


def fields(nomvar, ni, nj, nk, datyp, **more):
    return [("nomvar", nomvar), *more.items(), ("ni", ni), ("nj", nj), ("nk", nk), ("datyp", datyp)]


# One record of each kind the thumbnails tell apart: (fields, values, what the field's cell says:
# the ends of the colour bar, the 1st and 99th percentiles worked out by hand, then the notes).
KINDS = [
    (fields("TT", 3, 2, 1, 1, typvar="P", etiket="R1", ip1=500), "-12.5 -10.25 -8.0\n -7.5 -3.75 1.5",
     "-12.4 1.24"),
    (fields("NAN", 2, 2, 1, 1, etiket=">x&\"\u00e9\udcff\x01"), "1 nan 3 4", "1.04 3.98 1 NaN"),
    (fields("ALLNAN", 2, 2, 1, 1), "nan nan nan nan", "all NaN"),
    (fields("CONST", 2, 2, 1, 1), "5 5 5 5", "constant 5"),
    (fields("INT", 2, 2, 1, 2), "1 2 3 4", "1.03 3.97"),
    (fields("NONE", 2, 2, 1, 1), "", "no values"),
    (fields("ODD", 3, 3, 1, 1), "1 2 3 4", "no field: 4 values for 3\u00d73\u00d71"),
    (fields("LEVELS", 2, 1, 2, 1), "1 2 3 4", "1.01 1.99 k 1/2"),
]


@pytest.fixture(scope="module")
def kinds(tmp_path_factory):
    path = tmp_path_factory.mktemp("html") / "kinds.xml"
    path.write_bytes("".join(record_xml(f, v) for f, v, _ in KINDS).encode("utf-8", "surrogateescape"))
    return path


def zelreport(*args, **kwargs):
    return subprocess.run([sys.executable, "-m", "zelreport", *map(str, args)], capture_output=True, **kwargs)


class Page:
    """The parts of a page the tests look at, read from the page's own regular layout (the
    browser tests read it as a browser does): the header's items, the rows' cells as text, the
    images' attributes and the count of scripts."""

    def __init__(self, text):
        self.items = {html.unescape(t): html.unescape(d.strip()) for t, d in re.findall(r"<dt>(.*?)<dd>(.*)", text)}
        self.rows = [[html.unescape(re.sub(r"(\s*<[^>]+>\s*)+", " ", cell)).strip() for cell in row.split("<td>")[1:]]
                     for row in re.findall(r"^<tr>(.*)", text, re.M)]
        self.images = [dict(zip(("src", "width", "height", "alt"), map(html.unescape, image)))
                       for image in re.findall(r'<img src="([^"]*)" width=(\d+) height=(\d+) alt="([^"]*)">', text)]
        self.scripts = text.count("<script>")


def page_of(*args, **kwargs):
    done = zelreport("html", *args, **kwargs)
    assert done.returncode == 0, done.stderr
    return done.stdout, Page(done.stdout.decode("utf-8"))


def pixels(image):
    """A thumbnail's palette indexes, row by row from the top, its palette and its chunks."""
    png = base64.b64decode(image["src"].split(",", 1)[1])
    chunks, at = {}, 8
    while at < len(png):
        length, kind = struct.unpack(">I4s", png[at:at + 8])
        chunks[kind], at = png[at + 8:at + 8 + length], at + 12 + length
    width, height = struct.unpack(">II", chunks[b"IHDR"][:8])
    lines = zlib.decompress(chunks[b"IDAT"])
    rows = [list(lines[r * (width + 1) + 1:(r + 1) * (width + 1)]) for r in range(height)]
    return rows, [tuple(chunks[b"PLTE"][i:i + 3]) for i in range(0, len(chunks[b"PLTE"]), 3)], chunks


def test_every_kind_of_record_has_its_row_and_thumbnail_drawn_i_across_j_up(kinds):
    pytest.importorskip("matplotlib")
    raw, page = page_of(kinds)
    assert [row[1] for row in page.rows] == [f[0][1] for f, _, _ in KINDS]
    assert [row[-1] for row in page.rows] == [cell for _, _, cell in KINDS]
    assert page.rows[0][:17] == ["1", "TT", "P", "R1", "500", "0", "0", "0", "0", "0", "3\u00d72\u00d71", "", "1",
                                 "6", "-12.5", "-6.75", "1.5"]  # min, avg, max
    assert page.rows[4][14:17] == ["", "", ""]  # integers: the report has no statistics
    # Texts come back as they were, escaped in the page; bytes that are not UTF-8 as \xNN.
    assert page.rows[1][3] == ">x&\"\u00e9\\xff\\x01"
    assert b"&gt;x&amp;&quot;" in raw
    assert [image["alt"] for image in page.images] == [
        "record 1: TT P R1, ip1 500", "record 2: NAN >x&\"\u00e9\\xff\\x01, ip1 500", "record 3: ALLNAN, ip1 500",
        "record 4: CONST, ip1 500", "record 5: INT, ip1 500", "record 8: LEVELS, ip1 500, level 1 of 2"]
    assert page.items == {
        "Records": "8", "Variables": "TT (1), NAN (1), ALLNAN (1), CONST (1), INT (1), NONE (1), ODD (1), LEVELS (1)",
        "Grids": "3\u00d72\u00d71 (no grtyp) (1), 2\u00d72\u00d71 (no grtyp) (5), 3\u00d73\u00d71 (no grtyp) (1), "
                 "2\u00d71\u00d72 (no grtyp) (1)",
        "dateo": "0", "npas": "0", "ip1": "500", "Values": "30", "Without values": "1 record: 6",
        "Thumbnails": "every record with a field"}
    # Self-contained: no link, no file or address but the images' own data.
    assert page.scripts == 1 and b"href" not in raw and b"url(" not in raw
    assert raw.count(b" src=") == raw.count(b' src="data:image/png;base64,') == len(page.images)
    # The thumbnails draw i across and j up, NaN transparent.
    rows, palette, chunks = pixels(page.images[0])
    # TT: j = 1 is -12.5 -10.25 -8.0, j = 2 is -7.5 -3.75 1.5; the top row is j = 2.
    colours = [[palette[i] for i in row] for row in rows]
    assert len(rows) == 2 and len(rows[0]) == 3
    assert colours[1][0] == palette[0] and colours[0][2] == palette[-1]  # lowest bottom left, highest top right
    assert page.images[0]["width"] == "96" and page.images[0]["height"] == "64"  # 32 pixels a point
    assert set(chunks) == {b"IHDR", b"PLTE", b"IDAT", b"IEND"}  # no text, no time
    nan_rows, _, nan_chunks = pixels(page.images[1])
    assert nan_rows[1][1] == 0 and nan_chunks[b"tRNS"] == b"\x00"  # (i=2, j=1) is NaN: entry 0, transparent


def test_same_document_same_bytes_and_the_thumbnail_cap(kinds, tmp_path):
    pytest.importorskip("matplotlib")
    first, page = page_of(kinds, "--thumbnails", "1")
    assert len(page.images) == 1 and page.items["Thumbnails"].startswith("records 1 to 1 (")
    out = tmp_path / "page.html"
    assert zelreport("html", "-", "-o", out, "--thumbnails", "1", stdin=open(kinds, "rb")).stdout == b""
    assert out.read_bytes() == first.replace(str(kinds).encode(), b"standard input")
    assert len(page_of(kinds, "--thumbnails", "all")[1].images) == 6
    assert len(page_of(kinds, "--thumbnails", "0")[1].images) == 0


def test_the_summary_stays_bounded(tmp_path):
    path = tmp_path / "names.xml"
    path.write_text("".join(record_xml(fields("V%d" % n, 1, 1, 1, 1, ip1=n), "") for n in range(60)))
    _, page = page_of(path, "--thumbnails", "0")
    variables = page.items["Variables"].split(", ")
    assert len(variables) == 51 and variables[-1] == "others (10)"
    assert page.items["Without values"].endswith("50, \u2026") and page.items["ip1"] == "0 to 59"
    assert len(page.rows) == 60


def test_without_matplotlib_the_page_has_no_thumbnails():
    code = ("import sys; sys.modules['matplotlib'] = None; from zelreport._cli import main; "
            "sys.exit(main(sys.argv[1:]))")
    done = run_python(code, "html", str(SAMPLE))
    assert done.returncode == 0 and b"no thumbnails: Matplotlib is not installed" in done.stderr
    page = Page(done.stdout.decode())
    assert len(page.rows) == 2 and not page.images and page.items["Thumbnails"].startswith("none: Matplotlib")


def test_plot_writes_and_prints_the_path_it_is_given(tmp_path):
    pytest.importorskip("matplotlib")
    done = zelreport("plot", SAMPLE, "-o", "noext", cwd=tmp_path, text=True)
    assert done.stdout == "noext\n" and os.listdir(tmp_path) == ["noext"]
    assert (tmp_path / "noext").read_bytes()[:4] == b"\x89PNG"


def test_table_help_says_what_csv_writes():
    text = zelreport("table", "--help", text=True).stdout.replace("\n", " ")
    description, csv_help = text.rsplit("--csv", 1)
    assert "aligned over blocks" in description and "aligned" not in csv_help
    assert "CSV" in csv_help


def test_ctrl_c_while_reading_standard_input_ends_with_status_130():
    # SIGINT a second after the table starts reading a pipe that stays open and empty.
    code = ("import signal, sys; from zelreport._cli import main; signal.signal(signal.SIGALRM, lambda *_: "
            "signal.raise_signal(signal.SIGINT)); signal.alarm(1); sys.exit(main(sys.argv[1:]))")
    reader, writer = os.pipe()
    done = run_python(code, "table", "-", stdin=reader, timeout=60)
    os.close(writer), os.close(reader)
    assert done.returncode == 130 and b"Traceback" not in done.stderr, done.stderr
