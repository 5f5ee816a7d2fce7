#!/usr/bin/env bash
# The fuzz targets (fuzz/*Fuzz.cpp, preset linux-fuzz): builds them, then for
# each target
#   regression  every input kept in fuzz/corpus/<target>/ (seeds and the
#               inputs of crashes found and fixed) runs once;
#   fuzzing     libFuzzer for FUZZ_SECONDS seconds (default 60; with --brief,
#               as in make test, FUZZ_BRIEF_SECONDS, default 10), starting
#               from those inputs and from what earlier runs found
#               (build/linux-fuzz/corpus/<target>/, not kept in git).
# A crash leaves its input in build/linux-fuzz/artifacts/; once the fault is
# fixed, copy the input into fuzz/corpus/<target>/ as a regression input.
# Ends with "fuzz: N passed, N failed" (one check per target and stage).
set -uo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

seconds=${FUZZ_SECONDS:-60}
if [ "${1:-}" = "--brief" ]; then seconds=${FUZZ_BRIEF_SECONDS:-10}; fi
build=build/linux-fuzz
passed=0; failed=0
pass() { echo "PASS $*"; passed=$((passed + 1)); }
fail() { echo "FAIL $*"; failed=$((failed + 1)); }

summary() { echo "fuzz: $passed passed, $failed failed"; [ "$failed" -eq 0 ]; exit $?; }

echo "== build linux-fuzz"
mkdir -p "$build"
if [ ! -f "$build/build.ninja" ]; then
    cmake --preset linux-fuzz > "$build/configure.log" 2>&1 || { tail -20 "$build/configure.log"; fail "configure linux-fuzz"; summary; }
fi
if ! cmake --build --preset linux-fuzz > "$build/build.log" 2>&1; then
    grep -E 'error|Error' -m 20 "$build/build.log"; fail "build linux-fuzz"; summary
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
for source in fuzz/*Fuzz.cpp; do
    target=$(basename "$source" .cpp)
    exe=$build/fuzz/$target
    seeds=fuzz/corpus/$target
    if [ ! -x "$exe" ]; then fail "$target: not built (see $build/configure.log)"; continue; fi
    log=$build/logs/$target; mkdir -p "$log" "$build/corpus/$target" "$build/artifacts"

    if [ -d "$seeds" ] && [ -n "$(ls -A "$seeds")" ]; then
        if timeout 300 "$exe" -runs=0 "$seeds" > "$log/regression.log" 2>&1; then
            pass "$target regression ($(ls "$seeds" | wc -l) inputs)"
        else
            grep -E 'ERROR|FUZZ_CHECK|runtime error|SUMMARY' -m 10 "$log/regression.log"; fail "$target regression (log: $log/regression.log)"
        fi
    else
        fail "$target regression: no inputs in $seeds"
    fi

    inputs=("$build/corpus/$target"); [ -d "$seeds" ] && inputs+=("$seeds")
    timeout $((seconds + 120)) "$exe" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" "${inputs[@]}" > "$log/fuzzing.log" 2>&1
    rc=$?
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log/fuzzing.log" | grep -o '[0-9]*$')
    cov=$(grep -E '#[0-9]+.*(DONE|cov:)' "$log/fuzzing.log" | tail -1 | grep -o 'cov: [0-9]*')
    if [ "$rc" -eq 0 ] && [ -n "$runs" ]; then
        pass "$target fuzzing ${seconds}s: ${runs} runs, ${cov:-cov: ?}"
    else
        grep -E 'ERROR|FUZZ_CHECK|runtime error|SUMMARY|Test unit written' -m 10 "$log/fuzzing.log"
        fail "$target fuzzing (exit $rc, log: $log/fuzzing.log)"
    fi
done
summary
