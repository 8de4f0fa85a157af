#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the Debian packages from a build tree into a temporary directory
# and checks that there are two, zelreport and libzelreport-dev, and a
# third, python3-zelreport, when PYTHON_PACKAGE is ON, each holding its own
# files, with a changelog whose last entry is its version. With "lintian",
# runs lintian on all instead: any error or warning fails.
# Usage: [PYTHON_PACKAGE=ON] package.sh BUILD_DIR [lintian]
set -eu
build=$1 lintian=${2:-} python=${PYTHON_PACKAGE:-OFF}
command -v dpkg-deb >/dev/null || { echo "dpkg-deb not installed: skipped"; exit 77; }
[ -z "$lintian" ] || command -v lintian >/dev/null || { echo "lintian not installed: skipped"; exit 77; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp" >"$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log"; fail cpack; }
set -- "$tmp"/*.deb
packages=2
[ "$python" != ON ] || packages=3
[ $# -eq $packages ] || fail "not $packages packages: $*"
if [ -n "$lintian" ]; then
    lintian --fail-on error,warning "$@" && exit 0
    fail lintian
fi

# PACKAGE, then patterns its contents list must match (! first: must not).
check() {
    deb=$(ls "$tmp/$1"_*.deb) || fail "no package $1"
    dpkg-deb -c "$deb" >"$tmp/contents"
    dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/doc/$1/changelog.gz" | gzip -dc | head -n 1 |
        grep -q "^zelreport ($(dpkg-deb -f "$deb" Version))" || fail "$1: changelog does not name its version"
    shift
    for part; do
        case $part in
        !*) ! grep -q "${part#!}" "$tmp/contents" || fail "$(basename "$deb") holds ${part#!}" ;;
        *) grep -q "$part" "$tmp/contents" || fail "$(basename "$deb") lacks $part" ;;
        esac
    done
    echo "$(basename "$deb"): ok"
}
lib='/usr/lib/[^/]*-linux-[^/]*'  # the multiarch directory
check zelreport '/usr/bin/zelreport$' '/usr/share/man/man1/zelreport\.1\.gz$' \
    '/usr/share/doc/zelreport/copyright$' '!/usr/include/' '!/usr/lib/'
check libzelreport-dev "$lib/libzelreport\.a$" '/usr/include/zelreport/zelreport\.h$' \
    '/usr/include/zelreport/zelreport_c\.h$' '/usr/include/zelreport/version\.h$' \
    "$lib/cmake/zelreport/zelreportConfig\.cmake$" "$lib/cmake/zelreport/zelreportTargets\.cmake$" \
    "$lib/pkgconfig/zelreport\.pc$" "$lib/pkgconfig/zelreport-c\.pc$" \
    '/usr/share/doc/libzelreport-dev/copyright$' '!/usr/bin/' '!/usr/share/man/'
[ "$python" != ON ] || check python3-zelreport '/usr/lib/python3/dist-packages/zelreport/__init__\.py$' \
    '/usr/lib/python3/dist-packages/zelreport/__init__\.pyi$' \
    '/usr/lib/python3/dist-packages/zelreport/_zelreport\.cpython-[^/]*\.so$' \
    '/usr/lib/python3/dist-packages/zelreport-[0-9.]*\.dist-info/entry_points\.txt$' \
    '/usr/lib/python3/dist-packages/zelreport-[0-9.]*\.dist-info/METADATA$' \
    '/usr/share/doc/python3-zelreport/copyright$' '!/usr/bin/' '!/usr/include/' '!__pycache__'
# The package's own files find the xarray engine, unpacked anywhere.
if [ "$python" = ON ] && "$PYTHON" -c 'import xarray' 2>/dev/null; then
    dpkg-deb -x "$(ls "$tmp"/python3-zelreport_*.deb)" "$tmp/root"
    PYTHONPATH=$tmp/root/usr/lib/python3/dist-packages "$PYTHON" -c 'import xarray as xr
print(xr.backends.list_engines())' | grep -q "'zelreport'" || fail "python3-zelreport: no xarray engine"
    echo "python3-zelreport: the xarray engine: ok"
fi
