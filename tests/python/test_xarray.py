# SPDX-License-Identifier: MIT
"""The xarray engine and open_datasets: the model on documents made for each case, the
lazy values bit for bit against records(), the messages' filters, pickling, NetCDF."""
import ast
import os
import pickle
import re
import subprocess
import sys
import warnings

import numpy as np
import pytest
import zelreport

from conftest import GOLDEN, ROOT, SAMPLE, record_xml

xr = pytest.importorskip("xarray", reason="python3-xarray is not installed")
pytest.importorskip("pandas", reason="python3-pandas is not installed")

FUZZ_CORPUS = sorted((ROOT / "fuzz" / "corpus" / "document").iterdir())


def record(nomvar, npas, ip1, values, ni=3, nj=2, datyp=1, **fields):
    return record_xml([("nomvar", nomvar), ("npas", npas), ("ip1", ip1), ("ni", ni), ("nj", nj), ("nk", 1),
                       ("dateo", 20260101)] + list(fields.items()) + [("datyp", datyp)], values)


def grid_values(base, count=6):
    return " ".join(str(base + i) for i in range(count))


def document(*records):
    return ("<orv-standard-file>\n" + "".join(records) + "</orv-standard-file>\n").encode("utf-8", "surrogateescape")


def write(tmp_path, data, name="doc.xml"):
    path = tmp_path / name
    path.write_bytes(data)
    return str(path)


