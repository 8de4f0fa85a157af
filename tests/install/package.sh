#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the Debian package from a build tree into a temporary directory
# and checks that its contents list holds every installed part.
# Usage: package.sh BUILD_DIR
set -eu
build=$1
command -v dpkg-deb >/dev/null || { echo "dpkg-deb not installed: skipped"; exit 77; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp" >"$tmp/cpack.log" 2>&1 ||
    { cat "$tmp/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$(ls "$tmp"/*.deb)
dpkg-deb -c "$deb" >"$tmp/contents"
status=0
for part in '/usr/bin/zelreport$' '/usr/lib/.*libzelreport\.a$' '/usr/include/zelreport/zelreport\.h$' \
    '/usr/include/zelreport/version\.h$' '/usr/lib/.*cmake/zelreport/zelreportConfig\.cmake$' \
    '/usr/lib/.*cmake/zelreport/zelreportTargets\.cmake$' '/usr/lib/.*pkgconfig/zelreport\.pc$' \
    '/usr/share/man/man1/zelreport\.1'; do
    grep -q "$part" "$tmp/contents" || { echo "FAIL: package lacks $part"; status=1; }
done
[ "$(dpkg-deb -f "$deb" Package)" = zelreport ] || { echo "FAIL: package name"; status=1; }
[ $status -eq 0 ] && echo "$(basename "$deb"): ok"
exit $status
