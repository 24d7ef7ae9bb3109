#!/usr/bin/env bash
# Builds and runs every test: the portable core's unit tests natively (ASan +
# UBSan), the E2E scenarios through the real velmora.exe under Wine, the x86
# build's subset of them under 32-bit Wine, and the fuzz targets for a bounded
# time. Does all its own set-up (scripts/setup.sh).
set -uo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}

bash scripts/setup.sh || exit 1

passed=0
failed=0
status=0
# Adds the outcomes in a ctest JUnit report to the totals: a test that did not
# run counts as failed, as ctest counts it; a skipped or disabled one not at all.
count() {
  local got
  if ! got=$(python3 - "$1" <<'PY'
import sys
import xml.etree.ElementTree as ET
passed = failed = 0
for case in ET.parse(sys.argv[1]).getroot().iter("testcase"):
    status = case.get("status", "run")
    if status == "disabled" or case.find("skipped") is not None:
        continue
    if status == "run" and case.find("failure") is None:
        passed += 1
    else:  # failed, or not run at all
        failed += 1
print(passed, failed)
PY
  ); then status=1; return; fi
  passed=$((passed + ${got% *}))
  failed=$((failed + ${got#* }))
}

# suite TITLE PRESET [CTEST-ARGS...]: builds a preset and runs its tests.
suite() {
  local report=$PWD/build/$2/ctest.xml
  echo "== $1"
  if cmake --preset "$2" >/dev/null && cmake --build --preset "$2" -j "$JOBS"; then
    rm -f "$report"
    ctest --preset "$2" "${@:3}" --output-junit "$report" || status=1
    count "$report"
  else
    status=1
  fi
}

suite "unit tests (native, ASan + UBSan)" native -j "$JOBS"
suite "end-to-end scenarios (velmora.exe under Wine)" windows-e2e
suite "end-to-end scenarios of the x86 build (under 32-bit Wine)" windows-x86-e2e

if [ -f tests/fuzz/run.sh ]; then
  echo "== fuzzing (bounded)"
  if bash tests/fuzz/run.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); status=1; fi
fi

[ "$failed" -gt 0 ] && status=1
echo
echo "total: $passed passed, $failed failed"
exit $status
