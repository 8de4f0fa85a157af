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

From the command line, ``python3 -m zelreport table FILE`` lists the
records and ``python3 -m zelreport plot FILE`` draws one (Matplotlib).
"""
from ._zelreport import NoRecordWarning, Record, RecordIterator, __version__, records, report

__all__ = ["NoRecordWarning", "Record", "RecordIterator", "records", "report", "__version__"]

for _name in ("NoRecordWarning", "Record", "RecordIterator", "records", "report"):
    globals()[_name].__module__ = __name__
del _name
