#!/usr/bin/env bash
# The C API from C: examples/library/report.c, built with the C compiler
# against the header and the shared library, writes the program's bytes
# and its error message. Exits 77 (skipped) without a C compiler.
# Usage: capi_c_test.sh <source dir> <libgridtally.so> <gridtally>
set -euo pipefail
source=$1 library=$2 gridtally=$3
cc=$(command -v cc || command -v gcc || true)
[ -n "$cc" ] || { echo "skipped: no C compiler"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cc" -std=c99 -Wall -Wextra -pedantic -Werror -I"$source/src/capi" "$source/examples/library/report.c" \
  -L"$(dirname "$library")" -lgridtally -Wl,-rpath,"$(dirname "$library")" -o "$work/report"
sample=$source/examples/monza67.rpy
"$work/report" "$sample" >"$work/c.json"
"$gridtally" --format=json --laps "$sample" >"$work/cli.json"
cmp "$work/c.json" "$work/cli.json"
status=0
"$work/report" "$work/missing.rpy" 2>"$work/c.err" || status=$?
"$gridtally" "$work/missing.rpy" 2>"$work/cli.err" || true
[ "$status" = 1 ] && cmp "$work/c.err" "$work/cli.err"
echo "report.c writes the program's report and message"
