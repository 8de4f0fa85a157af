# SPDX-License-Identifier: MIT
"""The command line: `table` lists a document's records, `plot` draws one,
`html` writes a page of them all."""
import argparse
import csv
import os
import select
import sys

import numpy

from . import _picture, _table, records
from ._spell import SHORT_FORMAT, count_text, report_number

PROG = "python3 -m zelreport"
# Exit statuses: a document that cannot be read or holds no such record,
# and a usage error or missing Matplotlib (as argparse does).
STATUS_FAILED = 1
STATUS_USAGE = 2
# Ended by Ctrl-C, as a shell reports a process stopped by SIGINT.
STATUS_INTERRUPTED = 130

TABLE_HEADER = ("#", "nomvar", "typvar", "etiket", "ip1", "ip2", "ip3", "ni*nj*nk", "datyp", "count",
                "min", "max", "avg")
# The CSV's columns: the record's number, every field, the count of values and the
# statistics (as to_dataframe gives them).
CSV_HEADER = ("record",) + _table.FIELDS + ("count",) + _table.STATISTICS
# The aligned table is written in blocks of this many rows.
TABLE_BLOCK_ROWS = 10000
# Columns aligned to the right: the numbers.
NUMERIC_COLUMNS = {0, 4, 5, 6, 8, 9, 10, 11, 12}


def open_document(path):
    """The source for a FILE argument: standard input for "-"."""
    return sys.stdin.buffer if path == "-" else path


def spelled_statistics(table, absent):
    """The columns min, max and avg of a block of records, spelled as the report spells
    them, `absent` for a record without statistics."""
    stats, has = _table.statistics_columns(table)
    return [[report_number(x) if h else absent for x, h in zip(column.tolist(), has.tolist())]
            for column in stats]


def text_cells(column, absent):
    return [absent if text is None else text for text in column.objects().tolist()]


def aligned_rows(table):
    """The aligned table's rows of a block of records."""
    texts = [text_cells(table.texts[f], "-") for f in ("nomvar", "typvar", "etiket")]
    ints = [list(map(str, table.ints[f].tolist())) for f in ("ip1", "ip2", "ip3", "datyp")]
    grids = ["%dx%dx%d" % g for g in zip(*(table.ints[f].tolist() for f in ("ni", "nj", "nk")))]
    counts = [str(n) if n >= 0 else "-" for n in table.count.tolist()]
    numbers = list(map(str, table.numbers.tolist()))
    return zip(numbers, *texts, *ints[:3], grids, ints[3], counts, *spelled_statistics(table, "-"))


def csv_rows(table):
    """A block of records as the CSV's rows: every field, the count and the statistics."""
    columns = [text_cells(c, "") if isinstance(c, _table.TextColumn) else c.tolist()
               for c in map(table.field, _table.FIELDS)]
    counts = ["" if n < 0 else n for n in table.count.tolist()]
    return zip(table.numbers.tolist(), *columns, counts, *spelled_statistics(table, ""))


def print_table(source, as_csv, out):
    blocks = _table.blocks(source, TABLE_BLOCK_ROWS)
    if as_csv:
        writer = csv.writer(out, lineterminator="\n")
        writer.writerow(CSV_HEADER)
        for table in blocks:
            writer.writerows(csv_rows(table))
        return
    # Columns are aligned over blocks of rows, so that memory stays bounded;
    # they only widen, when a later block holds a wider cell.
    widths = [0] * len(TABLE_HEADER)
    head = [TABLE_HEADER]
    for table in blocks:
        print_aligned(head + list(aligned_rows(table)), widths, out)
        head = []
    if head:
        print_aligned(head, widths, out)


def print_aligned(rows, widths, out):
    for i in range(len(widths)):
        widths[i] = max([widths[i]] + [len(row[i]) for row in rows])
    for row in rows:
        cells = (cell.rjust(w) if i in NUMERIC_COLUMNS else cell.ljust(w)
                 for i, (cell, w) in enumerate(zip(row, widths)))
        print("  ".join(cells).rstrip(), file=out)


def table_command(args):
    print_table(open_document(args.file), args.csv, sys.stdout)
    return 0


def find_record(source, number, nomvar):
    """The record numbered `number` (from 1), or the first named `nomvar`."""
    for n, record in enumerate(records(source), 1):
        if (nomvar is not None and record.nomvar == nomvar) or (nomvar is None and n == number):
            return n, record
    return None, None


def plot_title(number, record, level):
    names = " ".join(t for t in (record.nomvar, record.typvar, record.etiket) if t is not None)
    title = "record %d: %s  ip1=%d ip2=%d ip3=%d  datyp=%d  level %d of %d" % (
        number, names, record.ip1, record.ip2, record.ip3, record.datyp, level, record.nk)
    if record.statistics:
        title += "\nmin %s  max %s  avg %s" % tuple(report_number(x, SHORT_FORMAT) for x in record.statistics)
    return title


def picture_format(output):
    """The format `plot` writes `output` in: its extension's, PNG without one; None when unknown."""
    extension = os.path.splitext(output)[1][1:].lower()
    if not extension:
        return "png"
    return extension if extension in _picture.plot_formats() else None


