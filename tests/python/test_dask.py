# SPDX-License-Identifier: MIT
"""Many documents with xr.open_mfdataset and Dask: the values bit for bit against
records() under every scheduler, one task per record, a cluster of separate processes
on the loopback interface."""
import os
import pathlib
import signal
import subprocess
import sys
import time

import numpy as np
import pytest
import zelreport

from conftest import record_xml

xr = pytest.importorskip("xarray", reason="python3-xarray is not installed")
dask = pytest.importorskip("dask", reason="python3-dask is not installed")
PACKAGE_PATH = pathlib.Path(zelreport.__file__).resolve().parent.parent
LEVELS = (1000, 850, 500)
NAMES = ("TT", "GZ")
# How long a cluster's process may take to start, and a computation on it.
CLUSTER_SECONDS = 60


def step_document(step):
    """A document of one step: two variables at three levels, 4 x 3 values each."""
    records = []
    for n, name in enumerate(NAMES):
        for level in LEVELS:
            values = " ".join("%d.%d" % (step * 100 + n * 10 + i, level % 7) for i in range(12))
            records.append(record_xml([("nomvar", name), ("npas", step), ("ip1", level), ("ni", 4), ("nj", 3),
                                       ("nk", 1), ("datyp", 1 if name == "TT" else 2)], values))
    return "<orv-standard-file>\n" + "".join(records) + "</orv-standard-file>\n"


@pytest.fixture(scope="module")
def documents(tmp_path_factory):
    folder = tmp_path_factory.mktemp("steps")
    paths = []
    for step in (0, 6, 12, 18):
        paths.append(folder / ("step-%02d.xml" % step))
        paths[-1].write_text(step_document(step))
    return [str(p) for p in paths]


def expected(documents):
    """TT's and GZ's values by (step, level), from records()."""
    values = {}
    for path in documents:
        for r in zelreport.records(path):
            values[r.nomvar, r.npas, r.ip1] = r.field.T
    return values


def open_steps(documents, **options):
    """The documents along npas, a dimension of each (squeeze=False) though it holds one step."""
    return xr.open_mfdataset(documents, engine="zelreport", combine="nested", concat_dim="npas", parallel=True,
                             squeeze=False, **options)


def check_values(ds, documents):
    wanted = expected(documents)
    loaded = ds.load()
    compared = 0
    for (name, step, level), field in wanted.items():
        got = loaded[name].isel(dateo=0, k=0).sel(npas=step, ip1=level).values
        assert got.dtype == field.dtype and got.tobytes() == np.ascontiguousarray(field).tobytes()
        compared += got.size
    return compared


@pytest.mark.parametrize("scheduler", ["synchronous", "threads", "processes"])
def test_values_under_each_local_scheduler(documents, scheduler):
    with dask.config.set(scheduler=scheduler):
        assert check_values(open_steps(documents), documents) == len(documents) * 6 * 12


def test_one_task_reads_one_record(documents):
    ds = open_steps(documents, chunks={})
    assert ds.TT.encoding["preferred_chunks"] == {"dateo": 1, "npas": 1, "ip1": 1, "k": 1, "j": 3, "i": 4}
    for name in NAMES:
        assert ds[name].data.npartitions == len(documents) * len(LEVELS)
    reads = []
    original = zelreport._zelreport.read_values

    def counted(source, start, *rest):
        reads.append((source, tuple(start)))
        return original(source, start, *rest)

    zelreport._xarray._zelreport.read_values = counted
    try:
        with dask.config.set(scheduler="synchronous"):
            ds.sum().compute()
    finally:
        zelreport._xarray._zelreport.read_values = original
    # A read a task, a record a read.
    assert len(reads) == len(set(reads)) == len(documents) * len(LEVELS) * len(NAMES)
    assert all(len(start) == 1 for _, start in reads)


def test_by_coords_with_the_steps_as_dimension(documents):
    ds = xr.open_mfdataset(documents[::-1], engine="zelreport", combine="by_coords", squeeze=False)
    assert ds.npas.values.tolist() == [0, 6, 12, 18] and ds.TT.dims[:3] == ("dateo", "npas", "ip1")
    assert ds.TT_record.sel(npas=12).values.ravel().tolist() == [3, 2, 1]  # ip1 500, 850, 1000
    assert ds.TT.sel(npas=12, ip1=850).values.ravel()[1] == np.float32(1201.3)


def test_distributed_local_cluster(documents):
    distributed = pytest.importorskip("distributed", reason="python3-distributed is not installed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                                  host="127.0.0.1") as cluster, distributed.Client(cluster):
        assert check_values(open_steps(documents), documents) > 0


@pytest.mark.slow
def test_a_scheduler_and_workers_as_separate_processes(documents, tmp_path):
    """The README's two commands, on the loopback interface: the package found by each
    worker through PYTHONPATH, as it would be installed on every machine."""
    distributed = pytest.importorskip("distributed", reason="python3-distributed is not installed")
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(filter(None, [str(PACKAGE_PATH), os.environ.get("PYTHONPATH")])))
    scheduler_file = tmp_path / "scheduler.json"
    processes = []
    try:
        processes.append(subprocess.Popen(
            [sys.executable, "-m", "distributed.cli.dask_scheduler", "--host", "127.0.0.1", "--port", "0",
             "--no-dashboard", "--scheduler-file", str(scheduler_file)], env=env, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True))
        deadline = time.monotonic() + CLUSTER_SECONDS
        while not scheduler_file.exists() and time.monotonic() < deadline:
            time.sleep(0.1)
        processes.append(subprocess.Popen(
            [sys.executable, "-m", "distributed.cli.dask_worker", "--scheduler-file", str(scheduler_file),
             "--nworkers", "2", "--nthreads", "1", "--no-dashboard", "--host", "127.0.0.1"], env=env,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True))
        with distributed.Client(scheduler_file=str(scheduler_file), timeout=CLUSTER_SECONDS) as client:
            client.wait_for_workers(2, timeout=CLUSTER_SECONDS)
            ds = open_steps(documents)
            ds.to_netcdf(tmp_path / "steps.nc") if _has_netcdf() else None
            assert check_values(ds, documents) == len(documents) * 6 * 12
            if _has_netcdf():
                back = xr.open_dataset(tmp_path / "steps.nc").load()
                xr.testing.assert_identical(back.TT, ds.TT.load())
    finally:
        for process in processes:
            os.killpg(process.pid, signal.SIGTERM)
        for process in processes:
            try:
                process.wait(timeout=CLUSTER_SECONDS)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()


def _has_netcdf():
    try:
        import netCDF4  # noqa: F401
    except ImportError:
        return False
    return True
