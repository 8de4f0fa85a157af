# SPDX-License-Identifier: MIT
"""python3 -m zelreport: a table of a document's records, or a picture of one."""
import sys

from ._cli import main

sys.exit(main())
