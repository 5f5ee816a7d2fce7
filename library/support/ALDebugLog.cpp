#include "support/ALDebugLog.h"

#include <cstdarg>

#include "support/ALUtilRegistry.h"
#include "support/ALWideFormat.h"

DWORD DebugLevelAL = 0;

namespace {

const wchar_t kServicesKey[] = L"SYSTEM\\CurrentControlSet\\Services";
const wchar_t kServiceName[] = L"vantorService";
const wchar_t kLevelValueName[] = L"DebugLevelAL";
constexpr size_t kKeyPathUnits = 1024;

const wchar_t* const kBanner[] = {
    L"  _   _ ___ __  __ ____   ___  \n",
    L" | \\ | |_ _|  \\/  | __ ) / _ \\ \n",
    L" |  \\| || || |\\/| |  _ \\| | | |\n",
    L" | |\\  || || |  | | |_) | |_| |\n",
    L" |_| \\_|___|_|  |_|____/ \\___/ \n",
};

const wchar_t kRule[] = L" ----------------------------------------------------------------\n";

}  // namespace

void ALDebugLevelRead() {
    wchar_t KeyPath[kKeyPathUnits];
    ALWideFormat(KeyPath, kKeyPathUnits, L"%s\\%s", kServicesKey, kServiceName);
    // Logging stays off while the level is read, so the read's own failure
    // texts are never written.
    DebugLevelAL = 0;
    BYTE Bytes[sizeof(DWORD)] = {};
    DWORD Size = sizeof(Bytes);
    if (!ALUtilRegistryValueGet(HKEY_LOCAL_MACHINE, KeyPath, kLevelValueName, Bytes, &Size))
        return;
    DWORD Level = 0;
    for (DWORD i = 0; i < Size && i < sizeof(Bytes); ++i)
        Level |= static_cast<DWORD>(Bytes[i]) << (8 * i);
    DebugLevelAL = Level;
}

void ALDebugHeaderPrint() {
    if (DebugLevelAL == 0)
        return;
    SYSTEMTIME Time;
    GetLocalTime(&Time);
    for (const wchar_t* pLine : kBanner)
        ALDebugPrint(AL_DEBUG_ALL, L"%s", pLine);
    ALDebugPrint(AL_DEBUG_ALL, L"%s", kRule);
    ALDebugPrint(AL_DEBUG_ALL, L"| quillark Nimbo Service API\n");
    ALDebugPrint(AL_DEBUG_ALL, L"| Build: %S %S\n", __DATE__, __TIME__);
    ALDebugPrint(AL_DEBUG_ALL, L"| Call:  %.02d.%.02d. %d  %.02d:%.02d:%.02d\n", Time.wMonth, Time.wDay, Time.wYear,
                 Time.wHour, Time.wMinute, Time.wSecond);
    ALDebugPrint(AL_DEBUG_ALL, L"%s", kRule);
}

void ALDebugPrint(int32_t Level, const wchar_t* pFormat, ...) {
    if ((static_cast<DWORD>(Level) & DebugLevelAL) == 0)
        return;
    const DWORD LastError = GetLastError();
    wchar_t Line[AL_DEBUG_LINE_UNITS];
    const size_t PrefixUnits = ALWideFormat(Line, AL_DEBUG_LINE_UNITS, L"AL [%04d:%04d]:",
                                            static_cast<int>(GetCurrentProcessId()),
                                            static_cast<int>(GetCurrentThreadId()));
    va_list Arguments;
    va_start(Arguments, pFormat);
    ALWideFormatV(Line + PrefixUnits, AL_DEBUG_LINE_UNITS - PrefixUnits, pFormat, Arguments);
    va_end(Arguments);
    OutputDebugStringW(Line);
    SetLastError(LastError);
}
