#!/usr/bin/env bash
# Fuzzes for SECONDS seconds in all (default 60): builds the fuzz preset's targets with clang and libFuzzer
# and runs them one after the other with their seeds, each for an equal share of SECONDS (at least 1 s).
# Exits non-zero on any finding. Prints executions per second and coverage of every target at the end.
#   unzip_fuzz      the archive engine through the file system (list, then extract into a scratch folder),
#                   seeded with the test archives (classic, ZIP64 and Deflate64)
#   zipdir_fuzz     in memory: end records, central directory, extra fields, names and local headers, every
#                   member decoded into a sink; seeded with the test archives
#   shrink_fuzz, reduce_fuzz, implode_fuzz, deflate_fuzz, deflate64_fuzz
#                   in memory: one decoder family each, fed raw streams behind a 5-byte header with the
#                   declared size (unzip/fuzz/decoder_fuzz.cpp); seeded with the streams of the test archives
#   text_fuzz       the foundation library's text parsers and encoders, seeded with the demo package's .cfg
#                   files and any .cfg test data
# FUZZ_TARGETS (space-separated names) runs only those targets.
#   scripts/fuzz.sh [SECONDS] [extra libFuzzer options...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
all_targets="unzip_fuzz zipdir_fuzz shrink_fuzz reduce_fuzz implode_fuzz deflate_fuzz deflate64_fuzz text_fuzz"
targets=${FUZZ_TARGETS:-$all_targets}

cmake --preset fuzz >/dev/null
# shellcheck disable=SC2086
cmake --build --preset fuzz --target $targets >/dev/null

count=$(wc -w <<<"$targets")
share=$((seconds / count > 0 ? seconds / count : 1))

# run_fuzz NAME BINARY SECONDS [extra libFuzzer options...]; seeds, corpus, findings and log in
# build/fuzz/<name without _fuzz>-fuzz; the target runs in its run/ folder there, so relative paths among
# the extra options do not resolve against the repository.
run_fuzz() {
    local name=$1 binary=$PWD/$2 time=$3
    shift 3
    local work=$PWD/build/fuzz/${name%_fuzz}-fuzz
    local corpus=$work/corpus artifacts=$work/artifacts seeds=$work/seeds log=$work/last-run.log
    mkdir -p "$corpus" "$artifacts"
    echo "=== fuzz: $name for ${time}s (corpus $corpus, findings in $artifacts)"
    # Failed assertions of the library append to "assert.log" in the working directory; there that name is
    # a folder, so the reports of expected assertions cannot fill the disk.
    mkdir -p "$work/run/assert.log"
    local status=0
    # Undefined behaviour counts as a finding, not only as a printed report.
    (cd "$work/run" && UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 exec "$binary" -max_total_time="$time" -max_len=65536 -timeout=30 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" "$@" "$corpus" "$seeds") >"$log" 2>&1 || status=$?
    grep -E '^#[0-9]+.*(DONE|pulse)|^Done|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb' "$log" | tail -5
    local runs speed edges
    runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || echo "?")
    speed=$(grep -oE 'stat::average_exec_per_sec: *[0-9]+' "$log" | grep -oE '[0-9]+$' || echo "?")
    edges=$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | grep -oE '[0-9]+$' || echo "?")
    local verdict=ok
    if [[ $status -ne 0 ]]; then
        verdict="FAILED (exit $status)"
        echo "=== fuzz: $name FAILED (exit $status); see $log"
        grep -E 'ERROR|SUMMARY|Test unit written' "$log" | head -20 || true
    fi
    summary+=("$(printf '%-16s %6ss %12s %10s %8s  %s' "$name" "$time" "$runs" "$speed" "$edges" "$verdict")")
    return $status
}

# Fresh seed folders from the repository.
fresh_seeds() {
    local seeds=build/fuzz/${1%_fuzz}-fuzz/seeds
    rm -rf "$seeds"
    mkdir -p "$seeds"
    echo "$seeds"
}

decoder_seeds() {
    local seeds
    seeds=$(fresh_seeds "$1")
    python3 scripts/fuzz-seeds.py "$2" "$seeds" >/dev/null
}

summary=()
overall=0
for target in $targets; do
    case $target in
    unzip_fuzz | zipdir_fuzz)
        seeds=$(fresh_seeds "$target")
        find tests/data/zip -type f -iname '*.zip' -exec cp {} "$seeds/" \;
        run_fuzz "$target" "build/fuzz/unzip/fuzz/$target" "$share" "$@" || overall=1
        ;;
    shrink_fuzz | reduce_fuzz | implode_fuzz | deflate_fuzz | deflate64_fuzz)
        case $target in
        shrink_fuzz) methods=1 ;;
        reduce_fuzz) methods=2,3,4,5 ;;
        implode_fuzz) methods=6 ;;
        deflate_fuzz) methods=8 ;;
        deflate64_fuzz) methods=9 ;;
        esac
        decoder_seeds "$target" "$methods"
        run_fuzz "$target" "build/fuzz/unzip/fuzz/$target" "$share" "$@" || overall=1
        ;;
    text_fuzz)
        seeds=$(fresh_seeds text_fuzz)
        cp demo/package/setup.cfg demo/package/advert.cfg "$seeds/"
        # Test data of the same form; copied under numbered names, as equal base names may repeat.
        n=0
        while IFS= read -r -d '' cfg; do
            n=$((n + 1))
            cp "$cfg" "$seeds/test-$n-$(basename "$cfg")"
        done < <(find tests -type f -iname '*.cfg' -print0)
        run_fuzz text_fuzz build/fuzz/lib/fuzz/text_fuzz "$share" "$@" || overall=1
        ;;
    *)
        echo "=== fuzz: unknown target $target" >&2
        summary+=("$(printf '%-16s %7s %12s %10s %8s  %s' "$target" "-" "-" "-" "-" "unknown target")")
        overall=1
        ;;
    esac
done
echo
printf '%-16s %7s %12s %10s %8s  %s\n' target time runs exec/s edges result
printf '%s\n' "${summary[@]}"
exit $overall
