# SPDX-License-Identifier: MIT
"""The page of a document: a summary of its records, then one row per record
with a thumbnail of its field, in one self-contained HTML file.

Records are taken in blocks of ROW_BLOCK: each block becomes one table of
the page, written to a temporary file while the document is read, its
columns spelled a column at a time. The summary and the columns' widths are
tallied in bounded memory; the page is the summary, then those tables.
Every table has the same fixed column widths, and a browser lays out only
the tables in view: a page of 200,000 records opens. The same document and
options give the same bytes.
"""
import collections
import html
import math
import pathlib
import re
import shutil
import tempfile

import numpy

from . import _picture, _table
from ._spell import SHORT_FORMAT, report_number

# Thumbnails are drawn for the first this many records unless asked otherwise.
THUMBNAILS_DEFAULT = 2000
# A text from the document is shown up to this many characters, then "…".
TEXT_SHOWN_MAX = 256
# Texts up to this long are escaped once and remembered, up to ESCAPE_CACHE_SIZE of them.
ESCAPE_CACHE_TEXT_MAX = 64
ESCAPE_CACHE_SIZE = 4096
# The summary names at most this many variables, grids and records without values.
SUMMARY_LISTED = 50
# Records per table of the page.
ROW_BLOCK = 1000
# Heights a browser assumes for a table not yet in view, per row, in pixels.
ROW_HEIGHT = 22
THUMBNAIL_ROW_HEIGHT = 170
# The colour bar's gradient is drawn through this many of the map's colours.
GRADIENT_STOPS = 11
# The summary gives the range of these fields.
RANGED_FIELDS = ("dateo", "npas", "ip1")
HERE = pathlib.Path(__file__).parent

# The columns: the key a link's fragment names, the head, how the script
# sorts it (None: not sortable) and how wide its glyphs are against a digit's.
DIGITS, DIGITS_AND_SIGNS, LETTERS = 1.0, 1.1, 1.2
Column = collections.namedtuple("Column", "key head kind glyph_width")
COLUMNS = (Column("record", "#", "number", DIGITS), Column("nomvar", "nomvar", "text", LETTERS),
           Column("typvar", "typvar", "text", LETTERS), Column("etiket", "etiket", "text", LETTERS),
           Column("ip1", "ip1", "number", DIGITS), Column("ip2", "ip2", "number", DIGITS),
           Column("ip3", "ip3", "number", DIGITS), Column("dateo", "dateo", "number", DIGITS),
           Column("deet", "deet", "number", DIGITS), Column("npas", "npas", "number", DIGITS),
           Column("grid", "ni\u00d7nj\u00d7nk", "grid", DIGITS_AND_SIGNS), Column("grtyp", "grtyp", "text", LETTERS),
           Column("datyp", "datyp", "number", DIGITS), Column("count", "values", "number", DIGITS),
           Column("min", "min", "number", DIGITS_AND_SIGNS), Column("avg", "avg", "number", DIGITS_AND_SIGNS),
           Column("max", "max", "number", DIGITS_AND_SIGNS), Column("field", "field", None, DIGITS))
ROW = "<tr>" + "<td>%s" * len(COLUMNS) + "\n"
# Every table names its columns, whose widths the style sets.
COLUMN_GROUP = "<colgroup>" + "<col>" * len(COLUMNS) + "</colgroup>"
# Columns of integers (their widths come from their least and greatest), and
# the count of values, an integer or empty.
INTEGER_COLUMNS = {i for i, column in enumerate(COLUMNS) if column.key in
                   ("record", "ip1", "ip2", "ip3", "dateo", "deet", "npas", "datyp")}
COUNT_COLUMN = [column.key for column in COLUMNS].index("count")
GRID = "%d\u00d7%d\u00d7%d"
# A column's width in `ch` of the cells' font: its widest cell (by the
# width of its glyphs), or its head in the heads' smaller font with room for
# the sort arrow; the field's column is as wide as a thumbnail.
HEAD_WIDTH_FACTOR = 0.9
SORT_ARROW_WIDTH = 1.5
# A column's width holds its cells' padding too.
CELL_PADDING_WIDTH = 1
FIELD_COLUMN_WIDTH = "%dpx" % (_picture.THUMBNAIL_PIXELS + 10)
# Bytes that are not UTF-8 (kept as surrogates) and control characters are
# shown as \xNN: a browser would drop or replace them.
UNSHOWABLE = re.compile("[\x00-\x08\x0b\x0c\x0e-\x1f\x7f\udc80-\udcff]")