# Two variables at two steps and two levels, with ip2 following npas: one hypercube.
CUBE = document(*(record(name, npas, ip1, grid_values(100 * n + 10 * npas + ip1 // 100), ip2=npas // 6,
                         typvar="P")
                  for n, name in enumerate(("TT", "GZ")) for npas in (0, 6) for ip1 in (500, 850)))


def bits(array):
    array = np.ascontiguousarray(array)
    return array.dtype, array.shape, array.tobytes()


def test_a_hypercube_opens_as_one_lazy_dataset(tmp_path):
    ds = xr.open_dataset(write(tmp_path, CUBE), engine="zelreport")
    assert ds.TT.dims == ("npas", "ip1", "j", "i") and ds.TT.dtype == np.float32
    assert ds.npas.values.tolist() == [0, 6] and ds.ip1.values.tolist() == [500, 850]
    assert ds.ip2.dims == ("npas",) and ds.ip2.values.tolist() == [0, 1]
    assert ds.TT.attrs["typvar"] == "P" and ds.TT.attrs["ni"] == 3 and "ip2" not in ds.TT.attrs
    assert ds.GZ_record.values.tolist() == [[5, 6], [7, 8]]
    assert ds.TT.encoding["preferred_chunks"] == {"npas": 1, "ip1": 1, "j": 2, "i": 3}
    # ds.TT[..., j, i] is field[i, j, k] of the record in that cell.
    rec = list(zelreport.records(CUBE))[ds.TT_record.sel(npas=6, ip1=850).item() - 1]
    assert ds.TT.sel(npas=6, ip1=850)[1, 2].item() == rec.field[2, 1, 0] == 73
    assert ds.TT.sel(npas=6).mean().item() == pytest.approx(np.mean([r.values for r in
                                                                      zelreport.records(CUBE)][2:4]))


@pytest.mark.parametrize("errors", ["raise", "warn"])
def test_holes_are_nan_and_an_integer_variable_becomes_float64(tmp_path, errors):
    data = document(record("TT", 0, 500, grid_values(1)), record("TT", 0, 850, grid_values(2)),
                    record("TT", 6, 500, grid_values(3)), record("GZ", 0, 500, grid_values(7), datyp=2),
                    record("GZ", 6, 850, grid_values(8), datyp=2))
    ds = xr.open_dataset(write(tmp_path, data), engine="zelreport", errors=errors).load()
    assert np.isnan(ds.TT.sel(npas=6, ip1=850)).all() and ds.TT_record.values.tolist() == [[1, 2], [3, 0]]
    assert ds.GZ.dtype == np.float64 and ds.GZ.encoding["dtype"] == np.int32
    assert ds.GZ.sel(npas=6, ip1=850).values.ravel().tolist() == list(range(8, 14))


def open_all(data, **options):
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        return zelreport.open_datasets(data, **options)


def placed(datasets):
    """Record number: (dataset, variable, cell) for every record placed."""
    found = {}
    for ds in datasets:
        for name, var in ds.data_vars.items():
            numbers = ds[name + "_record"]
            for cell in np.ndindex(numbers.shape):
                if numbers.values[cell]:
                    assert numbers.values[cell] not in found
                    found[int(numbers.values[cell])] = (ds, name, cell)
    return found


def filters_in(message):
    return [ast.literal_eval(text) for text in re.findall(r"filter_by_keys=(\{.*\})", message)]


CASES = {
    # Two records alike in every field at the same place.
    "duplicates": (document(record("TT", 0, 500, grid_values(1)), record("TT", 0, 500, grid_values(2))),
                   r"records 1 and 2 are both TT .* no filter tells them apart", 2),
    "two grids": (document(record("TT", 0, 500, grid_values(1)), record("TT", 6, 500, grid_values(2, 4), ni=2),
                           record("GZ", 0, 500, grid_values(3))), r"ni: TT has \(2, 3\) among its records, a variable has one grid", 2),
    "a name with several typvars": (
        document(*(record("TT", npas, 500, grid_values(npas), typvar=t) for t in "AP" for npas in (0, 6)),
                 record("GZ", 0, 500, grid_values(9), typvar="P")),
        r"typvar: TT has \('A', 'P'\) among its records, while no dimension varies|typvar: TT has", 2),
    "variables at other levels": (
        document(*(record("TT", 0, ip1, grid_values(ip1)) for ip1 in (500, 850)),
                 *(record("HU", 0, ip1, grid_values(ip1)) for ip1 in (500, 700))),
        r"ip1: TT has \(500, 850\), HU \(500, 700\)", 2),
}


@pytest.mark.parametrize("case", CASES)
def test_records_that_are_not_one_hypercube_split_and_each_filter_opens_one(tmp_path, case):
    data, reason, count = CASES[case]
    path = write(tmp_path, data)
    datasets = open_all(path)
    assert len(datasets) == count and sorted(placed(datasets)) == list(range(1, data.count(b"<zelrecord>") + 1))
    with pytest.raises(ValueError) as refused:
        xr.open_dataset(path, engine="zelreport")
    message = str(refused.value)
    assert re.search(reason, message), message
    opened = [xr.open_dataset(path, engine="zelreport", filter_by_keys=keys) for keys in filters_in(message)]
    if case == "duplicates":
        assert not opened and "no filter keeps one of them apart" in message
    else:
        assert sorted(placed(opened)) == sorted(placed(datasets))
    with pytest.warns(zelreport.HypercubeWarning, match="records left out"):
        first = xr.open_dataset(path, engine="zelreport", errors="warn")
    assert set(placed([first])) | set(first.attrs["records_left_out"]) == set(placed(datasets))


def test_records_that_cannot_be_shaped_or_hold_no_values_are_kept(tmp_path):
    data = document(record("TT", 0, 500, grid_values(1)), record("TT", 6, 500, "1 2 3 4", ni=2, nj=1),
                    record_xml([("nomvar", "XX"), ("datyp", 0)], "5 6"))
    datasets = open_all(data)
    shaped, lone = datasets
    assert lone.TT.dims == ("value",) and lone.TT.values.tolist() == [1, 2, 3, 4] and lone.TT_record.item() == 2
    assert lone.TT.attrs["ni"] == 2 and list(shaped.attrs["records_without_values"]) == [3]
    with pytest.raises(ValueError, match="record 2 cannot be shaped"):
        xr.open_dataset(data, engine="zelreport")
    with pytest.warns(zelreport.HypercubeWarning):
        ds = xr.open_dataset(data, engine="zelreport", errors="warn")
    assert list(ds.attrs["records_left_out"]) == [2]


def test_names_apart_only_in_bytes_that_are_not_utf8_stay_apart(tmp_path):
    # Each level once, so that names taken for one would make one variable of two levels.
    names = ("\udcfe", "\udcff", "\udcff" * 300 + "a", "\udcff" * 300 + "b")
    ds = xr.open_dataset(write(tmp_path, document(*(record(name, 0, 500 + n, grid_values(n))
                                                    for n, name in enumerate(names)))), engine="zelreport")
    assert sorted(ds.data_vars) == sorted(names)


def test_options_filter_drop_and_squeeze(tmp_path):
    path = write(tmp_path, CUBE)
    ds = xr.open_dataset(path, engine="zelreport", filter_by_keys={"ip1": 850, "nomvar": ["TT"]}, squeeze=False)
    assert ds.TT.dims == ("dateo", "npas", "ip1", "k", "j", "i") and ds.TT.shape == (1, 2, 1, 1, 2, 3)
    assert list(xr.open_dataset(path, engine="zelreport", drop_variables="GZ").data_vars) == ["TT"]
    assert list(xr.open_dataset(path, engine="zelreport", filter_by_keys={"nomvar": " GZ "}).data_vars) == ["GZ"]
    for bad, error in (({"ipl": 1}, ValueError), ({"ip1": "500"}, TypeError), ({"nomvar": 5}, TypeError)):
        with pytest.raises(error):
            xr.open_dataset(path, engine="zelreport", filter_by_keys=bad)
    with pytest.raises(ValueError, match="errors must be"):
        xr.open_dataset(path, engine="zelreport", errors="ignore")


def test_the_engine_is_registered_and_guesses_only_documents(tmp_path):
    engine = xr.backends.list_engines()["zelreport"]
    assert engine.description and engine.url
    assert engine.guess_can_open(str(SAMPLE)) and not engine.guess_can_open(write(tmp_path, b"<other/>"))
    assert not engine.guess_can_open(str(tmp_path / "missing.xml"))
    assert xr.open_dataset(SAMPLE, filter_by_keys={"nomvar": "TT"}).TT.shape == (2, 3)


def test_every_source_gives_the_same_values(tmp_path):
    expected = bits(xr.open_dataset(write(tmp_path, CUBE), engine="zelreport").TT.values)
    for source in (CUBE, bytearray(CUBE), open(write(tmp_path, CUBE), "rb")):
        assert bits(xr.open_dataset(source, engine="zelreport").TT.values) == expected


def test_a_dataset_pickles_and_notices_a_changed_document(tmp_path):
    path = write(tmp_path, CUBE)
    ds = xr.open_dataset(path, engine="zelreport")
    again = pickle.loads(pickle.dumps(ds))
    assert bits(again.TT.values) == bits(ds.TT.values)
    array = ds.GZ.variable._data
    assert bits(np.asarray(pickle.loads(pickle.dumps(array)))) == bits(ds.GZ.values)
    touched = xr.open_dataset(path, engine="zelreport")
    os.utime(path, ns=(0, 0))
    with pytest.raises(zelreport.DocumentChangedError, match="open it again"):
        touched.TT.load()
    pickled = pickle.loads(pickle.dumps(xr.open_dataset(path, engine="zelreport")))
    with open(path, "ab") as grown:
        grown.write(b"\n")
    with pytest.raises(zelreport.DocumentChangedError):
        pickled.load()


def test_netcdf_round_trip(tmp_path):
    pytest.importorskip("netCDF4", reason="python3-netcdf4 is not installed")
    data = document(record("TT", 0, 500, grid_values(1)), record("TT", 6, 500, grid_values(2)),
                    record("GZ", 0, 500, grid_values(7), datyp=2), record("GZ", 6, 850, grid_values(-8), datyp=2))
    ds = xr.open_dataset(data, engine="zelreport")
    ds.to_netcdf(tmp_path / "out.nc")
    back = xr.open_dataset(tmp_path / "out.nc").load()
    assert back.GZ.encoding["dtype"] == np.int32 and back.TT.dtype == np.float32
    xr.testing.assert_identical(back, ds.load())


def test_lazy_values_are_those_of_records_bit_for_bit():
    """Over the golden documents and the document fuzz corpus: every record with values
    found once by its record coordinate, its values equal to records()' bit for bit."""
    checked = 0
    for path in GOLDEN + FUZZ_CORPUS:
        data = path.read_bytes()
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", zelreport.NoRecordWarning)
            records = list(zelreport.records(data))
            datasets = zelreport.open_datasets(str(path))
        found = placed(datasets)
        assert sorted(found) == [n for n, r in enumerate(records, 1) if r.values is not None], path
        for number, (ds, name, cell) in found.items():
            rec, got = records[number - 1], ds[name].values[cell]
            expected = rec.values if rec.field is None else rec.field.T
            if got.dtype == np.float64 and expected.dtype == np.int32:
                expected = expected.astype(np.float64)
            assert bits(got) == bits(expected.reshape(got.shape)), (path, number)
            checked += 1
    assert checked > 500


def test_convert_writes_a_group_per_hypercube(tmp_path):
    pytest.importorskip("netCDF4", reason="python3-netcdf4 is not installed")
    command = [sys.executable, "-m", "zelreport", "convert", str(SAMPLE)]
    done = subprocess.run(command + [str(tmp_path / "all.nc")], capture_output=True, text=True)
    assert done.returncode == 0 and "2 hypercubes" in done.stderr, done.stderr
    gz = xr.open_dataset(tmp_path / "all.nc", group="hypercube_2").GZ
    assert gz.values.tolist() == [[1402, 1398], [1395, 1391]] and gz.attrs["npas"] == 72
    done = subprocess.run(command + [str(tmp_path / "tt.nc"), "--filter", "nomvar=TT"], capture_output=True)
    assert done.returncode == 0 and list(xr.open_dataset(tmp_path / "tt.nc").data_vars) == ["TT"]
