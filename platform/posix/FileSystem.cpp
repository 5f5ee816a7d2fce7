#include "FileSystem.h"

#include <unistd.h>

#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

#include "platform/machine.h"
#include "platform/setupapi.h"

namespace {

std::mutex g_FileSystemLock;
std::string g_RootDirectory;   // empty until first use
std::wstring g_ModulePath;     // empty: the executable's own path

std::string PrivateDefaultRoot() {
    const char* pRoot = std::getenv("NIMBO_MACHINE_ROOT");
    return pRoot != nullptr && pRoot[0] != '\0' ? pRoot : "/tmp/nimbo-machine";
}

void PrivateStandardFoldersCreate(const std::string& root) {
    std::error_code error;
    for (const char* pFolder : {"Windows/INF", "Windows/System32/drivers", "Users/Public"})
        std::filesystem::create_directories(std::filesystem::path(root) / pFolder, error);
}

std::vector<std::wstring> PrivateComponents(const std::wstring& path) {
    std::vector<std::wstring> components;
    std::wstring current;
    for (wchar_t c : path) {
        if (c == L'\\' || c == L'/') {
            if (!current.empty())
                components.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        components.push_back(current);
    return components;
}

// The existing entry of directory whose name equals component ignoring case.
std::string PrivateEntryResolve(const std::string& directory, const std::wstring& component) {
    std::string exact = FileSystem::Narrow(component);
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::path(directory) / exact, error))
        return exact;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        std::string name = entry.path().filename().string();
        if (FileSystem::NameEquals(FileSystem::Widen(name), component))
            return name;
    }
    return exact;
}

}  // namespace

std::string FileSystem::Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) {
        uint32_t code = static_cast<uint32_t>(c);
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            code = 0xFFFD;
        if (code < 0x80) {
            narrow += static_cast<char>(code);
        } else if (code < 0x800) {
            narrow += static_cast<char>(0xC0 | (code >> 6));
            narrow += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            narrow += static_cast<char>(0xE0 | (code >> 12));
            narrow += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            narrow += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            narrow += static_cast<char>(0xF0 | (code >> 18));
            narrow += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            narrow += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            narrow += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return narrow;
}

// Invalid sequences decode byte by byte (as Latin-1), so nothing is lost.
std::wstring FileSystem::Widen(const std::string& text) {
    std::wstring wide;
    for (size_t i = 0; i < text.size();) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : 9;
        bool bValid = extra <= 3;
        uint32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
        for (size_t k = 1; bValid && k <= extra; ++k) {
            if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                bValid = false;
            else
                code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        if (!bValid) {
            wide += static_cast<wchar_t>(lead);
            ++i;
            continue;
        }
        wide += static_cast<wchar_t>(code);
        i += extra + 1;
    }
    return wide;
}

bool FileSystem::NameEquals(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i])))
            return false;
    return true;
}

bool FileSystem::NameMatches(const std::wstring& pattern, const std::wstring& name) {
    // Iterative glob with backtracking to the last '*'.
    size_t p = 0, n = 0, starP = std::wstring::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == L'?' ||
                    std::towupper(static_cast<wint_t>(pattern[p])) == std::towupper(static_cast<wint_t>(name[n])))) {
            ++p;
            ++n;
        } else if (starP != std::wstring::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*')
        ++p;
    return p == pattern.size();
}

bool FileSystem::IsFullyQualified(const std::wstring& windowsPath) {
    return windowsPath.size() >= 3 && std::iswalpha(static_cast<wint_t>(windowsPath[0])) && windowsPath[1] == L':' &&
           (windowsPath[2] == L'\\' || windowsPath[2] == L'/');
}

DWORD FileSystem::HostPathFromWindows(const std::wstring& windowsPath, std::string& hostPath) {
    std::wstring path = windowsPath;
    if (path.rfind(L"\\\\?\\", 0) == 0)
        path.erase(0, 4);
    if (path.size() < 2 || path[1] != L':')
        return ERROR_PATH_NOT_FOUND;
    wchar_t drive = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(path[0])));
    if (drive != L'C' && drive != L'Z')
        return ERROR_PATH_NOT_FOUND;
    std::string current = drive == L'C' ? RootGet() : std::string("/");
    std::vector<std::wstring> resolved;
    for (const std::wstring& component : PrivateComponents(path.substr(2))) {
        if (component == L".")
            continue;
        if (component == L"..") {
            if (!resolved.empty())
                resolved.pop_back();
            continue;
        }
        resolved.push_back(component);
    }
    for (const std::wstring& component : resolved) {
        std::string name = PrivateEntryResolve(current, component);
        current = (std::filesystem::path(current) / name).string();
    }
    hostPath = current;
    return ERROR_SUCCESS;
}

std::wstring FileSystem::WindowsPathFromHost(const std::string& hostPath) {
    std::string root = RootGet();
    std::wstring windowsPath;
    std::string rest;
    if (hostPath.rfind(root + "/", 0) == 0 || hostPath == root) {
        windowsPath = L"C:";
        rest = hostPath.substr(root.size());
    } else {
        windowsPath = L"Z:";
        rest = hostPath;
    }
    for (wchar_t c : Widen(rest))
        windowsPath += c == L'/' ? L'\\' : c;
    if (windowsPath.size() == 2)
        windowsPath += L'\\';
    return windowsPath;
}

std::string FileSystem::RootGet() {
    std::lock_guard<std::mutex> lock(g_FileSystemLock);
    if (g_RootDirectory.empty()) {
        g_RootDirectory = PrivateDefaultRoot();
        PrivateStandardFoldersCreate(g_RootDirectory);
    }
    return g_RootDirectory;
}

void FileSystem::RootSet(const std::string& hostDirectory) {
    std::lock_guard<std::mutex> lock(g_FileSystemLock);
    std::string root = hostDirectory;
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    g_RootDirectory = root;
    PrivateStandardFoldersCreate(g_RootDirectory);
}

std::wstring FileSystem::ModulePathGet() {
    {
        std::lock_guard<std::mutex> lock(g_FileSystemLock);
        if (!g_ModulePath.empty())
            return g_ModulePath;
    }
    std::error_code error;
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::wstring() : WindowsPathFromHost(executable.string());
}

void FileSystem::ModulePathSet(const std::wstring& windowsPath) {
    std::lock_guard<std::mutex> lock(g_FileSystemLock);
    g_ModulePath = windowsPath;
}

bool FileSystem::FileRead(const std::string& hostPath, std::string& content) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(hostPath, error))
        return false;
    std::ifstream stream(hostPath, std::ios::binary);
    if (!stream)
        return false;
    std::ostringstream buffer;
    buffer << stream.rdbuf();
    content = buffer.str();
    return true;
}

bool FileSystem::FileWrite(const std::string& hostPath, const std::string& content) {
    std::ofstream stream(hostPath, std::ios::binary | std::ios::trunc);
    if (!stream)
        return false;
    stream.write(content.data(), static_cast<std::streamsize>(content.size()));
    return static_cast<bool>(stream);
}

// --- machine API --------------------------------------------------------------

void MachineSetupRootSet(const std::string& hostDirectory) { FileSystem::RootSet(hostDirectory); }

std::string MachineSetupRootGet() { return FileSystem::RootGet(); }

std::string MachineHostPath(const std::wstring& windowsPath) {
    std::string hostPath;
    return FileSystem::HostPathFromWindows(windowsPath, hostPath) == ERROR_SUCCESS ? hostPath : std::string();
}

void MachineModuleFileNameSet(const std::wstring& windowsPath) { FileSystem::ModulePathSet(windowsPath); }