def shown_byte(match):
    code = ord(match.group())
    return "\\x%02x" % (code - 0xdc00 if code >= 0xdc00 else code)


def escape(text):
    """A text from the document as HTML text or attribute: escaped, cut at TEXT_SHOWN_MAX."""
    if len(text) > TEXT_SHOWN_MAX:
        text = text[:TEXT_SHOWN_MAX] + "\u2026"
    return UNSHOWABLE.sub(shown_byte, html.escape(text))


class ShownTexts(dict):
    """Texts from the document as the page shows them: escape(text) for a text, "" for None
    (absent). The short ones are kept, a bounded number, since names repeat record after record."""

    def __init__(self):
        super().__init__({None: ""})

    def __missing__(self, text):
        shown = escape(text)
        if len(text) <= ESCAPE_CACHE_TEXT_MAX:
            if len(self) >= ESCAPE_CACHE_SIZE:
                self.clear()
                self[None] = ""
            self[text] = shown
        return shown


class GridTexts(dict):
    """ni×nj×nk for each (ni, nj, nk), kept: a document holds few grids."""

    def __missing__(self, grid):
        if len(self) >= ESCAPE_CACHE_SIZE:
            self.clear()
        text = self[grid] = GRID % grid
        return text


def count_of(n, noun):
    return "%s %s%s" % (format(n, ","), noun, "" if n == 1 else "s")


def spell_statistics(column):
    """A column of the report's statistics, spelled short; "" where a record has none."""
    if None in column:
        return ["" if x is None else report_number(x, SHORT_FORMAT) for x in column]
    spelled = list(map(SHORT_FORMAT.__mod__, column))
    if "nan" in "".join(spelled):  # Python spells every NaN "nan", printf a negative one "-nan"
        return [report_number(x, SHORT_FORMAT) for x in column]
    return spelled


def tally(counts, keys):
    """Adds `keys` to `counts`, which names at most SUMMARY_LISTED keys; returns how many
    were left out."""
    left_out = 0
    for key, n in collections.Counter(keys).items():
        if key in counts or len(counts) < SUMMARY_LISTED:
            counts[key] = counts.get(key, 0) + n
        else:
            left_out += n
    return left_out


class Summary:
    """What the header says of the whole document, tallied block by block in bounded memory."""

    def __init__(self):
        self.records = 0
        self.values = 0
        self.variables, self.other_variables = {}, 0  # by nomvar as shown
        self.grids, self.other_grids = {}, 0  # by (ni, nj, nk, grtyp as shown)
        self.low, self.high = [math.inf] * len(RANGED_FIELDS), [-math.inf] * len(RANGED_FIELDS)
        self.without_values, self.without_values_listed = 0, []

    def add(self, numbers, nomvars, grids, ranged, counts):
        """Tallies a block: the records' numbers, shown nomvars, grids, RANGED_FIELDS' columns
        and counts of values (None: no values)."""
        self.records = numbers[-1]
        self.other_variables += tally(self.variables, nomvars)
        self.other_grids += tally(self.grids, grids)
        for i, column in enumerate(ranged):
            self.low[i], self.high[i] = min(self.low[i], min(column)), max(self.high[i], max(column))
        self.values += sum(filter(None, counts))
        if None in counts:
            without = [number for number, n in zip(numbers, counts) if n is None]
            self.without_values += len(without)
            self.without_values_listed += without[:SUMMARY_LISTED - len(self.without_values_listed)]

    def items(self, thumbnails_line):
        """The header's (term, description) pairs, as HTML."""
        def listed(counts, others, spell):
            parts = ["%s (%s)" % (spell(key), format(n, ",")) for key, n in counts.items()]
            if others:
                parts.append("others (%s)" % format(others, ","))
            return ", ".join(parts) or "none"

        items = [("Records", format(self.records, ",")),
                 ("Variables", listed(self.variables, self.other_variables, lambda name: name or "(none)")),
                 ("Grids", listed(self.grids, self.other_grids,
                                  lambda g: "%s %s" % (GRID % g[:3], g[3] or "(no grtyp)")))]
        for name, low, high in zip(RANGED_FIELDS, self.low, self.high):
            items.append((name, "none" if not self.records else str(low) if low == high else "%d to %d" % (low, high)))
        items.append(("Values", format(self.values, ",")))
        without = "none"
        if self.without_values:
            more = ", \u2026" if self.without_values > len(self.without_values_listed) else ""
            without = "%s: %s%s" % (count_of(self.without_values, "record"),
                                    ", ".join(map(str, self.without_values_listed)), more)
        items.append(("Without values", without))
        items.append(("Thumbnails", thumbnails_line))
        return items


