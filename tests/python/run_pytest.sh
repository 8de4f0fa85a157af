#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs the Python tests with INTERPRETER, or skips them (status 77) when
# it has no pytest. Usage: run_pytest.sh INTERPRETER TESTS_DIR
set -eu
"$1" -c 'import pytest' 2>/dev/null || { echo "python: skipped: $1 has no pytest (install python3-pytest)"; exit 77; }
exec "$1" -m pytest -q -rs -p no:cacheprovider "$2"
