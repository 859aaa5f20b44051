#!/usr/bin/env bash
# Builds every preset and runs every test: native, native with sanitizers, Windows under Wine, a short fuzz run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

status=0
run_preset() {
  local preset=$1
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "=== $preset: test"
  ctest --preset "$preset" || status=1
}

run_preset native
run_preset native-asan
run_preset win64
tools/wine-run --prefix build/win64/wine --stop || true

if [[ -x scripts/fuzz.sh ]]; then
  echo "=== fuzz: short run"
  scripts/fuzz.sh 60 || status=1
fi
exit $status
