#!/usr/bin/env bash
# make test's checks of the NimboHighLevelWrapper deliverable as built:
#   exports   the dynamic symbol table (Linux builds) and the export table
#             (mingw x64 and x86) hold exactly the six exports, by name
#   imports   the DLLs import Windows system DLLs only; the Linux shared
#             object needs only the platform layer and the system's runtime
#   package   the build installs into a temporary prefix, and a host project
#             outside the tree finds it with find_package, builds a C program
#             on the exports and a C++ program on the static API, and runs
#             them (natively, and the mingw-x64 ones under Wine)
# Usage: run-checks.sh (after the builds of scripts/run-tests.sh)
# Prints PASS/FAIL per check and "deliverable: N passed, N failed".
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=$repo/build

passed=0
failed=0
check() {  # NAME STATUS(0 = pass) [DETAIL]
    if [ "$2" -eq 0 ]; then
        echo "PASS: $1"
        passed=$((passed + 1))
    else
        echo "FAIL: $1${3:+ ($3)}"
        failed=$((failed + 1))
    fi
}

expected_exports=$(printf '%s\n' GetDisplayId InitializeHookDriver InitializeIddxDriver PlugMonitor Uninitialize UnplugMonitor)

same_list() {  # NAME EXPECTED ACTUAL
    if [ "$2" = "$3" ]; then check "$1" 0; else check "$1" 1 "got: $(echo "$3" | tr '\n' ' ')"; fi
}

# Names of a PE file's export table ("[Ordinal/Name Pointer] Table" lines).
pe_exports() {
    objdump -p "$1" | awk '/\[Ordinal\/Name Pointer\] Table/ { on = 1; next } on && /^[ \t]*\[/ { print $NF; next } on { on = 0 }' | sort
}
pe_imports() { objdump -p "$1" | awk '/DLL Name:/ { print tolower($3) }' | sort -u; }

for preset in linux-asan linux-tsan; do
    so=$build/$preset/library/libNimboHighLevelWrapper.so
    if [ ! -f "$so" ]; then check "exports ($preset)" 1 "$so missing"; continue; fi
    same_list "exports ($preset)" "$expected_exports" "$(nm -D --defined-only "$so" | awk '{ print $NF }' | sort)"
    unexpected=$(readelf -d "$so" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' |
        grep -Ev '^(libnimbo_platform\.so|libc\.so\.6|libm\.so\.6|libstdc\+\+\.so\.6|libgcc_s\.so\.1|lib(a|ub|t)san\.so\.[0-9]+)$')
    check "shared objects needed ($preset)" "$([ -z "$unexpected" ]; echo $?)" "unexpected: $unexpected"
done

system_dlls='^(kernel32|user32|advapi32|setupapi|d3d11|dxgi|avrt|msvcrt)\.dll$'
for preset in mingw-x64 mingw-x86; do
    dll=$build/$preset/library/NimboHighLevelWrapper.dll
    if [ ! -f "$dll" ]; then check "exports ($preset)" 1 "$dll missing"; continue; fi
    same_list "exports ($preset)" "$expected_exports" "$(pe_exports "$dll")"
    dll_name=$(objdump -p "$dll" | awk '/^Name / { print $NF; exit }')
    check "export directory name ($preset)" "$([ "$dll_name" = NimboHighLevelWrapper.dll ]; echo $?)" "$dll_name"
    unexpected=$(pe_imports "$dll" | grep -Ev "$system_dlls")
    check "imports are system DLLs ($preset)" "$([ -z "$unexpected" ]; echo $?)" "unexpected: $unexpected"
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# package PRESET RUNNER [CMAKE-ARGS...]: install, build the consumer, run both programs.
package() {
    local preset=$1 runner=$2; shift 2
    local prefix=$scratch/$preset/prefix consumer=$scratch/$preset/consumer
    if [ ! -f "$build/$preset/build.ninja" ]; then check "package ($preset)" 1 "build/$preset not configured"; return; fi
    cmake --install "$build/$preset" --prefix "$prefix" > "$scratch/$preset-install.log" 2>&1
    check "install ($preset)" $? "$(tail -3 "$scratch/$preset-install.log")"
    cmake -S "$here/consumer" -B "$consumer" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" "$@" \
        > "$scratch/$preset-consumer.log" 2>&1 &&
        cmake --build "$consumer" >> "$scratch/$preset-consumer.log" 2>&1
    local rc=$?
    check "find_package and build of a host project ($preset)" $rc "$(grep -m3 -iE 'error' "$scratch/$preset-consumer.log")"
    [ $rc -eq 0 ] || return

    local out
    out=$($runner "$consumer/export_host" 2>&1 | tr -d '\r')
    same_list "host on the exports runs ($preset)" \
        "$(printf '%s\n' 'Nimbo API: pApiHighLevel->Initialize failed!' 'InitializeIddxDriver 1' 'GetDisplayId 0' 'UnplugMonitor 0' 'Uninitialize 0')" \
        "$out"
    out=$($runner "$consumer/api_host" 2>&1 | tr -d '\r')
    same_list "host on the static API runs ($preset)" "$(printf '%s\n' 'Initialize 0' 'InstanceContextGet 0')" "$out"
}

native() { "$@"; }
wine_exe() { "$repo/scripts/wine-run.sh" "$1.exe"; }

sanitizer_flags='-fsanitize=address,undefined -fno-omit-frame-pointer'
ASAN_OPTIONS=handle_segv=0:allow_user_segv_handler=1:detect_leaks=1 \
    package linux-asan native -DCMAKE_C_FLAGS="$sanitizer_flags" -DCMAKE_CXX_FLAGS="$sanitizer_flags"
package mingw-x64 wine_exe -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-x64.cmake" \
    -DCMAKE_EXE_LINKER_FLAGS="-static -static-libgcc -static-libstdc++"

echo "deliverable: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
