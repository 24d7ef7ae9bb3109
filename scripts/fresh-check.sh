#!/usr/bin/env bash
# Runs the test command (.ci/run) on a fresh, minimal Debian 12 made with
# debootstrap, in a chroot, so a package that only this machine happens to have
# shows up as a failure. Takes about 15 minutes on 2 cores; needs root and Debian's mirror.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=${FRESH_ROOT:-/tmp/velmora-fresh}
command -v debootstrap >/dev/null || apt-get install -y -qq debootstrap >/dev/null
rm -rf "$ROOT"
debootstrap --variant=minbase bookworm "$ROOT" http://deb.debian.org/debian >/dev/null
cleanup() {
  umount -R "$ROOT/dev" 2>/dev/null || true
  umount -R "$ROOT/sys" 2>/dev/null || true
  umount "$ROOT/proc" 2>/dev/null || true
}
trap cleanup EXIT
mount -t proc proc "$ROOT/proc"
mount --rbind /sys "$ROOT/sys"
mount --rbind /dev "$ROOT/dev"
cp /etc/resolv.conf "$ROOT/etc/resolv.conf"
mkdir -p "$ROOT/work"
git clone -q . "$ROOT/work/main"
chroot "$ROOT" /bin/bash -c "cd /work/main && CI=true bash .ci/run </dev/null"
