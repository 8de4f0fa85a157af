# SPDX-License-Identifier: MIT
"""Times zelreport.records() against build/zelreport on the benchmark documents,
and compares their peak memory.

    python3 bench/python_records.py ZELREPORT RUNS DIR [DOCUMENT...]

For each document (grid, many, huge and ints by default) the two run in
turn, RUNS rounds: zelreport with standard input from the document and its
report discarded, and this interpreter iterating records() over the path
and touching each record's values (their length and first entry). Then
each runs once more as a process of its own for its peak memory (resident
set), the interpreter's counted beyond what it holds with the package (and
NumPy) imported and nothing read. Prints the medians, the peaks and their
ratios, and exits 1 when a ratio is past its target.
"""
import os
import statistics
import subprocess
import sys
import time

import zelreport

# The most records() may take against zelreport's time on each document:
# a Python object per record is what "many" costs beyond the others.
TARGETS = {"grid": 1.3, "many": 2.0, "huge": 1.3, "ints": 1.3}
# The most records()' peak memory beyond the interpreter's own may be
# against zelreport's peak: the record's values are the library's array.
MEMORY_TARGETS = {"huge": 1.2}
TIME = "/usr/bin/time"  # GNU time (Debian time)
TOUCH = """\
import sys, zelreport
for record in zelreport.records(sys.argv[1]):
    values = record.values
    if values is not None and len(values):
        values[0]
"""


def time_zelreport(program, path):
    with open(path, "rb") as document:
        start = time.perf_counter()
        subprocess.run([program], stdin=document, stderr=subprocess.DEVNULL, check=True)
        return time.perf_counter() - start


def time_records(path):
    start = time.perf_counter()
    count = 0
    for record in zelreport.records(path):
        values = record.values
        if values is not None and len(values):
            values[0]
        count += 1
    return time.perf_counter() - start, count


def peak_mb(command, stdin=None):
    """The peak resident set of `command`, in MB, as /usr/bin/time sees it: a
    child of this process would count this process's own memory as its
    peak, since a fork's copy goes into the peak that exec carries over."""
    done = subprocess.run([TIME, "-f", "%M", *command], stdin=stdin, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True, check=True)
    return int(done.stderr.split()[-1]) * 1024 / 1e6


def judged(ratio, target):
    return "-" if target is None else "<= %.1f: %s" % (target, "met" if ratio <= target else "MISSED")


def main(argv):
    program, runs, directory = argv[1], int(argv[2]), argv[3]
    documents = argv[4:] or list(TARGETS)
    if not os.access(TIME, os.X_OK):
        print("python_records.py: %s not found: install time (Debian time)" % TIME, file=sys.stderr)
        return 2
    interpreter = peak_mb([sys.executable, "-c", "import zelreport, numpy"])
    print("%-6s %7s %8s %7s %8s %6s %-11s %7s %7s %6s  %s" % (
        "doc", "MB", "records", "zel s", "python s", "ratio", "must reach", "zel MB", "py+ MB", "ratio",
        "must reach"))
    all_met = True
    for name in documents:
        path = os.path.join(directory, name + ".xml")
        zel, python = [], []
        for _ in range(runs):
            zel.append(time_zelreport(program, path))
            seconds, count = time_records(path)
            python.append(seconds)
        ratio = statistics.median(python) / statistics.median(zel)
        with open(path, "rb") as document:
            zel_mb = peak_mb([program], stdin=document)
        python_mb = peak_mb([sys.executable, "-c", TOUCH, path]) - interpreter
        memory_ratio = python_mb / zel_mb
        target, memory_target = TARGETS.get(name), MEMORY_TARGETS.get(name)
        all_met &= (target is None or ratio <= target) and (memory_target is None or memory_ratio <= memory_target)
        print("%-6s %7.1f %8d %7.3f %8.3f %6.2f %-11s %7.1f %7.1f %6.2f  %s" % (
            name, os.path.getsize(path) / 1e6, count, statistics.median(zel), statistics.median(python), ratio,
            judged(ratio, target), zel_mb, python_mb, memory_ratio, judged(memory_ratio, memory_target)))
    print("times: medians of %d alternating runs, in seconds; memory: peak resident set, py+ beyond the "
          "interpreter's %.1f MB with the package imported" % (runs, interpreter))
    return 0 if all_met else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
