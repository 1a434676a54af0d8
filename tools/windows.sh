#!/usr/bin/env bash
# Cross-builds gridtally.exe for 64-bit Windows and runs the whole test suite
# under Wine. Installs the mingw-w64 compiler and Wine when run as root.
# Usage: bash tools/windows.sh [build-dir]    (extra CMake options in CMAKE_ARGS)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-win}

need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64)
# wine64 runs the 64-bit programs; wine adds the "wine" command for it.
command -v wine >/dev/null || need+=(wine64 wine)
[ -f /usr/src/googletest/googletest/CMakeLists.txt ] || need+=(googletest)
command -v cmake >/dev/null || need+=(cmake)
bash tools/install-packages.sh "${need[@]}"

# Wine needs no display here; its prefix lives in the build directory.
export DISPLAY=
export WINEDEBUG=-all

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DGRIDTALLY_WERROR=ON ${CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2 </dev/null
