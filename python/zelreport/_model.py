# SPDX-License-Identifier: MIT
"""How a document's records make hypercubes, the same way for every document.

- One variable per nomvar (blanks around it stripped; UNNAMED without one), holding
  records of one kind of values (float32 or int32) on one grid (nk, nj, ni) whose
  count of values is ni * nj * nk; a record that cannot be shaped so is a part alone.
- The variable's dimensions are the fields of DIMENSION_FIELDS that vary among its
  records, in that order; a cell of them holds at most one record.
- Any other field that varies is a coordinate when it is a function of those
  dimensions; else the records are split by its values (the first such field in the
  report's order) and each share is modelled again. Records alike in every field that
  fall into the same cell (duplicates) go to layers of their own.
- Parts are gathered into datasets where they can share dimensions: the same values
  of each dimension and coordinate they both have, the same grid sizes, another name,
  and the same values of the fields any part was split by.

Everything here works on columns (numpy arrays over the records), not on a Python
object per record: a document of 200,000 records is modelled in a few passes.
"""
import collections
import itertools

import numpy

from ._table import CONSTANT_FIELDS, DTYPES, FIELDS, INT_FIELDS, KIND_NONE, TEXT_FIELDS, TextColumn

DIMENSION_FIELDS = ("dateo", "npas", "ip1")
GRID_FIELDS = ("nk", "nj", "ni")
# The variable of the records without a nomvar.
UNNAMED = "unnamed"
# Fields that may become coordinates or split a variable: any but the name, the
# dimensions, the grid and the fields that are always 0.
OTHER_FIELDS = tuple(f for f in FIELDS if f not in ("nomvar",) + DIMENSION_FIELDS + GRID_FIELDS + CONSTANT_FIELDS)
# A message lists at most this many datasets' filters, records or values.
LISTED = 10


class HypercubeWarning(UserWarning):
    """xr.open_dataset(..., engine="zelreport", errors="warn") left records out of the
    Dataset, since they do not form one hypercube with the first."""


def variable_name(text):
    """The variable a record's nomvar makes: the text without the white space around it."""
    name = None if text is None else text.strip()
    return name if name else UNNAMED


def factorize(values):
    """Dense codes of `values` (0, 1, ... in order of first appearance) and their count."""
    import pandas

    codes, uniques = pandas.factorize(values, sort=False)
    return codes, len(uniques)


def factorize_texts(texts):
    """Dense codes of `texts` (0, 1, ... in order of first appearance) and their count,
    by a dict: pandas' table of strings takes every text that holds bytes which are not
    UTF-8 (kept as surrogates) for the same one."""
    seen = {}
    codes = numpy.array([seen.setdefault(text, len(seen)) for text in texts], dtype=numpy.int64)
    return codes, len(seen)


def group_by(columns):
    """The rows grouped by the tuple of their codes in `columns`, a list of (codes,
    count): dense codes of the tuples in order of first appearance, and their count."""
    key, size = None, 1
    for codes, count in columns:
        if key is None:
            key, size = codes.astype(numpy.int64), count
            continue
        if size * count >= 1 << 62:
            key, size = factorize(key)
        key *= count
        key += codes
        size *= count
    return factorize(key)


def firsts(codes):
    """The first row of each code, for codes numbered in order of first appearance (as
    factorize gives them): where the running maximum grows."""
    seen = numpy.maximum.accumulate(codes)
    return numpy.flatnonzero(numpy.r_[True, seen[1:] > seen[:-1]])


def differs_in_group(codes, groups, first, count):
    """True for each group whose rows do not all have the same code; `first`: the first
    row of each group."""
    return numpy.bincount(groups, weights=codes != codes[first[groups]], minlength=count) > 0


