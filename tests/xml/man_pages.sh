#!/bin/sh
# SPDX-License-Identifier: MIT
# Renders each man page with every groff warning enabled; any warning fails.
set -eu
command -v groff >/dev/null || { echo "groff not installed: skipped"; exit 77; }
for page in "$@"; do
    warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || { echo "$page: $warnings"; exit 1; }
done
echo "$# pages render without warnings"
