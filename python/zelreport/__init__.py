# SPDX-License-Identifier: MIT
"""Read record documents in Python, exactly as zelreport reads them.

A document (the line-oriented, XML-like layout that zelreport reads) is
read by the same library that zelreport uses, so what Python sees is what
zelreport reports:

- ``records(source)`` iterates over the records as ``Record`` objects,
  streaming: memory follows the records in flight, not the document.
- ``report(source)`` gives the whole text zelreport writes for it.

``source`` is a path, a bytes-like object or a binary file object. A
``Record`` has every field under its own name (texts as ``str`` or
``None``, integers as ``int``), ``values`` as a NumPy array (``float32``
for data types 1 and 5, ``int32`` for 2), ``field`` as that array with
shape ``(ni, nj, nk)``, ``statistics`` as ``(min, max, avg)`` and
``report`` as its report text. Example::

    import zelreport
    for record in zelreport.records("document.xml"):
        print(record.nomvar, record.statistics)

With xarray (Debian python3-xarray), ``xr.open_dataset(path, engine="zelreport")``
opens a document as a lazy Dataset, one variable per nomvar; ``open_datasets(path)``
gives every record in Datasets that each form one hypercube. With pandas,
``to_dataframe(source)`` gives a row per record.

From the command line, ``python3 -m zelreport table FILE`` lists the
records, ``python3 -m zelreport plot FILE`` draws one (Matplotlib) and
``python3 -m zelreport convert FILE OUT.nc`` writes NetCDF.
"""
from ._model import HypercubeWarning
from ._table import to_dataframe
from ._zelreport import DocumentChangedError, NoRecordWarning, Record, RecordIterator, __version__, records, report

__all__ = ["DocumentChangedError", "HypercubeWarning", "NoRecordWarning", "Record", "RecordIterator",
           "open_datasets", "records", "report", "to_dataframe", "__version__"]


def open_datasets(source, filter_by_keys=None, drop_variables=None, squeeze=True, errors="raise"):
    """The Datasets that together hold every record of `source` with values, each
    exactly once, split where the records do not form one hypercube (see the README's
    model); lazy, as xr.open_dataset(source, engine="zelreport") is. A record whose count
    of values is not ni * nj * nk has a Dataset of its own, with one dimension 'value'.
    Records without values are listed in each Dataset's attrs['records_without_values'].

    `source`: a path (read lazily), a bytes-like object holding the document or a binary
    file object (read whole into memory at once, the values converted when asked for).
    filter_by_keys={"nomvar": "TT", "ip1": [500, 850], ...}: only the records whose
    fields have these values (a list: any of them; texts as written, nomvar without the
    white space around it, None for an absent text). drop_variables: names left out.
    squeeze=False keeps dimension k of size 1 and dateo, npas and ip1 as dimensions when
    they do not vary. errors ("raise" or "warn") is accepted for symmetry with
    open_dataset: no record is ever left out here."""
    try:
        from ._xarray import open_datasets as open_them
    except ImportError as error:
        raise ImportError("zelreport.open_datasets needs xarray (Debian: apt-get install python3-xarray)") from error
    return open_them(source, filter_by_keys, drop_variables, squeeze, errors)


for _name in ("DocumentChangedError", "NoRecordWarning", "Record", "RecordIterator", "records", "report"):
    globals()[_name].__module__ = __name__
del _name