def plot(args):
    try:
        import matplotlib  # noqa: F401
    except ImportError:
        return fail("Matplotlib is not installed (Debian: apt-get install python3-matplotlib; "
                    "pip: pip install matplotlib)", STATUS_USAGE, "plot")
    file_format = picture_format(args.output) if args.output else "png"
    if file_format is None:
        known = ", ".join(sorted(_picture.plot_formats()))
        return fail("cannot write %s: unknown picture format (known extensions: %s)" % (args.output, known),
                    STATUS_USAGE, "plot")
    number, record = find_record(open_document(args.file), args.record, args.nomvar)
    if record is None:
        wanted = "no record named %s" % args.nomvar if args.nomvar else "no record %d" % args.record
        return fail("%s in %s" % (wanted, args.file))
    if record.field is None:
        return fail("record %d has no field to draw: it needs ni, nj and nk positive and that many "
                    "values (it has %s values for %dx%dx%d)" % (number, count_text(record) or "no",
                                                              record.ni, record.nj, record.nk))
    if not 1 <= args.level <= record.nk:
        return fail("record %d has levels 1 to %d, not %d" % (number, record.nk, args.level))
    output = args.output or "record-%d.png" % number
    level = _picture.level_values(record, args.level)
    _picture.draw_plot(level, _picture.colour_limits(_picture.finite_values(level)),
                       plot_title(number, record, args.level),
                       "%s (1st to 99th percentile)" % (record.nomvar or "value"), output, file_format)
    print(output)
    return 0


class DescriptorWriter:
    """Writes whole blocks to a file descriptor, waiting while a non-blocking one is full."""

    def __init__(self, fd):
        self.fd = fd

    def write(self, data):
        view = memoryview(data)
        while view:
            try:
                view = view[os.write(self.fd, view):]
            except BlockingIOError:
                select.select([], [self.fd], [])


def html(args):
    from ._html import write_page

    name = "standard input" if args.file == "-" else args.file
    source = open_document(args.file)
    if args.output in (None, "-"):
        sys.stdout.flush()
        warnings = write_page(source, name, DescriptorWriter(sys.stdout.fileno()), args.thumbnails)
    else:
        with open(args.output, "wb") as out:
            try:
                warnings = write_page(source, name, out, args.thumbnails)
            except BaseException:
                os.unlink(args.output)  # no half page left behind
                raise
    for warning in warnings:
        print("%s html: %s" % (PROG, warning), file=sys.stderr)
    return 0


def filter_arguments(pairs):
    """--filter KEY=VALUE, repeatable: filter_by_keys, a repeated key taking any of its
    values; integer fields' values as integers."""
    keys = {}
    for pair in pairs:
        key, equals, value = pair.partition("=")
        if not equals:
            raise argparse.ArgumentTypeError("--filter takes KEY=VALUE, not %r" % pair)
        if key in _table.INT_FIELDS:
            try:
                value = int(value)
            except ValueError:
                raise argparse.ArgumentTypeError("--filter %s: %s is an integer field" % (pair, key)) from None
        keys.setdefault(key, []).append(value)
    return keys


def netcdf_name(name):
    """`name` as NetCDF allows a name: no "/", control byte or byte that is not UTF-8 (each
    becomes "_"), beginning with a letter, digit or "_"."""
    name = "".join("_" if c == "/" or ord(c) < 32 or ord(c) == 127 or 0xdc80 <= ord(c) <= 0xdcff else c
                   for c in name)
    return name if name[:1].isalnum() or name[:1] == "_" else "v" + name


def netcdf_text(value):
    """A text as NetCDF stores it: bytes that are not UTF-8 shown as \\xNN."""
    if isinstance(value, str):
        return value.encode("utf-8", "surrogateescape").decode("utf-8", "backslashreplace")
    return value


def for_netcdf(dataset):
    """The dataset with names and texts NetCDF can hold."""
    renames = {name: netcdf_name(name) for name in dataset.variables if netcdf_name(name) != name}
    dataset = dataset.rename(renames)
    for variable in dataset.variables.values():
        variable.attrs = {key: netcdf_text(value) for key, value in variable.attrs.items()}
        if variable.dtype.kind == "U":
            variable.values = numpy.vectorize(netcdf_text, otypes=[str])(variable.values)
    return dataset


def convert(args):
    try:
        import xarray  # noqa: F401

        from . import open_datasets
    except ImportError:
        return fail("xarray is not installed (Debian: apt-get install python3-xarray python3-netcdf4)",
                    STATUS_USAGE, "convert")
    datasets = open_datasets(open_document(args.file), filter_by_keys=args.filter)
    if not datasets:
        return fail("no record with values in %s" % args.file, command="convert")
    # Written beside the output and renamed once whole: no half file is left.
    partial = "%s.partial-%d" % (args.output, os.getpid())
    try:
        for number, dataset in enumerate(datasets, 1):
            group = None if len(datasets) == 1 else "hypercube_%d" % number
            for_netcdf(dataset).to_netcdf(partial, mode="w" if number == 1 else "a", group=group)
        os.replace(partial, args.output)
    except BaseException:
        if os.path.exists(partial):
            os.unlink(partial)
        raise
    if len(datasets) > 1:
        print("%s convert: %s holds %d hypercubes: written as groups hypercube_1 to hypercube_%d" % (
            PROG, args.file, len(datasets), len(datasets)), file=sys.stderr)
    print(args.output)
    return 0


