#!/bin/sh
# SPDX-License-Identifier: MIT
# Renders the man page with every groff warning enabled; any warning fails.
# Also checks that its header names the project's version, that it has the
# sections a packaged page needs, and that --help ends by pointing to it.
# Usage: man_page.sh PAGE VERSION PROGRAM
set -eu
grep -q "^\.TH ZELREPORT 1 .*\"zelreport $2\"" "$1" || { echo "$1 does not name version $2"; exit 1; }
for section in BUGS COPYRIGHT 'SEE ALSO'; do grep -q "^\.SH $section\$" "$1" || { echo "no $section"; exit 1; }; done
[ "$("$3" --help | tail -n 1)" = "See zelreport(1)." ] || { echo "--help does not end with the page"; exit 1; }
command -v groff >/dev/null || { echo "groff not installed: skipped"; exit 77; }
warnings=$(groff -man -Tutf8 -ww -z "$1" 2>&1)
[ -z "$warnings" ] || { echo "$warnings"; exit 1; }
echo "$1 renders without warnings"
