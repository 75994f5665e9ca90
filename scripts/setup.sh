#!/usr/bin/env bash
# Installs everything Quenda needs on a bare Debian 12 machine: the i686
# mingw toolchain, Wine with 32-bit support, Xvfb, NSIS, and the libraries
# (tinyxml2, zlib, minizip) built for mingw from Debian's own source packages.
# Safe to run again: every step checks whether its work is already done.
set -euo pipefail

DEPS="${QUENDA_DEPS:-/opt/quenda-deps}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

log() { printf '[setup] %s\n' "$*"; }

packages=(
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
  cmake make ninja-build pkg-config dpkg-dev
  wine wine32:i386 xvfb xauth x11-utils
  googletest libboost-dev libz-mingw-w64-dev
  clang libclang-rt-14-dev
  zip unzip nsis python3
)

need_install=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  log "enabling the i386 architecture"
  $SUDO dpkg --add-architecture i386
  need_install=1
fi

# Source entries, for apt-get source of tinyxml2 and zlib.
srcfile=/etc/apt/sources.list.d/quenda-src.sources
if ! grep -rqs 'deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/ ; then
  log "adding deb-src entries"
  $SUDO tee "$srcfile" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_install=1
fi

for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    need_install=1
    break
  fi
done

if [ "$need_install" -eq 1 ]; then
  log "installing packages"
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
fi

# Libraries without a mingw build in Debian: built from Debian's source packages.
fetch_source() { # name -> prints the unpacked source dir
  local name="$1" work="$2"
  mkdir -p "$work"
  local dir
  dir=$(find "$work" -maxdepth 1 -mindepth 1 -type d -name "${name}-*" | head -n 1)
  if [ -z "$dir" ]; then
    ( cd "$work" && apt-get source -qq "$name" >/dev/null 2>&1 ) || {
      # A version listed by the security suite may not be served: fall back to
      # the version of the main suite.
      local ver
      ver=$(apt-cache showsrc "$name" | awk '/^Version:/{print $2}' | sort -V | head -n 1)
      ( cd "$work" && apt-get source -qq "${name}=${ver}" >/dev/null )
    }
    dir=$(find "$work" -maxdepth 1 -mindepth 1 -type d -name "${name}-*" | head -n 1)
  fi
  printf '%s' "$dir"
}

CC=i686-w64-mingw32-gcc-posix
CXX=i686-w64-mingw32-g++-posix
AR=i686-w64-mingw32-ar

if [ ! -f "$DEPS/.stamp-v1" ]; then
  log "building tinyxml2 and minizip for mingw into $DEPS"
  $SUDO mkdir -p "$DEPS/src" "$DEPS/include" "$DEPS/lib"
  src=$(fetch_source tinyxml2 "$DEPS/src")
  $CXX -O2 -std=c++17 -c "$src/tinyxml2.cpp" -o "$DEPS/src/tinyxml2.o"
  $AR rcs "$DEPS/lib/libtinyxml2.a" "$DEPS/src/tinyxml2.o"
  cp "$src/tinyxml2.h" "$DEPS/include/"

  src=$(fetch_source zlib "$DEPS/src")
  mz="$src/contrib/minizip"
  mkdir -p "$DEPS/include/minizip"
  for f in unzip ioapi; do
    $CC -O2 -DNOCRYPT_DISABLED -DIOAPI_NO_64 -I/usr/i686-w64-mingw32/include -c "$mz/$f.c" -o "$DEPS/src/mz_$f.o"
  done
  $AR rcs "$DEPS/lib/libminizip.a" "$DEPS/src/mz_unzip.o" "$DEPS/src/mz_ioapi.o"
  cp "$mz/unzip.h" "$mz/ioapi.h" "$mz/crypt.h" "$DEPS/include/minizip/"

  # Boost is header-only for what we use; expose only Boost, never the whole
  # of /usr/include, to the cross compiler.
  ln -sfn /usr/include/boost "$DEPS/include/boost"
  touch "$DEPS/.stamp-v1"
fi
log "ready ($DEPS)"
