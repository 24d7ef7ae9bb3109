#!/usr/bin/env bash
# One-time machine set-up for building and testing Velmora on Debian 12, as root.
# Installs the apt packages, then cross-builds for mingw-w64 the libraries Debian
# only ships natively (zlib+minizip, libpng, libjpeg-turbo), from Debian's own
# source packages, into a cache outside the repo. Safe to run again: a second run
# with everything present takes seconds.
set -euo pipefail

CACHE=${VELMORA_DEPS:-/var/cache/velmora-deps}
PREFIX=$CACHE/mingw64
HOST=x86_64-w64-mingw32

APT_PACKAGES=(
  build-essential cmake ninja-build pkg-config git curl ca-certificates dpkg-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
  wine wine64 xvfb x11-utils imagemagick fonts-wqy-microhei locales
  libgtest-dev googletest zlib1g-dev libminizip-dev libpng-dev libjpeg-dev
  nginx-light libarchive-tools python3 python3-pil time procps
)

# Every package must be installed, not only those of an earlier version of this list.
need_apt=0
installed=$(dpkg-query -W -f='${Status}\n' "${APT_PACKAGES[@]}" 2>/dev/null | grep -c 'install ok installed' || true)
[ "$installed" -eq "${#APT_PACKAGES[@]}" ] || need_apt=1

if [ "$need_apt" = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  # Source packages are needed to cross-build the libraries below.
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    cat > /etc/apt/sources.list.d/velmora-src.sources <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${APT_PACKAGES[@]}" >/dev/null
  # nginx is started by our tests on their own ports, never as a system service.
  systemctl disable --now nginx >/dev/null 2>&1 || true
  pkill -x nginx 2>/dev/null || true
  mkdir -p "$CACHE"
fi

# The E2E tests run Velmora with a Chinese locale.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
  sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi

# --- cross-built libraries -------------------------------------------------
mkdir -p "$PREFIX/lib" "$PREFIX/include" "$CACHE/src"
CC=$HOST-gcc-posix
AR=$HOST-ar
RANLIB=$HOST-ranlib

fetch_source() { # package/suite -> directory of the unpacked source
  local pkg=${1%%/*}
  local dir
  dir=$(find "$CACHE/src" -maxdepth 1 -type d -name "$pkg-*" | head -n 1)
  if [ -z "$dir" ]; then
    (cd "$CACHE/src" && apt-get source -qq --download-only "$1" >/dev/null 2>&1 || apt-get source -qq "$1" >/dev/null)
    (cd "$CACHE/src" && for d in *.dsc; do dpkg-source -x --skip-patches "$d" >/dev/null 2>&1 || true; done)
    dir=$(find "$CACHE/src" -maxdepth 1 -type d -name "$pkg-*" | head -n 1)
  fi
  echo "$dir"
}

if [ ! -f "$PREFIX/lib/libminizip.a" ]; then
  src=$(fetch_source zlib/bookworm)
  b=$CACHE/build-zlib; rm -rf "$b"; cp -r "$src" "$b"
  (cd "$b" && for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees trees uncompr zutil; do
       $CC -O2 -c $f.c -o $f.o; done && $AR rcs libz.a *.o && cp libz.a "$PREFIX/lib/" && cp zlib.h zconf.h "$PREFIX/include/")
  (cd "$b/contrib/minizip" && for f in ioapi unzip iowin32; do $CC -O2 -I"$PREFIX/include" -c $f.c -o $f.o; done \
     && $AR rcs libminizip.a ioapi.o unzip.o iowin32.o && cp libminizip.a "$PREFIX/lib/" \
     && mkdir -p "$PREFIX/include/minizip" && cp ioapi.h unzip.h iowin32.h "$PREFIX/include/minizip/")
  rm -rf "$b"
fi

if [ ! -f "$PREFIX/lib/libpng16.a" ]; then
  src=$(fetch_source libpng1.6/bookworm)
  b=$CACHE/build-png; rm -rf "$b"; mkdir -p "$b"
  cmake -S "$src" -B "$b" -G Ninja -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER=$CC \
    -DCMAKE_RC_COMPILER=$HOST-windres -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DCMAKE_FIND_ROOT_PATH="$PREFIX" -DZLIB_LIBRARY="$PREFIX/lib/libz.a" -DZLIB_INCLUDE_DIR="$PREFIX/include" \
    -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_STATIC=ON >/dev/null
  cmake --build "$b" >/dev/null && cmake --install "$b" >/dev/null
  rm -rf "$b"
fi

if [ ! -f "$PREFIX/lib/libjpeg.a" ]; then
  src=$(fetch_source libjpeg-turbo/bookworm)
  b=$CACHE/build-jpeg; rm -rf "$b"; mkdir -p "$b"
  cmake -S "$src" -B "$b" -G Ninja -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=AMD64 \
    -DCMAKE_C_COMPILER=$CC -DCMAKE_RC_COMPILER=$HOST-windres -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
    -DWITH_SIMD=OFF -DCMAKE_INSTALL_LIBDIR="$PREFIX/lib" >/dev/null
  cmake --build "$b" >/dev/null && cmake --install "$b" >/dev/null
  rm -rf "$b"
fi

echo "setup: ok (cross libraries in $PREFIX)"