class Thumbnails:
    """The field column: a thumbnail of the first level of each record's field, for the
    first `limit` records (None: all), with its colour bar and notes."""

    def __init__(self, limit, palette):
        self.limit = limit
        self.palette = palette
        self.shown = ShownTexts()

    def count(self):
        """How many records, from the first, get the cell (any number: all)."""
        if self.palette is None:
            return 0
        return math.inf if self.limit is None else self.limit

    def cell(self, number, record, count):
        """The field's cell of a record with `count` values (None: it has none)."""
        if count is None:
            return '<div class=note>no values</div>'
        field = record.field
        if field is None:
            return '<div class=note>no field: %s for %s</div>' % (
                count_of(count, "value"), GRID % (record.ni, record.nj, record.nk))
        level = _picture.level_values(record, 1)
        finite = _picture.finite_values(level)
        limits = _picture.colour_limits(finite)
        width, height = _picture.thumbnail_size(record.ni, record.nj)
        names = " ".join(self.shown[t] for t in (record.nomvar, record.typvar, record.etiket) if t is not None)
        alt = "record %d: %s, ip1 %d" % (number, names, record.ip1)
        notes = []
        if record.nk > 1:
            alt += ", level 1 of %d" % record.nk
            notes.append("k 1/%d" % record.nk)
        image = '<img src="%s" width=%d height=%d alt="%s">' % (
            _picture.thumbnail_uri(level, limits, self.palette), width, height, alt)
        bar = ""
        if limits is None:
            notes.append("all NaN")
        elif finite.min() == finite.max():
            notes.append("constant %s" % label(finite[0]))
        else:
            bar = ('<div class=bar title="1st to 99th percentile"></div>'
                   '<div class=ends><span>%s</span><span>%s</span></div>' % (label(limits[0]), label(limits[1])))
        nans = numpy.count_nonzero(numpy.isnan(level)) if level.dtype.kind == "f" else 0
        if nans and finite.size:
            notes.append("%s NaN" % format(nans, ","))
        note = '<div class=note>%s</div>' % " \u00b7 ".join(notes) if notes else ""
        return image + bar + note


def label(x):
    """A number under a thumbnail: short, so that both ends of its colour bar fit."""
    return "%.3g" % x


def int_width(column):
    """The width of the widest of a column of integers, as digits and sign."""
    return max(len(str(min(column))), len(str(max(column))))


class Tables:
    """The page's tables of rows, one per block of records, spelled a column at a time,
    written to `out` as they come; keeps each column's widest cell."""

    def __init__(self, out, summary):
        self.out = out
        self.summary = summary
        self.shown = ShownTexts()
        self.grids = GridTexts()
        self.widths = [0] * len(COLUMNS)

    def write(self, table, field):
        """Writes a block of records (a Table) with `field`, the cells of their field column."""
        shown = self.shown.__getitem__
        nomvar, typvar, etiket, grtyp = (list(map(shown, table.texts[f].objects().tolist()))
                                         for f in ("nomvar", "typvar", "etiket", "grtyp"))
        ip1, ip2, ip3, dateo, deet, npas, ni, nj, nk, datyp = (
            table.ints[f].tolist() for f in ("ip1", "ip2", "ip3", "dateo", "deet", "npas", "ni", "nj", "nk", "datyp"))
        count = [n if n >= 0 else None for n in table.count.tolist()]
        counts = [n for n in count if n is not None]
        count_cells = count if len(counts) == len(count) else ["" if n is None else n for n in count]
        stats, has = _table.statistics_columns(table)
        low, high, avg = ([x if h else None for x, h in zip(c.tolist(), has.tolist())] for c in stats)
        numbers = table.numbers.tolist()
        columns = (numbers, nomvar, typvar, etiket, ip1, ip2, ip3, dateo, deet, npas,
                   list(map(self.grids.__getitem__, zip(ni, nj, nk))), grtyp, datyp, count_cells,
                   spell_statistics(low), spell_statistics(avg), spell_statistics(high), field)
        for i, column in enumerate(columns[:-1]):
            width = int_width(counts or [0]) if i == COUNT_COLUMN else (
                int_width(column) if i in INTEGER_COLUMNS else max(map(len, column)))
            self.widths[i] = max(self.widths[i], width)
        self.summary.add(numbers, nomvar, list(zip(ni, nj, nk, grtyp)), (dateo, npas, ip1), count)
        drawn = sum(1 for cell in field if cell)
        height = drawn * THUMBNAIL_ROW_HEIGHT + (table.size - drawn) * ROW_HEIGHT
        self.out.write(('<div class=rows style="contain-intrinsic-size:auto %dpx"><table>%s<tbody>\n%s'
                        '</tbody></table></div>\n' % (height, COLUMN_GROUP, "".join(map(ROW.__mod__, zip(*columns)))))
                       .encode("utf-8"))

    def style(self):
        """The columns' widths, for the head's style."""
        widths = ["%dch" % math.ceil(CELL_PADDING_WIDTH + max(len(column.head) * HEAD_WIDTH_FACTOR + SORT_ARROW_WIDTH,
                                                               w * column.glyph_width))
                  for w, column in zip(self.widths, COLUMNS)]
        widths[-1] = FIELD_COLUMN_WIDTH
        return "".join("#records col:nth-child(%d) { width: %s; }\n" % (i, w) for i, w in enumerate(widths, 1))


