# Sourced by the scripts: a Wine prefix of the build's own, a virtual display
# for message boxes, and one wineserver kept alive for the whole run.
#   wine_up BUILD_DIR   wine_down

wine_up() {
  local build="$1"
  export WINEPREFIX="$(realpath -m "$build")/wineprefix"
  export WINEARCH=win32
  export WINEDEBUG=-all
  # No Mono or Gecko install prompts in a fresh prefix;
  # winemenubuilder would copy every desktop shortcut the tests make into the
  # host home folder as a .desktop file.
  export WINEDLLOVERRIDES="mscoree=d;mshtml=d;winemenubuilder.exe=d"
  if [ -z "${QUENDA_DISPLAY:-}" ]; then
    local fdfile
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
    QUENDA_XVFB_PID=$!
    for _ in $(seq 1 100); do [ -s "$fdfile" ] && break; sleep 0.05; done
    export DISPLAY=":$(head -n 1 "$fdfile")"
    rm -f "$fdfile"
  else
    export DISPLAY="$QUENDA_DISPLAY"
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "[wine] creating prefix $WINEPREFIX"
    wineboot --init >/dev/null 2>&1 || true
    wineserver -w
  fi
  wineserver -p
  wineboot >/dev/null 2>&1 || true
}

wine_down() {
  wineserver -k 2>/dev/null || true
  if [ -n "${QUENDA_XVFB_PID:-}" ]; then
    kill "$QUENDA_XVFB_PID" 2>/dev/null || true
    unset QUENDA_XVFB_PID
  fi
}

# Unix path -> the same file through Wine's Z: drive.
winpath() { printf 'Z:%s' "$(realpath -m "$1" | sed 's|/|\\|g')"; }