class Filter:
    """filter_by_keys: each key a field, each value a value or a list of them; texts
    compare as written, but nomvar with the blanks around it stripped, None for absent."""

    def __init__(self, keys):
        self.keys = {}
        for name, wanted in (keys or {}).items():
            if name not in FIELDS:
                raise ValueError("filter_by_keys: no field %r (the fields: %s)" % (name, ", ".join(FIELDS)))
            values = list(wanted) if isinstance(wanted, (list, tuple, set, frozenset)) else [wanted]
            for value in values:
                if name in TEXT_FIELDS and not (value is None or isinstance(value, str)):
                    raise TypeError("filter_by_keys: %s is a text field: give a str or None, not %r" % (name, value))
                if name in INT_FIELDS and (isinstance(value, bool) or not isinstance(value, (int, numpy.integer))):
                    raise TypeError("filter_by_keys: %s is an integer field: give an int, not %r" % (name, value))
            self.keys[name] = values

    def rows(self, table):
        """True for each record of `table` the filter keeps."""
        keep = numpy.ones(table.size, dtype=bool)
        for name, values in self.keys.items():
            column = table.field(name)
            if isinstance(column, TextColumn):
                normalize = (lambda text: variable_name(text)) if name == "nomvar" else (lambda text: text)
                wanted = {variable_name(v) if name == "nomvar" and v is not None else v for v in values}
                keep &= column.matching(wanted, normalize)
            else:
                keep &= numpy.isin(column, numpy.array(values, dtype=numpy.int64))
        return keep


def spell_filter(keys):
    """filter_by_keys as Python writes it: a single value alone, several as a list."""
    return "{%s}" % ", ".join("%r: %r" % (k, v[0] if len(v) == 1 else v) for k, v in keys.items())


class Part:
    """Records of one variable that make one hypercube: `rows` (indices into the table,
    in document order), `grid` (nk, nj, ni), or None for a record that cannot be shaped,
    `kind`, and `keys`, the values of the fields any part was split by that are
    constant in it. Shaped when first asked (Model.shape): its `dims` (names) and their
    sorted values `coords`, `cells` (each row's place in the grid of dims, flat),
    `field_coords` (field: (dims, values)) and `attrs` (the fields constant in it)."""

    def __init__(self, name, kind, grid, rows, keys):
        self.name, self.kind, self.grid, self.rows, self.keys = name, kind, grid, rows, keys
        self.shaped = self.duplicated = False
        self.dims, self.coords, self.cells = (), {}, numpy.zeros(len(rows), numpy.int64)
        self.field_coords, self.attrs = {}, {}

    @property
    def shape(self):
        return tuple(len(self.coords[d]) for d in self.dims)


