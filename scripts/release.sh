#!/usr/bin/env bash
# Makes what a player downloads, from a clean build of the `windows` preset:
# dist/Velmora-<version>/ (velmora.exe, the guide 使用说明.txt, THIRD-PARTY-NOTICES.txt,
# SHA256SUMS, and with a secret key velmora.exe.minisig) and dist/Velmora-<version>.zip.
# The same commit and version give the same bytes, so anyone can rebuild and compare.
#
#   scripts/release.sh VERSION [SECRET_KEY]
#
# Environment (all optional): VELMORA_UPDATE_PUBLIC_KEY the maker's minisign public
# key line, built into velmora.exe and checked against the signature;
# VELMORA_SKIN_LIBRARY + VELMORA_SKIN_FILE a 32-bit skin library and its skin file,
# carried by an extra velmora-x86.exe (preset windows-x86); VELMORA_RELEASE_DIST
# the output folder (default dist/); VELMORA_RELEASE_URL the address of the site
# folder the files are uploaded to, for the announcement lines printed at the end;
# VELMORA_RELEASE_ALLOW_DIRTY=1 builds a tree with uncommitted changes (tests only).
#
# Authenticode (Windows' own signature, shown by SmartScreen and the file's
# properties), with osslsigncode, when a certificate and its key are given:
# VELMORA_SIGN_PKCS12 a .p12/.pfx file, or VELMORA_SIGN_CERT + VELMORA_SIGN_KEY
# PEM files (the certificate file may hold the chain after it); optional
# VELMORA_SIGN_PASSWORD_FILE the key's password, VELMORA_SIGN_TIMESTAMP an RFC 3161
# timestamp server. Without a timestamp the signing time is the commit's time, so
# the same certificate signs the same exe into the same bytes; a timestamp makes
# the signature outlive the certificate but differs at every release.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
ROOT=$PWD
JOBS=${JOBS:-2}

die() { echo "release: $*" >&2; exit 1; }

