#!/usr/bin/env bash
# Runs the two commands of the README on a fresh, minimal Debian 12 made with
# debootstrap, in a chroot, so a package that only this machine happens to have,
# or a step that only works the second time, shows up as a failure:
#   1. the test command (.ci/run);
#   2. the run command (scripts/run.sh), three times, each for a bounded time
#      with one install in the demo world driven by the UI driver
#      (tests/e2e/demo/drive_run.py): first on a new Wine prefix and no display
#      (run.sh's private Xvfb), then again without a display (another private
#      display than the prefix was made on), then with a display of its own.
# Fails when any step fails, the demo's window not coming up among them. Prints
# the time of each step. Takes 40 to 60 minutes on 2 cores; needs root and
# Debian's mirror. A manual check, not part of CI.
# Run it while no E2E test runs on the host: the chroot shares the host's network,
# so X displays (abstract sockets) and the test servers' fixed ports collide.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=${FRESH_ROOT:-/tmp/velmora-fresh}
command -v debootstrap >/dev/null || apt-get install -y -qq debootstrap >/dev/null
T0=$SECONDS
step() { echo "fresh-check: $1: $(( SECONDS - T0 )) s"; T0=$SECONDS; }
rm -rf "$ROOT"
debootstrap --variant=minbase bookworm "$ROOT" http://deb.debian.org/debian >/dev/null
step "debootstrap"
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
in_root() { chroot "$ROOT" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
                   LANG=C.UTF-8 TERM=dumb /bin/bash -c "cd /work/main && $1 </dev/null"; }
in_root "CI=true bash .ci/run"
step "test command (set-up included)"
in_root "python3 tests/e2e/demo/drive_run.py --fresh --display private"
step "run command, first time: new prefix, no display (build of windows-demo included)"
in_root "python3 tests/e2e/demo/drive_run.py --display private"
step "run command, second time: no display again"
in_root "python3 tests/e2e/demo/drive_run.py --display own"
step "run command, third time: with a display"
echo "fresh-check: passed"
