#!/usr/bin/env bash
# The launcher opens a running client's pipe allowing identification only, so
# the pipe server may learn who calls but never act as the elevated launcher.
# Wine does not enforce the level (a pipe server there impersonates itself),
# so this reads the launcher's own request from Wine's file trace: the flags
# of its CreateFileW on the pipe. The client must still receive the message.
# Runs inside the test command's Wine environment; $1 is the build folder.
set -euo pipefail
build="$1"
tag="qsqos$$"
dir="$WINEPREFIX/drive_c/$tag"
win_dir="C:\\$tag"
trace=$(mktemp)
out=$(mktemp)
tool() { wine "$build/demotool/QuendaDemoTool.exe" "$@" >"$out" 2>&1; }
cleanup() {
  tool kill "$tag.exe" || true
  wine reg delete "HKCU\\SOFTWARE\\$tag" /f >/dev/null 2>&1 || true
  rm -rf "$dir" "$trace" "$out"
}
trap cleanup EXIT

mkdir -p "$dir"
cp "$build/launcher/Quenda.exe" "$dir/"
cp "$build/democlient/DemoClient.exe" "$dir/$tag.exe"
cat >"$dir/ProductConfig.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Product><ProgName>$tag.exe</ProgName><Protocol>$tag</Protocol><Pipe>$tag</Pipe></Product>
XML
tool regset HKCU "SOFTWARE\\$tag\\Language" en-US

# The running client, serving its pipe.
wine "$win_dir\\$tag.exe" >/dev/null 2>&1 &
for _ in $(seq 100); do [ -s "$dir/$tag.exe.starts" ] && break; sleep 0.1; done
sleep 0.5

wine "$build/demotool/QuendaDemoTool.exe" answer Prompt cancel 20 >/dev/null 2>&1 &
answer=$!
rc=0
WINEDEBUG=trace+file wine "$win_dir\\Quenda.exe" "$tag://lesson=4" 2>"$trace" || rc=$?
wait $answer || true
[ "$rc" = 0 ] || { echo "FAIL: launcher exit code $rc"; exit 1; }

# e.g.  CreateFileW L"\\\\.\\Pipe\\qsqos123" GENERIC_READ GENERIC_WRITE  creation 3 attributes 0x110080
line=$(grep -a "CreateFileW L\"[\\\\.]*Pipe[\\\\]*$tag\"" "$trace" | head -n1 || true)
[ -n "$line" ] || { echo "FAIL: no CreateFileW of the pipe in the launcher's trace"; exit 1; }
flags=$(( $(sed -n 's/.*attributes \(0x[0-9a-fA-F]*\).*/\1/p' <<<"$line") ))
sqos_present=$(( flags & 0x100000 ))
level=$(( (flags >> 16) & 3 ))  # 0 anonymous, 1 identification, 2 impersonation, 3 delegation
printf 'pipe opened with flags 0x%x\n' "$flags"
[ "$sqos_present" != 0 ] || { echo "FAIL: no security quality of service given"; exit 1; }
[ "$level" = 1 ] || { echo "FAIL: impersonation level $level, want 1 (identification)"; exit 1; }

for _ in $(seq 100); do [ -s "$dir/$tag.exe.messages" ] && break; sleep 0.1; done
tool records "$win_dir\\$tag.exe.messages" bytes
got=$(tr -d '\r' <"$out")
grep -qF '(9 bytes): lesson=4\x00' <<<"$got" || { echo "FAIL: the client received: $got"; exit 1; }
echo "PASS"
