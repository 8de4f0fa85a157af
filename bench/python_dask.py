# SPDX-License-Identifier: MIT
"""Times xr.open_mfdataset(..., engine="zelreport", parallel=True).sum().compute() over
the documents of a forecast run under Dask's schedulers.

    python3 bench/python_dask.py ZELGEN RUNS DIR

Writes 8 documents of one step each into DIR with ZELGEN (the benchmark's generator,
kind "cube": grid's records at 200 x 200, 40 a document, about 15 MB), then, RUNS
rounds each, in turn: a loop of records() over the documents summing each record's
values; the sum under the synchronous and threads schedulers; and with a LocalCluster
of 1 and of 2 worker processes of 1 thread each. Prints the medians, the count of
tasks that read values, and the peak memory of the largest worker (or of this process
for the local schedulers); exits 1 when a target is missed.
"""
import os
import resource
import statistics
import subprocess
import sys
import time

import dask
import numpy
import xarray
import zelreport

DOCUMENTS = 8
STEPS = [6 * n for n in range(DOCUMENTS)]
# Targets: two workers against one, threads against synchronous (at least), one
# worker against the loop of records() (at most).
TWO_WORKERS_SPEEDUP = 1.6
THREADS_SPEEDUP = 1.5
ONE_WORKER_AGAINST_RECORDS = 1.5


def peak_mb():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024


def records_sum(paths):
    total = 0.0
    for path in paths:
        for record in zelreport.records(path):
            total += float(numpy.sum(record.values, dtype=numpy.float64))
    return total


def mfdataset(paths):
    return xarray.open_mfdataset(paths, engine="zelreport", combine="nested", concat_dim="npas", parallel=True,
                                 squeeze=False)


def compute_sum(paths):
    sums = mfdataset(paths).sum(dtype=numpy.float64).compute()
    return sum(float(sums[name]) for name in sums.data_vars)


def reading_tasks(paths):
    ds = mfdataset(paths)
    return sum(ds[name].data.npartitions for name in ds.data_vars)


def timed(step, runs):
    seconds = []
    for _ in range(runs):
        start = time.perf_counter()
        result = step()
        seconds.append(time.perf_counter() - start)
    return statistics.median(seconds), result


def on_cluster(paths, workers, runs):
    import distributed

    with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                                  dashboard_address=None, host="127.0.0.1") as cluster, \
            distributed.Client(cluster) as client:
        compute_sum(paths)  # the workers' imports, once
        seconds, total = timed(lambda: compute_sum(paths), runs)
        memory = max(client.run(peak_mb).values())
    return seconds, total, memory


def main(argv):
    generator, runs, directory = argv[1], int(argv[2]), argv[3]
    os.makedirs(directory, exist_ok=True)
    paths = []
    for step in STEPS:
        paths.append(os.path.join(directory, "cube-%02d.xml" % step))
        if not os.path.exists(paths[-1]):
            subprocess.run([generator, "cube", "1", paths[-1], str(step)], check=True)
    size = sum(os.path.getsize(p) for p in paths) / 1e6
    tasks = reading_tasks(paths)
    rows = []
    loop, expected = timed(lambda: records_sum(paths), runs)
    rows.append(("records() loop", loop, "-", peak_mb()))
    for scheduler in ("synchronous", "threads"):
        with dask.config.set(scheduler=scheduler):
            seconds, total = timed(lambda: compute_sum(paths), runs)
        assert abs(total - expected) <= 1e-9 * abs(expected), (scheduler, total, expected)
        rows.append((scheduler, seconds, tasks, peak_mb()))
    for workers in (1, 2):
        seconds, total, memory = on_cluster(paths, workers, runs)
        assert abs(total - expected) <= 1e-9 * abs(expected), (workers, total, expected)
        rows.append(("LocalCluster %d worker%s" % (workers, "s" if workers > 1 else ""), seconds, tasks, memory))
    times = {name: seconds for name, seconds, _, _ in rows}
    checks = [("2 workers against 1", times["LocalCluster 1 worker"] / times["LocalCluster 2 workers"],
               ">=", TWO_WORKERS_SPEEDUP),
              ("threads against synchronous", times["synchronous"] / times["threads"], ">=", THREADS_SPEEDUP),
              ("1 worker against the records() loop", times["LocalCluster 1 worker"] / loop, "<=",
               ONE_WORKER_AGAINST_RECORDS)]
    print("%d documents, %.1f MB, %d processors" % (len(paths), size, os.cpu_count()))
    print("%-24s %9s %7s %9s" % ("how", "seconds", "tasks", "peak MB"))
    for name, seconds, count, memory in rows:
        print("%-24s %9.3f %7s %9.1f" % (name, seconds, count, memory))
    all_met = True
    for name, ratio, relation, target in checks:
        met = ratio >= target if relation == ">=" else ratio <= target
        all_met &= met
        print("%-36s %5.2f  %s %.1f: %s" % (name, ratio, relation, target, "met" if met else "MISSED"))
    print("medians of %d runs; tasks: the chunks that read values (one record each); peak MB: the largest "
          "worker's resident set, or this process's for the loop and the local schedulers" % runs)
    return 0 if all_met else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
