#!/usr/bin/env bash
# Builds velmora.exe (cross-compiled with mingw-w64) and runs it under Wine.
# Uses $DISPLAY when there is one; otherwise starts a private Xvfb display and
# saves a screenshot of it to build/windows/velmora-screen.png every 5 seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "${JOBS:-2}"

export WINEPREFIX=${WINEPREFIX:-$HOME/.velmora-wine}
export WINEDEBUG=${WINEDEBUG:--all}
export LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8
if [ ! -f "$WINEPREFIX/.velmora-ready" ]; then
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
  python3 - <<'PY'
import os, sys
sys.path.insert(0, "tests/e2e/harness")
import wine
reg = os.path.join(os.environ["WINEPREFIX"], "velmora.reg")
with open(reg, "wb") as f:
    f.write(b"\xff\xfe" + wine._REG.replace("\n", "\r\n").encode("utf-16-le"))
PY
  wine regedit /S "$WINEPREFIX/velmora.reg" >/dev/null 2>&1
  touch "$WINEPREFIX/.velmora-ready"
fi

if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:57
  Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null; wineserver -k 2>/dev/null' EXIT
  sleep 1
  ( while kill -0 $xvfb 2>/dev/null; do sleep 5; import -window root build/windows/velmora-screen.png 2>/dev/null || true; done ) &
  echo "No display: Velmora runs on a private Xvfb; see build/windows/velmora-screen.png"
fi
wine build/windows/velmora.exe
