// Module path, Windows directory, file search and the C runtime's shared
// open on the simulated machine's file system.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <filesystem>
#include <mutex>
#include <set>
#include <vector>

#include "FileSystem.h"
#include "platform/setupapi.h"

namespace {

constexpr const wchar_t* kWindowsDirectory = L"C:\\Windows";

struct FindEntry {
    std::wstring Name;
    DWORD Attributes;
    uint64_t Size;
    FILETIME LastWrite;
};

struct FindSearch {
    std::vector<FindEntry> Entries;
    size_t Next = 0;
};

std::mutex g_FindLock;
std::set<FindSearch*> g_FindSearches;

FILETIME PrivateFileTime(time_t seconds) {
    // FILETIME counts 100 ns units since 1601-01-01.
    constexpr uint64_t kUnixEpochOffset = 116444736000000000ULL;
    uint64_t ticks = kUnixEpochOffset + static_cast<uint64_t>(seconds) * 10000000ULL;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

void PrivateFindDataFill(const FindEntry& entry, LPWIN32_FIND_DATAW pData) {
    *pData = WIN32_FIND_DATAW{};
    pData->dwFileAttributes = entry.Attributes;
    pData->ftCreationTime = entry.LastWrite;
    pData->ftLastAccessTime = entry.LastWrite;
    pData->ftLastWriteTime = entry.LastWrite;
    pData->nFileSizeHigh = static_cast<DWORD>(entry.Size >> 32);
    pData->nFileSizeLow = static_cast<DWORD>(entry.Size);
    std::wcsncpy(pData->cFileName, entry.Name.c_str(), MAX_PATH - 1);
}

bool PrivateNameLess(const FindEntry& a, const FindEntry& b) {
    std::wstring upperA = a.Name, upperB = b.Name;
    for (auto& c : upperA) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    for (auto& c : upperB) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return upperA < upperB;
}

std::string PrivateModeWithoutTextFlag(const char* pMode) {
    std::string mode;
    for (const char* p = pMode; *p != '\0' && *p != ','; ++p)
        if (*p != 't')
            mode += *p;
    return mode;
}

}  // namespace

DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    if (hModule != nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    std::wstring path = FileSystem::ModulePathGet();
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if (lpFilename == nullptr || nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() >= nSize) {
        std::wmemcpy(lpFilename, path.c_str(), nSize - 1);
        lpFilename[nSize - 1] = L'\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    std::wmemcpy(lpFilename, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

UINT WINAPI GetWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize) {
    UINT length = static_cast<UINT>(std::wcslen(kWindowsDirectory));
    if (lpBuffer == nullptr || uSize <= length)
        return length + 1;
    std::wmemcpy(lpBuffer, kWindowsDirectory, length + 1);
    return length;
}

HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
    if (lpFileName == nullptr || lpFindFileData == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::wstring path = lpFileName;
    size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::wstring pattern = path.substr(slash + 1);
    std::string directory;
    DWORD dwError = FileSystem::HostPathFromWindows(path.substr(0, slash + 1), directory);
    std::error_code error;
    if (dwError == ERROR_SUCCESS && !std::filesystem::is_directory(directory, error))
        dwError = ERROR_PATH_NOT_FOUND;
    if (dwError != ERROR_SUCCESS) {
        SetLastError(dwError);
        return INVALID_HANDLE_VALUE;
    }
    if (pattern == L"*.*")
        pattern = L"*";

    auto* pSearch = new FindSearch;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        std::wstring name = FileSystem::Widen(entry.path().filename().string());
        if (!FileSystem::NameMatches(pattern, name))
            continue;
        struct stat info = {};
        if (stat(entry.path().c_str(), &info) != 0)
            continue;
        bool bDirectory = S_ISDIR(info.st_mode);
        pSearch->Entries.push_back({name, bDirectory ? DWORD(FILE_ATTRIBUTE_DIRECTORY) : DWORD(FILE_ATTRIBUTE_ARCHIVE),
                                    bDirectory ? 0 : static_cast<uint64_t>(info.st_size), PrivateFileTime(info.st_mtime)});
    }
    if (pSearch->Entries.empty()) {
        delete pSearch;
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::sort(pSearch->Entries.begin(), pSearch->Entries.end(), PrivateNameLess);
    PrivateFindDataFill(pSearch->Entries[0], lpFindFileData);
    pSearch->Next = 1;
    std::lock_guard<std::mutex> lock(g_FindLock);
    g_FindSearches.insert(pSearch);
    return pSearch;
}

BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData) {
    std::lock_guard<std::mutex> lock(g_FindLock);
    auto* pSearch = static_cast<FindSearch*>(hFindFile);
    if (g_FindSearches.count(pSearch) == 0 || lpFindFileData == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (pSearch->Next >= pSearch->Entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    PrivateFindDataFill(pSearch->Entries[pSearch->Next++], lpFindFileData);
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
    std::lock_guard<std::mutex> lock(g_FindLock);
    auto* pSearch = static_cast<FindSearch*>(hFindFile);
    if (g_FindSearches.erase(pSearch) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    delete pSearch;
    return TRUE;
}

FILE* _wfsopen(const wchar_t* filename, const wchar_t* mode, int shflag) {
    (void)shflag;
    if (filename == nullptr || mode == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    std::string hostPath;
    if (FileSystem::HostPathFromWindows(filename, hostPath) != ERROR_SUCCESS) {
        errno = ENOENT;
        return nullptr;
    }
    return std::fopen(hostPath.c_str(), PrivateModeWithoutTextFlag(FileSystem::Narrow(mode).c_str()).c_str());
}

FILE* _fsopen(const char* filename, const char* mode, int shflag) {
    if (filename == nullptr || mode == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    return _wfsopen(FileSystem::Widen(filename).c_str(), FileSystem::Widen(mode).c_str(), shflag);
}
