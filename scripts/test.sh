#!/usr/bin/env bash
# Builds every preset and runs every test: native, native with sanitizers, Windows under Wine, a short fuzz run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

status=0
passed=0
failed=0
run_preset() {
  local preset=$1 summary
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "=== $preset: test"
  ctest --preset "$preset" 2>&1 | tee "build/$preset/ctest.out" || status=1
  # "100% tests passed, 0 tests failed out of 221"
  summary=$(grep -E "tests failed out of [0-9]+" "build/$preset/ctest.out" | tail -n 1)
  if [[ $summary =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[1]))
    passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  else
    status=1
  fi
}

run_preset native
run_preset native-asan
run_preset win64
tools/wine-run --prefix build/win64/wine --stop || true

if [[ -x scripts/fuzz.sh ]]; then
  echo "=== fuzz: short run"
  scripts/fuzz.sh 60 || status=1
fi
echo
echo "all presets: $passed passed, $failed failed"
exit $status
