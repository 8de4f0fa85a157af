# SPDX-License-Identifier: MIT
"""A document's records as columns: each field an array over the records, as the
compiled module's scan() and table_blocks() give them, without a Python object per
record. What the xarray engine, to_dataframe, `table --csv` and the page read."""
import numpy

from . import _zelreport

FIELDS = tuple(name for name, _, _ in _zelreport.FIELDS)
TEXT_FIELDS = tuple(name for name, kind, _ in _zelreport.FIELDS if kind == "text")
INT_FIELDS = tuple(name for name, kind, _ in _zelreport.FIELDS if kind == "int")
# Fields no element sets (always 0 in every record): nothing to model or filter by.
CONSTANT_FIELDS = tuple(name for name, _, rule in _zelreport.FIELDS if rule in ("dropped", "absent"))
# Which array a record's values are: none, float32 (datyp 1 and 5) or int32 (datyp 2).
KIND_NONE, KIND_FLOATS, KIND_INTS = 0, 1, 2
DTYPES = {KIND_FLOATS: numpy.dtype(numpy.float32), KIND_INTS: numpy.dtype(numpy.int32)}
STATISTICS = ("min", "max", "avg")


class TextColumn:
    """A text field over the records: `codes` (int32, -1 where the text is absent) into
    `texts`, the distinct texts as str."""

    def __init__(self, codes, texts):
        self.codes = codes
        self.texts = texts

    def objects(self):
        """The texts as an object array, None where absent."""
        return numpy.array(list(self.texts) + [None], dtype=object)[self.codes]

    def matching(self, wanted, normalize=lambda text: text):
        """True for the records whose text, normalized, is one of `wanted` (None: absent)."""
        hits = [code for code, text in enumerate(self.texts) if normalize(text) in wanted]
        if None in wanted:
            hits.append(-1)
        return numpy.isin(self.codes, hits)


class Table:
    """The columns of a document's records, numbered from `first`."""

    def __init__(self, columns, first=1):
        self.size = len(columns["kind"])
        self.numbers = numpy.arange(first, first + self.size, dtype=numpy.int64)
        self.texts = {name: TextColumn(*columns[name]) for name in TEXT_FIELDS}
        self.ints = {name: columns[name] for name in INT_FIELDS}
        self.kind = columns["kind"]
        self.count = columns["count"]
        self.columns = columns

    def field(self, name):
        """A field's column: int32 values, or a TextColumn."""
        return self.texts[name] if name in self.texts else self.ints[name]

    def records_without_values(self, rows=None):
        """The numbers of the records (among `rows`) that have no values."""
        numbers = self.numbers if rows is None else self.numbers[rows]
        kind = self.kind if rows is None else self.kind[rows]
        return numbers[kind == KIND_NONE]


def blocks(source, block, kept=0):
    """The records of `source`, read and converted, as Tables of at most `block` records,
    each with `records`: the Record objects of the records numbered up to `kept`."""
    with _zelreport.table_blocks(source, block, kept) as reading:
        for columns in reading:
            table = Table(columns, columns["first"])
            table.records = columns["records"]
            yield table


def statistics_columns(table):
    """(min, max, avg) as float32 arrays, and where a record has statistics."""
    return tuple(table.columns[name] for name in STATISTICS), table.columns["has_statistics"]


def to_dataframe(source):
    """The records of `source` as a pandas DataFrame: one row per record, indexed by its
    number (from 1, as `python3 -m zelreport table` and zelcheck number records), every
    field a column of its own (texts as str, None where absent; integers as int32), then
    `count` (the count of values, <NA> without values) and the statistics `min`, `max`
    and `avg` (float32, <NA> for a record without single-precision data; a NaN the
    statistics give stays NaN). `source` is anything records() reads."""
    try:
        import pandas
    except ImportError as error:
        raise ImportError("zelreport.to_dataframe needs pandas (Debian: apt-get install python3-pandas)") from error
    frames = [table_frame(pandas, table) for table in blocks(source, 1 << 62)]
    if not frames:
        return table_frame(pandas, None)
    return frames[0] if len(frames) == 1 else pandas.concat(frames)


def table_frame(pandas, table):
    """One Table as a DataFrame (an empty one with the same columns for None)."""
    if table is None:
        empty = {name: numpy.zeros(0, numpy.int32) for name in FIELDS}
        empty.update({"kind": numpy.zeros(0, numpy.int8), "count": numpy.zeros(0, numpy.int64),
                      "min": numpy.zeros(0, numpy.float32), "max": numpy.zeros(0, numpy.float32),
                      "avg": numpy.zeros(0, numpy.float32), "has_statistics": numpy.zeros(0, bool)})
        for name in TEXT_FIELDS:
            empty[name] = (numpy.zeros(0, numpy.int32), [])
        table = Table(empty)
    data = {}
    for name in FIELDS:
        column = table.field(name)
        data[name] = column.objects() if isinstance(column, TextColumn) else column
    data["count"] = pandas.arrays.IntegerArray(table.count, table.count < 0)
    stats, has = statistics_columns(table)
    for name, column in zip(STATISTICS, stats):
        data[name] = pandas.arrays.FloatingArray(column, ~has)
    return pandas.DataFrame(data, index=pandas.Index(table.numbers, name="record"))
