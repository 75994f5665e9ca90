#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the Windows tests
# under Wine (unit and end to end, against the built exe), then the native
# tests of the pure logic and the bounded fuzzing runs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUENDA_BUILD:-$root/build}"
native="${build}-native"

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

# Native build of the portable pure logic, under sanitizers.
CC=clang CXX=clang++ cmake -S "$root/tests/native" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$native"

. "$root/scripts/wine-env.sh"
wine_up "$build"
trap wine_down EXIT

status=0
ctest --test-dir "$build" --output-on-failure -j1 || status=1
ctest --test-dir "$native" --output-on-failure || status=1
exit $status
