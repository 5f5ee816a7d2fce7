// INF files (SetupAPI) of the simulated machine, and InstallHinfSection.
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <filesystem>
#include <mutex>
#include <set>

#include "FileSystem.h"
#include "InfFile.h"
#include "platform/setupapi.h"

namespace {

std::mutex g_InfLock;
std::set<InfFile*> g_OpenInfs;

InfFile* PrivateInfFromHandle(HINF hInf) {
    std::lock_guard<std::mutex> lock(g_InfLock);
    auto* pInf = static_cast<InfFile*>(hInf);
    return g_OpenInfs.count(pInf) != 0 ? pInf : nullptr;
}

const InfLine* PrivateContextLine(PINFCONTEXT pContext) {
    if (pContext == nullptr)
        return nullptr;
    InfFile* pInf = PrivateInfFromHandle(pContext->CurrentInf);
    if (pInf == nullptr || pContext->Section >= pInf->Sections().size())
        return nullptr;
    const InfSection& section = pInf->Sections()[pContext->Section];
    return pContext->Line < section.Lines.size() ? &section.Lines[pContext->Line] : nullptr;
}

std::wstring PrivateNextToken(const std::wstring& text, size_t& position) {
    while (position < text.size() && (text[position] == L' ' || text[position] == L'\t'))
        ++position;
    size_t start = position;
    while (position < text.size() && text[position] != L' ' && text[position] != L'\t')
        ++position;
    return text.substr(start, position - start);
}

// The directory a DelFiles section names through [DestinationDirs].
std::wstring PrivateDestinationDirectory(const InfFile& inf, const std::wstring& section, const std::wstring& infPath) {
    int index = inf.SectionIndex(L"DestinationDirs");
    if (index < 0)
        return std::wstring();
    const InfLine* pChosen = nullptr;
    for (const InfLine& line : inf.Sections()[static_cast<size_t>(index)].Lines) {
        if (line.HasKey && FileSystem::NameEquals(line.Key, section))
            pChosen = &line;
        else if (pChosen == nullptr && line.HasKey && FileSystem::NameEquals(line.Key, L"DefaultDestDir"))
            pChosen = &line;
    }
    if (pChosen == nullptr || pChosen->Fields.empty())
        return std::wstring();
    std::wstring directory;
    switch (std::wcstol(pChosen->Fields[0].c_str(), nullptr, 10)) {
    case 1: directory = infPath.substr(0, infPath.find_last_of(L'\\')); break;
    case 10: directory = L"C:\\Windows"; break;
    case 11: directory = L"C:\\Windows\\System32"; break;
    case 12: directory = L"C:\\Windows\\System32\\drivers"; break;
    case 17: directory = L"C:\\Windows\\INF"; break;
    default: return std::wstring();
    }
    if (pChosen->Fields.size() > 1 && !pChosen->Fields[1].empty())
        directory += L"\\" + pChosen->Fields[1];
    return directory;
}

void PrivateDelRegRun(const InfFile& inf, const std::wstring& sectionName) {
    int index = inf.SectionIndex(sectionName);
    if (index < 0)
        return;
    for (const InfLine& line : inf.Sections()[static_cast<size_t>(index)].Lines) {
        std::vector<std::wstring> fields = line.Fields;
        if (line.HasKey)
            fields.insert(fields.begin(), line.Key);
        if (fields.size() < 2 || fields[1].empty())
            continue;
        if (!FileSystem::NameEquals(fields[0], L"HKLM") && !FileSystem::NameEquals(fields[0], L"HKEY_LOCAL_MACHINE"))
            continue;  // only HKEY_LOCAL_MACHINE exists on this machine
        if (fields.size() < 3 || fields[2].empty()) {
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, fields[1].c_str());
            continue;
        }
        HKEY hKey = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, fields[1].c_str(), 0, KEY_SET_VALUE, &hKey) == ERROR_SUCCESS) {
            RegDeleteValueW(hKey, fields[2].c_str());
            RegCloseKey(hKey);
        }
    }
}

void PrivateDelFilesRun(const InfFile& inf, const std::wstring& sectionName, const std::wstring& infPath) {
    std::vector<std::wstring> files;
    std::wstring directory;
    if (!sectionName.empty() && sectionName[0] == L'@') {
        files.push_back(sectionName.substr(1));
        directory = PrivateDestinationDirectory(inf, L"", infPath);
    } else {
        int index = inf.SectionIndex(sectionName);
        if (index < 0)
            return;
        for (const InfLine& line : inf.Sections()[static_cast<size_t>(index)].Lines) {
            std::wstring file = line.HasKey ? line.Key : (line.Fields.empty() ? L"" : line.Fields[0]);
            if (!file.empty())
                files.push_back(file);
        }
        directory = PrivateDestinationDirectory(inf, sectionName, infPath);
    }
    if (directory.empty())
        return;
    for (const std::wstring& file : files) {
        std::string hostPath;
        std::error_code error;
        if (FileSystem::HostPathFromWindows(directory + L"\\" + file, hostPath) == ERROR_SUCCESS)
            std::filesystem::remove(hostPath, error);
    }
}

}  // namespace

