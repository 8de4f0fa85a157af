#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs the Python tests with INTERPRETER, or skips them (status 77) when
# it has no pytest; the slow ones (marked slow) with "slow", the others
# without. Usage: run_pytest.sh INTERPRETER TESTS_DIR [slow]
set -eu
"$1" -c 'import pytest' 2>/dev/null || { echo "python: skipped: $1 has no pytest (install python3-pytest)"; exit 77; }
marks="not slow"
[ "${3:-}" != slow ] || marks=slow
exec "$1" -m pytest -q -rs -p no:cacheprovider -m "$marks" "$2"