class Model:
    """The parts of the records of a table that a filter keeps, and what made them."""

    def __init__(self, table, filter_by_keys=None, squeeze=True):
        self.table = table
        self.squeeze = squeeze
        self.filter = Filter(filter_by_keys)
        selected = self.filter.rows(table)
        self.without_values = table.numbers[selected & (table.kind == KIND_NONE)]
        rows = numpy.flatnonzero(selected & (table.kind != KIND_NONE))
        names = [variable_name(t) for t in table.texts["nomvar"].texts] + [UNNAMED]
        self.names = numpy.array(names, dtype=object)
        # Each text code's variable, as a dense code (-1, absent, is the last).
        self.name_codes, _ = factorize_texts(names)
        self.reasons = []  # (field, why), for the messages
        self.split_fields = []
        shaped = self.shapeable(rows)
        self.unshaped = [self.lone_part(r) for r in rows[~shaped]]
        self.parts = self.split(rows[shaped])

    def shapeable(self, rows):
        ni, nj, nk = (self.table.ints[f][rows] for f in ("ni", "nj", "nk"))
        positive = (ni > 0) & (nj > 0) & (nk > 0)
        product = ni.astype(numpy.int64)
        product *= nj
        product *= nk
        return positive & (product == self.table.count[rows])

    def name_of(self, row):
        return self.names[self.table.texts["nomvar"].codes[row]]

    def lone_part(self, row):
        part = Part(self.name_of(row), int(self.table.kind[row]), None, numpy.array([row]), {})
        part.attrs = {f: value for f in FIELDS if (value := self.value(f, row)) is not None}
        part.shaped = True
        return part

    def value(self, field, row):
        """A record's field as a Python value (None for an absent text)."""
        column = self.table.field(field)
        if isinstance(column, TextColumn):
            code = column.codes[row]
            return None if code < 0 else column.texts[code]
        return int(column[row])

    def codes(self, field, rows):
        """A field over `rows` as integers: its values, or its texts' codes."""
        column = self.table.field(field)
        return column.codes[rows] if isinstance(column, TextColumn) else column[rows]

    def dense(self, field, rows):
        """A field over `rows` as dense codes, and their count (texts' codes are)."""
        column = self.table.field(field)
        if isinstance(column, TextColumn):
            return column.codes[rows] + 1, len(column.texts) + 1
        return factorize(column[rows])

    def split(self, rows):
        """The parts of the shaped records `rows`.

        The records are first told apart by every field but the dimensions
        (signatures), then by their dimensions too (combinations): the variables are
        split on the combinations, far fewer than the records when records repeat."""
        if not len(rows):
            return []
        table = self.table
        varying = [f for f in OTHER_FIELDS if not constant(self.codes(f, rows))]
        name = (self.name_codes[table.texts["nomvar"].codes[rows]], len(self.names))
        identity = [name, factorize(table.kind[rows])] + [
            factorize(table.ints[f][rows]) for f in GRID_FIELDS if not constant(table.ints[f][rows])]
        fields = [self.dense(f, rows) for f in varying]
        dims = [d for d in DIMENSION_FIELDS if not constant(table.ints[d][rows])]
        dim_codes = [factorize(table.ints[d][rows]) for d in dims]
        self.note_identity_splits(rows, name)
        signature = group_by(identity + fields)
        combination, combinations = group_by([signature] + dim_codes)
        first_rows = firsts(combination)  # of each combination, a row
        groups, count = group_by([(codes[first_rows], n) for codes, n in identity])
        field_at = [codes[first_rows] for codes, _ in fields]
        dim_at = [(codes[first_rows], n) for codes, n in dim_codes]
        del identity, fields, dim_codes, signature  # a record's worth each: what follows needs less
        while True:
            first = firsts(groups)
            dims_varying = [differs_in_group(codes, groups, first, count) for codes, _ in dim_at]
            cells, _ = group_by([(groups, count)] + [
                (numpy.where(varies[groups], codes + 1, 0), n + 1) for varies, (codes, n) in zip(dims_varying, dim_at)])
            first_in_cell = firsts(cells)
            # The first field in the report's order that is not a function of the cell
            # splits a group (-1: none).
            failing = numpy.full(count, -1)
            for index, codes in enumerate(field_at):
                differs = codes != codes[first_in_cell[cells]]
                if differs.any():
                    bad = numpy.unique(groups[differs])
                    failing[bad[failing[bad] < 0]] = index
            if not (failing >= 0).any():
                break
            combination_failing = failing[groups]
            by = numpy.zeros(combinations, dtype=numpy.int64)
            for index in numpy.unique(failing[failing >= 0]):
                field = varying[index]
                if field not in self.split_fields:
                    self.split_fields.append(field)
                hit = combination_failing == index
                by[hit] = field_at[index][hit] + 1
                group = numpy.flatnonzero(failing == index)[0]
                varied = [d for d, varies in zip(dims, dims_varying) if varies[group]]
                self.reasons.append((field, self.split_reason(field, rows[first_rows[groups == group]], varied)))
            groups, count = group_by([(groups, count), factorize(by)])
        row_groups = groups[combination]
        layers = numpy.zeros(len(rows), dtype=numpy.int64)
        duplicated = numpy.zeros(count, dtype=bool)
        if combinations < len(rows):
            # Records alike in every field in the same cell: a layer each.
            layers = occurrences(combination)
            duplicated = numpy.bincount(row_groups, weights=layers > 0, minlength=count) > 0
            self.reasons.append(("duplicates", self.duplicate_reason(rows, combination, layers)))
        parts, _ = group_by([(row_groups, count), factorize(layers)])
        return self.make_parts(rows, parts, duplicated[row_groups])

    def note_identity_splits(self, rows, name):
        """A variable holds one grid and one kind of values: where records of one name
        differ in them, those fields are keys of its parts."""
        names, count = factorize(name[0])
        first = firsts(names)
        for field, codes in [(f, self.table.ints[f][rows]) for f in GRID_FIELDS] + [("datyp", self.table.kind[rows])]:
            differs = differs_in_group(codes, names, first, count)
            if differs.any():
                self.split_fields.append(field)
                some = rows[names == numpy.flatnonzero(differs)[0]]
                why = "a variable has one grid" if field != "datyp" else "a variable holds one kind of values"
                self.reasons.append((field, self.split_reason(field, some, []).replace("while no dimension varies",
                                                                                       why)))

    def split_reason(self, field, rows, dims):
        """Why the records `rows` of one variable are split by `field`."""
        codes = self.codes(field, rows)
        _, places = numpy.unique(codes, return_index=True)
        values = sorted((self.value(field, rows[i]) for i in places), key=lambda v: (v is None, v))
        over = "not a function of %s" % ", ".join(dims) if dims else "while no dimension varies"
        return "%s: %s has %s among its records, %s" % (field, self.name_of(rows[0]), spell_values(values), over)

    def duplicate_reason(self, rows, combination, layers):
        second = numpy.flatnonzero(layers == 1)[0]
        first = numpy.flatnonzero(combination == combination[second])[0]
        numbers = self.table.numbers[rows[[first, second]]]
        place = ", ".join("%s=%d" % (d, self.table.ints[d][rows[first]]) for d in DIMENSION_FIELDS)
        return ("duplicates: records %d and %d are both %s at %s with every other field the same: no filter "
                "tells them apart" % (numbers[0], numbers[1], self.name_of(rows[first]), place))

    def make_parts(self, rows, parts, duplicated):
        """The parts, in the order of their first records (`parts`: each row's, numbered
        so); each keeps the values of the split fields that are constant in it, and
        whether no filter can tell it from another (`duplicated`: each row's)."""
        order = numpy.argsort(parts, kind="stable")
        starts = numpy.r_[0, numpy.flatnonzero(numpy.diff(parts[order])) + 1]
        firsts_of = rows[order[starts]]
        constant_in = {}
        for f in self.split_fields:
            codes = self.codes(f, rows[order])
            constant_in[f] = numpy.minimum.reduceat(codes, starts) == numpy.maximum.reduceat(codes, starts)
        grids = numpy.stack([self.table.ints[f][firsts_of] for f in GRID_FIELDS], axis=1).tolist()
        kinds = self.table.kind[firsts_of].tolist()
        made = []
        for index, members in enumerate(numpy.split(order, starts[1:])):
            first = firsts_of[index]
            keys = {f: self.value(f, first) for f in self.split_fields if constant_in[f][index]}
            made.append(Part(self.name_of(first), kinds[index], tuple(grids[index]), rows[members], keys))
            made[-1].duplicated = bool(duplicated[members[0]])
        return made

    def shape(self, part):
        """Places each record of the part in its grid of dims; fields that vary become
        coordinates, the others attributes."""
        if part.shaped:
            return part
        part.shaped = True
        rows = part.rows
        dims = [d for d in DIMENSION_FIELDS if not self.squeeze or not constant(self.table.ints[d][rows])]
        part.dims = tuple(dims)
        places = []
        for d in dims:
            values = self.table.ints[d][rows]
            part.coords[d] = numpy.unique(values)
            places.append(numpy.searchsorted(part.coords[d], values))
        shape = part.shape
        part.cells = numpy.ravel_multi_index(places, shape) if dims else numpy.zeros(len(rows), numpy.int64)
        for f in FIELDS:
            if f in part.dims or f in CONSTANT_FIELDS or f == "nomvar":
                continue
            if constant(self.codes(f, rows)):
                value = self.value(f, rows[0])
                if value is not None:
                    part.attrs[f] = value
                continue
            part.field_coords[f] = self.field_coordinate(f, rows, places, shape, dims)
        return part

    def field_coordinate(self, field, rows, places, shape, dims):
        """The field as a coordinate over the fewest dims it is a function of: (dims, values)."""
        codes, _ = factorize(self.codes(field, rows))
        for size in range(1, len(dims) + 1):
            for chosen in itertools.combinations(range(len(dims)), size):
                sub_shape = tuple(shape[i] for i in chosen)
                cells = numpy.ravel_multi_index([places[i] for i in chosen], sub_shape)
                held, first_rows = numpy.unique(cells, return_index=True)
                first = numpy.full(int(numpy.prod(sub_shape)), -1, dtype=numpy.int64)
                first[held] = first_rows
                if (codes == codes[first[cells]]).all():
                    return tuple(dims[i] for i in chosen), self.coordinate_values(field, rows, first, sub_shape)
        raise AssertionError("a field that is a function of the cell is one of all the dimensions")

    def coordinate_values(self, field, rows, first, shape):
        """The field's value at each place of `shape` (`first`: the row there, -1: none)."""
        held = first >= 0
        column = self.table.field(field)
        if isinstance(column, TextColumn):
            values = numpy.full(first.shape, "", dtype=object)
            texts = column.objects()[rows[first[held]]]
            values[held] = [("" if t is None else t) for t in texts]
            return values.astype(str).reshape(shape)
        if held.all():
            return column[rows[first]].reshape(shape)
        values = numpy.full(first.shape, numpy.nan)
        values[held] = column[rows[first[held]]]
        return values.reshape(shape)