def write_tables(source, tables, thumbnails):
    """Reads `source` and writes its records' rows through `tables`, ROW_BLOCK at a time."""
    drawn = thumbnails.count()
    for table in _table.blocks(source, ROW_BLOCK, drawn if drawn != math.inf else 1 << 62):
        field = [""] * table.size
        for index, record in enumerate(table.records):
            count = table.count[index]
            field[index] = thumbnails.cell(int(table.numbers[index]), record, None if count < 0 else int(count))
        tables.write(table, field)


def gradient(palette):
    stops = palette[[round(i * (len(palette) - 1) / (GRADIENT_STOPS - 1)) for i in range(GRADIENT_STOPS)]]
    return ".bar { background: linear-gradient(90deg, %s); }\n" % ", ".join("#%02x%02x%02x" % tuple(c) for c in stops)


def page_head(name, summary, thumbnails_line, style):
    heads = "".join('<th data-key=%s%s>%s' % (column.key, " data-kind=" + column.kind if column.kind else "",
                                               column.head) for column in COLUMNS)
    items = "".join("<dt>%s<dd>%s\n" % item for item in summary.items(thumbnails_line))
    return ('<!DOCTYPE html>\n<html lang=en>\n<head>\n<meta charset=utf-8>\n'
            '<meta name=viewport content="width=device-width, initial-scale=1">\n'
            '<title>%s: %s</title>\n<style>\n%s</style>\n</head>\n<body>\n<header>\n<h1>%s</h1>\n<dl>\n%s</dl>\n'
            '</header>\n<p id=controls hidden><label>Filter by nomvar or etiket '
            '<input id=filter type=search autocomplete=off></label><output id=shown></output></p>\n'
            '<section id=records>\n<table class=head>%s<thead><tr>%s</thead></table>\n'
            % (name, count_of(summary.records, "record"), style, name, items, COLUMN_GROUP, heads))


def page_tail():
    return "</section>\n<script>\n%s</script>\n</body>\n</html>\n" % (HERE / "page.js").read_text("utf-8")


def thumbnails_line(summary, limit, palette, missing_reason):
    if palette is None:
        return "none: %s" % missing_reason
    if limit is None or summary.records <= limit:
        return "every record with a field"
    return "records 1 to %s (--thumbnails N or all for more)" % format(limit, ",")


def write_page(source, name, out, limit=THUMBNAILS_DEFAULT):
    """Writes the page of the document `source`, titled `name`, to the binary file `out`.
    Thumbnails for the first `limit` records (None: all). Returns the warnings to print."""
    palette, missing_reason, warnings = None, "--thumbnails 0", []
    if limit != 0:
        try:
            palette = _picture.colour_palette()
        except ImportError:
            missing_reason = "Matplotlib is not installed (Debian: apt-get install python3-matplotlib)"
            warnings.append("no thumbnails: " + missing_reason)
    summary = Summary()
    with tempfile.TemporaryFile() as rows_file:
        tables = Tables(rows_file, summary)
        write_tables(source, tables, Thumbnails(limit, palette))
        rows_file.seek(0)
        style = (HERE / "page.css").read_text("utf-8") + tables.style()
        if palette is not None:
            style += gradient(palette[1:])
        out.write(page_head(escape(name), summary, thumbnails_line(summary, limit, palette, missing_reason),
                            style).encode("utf-8"))
        shutil.copyfileobj(rows_file, out)
        out.write(page_tail().encode("utf-8"))
    return warnings
