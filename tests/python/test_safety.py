# SPDX-License-Identifier: MIT
"""What pure Python can do to the package: share an iterator among threads,
close it from several, misbehave as a file object, press Ctrl-C, fork."""
import gc
import os
import signal
import subprocess
import sys
import threading
import time

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


class FileObject:
    """A file object read through `method`, under the name `name`."""

    def __init__(self, name, method):
        setattr(self, name, method)


@pytest.mark.parametrize("run", RUNS)
@pytest.mark.parametrize("result, error", [(1.5, TypeError), ("5", TypeError), ([1], TypeError),
                                           (2**70, ValueError), (-1, ValueError)])
def test_a_read_count_of_the_wrong_kind_raises(run, result, error):
    with pytest.raises(error, match=r"readinto\(\) returned"):
        run(FileObject("readinto", lambda buffer: result))


@pytest.mark.parametrize("run", RUNS)
def test_a_kept_read_buffer_never_reaches_freed_memory(run):
    kept = []

    def keep_and_raise(buffer):
        kept.extend([buffer, buffer[4:], memoryview(buffer), np.frombuffer(buffer, dtype=np.uint8)])
        raise OSError("kept")

    with pytest.raises(OSError, match="kept"):
        run(FileObject("readinto", keep_and_raise))
    gc.collect()
    scrawl = [bytes([n]) * (1 << 19) for n in range(8)]  # reuses whatever was freed
    with pytest.raises(ValueError, match="released"):
        kept[0][0]
    # Views made from it read memory the package keeps alive for them.
    assert all(bytes(view[:4]) == b"\0\0\0\0" for view in kept[1:])
    del scrawl


@pytest.mark.parametrize("layout", [lambda chunk: memoryview(chunk[::-1])[::-1],
                                    lambda chunk: np.frombuffer(bytes(b for c in chunk for b in (c, 0)),
                                                                dtype=np.uint8)[::2]], ids=["reversed", "strided"])
def test_read_may_give_views_of_any_layout(layout):
    data = SAMPLE.read_bytes()
    chunks = (layout(data[i:i + 7]) for i in range(0, len(data) + 7, 7))
    assert zelreport.report(FileObject("read", lambda size: next(chunks))) == SAMPLE.with_suffix(".err").read_text()


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
    # The child is bounded in time too: the parent's watchdog does not go with it.
    killer = threading.Timer(20, os.kill, (pid, signal.SIGKILL))
    killer.start()
    _, status = os.waitpid(pid, 0)
    killer.cancel()
    assert os.waitstatus_to_exitcode(status) == 0
    assert sum(1 for _ in stream) == 999


def test_close_lets_go_of_the_source():
    data = bytearray((GRID * 10).encode())
    stream = zelreport.records(data)
    next(stream)
    stream.close()
    data.extend(b"\n")  # a bytearray still held could not be resized


def test_a_record_asked_for_by_the_file_objects_own_read_raises():
    stream = zelreport.records(FileObject("readinto", lambda buffer: next(stream)))
    with pytest.raises(RuntimeError, match="its own file object"):
        next(stream)
