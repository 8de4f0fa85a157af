# SPDX-License-Identifier: MIT
"""Times `python3 -m zelreport html` against build/zelreport on the benchmark documents.

    python3 bench/python_html.py ZELREPORT RUNS DIR [DOCUMENT...]

For each document (grid, many, huge and ints by default) the two run in
turn, RUNS rounds: zelreport with standard input from the document and its
report discarded, and this interpreter writing the document's page with
the default thumbnails to a file. Prints the medians, their ratio, the
page's size and the page writer's peak memory, then how long headless
Chromium takes to open grid's page (--dump-dom), and exits 1 when a
target is missed. Chromium's part is left out, with the reason, where it
is not installed.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from python_records import time_zelreport

# The most the page may take against zelreport's time, and the most memory
# it may hold (MiB), on each document that has a target.
TIME_TARGETS = {"grid": 10.0, "many": 10.0}
MEMORY_TARGETS = {"many": 150}
# Opening grid's page in Chromium may take at most this many seconds.
OPEN_TARGET = ("grid", 5.0)
CHROMIUM_ARGUMENTS = ("--headless", "--no-sandbox", "--disable-gpu", "--dump-dom")


def time_html(path, page):
    """Seconds and peak memory (MiB) of one page written from `path`."""
    start = time.perf_counter()
    child = subprocess.Popen([sys.executable, "-m", "zelreport", "html", path, "-o", page])
    _, status, usage = os.wait4(child.pid, 0)
    seconds = time.perf_counter() - start
    if status != 0:
        sys.exit("html failed on %s" % path)
    return seconds, usage.ru_maxrss / 1024


def time_open(page):
    chromium = shutil.which("chromium")
    if chromium is None:
        return None
    start = time.perf_counter()
    subprocess.run([chromium, *CHROMIUM_ARGUMENTS, "file://" + os.path.abspath(page)], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def main(argv):
    program, runs, directory = argv[1], int(argv[2]), argv[3]
    documents = argv[4:] or ["grid", "many", "huge", "ints"]
    print("%-8s %8s %8s %10s %10s %7s %9s %9s  %s" % ("doc", "MB", "page MB", "zel s", "html s", "ratio", "RSS MiB",
                                                     "open s", "must reach"))
    all_met = True
    with tempfile.TemporaryDirectory() as pages:
        for name in documents:
            path = os.path.join(directory, name + ".xml")
            page = os.path.join(pages, name + ".html")
            zel, html, memory = [], [], []
            for _ in range(runs):
                zel.append(time_zelreport(program, path))
                seconds, mib = time_html(path, page)
                html.append(seconds)
                memory.append(mib)
            ratio = statistics.median(html) / statistics.median(zel)
            opened = time_open(page) if name == OPEN_TARGET[0] else None
            targets, met = [], True
            if name in TIME_TARGETS:
                targets.append("<= %.0fx" % TIME_TARGETS[name])
                met &= ratio <= TIME_TARGETS[name]
            if name in MEMORY_TARGETS:
                targets.append("<= %d MiB" % MEMORY_TARGETS[name])
                met &= max(memory) <= MEMORY_TARGETS[name]
            if name == OPEN_TARGET[0]:
                targets.append("opens in <= %.0f s" % OPEN_TARGET[1] if opened is not None else
                               "(chromium not installed: opening not timed)")
                met &= opened is None or opened <= OPEN_TARGET[1]
            all_met &= met
            print("%-8s %8.1f %8.1f %10.3f %10.3f %7.2f %9.1f %9s  %s" % (
                name, os.path.getsize(path) / 1e6, os.path.getsize(page) / 1e6, statistics.median(zel),
                statistics.median(html), ratio, max(memory), "-" if opened is None else "%.2f" % opened,
                ", ".join(targets) + (": met" if met else ": MISSED") if targets else "(no target)"))
    print("median of %d alternating runs; times in seconds; RSS: the page writer's peak, the most of any run"
          % runs)
    return 0 if all_met else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
