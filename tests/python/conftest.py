# SPDX-License-Identifier: MIT
"""Shared paths, documents and bounds for the Python package's tests."""
import faulthandler
import os
import pathlib
import subprocess
import sys

import pytest

TESTS = pathlib.Path(__file__).resolve().parent.parent
ROOT = TESTS.parent
SAMPLE = ROOT / "examples" / "sample.xml"
GOLDEN = sorted((TESTS / "golden").glob("*/*.xml"))
# A test that runs longer has hung: the run stops with every thread's
# traceback instead of holding up CI (generous: the suite also runs under
# AddressSanitizer).
TEST_SECONDS = 120


def record_xml(fields, values=None):
    """One record in the layout zelreport reads: `fields` in order, then the values."""
    lines = ["<zelrecord>"] + ["<%s>%s</%s>" % (name, value, name) for name, value in fields]
    if values is not None:
        lines += ["<zeldata>", "<values>%s</values>" % values, "</zeldata>"]
    return "\n".join(lines + ["</zelrecord>", ""])


def pytest_configure(config):
    config.addinivalue_line("markers", "slow: a test for make test-slow (a cluster of processes)")


@pytest.fixture(autouse=True)
def bounded_in_time():
    faulthandler.dump_traceback_later(TEST_SECONDS, exit=True)
    yield
    faulthandler.cancel_dump_traceback_later()


def preloaded(library):
    """LD_PRELOAD with `library` first, then what is preloaded already (a sanitizer's runtime)."""
    return " ".join(filter(None, [library, os.environ.get("LD_PRELOAD")]))


def run_python(code, *args, env=None, **kwargs):
    """Runs `code` in a new interpreter like this one, with the same package."""
    return subprocess.run([sys.executable, "-c", code, *args], capture_output=True,
                          env=dict(os.environ, **(env or {})), **kwargs)


@pytest.fixture
def dump_values():
    program = os.environ.get("ZELREPORT_DUMP_VALUES")
    if not program:
        pytest.skip("ZELREPORT_DUMP_VALUES not set (run from ctest)")
    return program
