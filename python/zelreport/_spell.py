# SPDX-License-Identifier: MIT
"""A record's numbers spelled as the command line shows them."""
import math


# The report's spelling of its statistics, and the short one of pictures and pages.
REPORT_FORMAT = "%f"
SHORT_FORMAT = "%.7g"


def report_number(x, spelling=REPORT_FORMAT):
    """`x` spelled as the report's printf does, a NaN's sign included ("-nan"), which
    Python's own formatting drops."""
    if x != x:
        return "-nan" if math.copysign(1.0, x) < 0 else "nan"
    return spelling % x


def count_text(record):
    """The count of the record's values, or "" when it has none."""
    values = record.values
    return "" if values is None else str(len(values))
