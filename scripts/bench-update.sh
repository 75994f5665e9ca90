#!/usr/bin/env bash
# Benchmark of the update extraction (not part of the tests).
#
# Two archives made by Debian's zip:
#   A: one file of 256 MiB of compressible, non-repeating text
#   B: 5,000 files of 4-40 KiB in 50 nested folders
# and, in the same run, for each archive:
#   launcher  the launcher's extraction under Wine: a launcher run with the
#             archive as update.zip beside it, minus a run without it (each
#             in a fresh installation folder);
#   replace   the same once more over the files just installed (an update
#             that replaces every file);
#   staged    fresh, with the archive staged as temp\update.zip (adds the
#             move into the launcher folder);
#   unzip     Debian's native `unzip -o -q` into a fresh folder;
#   floor     under the same Wine, bench_floor.exe: inflating the same data
#             alone, plus writing the same files alone (CreateFileW, WriteFile,
#             SetFileTime, CloseHandle); "refloor" writes them once more over
#             the first ones, the floor for "replace".
# Prints the medians of BENCH_RUNS runs (3) and the ratios.
#
#   QUENDA_BUILD=build-dir bash scripts/bench-update.sh
# BENCH_ARCHIVES="A B" picks the archives; the data is made once and kept in
# BENCH_WORK ($QUENDA_BUILD/bench-update, about 1 GB while it runs).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${QUENDA_BUILD:-$root/build}")"
runs="${BENCH_RUNS:-3}"
work="${BENCH_WORK:-$build/bench-update}"
launcher="$build/launcher/Quenda.exe"
floor="$build/update/bench_floor.exe"
for f in "$launcher" "$floor"; do
  [ -f "$f" ] || { echo "missing $f: build first (scripts/build.sh)" >&2; exit 1; }
done
mkdir -p "$work"

. "$root/scripts/wine-env.sh"

# ---- data (made once, kept in $work) --------------------------------------
if [ ! -f "$work/A.zip" ] || [ ! -f "$work/B.zip" ]; then
  echo "[bench] generating data in $work"
  rm -rf "$work/src-A" "$work/src-B" "$work/A.zip" "$work/B.zip"
  python3 - "$work" <<'PY'
import os, random, sys
work = sys.argv[1]
rng = random.Random(20250101)
letters = "abcdefghijklmnopqrstuvwxyz"
words = ["".join(rng.choice(letters) for _ in range(rng.randint(2, 10))) for _ in range(4096)]
words += [str(n) for n in range(1000)]

def text(size):
    # Lines of words drawn at random: compresses about 3:1, never repeats.
    parts, total = [], 0
    while total < size:
        line = " ".join(rng.choices(words, k=12)) + "\n"
        parts.append(line)
        total += len(line)
    return "".join(parts)[:size].encode()

os.makedirs(f"{work}/src-A")
with open(f"{work}/src-A/big.dat", "wb") as f:
    for _ in range(64):
        f.write(text(4 << 20))

folders = []
for top in range(10):
    folders.append(f"d{top:02d}")
    for sub in range(4):
        folders.append(f"d{top:02d}/s{sub}")
for folder in folders:
    os.makedirs(f"{work}/src-B/{folder}")
for i in range(5000):
    with open(f"{work}/src-B/{folders[i % 50]}/f{i:04d}.txt", "wb") as f:
        f.write(text(rng.randint(4 << 10, 40 << 10)))
PY
  (cd "$work/src-A" && zip -q -r "$work/A.zip" .)
  (cd "$work/src-B" && zip -q -r "$work/B.zip" .)
fi

wine_up "$build"
trap wine_down EXIT

now() { date +%s.%N; }
elapsed() { python3 -c "import sys; print(f'{float(sys.argv[2]) - float(sys.argv[1]):.3f}')" "$1" "$2"; }
median() { python3 -c "import sys, statistics; print(f'{statistics.median(map(float, sys.argv[1:])):.3f}')" "$@"; }

# A fresh installation: the launcher, bench_floor.exe as the client (it exits
# at once without arguments) and a configuration naming it.
make_inst() {
  local dir="$1"
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$launcher" "$dir/Quenda.exe"
  cp "$floor" "$dir/benchclient.exe"
  cat >"$dir/ProductConfig.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<Product>
  <ProgName>benchclient.exe</ProgName>
  <Protocol>benchupd</Protocol>
  <Pipe>BenchUpdPipe</Pipe>
</Product>
XML
}

run_launcher() {  # dir -> seconds
  local dir="$1" t0 t1
  sync
  t0=$(now)
  (cd "$dir" && wine Quenda.exe >/dev/null 2>&1)
  t1=$(now)
  elapsed "$t0" "$t1"
}

