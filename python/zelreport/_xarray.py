# SPDX-License-Identifier: MIT
"""The xarray engine: a document as lazy Datasets, one variable per nomvar, values read
record by record when asked for, from where they lie in the document.

Opening scans the document (every record's fields and where its values lie, no value
converted), models the records (_model) and builds Datasets whose arrays hold the
document's path and the places of the values: no open file, no lock, so a Dataset
pickles and a Dask worker reads the records of its chunks itself.
"""
import os
import stat
import warnings

import numpy
import xarray
from xarray.backends import BackendArray, BackendEntrypoint
from xarray.core import indexing

from . import _model, _zelreport
from ._table import DTYPES, KIND_INTS, Table

SPATIAL_DIMS = ("k", "j", "i")
# Each variable's record numbers, a coordinate named after it.
RECORD_SUFFIX = "_record"
RECORD_ATTRS = {"long_name": "the number of the record in each cell (from 1, as zelcheck and "
                             "python3 -m zelreport table number them; 0: no record)"}
VALUE_DIM = "value"
# Holes of an integer variable are NaN in memory; written as int32, they take
# NetCDF's own fill value for int.
INT_FILL_VALUE = numpy.int32(-2147483647)
# A file whose first bytes hold this is a document.
ROOT_ELEMENT = b"<orv-standard-file"
GUESS_BYTES = 4096
ERRORS = ("raise", "warn")
DESCRIPTION = "Record documents (<orv-standard-file>) read exactly as zelreport reads them"
URL = "file:///usr/share/doc/python3-zelreport/README.md"


class Document:
    """Where a document's bytes are: a regular file's path with its size and
    modification time when scanned (so that a changed file is noticed), or the bytes."""

    def __init__(self, source):
        self.identity = None
        if isinstance(source, (str, os.PathLike)):
            path = os.fspath(source)
            if isinstance(path, bytes):
                path = os.fsdecode(path)
            status = os.stat(path)
            if stat.S_ISREG(status.st_mode):
                self.source, self.name, self.identity = path, path, (status.st_size, status.st_mtime_ns)
                return
            # A FIFO or a terminal can be read once: its bytes are kept.
            with open(path, "rb") as stream:
                self.source, self.name = stream.read(), path
        elif hasattr(source, "read"):
            self.source, self.name = source.read(), repr(source)
            if isinstance(self.source, str):
                raise TypeError("read() returned str, not bytes: open the file in binary mode ('rb')")
        else:
            self.source, self.name = source, "the bytes-like document"

    def scan(self):
        table = Table(_zelreport.scan(self.source))
        if self.identity is not None:
            status = os.stat(self.source)
            if (status.st_size, status.st_mtime_ns) != self.identity:
                raise _zelreport.DocumentChangedError("%s: it changed while it was read: open it again" % self.name)
        return table


class ValuesArray(BackendArray):
    """A variable's values: for each cell of its non-spatial dimensions, the place of
    one record's values (count < 0: no record), each record's values read and
    converted when a key asks for that cell."""

    def __init__(self, document, cell_shape, field_shape, kind, places, dtype):
        self.document = document.source
        self.identity = document.identity
        self.cell_shape = tuple(cell_shape)
        self.field_shape = tuple(field_shape)
        self.kind = kind
        self.start, self.stop, self.count = places
        self.shape = self.cell_shape + self.field_shape
        self.dtype = numpy.dtype(dtype)

    def __getitem__(self, key):
        return indexing.explicit_indexing_adapter(key, self.shape, indexing.IndexingSupport.OUTER, self.read)

    def read(self, key):
        split = len(self.cell_shape)
        cells = outer_index(numpy.arange(self.count.size).reshape(self.cell_shape), key[:split])
        field_key = key[split:]
        held = self.count[cells] >= 0
        places = cells[held]
        values = _zelreport.read_values(self.document, self.start[places], self.stop[places], self.count[places],
                                        self.kind, self.identity) if len(places) else None
        whole = all(isinstance(k, slice) and k == slice(None) for k in field_key)
        if whole and cells.size == 1 and values is not None and values.dtype == self.dtype:
            # One record: its array as it is, reshaped, without a copy.
            return values.reshape(cells.shape + self.field_shape)
        shape = outer_index(numpy.empty(self.field_shape, bool), field_key).shape
        out = numpy.empty(cells.shape + shape, self.dtype)
        if not held.all():
            out[~held] = numpy.nan
        if values is not None:
            fields = values.reshape((len(places),) + self.field_shape)
            out[held] = fields if whole else outer_index(fields, (slice(None),) + tuple(field_key))
        return out


