#!/usr/bin/env bash
# Builds the release packages and checks them the way a user meets them:
#  - optimised builds of everything with g++ and with clang, warnings as errors;
#  - "cmake --install" into a staging folder: exactly the files meant for
#    users, and the installed program writes the build tree's report of the
#    installed sample;
#  - the .deb: its listing, a static program, a library that needs only the C
#    library and exports only its C API, installed with dpkg -i,
#    "gridtally --version", "man -w gridtally", then removed again;
#  - the Windows zip: a static, stripped exe, the texts in CR LF, the exe and
#    reports.bat run under Wine on the bundled sample replay and season.
# Installs what it lacks with apt-get when run as root; dpkg -i needs root.
# Usage: bash tools/package.sh [build-dir]   (default build-pkg; also uses
# <build-dir>-clang and <build-dir>-win). The packages end up in <build-dir>.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build-pkg}")

need=()
command -v g++ >/dev/null || need+=(g++)
command -v clang++ >/dev/null || need+=(clang)
command -v cmake >/dev/null || need+=(cmake)
command -v dpkg-shlibdeps >/dev/null || need+=(dpkg-dev)
command -v man >/dev/null || need+=(man-db)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64)
command -v wine >/dev/null || need+=(wine64 wine)
dpkg -s libgtest-dev >/dev/null 2>&1 || need+=(libgtest-dev)
[ -f /usr/share/unicode/auxiliary/GraphemeBreakTest.txt ] || need+=(unicode-data)
bash tools/install-packages.sh "${need[@]}"