declare -A results
for name in ${BENCH_ARCHIVES:-A B}; do
  zipfile="$work/$name.zip"
  base=() with=() over=() staged=() unz=() inflate=() write=() rewrite=() crc=()
  for i in $(seq 1 "$runs"); do
    inst="$work/inst"
    make_inst "$inst"
    base+=("$(run_launcher "$inst")")

    make_inst "$inst"
    cp "$zipfile" "$inst/update.zip"
    with+=("$(run_launcher "$inst")")
    [ ! -e "$inst/update.zip" ] || echo "[bench] warning: update.zip was not consumed" >&2
    # Once more over the files just installed: every file is replaced.
    cp "$zipfile" "$inst/update.zip"
    over+=("$(run_launcher "$inst")")

    make_inst "$inst"
    mkdir -p "$inst/temp"
    cp "$zipfile" "$inst/temp/update.zip"
    staged+=("$(run_launcher "$inst")")
    rm -rf "$inst"

    out="$work/unzip-out"
    rm -rf "$out"
    sync
    t0=$(now)
    unzip -o -q "$zipfile" -d "$out"
    t1=$(now)
    unz+=("$(elapsed "$t0" "$t1")")
    rm -rf "$out"

    out="$work/floor-out"
    rm -rf "$out"
    sync
    line=$(wine "$floor" "$(winpath "$zipfile")" "$(winpath "$out")" | tr -d '\r')
    inflate+=("$(sed -n 's/.*inflate_s=\([0-9.]*\).*/\1/p' <<<"$line")")
    crc+=("$(sed -n 's/.*crc_s=\([0-9.]*\).*/\1/p' <<<"$line")")
    write+=("$(sed -n 's/.* write_s=\([0-9.]*\).*/\1/p' <<<"$line")")
    rewrite+=("$(sed -n 's/.*rewrite_s=\([0-9.]*\).*/\1/p' <<<"$line")")
    rm -rf "$out"
    echo "[bench] $name run $i: base ${base[-1]} with ${with[-1]} over ${over[-1]} staged ${staged[-1]} unzip ${unz[-1]} $line"
  done
  results[$name.base]=$(median "${base[@]}")
  results[$name.with]=$(median "${with[@]}")
  results[$name.over]=$(median "${over[@]}")
  results[$name.staged]=$(median "${staged[@]}")
  results[$name.unzip]=$(median "${unz[@]}")
  results[$name.inflate]=$(median "${inflate[@]}")
  results[$name.crc]=$(median "${crc[@]}")
  results[$name.write]=$(median "${write[@]}")
  results[$name.rewrite]=$(median "${rewrite[@]}")
done

summary=()
for name in ${BENCH_ARCHIVES:-A B}; do
  summary+=("$name" "${results[$name.base]}" "${results[$name.with]}" "${results[$name.over]}" "${results[$name.staged]}"
            "${results[$name.unzip]}" "${results[$name.inflate]}" "${results[$name.crc]}" "${results[$name.write]}"
            "${results[$name.rewrite]}")
done
python3 - "$runs" "${summary[@]}" <<'PY'
import sys
runs = sys.argv[1]
rows = sys.argv[2:]
print(f"\nmedians of {runs} runs, seconds")
print(f"{'':3} {'launcher':>9} {'unzip':>7} {'inflate':>8} {'crc32':>6} {'write':>6} {'floor':>6} {'vs unzip':>9}"
      f" {'vs floor':>9} | {'staged':>7} | {'replace':>8} {'refloor':>8} {'vs refloor':>10}")
for at in range(0, len(rows), 10):
    name = rows[at]
    base, with_, over, staged, unz, inflate, crc, write, rewrite = map(float, rows[at + 1:at + 10])
    extract, replace = with_ - base, over - base
    floor, refloor = inflate + write, inflate + rewrite
    print(f"{name:3} {extract:9.3f} {unz:7.3f} {inflate:8.3f} {crc:6.3f} {write:6.3f} {floor:6.3f}"
          f" {extract / unz:9.2f} {extract / floor:9.2f} | {staged - base:7.3f} | {replace:8.3f} {refloor:8.3f}"
          f" {replace / refloor:10.2f}")
print("launcher: a launcher run with update.zip minus one without, into a fresh folder; floor: inflate + write")
print("under the same Wine (crc32, not in the floor, is what checking the data costs); staged: launcher with")
print("temp\\update.zip instead (adds its move); replace: launcher once more over the files just installed;")
print("refloor: inflate + writing the files once more over the first ones.")
print("Goals: A vs unzip <= 1.0, A vs floor <= 1.1, B vs floor <= 1.3.")
PY
