#!/usr/bin/env bash
# Builds gridtally and every test with warnings as errors, then runs the whole
# suite.
# Usage: bash tools/test.sh [build-dir]    (extra CMake options in CMAKE_ARGS)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

# The grapheme-break conformance test reads the Unicode Character Database;
# the manual page and completion tests need groff and bash-completion.
need=()
[ -f /usr/share/unicode/auxiliary/GraphemeBreakTest.txt ] || need+=(unicode-data)
dpkg -s libgtest-dev >/dev/null 2>&1 || need+=(libgtest-dev)
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
command -v groff >/dev/null || need+=(groff-base)
[ -f /usr/share/bash-completion/bash_completion ] || need+=(bash-completion)
bash tools/install-packages.sh "${need[@]}"

cmake -S . -B "$build" -DGRIDTALLY_WERROR=ON ${CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2 </dev/null