[ $# -ge 1 ] && [ $# -le 2 ] || die "usage: scripts/release.sh VERSION [SECRET_KEY]"
VERSION=$1
KEY=${2:-}
# The exe, the announcement page and the package must name one version.
project=$(sed -n 's/^project(Velmora VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$project" ] || die "no project(Velmora VERSION x.y.z) in CMakeLists.txt"
[ "$VERSION" = "$project" ] || die "version $VERSION is not the project version $project of CMakeLists.txt; change project(... VERSION ...) and commit first"
[ -z "$KEY" ] || [ -f "$KEY" ] || die "no secret key file $KEY"
skin=${VELMORA_SKIN_LIBRARY:-}${VELMORA_SKIN_FILE:-}
if [ -n "$skin" ]; then
  [ -f "${VELMORA_SKIN_LIBRARY:-}" ] && [ -f "${VELMORA_SKIN_FILE:-}" ] \
    || die "VELMORA_SKIN_LIBRARY and VELMORA_SKIN_FILE name two files, given together or not at all"
  cmake --list-presets 2>/dev/null | grep -q '"windows-x86"' \
    || die "a skin library is carried by the x86 build (preset windows-x86), which this tree has not"
fi

# The Authenticode certificate: a PKCS#12 file, or a PEM certificate and key.
sign_p12=${VELMORA_SIGN_PKCS12:-} sign_cert=${VELMORA_SIGN_CERT:-} sign_key=${VELMORA_SIGN_KEY:-}
sign_pass=${VELMORA_SIGN_PASSWORD_FILE:-} sign_ts=${VELMORA_SIGN_TIMESTAMP:-}
authenticode=0
if [ -n "$sign_p12" ]; then
  [ -z "$sign_cert$sign_key" ] || die "VELMORA_SIGN_PKCS12 or VELMORA_SIGN_CERT + VELMORA_SIGN_KEY, not both"
  [ -f "$sign_p12" ] || die "no PKCS#12 file $sign_p12 (VELMORA_SIGN_PKCS12)"
  authenticode=1
elif [ -n "$sign_cert$sign_key" ]; then
  [ -f "$sign_cert" ] && [ -f "$sign_key" ] \
    || die "VELMORA_SIGN_CERT and VELMORA_SIGN_KEY name a PEM certificate and its key, both"
  authenticode=1
fi
[ -z "$sign_pass" ] || [ -f "$sign_pass" ] || die "no password file $sign_pass (VELMORA_SIGN_PASSWORD_FILE)"
[ -z "$sign_ts$sign_pass" ] || [ "$authenticode" = 1 ] \
  || die "VELMORA_SIGN_TIMESTAMP or VELMORA_SIGN_PASSWORD_FILE without a certificate (VELMORA_SIGN_PKCS12, or VELMORA_SIGN_CERT + VELMORA_SIGN_KEY)"
[ "$authenticode" = 0 ] || command -v osslsigncode >/dev/null || die "no osslsigncode (scripts/setup.sh installs it)"

commit=$(git rev-parse HEAD 2>/dev/null) || die "not a git checkout: a release is made from a commit"
commit_time=$(git log -1 --format=%ct HEAD)
if [ -n "$(git status --porcelain)" ]; then
  [ "${VELMORA_RELEASE_ALLOW_DIRTY:-}" = 1 ] || die "uncommitted changes: a release must be rebuildable from its commit; commit first"
  commit="$commit（含未提交的改动）"
fi

bash scripts/setup.sh >&2

DIST=${VELMORA_RELEASE_DIST:-$ROOT/dist}
OUT=$DIST/Velmora-$VERSION
BUILD=$(mktemp -d "${TMPDIR:-/tmp}/velmora-release.XXXXXX")
trap 'rm -rf "$BUILD"' EXIT
# No SOURCE_DATE_EPOCH: nothing in the build reads a clock, and a plain build of
# the preset must give this same exe (ld would take the PE time stamp from it).

cmake_args=(-DVELMORA_BUILD_BENCH=OFF)
[ -z "${VELMORA_UPDATE_PUBLIC_KEY:-}" ] || cmake_args+=("-DVELMORA_UPDATE_PUBLIC_KEY=$VELMORA_UPDATE_PUBLIC_KEY")
build() { # preset folder cmake-args...: a fresh configure and build of velmora.exe
  echo "release: building preset $1" >&2
  if ! { cmake --preset "$1" -B "$2" "${cmake_args[@]}" "${@:3}" && cmake --build "$2" --target velmora -j "$JOBS"; } >"$2.log" 2>&1; then
    tail -n 30 "$2.log" >&2
    die "the build of preset $1 failed"
  fi
}
build windows "$BUILD/x64"
if [ -n "$skin" ]; then
  build windows-x86 "$BUILD/x86" "-DVELMORA_SKIN_LIBRARY=$VELMORA_SKIN_LIBRARY" "-DVELMORA_SKIN_FILE=$VELMORA_SKIN_FILE"
fi

rm -rf "$OUT" "$OUT.zip"
mkdir -p "$OUT"
cp "$BUILD/x64/velmora.exe" "$OUT/velmora.exe"
[ -z "$skin" ] || cp "$BUILD/x86/velmora.exe" "$OUT/velmora-x86.exe"

# The notices name the versions the exe is built from: setup.sh's pins of the
# cross-built libraries, and the installed mingw-w64 runtime and GCC.
upstream() { local v=${1#*:}; v=${v%-*}; echo "${v%.dfsg}"; }  # 1:1.2.13.dfsg-1 -> 1.2.13
from_debian() { # source-package version -> "upstream (Debian source package name version)"
  echo "$(upstream "$2") (Debian source package $1 $2)"
}
pin() { sed -n "s/^$1=//p" scripts/setup.sh | head -n 1; }
sodium=$(pin SODIUM_VERSION)
[ -n "$sodium" ] || sodium=$(dpkg-query -W -f='${Version}' libsodium-dev)
mingw=$(dpkg-query -W -f='${Version}' mingw-w64-x86-64-dev)
gcc=$(dpkg-query -W -f='${Version}' gcc-mingw-w64-x86-64-posix-runtime)
for v in "$(pin ZLIB_VERSION)" "$(pin PNG_VERSION)" "$(pin JPEG_VERSION)" "$sodium" "$mingw" "$gcc"; do
  [ -n "$v" ] || die "a library version is missing (scripts/setup.sh pins, installed mingw-w64 packages)"
done
# The texts are kept as plain UTF-8 with LF; players read them in Notepad, which
# wants a byte-order mark and CRLF on every Windows.
windows_text() { # template output: fills in the versions, adds the byte-order mark and CRLF
  { printf '\xef\xbb\xbf'
    sed -e "s|@VERSION@|$VERSION|g" -e "s|@COMMIT@|$commit|g" \
        -e "s|@ZLIB@|$(from_debian zlib "$(pin ZLIB_VERSION)")|g" \
        -e "s|@PNG@|$(from_debian libpng1.6 "$(pin PNG_VERSION)")|g" \
        -e "s|@JPEG@|$(from_debian libjpeg-turbo "$(pin JPEG_VERSION)")|g" \
        -e "s|@SODIUM@|$(from_debian libsodium "$sodium")|g" \
        -e "s|@MINGW@|$(from_debian mingw-w64 "$mingw")|g" \
        -e "s|@GCC@|$(upstream "$gcc") (Debian package gcc-mingw-w64-x86-64-posix-runtime $gcc)|g" \
        -e 's/$/\r/' "$1"
  } > "$2"
  if grep -q '@[A-Z]*@' "$2"; then die "$1 has a placeholder this script does not fill"; fi
}
windows_text docs/release/guide-zh.txt "$OUT/使用说明.txt"
windows_text docs/release/THIRD-PARTY-NOTICES.txt.in "$OUT/THIRD-PARTY-NOTICES.txt"

# Authenticode first: the minisign signature and SHA256SUMS cover the exe as
# players get it. The certificate is checked to sign what osslsigncode verifies
# (against the system's roots and the chain given).
if [ "$authenticode" = 1 ]; then
  certs=$BUILD/signing-certs.pem
  cp /etc/ssl/certs/ca-certificates.crt "$certs" 2>/dev/null || : > "$certs"
  if [ -n "$sign_p12" ]; then
    who=(-pkcs12 "$sign_p12")
    passin=(-passin pass:); [ -z "$sign_pass" ] || passin=(-passin "file:$sign_pass")
    openssl pkcs12 -in "$sign_p12" -nokeys "${passin[@]}" >> "$certs" 2>/dev/null || die "cannot read the certificates of $sign_p12 (password? VELMORA_SIGN_PASSWORD_FILE)"
  else
    who=(-certs "$sign_cert" -key "$sign_key")
    cat "$sign_cert" >> "$certs"
  fi
  [ -z "$sign_pass" ] || who+=(-readpass "$sign_pass")
  if [ -n "$sign_ts" ]; then when=(-ts "$sign_ts"); else when=(-time "$commit_time"); fi
  for exe in "$OUT"/velmora*.exe; do
    name=$(basename "$exe")
    if ! osslsigncode sign "${who[@]}" "${when[@]}" -h sha256 -n "Velmora $VERSION" \
           -in "$exe" -out "$BUILD/$name.signed" >"$BUILD/sign.log" 2>&1; then
      cat "$BUILD/sign.log" >&2; die "osslsigncode could not sign $name"
    fi
    if ! osslsigncode verify -CAfile "$certs" -in "$BUILD/$name.signed" >"$BUILD/verify.log" 2>&1; then
      tail -n 20 "$BUILD/verify.log" >&2; die "the Authenticode signature of $name does not verify"
    fi
    mv "$BUILD/$name.signed" "$exe"
    echo "release: $name Authenticode-signed ($(sed -n 's/^[[:space:]]*Subject: //p' "$BUILD/verify.log" | head -n 1)$([ -n "$sign_ts" ] && echo ", timestamped by $sign_ts"))" >&2
  done
else
  echo "release: velmora.exe is not Authenticode-signed (no VELMORA_SIGN_PKCS12, nor VELMORA_SIGN_CERT + VELMORA_SIGN_KEY): SmartScreen warns of an unknown publisher" >&2
fi

# Ed25519 signatures are deterministic: the same key signs the same exe into the
# same bytes, so the signature can travel inside the reproducible zip.
if [ -n "$KEY" ]; then
  for exe in "$OUT"/velmora*.exe; do
    name=$(basename "$exe")
    minisign -S -s "$KEY" -m "$exe" -t "velmora-release version=$VERSION file=$name" >/dev/null
    if [ -n "${VELMORA_UPDATE_PUBLIC_KEY:-}" ]; then
      minisign -V -q -m "$exe" -P "$VELMORA_UPDATE_PUBLIC_KEY" \
        || die "$name is not signed by the key it carries (VELMORA_UPDATE_PUBLIC_KEY): wrong secret key"
    fi
  done
fi

(cd "$OUT" && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%f\n' | LC_ALL=C sort \
   | while IFS= read -r f; do sha256sum -- "$f"; done) > "$BUILD/SHA256SUMS"
mv "$BUILD/SHA256SUMS" "$OUT/SHA256SUMS"

# Entries sorted, one fixed time and mode, no extra fields: the same files give the same zip.
/usr/bin/python3 - "$OUT" "$OUT.zip" "Velmora-$VERSION" <<'PY'
import os, sys, zipfile
folder, target, top = sys.argv[1:]
with zipfile.ZipFile(target + ".part", "w") as z:
    for name in sorted(os.listdir(folder), key=lambda n: n.encode()):
        info = zipfile.ZipInfo(f"{top}/{name}", date_time=(1980, 1, 1, 0, 0, 0))
        info.create_system = 3  # Unix: plain files readable by all
        info.external_attr = 0o100644 << 16
        with open(os.path.join(folder, name), "rb") as f:
            z.writestr(info, f.read(), compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)
os.replace(target + ".part", target)
PY

zip_sum=$(sha256sum "$OUT.zip" | cut -d' ' -f1)
echo "release: $OUT.zip ($(stat -c %s "$OUT.zip") bytes, SHA-256 $zip_sum)"
echo "release: velmora.exe SHA-256 $(sha256sum "$OUT/velmora.exe" | cut -d' ' -f1), from commit $commit"
if [ "$authenticode" = 1 ]; then
  echo "release: Authenticode-signed; check with: osslsigncode verify -in velmora.exe (on Windows: the file's Properties, Digital Signatures)"
else
  echo "release: not Authenticode-signed: SmartScreen warns at the first start of the downloaded exe"
fi
if [ -z "$KEY" ]; then
  echo "release: unsigned (no secret key): fit for comparing, not for publishing"
  exit 0
fi
cat <<EOF

To publish: upload velmora.exe and velmora.exe.minisig into one folder of the site
(the signature must be at the download address + ".minisig"), the zip beside them
for new players, and put these lines on the announcement page
(docs/announcement-page.md):

最新版本：$VERSION
文件名：velmora.exe
下载地址：${VELMORA_RELEASE_URL:-http://<site host>/<folder>}/velmora.exe【下载地址结束】
EOF
