#!/usr/bin/env bash
# Fuzzes the archive engine for SECONDS seconds (default 60): builds the fuzz preset's unzip target with
# clang and libFuzzer and runs it with the test archives as seeds. Exits non-zero on any finding.
#   scripts/fuzz.sh [SECONDS] [extra libFuzzer options...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target unzip_fuzz >/dev/null

work=build/fuzz/unzip-fuzz
corpus=$work/corpus
artifacts=$work/artifacts
mkdir -p "$corpus" "$artifacts"
seeds=$work/seeds
rm -rf "$seeds"
mkdir -p "$seeds"
find tests/data/zip -type f \( -iname '*.zip' \) -exec cp {} "$seeds/" \;

log=$work/last-run.log
echo "=== fuzz: unzip_fuzz for ${seconds}s (corpus $corpus, findings in $artifacts)"
status=0
build/fuzz/unzip/unzip_fuzz -max_total_time="$seconds" -max_len=65536 -timeout=30 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$@" "$corpus" "$seeds" >"$log" 2>&1 || status=$?
grep -E '^#[0-9]+.*(DONE|pulse)|^Done|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb' "$log" | tail -5
if [[ $status -ne 0 ]]; then
    echo "=== fuzz: FAILED (exit $status); see $log"
    grep -E 'ERROR|SUMMARY|Test unit written' "$log" | head -20 || true
fi
exit $status
