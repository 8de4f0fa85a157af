# SPDX-License-Identifier: MIT
"""Times zelreport.records() against build/zelreport on the benchmark documents.

    python3 bench/python_records.py ZELREPORT RUNS DIR [DOCUMENT...]

For each document (grid, many, huge and ints by default) the two run in
turn, RUNS rounds: zelreport with standard input from the document and its
report discarded, and this interpreter iterating records() over the path
and touching each record's values (their length and first entry). Prints
the medians and their ratio, and exits 1 when a ratio is past its target.
"""
import os
import statistics
import subprocess
import sys
import time

import zelreport

# The most records() may take against zelreport's time on each document:
# a Python object per record is what "many" costs beyond the others.
TARGETS = {"grid": 1.3, "many": 3.0, "huge": 1.3, "ints": 1.3}


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


def main(argv):
    program, runs, directory = argv[1], int(argv[2]), argv[3]
    documents = argv[4:] or list(TARGETS)
    print("%-8s %8s %8s %10s %10s %7s  %s" % ("doc", "MB", "records", "zel s", "python s", "ratio", "must reach"))
    all_met = True
    for name in documents:
        path = os.path.join(directory, name + ".xml")
        zel, python = [], []
        for _ in range(runs):
            zel.append(time_zelreport(program, path))
            seconds, count = time_records(path)
            python.append(seconds)
        ratio = statistics.median(python) / statistics.median(zel)
        met = ratio <= TARGETS.get(name, float("inf"))
        all_met &= met
        print("%-8s %8.1f %8d %10.3f %10.3f %7.2f  <= %.1f: %s" % (
            name, os.path.getsize(path) / 1e6, count, statistics.median(zel), statistics.median(python), ratio,
            TARGETS.get(name, 0), "met" if met else "MISSED"))
    print("median of %d alternating runs; times in seconds" % runs)
    return 0 if all_met else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
