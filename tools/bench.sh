#!/usr/bin/env bash
# Times gridtally on generated replays and checks the performance budgets
# (docs/performance.md). Every budget is a ratio, or a bound on the biggest
# case, taken in this one run, so the speed of the machine mostly cancels.
# Exits 1 when a budget fails.
# Usage: bash tools/bench.sh [build-dir]    (default build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}

need=()
command -v hyperfine >/dev/null || need+=(hyperfine)
[ -x /usr/bin/time ] || need+=(time)
dpkg -s libgtest-dev >/dev/null 2>&1 || need+=(libgtest-dev)
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" = 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq </dev/null && apt-get install -y -qq "${need[@]}" cmake g++ </dev/null
  else
    echo "please install: ${need[*]} (apt-get install ...)" >&2
    exit 1
  fi
fi

# An optimised build without sanitizers; the replay generator needs the
# test-support library.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGRIDTALLY_SANITIZE=OFF -DGRIDTALLY_TESTS=ON >/dev/null
cmake --build "$build" -j2 --target gridtally mkbench >/dev/null
bin=$(cd "$build" && pwd)/gridtally
inputs=$(cd "$build" && pwd)/bench-inputs
# The archive: distinct league weekends with sparse trailing data.
archive_replays=${ARCHIVE_REPLAYS:-2000}
"$build/mkbench" "$inputs" "$archive_replays"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# paired <name> <rounds> <runs> <command A> <command B>: hyperfine rounds of
# both commands, output to /dev/null. Prints the median of A's round medians
# (wall time), of B's, of the rounds' wall-time ratios B/A, of their
# CPU-time (user + system) ratios, and of A's and B's mean CPU times: as the
# two run side by side in each round,
# a burst of load on the machine does not land on one of them only. The
# order alternates, since whichever runs first tends to be slower.
paired() {
  local name=$1 rounds=$2 runs=$3 a=$4 b=$5
  echo "timing $name ..." >&2
  : >"$tmp/$name.rounds"
  for ((r = 0; r < rounds; r++)); do
    local first=$a second=$b
    if ((r % 2)); then first=$b second=$a; fi
    hyperfine -N --style none --warmup 1 --runs "$runs" --export-csv "$tmp/$name.csv" -- "$first" "$second" \
      >"$tmp/$name.log" 2>&1 || { cat "$tmp/$name.log" >&2; exit 1; }
    awk -F, -v swap=$((r % 2)) 'NR == 2 { x = $4; cx = $5 + $6 } NR == 3 { y = $4; cy = $5 + $6 }
      END { if (swap) { t = x; x = y; y = t; t = cx; cx = cy; cy = t }
            print x, y, y / x, cy / cx, cx, cy }' "$tmp/$name.csv" >>"$tmp/$name.rounds"
  done
  for col in 1 2 3 4 5 6; do
    cut -d ' ' -f "$col" "$tmp/$name.rounds" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
  done | xargs
}

# rss <command...>: the middle peak resident set size (KiB) of three runs.
rss() {
  for _ in 1 2 3; do
    /usr/bin/time -f %M -o "$tmp/rss" "$@" >/dev/null || exit 1
    tail -n 1 "$tmp/rss"
  done | sort -n | sed -n 2p
}

times=$(paired typical 5 60 "$bin --laps $inputs/typical.rpy" "$bin --laps $inputs/trailing.rpy")
read -r t_typical t_trailing r_trailing _ <<<"$times"
m_typical=$(rss "$bin" --laps "$inputs/typical.rpy")
m_trailing=$(rss "$bin" --laps "$inputs/trailing.rpy")

times=$(paired txt 5 5 "$bin --laps $inputs/tenth.rpy" "$bin --laps $inputs/stress.rpy")
read -r t_tenth_txt t_stress_txt w_txt r_txt _ <<<"$times"
kv="$bin --laps --format=semikv"
times=$(paired semikv 5 5 "$kv $inputs/tenth.rpy" "$kv $inputs/stress.rpy")
read -r t_tenth_kv t_stress_kv w_kv r_kv _ <<<"$times"
# JSON with every lap next to semikv, on the stress replay.
times=$(paired json 5 5 "$kv $inputs/stress.rpy" "$bin --laps --format=json $inputs/stress.rpy")
read -r _ t_stress_json w_json r_json _ <<<"$times"
# The results page against the text report, both with every lap.
times=$(paired html 5 5 "$bin --laps $inputs/stress.rpy" "$bin --laps --format=html $inputs/stress.rpy")
read -r _ t_stress_html w_html r_html _ <<<"$times"
# Peak memory writing to the console and to a file; the file gives the size.
m_stress_out=$(rss "$bin" --laps --format=semikv "$inputs/stress.rpy")
m_stress_file=$(rss "$bin" --laps --format=semikv --force -o "$tmp/stress.txt" "$inputs/stress.rpy" 2>/dev/null)
report_bytes=$(stat -c %s "$tmp/stress.txt")
# JSON carries several times semikv's bytes: its budget is CPU per byte.
json_bytes=$("$bin" --laps --format=json "$inputs/stress.rpy" | wc -c)
# A season of 400 rounds of 64 cars, every driver in one round only.
m_crowd=$(rss "$bin" --season "$inputs/crowd/season.ini" --format=csv)
m_crowd_html=$(rss "$bin" --season "$inputs/crowd/season.ini" --format=html)

