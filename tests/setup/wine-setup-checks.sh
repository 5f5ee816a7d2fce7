#!/usr/bin/env bash
# Runs the setup program (DisplaySetup64.exe and DisplaySetup32.exe) under
# Wine in its own prefix (Windows 10) with the test package beside it, and
# checks the log file and Wine's registry after each run:
#   install        the root device with the hardware id appears, the log holds
#                  the run's lines in order
#   install again  "device detected", still one device
#   remove         the device goes; of the two OEM INFs in C:\windows\inf the
#                  test package is validated and handed to the uninstall call,
#                  the other provider's is left alone; DefaultUninstall and
#                  the service key deletion run
#   word rules     "uninstall" installs, unknown or wrongly cased words do nothing
# Where a Wine stub decides an outcome (DiInstallDriverW, SetupUninstallOEMInfW,
# CM_Locate_DevNodeW) the check asserts what the program logs about it.
#
# Usage: wine-setup-checks.sh [DisplaySetup64.exe] [DisplaySetup32.exe]
# Prints PASS/FAIL per check and "setup-wine: N passed, N failed".
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
exe64=${1:-$repo/build/mingw-x64/setup/DisplaySetup64.exe}
exe32=${2:-$repo/build/mingw-x86/setup/DisplaySetup32.exe}
export WINEPREFIX=${WINEPREFIX:-$repo/build/wineprefix-setup}
export NIMBO_WINE_TIMEOUT=${NIMBO_WINE_TIMEOUT:-120}

passed=0
failed=0
check() {  # check NAME CONDITION-RESULT(0/1) [DETAIL]
    if [ "$2" -eq 0 ]; then
        echo "PASS: $1"
        passed=$((passed + 1))
    else
        echo "FAIL: $1${3:+ ($3)}"
        failed=$((failed + 1))
    fi
}

wine_run() { "$repo/scripts/wine-run.sh" "$@"; }
reg_quiet() { wine_run reg "$@" >/dev/null 2>&1; }

drive_c="$WINEPREFIX/drive_c"
log_file="$drive_c/users/Public/IDDDriverSetup.log"
enum_key='HKLM\SYSTEM\CurrentControlSet\Enum\ROOT\DISPLAY'
package_key='HKLM\SOFTWARE\Korvax\HaldenTestPackage'
service_key='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\WUDF\Services\korvaxHaldenDisplayUmode'
hwid='Root\VID_KORVAX_HALDEN_VIRTUAL_DISPLAY_0001'

# Lines the log gained during the last run, without carriage returns.
log_mark=0
run_setup() {  # run_setup EXE-NAME WORDS...
    log_mark=$( [ -f "$log_file" ] && wc -l < "$log_file" || echo 0 )
    wine_run "C:\\setuptest\\$1" "${@:2}" >/dev/null 2>&1
    last_rc=$?
}
run_lines() { [ -f "$log_file" ] && tail -n +"$((log_mark + 1))" "$log_file" | tr -d '\r'; }
run_has() { run_lines | grep -qxF -- "$1"; }

# Device keys under Enum\ROOT\DISPLAY, one per line.
display_devices() {
    wine_run reg query "$enum_key" 2>/dev/null | tr -d '\r' | grep -E '^HKEY_LOCAL_MACHINE\\.*\\DISPLAY\\[0-9]{4}$' || true
}
device_hwid() {  # device_hwid KEY
    wine_run reg query "$1" /v HardwareID 2>/dev/null | tr -d '\r' | awk '/HardwareID/ {print $3}'
}
key_exists() { wine_run reg query "$1" "${@:2}" >/dev/null 2>&1; }

# Expected lines of an install run, after the header.
expected_install() {
    cat <<EOT
DriverSetup _tmain: Installing device and driver...
IDDSetupActions::Install Begin Install Process...
IDDSetupActions::PrivateInitializeGlobals:            
 --korvaxHaldenExtendedDisplay.inf
 --$hwid
 --{4D36E968-E325-11CE-BFC1-08002BE10318}
 --Display
 --C:\\setuptest\\korvaxHaldenExtendedDisplay.inf
IDDDeviceInfoSet::CreateDeviceNode SetupDiCreateDeviceInfoList success
IDDDeviceInfoSet::CreateDeviceNode SetupDiCreateDeviceInfo success
IDDDeviceInfoSet::CreateDeviceNode SetupDiSetDeviceRegistryProperty success
EOT
}