def constant(values):
    """True when every value is the same (or there is none)."""
    return len(values) == 0 or values.min() == values.max()


def occurrences(cells):
    """For each row, how many rows of the same cell come before it."""
    order = numpy.argsort(cells, kind="stable")
    sorted_cells = cells[order]
    starts = numpy.r_[0, numpy.flatnonzero(numpy.diff(sorted_cells)) + 1]
    run_start = numpy.repeat(starts, numpy.diff(numpy.r_[starts, len(cells)]))
    layers = numpy.empty(len(cells), dtype=numpy.int64)
    layers[order] = numpy.arange(len(cells)) - run_start
    return layers


class Dataset:
    """Parts that can share their dimensions, and the filter that selects them."""

    def __init__(self, part):
        self.parts = [part]
        self.names = {part.name}
        self.keys = part.keys
        self.coords = {d: (part.name, part.coords[d]) for d in part.dims}
        self.grid = part.grid
        self.field_coords = {f: (part.name,) + c for f, c in part.field_coords.items()}

    def conflict(self, part, model):
        """Why `part` cannot join: (field, a function that spells why, naming both
        variables and the field's values), or None. Shapes the part only when the
        fields that need no shape allow it to join."""
        first, squeeze = self.parts[0].name, model.squeeze
        if part.grid is None or self.grid is None:
            return ("grid", lambda: "a record that cannot be shaped stands alone")
        if part.name in self.names:
            return ("nomvar", lambda: "nomvar: %s has records in two hypercubes" % part.name)
        if part.keys != self.keys:
            field = next(f for f in sorted(set(part.keys) | set(self.keys)) if part.keys.get(f) != self.keys.get(f))
            return (field, lambda: "%s: %s has %s, %s %s" % (field, first, spell_key(self.keys, field), part.name,
                                                            spell_key(part.keys, field)))
        for field, mine, theirs in zip(GRID_FIELDS, self.grid, part.grid):
            if mine != theirs and (field != "nk" or not squeeze or (mine > 1 and theirs > 1)):
                return (field, lambda: "%s: %s has %d, %s %d" % (field, first, mine, part.name, theirs))
        model.shape(part)
        for d in part.dims:
            if d in self.coords and not numpy.array_equal(part.coords[d], self.coords[d][1]):
                name, values = self.coords[d]
                return (d, lambda: "%s: %s has %s, %s %s" % (d, name, spell_values(values), part.name,
                                                              spell_values(part.coords[d])))
        for f, (dims, values) in part.field_coords.items():
            if f in self.field_coords:
                name, their_dims, their_values = self.field_coords[f]
                if their_dims != dims or not numpy.array_equal(their_values, values):
                    return (f, lambda: "%s: %s and %s have other values of it along %s" % (
                        f, name, part.name, ", ".join(dims)))
        return None

    def add(self, part):
        self.parts.append(part)
        self.names.add(part.name)
        for d in part.dims:
            self.coords.setdefault(d, (part.name, part.coords[d]))
        for f, c in part.field_coords.items():
            self.field_coords.setdefault(f, (part.name,) + c)
        if part.grid[0] > self.grid[0]:
            self.grid = part.grid

    def filter_keys(self, model):
        keys = dict(model.filter.keys)
        keys["nomvar"] = sorted(self.names)
        for f, value in self.keys.items():
            keys[f] = [value]
        return keys

    @property
    def rows(self):
        return numpy.sort(numpy.concatenate([part.rows for part in self.parts]))


