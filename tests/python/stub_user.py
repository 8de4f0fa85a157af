# SPDX-License-Identifier: MIT
"""A user's script, type-checked with mypy against the package's stubs (never run):
every documented source, every field, and uses the stubs must refuse."""
import gzip
import io
import pathlib
import sys
from typing import Optional

import numpy as np
import zelreport


class OnlyRead:
    def read(self, size: int) -> bytes:
        return b""


def use(text: str, stream: zelreport.RecordIterator) -> None:
    with stream:
        for record in stream:
            name: Optional[str] = record.nomvar
            size: int = record.ni * record.nj * record.nk
            if record.field is not None and record.statistics is not None:
                low, high, mean = record.statistics
                total: float = float(np.sum(record.field)) + low


path = "document.xml"
data = b"<zelrecord>\n</zelrecord>\n"
use(zelreport.report(path), zelreport.records(path))
use(zelreport.report(pathlib.Path(path)), zelreport.records(pathlib.Path(path)))
use(zelreport.report(data), zelreport.records(data))
use(zelreport.report(bytearray(data)), zelreport.records(bytearray(data)))
use(zelreport.report(memoryview(data)), zelreport.records(memoryview(data)))
use(zelreport.report(open(path, "rb")), zelreport.records(open(path, "rb")))
use(zelreport.report(sys.stdin.buffer), zelreport.records(sys.stdin.buffer))
use(zelreport.report(gzip.open(path)), zelreport.records(gzip.open(path)))
use(zelreport.report(io.BytesIO(data)), zelreport.records(io.BytesIO(data)))
use(zelreport.report(OnlyRead()), zelreport.records(OnlyRead()))

record = next(zelreport.records(data))
frames = [zelreport.to_dataframe(path), zelreport.to_dataframe(data)]
opened = zelreport.open_datasets(path, filter_by_keys={"nomvar": "TT", "ip1": [500, 850], "typvar": None},
                                 drop_variables="GZ", squeeze=False, errors="warn")
if opened[0] == opened[-1] and record == record:
    fields = record.to_dict()

# What the stubs refuse: each line must be an error, or its ignore goes unused.
record.nomvar = "TT"  # type: ignore[misc]
record.ip1 = 5  # type: ignore[misc]
record.values = None  # type: ignore[misc]
zelreport.records(3)  # type: ignore[arg-type]
zelreport.report(io.StringIO("<zelrecord>"))  # type: ignore[arg-type]
zelreport.open_datasets(path, filter_by_keys={"ip1": 1.5})  # type: ignore[dict-item]