# The run's lines without the header and without Wine's own display adapter.
run_body() { run_lines | tail -n +4 | grep -vF 'Current HWID = PCI\'; }

clean_machine() {
    reg_quiet delete "$enum_key" /f
    rm -f "$drive_c/windows/inf/oem5.inf" "$drive_c/windows/inf/oem6.inf" "$log_file"
    local registryView
    for registryView in 32 64; do
        reg_quiet delete 'HKLM\SOFTWARE\Korvax' /f /reg:$registryView
        reg_quiet delete "$service_key" /f /reg:$registryView
    done
}

checks_for() {  # checks_for ARCH EXE-PATH REGISTRY-VIEW
    local arch=$1 exe=$2 view=$3 name
    name=$(basename "$exe")
    if [ ! -f "$exe" ]; then
        check "$arch: $name built" 1 "missing $exe"
        return
    fi
    clean_machine
    mkdir -p "$drive_c/setuptest"
    cp "$exe" "$here/data/korvaxHaldenExtendedDisplay.inf" "$drive_c/setuptest/"

    # --- install on a clean prefix ---
    run_setup "$name" install
    check "$arch install: exit code 0" "$last_rc" "rc=$last_rc"
    check "$arch install: run starts with the separator and the call line" \
        "$( [ "$(run_lines | sed -n 2p)" = "====================================================" ] &&
            run_lines | sed -n 3p | grep -qE '^Call: [0-9]+/[0-9]+/[0-9]+ [0-9]+:[0-9]+:[0-9]+ Build: ' ; echo $?)"
    local expected actual
    expected=$( expected_install; printf '%s\n' \
        "IDDDeviceInfoSet::CreateDeviceNode SetupDiCallClassInstaller success" \
        "IDDSetupActions::Install DeviceInfoSet.CreateDeviceNode success" \
        "IDDSetupActions::Install DiInstallDriver success" \
        "IDDUtilities::ScanForHardwareChanges CM_Locate_DevNode failed" \
        "IDDSetupActions::Install Install Process Finished" \
        "DriverSetup _tmain: Setup Success!")
    actual=$(run_body)
    # The version gate passed: the manifest's Windows 10 compatibility is seen.
    check "$arch install: log lines in order (version gate passed, DiInstallDriverW stub succeeded, CM_Locate_DevNode failure logged)" \
        "$( [ "$actual" = "$expected" ]; echo $?)" "$(diff <(echo "$expected") <(echo "$actual") | head -5 | tr '\n' ' ')"
    local devices
    devices=$(display_devices)
    check "$arch install: one ROOT\\DISPLAY device in Wine's registry" "$( [ "$(echo "$devices" | grep -c .)" -eq 1 ]; echo $?)" "$devices"
    check "$arch install: the device carries the hardware id" \
        "$( [ -n "$devices" ] && [ "$(device_hwid "$(echo "$devices" | head -1)")" = "$hwid" ]; echo $?)"

    # --- install again ---
    run_setup "$name" install
    expected=$( expected_install; printf '%s\n' \
        "IDDDeviceInfoSet::PrivateDetectDeviceNode Current HWID = $hwid" \
        "IDDDeviceInfoSet::CreateDeviceNode PrivateDetectDeviceNode device detected" \
        "IDDSetupActions::Install DeviceInfoSet.CreateDeviceNode success" \
        "IDDSetupActions::Install DiInstallDriver success" \
        "IDDUtilities::ScanForHardwareChanges CM_Locate_DevNode failed" \
        "IDDSetupActions::Install Install Process Finished" \
        "DriverSetup _tmain: Setup Success!")
    actual=$(run_body)
    check "$arch install again: device detected, nothing registered" \
        "$( [ "$actual" = "$expected" ]; echo $?)" "$(diff <(echo "$expected") <(echo "$actual") | head -5 | tr '\n' ' ')"
    check "$arch install again: still one device" "$( [ "$(display_devices | grep -c .)" -eq 1 ]; echo $?)"

    # --- remove, with the package and another provider's INF in C:\windows\inf ---
    cp "$here/data/korvaxHaldenExtendedDisplay.inf" "$drive_c/windows/inf/oem5.inf"
    cp "$here/data/otherProviderDisplay.inf" "$drive_c/windows/inf/oem6.inf"
    reg_quiet add "$package_key" /v Installed /t REG_DWORD /d 1 /f /reg:$view
    reg_quiet add "$service_key\\Parameters" /v Seeded /t REG_DWORD /d 1 /f /reg:$view
    run_setup "$name" remove
    check "$arch remove: exit code 0" "$last_rc" "rc=$last_rc"
    check "$arch remove: no ROOT\\DISPLAY device left" "$( [ -z "$(display_devices)" ]; echo $?)" "$(display_devices)"
    local line
    for line in \
        "IDDDeviceInfoSet::RemoveDeviceNode Current HWID = $hwid" \
        "IDDDeviceInfoSet::RemoveDeviceNode Found an instance = $hwid 1" \
        "IDDSetupActions::Uninstall DeviceInfoSet.RemoveDeviceNode success" \
        "IDDDeviceInfoSet::RemoveDriverOemInf PrivateValidateDriverOemInfFile C:\\windows\\INF\\oem5.inf \"Display\" and \"Korvax\" matched" \
        "IDDDeviceInfoSet::RemoveDriverOemInf Removing oem5.inf" \
        "IDDDeviceInfoSet::RemoveDriverOemInf PrivateValidateDriverOemInfFile C:\\windows\\INF\\oem6.inf didn't match" \
        "IDDSetupActions::Uninstall DeviceInfoSet.RemoveDeviceOemInf success" \
        "IDDSetupActions::PrivateCleanup Removing file and registry entry" \
        "IDDSetupActions::Uninstall Uninstall Process Finished" \
        "DriverSetup _tmain: Setup Success!"; do
        check "$arch remove: logged \"$line\"" "$(run_has "$line"; echo $?)"
    done
    check "$arch remove: SetupUninstallOEMInfW (a stub) reported no failure" \
        "$( ! run_lines | grep -q 'SetupUninstallOEMInf failed'; echo $?)"
    check "$arch remove: SHDeleteKeyW deleted the service key" \
        "$( ! run_lines | grep -q 'SHDeleteKey failed' && ! key_exists "$service_key" /reg:$view; echo $?)"
    check "$arch remove: InstallHinfSectionW ran DefaultUninstall (its DelReg key is gone)" \
        "$( ! key_exists "$package_key" /reg:$view; echo $?)"
    check "$arch remove: the other provider's oem6.inf is left in place" "$( [ -f "$drive_c/windows/inf/oem6.inf" ]; echo $?)"
    # Wine's SetupUninstallOEMInfW only returns TRUE: the package file stays.
    check "$arch remove: oem5.inf still present (Wine's SetupUninstallOEMInfW is a stub)" \
        "$( [ -f "$drive_c/windows/inf/oem5.inf" ]; echo $?)"

    # --- word rules ---
    run_setup "$name" uninstall
    check "$arch words: \"uninstall\" runs the install action" \
        "$(run_has "DriverSetup _tmain: Installing device and driver..." && ! run_has "DriverSetup _tmain: Removing device and driver..." &&
           [ "$(display_devices | grep -c .)" -eq 1 ]; echo $?)"
    run_setup "$name" remove install
    check "$arch words: both words run only the install action" \
        "$(run_has "DriverSetup _tmain: Installing device and driver..." && ! run_has "DriverSetup _tmain: Removing device and driver..."; echo $?)"
    local words
    for words in "" "Install REMOVE"; do
        if [ -z "$words" ]; then run_setup "$name"; else run_setup "$name" $words; fi
        check "$arch words: \"$words\" logs the wrong-arguments message and nothing else" \
            "$( [ "$(run_lines | sed -n 4p)" = 'DriverSetup _tmain: Wrong action arguments "install" or "remove" ' ] &&
                [ "$(run_lines | grep -c '')" -eq 4 ] && [ "$last_rc" -eq 0 ]; echo $?)"
    done
    run_setup "$name" remove
    check "$arch words: \"remove\" afterwards leaves no device" "$( [ -z "$(display_devices)" ]; echo $?)"
}

"$repo/scripts/wine-prefix.sh"
checks_for x64 "$exe64" 64
checks_for x86 "$exe32" 32
clean_machine

echo "setup-wine: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
