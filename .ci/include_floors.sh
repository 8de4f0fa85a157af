#!/bin/sh
# SPDX-License-Identifier: MIT
# Every include of a source under src/ points to its own folder or to a
# lower floor; reader and record, the ground floor, include neither each
# other nor anything above. Prints each include that points elsewhere.
# Usage: include_floors.sh SOURCE_DIR
set -eu
cd "$1/src"
find . -name '*.h' -o -name '*.cpp' | sort | xargs awk '
BEGIN {
    split("reader:1 record:1 elements:2 keywords:3 run:4 xml:5 main:6", floors, " ")
    for (i in floors) { split(floors[i], pair, ":"); floor[pair[1]] = pair[2] }
}
FNR == 1 { split(FILENAME, parts, "/"); from = parts[2] }
/^#include "[a-z_]+\// {
    to = $2; gsub(/"/, "", to); sub(/\/.*/, "", to)
    if (to == "zelreport" || to == from) next
    if (!(to in floor) || floor[to] >= floor[from]) {
        print substr(FILENAME, 3) " includes " to "/, which is not below " from "/"
        bad = 1
    }
}
END { exit bad }'