# The archive mode against a shell loop of single runs (of a tenth of the
# replays, which is long enough), paired in the same rounds; warm cache.
loop_replays=$((archive_replays / 10))
# (head reads the sorted list from a file: from a pipe, sort would die of
# SIGPIPE, failing the script)
find "$inputs/archive" -name '*.rpy' | sort >"$tmp/all.list"
head -n "$loop_replays" "$tmp/all.list" >"$tmp/loop.list"
printf 'while IFS= read -r f; do "%s" --format=json "$f" >/dev/null; done <"%s"\n' "$bin" "$tmp/loop.list" >"$tmp/loop.sh"
load=$(cut -d ' ' -f 1 /proc/loadavg)
times=$(paired archive 3 1 "$bin --archive $inputs/archive" "bash $tmp/loop.sh")
read -r t_archive t_loop _ _ c_archive c_loop <<<"$times"
m_archive=$(rss "$bin" --archive "$inputs/archive")
# Cold: the replays dropped from the page cache, one archive run, then what
# the cache holds of them. Only the records may be read, never the data
# after them.
echo "archive, cold page cache ..." >&2
find "$inputs/archive" -name '*.rpy' -exec dd iflag=nocache count=0 status=none if={} \;
"$bin" --archive "$inputs/archive" >/dev/null
cached=$(find "$inputs/archive" -name '*.rpy' -print0 | xargs -0 fincore --bytes --noheadings --raw -o RES |
  awk '{ s += $1 } END { print s + 0 }')

awk -v tt="$t_typical" -v tr="$t_trailing" -v mt="$m_typical" -v mr="$m_trailing" -v rt="$r_trailing" \
    -v st="$t_stress_txt" -v nt="$t_tenth_txt" -v wx="$w_txt" -v rx="$r_txt" \
    -v sk="$t_stress_kv" -v nk="$t_tenth_kv" -v wk="$w_kv" -v rk="$r_kv" \
    -v sj="$t_stress_json" -v wj="$w_json" -v rj="$r_json" \
    -v jb="$json_bytes" -v mo="$m_stress_out" -v mf="$m_stress_file" -v rb="$report_bytes" \
    -v sh="$t_stress_html" -v wh="$w_html" -v rh="$r_html" \
    -v ta="$t_archive" -v tl="$t_loop" -v na="$archive_replays" -v nl="$loop_replays" -v ma="$m_archive" -v mc="$m_crowd" -v mh="$m_crowd_html" \
    -v ca="$c_archive" -v cl="$c_loop" -v load="$load" -v cached="$cached" '
function run(what, seconds, kib) {
  printf "%-40s %8.1f ms", what, seconds * 1000
  if (kib != "") printf " %8.1f MiB", kib / 1024
  printf "\n"
}
function check(what, value, limit, unit, shown) {
  ok = unit == "x" ? value <= limit : value < limit
  printf "%-40s %8.2f%-2s %3s %-5s %s\n", what, value, unit, unit == "x" ? "<=" : "<", limit unit, ok ? "ok" : "FAILED"
  if (!ok) failed = 1
}
BEGIN {
  printf "%-40s %11s %13s\n", "run (output to /dev/null)", "median", "peak RSS"
  run("typical --laps", tt, mt)
  run("typical + 300 MB trailing --laps", tr, mr)
  run("tenth --laps", nt)
  run("stress --laps", st)
  run("tenth --laps --format=semikv", nk)
  run("stress --laps --format=semikv", sk, mo)
  run("stress --laps --format=json", sj)
  run("stress --laps --format=html", sh)
  printf "%-40s %11s %8.1f MiB\n", "stress --laps --format=semikv -o file", "", mf / 1024
  printf "%-40s %11s %8.1f MiB\n", "  (report size)", "", rb / 1048576
  printf "%-40s %11s %8.1f MiB\n", "season 400 rounds x 64 cars, csv", "", mc / 1024
  printf "%-40s %11s %8.1f MiB\n", "season 400 rounds x 64 cars, html", "", mh / 1024
  printf "%-40s %8.2fx\n", "stress / tenth, wall (txt)", wx
  printf "%-40s %8.2fx\n", "stress / tenth, wall (semikv)", wk
  printf "%-40s %8.2fx\n", "stress json / semikv, wall", wj
  printf "%-40s %8.2fx\n", "stress html / txt, CPU time", rh
  archive = na / ta * 60
  loop = nl / tl * 60
  printf "%-40s %8.0f/min %6.1f MiB\n", "archive of " na " replays", archive, ma / 1024
  printf "%-40s %8.0f/min\n", "shell loop of single runs (" nl ")", loop
  printf "%-40s %8.0f/min\n", "archive, per CPU-minute", na / ca * 60
  printf "%-40s %8.0f/min\n", "shell loop, per CPU-minute", nl / cl * 60
  printf "%-40s %8.1f KiB\n", "archive, cold: page cache per replay", cached / na / 1024
  printf "%-40s %8.2f\n", "load average before the archive runs", load
  print ""
  printf "%-40s %10s %9s %s\n", "budget", "measured", "limit", "result"
  check("trailing / typical, wall", rt, 1.2, "x")
  check("trailing / typical, peak RSS", mr / mt, 1.2, "x")
  check("stress / tenth, CPU time (txt)", rx, 11, "x")
  check("stress / tenth, CPU time (semikv)", rk, 11, "x")
  check("stress semikv, median wall", sk, 1, "s")
  check("stress json / semikv, CPU time per byte", rj * rb / jb, 1, "x")
  check("stress semikv, peak RSS / report size", (mo > mf ? mo : mf) * 1024 / rb, 4, "x")
  check("stress html / txt, wall", wh, 2, "x")
  check("season 400 x 64, csv peak RSS (MiB)", mc / 1024, 150, "")
  check("season 400 x 64, html peak RSS (MiB)", mh / 1024, 150, "")
  check("100,000 replays/min / archive rate", 100000 / archive, 1, "x")
  check("20 x shell loop rate / archive rate", 20 * loop / archive, 1, "x")
  check("cold page cache per replay / 64 KiB", cached / na / 1024 / 64, 1, "x")
  exit failed
}'
