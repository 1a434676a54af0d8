#!/usr/bin/env bash
# Checks the manual page or the bash completion against the options that
# "gridtally --help" lists.
# Usage: man_and_completion_test.sh man|completion GRIDTALLY PAGE COMPLETION
# Exits with 77 (skipped) when groff or bash-completion is missing.
set -euo pipefail
mode=$1
gridtally=$(realpath "$2") page=$(realpath "$3") completion=$(realpath "$4")

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
skip() {
  echo "SKIPPED: $*"
  exit 77
}

# The option words of the usage text, one a line; "--convert=<yes|no>" gives
# "--convert=yes" and "--convert=no".
helpOptions() {
  local option choice re='^([^<]*)<([^>]*)>$'
  "$gridtally" --help | sed -n 's/^  \(-[^ ]*\).*/\1/p' | while read -r option; do
    if [[ $option =~ $re ]]; then
      local prefix=${BASH_REMATCH[1]}
      IFS='|' read -ra choices <<<"${BASH_REMATCH[2]}"
      for choice in "${choices[@]}"; do echo "$prefix$choice"; done
    else
      echo "$option"
    fi
  done
}
mapfile -t options < <(helpOptions)
[ "${#options[@]}" -ge 10 ] || fail "only ${#options[@]} options found in the usage text: ${options[*]}"

checkPage() {
  command -v groff >/dev/null || skip "groff is missing (apt-get install groff-base)"
  local warnings
  warnings=$(groff -man -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "groff -man -ww warns: $warnings"

  # Plain ASCII, no bold or underline, lines long enough not to break options.
  local text
  text=$(groff -man -Tascii -P -cbou -rLL=300n "$page" 2>/dev/null)
  # Each option heads an entry of OPTIONS (alone, with its argument, or
  # after a comma).
  local option section entries
  entries=$(sed -n '/^OPTIONS$/,/^[A-Z]/p' <<<"$text" | grep -E '^ {7}[^ ]')
  for option in "${options[@]}"; do
    grep -qE -- "^ {7}([^ ].*, )?$option([ ,]|$)" <<<"$entries" || fail "OPTIONS lacks an entry for $option"
  done
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES ENVIRONMENT EXAMPLES "SEE ALSO"; do
    grep -qx "$section" <<<"$text" || fail "the page lacks the section $section"
  done
}

# What completing the last word of a command line offers, sorted, one a line.
# The line is split into words as bash does, "=" being a word of its own.
offered() {
  local line=$1 word
  local -a words=()
  read -ra words <<<"$line"
  [[ $line == *" " ]] && words+=("")
  COMP_WORDS=()
  for word in "${words[@]}"; do
    if [[ $word == *=* ]]; then
      COMP_WORDS+=("${word%%=*}" "=")
      [ -n "${word#*=}" ] && COMP_WORDS+=("${word#*=}")
    else
      COMP_WORDS+=("$word")
    fi
  done
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMPREPLY=()
  _gridtally gridtally "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort
}

checkCompletion() {
  local framework=/usr/share/bash-completion/bash_completion
  [ -f "$framework" ] || skip "bash-completion is missing (apt-get install bash-completion)"
  bash -n "$completion" || fail "bash -n $completion"

  local dir
  dir=$(mktemp -d)
  trap 'rm -rf "$dir"' EXIT
  cd "$dir"
  touch monza.rpy SPA.RPY gem67.cst notes.txt
  mkdir cst
  # The framework's functions read unset variables and return non-zero.
  set +eu
  # shellcheck source=/dev/null
  source "$framework"
  # shellcheck source=/dev/null
  source "$completion"

  local expected got
  expected=$(printf '%s\n' "${options[@]}" | LC_ALL=C sort)
  got=$(offered "gridtally -")
  [ "$got" = "$expected" ] || fail "completing '-' offers:"$'\n'"$got"$'\n'"the usage text lists:"$'\n'"$expected"

  # command line | words offered (all of them, sorted)
  local cases=(
    "gridtally --f|--files-from --force --format=csv --format=html --format=json --format=semikv --format=txt"
    "gridtally --format=|csv html json semikv txt"
    "gridtally --format=s|semikv"
    "gridtally --se|--season"
    "gridtally --convert=|no yes"
    "gridtally --cst |cst gem67.cst"
    "gridtally --cst-auto |SPA.RPY cst monza.rpy"
    "gridtally --cst gem67.cst |SPA.RPY cst monza.rpy"
    "gridtally -o |SPA.RPY cst gem67.cst monza.rpy notes.txt"
    "gridtally --laps -o n|notes.txt"
    "gridtally --archive --files-from n|notes.txt"
    "gridtally --archive -j |"
  )
  local entry line
  for entry in "${cases[@]}"; do
    line=${entry%%|*}
    expected=$(tr ' ' '\n' <<<"${entry#*|}" | sed '/^$/d' | LC_ALL=C sort)
    got=$(offered "$line")
    [ "$got" = "$expected" ] || fail "completing '$line' offers [${got//$'\n'/ }], wanted [${expected//$'\n'/ }]"
  done
}

case $mode in
  man) checkPage ;;
  completion) checkCompletion ;;
  *) echo "unknown mode: $mode" >&2; exit 2 ;;
esac
[ "$failures" -eq 0 ] || exit 1
echo "ok: $mode"
