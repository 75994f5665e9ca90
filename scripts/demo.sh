#!/usr/bin/env bash
# The main job: builds Quenda and its demo setup, installs the demo product
# silently under Wine ("C:\Program Files\Quenda Demo"), stages an update, and
# opens demo:// URLs through the shell as a browser would. Shows what
# happened: the client's command line, the protocol the setup declared and the
# launcher keeps, the installed update, the renamed desktop shortcut, the
# hand-over of a second URL through the client's pipe; then uninstalls
# silently and shows that nothing is left.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUENDA_BUILD:-$root/build}"

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" >/dev/null
. "$root/scripts/wine-env.sh"
wine_up "$build"
trap 'wine_down; rm -f "$out" "$out.answer"' EXIT

# Wine programs' output goes through a file, not a pipe: a client that the
# launcher starts inherits Wine's Unix descriptors and would hold a pipe open
# for as long as it runs.
out=$(mktemp)
win() {
  local rc=0
  wine "$@" >"$out" 2>&1 || rc=$?
  tr -d '\r' <"$out"
  return $rc
}
tool() { win "$build/demotool/QuendaDemoTool.exe" "$@"; }
# reg.exe's listing, indented, without its blank lines.
reg_query() {
  if wine reg query "$@" >"$out" 2>&1; then tr -d '\r' <"$out" | sed '/^$/d; s/^/  /'; else echo "  $1: no such key"; fi
}
say() { printf '\n== %s\n' "$*"; }
# Waits up to 20 s for a test on the Unix side to hold.
wait_for() { for _ in $(seq 200); do eval "$1" && return 0; sleep 0.1; done; echo "  (gave up waiting: $1)"; }

setup_exe="$build/installer/QuendaDemoSetup.exe"
inst_unix="$WINEPREFIX/drive_c/Program Files/Quenda Demo"
inst_win='C:\Program Files\Quenda Demo'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QuendaDemo'
desktop_unix="$WINEPREFIX/drive_c/users/Public/Desktop"
shortcuts=("Quenda Demo.lnk" "Quenda Demo Client.lnk" "演示.lnk" "演示客户端.lnk")

# A clean start: an earlier run's client, installation (its uninstaller when
# there is one, else by hand), language choice and shortcuts.
tool kill DemoClient.exe >/dev/null || true
if [ -f "$inst_unix/Uninstall.exe" ]; then
  win "$inst_unix/Uninstall.exe" /S >/dev/null || true
  wait_for '[ ! -e "$inst_unix" ]'
fi
rm -rf "$inst_unix"
for s in "${shortcuts[@]}"; do rm -f "$desktop_unix/$s"; done
win reg delete 'HKCU\SOFTWARE\DemoClient' /f >/dev/null 2>&1 || true

say "Silent install: QuendaDemoSetup.exe /S"
code=0
win "$setup_exe" /S || code=$?
echo "  exit code: $code; installed in $inst_win:"
ls -1 "$inst_unix" | sed 's/^/    /'
say "Declared by the setup"
reg_query 'HKCR\demo' /s
reg_query 'HKCU\SOFTWARE\DemoClient\Language'
reg_query "$uninstall_key"
desktop=$(tool desktop)
echo "  all-users desktop ($desktop): $(ls "$desktop_unix" | tr '\n' ' ')"
tool showlink "$desktop\\Quenda Demo.lnk" | sed -n 1p

# A staged update: one new file in a new folder.
stage=$(mktemp -d)
mkdir -p "$stage/docs" "$inst_unix/temp"
echo "Installed by the update of $(date -u +%F)" > "$stage/docs/whats-new.txt"
(cd "$stage" && zip -q -r "$inst_unix/temp/update.zip" docs)
rm -rf "$stage"
say "Staged update: temp\\update.zip ($(unzip -Z1 "$inst_unix/temp/update.zip" | tr '\n' ' '))"

say "Opening demo://course=7 through the shell (ShellExecuteW, as a browser does); no client running"
tool open 'demo://course=7' | sed 's/^/  /' || true
wait_for '[ -s "$inst_unix/DemoClient.exe.starts" ]'
echo "  the client was started with:"
tool records "$inst_win\\DemoClient.exe.starts"
echo "  open command, as the launcher re-registered it:"
tool regshow HKCR 'demo\shell\open\command' || true
echo "  update installed: $(cd "$inst_unix" && find docs -type f 2>/dev/null | tr '\n' ' ')"
[ -e "$inst_unix/update.zip" ] || [ -e "$inst_unix/temp/update.zip" ] && echo "  update archive still present" \
  || echo "  update archive consumed"
echo "  all-users desktop: $(ls "$desktop_unix" | tr '\n' ' ')"
tool showlink "$desktop\\Quenda Demo Client.lnk" | sed -n '1p;3p;5p' || true

say "Opening demo://lesson=9 through the shell while the client runs"
echo "  (the launcher asks whether to restart the client; the demo answers Cancel, keeping it)"
wine "$build/demotool/QuendaDemoTool.exe" answer Prompt cancel 20 >"$out.answer" 2>&1 &
answer_pid=$!
tool open 'demo://lesson=9' | sed 's/^/  /' || true
wait $answer_pid || true
tr -d '\r' <"$out.answer"
wait_for '[ -s "$inst_unix/DemoClient.exe.messages" ]'
echo "  the running client received through its pipe (bytes):"
tool records "$inst_win\\DemoClient.exe.messages" bytes
echo "  its starts are still: $(tool records "$inst_win\\DemoClient.exe.starts" | wc -l) record"

say "Silent uninstall: Uninstall.exe /S (it hands over to a copy of itself in the temp folder)"
tool kill DemoClient.exe >/dev/null || true
echo "  the folder holds by now: $(cd "$inst_unix" && find . -mindepth 1 | sed 's|^\./||' | sort | tr '\n' ' ')"
code=0
win "$inst_unix/Uninstall.exe" /S || code=$?
wait_for '[ ! -e "$inst_unix" ]'
echo "  exit code: $code"
[ -e "$inst_unix" ] && echo "  $inst_win still present" || echo "  $inst_win removed"
reg_query 'HKCR\demo'
reg_query "$uninstall_key"
reg_query 'HKCU\SOFTWARE\DemoClient'
echo "  all-users desktop: [$(ls "$desktop_unix" | tr '\n' ' ')]"
say "Done"