fail() {
  echo "package.sh: $*" >&2
  exit 1
}
step() {
  echo "== $* ($SECONDS s) =="
}
# The same bytes, or the difference and a failure.
same() {
  cmp -s "$1" "$2" || { diff "$1" "$2" | head -20 >&2 || true; fail "$3"; }
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

step "g++, Release, warnings as errors: $build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DGRIDTALLY_WERROR=ON >/dev/null
cmake --build "$build" -j2

step "clang, Release, warnings as errors: $build-clang"
cmake -S . -B "$build-clang" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release -DGRIDTALLY_WERROR=ON >/dev/null
cmake --build "$build-clang" -j2

# What the program in the build tree writes of the sample: the reference.
"$build/gridtally" --cst examples/gem67.cst examples/monza67.rpy >"$work/report.txt"
"$build/gridtally" --laps --format=semikv --cst examples/gem67.cst examples/monza67.rpy >"$work/report.skv"

step "cmake --install into a staging folder"
stage=$work/stage
cmake --install "$build" --prefix "$stage" >/dev/null
(cd "$stage" && find . -type f | LC_ALL=C sort) >"$work/installed"
cat >"$work/wanted" <<'EOF'
./bin/gridtally
./include/gridtally.h
./lib/libgridtally.so.0.6.4
./share/bash-completion/completions/gridtally
./share/doc/gridtally/README.md
./share/doc/gridtally/copyright
./share/doc/gridtally/docs/archive.schema.json
./share/doc/gridtally/docs/monza67.html
./share/doc/gridtally/docs/monza67.png
./share/doc/gridtally/docs/performance.md
./share/doc/gridtally/docs/report.schema.json
./share/doc/gridtally/docs/round.schema.json
./share/doc/gridtally/docs/season.schema.json
./share/doc/gridtally/docs/site-index-1280.png
./share/doc/gridtally/docs/site-index-390.png
./share/doc/gridtally/docs/site-round-1280.png
./share/doc/gridtally/docs/site-round-390.png
./share/doc/gridtally/examples/README.md
./share/doc/gridtally/examples/archive/dask_archive.py
./share/doc/gridtally/examples/archive/drivers.sql
./share/doc/gridtally/examples/archive/lap_records.sql
./share/doc/gridtally/examples/archive/lap_times.sql
./share/doc/gridtally/examples/archive/tables.sql
./share/doc/gridtally/examples/gem67.cst
./share/doc/gridtally/examples/library/report.c
./share/doc/gridtally/examples/monza67.rpy
./share/doc/gridtally/examples/season/logo.svg
./share/doc/gridtally/examples/season/rounds/01-kyalami.rpy
./share/doc/gridtally/examples/season/rounds/02-monaco.rpy
./share/doc/gridtally/examples/season/rounds/03-zandvoort.rpy
./share/doc/gridtally/examples/season/rounds/04-spa.rpy
./share/doc/gridtally/examples/season/rounds/05-monza.rpy
./share/doc/gridtally/examples/season/season.ini
./share/man/man1/gridtally.1.gz
EOF
same "$work/wanted" "$work/installed" "the staged files are not the ones meant for users"
samples=$stage/share/doc/gridtally/examples
"$stage/bin/gridtally" --cst "$samples/gem67.cst" "$samples/monza67.rpy" >"$work/staged.txt"
same "$work/report.txt" "$work/staged.txt" "the installed program's report differs from the build tree's"
"$stage/bin/gridtally" --laps --format=semikv --cst "$samples/gem67.cst" "$samples/monza67.rpy" >"$work/staged.skv"
same "$work/report.skv" "$work/staged.skv" "the installed program's semikv report differs from the build tree's"
gzip -dc "$stage/share/man/man1/gridtally.1.gz" | cmp -s - docs/gridtally.1 || fail "the installed manual page is not docs/gridtally.1"

step "cpack: .deb and .tar.gz"
rm -f "$build"/*.deb "$build"/*.tar.gz
(cd "$build" && cpack -G "DEB;TGZ" >/dev/null)
deb=$build/gridtally_0.6.4_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $deb"
dpkg-deb -c "$deb"
dpkg-deb -f "$deb" Package Version Depends Section Description
[ "$(dpkg-deb -f "$deb" Version)" = 0.6.4 ] || fail "the package's version is not 0.6.4"
# The program is one static binary: the package depends on no library.
linkage=$(LC_ALL=C ldd "$build/gridtally" 2>&1 || true)
grep -q 'not a dynamic executable' <<<"$linkage" || fail "gridtally is not static: $linkage"
# The library carries its C++ runtime: only the C library remains.
depends=$(dpkg-deb -f "$deb" Depends)
[[ -z $depends || $depends =~ ^libc6(\ \([^\)]*\))?$ ]] || fail "the package depends on $depends"
linkage=$(LC_ALL=C ldd "$build/src/libgridtally.so")
! grep -q 'libstdc++' <<<"$linkage" || fail "libgridtally.so needs libstdc++: $linkage"
exports=$(nm -D --defined-only "$build/src/libgridtally.so" | awk '{print $3}' | grep -v '^gridtally_' || true)
[ -z "$exports" ] || fail "libgridtally.so exports more than the C API: $exports"
grep -q ' ./usr/share/man/man1/gridtally.1.gz$' <<<"$(dpkg-deb -c "$deb")" || fail "the package lacks the manual page"
grep -q '/bin/gridtally$' <<<"$(tar -tzf "$build/gridtally-0.6.4-Linux-x86_64.tar.gz")" || fail "the .tar.gz lacks bin/gridtally"

step "dpkg -i, run, man -w, dpkg -r"
if [ "$(id -u)" != 0 ]; then
  echo "not root: the .deb is not installed"
elif dpkg -s gridtally >/dev/null 2>&1; then
  echo "a gridtally package is installed already: left alone, the .deb is not installed"
else
  dpkg -i "$deb"
  version=$(cd / && gridtally --version)
  version=${version%%$'\n'*}
  [ "$(command -v gridtally)" = /usr/bin/gridtally ] || fail "gridtally is not /usr/bin/gridtally"
  [ "$version" = "gridtally v0.6.4" ] || fail "gridtally --version says '$version'"
  page=$(man -w gridtally)
  [ "$page" = /usr/share/man/man1/gridtally.1.gz ] || fail "man -w gridtally says '$page'"
  [ -f /usr/share/bash-completion/completions/gridtally ] || fail "the completion is not installed"
  (cd / && gridtally --cst /usr/share/doc/gridtally/examples/gem67.cst \
    /usr/share/doc/gridtally/examples/monza67.rpy) >"$work/deb.txt"
  same "$work/report.txt" "$work/deb.txt" "the packaged program's report differs from the build tree's"
  dpkg -r gridtally
  [ ! -e /usr/bin/gridtally ] || fail "dpkg -r left /usr/bin/gridtally"
  echo "installed, ran gridtally --version ($version) and man -w ($page), removed"
fi

step "Windows zip: mingw-w64, Release, warnings as errors: $build-win"
cmake -S . -B "$build-win" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DGRIDTALLY_WERROR=ON -DGRIDTALLY_TESTS=OFF >/dev/null
cmake --build "$build-win" -j2 --target gridtally
rm -f "$build-win"/*.zip
(cd "$build-win" && cpack -G ZIP >/dev/null)
zip=$build-win/gridtally-0.6.4-win64.zip
[ -f "$zip" ] || fail "no $zip"
unpacked=$work/zip
mkdir "$unpacked"
(cd "$unpacked" && cmake -E tar xf "$zip")
top=$unpacked/gridtally-0.6.4-win64
(cd "$top" && find . -type f | LC_ALL=C sort) >"$work/zipped"
cat >"$work/wanted" <<'EOF'
./LICENSE.txt
./README.txt
./examples/README.txt
./examples/gem67.cst
./examples/monza67.rpy
./examples/season/logo.svg
./examples/season/rounds/01-kyalami.rpy
./examples/season/rounds/02-monaco.rpy
./examples/season/rounds/03-zandvoort.rpy
./examples/season/rounds/04-spa.rpy
./examples/season/rounds/05-monza.rpy
./examples/season/season.ini
./gridtally.exe
./reports.bat
EOF
same "$work/wanted" "$work/zipped" "the zip does not hold the files meant for it"
exe=$top/gridtally.exe
objdump=x86_64-w64-mingw32-objdump
! grep -q '\.debug' <<<"$("$objdump" -h "$exe")" || fail "gridtally.exe is not stripped"
# Only DLLs that every Windows has: no MinGW runtime beside the exe.
dlls=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
echo "gridtally.exe imports: $dlls"
for dll in $dlls; do
  case $dll in
    kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll | shell32.dll | api-ms-win-*) ;;
    *) fail "gridtally.exe needs $dll" ;;
  esac
done
for text in README.txt LICENSE.txt examples/README.txt examples/season/season.ini reports.bat; do
  lines=$(wc -l <"$top/$text")
  crlf=$(grep -c $'\r$' "$top/$text" || true)
  [ "$lines" -gt 0 ] && [ "$lines" = "$crlf" ] || fail "$text: $crlf of $lines lines end in CR LF"
done

step "the unpacked exe and reports.bat under Wine"
export WINEPREFIX=$build-win/wineprefix WINEDEBUG=-all DISPLAY= WINEDLLOVERRIDES='mscoree,mshtml='
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1
(cd "$top" && wine gridtally.exe --cst examples\\gem67.cst examples\\monza67.rpy) >"$work/wine.txt"
tr -d '\r' <"$work/wine.txt" >"$work/wine-lf.txt"
same "$work/report.txt" "$work/wine-lf.txt" "the exe's report (CR LF aside) differs from the Linux build's"
# Replays, a broken one and the sample season dropped on reports.bat as
# it lies in the zip.
bash tests/reports_bat_test.sh "$top/gridtally.exe" "$top/reports.bat" "$top/examples" docs/monza67.html wine

step "packages checked"
ls -l "$build"/*.deb "$build"/*.tar.gz "$zip"
