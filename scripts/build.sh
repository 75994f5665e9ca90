#!/usr/bin/env bash
# Builds Quenda.exe, the demo client and the tests into $QUENDA_BUILD (build/).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUENDA_BUILD:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build"
