# SPDX-License-Identifier: MIT
"""records() and report(): sources, arrays, texts, errors, stopping early."""
import gzip
import io
import os
import pathlib
import signal
import subprocess
import sys
import threading
import time

import numpy as np
import pytest
import zelreport

from conftest import SAMPLE, preloaded, record_xml, run_python

GRID = record_xml([("nomvar", "G"), ("ni", 3), ("nj", 2), ("nk", 1), ("datyp", 1)], "0 1 2\n 10 11 12")


class ReadOnly:
    """A file object with read() only, giving at most `step` bytes a call."""

    def __init__(self, data, step=7):
        self.data, self.step, self.reads = data, step, 0

    def read(self, size):
        self.reads += 1
        chunk, self.data = self.data[:min(size, self.step)], self.data[min(size, self.step):]
        return chunk


def sources(tmp_path):
    data = SAMPLE.read_bytes()
    (tmp_path / "sample.xml.gz").write_bytes(gzip.compress(data))
    return [str(SAMPLE), SAMPLE, data, bytearray(data), memoryview(data), open(SAMPLE, "rb"),
            gzip.open(tmp_path / "sample.xml.gz"), io.BytesIO(data), ReadOnly(data)]


def test_every_kind_of_source_gives_the_same_records(tmp_path):
    expected = SAMPLE.with_suffix(".err").read_bytes()
    for source in sources(tmp_path):
        assert zelreport.report(source).encode() == expected, source
    for source in sources(tmp_path):
        got = [(r.nomvar, r.ip1, r.values.tolist()) for r in zelreport.records(source)]
        assert got == [("TT", 500, [-12.5, -10.25, -8.0, -7.5, -3.75, 1.5]), ("GZ", 850, [1402, 1398, 1395, 1391])]


def test_field_has_the_first_index_varying_fastest():
    record, = zelreport.records(GRID.encode())
    assert record.field.shape == (3, 2, 1)
    assert all(record.field[i, j, 0] == i + 10 * j for i in range(3) for j in range(2))
    assert record.statistics == (0.0, 12.0, 6.0)
    assert not record.values.flags.writeable


def test_arrays_texts_and_fields_of_a_record():
    document = (record_xml([("etiket", "A\xffB"), ("ni", 4), ("nj", 1), ("nk", 1), ("datyp", 1)], "3 5")
                + record_xml([("datyp", 2)], "7 8") + record_xml([("datyp", 1)], "2.5").replace(
                    "<values>2.5</values>", "<values>2.5</values>\n</zeldata>\n<zeldata>\n<datyp>2</datyp>\n"
                    "<values>9</values>")).encode("latin-1")
    short, ints, both = zelreport.records(document)
    assert short.raw_texts["etiket"] == b"A\xffB" and short.etiket.encode("utf-8", "surrogateescape") == b"A\xffB"
    assert short.nomvar is None and short.field is None and short.statistics == (0.0, 5.0, 2.0)
    assert ints.values.dtype == np.int32 and ints.statistics is None and ints.ni == 4
    assert both.float_values.tolist() == [2.5] and both.int_values.tolist() == [9]
    assert both.values is both.float_values
    assert "etiket" in repr(short) and "values=2" in repr(short)


def test_errors_are_those_python_users_expect(tmp_path):
    with pytest.raises(FileNotFoundError) as missing:
        zelreport.report(tmp_path / "missing.xml")
    assert missing.value.filename == tmp_path / "missing.xml"
    with pytest.raises(IsADirectoryError):
        list(zelreport.records(str(tmp_path)))
    with pytest.raises(OSError) as unreadable:
        zelreport.report("/proc/self/mem")  # reading offset 0 fails with EIO
    assert unreadable.value.errno == 5
    for wrong in (3, None, io.StringIO("<zelrecord>")):
        with pytest.raises(TypeError):
            zelreport.report(wrong)
    # A path given as bytes, and a document given as a path, are named for what they are.
    for path in (b"doc.xml", bytearray(os.fsencode(SAMPLE))):
        with pytest.raises(TypeError, match="give its path as str"):
            zelreport.records(path)
    with pytest.raises(TypeError, match=r"holds markup \('<\?xml.*, 1129 characters\): give the document") as text:
        zelreport.report(SAMPLE.read_text())
    assert len(str(text.value)) < 300


