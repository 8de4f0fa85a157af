# SPDX-License-Identifier: MIT
"""The html command's page in a real browser: Debian's chromium, headless, driven by
puppeteer-core (tests/browser, installed with `npm ci --prefix tests/browser`)."""
import json
import os
import shutil
import subprocess
import sys

import pytest

from conftest import TESTS, record_xml

DRIVER = TESTS / "browser" / "observe.mjs"
# (nomvar, etiket, ip1, values): ties on ip1, a filter that meets a name and an
# etiket, a text to escape, records with and without a field.
RECORDS = [("TT", "R1", 850, "1 2 3 4"), ("GZ", ">tt&\"\u00e9\udcff", 500, "nan nan nan nan"),
           ("tt", None, 10, ""), ("UU", "X", 850, "5 5 5 5")]


def needed():
    """Chromium and the driver, or the reason the test is skipped."""
    chromium, node = shutil.which("chromium"), shutil.which("node")
    if not chromium:
        pytest.skip("chromium not found (Debian: apt-get install chromium)")
    if not node:
        pytest.skip("node not found (Debian: apt-get install nodejs npm)")
    if not (TESTS / "browser" / "node_modules" / "puppeteer-core").is_dir():
        pytest.skip("puppeteer-core not installed (npm ci --prefix tests/browser)")
    pytest.importorskip("matplotlib")
    return chromium, node


@pytest.fixture(scope="module")
def observed(tmp_path_factory):
    chromium, node = needed()
    folder = tmp_path_factory.mktemp("browser")
    document = folder / "records.xml"
    document.write_bytes("".join(
        record_xml([("nomvar", nomvar)] + ([("etiket", etiket)] if etiket else []) +
                   [("ip1", ip1), ("ni", 2), ("nj", 2), ("nk", 1), ("datyp", 1)], values)
        for nomvar, etiket, ip1, values in RECORDS).encode("utf-8", "surrogateescape"))
    page = folder / "records.html"
    subprocess.run([sys.executable, "-m", "zelreport", "html", document, "-o", page], check=True)
    # The browser runs without the sanitizer's preloaded runtime, which Chromium
    # does not start under; only the page is under test here.
    browser_env = {name: value for name, value in os.environ.items() if name != "LD_PRELOAD"}
    done = subprocess.run([node, DRIVER, chromium, page, "sort=nomvar-desc&filter=U"], capture_output=True,
                          text=True, timeout=240, env=dict(browser_env, HOME=str(folder)))
    assert done.returncode == 0, done.stderr
    return json.loads(done.stdout)


def test_the_page_as_opened(observed):
    loaded = observed["loaded"]
    assert loaded["visible"] == ["1 TT", "2 GZ", "3 tt", "4 UU"]
    assert (loaded["images"], loaded["shown"], loaded["controls"]) == (3, "4 of 4 records", True)
    # The etiket is shown as the text it is, not as markup.
    assert loaded["etikets"][1] == ">tt&\"\u00e9\\xff" and loaded["elementsInTexts"] == 0


def test_sorting_and_filtering_by_hand_are_kept_in_the_link(observed):
    clicked, typed = observed["clicked"], observed["typed"]
    # Descending ip1; the two 850s stay in document order.
    assert (clicked["visible"], clicked["sorted"], clicked["fragment"]) == (
        ["1 TT", "4 UU", "2 GZ", "3 tt"], "ip1 descending", "#sort=ip1-desc")
    # "tt" meets TT and tt by nomvar, GZ by etiket, in any case.
    assert (typed["visible"], typed["shown"], typed["fragment"]) == (
        ["1 TT", "2 GZ", "3 tt"], "3 of 4 records", "#sort=ip1-desc&filter=tt")


def test_a_link_opens_on_its_view(observed):
    linked = observed["linked"]
    assert (linked["visible"], linked["shown"], linked["sorted"]) == (["4 UU"], "1 of 4 records", "nomvar descending")


def test_without_script_the_page_is_the_whole_table(observed):
    scriptless = observed["scriptless"]
    assert (scriptless["visible"], scriptless["images"], scriptless["controls"]) == (
        ["1 TT", "2 GZ", "3 tt", "4 UU"], 3, False)
