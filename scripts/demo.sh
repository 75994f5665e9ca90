#!/usr/bin/env bash
# The main job: builds Quenda, lays out a demo installation under Wine
# ("C:\Program Files\Quenda Demo" with ProductConfig.xml, the demo client, an
# icon, a staged update and an old-name desktop shortcut), then opens demo://
# URLs and shows what happened: the client's command line, the launcher's log
# lines, the registered open command, the renamed shortcut, the installed
# update, and the hand-over of a second URL through the client's pipe.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUENDA_BUILD:-$root/build}"

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" >/dev/null
. "$root/scripts/wine-env.sh"
wine_up "$build"
trap 'wine_down; rm -f "$out" "$out.answer"' EXIT

# The tool's output goes through a file, not a pipe: a client that the
# launcher starts inherits Wine's Unix descriptors and would hold a pipe open
# for as long as it runs.
out=$(mktemp)
tool() {
  local rc=0
  wine "$build/demotool/QuendaDemoTool.exe" "$@" >"$out" 2>&1 || rc=$?
  tr -d '\r' <"$out"
  return $rc
}
say() { printf '\n== %s\n' "$*"; }

inst_unix="$WINEPREFIX/drive_c/Program Files/Quenda Demo"
inst_win='C:\Program Files\Quenda Demo'
tool kill DemoClient.exe >/dev/null || true
rm -rf "$inst_unix"
mkdir -p "$inst_unix/temp"
cp "$build/launcher/Quenda.exe" "$inst_unix/"
cp "$build/democlient/DemoClient.exe" "$inst_unix/DemoClient.exe"
cp "$root/launcher/Quenda.ico" "$inst_unix/DemoClient.ico"
cat > "$inst_unix/ProductConfig.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<Product>
  <ProgName>DemoClient.exe</ProgName>
  <Protocol>demo</Protocol>
  <Pipe>QuendaDemo</Pipe>
  <shortcut_cn>演示</shortcut_cn>
  <shortcut_new_cn>演示客户端</shortcut_new_cn>
  <shortcut_en>Quenda Demo</shortcut_en>
  <shortcut_new_en>Quenda Demo Client</shortcut_new_en>
  <Args>
    <Item Name="-from-launcher"/>
  </Args>
</Product>
XML

say "Demo installation in $inst_win"
ls -1 "$inst_unix" | sed 's/^/  /'

# English prompts; the launcher reads HKCU\SOFTWARE\<ProgName base>\Language.
tool regset HKCU 'SOFTWARE\DemoClient\Language' en-US

# A staged update: one new file in a new folder.
stage=$(mktemp -d)
mkdir -p "$stage/docs"
echo "Installed by the update of $(date -u +%F)" > "$stage/docs/whats-new.txt"
(cd "$stage" && zip -q -r "$inst_unix/temp/update.zip" docs)
rm -rf "$stage"
say "Staged update: temp\\update.zip"
unzip -l "$inst_unix/temp/update.zip" | sed 's/^/  /'

# The desktop shortcut under its old English name, pointing at an older
# launcher location (same file name as the launcher).
desktop=$(tool desktop)
tool mklink "$desktop\\Quenda Demo.lnk" 'C:\Old Place\Quenda.exe' '--kept-argument' >/dev/null
say "All-users desktop before: $desktop\\Quenda Demo.lnk"
tool showlink "$desktop\\Quenda Demo.lnk"

say "Opening demo://course=7 (no client running: the start path)"
echo "  \$ \"$inst_win\\Quenda.exe\" \"demo://course=7\"   (as the shell starts it; log lines on stderr:)"
code=0
tool run "\"$inst_win\\Quenda.exe\" \"demo://course=7\"" | sed 's/^/  /' || code=$?
echo "  exit code: $code"
sleep 1

say "The client was started with"
tool records "$inst_win\\DemoClient.exe.starts"

say "Registered open command of the protocol (HKCR\\demo\\shell\\open\\command)"
tool regshow HKCR 'demo\shell\open\command' || true

say "Update installed, archive consumed"
ls -1R "$inst_unix/docs" 2>/dev/null | sed 's/^/  /' || echo "  (no docs folder)"
[ -e "$inst_unix/update.zip" ] && echo "  update.zip still present" || echo "  update.zip removed"
[ -e "$inst_unix/temp/update.zip" ] && echo "  temp\\update.zip still present" || echo "  temp\\update.zip removed"

say "All-users desktop after"
for name in "Quenda Demo" "Quenda Demo Client"; do
  echo "  $name.lnk:"
  tool showlink "$desktop\\$name.lnk" | sed 's/^/  /' || true
done

say "Opening demo://lesson=9 while the client runs: the command registered for demo:// is run"
echo "  (the launcher asks whether to restart the client; the demo answers Cancel, keeping it)"
wine "$build/demotool/QuendaDemoTool.exe" answer Prompt cancel 20 >"$out.answer" 2>&1 &
answer_pid=$!
code=0
tool dispatch 'demo://lesson=9' | sed 's/^/  /' || code=$?
wait $answer_pid || true
tr -d '\r' <"$out.answer"
echo "  exit code: $code"
sleep 1
say "The running client received through its pipe (bytes)"
tool records "$inst_win\\DemoClient.exe.messages" bytes

tool kill DemoClient.exe >/dev/null || true
say "Done"
