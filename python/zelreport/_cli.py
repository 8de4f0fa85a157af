# SPDX-License-Identifier: MIT
"""The command line: `table` lists a document's records, `plot` draws one,
`html` writes a page of them all."""
import argparse
import csv
import os
import select
import sys

from . import _picture, records
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
# The aligned table is written in blocks of this many rows.
TABLE_BLOCK_ROWS = 10000
# Columns aligned to the right: the numbers.
NUMERIC_COLUMNS = {0, 4, 5, 6, 8, 9, 10, 11, 12}


def open_document(path):
    """The source for a FILE argument: standard input for "-"."""
    return sys.stdin.buffer if path == "-" else path


def table_row(number, record, absent):
    """One record's cells; `absent` stands for a missing text or statistic."""
    stats = record.statistics
    numbers = map(report_number, stats) if stats else (absent,) * 3
    return (str(number), *(absent if t is None else t for t in (record.nomvar, record.typvar, record.etiket)),
            str(record.ip1), str(record.ip2), str(record.ip3), "%dx%dx%d" % (record.ni, record.nj, record.nk),
            str(record.datyp), count_text(record) or absent, *numbers)


def print_table(source, as_csv, out):
    if as_csv:
        writer = csv.writer(out, lineterminator="\n")
        writer.writerow(TABLE_HEADER)
        for number, record in enumerate(records(source), 1):
            writer.writerow(table_row(number, record, ""))
        return
    # Columns are aligned over blocks of rows, so that memory stays bounded;
    # they only widen, when a later block holds a wider cell.
    widths = [0] * len(TABLE_HEADER)
    rows = [TABLE_HEADER]
    for number, record in enumerate(records(source), 1):
        rows.append(table_row(number, record, "-"))
        if len(rows) == TABLE_BLOCK_ROWS:
            print_aligned(rows, widths, out)
            rows = []
    print_aligned(rows, widths, out)


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
    return main_parser


def main(argv=None):
    try:
        args = parser().parse_args(argv)
        # Texts keep their non-UTF-8 bytes as surrogates: write them back as bytes.
        sys.stdout.reconfigure(errors="surrogateescape")
        return args.run(args)
    except KeyboardInterrupt:
        return STATUS_INTERRUPTED
    except BrokenPipeError:
        return STATUS_FAILED
    except OSError as error:
        return fail(str(error))