def spell_key(keys, field):
    return repr(keys[field]) if field in keys else "several"


def spell_values(values):
    shown = [repr(v) if isinstance(v, str) else str(v) for v in itertools.islice(values, LISTED)]
    return "(%s%s)" % (", ".join(shown), ", ..." if len(values) > LISTED else "")


def bucket(part):
    """What parts must share to join one dataset, hashable: the fields they were split
    by and the grid's nj and ni."""
    return (tuple(sorted(part.keys.items(), key=lambda item: item[0])), part.grid[1:])


def gather(model, first_only=False, enough=None):
    """The datasets of a model's parts, in the order of their first records; with
    `first_only`, the one of the first record and the parts left out; with `enough`,
    at least that many (when there are), the others not gathered. Unshaped records come
    last, each a dataset alone. Also (field: why) for the datasets kept apart."""
    datasets, left_out, conflicts = [], [], {}
    buckets = collections.defaultdict(list)
    for part in model.parts:
        buckets[bucket(part)].append(part)
    first_bucket = bucket(model.parts[0]) if model.parts else None
    for key, parts in buckets.items():
        if (first_only and key != first_bucket) or (enough is not None and len(datasets) >= enough):
            left_out.extend(parts)
            if datasets and not conflicts:
                why = datasets[0].conflict(parts[0], model)
                conflicts[why[0]] = why[1]
            continue
        gathered = []
        for part in parts:
            for dataset in gathered:
                why = dataset.conflict(part, model)
                if why is None:
                    dataset.add(part)
                    break
                conflicts.setdefault(why[0], why[1])
            else:
                if first_only and gathered:
                    left_out.append(part)
                    continue
                if datasets and not gathered:
                    why = datasets[0].conflict(part, model)
                    conflicts.setdefault(why[0], why[1])
                gathered.append(Dataset(model.shape(part)))
        datasets.extend(gathered)
    datasets.sort(key=lambda dataset: dataset.parts[0].rows[0])
    if first_only or (enough is not None and len(datasets) >= enough):
        left_out.extend(model.unshaped)
    else:
        datasets.extend(Dataset(part) for part in model.unshaped)
    return datasets, left_out, conflicts


