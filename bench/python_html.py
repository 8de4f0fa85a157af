# SPDX-License-Identifier: MIT
"""Times `python3 -m zelreport html` against build/zelreport on the benchmark documents.

    python3 bench/python_html.py ZELREPORT RUNS DIR [DOCUMENT...]

For each document (grid, many, huge and ints by default) the two run in
turn, RUNS rounds: zelreport with standard input from the document and its
report discarded, and this interpreter writing the document's page with
the default thumbnails to a file. Prints the medians of their times and
their ratio (the target), the ratio of their processor times (user and
system, which the load of a shared machine moves less), the page's size and
the page writer's peak memory; then how long headless Chromium takes to
open grid's page (--dump-dom) and, beside it, an empty page; and exits 1
when a target is missed. Chromium's part is left out where it is not
installed.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

# The most the page may take against zelreport's time, and the most memory
# it may hold (MiB), on each document that has a target.
TIME_TARGETS = {"grid": 10.0, "many": 10.0}
MEMORY_TARGETS = {"many": 150}
# Opening grid's page in Chromium may take at most this many seconds.
OPEN_TARGET = ("grid", 5.0)
CHROMIUM_ARGUMENTS = ("--headless", "--no-sandbox", "--disable-gpu", "--dump-dom")


def run(command, stdin=None):
    """Seconds, processor seconds and peak memory (MiB) of one run of `command`."""
    start = time.perf_counter()
    child = subprocess.Popen(command, stdin=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    if status != 0:
        sys.exit("failed: %s" % " ".join(command))
    return time.perf_counter() - start, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024


def time_open(url):
    """Seconds headless Chromium takes to open `url` and print its DOM, or None without it."""
    chromium = shutil.which("chromium")
    return None if chromium is None else run([chromium, *CHROMIUM_ARGUMENTS, url])[0]


def main(argv):
    program, runs, directory = argv[1], int(argv[2]), argv[3]
    documents = argv[4:] or ["grid", "many", "huge", "ints"]
    print("%-8s %8s %8s %10s %10s %7s %9s %9s %9s  %s" % (
        "doc", "MB", "page MB", "zel s", "html s", "ratio", "cpu ratio", "RSS MiB", "open s", "must reach"))
    all_met = True
    with tempfile.TemporaryDirectory() as pages:
        for name in documents:
            path = os.path.join(directory, name + ".xml")
            page = os.path.join(pages, name + ".html")
            zel, html = [], []
            for _ in range(runs):
                with open(path, "rb") as document:
                    zel.append(run([program], stdin=document))
                html.append(run([sys.executable, "-m", "zelreport", "html", path, "-o", page]))
            ratio, cpu_ratio = (statistics.median(h[i] for h in html) / statistics.median(z[i] for z in zel)
                                for i in (0, 1))
            memory = max(h[2] for h in html)
            opened = time_open("file://" + os.path.abspath(page)) if name == OPEN_TARGET[0] else None
            targets, met = [], True
            if name in TIME_TARGETS:
                targets.append("<= %.0fx" % TIME_TARGETS[name])
                met &= ratio <= TIME_TARGETS[name]
            if name in MEMORY_TARGETS:
                targets.append("<= %d MiB" % MEMORY_TARGETS[name])
                met &= memory <= MEMORY_TARGETS[name]
            if opened is not None:
                targets.append("opens in <= %.0f s" % OPEN_TARGET[1])
                met &= opened <= OPEN_TARGET[1]
            all_met &= met
            print("%-8s %8.1f %8.1f %10.3f %10.3f %7.2f %9.2f %9.1f %9s  %s" % (
                name, os.path.getsize(path) / 1e6, os.path.getsize(page) / 1e6, statistics.median(z[0] for z in zel),
                statistics.median(h[0] for h in html), ratio, cpu_ratio, memory,
                "-" if opened is None else "%.2f" % opened,
                ", ".join(targets) + (": met" if met else ": MISSED") if targets else "(no target)"))
    blank = time_open("about:blank")
    if blank is not None:
        print("chromium on an empty page: %.2f s" % blank)
    print("median of %d alternating runs; times in seconds; cpu: user and system; RSS: the page writer's peak, "
          "the most of any run" % runs)
    return 0 if all_met else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
