#!/usr/bin/env bash
# Builds gridtally and every test with warnings as errors, then runs the whole
# suite.
# Usage: bash tools/test.sh [build-dir]    (extra CMake options in CMAKE_ARGS)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

# The grapheme-break conformance test reads the Unicode Character Database;
# the manual page and completion tests need groff and bash-completion; the
# JSON report is checked against its schema with python3-jsonschema; the
# results page is checked in a real browser and by a conforming HTML5 parser;
# the Python module needs pybind11 and Python's headers; the archive's
# engines are Dask's distributed and DuckDB (npm's package, installed into
# the build directory's test-tools/).
need=()
[ -f /usr/share/unicode/auxiliary/GraphemeBreakTest.txt ] || need+=(unicode-data)
dpkg -s libgtest-dev >/dev/null 2>&1 || need+=(libgtest-dev)
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
bash tools/install-packages.sh "${need[@]}"
# Without these the tests that use them skip, saying why.
optional=()
command -v groff >/dev/null || optional+=(groff-base)
[ -f /usr/share/bash-completion/bash_completion ] || optional+=(bash-completion)
dpkg -s python3-jsonschema >/dev/null 2>&1 || optional+=(python3-jsonschema)
dpkg -s python3-html5lib >/dev/null 2>&1 || optional+=(python3-html5lib)
command -v chromium >/dev/null || optional+=(chromium)
dpkg -s pybind11-dev >/dev/null 2>&1 || optional+=(pybind11-dev)
dpkg -s python3-dev >/dev/null 2>&1 || optional+=(python3-dev)
dpkg -s python3-distributed >/dev/null 2>&1 || optional+=(python3-distributed)
command -v npm >/dev/null || optional+=(npm)
bash tools/install-packages.sh "${optional[@]}" || echo "note: some checks will skip" >&2
duckdb=@duckdb/node-api@1.5.6-r.1
if [ ! -d "$build/test-tools/node_modules/@duckdb/node-api" ] && command -v npm >/dev/null; then
  mkdir -p "$build/test-tools"
  npm install --prefix "$build/test-tools" --no-audit --no-fund --silent "$duckdb" ||
    echo "note: $duckdb not installed: the DuckDB test will skip" >&2
fi

cmake -S . -B "$build" -DGRIDTALLY_WERROR=ON ${CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2 </dev/null
