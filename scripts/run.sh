#!/usr/bin/env bash
# Builds velmora.exe (cross-compiled with mingw-w64) and runs it under Wine in
# the demo world (demo/world.py): a sample game folder already set in config.ini,
# a tool server with an archive for each of the 21 plug-ins, the web site and a
# forum stand-in, all on 127.0.0.1; the servers stop when Velmora exits.
# "run.sh --with-update": the site also offers a newer sample release, signed
# with the demo build's throw-away key, so the whole update road can be walked.
# Uses $DISPLAY when there is one; otherwise starts a private Xvfb display and
# saves a screenshot of it to build/demo-screen.png every 5 seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset windows-demo >/dev/null
cmake --build --preset windows-demo -j "${JOBS:-2}"

export WINEPREFIX=${WINEPREFIX:-$HOME/.velmora-wine}
export WINEDEBUG=${WINEDEBUG:--all}
export LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8
if [ -z "${DISPLAY:-}" ]; then
  # A display number nobody holds (no socket, no lock file), like the E2E
  # harness. It is ours once its lock file names our Xvfb: if another server
  # takes the number at the same moment, ours exits and the next is tried.
  xvfb=
  trap '[ -z "$xvfb" ] || kill $xvfb 2>/dev/null; wineserver -k 2>/dev/null || true' EXIT
  for n in $(seq 140 399); do
    if [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; then continue; fi
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    up=0
    for _ in $(seq 200); do  # within 20 s
      kill -0 $xvfb 2>/dev/null || break
      if [ -S /tmp/.X11-unix/X$n ] && [ "$(tr -d ' \n' 2>/dev/null < /tmp/.X$n-lock)" = "$xvfb" ]; then up=1; break; fi
      sleep 0.1
    done
    [ "$up" = 1 ] && break
    kill -0 $xvfb 2>/dev/null || { xvfb=; continue; }
    echo "run: Xvfb :$n did not come up within 20 s" >&2; exit 1
  done
  [ -n "$xvfb" ] || { echo "run: no free X display" >&2; exit 1; }
  export DISPLAY=:$n
  ( while kill -0 $xvfb 2>/dev/null; do sleep 5; import -window root build/demo-screen.png 2>/dev/null || true; done ) &
  echo "No display: Velmora runs on a private Xvfb (DISPLAY=:$n); see build/demo-screen.png"
fi

# A Wine server keeps the display of the program that started it, and so do
# the prefix's desktop and services while it runs: a server left by an earlier
# run on another display (a private Xvfb that is gone, say) would give Velmora
# no window driver. So it is ended first, and the prefix is made only now, on
# the display it is used with, and its server ended once it is ready.
wineserver -k 2>/dev/null || true
if [ ! -f "$WINEPREFIX/.velmora-ready" ]; then
  echo "run: making the Wine prefix $WINEPREFIX (once)"
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
  PYTHONPATH=tests/e2e/harness python3 -c \
    'import sys, wine; wine.write_prefix_settings(sys.argv[1])' "$WINEPREFIX/velmora.reg"
  wine regedit /S "$WINEPREFIX/velmora.reg" >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.velmora-ready"
fi
python3 demo/world.py --build build/windows-demo --out build/demo "$@"
