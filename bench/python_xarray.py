# SPDX-License-Identifier: MIT
"""Times the xarray engine against build/zelreport on the benchmark documents.

    python3 bench/python_xarray.py ZELREPORT RUNS DIR [DOCUMENT...]

For each document (grid, many and huge by default), RUNS alternating rounds, in this
interpreter with xarray imported: zelreport with standard input from the document;
xr.open_dataset(path, engine="zelreport", errors="warn") (the whole document scanned
and modelled, the Dataset of the first hypercube built, the others named in a
warning); zelreport.open_datasets(path) (every record placed); then the values of
every record loaded (ds.load() of each of open_datasets' Datasets) against
records() touching each record's values. Then open_dataset once more in a process
of its own for its peak memory beyond the interpreter's with xarray and the package
imported. Prints the medians and ratios; exits 1 when a target is missed.
"""
import os
import statistics
import subprocess
import sys
import time
import warnings

import xarray
import zelreport

from python_records import judged, peak_mb, time_records, time_zelreport

# The most open_dataset may take against zelreport's time.
OPEN_TARGETS = {"grid": 0.3, "huge": 0.3, "many": 1.5}
# The most loading every record's values may take against records() touching them.
LOAD_TARGET = 1.5
# The most open_dataset's peak memory may exceed the interpreter's, in MiB.
MEMORY_TARGET_MIB = 40
OPEN = """\
import sys, warnings, xarray, zelreport
warnings.simplefilter("ignore")
xarray.open_dataset(sys.argv[1], engine="zelreport", errors="warn")
"""


def timed(step):
    start = time.perf_counter()
    result = step()
    return time.perf_counter() - start, result


def open_first(path):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        return xarray.open_dataset(path, engine="zelreport", errors="warn")


def load_all(path):
    for dataset in zelreport.open_datasets(path):
        dataset.load()


def main(argv):
    program, runs, directory = argv[1], int(argv[2]), argv[3]
    documents = argv[4:] or list(OPEN_TARGETS)
    interpreter = peak_mb([sys.executable, "-c", "import xarray, zelreport"])
    print("%-6s %7s %8s %7s %7s %6s %-11s %7s %8s %7s %6s %-11s %7s  %s" % (
        "doc", "MB", "records", "zel s", "open s", "ratio", "must reach", "all s", "records", "load s", "ratio",
        "must reach", "open MiB", "must reach"))
    all_met = True
    for name in documents:
        path = os.path.join(directory, name + ".xml")
        zel, first, every, touch, load = [], [], [], [], []
        for _ in range(runs):
            zel.append(time_zelreport(program, path))
            first.append(timed(lambda: open_first(path))[0])
            seconds, datasets = timed(lambda: zelreport.open_datasets(path))
            every.append(seconds)
            seconds, count = time_records(path)
            touch.append(seconds)
            load.append(timed(lambda: load_all(path))[0])
        median = statistics.median
        open_ratio = median(first) / median(zel)
        load_ratio = median(load) / median(touch)
        memory_mib = (peak_mb([sys.executable, "-c", OPEN, path]) - interpreter) * 1e6 / (1 << 20)
        target = OPEN_TARGETS.get(name)
        met = ((target is None or open_ratio <= target) and load_ratio <= LOAD_TARGET and
               memory_mib <= MEMORY_TARGET_MIB)
        all_met &= met
        print("%-6s %7.1f %8d %7.3f %7.3f %6.2f %-11s %7.3f %8.3f %7.3f %6.2f %-11s %7.1f  %s" % (
            name, os.path.getsize(path) / 1e6, count, median(zel), median(first), open_ratio,
            judged(open_ratio, target), median(every), median(touch), median(load), load_ratio,
            judged(load_ratio, LOAD_TARGET), memory_mib,
            "<= %d: %s" % (MEMORY_TARGET_MIB, "met" if memory_mib <= MEMORY_TARGET_MIB else "MISSED")))
    print("medians of %d alternating runs, in seconds; open: xr.open_dataset(errors='warn'); all: open_datasets; "
          "records: records() touching every record's values; load: every Dataset of open_datasets loaded; "
          "open MiB: open_dataset's peak beyond the interpreter's %.1f MB with xarray and the package imported"
          % (runs, interpreter))
    return 0 if all_met else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