def each_record_then_one_more(source):
    stream = zelreport.records(source)
    return list(stream), next(stream, None)


@pytest.mark.parametrize("run", [zelreport.report, each_record_then_one_more])
@pytest.mark.parametrize("document, reason", [
    (b"", "is empty"),
    (SAMPLE.read_text().encode("utf-16"), "UTF-16"),
    (b"name,value\nTT,1\n", "no '<'"),
    (SAMPLE.read_bytes().replace(b"\n<", b"\n  <"), "zelcheck says why"),
    (b"<html>\n<p>TT</p>\n</html>\n", "root element <orv-standard-file>"),
])
def test_a_document_without_records_warns_once_why(run, document, reason):
    with pytest.warns(zelreport.NoRecordWarning, match="gave no record: .*" + reason) as warned:
        run(document)
    assert len(warned) == 1


class Failing(ReadOnly):
    error = ValueError("the disk caught fire")

    def read(self, size):
        if self.reads:
            raise self.error
        return super().read(size)


@pytest.mark.parametrize("run", [zelreport.report, lambda source: list(zelreport.records(source))])
def test_an_exception_from_read_propagates_unchanged(run):
    with pytest.raises(ValueError) as raised:
        run(Failing(SAMPLE.read_bytes(), step=1000))
    assert raised.value is Failing.error


class Endless(io.RawIOBase):
    """An endless document, counting the bytes handed out."""

    def __init__(self):
        self.block, self.given = (GRID * 1000).encode(), 0

    def readable(self):
        return True

    def readinto(self, buffer):
        n = min(len(buffer), len(self.block))
        buffer[:n] = self.block[:n]
        self.given += n
        return n


def test_leaving_a_loop_early_stops_reading():
    endless = Endless()
    with zelreport.records(endless) as stream:
        for count, record in enumerate(stream):
            if count == 10000:
                break
    given = endless.given
    time.sleep(0.2)
    # Read ahead: a few hundred records in flight and a block of input or two.
    assert endless.given == given < len(GRID) * 11000 + (2 << 20)
    assert next(stream, None) is None


@pytest.mark.parametrize("values", [0, 30000])
def test_a_host_that_refuses_threads_gives_the_same_records(values, tmp_path):
    library = os.environ.get("ZELREPORT_REFUSE_THREADS")
    if not library:
        pytest.skip("ZELREPORT_REFUSE_THREADS not set (run from ctest)")
    document = SAMPLE
    if values:  # a run of values long enough for the library's own second thread
        document = tmp_path / "long.xml"
        document.write_text(record_xml([("ni", values), ("datyp", 1)], " ".join(["1.5"] * values)))
    code = ("import sys, zelreport\ntry:\n r = list(zelreport.records(sys.argv[1]))\n"
            " print(len(r), sum(len(x.values) for x in r), zelreport.report(sys.argv[1]) == ''.join(x.report for x in r))\n"
            "except OSError as e: print(e)")
    expected = run_python(code, str(document), timeout=60).stdout.decode()
    done = run_python(code, str(document), env={"LD_PRELOAD": preloaded(library)}, timeout=60)
    # The same records by a slower road.
    assert done.returncode == 0, done.stderr.decode()
    assert done.stdout.decode() == expected
    assert expected.startswith("1 30000 True" if values else "2 10 True")


def test_every_public_name_is_documented():
    for name in zelreport.__all__[:-1]:
        assert getattr(zelreport, name).__doc__, name
    for name in ("nomvar", "ip1", "npak", "values", "field", "statistics", "report"):
        assert getattr(zelreport.Record, name).__doc__, name


def test_type_stubs_fit_every_documented_use(tmp_path):
    pytest.importorskip("mypy", reason="mypy is not installed (Debian mypy)")
    if "asan" in os.environ.get("LD_PRELOAD", ""):
        pytest.skip("type checking is not repeated under the sanitizer")
    package_dir = pathlib.Path(zelreport.__file__).parent.parent
    done = subprocess.run([sys.executable, "-m", "mypy", "--strict", "--warn-unused-ignores", "--cache-dir",
                           str(tmp_path), str(pathlib.Path(__file__).parent / "stub_user.py")],
                          capture_output=True, text=True, env=dict(os.environ, MYPYPATH=str(package_dir)))
    assert done.returncode == 0, done.stdout + done.stderr
