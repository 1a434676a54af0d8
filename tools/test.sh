#!/usr/bin/env bash
# Builds gridtally and every test, then runs the whole suite.
# Usage: bash tools/test.sh [build-dir]    (extra CMake options in CMAKE_ARGS)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

# The grapheme-break conformance test reads the Unicode Character Database;
# the JSON report is checked against its schema with python3-jsonschema.
if [ ! -f /usr/share/unicode/auxiliary/GraphemeBreakTest.txt ] || ! dpkg -s libgtest-dev >/dev/null 2>&1 ||
   ! dpkg -s python3-jsonschema >/dev/null 2>&1; then
  if [ "$(id -u)" = 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq unicode-data libgtest-dev python3-jsonschema cmake g++ </dev/null
  else
    echo "please install: unicode-data libgtest-dev python3-jsonschema cmake g++ (apt-get install ...)" >&2
    exit 1
  fi
fi

# The results page is checked in a real browser and by a conforming HTML5
# parser; without them those tests skip.
if ! command -v chromium >/dev/null || ! /usr/bin/python3 -c 'import html5lib' 2>/dev/null; then
  if [ "$(id -u)" = 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq chromium python3-html5lib </dev/null
  else
    echo "note: chromium or python3-html5lib is missing: the browser and HTML5 checks will skip" >&2
  fi
fi

cmake -S . -B "$build" ${CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2 </dev/null