def outer_index(array, key):
    """`array` indexed by `key` (ints, slices and 1-D integer arrays), each axis apart."""
    axis = 0
    for k in key:
        if isinstance(k, (int, numpy.integer)):
            array = numpy.take(array, k, axis=axis)
        elif isinstance(k, slice):
            array = array[(slice(None),) * axis + (k,)]
            axis += 1
        else:
            array = numpy.take(array, numpy.asarray(k), axis=axis)
            axis += 1
    return array


def field_dims(table, part, squeeze):
    """The spatial dimensions of a part's variable, and their sizes."""
    if part.grid is None:
        return (VALUE_DIM,), (int(table.count[part.rows[0]]),)
    nk, nj, ni = part.grid
    if nk == 1 and squeeze:
        return ("j", "i"), (nj, ni)
    return SPATIAL_DIMS, (nk, nj, ni)


def variable(model, part, document, squeeze, name):
    """A part's variable, lazy, named `name`, and the coordinates it brings."""
    table = model.table
    cells = int(numpy.prod(part.shape, dtype=numpy.int64))
    dims, shape = field_dims(table, part, squeeze)
    columns = (table.columns["start"], table.columns["stop"], table.count)
    places = [numpy.full(cells, -1 if column is table.count else 0, dtype=numpy.int64) for column in columns]
    for place, column in zip(places, columns):
        place[part.cells] = column[part.rows]
    numbers = numpy.zeros(cells, dtype=numpy.int64)
    numbers[part.cells] = table.numbers[part.rows]
    dtype = DTYPES[part.kind]
    encoding = {"preferred_chunks": dict(zip(part.dims + dims, (1,) * len(part.dims) + shape))}
    if part.kind == KIND_INTS and (numbers == 0).any():
        dtype = numpy.dtype(numpy.float64)
        encoding.update(dtype=DTYPES[KIND_INTS], _FillValue=INT_FILL_VALUE)
    attrs = dict(part.attrs)
    if name != part.name:
        attrs["nomvar"] = part.name
    array = ValuesArray(document, part.shape, shape, part.kind, places, dtype)
    values = xarray.Variable(part.dims + dims, indexing.LazilyIndexedArray(array), attrs=attrs, encoding=encoding)
    coords = {d: xarray.Variable(d, part.coords[d]) for d in part.dims}
    coords.update({f: xarray.Variable(d, v) for f, (d, v) in part.field_coords.items()})
    coords[name + RECORD_SUFFIX] = xarray.Variable(part.dims, numbers.reshape(part.shape), attrs=RECORD_ATTRS)
    return values, coords


def variable_names(dataset, drop_variables):
    """Each kept part's variable name: its own, with underscores appended where a
    dimension, a field coordinate or another variable's record coordinate has it."""
    taken = set(SPATIAL_DIMS) | {VALUE_DIM} | set(_model.DIMENSION_FIELDS) | set(dataset.field_coords)
    names = {}
    for part in dataset.parts:
        if part.name in drop_variables:
            continue
        name = part.name
        while name in taken or name + RECORD_SUFFIX in taken:
            name += "_"
        taken.update((name, name + RECORD_SUFFIX))
        names[id(part)] = name
    return names


def make_dataset(model, dataset, document, squeeze, drop_variables, attrs):
    data_vars, coords = {}, {}
    names = variable_names(dataset, drop_variables)
    for part in dataset.parts:
        if id(part) in names:
            model.shape(part)
            data_vars[names[id(part)]], part_coords = variable(model, part, document, squeeze, names[id(part)])
            coords.update(part_coords)
    return xarray.Dataset(data_vars, coords, attrs)