def fail(message, status=STATUS_FAILED, command=None):
    print("%s: %s" % (PROG if command is None else PROG + " " + command, message), file=sys.stderr)
    return status


def thumbnail_limit(text):
    """--thumbnails: a count of records, or "all" (None)."""
    if text == "all":
        return None
    if text.isdigit():
        return int(text)
    raise argparse.ArgumentTypeError("expected a count of records or 'all', not %r" % text)


def add_table_command(commands):
    table = commands.add_parser("table", help="one line per record",
                                description="One line per record: number, texts, ip1 to ip3, dimensions, data "
                                "type, count of values and the statistics of single-precision data, in columns "
                                "aligned over blocks of %s records (a later block with a wider cell widens its "
                                "column)." % format(TABLE_BLOCK_ROWS, ","))
    table.add_argument("file", metavar="FILE", help="the document ('-': standard input)")
    table.add_argument("--csv", action="store_true", help="write CSV instead: a line of column names, then a "
                       "line per record, an empty cell where a record has no such text or statistic")
    table.set_defaults(run=table_command)


def add_plot_command(commands):
    draw_parser = commands.add_parser("plot", help="draw a record's field",
                                      description="Draws one level of a record's field as a heatmap "
                                      "(Matplotlib) with axes i and j, into a picture file.")
    draw_parser.add_argument("file", metavar="FILE", help="the document ('-': standard input)")
    which = draw_parser.add_mutually_exclusive_group()
    which.add_argument("--record", type=int, default=1, metavar="N", help="the Nth record (from 1; default 1)")
    which.add_argument("--nomvar", metavar="NAME", help="the first record whose nomvar is NAME")
    draw_parser.add_argument("--level", type=int, default=1, metavar="K",
                             help="the level of nk to draw (from 1; default 1)")
    draw_parser.add_argument("-o", "--output", metavar="FILE",
                             help="the picture's file, written as named (default record-N.png); its extension "
                             "chooses the format (.png, .svg, .pdf and the others Matplotlib writes), PNG "
                             "without one")
    draw_parser.set_defaults(run=plot)


def add_convert_command(commands):
    converter = commands.add_parser("convert", help="write NetCDF (xarray)",
                                    description="Writes the document's records to a NetCDF file through xarray, "
                                    "as xr.open_dataset(FILE, engine='zelreport') opens them; records that do not "
                                    "form one hypercube go to one group each (hypercube_1, hypercube_2, ...), as "
                                    "zelreport.open_datasets splits them.")
    converter.add_argument("file", metavar="FILE", help="the document ('-': standard input)")
    converter.add_argument("output", metavar="OUT.nc", help="the NetCDF file to write")
    converter.add_argument("--filter", metavar="KEY=VALUE", action="append", default=[],
                           help="only records whose field KEY has VALUE (repeat it: for several keys, or any of "
                           "several values of one key)")
    converter.set_defaults(run=convert)


def add_html_command(commands):
    from ._html import THUMBNAILS_DEFAULT

    page = commands.add_parser("html", help="a page of every record, with thumbnails",
                               description="Writes one self-contained HTML page: a summary of the document, "
                               "then a row per record with its fields, statistics and a thumbnail of its "
                               "field's first level (Matplotlib's colours), sortable and filterable.")
    page.add_argument("file", metavar="FILE", help="the document ('-': standard input)")
    page.add_argument("-o", "--output", metavar="FILE", help="the page's file ('-' or none: standard output)")
    page.add_argument("--thumbnails", type=thumbnail_limit, default=THUMBNAILS_DEFAULT, metavar="N",
                      help="draw thumbnails for the first N records, or 'all' (default %d)" % THUMBNAILS_DEFAULT)
    page.set_defaults(run=html)


def parser():
    main_parser = argparse.ArgumentParser(prog=PROG, description="Tables and pictures of the records of a "
                                          "document, read exactly as zelreport reads it.")
    commands = main_parser.add_subparsers(dest="command", required=True)
    add_table_command(commands)
    add_plot_command(commands)
    add_html_command(commands)
    add_convert_command(commands)
    return main_parser


def main(argv=None):
    try:
        main_parser = parser()
        args = main_parser.parse_args(argv)
        if args.command == "convert":
            try:
                args.filter = filter_arguments(args.filter)
            except argparse.ArgumentTypeError as error:
                main_parser.error(str(error))
        # Texts keep their non-UTF-8 bytes as surrogates: write them back as bytes.
        sys.stdout.reconfigure(errors="surrogateescape")
        return args.run(args)
    except KeyboardInterrupt:
        return STATUS_INTERRUPTED
    except BrokenPipeError:
        return STATUS_FAILED
    except (OSError, ValueError, TypeError) as error:
        return fail(str(error))
