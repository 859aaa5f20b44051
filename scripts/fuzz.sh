#!/usr/bin/env bash
# Fuzzes for SECONDS seconds in all (default 60): builds the fuzz preset's targets with clang and libFuzzer
# and runs them one after the other with their seeds. Exits non-zero on any finding.
#   unzip_fuzz  the archive engine, seeded with the test archives; three quarters of the time
#   text_fuzz   the foundation library's text parsers and encoders, seeded with the demo package's .cfg
#               files and any .cfg test data; the rest of the time
# FUZZ_TARGETS (space-separated names) runs only those targets, the first one getting SECONDS by itself
# when it is the only one.
#   scripts/fuzz.sh [SECONDS] [extra libFuzzer options...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=${FUZZ_TARGETS:-"unzip_fuzz text_fuzz"}

cmake --preset fuzz >/dev/null
# shellcheck disable=SC2086
cmake --build --preset fuzz --target $targets >/dev/null

# The share of SECONDS that a target gets.
share() {
    local name=$1
    local count
    count=$(wc -w <<<"$targets")
    if [[ $count -eq 1 ]]; then
        echo "$seconds"
    elif [[ $name == unzip_fuzz ]]; then
        echo $((seconds * 3 / 4 > 0 ? seconds * 3 / 4 : 1))
    else
        local rest=$((seconds - seconds * 3 / 4))
        echo $((rest > 0 ? rest : 1))
    fi
}

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
    if [[ $status -ne 0 ]]; then
        echo "=== fuzz: $name FAILED (exit $status); see $log"
        grep -E 'ERROR|SUMMARY|Test unit written' "$log" | head -20 || true
    fi
    return $status
}

# Fresh seed folders from the repository.
fresh_seeds() {
    local seeds=build/fuzz/${1%_fuzz}-fuzz/seeds
    rm -rf "$seeds"
    mkdir -p "$seeds"
    echo "$seeds"
}

overall=0
for target in $targets; do
    case $target in
    unzip_fuzz)
        seeds=$(fresh_seeds unzip_fuzz)
        find tests/data/zip -type f \( -iname '*.zip' \) -exec cp {} "$seeds/" \;
        run_fuzz unzip_fuzz build/fuzz/unzip/unzip_fuzz "$(share unzip_fuzz)" "$@" || overall=1
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
        run_fuzz text_fuzz build/fuzz/lib/text_fuzz "$(share text_fuzz)" "$@" || overall=1
        ;;
    *)
        echo "=== fuzz: unknown target $target" >&2
        overall=1
        ;;
    esac
done
exit $overall
