# SPDX-License-Identifier: MIT
"""What pure Python can do to the package: share an iterator among threads,
close it from several, misbehave as a file object, press Ctrl-C, fork."""
import gc
import io
import os
import signal
import subprocess
import sys
import threading
import time
import weakref

import numpy as np
import pytest
import zelreport

from conftest import SAMPLE, record_xml

GRID = record_xml([("nomvar", "G"), ("ni", 3), ("nj", 2), ("nk", 1), ("datyp", 1)], "0 1 2\n 10 11 12")
RECORDS = 20000
RUNS = [zelreport.report, lambda source: list(zelreport.records(source))]


@pytest.fixture
def many(tmp_path):
    path = tmp_path / "many.xml"
    path.write_bytes((GRID * RECORDS).encode())
    return path


def piped(path):
    """The document through a pipe from another process: its reads drop the GIL."""
    return subprocess.Popen(["cat", str(path)], stdout=subprocess.PIPE)


def in_threads(*targets):
    threads = [threading.Thread(target=target) for target in targets]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()


@pytest.mark.parametrize("threads", [2, 4])
@pytest.mark.parametrize("through", ["memory", "pipe"])
def test_threads_sharing_an_iterator_get_each_record_once(threads, through, many):
    with piped(many) as cat:
        stream = zelreport.records(cat.stdout if through == "pipe" else many.read_bytes())
        counts = []
        in_threads(*[lambda: counts.append(sum(1 for _ in stream))] * threads)
    assert sum(counts) == RECORDS


def test_close_races_a_consumer_and_other_closes(many):
    for round in range(10):
        with piped(many) as cat:
            stream = zelreport.records(cat.stdout)
            next(stream)

            def close_later():
                time.sleep(round / 1000)
                stream.close()

            in_threads(lambda: sum(1 for _ in stream), *[close_later] * 3)
            assert next(stream, None) is None
            cat.kill()


class ReadIntoGives(io.RawIOBase):
    """A file object whose readinto gives `result` after filling a byte."""

    def __init__(self, result):
        self.result = result

    def readable(self):
        return True

    def readinto(self, buffer):
        buffer[:1] = b"<"
        return self.result


@pytest.mark.parametrize("run", RUNS)
@pytest.mark.parametrize("result, error", [(1.5, TypeError), ("5", TypeError), ([1], TypeError),
                                           (2**70, ValueError), (-1, ValueError)])
def test_a_read_count_of_the_wrong_kind_raises(run, result, error):
    with pytest.raises(error, match=r"readinto\(\) returned"):
        run(ReadIntoGives(result))


class Keeper(io.RawIOBase):
    """A readinto that keeps the buffer it is given, and views of it, then raises."""

    def __init__(self):
        self.kept = []

    def readable(self):
        return True

    def readinto(self, buffer):
        self.kept += [buffer, buffer[4:], memoryview(buffer), np.frombuffer(buffer, dtype=np.uint8)]
        raise OSError("kept")


@pytest.mark.parametrize("run", RUNS)
def test_a_kept_read_buffer_never_reaches_freed_memory(run):
    keeper = Keeper()
    with pytest.raises(OSError, match="kept"):
        run(keeper)
    gc.collect()
    scrawl = [bytes([n]) * (1 << 19) for n in range(8)]  # reuses whatever was freed
    with pytest.raises(ValueError, match="released"):
        keeper.kept[0][0]
    # Views made from it read memory the package keeps alive for them.
    for view in keeper.kept[1:]:
        assert bytes(view[:4]) == b"\0\0\0\0"
    del scrawl


class Views:
    """A read() that gives `shape` views of the document, a few bytes at a time."""

    def __init__(self, data, shape):
        self.data, self.shape = data, shape

    def read(self, size):
        chunk, self.data = self.data[:7], self.data[7:]
        if self.shape == "reversed":
            return memoryview(chunk[::-1])[::-1]
        if self.shape == "strided":
            return np.frombuffer(bytes(b for c in chunk for b in (c, 0)), dtype=np.uint8)[::2]
        return np.frombuffer(chunk, dtype=np.uint8).reshape(-1, 1).T  # one row, column after column


@pytest.mark.parametrize("shape", ["reversed", "strided", "transposed"])
def test_read_may_give_views_of_any_layout(shape):
    assert zelreport.report(Views(SAMPLE.read_bytes(), shape)) == SAMPLE.with_suffix(".err").read_text()


# What a child reads from, waiting for more input when Ctrl-C comes.
CTRL_C_SOURCES = {
    "fifo": "sys.argv[1]",
    "fifo without a writer": "sys.argv[1]",
    "non-blocking raw file": "io.FileIO(nonblocking_pipe(), 'rb')",
    "sys.stdin.buffer": "sys.stdin.buffer",
}
CTRL_C_CHILD = """\
import io, os, sys, zelreport
def nonblocking_pipe():
    read, write = os.pipe()
    os.set_blocking(read, False)
    return read
source = %s
print('reading', flush=True)
%s
"""


@pytest.mark.parametrize("run", ["zelreport.report(source)", "list(zelreport.records(source))"])
@pytest.mark.parametrize("source", CTRL_C_SOURCES)
def test_ctrl_c_interrupts_a_document_that_waits_for_input(source, run, tmp_path):
    fifo = tmp_path / "fifo"
    os.mkfifo(fifo)
    child = subprocess.Popen([sys.executable, "-c", CTRL_C_CHILD % (CTRL_C_SOURCES[source], run), str(fifo)],
                             stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    writer = None
    try:
        assert child.stdout.readline() == b"reading\n"
        if source == "fifo":
            writer = open(fifo, "wb")
        for out in (writer, child.stdin):
            if out:
                out.write(GRID.encode())
                out.flush()
        time.sleep(0.5)  # well inside the wait for more input
        child.send_signal(signal.SIGINT)
        assert child.wait(timeout=10) != 0
    finally:
        child.kill()
        if writer:
            writer.close()
    assert b"KeyboardInterrupt" in child.stderr.read()


def test_an_iterator_used_after_fork_raises_in_the_child():
    stream = zelreport.records((GRID * 1000).encode())
    next(stream)
    pid = os.fork()
    if pid == 0:
        status = 1
        try:
            next(stream)
        except RuntimeError as error:
            status = 0 if "another process" in str(error) else 2
        stream.close()
        del stream
        gc.collect()
        os._exit(status)
    for _ in range(200):
        done, status = os.waitpid(pid, os.WNOHANG)
        if done:
            break
        time.sleep(0.05)
    else:
        os.kill(pid, signal.SIGKILL)
        os.waitpid(pid, 0)
        pytest.fail("the child hung")
    assert os.waitstatus_to_exitcode(status) == 0
    assert sum(1 for _ in stream) == 999


def test_close_lets_go_of_the_source():
    data = bytearray((GRID * 10).encode())
    file = io.BytesIO(data)
    gone = weakref.ref(file)
    for source in (data, file):
        stream = zelreport.records(source)
        next(stream)
        stream.close()
    data.extend(b"\n")  # a bytearray still held could not be resized
    del file, source
    gc.collect()
    assert gone() is None


def test_a_record_asked_for_by_the_file_objects_own_read_raises():
    class Asking(io.RawIOBase):
        def readable(self):
            return True

        def readinto(self, buffer):
            next(stream)

    stream = zelreport.records(Asking())
    with pytest.raises(RuntimeError, match="its own file object"):
        next(stream)
