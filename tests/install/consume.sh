#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs the build tree into a temporary prefix and builds and runs
# consumers against it: a C++ program via find_package and via pkg-config
# (whose flags alone must select C++20), the same program as a shared
# object, and the C program of tests/c_api via pkg-config zelreport-c.
# With PYTHON_PACKAGE=ON, the Python package must be where PYTHON finds
# packages under the prefix, and import from there.
# Usage: consume.sh BUILD_DIR TESTS_DIR SAMPLE CXX CC [EXTRA_FLAGS]
# shellcheck disable=SC2046,SC2086  # the flags are split into words on purpose
set -eu
build=$1 tests=$2 sample=$3 cxx=$4 cc=$5 flags=${6:-}
consumer=$tests/install/consumer

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" || { cat "$tmp/install.log"; fail "install"; }
[ -f "$prefix/share/man/man1/zelreport.1" ] || fail "no man page"
if [ "${PYTHON_PACKAGE:-OFF}" = ON ]; then
    site=$("$PYTHON" -c 'import sys, sysconfig
print(sysconfig.get_path("platlib", "posix_prefix", vars={"base": sys.argv[1], "platbase": sys.argv[1]}))' "$prefix")
    [ -f "$site/zelreport/__init__.py" ] || fail "the Python package is not in $site"
    PYTHONPATH=$site "$PYTHON" -c 'import sys, zelreport; assert zelreport.__file__.startswith(sys.argv[1])
assert zelreport.report(sys.argv[2]) == open(sys.argv[3]).read()' "$site" "$sample" "${sample%.xml}.err" ||
        fail "the installed Python package"
    echo "Python package: ok"
    # The xarray engine through the distribution's entry point, no pip involved.
    if "$PYTHON" -c 'import xarray' 2>/dev/null; then
        PYTHONPATH=$site "$PYTHON" -c 'import xarray as xr; print(xr.backends.list_engines())' | grep -q "'zelreport'" ||
            fail "xr.backends.list_engines() does not list zelreport from $site"
        echo "xarray engine: ok"
    fi
fi
version=$("$prefix/bin/zelreport" --version) || fail "installed binary"
expected="TT 500 -12.5
GZ 850 1402
status 0, report same, version ${version#zelreport }"
# Runs a built consumer on the sample: it must print $expected.
check() {
    got=$("$tmp/$1" <"$sample") || fail "$1 run: $got"
    [ "$got" = "$expected" ] || fail "$1 printed: $got"
    echo "$1: ok"
}

# find_package(zelreport CONFIG) and the zelreport::zelreport target.
cmake -S "$consumer" -B "$tmp/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >"$tmp/configure.log" 2>&1 ||
    { cat "$tmp/configure.log"; fail "consumer configure"; }
cmake --build "$tmp/cmake-build" >"$tmp/build.log" 2>&1 || { cat "$tmp/build.log"; fail "consumer build"; }
check cmake-build/consumer

# pkg-config, looking only at the installed tree.
command -v pkg-config >/dev/null || { echo "pkg-config not installed: skipping the rest"; exit 77; }
pcdir=$(dirname "$(find "$prefix" -name zelreport.pc)")
pkg() { PKG_CONFIG_PATH='' PKG_CONFIG_LIBDIR=$pcdir pkg-config --cflags --libs "$1" || fail "no $1.pc"; }
"$cxx" $flags "$consumer/consumer.cpp" $(pkg zelreport) -o "$tmp/pc-consumer" || fail "pkg-config build"
"$cxx" -shared -fPIC $flags "$consumer/consumer.cpp" $(pkg zelreport) -o "$tmp/consumer.so" ||
    fail "a shared object cannot link libzelreport.a"
"$cc" $flags -Werror "$tests/c_api/consumer.c" $(pkg zelreport-c) -o "$tmp/c-consumer" || fail "C build"
check pc-consumer
"$tmp/c-consumer" "$sample" | diff -u "$tests/c_api/consumer.out" - || fail "C consumer output"
echo "shared object and C consumer: ok"
