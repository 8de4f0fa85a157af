# SPDX-License-Identifier: MIT
"""Shared paths and documents for the Python package's tests."""
import os
import pathlib
import subprocess
import sys

import pytest

TESTS = pathlib.Path(__file__).resolve().parent.parent
ROOT = TESTS.parent
SAMPLE = ROOT / "examples" / "sample.xml"
GOLDEN = sorted((TESTS / "golden").glob("*/*.xml"))


def record_xml(fields, values=None):
    """One record in the layout zelreport reads: `fields` in order, then the values."""
    lines = ["<zelrecord>"] + ["<%s>%s</%s>" % (name, value, name) for name, value in fields]
    if values is not None:
        lines += ["<zeldata>", "<values>%s</values>" % values, "</zeldata>"]
    return "\n".join(lines + ["</zelrecord>", ""])


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
