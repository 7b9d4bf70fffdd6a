#!/usr/bin/env bash
# Builds the libFuzzer targets (preset `fuzz`) and runs each on its seed corpus in tests/fuzz/corpus/,
# splitting [seconds] (default 600) evenly among them. What a target finds new is kept under
# build/fuzz/corpus/ for the next run, never in the tree. Any crash, leak or sanitizer report fails
# the script, its input saved as build/fuzz/findings/<target>-*. Prints each target's executions.
# Usage: scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
cmake --preset fuzz >/dev/null
cmake --build build/fuzz
mapfile -t targets < <(find build/fuzz/tests/fuzz -maxdepth 1 -type f -name 'fuzz_*' -executable | sort)
share=$((seconds / ${#targets[@]}))
[ "$share" -gt 0 ] || share=1
mkdir -p build/fuzz/findings
status=0
for target in "${targets[@]}"; do
    name=${target##*/fuzz_}
    mkdir -p "build/fuzz/corpus/$name" "tests/fuzz/corpus/$name"
    log="build/fuzz/$name.log"
    if ! "$target" -max_total_time="$share" -print_final_stats=1 -artifact_prefix="build/fuzz/findings/$name-" \
        "build/fuzz/corpus/$name" "tests/fuzz/corpus/$name" >"$log" 2>&1; then
        status=1
        echo "$name: FAILED, see $log"
        grep -E -m5 'ERROR|SUMMARY|runtime error|Test unit written' "$log" || true
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "$name: ${runs:-?} executions in ${share} s (${rate:-?}/s)"
done
exit "$status"