HINF WINAPI SetupOpenInfFileW(LPCWSTR FileName, LPCWSTR InfClass, DWORD InfStyle, PUINT ErrorLine) {
    if (FileName == nullptr || FileName[0] == L'\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if ((InfStyle & INF_STYLE_WIN4) == 0) {
        SetLastError(ERROR_WRONG_INF_STYLE);
        return INVALID_HANDLE_VALUE;
    }
    std::wstring path = FileName;
    if (path.find_first_of(L"\\/:") == std::wstring::npos)
        path = L"C:\\Windows\\INF\\" + path;
    std::string hostPath;
    DWORD dwError = FileSystem::HostPathFromWindows(path, hostPath);
    std::unique_ptr<InfFile> inf;
    if (dwError == ERROR_SUCCESS)
        dwError = InfFile::Load(hostPath, inf, ErrorLine);
    if (dwError == ERROR_SUCCESS && !inf->IsWin4Style())
        dwError = ERROR_WRONG_INF_STYLE;
    if (dwError == ERROR_SUCCESS && InfClass != nullptr && !FileSystem::NameEquals(inf->Value(L"Version", L"Class"), InfClass))
        dwError = ERROR_CLASS_MISMATCH;
    if (dwError != ERROR_SUCCESS) {
        SetLastError(dwError == ERROR_PATH_NOT_FOUND ? DWORD(ERROR_FILE_NOT_FOUND) : dwError);
        return INVALID_HANDLE_VALUE;
    }
    InfFile* pInf = inf.release();
    std::lock_guard<std::mutex> lock(g_InfLock);
    g_OpenInfs.insert(pInf);
    SetLastError(ERROR_SUCCESS);
    return pInf;
}

void WINAPI SetupCloseInfFile(HINF InfHandle) {
    std::lock_guard<std::mutex> lock(g_InfLock);
    auto* pInf = static_cast<InfFile*>(InfHandle);
    if (g_OpenInfs.erase(pInf) != 0)
        delete pInf;
}

BOOL WINAPI SetupFindFirstLineW(HINF InfHandle, LPCWSTR Section, LPCWSTR Key, PINFCONTEXT Context) {
    InfFile* pInf = PrivateInfFromHandle(InfHandle);
    if (pInf == nullptr || Section == nullptr || Context == nullptr) {
        SetLastError(pInf == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int index = pInf->SectionIndex(Section);
    if (index < 0) {
        SetLastError(ERROR_SECTION_NOT_FOUND);
        return FALSE;
    }
    const InfSection& section = pInf->Sections()[static_cast<size_t>(index)];
    for (size_t line = 0; line < section.Lines.size(); ++line) {
        if (Key != nullptr && !(section.Lines[line].HasKey && FileSystem::NameEquals(section.Lines[line].Key, Key)))
            continue;
        *Context = INFCONTEXT{InfHandle, InfHandle, static_cast<UINT>(index), static_cast<UINT>(line)};
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    SetLastError(ERROR_LINE_NOT_FOUND);
    return FALSE;
}

BOOL WINAPI SetupFindNextLine(PINFCONTEXT ContextIn, PINFCONTEXT ContextOut) {
    if (PrivateContextLine(ContextIn) == nullptr || ContextOut == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    InfFile* pInf = PrivateInfFromHandle(ContextIn->CurrentInf);
    if (ContextIn->Line + 1 >= pInf->Sections()[ContextIn->Section].Lines.size()) {
        SetLastError(ERROR_LINE_NOT_FOUND);
        return FALSE;
    }
    *ContextOut = *ContextIn;
    ++ContextOut->Line;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

DWORD WINAPI SetupGetFieldCount(PINFCONTEXT Context) {
    const InfLine* pLine = PrivateContextLine(Context);
    return pLine != nullptr ? static_cast<DWORD>(pLine->Fields.size()) : 0;
}

BOOL WINAPI SetupGetStringFieldW(PINFCONTEXT Context, DWORD FieldIndex, LPWSTR ReturnBuffer,
                                 DWORD ReturnBufferSize, PDWORD RequiredSize) {
    const InfLine* pLine = PrivateContextLine(Context);
    if (pLine == nullptr || FieldIndex > pLine->Fields.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::wstring& field = FieldIndex == 0 ? pLine->Key : pLine->Fields[FieldIndex - 1];
    DWORD dwRequired = static_cast<DWORD>(field.size() + 1);
    if (RequiredSize != nullptr)
        *RequiredSize = dwRequired;
    if (ReturnBuffer == nullptr) {
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    if (ReturnBufferSize < dwRequired) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::wmemcpy(ReturnBuffer, field.c_str(), dwRequired);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

void WINAPI InstallHinfSectionW(HWND Window, HINSTANCE ModuleHandle, LPCWSTR CommandLine, INT ShowCommand) {
    (void)Window;
    (void)ModuleHandle;
    (void)ShowCommand;
    if (CommandLine == nullptr)
        return;
    std::wstring commandLine = CommandLine;
    size_t position = 0;
    std::wstring sectionName = PrivateNextToken(commandLine, position);
    std::wstring mode = PrivateNextToken(commandLine, position);
    while (position < commandLine.size() && commandLine[position] == L' ')
        ++position;
    std::wstring infPath = commandLine.substr(position);
    if (sectionName.empty() || mode.empty() || infPath.empty())
        return;
    HINF hInf = SetupOpenInfFileW(infPath.c_str(), nullptr, INF_STYLE_WIN4, nullptr);
    if (hInf == INVALID_HANDLE_VALUE)
        return;
    const InfFile& inf = *static_cast<InfFile*>(hInf);
    std::wstring section = inf.SectionDecorated(sectionName);
    int index = section.empty() ? -1 : inf.SectionIndex(section);
    if (index >= 0) {
        for (const InfLine& line : inf.Sections()[static_cast<size_t>(index)].Lines) {
            if (!line.HasKey)
                continue;
            for (const std::wstring& target : line.Fields) {
                if (FileSystem::NameEquals(line.Key, L"DelReg"))
                    PrivateDelRegRun(inf, target);
                else if (FileSystem::NameEquals(line.Key, L"DelFiles"))
                    PrivateDelFilesRun(inf, target, infPath);
            }
        }
    }
    SetupCloseInfFile(hInf);
}
