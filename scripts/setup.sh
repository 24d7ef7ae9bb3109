#!/usr/bin/env bash
# One-time machine set-up for building and testing Velmora on Debian 12, as root.
# Installs the apt packages, then cross-builds for mingw-w64 the libraries Debian
# only ships natively (zlib+minizip, libpng, libjpeg-turbo, libsodium, and GoogleTest
# for the Windows unit tests), from pinned versions
# of Debian's own source packages with Debian's patches applied, into a cache
# outside the repo: once for x86-64 ($CACHE/mingw64) and once for x86
# ($CACHE/mingw32, the build that carries a 32-bit skin library). Each library carries a stamp of its recipe and is rebuilt when
# the recipe changes. Safe to run again: a second run with nothing changed takes
# seconds.
set -euo pipefail
shopt -s inherit_errexit  # a failure inside $(...) stops the script too

CACHE=${VELMORA_DEPS:-/var/cache/velmora-deps}

# Exact bookworm source versions (apt-cache showsrc). Changing a pin rebuilds
# that library.
ZLIB_VERSION=1:1.2.13.dfsg-1
PNG_VERSION=1.6.39-2+deb12u5
JPEG_VERSION=1:2.1.5-2
SODIUM_VERSION=1.0.18-1+deb12u1
GTEST_VERSION=1.12.1-0.2

APT_PACKAGES=(
  build-essential cmake ninja-build pkg-config git curl ca-certificates dpkg-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  wine wine64 wine32:i386 xvfb x11-utils imagemagick fonts-wqy-microhei locales
  libgtest-dev googletest zlib1g-dev libminizip-dev libpng-dev libjpeg-dev
  nginx-light libarchive-tools python3 python3-pil time procps
  libsodium-dev minisign autoconf automake libtool osslsigncode openssl
)

die() { echo "setup: $*" >&2; exit 1; }

installed_ok() { dpkg-query -W -f='${Status}\n' "$@" 2>/dev/null | grep -c 'install ok installed' || true; }

# --- apt ---------------------------------------------------------------------
apt_updated=0
apt_update() { [ "$apt_updated" = 1 ] || { apt-get update -qq >&2; apt_updated=1; }; }

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

# The x86 build's tests run under Debian's 32-bit Wine (wine32:i386).
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  apt_updated=0
fi

