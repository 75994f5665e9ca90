#!/usr/bin/env bash
# Start-up cost: one launcher run from start to client launch, next to a
# trivial exe under the same warm Wine (the floor). Each is run N times
# (default 20); medians in milliseconds and the ratio are printed.
# The launcher runs on a ready installation with no update staged; the client
# is a GUI exe that ends at once, so its own start-up is not counted twice.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUENDA_BUILD:-$root/build}"
runs="${1:-20}"

bash "$root/scripts/build.sh" >/dev/null
. "$root/scripts/wine-env.sh"
wine_up "$build"
trap wine_down EXIT

inst="$WINEPREFIX/drive_c/quenda-bench"
rm -rf "$inst"; mkdir -p "$inst"
cp "$build/launcher/Quenda.exe" "$inst/"
cp "$build/bench/Trivial.exe" "$inst/"
cp "$build/bench/Trivial.exe" "$inst/benchclient.exe"
cat > "$inst/ProductConfig.xml" <<'XML'
<Product><ProgName>benchclient.exe</ProgName><Protocol>qbench</Protocol><Pipe>QuendaBench</Pipe>
<Args><Item Name="-x"/></Args></Product>
XML

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
time_ms() { # command... -> elapsed ms
  local t0 t1
  t0=$(date +%s%N); "$@" >/dev/null 2>&1 || true; t1=$(date +%s%N)
  echo $(( (t1 - t0) / 1000000 ))
}
# The client must be gone before the next launcher run, or that run would
# find it running and ask whether to restart it. Not timed.
settle() { for _ in $(seq 200); do pgrep -f benchclient.exe >/dev/null || return 0; sleep 0.01; done; }
# Warm both once.
wine "$inst/Trivial.exe" >/dev/null 2>&1 || true
wine "$inst/Quenda.exe" "qbench://warm" >/dev/null 2>&1 || true

trivial=$(for _ in $(seq "$runs"); do time_ms wine "$inst/Trivial.exe"; done | median)
shellstart=$(for _ in $(seq "$runs"); do time_ms wine "$inst/Trivial.exe" 'start:C:\quenda-bench\benchclient.exe'; settle; done | median)
launcher=$(for _ in $(seq "$runs"); do time_ms wine "$inst/Quenda.exe" "qbench://course=7"; settle; done | median)
echo "start-up under Wine, median of $runs runs:"
printf '  trivial exe (floor): %6s ms\n' "$trivial"
printf '  trivial exe that only starts the client through the shell: %6s ms\n' "$shellstart"
printf '  Quenda.exe run:      %6s ms\n' "$launcher"
awk -v l="$launcher" -v t="$trivial" -v s="$shellstart" \
  'BEGIN { printf "  ratio launcher/floor: %.2f   launcher/shell-start floor: %.2f\n", l / t, l / s }'
rm -rf "$inst"
