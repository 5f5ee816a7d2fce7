// VerifyVersionInfoW against the simulated machine's version.
#include <mutex>

#include "platform/machine.h"
#include "SetupMachineState.h"
#include "platform/setupapi.h"

namespace {

struct MachineVersion {
    DWORD Major = 10;
    DWORD Minor = 0;
    DWORD Build = 19045;
    WORD ServicePackMajor = 0;
};

std::mutex g_VersionLock;
MachineVersion g_Version;

// The bits of VerSetConditionMask: three per type, in the order of the type bits.
BYTE PrivateCondition(ULONGLONG conditionMask, DWORD typeBit) {
    int index = 0;
    while ((typeBit >> index) != 1)
        ++index;
    return static_cast<BYTE>((conditionMask >> (index * 3)) & 0x7);
}

bool PrivateCompare(uint64_t system, uint64_t required, BYTE condition) {
    switch (condition) {
    case VER_EQUAL: return system == required;
    case VER_GREATER: return system > required;
    case VER_GREATER_EQUAL: return system >= required;
    case VER_LESS: return system < required;
    case VER_LESS_EQUAL: return system <= required;
    default: return false;
    }
}

}  // namespace

ULONGLONG WINAPI VerSetConditionMask(ULONGLONG ConditionMask, DWORD TypeMask, BYTE Condition) {
    for (int index = 0; index < 8; ++index) {
        if ((TypeMask & (1u << index)) == 0)
            continue;
        ConditionMask &= ~(ULONGLONG(0x7) << (index * 3));
        ConditionMask |= ULONGLONG(Condition & 0x7) << (index * 3);
    }
    return ConditionMask;
}

BOOL WINAPI VerifyVersionInfoW(LPOSVERSIONINFOEXW lpVersionInformation, DWORD dwTypeMask,
                               ULONGLONG dwlConditionMask) {
    constexpr DWORD kSupportedTypes = VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR | VER_BUILDNUMBER;
    if (lpVersionInformation == nullptr || dwTypeMask == 0 || (dwTypeMask & ~kSupportedTypes) != 0) {
        SetLastError(ERROR_BAD_ARGUMENTS);
        return FALSE;
    }
    MachineVersion version;
    {
        std::lock_guard<std::mutex> lock(g_VersionLock);
        version = g_Version;
    }
    // Major, minor and service pack major form one version, compared with the
    // condition of its most significant tested part.
    const DWORD hierarchy[] = {VER_MAJORVERSION, VER_MINORVERSION, VER_SERVICEPACKMAJOR};
    const uint64_t systemParts[] = {version.Major, version.Minor, version.ServicePackMajor};
    const uint64_t requiredParts[] = {lpVersionInformation->dwMajorVersion, lpVersionInformation->dwMinorVersion,
                                      lpVersionInformation->wServicePackMajor};
    bool bMet = true;
    int first = -1;
    for (int i = 0; i < 3; ++i)
        if ((dwTypeMask & hierarchy[i]) != 0 && first < 0)
            first = i;
    if (first >= 0) {
        BYTE condition = PrivateCondition(dwlConditionMask, hierarchy[first]);
        int decisive = -1;
        for (int i = first; i < 3; ++i)
            if ((dwTypeMask & hierarchy[i]) != 0 && systemParts[i] != requiredParts[i] && decisive < 0)
                decisive = i;
        bMet = decisive < 0 ? PrivateCompare(0, 0, condition)
                            : PrivateCompare(systemParts[decisive], requiredParts[decisive], condition);
    }
    if (bMet && (dwTypeMask & VER_BUILDNUMBER) != 0)
        bMet = PrivateCompare(version.Build, lpVersionInformation->dwBuildNumber,
                              PrivateCondition(dwlConditionMask, VER_BUILDNUMBER));
    if (!bMet) {
        SetLastError(ERROR_OLD_WIN_VERSION);
        return FALSE;
    }
    return TRUE;
}

void MachineWindowsVersionSet(DWORD dwMajor, DWORD dwMinor, DWORD dwBuild, WORD wServicePackMajor) {
    std::lock_guard<std::mutex> lock(g_VersionLock);
    g_Version = MachineVersion{dwMajor, dwMinor, dwBuild, wServicePackMajor};
}

void VersionInfoReset() { MachineWindowsVersionSet(10, 0, 19045, 0); }
