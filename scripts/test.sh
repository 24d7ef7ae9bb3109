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
count() {  # adds the counts of a ctest log to the totals
  local line
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
  if [ -z "$line" ]; then status=1; return; fi
  local f t
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
  passed=$((passed + t - f))
  failed=$((failed + f))
}

echo "== unit tests (native, ASan + UBSan)"
if cmake --preset native >/dev/null && cmake --build --preset native -j "$JOBS"; then
  ctest --preset native -j "$JOBS" 2>&1 | tee build/native/ctest.log || status=1
  count build/native/ctest.log
else
  status=1
fi

echo "== end-to-end scenarios (velmora.exe under Wine)"
if cmake --preset windows-e2e >/dev/null && cmake --build --preset windows-e2e -j "$JOBS"; then
  ctest --preset windows-e2e 2>&1 | tee build/windows-e2e/ctest.log || status=1
  count build/windows-e2e/ctest.log
else
  status=1
fi

echo "== end-to-end scenarios of the x86 build (under 32-bit Wine)"
if cmake --preset windows-x86-e2e >/dev/null && cmake --build --preset windows-x86-e2e -j "$JOBS"; then
  ctest --preset windows-x86-e2e 2>&1 | tee build/windows-x86-e2e/ctest.log || status=1
  count build/windows-x86-e2e/ctest.log
else
  status=1
fi

if [ -f tests/fuzz/run.sh ]; then
  echo "== fuzzing (bounded)"
  if bash tests/fuzz/run.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); status=1; fi
fi

[ "$failed" -gt 0 ] && status=1
echo
echo "total: $passed passed, $failed failed"
exit $status
