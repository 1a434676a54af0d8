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

cmake -S . -B "$build" ${CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2 </dev/null
