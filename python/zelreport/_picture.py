# SPDX-License-Identifier: MIT
"""Pictures of a record's field: the rules `plot` and the page's thumbnails share.

A level of the field is drawn with `i` across and `j` up, each entry as
the colour of its nearest sample, its colours spanning the 1st to 99th
percentile of its finite values (so that a few extreme values do not
flatten the rest into one colour) on Matplotlib's default colour map.
"""
import base64
import struct
import zlib

import numpy

# The colour scale runs between these percentiles of the finite values.
COLOUR_PERCENTILES = (1, 99)
COLOUR_MAP = "viridis"
# A thumbnail's longer side, in pixels, at most; a point of a small field
# is drawn at most THUMBNAIL_POINT_PIXELS wide, and the shorter side at least
# THUMBNAIL_LEAST_SIDE, so that a 1000 x 1 field stays visible.
THUMBNAIL_PIXELS = 128
THUMBNAIL_POINT_PIXELS = 32
THUMBNAIL_LEAST_SIDE = 8
# A thumbnail is a palette PNG: entry 0, transparent, stands for NaN (the
# page's background shows through), entries 1 to 255 run along the map.
NAN_INDEX = 0
COLOUR_LEVELS = 255
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
PNG_PALETTE_COLOUR_TYPE = 3
# zlib's level: 9 took 10 ms on a thumbnail of a noisy field, where 6 takes
# 0.7 ms for a PNG 6% larger.
PNG_COMPRESSION = 6


def level_values(record, level):
    """The (ni, nj) array of level `level` (from 1) of the record's field."""
    return record.field[:, :, level - 1]


def finite_values(level):
    """A copy of the level's finite values, in any order."""
    return level[numpy.isfinite(level)]


def colour_limits(finite):
    """(low, high): the percentiles the colours span, or None without a finite value.
    Reorders `finite`."""
    n = finite.size
    if not n:
        return None
    # Each percentile lies between the values of two ranks, as numpy.percentile
    # puts it by default; one partition finds them all.
    places = [p / 100 * (n - 1) for p in COLOUR_PERCENTILES]
    ranks = sorted({r for place in places for r in (int(place), min(int(place) + 1, n - 1))})
    finite.partition(ranks)

    def at(place):
        below = float(finite[int(place)])
        share = place - int(place)
        return below + (float(finite[int(place) + 1]) - below) * share if share else below

    return tuple(at(place) for place in places)


def rows_bottom_up(level):
    """The level as rows of constant j, the first row at the bottom: i across, j up."""
    return level.T


def draw_plot(level, limits, title, label, output, file_format):
    """Draws `level` as a heatmap with axes i and j and a colour bar into `output`."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    low, high = limits or (None, None)
    figure, axes = plt.subplots(figsize=(8, 6))
    image = axes.imshow(rows_bottom_up(level), origin="lower", aspect="auto", interpolation="nearest",
                        cmap=COLOUR_MAP, vmin=low, vmax=high if high != low else None)
    figure.colorbar(image, ax=axes, extend="both", label=label)
    axes.set_xlabel("i")
    axes.set_ylabel("j")
    axes.set_title(title, fontsize=10)
    figure.tight_layout()
    figure.savefig(output, dpi=100, format=file_format)
    plt.close(figure)


def plot_formats():
    """The file formats `draw_plot` writes, by extension."""
    from matplotlib.backends.backend_agg import FigureCanvasAgg
    return FigureCanvasAgg.get_supported_filetypes()


def colour_palette():
    """The palette of a thumbnail, from Matplotlib's map: (r, g, b) bytes for NAN_INDEX (unused,
    transparent), then the COLOUR_LEVELS colours along the map."""
    import matplotlib
    colours = matplotlib.colormaps[COLOUR_MAP](numpy.linspace(0, 1, COLOUR_LEVELS))[:, :3]
    return numpy.concatenate(([[0, 0, 0]], numpy.rint(colours * 255))).astype(numpy.uint8)


def thumbnail_size(ni, nj):
    """(width, height) on the page, the aspect of i to j kept."""
    scale = min(THUMBNAIL_PIXELS / max(ni, nj), THUMBNAIL_POINT_PIXELS)
    return (max(THUMBNAIL_LEAST_SIDE, round(ni * scale)), max(THUMBNAIL_LEAST_SIDE, round(nj * scale)))


def nearest_samples(rows, width, height):
    """`rows` reduced to at most width x height entries, each the one nearest a pixel's centre."""
    nj, ni = rows.shape
    if ni > width:
        rows = rows[:, ((numpy.arange(width) + 0.5) * (ni / width)).astype(numpy.intp)]
    if nj > height:
        rows = rows[((numpy.arange(height) + 0.5) * (nj / height)).astype(numpy.intp), :]
    return rows


def palette_indexes(samples, limits):
    """Each sample's palette entry: NAN_INDEX for NaN, else its place between the limits (the
    middle one when they are equal), values beyond them at the ends."""
    low, high = limits
    nan = numpy.isnan(samples)
    if high > low:
        place = samples.astype(numpy.float64)
        place[nan] = low
        place -= low
        place *= (COLOUR_LEVELS - 1) / (high - low)
        numpy.clip(place, 0, COLOUR_LEVELS - 1, out=place)
        indexes = numpy.rint(place).astype(numpy.uint8) + 1
    else:
        indexes = numpy.full(samples.shape, (COLOUR_LEVELS + 1) // 2, numpy.uint8)
    indexes[nan] = NAN_INDEX
    return indexes


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def palette_png(indexes, palette):
    """A PNG of the rows of palette indexes, the first row at the top, with the entries it uses
    of `palette`. No text, no time: the same indexes give the same bytes."""
    used = numpy.flatnonzero(numpy.bincount(indexes.ravel(), minlength=len(palette)))
    renumbered = numpy.zeros(len(palette), numpy.uint8)
    renumbered[used] = numpy.arange(len(used))
    height, width = indexes.shape
    header = struct.pack(">IIBBBBB", width, height, 8, PNG_PALETTE_COLOUR_TYPE, 0, 0, 0)
    scanlines = numpy.zeros((height, width + 1), numpy.uint8)  # each line starts with filter 0
    scanlines[:, 1:] = renumbered[indexes]
    chunks = [png_chunk(b"IHDR", header), png_chunk(b"PLTE", palette[used].tobytes())]
    if used[0] == NAN_INDEX:
        chunks.append(png_chunk(b"tRNS", b"\x00"))  # the first entry, NaN's, is transparent
    chunks += [png_chunk(b"IDAT", zlib.compress(scanlines.tobytes(), PNG_COMPRESSION)), png_chunk(b"IEND", b"")]
    return PNG_SIGNATURE + b"".join(chunks)


def thumbnail_uri(level, limits, palette):
    """The level drawn as a thumbnail: a PNG `data:` URI, i across and j up."""
    width, height = thumbnail_size(*level.shape)
    samples = nearest_samples(rows_bottom_up(level), width, height)[::-1]  # PNG rows run top down
    png = palette_png(palette_indexes(samples, limits or (0.0, 0.0)), palette)
    return "data:image/png;base64," + base64.b64encode(png).decode("ascii")
