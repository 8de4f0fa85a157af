# SPDX-License-Identifier: MIT
"""The command line: `table` lists a document's records, `plot` draws one."""
import argparse
import csv
import sys

from . import records

PROG = "python3 -m zelreport"
# Exit statuses: a document that cannot be read or holds no such record,
# and a usage error or missing Matplotlib (as argparse does).
STATUS_FAILED = 1
STATUS_USAGE = 2

TABLE_HEADER = ("#", "nomvar", "typvar", "etiket", "ip1", "ip2", "ip3", "ni*nj*nk", "datyp", "count",
                "min", "max", "avg")
# The colour scale of a plot runs between these percentiles of the values.
COLOUR_PERCENTILES = (1, 99)
# The aligned table is written in blocks of this many rows.
TABLE_BLOCK_ROWS = 10000
# Columns aligned to the right: the numbers.
NUMERIC_COLUMNS = {0, 4, 5, 6, 8, 9, 10, 11, 12}


def open_document(path):
    """The source for a FILE argument: standard input for "-"."""
    return sys.stdin.buffer if path == "-" else path


def count_text(record):
    values = record.values
    return "" if values is None else str(len(values))


def table_row(number, record, absent):
    """One record's cells; `absent` stands for a missing text or statistic."""
    stats = record.statistics
    numbers = ("%f" % x for x in stats) if stats else (absent,) * 3
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
        title += "\nmin %.7g  max %.7g  avg %.7g" % record.statistics
    return title


def draw(number, record, level, output):
    """Draws level `level` (from 1) of the record's field into `output`."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    import numpy

    level_values = record.field[:, :, level - 1]
    # The colours span the 1st to 99th percentile, so that a few extreme
    # values do not flatten the rest into one colour.
    finite = level_values[numpy.isfinite(level_values)]
    low, high = numpy.percentile(finite, COLOUR_PERCENTILES) if finite.size else (None, None)
    figure, axes = plt.subplots(figsize=(8, 6))
    # field[i, j]: i along the horizontal axis, j up the vertical one.
    image = axes.imshow(level_values.T, origin="lower", aspect="auto", interpolation="nearest",
                        vmin=low, vmax=high if high != low else None)
    figure.colorbar(image, ax=axes, extend="both", label="%s (1st to 99th percentile)" % (record.nomvar or "value"))
    axes.set_xlabel("i")
    axes.set_ylabel("j")
    axes.set_title(plot_title(number, record, level), fontsize=10)
    figure.tight_layout()
    figure.savefig(output, dpi=100)
    plt.close(figure)


def plot(args):
    try:
        import matplotlib  # noqa: F401
    except ImportError:
        print("%s plot: Matplotlib is not installed (Debian: apt-get install python3-matplotlib; "
              "pip: pip install matplotlib)" % PROG, file=sys.stderr)
        return STATUS_USAGE
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
    draw(number, record, args.level, output)
    print(output)
    return 0


def fail(message):
    print("%s: %s" % (PROG, message), file=sys.stderr)
    return STATUS_FAILED


def parser():
    main_parser = argparse.ArgumentParser(prog=PROG, description="Tables and pictures of the records of a "
                                          "document, read exactly as zelreport reads it.")
    commands = main_parser.add_subparsers(dest="command", required=True)
    table = commands.add_parser("table", help="one line per record",
                                description="One line per record: number, texts, ip1 to ip3, dimensions, "
                                "data type, count of values and the statistics of single-precision data.")
    table.add_argument("file", metavar="FILE", help="the document ('-': standard input)")
    table.add_argument("--csv", action="store_true", help="write CSV instead of aligned columns (aligned over "
                       "blocks of %s records: a later block with a wider cell widens its column)"
                       % format(TABLE_BLOCK_ROWS, ","))
    draw_parser = commands.add_parser("plot", help="draw a record's field",
                                      description="Draws one level of a record's field as a heatmap "
                                      "(Matplotlib) with axes i and j, into a PNG file.")
    draw_parser.add_argument("file", metavar="FILE", help="the document ('-': standard input)")
    which = draw_parser.add_mutually_exclusive_group()
    which.add_argument("--record", type=int, default=1, metavar="N", help="the Nth record (from 1; default 1)")
    which.add_argument("--nomvar", metavar="NAME", help="the first record whose nomvar is NAME")
    draw_parser.add_argument("--level", type=int, default=1, metavar="K",
                             help="the level of nk to draw (from 1; default 1)")
    draw_parser.add_argument("-o", "--output", metavar="PNG", help="the picture's file (default record-N.png)")
    return main_parser


def main(argv=None):
    args = parser().parse_args(argv)
    # Texts keep their non-UTF-8 bytes as surrogates: write them back as bytes.
    sys.stdout.reconfigure(errors="surrogateescape")
    try:
        if args.command == "table":
            print_table(open_document(args.file), args.csv, sys.stdout)
            return 0
        return plot(args)
    except BrokenPipeError:
        return STATUS_FAILED
    except OSError as error:
        return fail(str(error))
