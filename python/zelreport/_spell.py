# SPDX-License-Identifier: MIT
"""A record's numbers spelled as the command line shows them."""
import math


def report_number(x):
    """`x` as the report's "%f" spells it, a NaN's sign included ("-nan")."""
    if x != x:
        return "-nan" if math.copysign(1.0, x) < 0 else "nan"
    return "%f" % x


def count_text(record):
    """The count of the record's values, or "" when it has none."""
    values = record.values
    return "" if values is None else str(len(values))