def hypercube_message(model, source):
    """Why the records are not one hypercube, and the filter_by_keys of each: for
    open_dataset's error or warning."""
    datasets, left_out, conflicts = gather(model, enough=LISTED)
    lines = ["the records of %s do not form one hypercube:" % source]
    reasons = {}
    for field, why in model.reasons + [(f, spell()) for f, spell in conflicts.items()]:
        reasons.setdefault(field, why)
    lines += ["  - %s" % why for why in list(reasons.values())[:LISTED]]
    shaped = [d for d in datasets if d.grid is not None and not any(p.duplicated for p in d.parts)]
    if shaped:
        lines.append("each of these filters opens one (zelreport.open_datasets opens them all):")
        for dataset in shaped[:LISTED]:
            lines.append("  filter_by_keys=%s" % spell_filter(dataset.filter_keys(model)))
        if len(shaped) > LISTED or left_out:
            lines.append("  ... and more")
    if any(p.duplicated for d in datasets for p in d.parts):
        lines.append("records with duplicates: no filter keeps one of them apart; zelreport.open_datasets gives "
                     "each a dataset of its own")
    lone = [int(model.table.numbers[d.parts[0].rows[0]]) for d in datasets if d.grid is None]
    if lone:
        lines.append("record%s %s cannot be shaped: the count of values is not ni * nj * nk (or a dimension is "
                     "not positive); zelreport.open_datasets gives each a dataset with dimension 'value'" % (
                         "s" if len(lone) > 1 else "", spell_values(lone)[1:-1]))
    return "\n".join(lines)
