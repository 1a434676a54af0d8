#!/usr/bin/env bash
# reports.bat under Wine, as a user meets it: replays dropped on it from
# folders whose names have spaces and parentheses, a broken replay among
# them, a season file (twice: the second drop rebuilds the site), a broken
# season, nothing dropped at all, and the batch file away from gridtally.exe.
# The browser is not opened (GRIDTALLY_NO_OPEN).
# Usage: reports_bat_test.sh GRIDTALLY_EXE REPORTS_BAT EXAMPLES_DIR SAMPLE_PAGE [WINE]
# (EXAMPLES_DIR holds the sample replay, its carset and season/; SAMPLE_PAGE
# is the page of the sample replay.) Exits with 77 when there is no Wine.
set -euo pipefail
exe=$(realpath "$1")
bat=$(realpath "$2")
examples=$(realpath "$3")
page=$(realpath "$4")
wine=${5:-wine}
command -v "$wine" >/dev/null || { echo "SKIP: Wine is not installed; reports.bat was not run"; exit 77; }
wine=$(realpath "$(command -v "$wine")")
export WINEDEBUG=-all DISPLAY= GRIDTALLY_NO_OPEN=1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "reports_bat_test: $*" >&2
  exit 1
}
# Wine shows the host's root as drive Z:.
winpath() {
  local p=Z:$1
  echo "${p//\//\\}"
}
# Runs the batch file as Explorer does with files dropped on it (their full
# paths as arguments) and checks its status; the log is in $work/log.
drop() {
  local want=$1 batch=$2 status=0
  shift 2
  local args=()
  for path in "$@"; do args+=("$(winpath "$path")"); done
  # Explorer wraps its whole command in one more pair of quotes, which
  # Wine's argv cannot pass; "call" keeps cmd from stripping the quotes of a
  # path with parentheses all the same. Under pipefail the status is cmd's.
  (cd "$work" && "$wine" cmd /c call "$(winpath "$batch")" "${args[@]}") </dev/null 2>&1 | tr -d '\r' >"$work/log" ||
    status=$?
  sed 's/^/  | /' "$work/log"
  echo
  [ "$status" = "$want" ] || fail "reports.bat $* ended with status $status, not $want"
}
logs() {
  grep -qF -- "$1" "$work/log" || fail "reports.bat did not say: $1"
}
# The same text, line ends aside.
same() {
  cmp -s <(tr -d '\r' <"$1") <(tr -d '\r' <"$2") || fail "$1 differs from $2"
}

app="$work/gridtally (win64)"
mkdir -p "$app"
cp "$exe" "$app/gridtally.exe"
cp "$bat" "$app/reports.bat"

# What the exe itself writes of the sample, to compare with.
(cd "$examples" && "$wine" "$app/gridtally.exe" --cst gem67.cst monza67.rpy) </dev/null >"$work/monza67.txt"

echo "nothing dropped: how to use it, and the window waits"
drop 0 "$app/reports.bat"
logs "Drop one or more replays (.rpy) on this file"
logs "Drop a season file (.ini) on it"

echo "two replays from two folders: a page and a report beside each, the first page named"
first="$work/My Replays (1967)"
second="$work/second"
mkdir -p "$first/cst" "$second"
cp "$examples/monza67.rpy" "$first/"
cp "$examples/gem67.cst" "$first/cst/"
cp "$examples/monza67.rpy" "$second/race 2.rpy"
cp "$examples/gem67.cst" "$second/"
drop 0 "$app/reports.bat" "$first/monza67.rpy" "$second/race 2.rpy"
for report in "$first/monza67" "$second/race 2"; do
  same "$report.html" "$page"
  same "$report.txt" "$work/monza67.txt"
done
logs "First page: \"$(winpath "$first/monza67.html")\""

echo "a broken replay between good ones: the others are written, the failure counted, the window waits"
echo "no replay" >"$first/broken.rpy"
rm "$second/race 2.html"
drop 1 "$app/reports.bat" "$first/broken.rpy" "$second/race 2.rpy"
[ ! -e "$first/broken.html" ] || fail "a page was written for the broken replay"
same "$second/race 2.html" "$page"
logs "\"$(winpath "$first/broken.rpy")\": gridtally ended with status"
logs "1 of the dropped files failed"
logs "First page: \"$(winpath "$second/race 2.html")\""

echo "the batch file away from gridtally.exe: it says so, the window waits"
mkdir "$work/alone"
cp "$bat" "$work/alone/reports.bat"
drop 1 "$work/alone/reports.bat" "$first/monza67.rpy"
logs "gridtally.exe is not in the folder of reports.bat"

if ! "$wine" "$app/gridtally.exe" --help </dev/null 2>&1 | grep -q -- --site; then
  echo "SKIP: gridtally.exe has no --site yet; the season part of reports.bat was not run"
  exit 0
fi

echo "a season file: its site beside it, twice"
league="$work/League 1967"
mkdir -p "$league"
cp -r "$examples/season" "$league/"
cp "$examples/gem67.cst" "$league/"
for _ in 1 2; do
  drop 0 "$app/reports.bat" "$league/season/season.ini"
  [ -f "$league/season/season-site/index.html" ] || fail "no season-site/index.html"
  logs "First page: \"$(winpath "$league/season/season-site/index.html")\""
done

echo "a season whose replay is missing: the failure shown, the window waits"
rm "$league/season/rounds/05-monza.rpy"
drop 1 "$app/reports.bat" "$league/season/season.ini"
logs "1 of the dropped files failed"
