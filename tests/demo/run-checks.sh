#!/usr/bin/env bash
# End-to-end checks of the demo host on the simulated machine: both drivers
# with two monitors (exit code, progress line, summary with measured latency,
# a valid, non-uniform PNG per monitor that shows the moving square), the
# library's log on stderr only with --debug-level, Ctrl-C, --help, and bad
# options refused with a message and a non-zero exit, leaving nothing behind.
# Builds nimbo-demo in $NIMBO_DEMO_PRESET (default linux-asan, which make test
# has already built). Last line: "demo: N passed, N failed".
set -uo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$top"
preset=${NIMBO_DEMO_PRESET:-linux-asan}
demo=$top/build/$preset/tools/nimbo-demo
export ASAN_OPTIONS=handle_segv=0:allow_user_segv_handler=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0; failed=0

result() {  # name status [detail]
    if [ "$2" -eq 0 ]; then
        echo "PASS $1"; passed=$((passed + 1))
    else
        echo "FAIL $1${3:+: $3}"; failed=$((failed + 1))
    fi
}

finish() {
    echo "demo: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}

build() {
    if [ ! -f "build/$preset/build.ninja" ]; then
        cmake --preset "$preset" > "$work/configure.log" 2>&1 || { tail -20 "$work/configure.log"; return 1; }
    fi
    cmake --build --preset "$preset" --target nimbo-demo > "$work/build.log" 2>&1 || { grep -m 20 -E 'error' "$work/build.log"; return 1; }
    [ -x "$demo" ]
}

# run NAME ARGS...: runs the demo; stdout, stderr and exit code in $work/NAME.*
run() {
    local name=$1; shift
    timeout 120 "$demo" "$@" > "$work/$name.out" 2> "$work/$name.err"
    echo $? > "$work/$name.rc"
}

# A run of both monitors on one driver.
driver_checks() {
    local driver=$1 out=$work/out-$1
    run "$driver" --driver "$driver" --monitors 2 --mode 640x480 --duration 1.5 --out "$out"
    local rc; rc=$(cat "$work/$driver.rc")
    result "$driver: exit code 0" "$([ "$rc" -eq 0 ]; echo $?)" "exit $rc; $(tail -3 "$work/$driver.err" | tr '\n' ' ')"
    grep -qE 'frames [0-9]+  fps/monitor [0-9.]+  latency p50 [0-9.]+ ms p99 [0-9.]+ ms  changed [0-9.]+%' "$work/$driver.out"
    result "$driver: progress line with frames, rate, latency and changed share" $?
    local monitor
    for monitor in 0 1; do
        grep -qE "^  monitor $monitor: [1-9][0-9]* frames received of [1-9][0-9]* presented, [0-9.]+ fps, latency p50 [0-9.]+ ms p99 [0-9.]+ ms max [0-9.]+ ms \([1-9][0-9]* measured\)" "$work/$driver.out"
        result "$driver: summary of monitor $monitor with frames and measured latency" $? "$(grep "monitor $monitor:" "$work/$driver.out")"
        local check; check=$(python3 tests/demo/png_check.py "$out/monitor-$monitor.png" 640 480 2>&1)
        result "$driver: monitor-$monitor.png valid, 640x480, the whole pattern with its square" $? "$check"
    done
    ! grep -q 'AL \[' "$work/$driver.err"
    result "$driver: no library log on stderr without --debug-level" $?
}

debug_level_check() {
    run debug --driver hook --mode 320x240 --duration 0.3 --out "$work/out-debug" --debug-level 0x5
    local rc; rc=$(cat "$work/debug.rc")
    [ "$rc" -eq 0 ] && grep -q '^AL \[[0-9]*:[0-9]*\]:' "$work/debug.err"
    result "--debug-level 0x5: the library's lines on stderr" $? "exit $rc, $(grep -c 'AL \[' "$work/debug.err") lines"
}

# Ctrl-C during the run: the clean shutdown all the same (monitors ended,
# picture written), then exit 130.
interrupt_check() {
    timeout 120 "$demo" --driver indirect --mode 320x240 --duration 600 --out "$work/out-int" \
        > "$work/int.out" 2> "$work/int.err" &
    local pid=$! waited=0
    # Until the first progress line (at most 60 s).
    while ! grep -q ' frames ' "$work/int.out" 2>/dev/null && [ "$waited" -lt 600 ]; do
        sleep 0.1; waited=$((waited + 1))
    done
    kill -INT "$pid"
    wait "$pid"
    local rc=$?
    [ "$rc" -eq 130 ] && grep -q interrupted "$work/int.out" && grep -q '^summary' "$work/int.out" &&
        python3 tests/demo/png_check.py "$work/out-int/monitor-0.png" 320 240 > /dev/null
    result "Ctrl-C: clean shutdown, summary and picture, exit 130" $? "exit $rc; $(tail -2 "$work/int.err" | tr '\n' ' ')"
}

help_check() {
    run help --help
    local missing=0 option
    for option in --driver --monitors --mode --duration --out --debug-level --help; do
        grep -q -- "$option" "$work/help.out" || missing=1
    done
    [ "$(cat "$work/help.rc")" -eq 0 ] && [ "$missing" -eq 0 ]
    result "--help: exit 0 and every option explained" $?
}

# Each bad command line: non-zero exit, a message naming the problem on
# stderr, no run started and no output directory made.
bad_option_checks() {
    local cases=(
        "--driver foo|--driver"
        "--driver|needs a value"
        "--monitors 0|--monitors"
        "--monitors 17|--monitors"
        "--monitors 2x|--monitors"
        "--mode 640|--mode"
        "--mode 10x10|--mode"
        "--mode 640x-480|--mode"
        "--duration 0|--duration"
        "--duration abc|--duration"
        "--debug-level 0xZZ|--debug-level"
        "--debug-level 0x100000000|--debug-level"
        "--out=|--out"
        "--frobnicate 1|unknown option --frobnicate"
        "stray|unexpected argument"
    )
    local entry index=0
    for entry in "${cases[@]}"; do
        local arguments=${entry%%|*} fragment=${entry#*|}
        index=$((index + 1))
        # shellcheck disable=SC2086
        run "bad$index" $arguments --out "$work/out-bad$index"
        local rc; rc=$(cat "$work/bad$index.rc")
        [ "$rc" -ne 0 ] && grep -q -- "$fragment" "$work/bad$index.err" && ! grep -q summary "$work/bad$index.out" &&
            [ ! -e "$work/out-bad$index" ]
        result "bad option '$arguments': refused with a message" $? "exit $rc, stderr: $(head -1 "$work/bad$index.err")"
    done
}

if ! build; then
    result "build nimbo-demo ($preset)" 1
    finish
fi
driver_checks indirect
driver_checks hook
debug_level_check
interrupt_check
help_check
bad_option_checks
finish