def dataset_attrs(model, left_out=None):
    attrs = {}
    if len(model.without_values):
        attrs["records_without_values"] = model.without_values
    if left_out is not None and len(left_out):
        attrs["records_left_out"] = left_out
    return attrs


def check_options(errors, drop_variables):
    if errors not in ERRORS:
        raise ValueError("errors must be 'raise' or 'warn', not %r" % (errors,))
    if drop_variables is None:
        return set()
    return {drop_variables} if isinstance(drop_variables, str) else set(drop_variables)


def open_model(source, filter_by_keys, squeeze):
    document = Document(source)
    table = document.scan()
    return document, _model.Model(table, filter_by_keys, squeeze)


def open_one(source, filter_by_keys=None, drop_variables=None, squeeze=True, errors="raise"):
    """The Dataset of xr.open_dataset(source, engine="zelreport", ...)."""
    drop = check_options(errors, drop_variables)
    document, model = open_model(source, filter_by_keys, squeeze)
    datasets, left_out, _ = _model.gather(model, first_only=True)
    left_numbers = numpy.sort(numpy.concatenate([model.table.numbers[p.rows] for p in left_out])) if left_out \
        else numpy.zeros(0, numpy.int64)
    if left_out:
        message = _model.hypercube_message(model, document.name)
        if errors == "raise":
            raise ValueError(message)
        warnings.warn("%s\nrecords left out: %s" % (message, _model.spell_values(left_numbers)[1:-1]),
                      _model.HypercubeWarning, stacklevel=3)
    if not datasets:
        return xarray.Dataset(attrs=dataset_attrs(model, left_numbers))
    return make_dataset(model, datasets[0], document, squeeze, drop, dataset_attrs(model, left_numbers))


def open_datasets(source, filter_by_keys=None, drop_variables=None, squeeze=True, errors="raise"):
    """zelreport.open_datasets, which says what it does."""
    drop = check_options(errors, drop_variables)
    document, model = open_model(source, filter_by_keys, squeeze)
    datasets, _, _ = _model.gather(model)
    attrs = dataset_attrs(model)
    opened = [make_dataset(model, d, document, squeeze, drop, attrs) for d in datasets]
    if not opened and len(model.without_values):
        opened.append(xarray.Dataset(attrs=attrs))
    return opened


def guess_can_open(filename_or_obj):
    """True for a path to a file whose first bytes hold the document's root element."""
    if not isinstance(filename_or_obj, (str, os.PathLike)):
        return False
    try:
        with open(filename_or_obj, "rb") as stream:
            return ROOT_ELEMENT in stream.read(GUESS_BYTES)
    except (OSError, TypeError, ValueError):
        return False


class ZelreportBackendEntrypoint(BackendEntrypoint):
    """xr.open_dataset(path, engine="zelreport"): a record document as one lazy Dataset.

    One variable per nomvar, with dimensions dateo, npas and ip1 where they vary among
    its records, then k (when nk > 1), j and i; any other field that varies is a
    coordinate, the others attributes; `<nomvar>_record` gives each cell's record
    number. Records that do not form one hypercube raise ValueError naming the
    filter_by_keys that open each (errors="warn": the first, with a HypercubeWarning
    naming the records left out); zelreport.open_datasets opens them all. See
    zelreport.open_datasets for the parameters."""

    description = DESCRIPTION
    url = URL
    open_dataset_parameters = ("filename_or_obj", "drop_variables", "filter_by_keys", "squeeze", "errors")

    def open_dataset(self, filename_or_obj, *, drop_variables=None, filter_by_keys=None, squeeze=True,
                     errors="raise"):
        return open_one(filename_or_obj, filter_by_keys, drop_variables, squeeze, errors)

    def guess_can_open(self, filename_or_obj):
        return guess_can_open(filename_or_obj)
