#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehavior-
# Sanitizer), makes their seed corpora with the test builders and runs each
# target for a bounded time. Fails when any target finds a crash, a leak, a
# timeout or an oversized allocation; the input is kept under
# <build>/fuzzing/artifacts.
#
# Usage: bash tools/fuzz.sh [seconds-per-target]     (default 60)
#   FUZZ_JOBS=n        processes per target, sharing its corpus (default 1)
#   FUZZ_TARGETS="..." the targets to run (default "pipeline ini carset season")
#   FUZZ_BUILD=dir     build directory (default build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
jobs=${FUZZ_JOBS:-1}
build=${FUZZ_BUILD:-build-fuzz}

if ! command -v clang++ >/dev/null || ! dpkg -s libclang-rt-14-dev >/dev/null 2>&1; then
  if [ "$(id -u)" = 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq clang libclang-rt-14-dev cmake </dev/null
  else
    echo "please install: clang libclang-rt-14-dev cmake (apt-get install ...)" >&2
    exit 1
  fi
fi

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DGRIDTALLY_WERROR=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGRIDTALLY_FUZZ=ON -DGRIDTALLY_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target mkcorpus pipeline_fuzzer ini_fuzzer carset_fuzzer season_fuzzer

work=$(cd "$build" && pwd)/fuzzing
rm -rf "$work/seeds" "$work/logs"
mkdir -p "$work/logs" "$work/artifacts"
"$build/fuzz/mkcorpus" "$work/seeds"

# A single allocation above 256 MB is a finding at these input sizes.
declare -A maxlen=([pipeline]=16384 [ini]=4096 [carset]=8192 [season]=4096)
failed=0
total=0
for name in ${FUZZ_TARGETS:-pipeline ini carset season}; do
  if [ -z "${maxlen[$name]:-}" ]; then
    echo "unknown fuzz target: $name" >&2
    exit 2
  fi
  corpus=$work/corpus/$name
  mkdir -p "$corpus"
  pids=()
  for ((j = 0; j < jobs; ++j)); do
    "$build/fuzz/${name}_fuzzer" -max_total_time="$seconds" -max_len="${maxlen[$name]}" -timeout=10 \
      -rss_limit_mb=2048 -malloc_limit_mb=256 -print_final_stats=1 \
      -artifact_prefix="$work/artifacts/$name-" "$corpus" "$work/seeds/$name" \
      >"$work/logs/$name-$j.log" 2>&1 </dev/null &
    pids+=($!)
  done
  status=0
  for pid in "${pids[@]}"; do wait "$pid" || status=1; done
  execs=0
  for ((j = 0; j < jobs; ++j)); do
    n=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/logs/$name-$j.log" | tail -n 1)
    execs=$((execs + ${n:-0}))
  done
  total=$((total + execs))
  if [ "$status" -ne 0 ]; then
    failed=1
    echo "== $name: FAILED after $execs executions; log: $work/logs/$name-*.log ==" >&2
    for ((j = 0; j < jobs; ++j)); do grep -A40 -m1 -E "^==[0-9]+==|ERROR: libFuzzer|runtime error" "$work/logs/$name-$j.log" >&2 || true; done
  else
    echo "$name: $execs executions in ${seconds}s x $jobs, no findings"
  fi
done
echo "total: $total executions"
exit "$failed"
