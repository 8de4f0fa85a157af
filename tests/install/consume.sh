#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs the build tree into a temporary prefix, checks what was
# installed, and builds and runs a consumer program against it, once via
# find_package and once via pkg-config.
# Usage: consume.sh BUILD_DIR CONSUMER_DIR SAMPLE CXX [EXTRA_FLAGS]
set -eu
build=$1 consumer=$2 sample=$3 cxx=$4 flags=${5:-}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" || { cat "$tmp/install.log"; fail "install"; }

# Everything a user of the package needs is in place.
for path in bin/zelreport include/zelreport/zelreport.h include/zelreport/version.h share/man/man1/zelreport.1; do
    [ -f "$prefix/$path" ] || fail "missing $path"
done
lib=$(find "$prefix" -name libzelreport.a)
config=$(find "$prefix" -name zelreportConfig.cmake)
pc=$(find "$prefix" -name zelreport.pc)
[ -n "$lib" ] && [ -n "$config" ] && [ -n "$pc" ] || fail "library, CMake package or pkg-config file missing"

version=$("$prefix/bin/zelreport" --version) || fail "installed binary"
expected="TT 500 -12.5
GZ 850 1402
status 0, report same, version ${version#zelreport }"

# find_package(zelreport CONFIG) and the zelreport::zelreport target.
cmake -S "$consumer" -B "$tmp/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >"$tmp/configure.log" 2>&1 ||
    { cat "$tmp/configure.log"; fail "consumer configure"; }
cmake --build "$tmp/cmake-build" >"$tmp/build.log" 2>&1 || { cat "$tmp/build.log"; fail "consumer build"; }
got=$("$tmp/cmake-build/consumer" <"$sample") || fail "CMake consumer run: $got"
[ "$got" = "$expected" ] || fail "CMake consumer printed:
$got
expected:
$expected"
echo "find_package consumer: ok"

# pkg-config, looking only at the installed tree.
if ! command -v pkg-config >/dev/null; then
    echo "pkg-config not installed: skipping the pkg-config half"
    exit 77
fi
pcflags=$(PKG_CONFIG_PATH= PKG_CONFIG_LIBDIR=$(dirname "$pc") pkg-config --cflags --libs zelreport) ||
    fail "pkg-config does not know zelreport"
# shellcheck disable=SC2086  # word splitting of the flags is wanted
"$cxx" -std=c++20 $flags "$consumer/consumer.cpp" $pcflags -o "$tmp/pc-consumer" || fail "pkg-config build ($pcflags)"
got=$("$tmp/pc-consumer" <"$sample") || fail "pkg-config consumer run: $got"
[ "$got" = "$expected" ] || fail "pkg-config consumer printed:
$got"
echo "pkg-config consumer: ok"
