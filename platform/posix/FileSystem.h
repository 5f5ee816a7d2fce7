// The simulated machine's file system: Windows paths mapped onto the host.
//
// "C:\" is the machine's root directory, "Z:\" the host's "/". Each component
// is matched case-insensitively against the entries that exist, so the host
// name's own spelling is used where one exists; missing components are kept
// as written (for files about to be created).
#pragma once

#include <string>

#include "win32_base.h"

class FileSystem {
public:
    // ERROR_SUCCESS, or ERROR_PATH_NOT_FOUND for a path without drive C: or Z:.
    static DWORD HostPathFromWindows(const std::wstring& windowsPath, std::string& hostPath);
    static std::wstring WindowsPathFromHost(const std::string& hostPath);
    static bool IsFullyQualified(const std::wstring& windowsPath);

    static std::string RootGet();
    static void RootSet(const std::string& hostDirectory);
    static std::wstring ModulePathGet();
    static void ModulePathSet(const std::wstring& windowsPath);

    // UTF-8 <-> wide.
    static std::string Narrow(const std::wstring& text);
    static std::wstring Widen(const std::string& text);
    // Case-insensitive comparison of names as Windows does it.
    static bool NameEquals(const std::wstring& a, const std::wstring& b);
    // '*' and '?' wildcards, case-insensitive.
    static bool NameMatches(const std::wstring& pattern, const std::wstring& name);

    static bool FileRead(const std::string& hostPath, std::string& content);
    static bool FileWrite(const std::string& hostPath, const std::string& content);
};
