#!/usr/bin/env bash
# The whole test run behind `make test`: installs what is missing, builds the
# native sanitizer builds and the two Windows cross-builds, runs every suite
# natively and under Wine, judges each suite by its own XML report (never by
# the exit code alone: a 32-bit program without wine32 exits 0 having run
# nothing) and ends with one line "N passed, N failed".
set -uo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

reports=$top/build/reports
rm -rf "$reports"; mkdir -p "$reports"
summary=$reports/summary.txt; : > "$summary"
total_pass=0; total_fail=0

stage() { echo; echo "=== $*"; }

record() {  # suite-label passed failed [note]
    printf '%-44s %5d passed, %3d failed %s\n' "$1" "$2" "$3" "${4:-}" | tee -a "$summary"
    total_pass=$((total_pass + $2)); total_fail=$((total_fail + $3))
}

xml_attr() { grep -o -m1 "<testsuites [^>]*" "$1" | grep -o " $2=\"[0-9]*\"" | grep -o '[0-9]*'; }

judge_xml() {  # label xml exit-code
    local label=$1 xml=$2 rc=$3
    if [ ! -s "$xml" ]; then record "$label" 0 1 "(no report; exit $rc)"; return; fi
    local tests fails errors skipped
    tests=$(xml_attr "$xml" tests); fails=$(xml_attr "$xml" failures); errors=$(xml_attr "$xml" errors)
    skipped=$(grep -c 'result="skipped"' "$xml" || true)
    local passed=$((tests - fails - errors - skipped)) failed=$((fails + errors))
    if [ "$tests" -eq 0 ]; then failed=$((failed + 1)); fi  # a suite that ran nothing is a failure
    local note=""; [ "$skipped" -gt 0 ] && note="($skipped skipped)"
    if [ "$rc" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; note="$note (exit $rc)"; fi
    record "$label" "$passed" "$failed" "$note"
}

build_preset() {  # preset
    stage "build $1"
    if [ ! -f "build/$1/build.ninja" ]; then
        cmake --preset "$1" > "$reports/configure-$1.log" 2>&1 || { tail -30 "$reports/configure-$1.log"; return 1; }
    fi
    cmake --build --preset "$1" > "$reports/build-$1.log" 2>&1 || { grep -E 'error|Error' -m 30 "$reports/build-$1.log"; tail -5 "$reports/build-$1.log"; return 1; }
}

run_native() {  # preset [gtest-filter]
    local preset=$1 filter=${2:-}
    for exe in build/"$preset"/tests/*_tests; do
        [ -x "$exe" ] || continue
        local name; name=$(basename "$exe")
        local xml=$reports/$preset-$name.xml
        stage "run $name ($preset)"
        ASAN_OPTIONS=handle_segv=0:allow_user_segv_handler=1:detect_leaks=1 \
        UBSAN_OPTIONS=print_stacktrace=1 \
        TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
        GTEST_FILTER=${filter:-*} \
            timeout 1200 "$exe" --gtest_output="xml:$xml" > "$reports/$preset-$name.log" 2>&1
        local rc=$?
        grep -E '^\[  FAILED  \]|FAILED TEST|ERROR: (Address|Thread|Undefined)Sanitizer|WARNING: ThreadSanitizer|runtime error' "$reports/$preset-$name.log" | head -20
        judge_xml "$name ($preset)" "$xml" "$rc"
    done
}

run_wine() {  # preset
    local preset=$1
    for exe in build/"$preset"/tests/*_tests.exe; do
        [ -f "$exe" ] || continue
        local name; name=$(basename "$exe" .exe)
        local xml=$reports/$preset-$name.xml
        stage "run $name.exe under Wine ($preset)"
        local winxml="Z:${xml//\//\\}"
        scripts/wine-run.sh "$exe" --gtest_output="xml:$winxml" > "$reports/$preset-$name.log" 2>&1
        local rc=$?
        grep -E '^\[  FAILED  \]' "$reports/$preset-$name.log" | head -20
        judge_xml "$name.exe (wine $preset)" "$xml" "$rc"
    done
}

run_script_suite() {  # label script args...: the script's last line is "name: N passed, N failed"
    local label=$1; shift
    stage "run $label"
    local log=$reports/$(echo "$label" | tr ' /()' '____').log
    "$@" > "$log" 2>&1
    local rc=$?
    grep -E 'FAIL' "$log" | head -20
    local line; line=$(grep -E '[0-9]+ passed, [0-9]+ failed' "$log" | tail -1)
    if [ -z "$line" ]; then record "$label" 0 1 "(no summary; exit $rc)"; return; fi
    local p f; p=$(echo "$line" | grep -o '[0-9]* passed' | grep -o '[0-9]*'); f=$(echo "$line" | grep -o '[0-9]* failed' | grep -o '[0-9]*')
    [ "$rc" -ne 0 ] && [ "$f" -eq 0 ] && f=1
    record "$label" "$p" "$f"
}

stage "dependencies"
scripts/install-deps.sh || { echo "dependency installation failed"; exit 1; }

for preset in linux-asan linux-tsan mingw-x64 mingw-x86; do
    if ! build_preset "$preset"; then record "build $preset" 0 1 "(build failed)"; fi
done

run_native linux-asan
run_native linux-tsan '-*HardwareFault*'
export WINEPREFIX=$top/build/wineprefix
stage "Wine prefix"
scripts/wine-prefix.sh
run_wine mingw-x64
run_wine mingw-x86

for extra in tests/*/run-checks.sh; do
    [ -x "$extra" ] || continue
    run_script_suite "$(basename "$(dirname "$extra")") checks" "$extra"
done

# The fuzz targets, briefly, with their regression inputs.
run_script_suite "fuzz (brief)" scripts/run-fuzz.sh --brief

stage "summary"
cat "$summary"
echo "$total_pass passed, $total_fail failed"
[ "$total_fail" -eq 0 ]
