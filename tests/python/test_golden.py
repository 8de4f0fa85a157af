# SPDX-License-Identifier: MIT
"""The package against the golden documents and the C++ API."""
import math
import subprocess
import warnings

import numpy as np
import pytest
import zelreport

from conftest import GOLDEN

ids = ["%s/%s" % (p.parent.name, p.stem) for p in GOLDEN]


def spelled(x):
    """%f as C's printf writes it: a NaN keeps its sign."""
    return ("-nan" if math.copysign(1, x) < 0 else "nan") if math.isnan(x) else "%f" % x


@pytest.mark.parametrize("document", GOLDEN, ids=ids)
def test_report_is_the_golden_output(document):
    golden = document.with_suffix(".err").read_bytes()
    with warnings.catch_warnings(record=True) as warned:
        warnings.simplefilter("always")
        text = zelreport.report(document)
    assert text.encode("utf-8", "surrogateescape") == golden
    # Warned exactly when no record is reported.
    assert [w.category for w in warned] == ([] if b"c_zelecr args" in golden else [zelreport.NoRecordWarning])


@pytest.mark.filterwarnings("ignore::zelreport.NoRecordWarning")
@pytest.mark.parametrize("document", GOLDEN, ids=ids)
def test_records_match_the_report_and_the_cpp_api(document, dump_values):
    golden = document.with_suffix(".err").read_bytes()
    with open(document, "rb") as stdin:
        arrays = subprocess.run([dump_values], stdin=stdin, capture_output=True, check=True).stdout.decode()
    arrays = iter(arrays.splitlines())
    place = 0
    for record in zelreport.records(document):
        # Each record's report comes next in the document's output.
        report = record.report.encode("utf-8", "surrogateescape")
        place = golden.index(report, place) + len(report)
        if record.statistics is None:
            assert b"--- min:" not in report
        else:
            line = "--- min: %s max: %s avg: %s   ---" % tuple(map(spelled, record.statistics))
            assert line in record.report
        if record.float_values is not None:
            kind, *bits = next(arrays).split(" ")
            assert kind == "floats" and record.float_values.dtype == np.float32
            assert record.float_values.view(np.uint32).tolist() == [int(b, 16) for b in bits]
        if record.int_values is not None:
            kind, *numbers = next(arrays).split(" ")
            assert kind == "ints" and record.int_values.dtype == np.int32
            assert record.int_values.tolist() == [int(n) for n in numbers]
        if record.float_values is None and record.int_values is None:
            assert next(arrays) == "none" and record.values is None
    assert next(arrays, None) is None