# Every package must be installed, not only those of an earlier version of this list.
if [ "$(installed_ok "${APT_PACKAGES[@]}")" -ne "${#APT_PACKAGES[@]}" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt_update
  # Our tests start nginx themselves, on their own ports. A newly installed nginx
  # must not come up as a system service on port 80; an nginx the machine already
  # had is left exactly as it is. A policy-rc.d the machine has is left in charge.
  nginx_new=0
  [ "$(installed_ok nginx-common)" = 1 ] || nginx_new=1
  policy=/usr/sbin/policy-rc.d
  if [ "$nginx_new" = 1 ] && [ ! -e "$policy" ]; then
    trap 'grep -qs "^# velmora-setup" "$policy" && rm -f "$policy"' EXIT
    printf '%s\n' '#!/bin/sh' '# velmora-setup: no start of a newly installed nginx, removed after the install' \
      'for a; do case $a in -*) ;; nginx|nginx.service) exit 101 ;; *) exit 0 ;; esac; done' 'exit 0' > "$policy"
    chmod 755 "$policy"
  fi
  apt-get install -y -qq --no-install-recommends "${APT_PACKAGES[@]}" >/dev/null
  if grep -qs '^# velmora-setup' "$policy"; then rm -f "$policy"; fi
  trap - EXIT
  if [ "$nginx_new" = 1 ]; then
    # Nor at the next boot; this only changes start links, it stops nothing.
    systemctl disable nginx.service >/dev/null 2>&1 || true
    update-rc.d nginx disable >/dev/null 2>&1 || true
  fi
fi

# The E2E tests run Velmora with a Chinese locale.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
  sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi

# --- cross-built libraries -------------------------------------------------
JOBS=${JOBS:-2}
declare -A RECIPE_HASH

for_host() { # mingw host, prefix, toolchain packages...: the target of the library lines that follow
  HOST=$1 PREFIX=$2; shift 2
  CC=$HOST-gcc-posix
  CXX=$HOST-g++-posix  # from the same source package as $CC, so its version is in TOOLCHAIN
  AR=$HOST-ar
  RANLIB=$HOST-ranlib
  mkdir -p "$PREFIX/lib" "$PREFIX/include" "$CACHE/src"
  # Part of every recipe: a new compiler, C runtime or build tool rebuilds all.
  TOOLCHAIN="CC=$CC AR=$AR RANLIB=$RANLIB PREFIX=$PREFIX
$($CC --version | head -n 1)
$(dpkg-query -W -f='${Package} ${Version}\n' "$@" cmake ninja-build)"
}

fetch_files() { # package=version -> its .dsc and tarballs in $CACHE/src
  # apt downloads as _apt when it can write there, so into a folder of its own.
  local tmp; tmp=$(mktemp -d "$CACHE/src/.fetch.XXXXXX")
  if id _apt >/dev/null 2>&1; then chown _apt "$tmp"; fi
  (cd "$tmp"; apt-get source -qq --download-only "$1" >/dev/null)
  mv -f "$tmp"/* "$CACHE/src/"
  rm -rf "$tmp"
}

fetch_source() { # package version -> directory of the unpacked, patched source
  local pkg=$1 ver=$2
  local base=${pkg}_${ver#*:}
  local dsc=$CACHE/src/$base.dsc dir=$CACHE/src/$base
  if [ ! -d "$dir" ]; then
    rm -rf "$dir.tmp"
    # A plain dpkg-source -x applies debian/patches/series. Its gpgv complaint
    # (no Debian keyring) is only shown on failure: apt has already checked the
    # files against the signed index, and dpkg-source checks them against the .dsc.
    if ! { [ -f "$dsc" ] && dpkg-source -x "$dsc" "$dir.tmp" >"$CACHE/src/.unpack.log" 2>&1; }; then
      rm -rf "$dir.tmp"
      apt-cache showsrc "$pkg" 2>/dev/null | grep -qx "Version: $ver" || apt_update
      apt-cache showsrc "$pkg" 2>/dev/null | grep -qx "Version: $ver" \
        || die "source $pkg $ver is not offered by apt (needs a deb-src line for bookworm); offered: $(apt-cache showsrc "$pkg" 2>/dev/null | sed -n 's/^Version: //p' | tr '\n' ' ')"
      fetch_files "$pkg=$ver"
      dpkg-source -x "$dsc" "$dir.tmp" >"$CACHE/src/.unpack.log" 2>&1 || { cat "$CACHE/src/.unpack.log" >&2; die "cannot unpack $dsc"; }
    fi
    mv "$dir.tmp" "$dir"
  fi
  [ "$(cat "$dir/debian/source/format")" = "3.0 (quilt)" ] || die "$dir: not a 3.0 (quilt) source"
  if [ -s "$dir/debian/patches/series" ]; then
    local want have
    want=$(sed 's/#.*//' "$dir/debian/patches/series" | awk 'NF { print $1 }')
    have=$(cat "$dir/.pc/applied-patches" 2>/dev/null || true)
    [ "$want" = "$have" ] || die "$dir: Debian's patches are not all applied"
  fi
  echo "$dir"
}

install_staged() { # staged tree -> $PREFIX, each file by rename, so a build linking meanwhile never reads half a file
  local from=$1 f
  (cd "$from" && find . -type d) | while read -r f; do mkdir -p "$PREFIX/$f"; done
  (cd "$from" && find . ! -type d) | while read -r f; do
    cp -P "$from/$f" "$PREFIX/$f.new.$$"
    mv -fT "$PREFIX/$f.new.$$" "$PREFIX/$f"
  done
}

# Plain command sequences, not && lists: under set -e a failing step inside a
# && list would not stop the script.
build_zlib() { # source build-dir
  local s=$2/stage f
  cp -r "$1" "$2/src"
  mkdir -p "$s/lib" "$s/include/minizip"
  cd "$2/src"
  for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees trees uncompr zutil; do
    $CC -O2 -c $f.c -o $f.o
  done
  $AR rcs "$s/lib/libz.a" *.o
  cp zlib.h zconf.h "$s/include/"
  cd contrib/minizip
  for f in ioapi unzip iowin32; do
    $CC -O2 -I"$s/include" -c $f.c -o $f.o
  done
  $AR rcs "$s/lib/libminizip.a" ioapi.o unzip.o iowin32.o
  cp ioapi.h unzip.h iowin32.h "$s/include/minizip/"
  install_staged "$s"
}

build_png() { # source build-dir
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER=$CC \
    -DCMAKE_RC_COMPILER=$HOST-windres -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DCMAKE_FIND_ROOT_PATH="$PREFIX" -DZLIB_LIBRARY="$PREFIX/lib/libz.a" -DZLIB_INCLUDE_DIR="$PREFIX/include" \
    -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_STATIC=ON >/dev/null
  cmake --build "$2" -j "$JOBS" >/dev/null
  DESTDIR="$2/stage" cmake --install "$2" >/dev/null
  install_staged "$2/stage$PREFIX"
}

build_jpeg() { # source build-dir
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=AMD64 \
    -DCMAKE_C_COMPILER=$CC -DCMAKE_RC_COMPILER=$HOST-windres -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
    -DWITH_SIMD=OFF -DCMAKE_INSTALL_LIBDIR="$PREFIX/lib" -Wno-dev >/dev/null
  cmake --build "$2" -j "$JOBS" >/dev/null
  DESTDIR="$2/stage" cmake --install "$2" >/dev/null
  install_staged "$2/stage$PREFIX"
}

build_sodium() { # source build-dir: static; Debian's source has no configure, autoreconf makes it
  cp -r "$1" "$2/src"
  cd "$2/src"
  autoreconf -fi >/dev/null 2>&1
  ./configure --host=$HOST --prefix="$PREFIX" --disable-shared --enable-static --disable-pie \
    --disable-ssp CC=$CC AR=$AR RANLIB=$RANLIB CFLAGS=-O2 >/dev/null
  make -j "$JOBS" >/dev/null
  make install DESTDIR="$2/stage" >/dev/null
  install_staged "$2/stage$PREFIX"
}

build_gtest() { # source build-dir: static GoogleTest without gmock, with its CMake config (GTest::gtest_main)
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER=$CC -DCMAKE_CXX_COMPILER=$CXX \
    -DCMAKE_RC_COMPILER=$HOST-windres -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON -DBUILD_SHARED_LIBS=OFF \
    -Dgtest_disable_pthreads=OFF -Wno-dev >/dev/null
  cmake --build "$2" -j "$JOBS" >/dev/null
  DESTDIR="$2/stage" cmake --install "$2" >/dev/null
  install_staged "$2/stage$PREFIX"
}

library() { # name package version depends-on outputs...: rebuilds when the stamp of its recipe is missing or differs
  local name=$1 pkg=$2 ver=$3 deps=$4; shift 4
  # x86-64 keeps the stamp names it always had.
  local tag=$name; [ "$HOST" = x86_64-w64-mingw32 ] || tag=$name-$HOST
  local hash stamp=$CACHE/$tag.stamp why= d out
  hash=$( { echo "$pkg $ver"; echo "$TOOLCHAIN"; declare -f fetch_files fetch_source install_staged "build_$name"
            for d in $deps; do echo "$d ${RECIPE_HASH[$HOST/$d]}"; done; } | sha256sum | cut -d' ' -f1)
  RECIPE_HASH[$HOST/$name]=$hash
  if [ ! -f "$stamp" ]; then why="no stamp"
  elif [ "$(cat "$stamp")" != "$hash" ]; then why="recipe changed"
  fi
  for out; do [ -n "$why" ] || [ -f "$PREFIX/$out" ] || why="$out missing"; done
  [ -n "$why" ] || return 0
  echo "setup: building $name ($pkg $ver) for $HOST: $why"
  rm -f "$stamp"
  local src b=$CACHE/build-$tag
  src=$(fetch_source "$pkg" "$ver")
  rm -rf "$b"; mkdir -p "$b"
  ( "build_$name" "$src" "$b" )
  rm -rf "$b"
  echo "$hash" > "$stamp"
}

libraries() { # every cross-built library, for the host of for_host
  library zlib zlib "$ZLIB_VERSION" "" lib/libz.a lib/libminizip.a include/zlib.h include/minizip/unzip.h
  library png libpng1.6 "$PNG_VERSION" zlib lib/libpng16.a include/png.h
  library jpeg libjpeg-turbo "$JPEG_VERSION" "" lib/libjpeg.a include/jpeglib.h
  library sodium libsodium "$SODIUM_VERSION" "" lib/libsodium.a include/sodium.h
  library gtest googletest "$GTEST_VERSION" "" lib/libgtest.a lib/libgtest_main.a include/gtest/gtest.h \
    lib/cmake/GTest/GTestConfig.cmake
}

for_host x86_64-w64-mingw32 "$CACHE/mingw64" gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
libraries
for_host i686-w64-mingw32 "$CACHE/mingw32" gcc-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
libraries

echo "setup: ok (cross libraries in $CACHE/mingw64 and $CACHE/mingw32)"
