// A parsed INF file: sections of lines, each with an optional key and its
// comma-separated fields, with quotes removed and %strkey% tokens replaced
// from [Strings] ("%%" stands for one '%'). Comments begin with ';' outside
// quotes; a line ending in '\' continues on the next. Section and key names
// compare case-insensitively; sections of the same name are merged.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "win32_base.h"

struct InfLine {
    bool HasKey = false;
    std::wstring Key;
    std::vector<std::wstring> Fields;  // field 1 onwards
    UINT SourceLine = 0;
};

struct InfSection {
    std::wstring Name;
    std::vector<InfLine> Lines;
};

class InfFile {
public:
    // ERROR_FILE_NOT_FOUND, ERROR_EXPECTED_SECTION_NAME or
    // ERROR_BAD_SECTION_NAME_LINE (pErrorLine: the 1-based line) on failure.
    static DWORD Load(const std::string& hostPath, std::unique_ptr<InfFile>& inf, UINT* pErrorLine);
    static DWORD Parse(const std::wstring& text, std::unique_ptr<InfFile>& inf, UINT* pErrorLine);

    // -1 when there is no such section.
    int SectionIndex(const std::wstring& name) const;
    const std::vector<InfSection>& Sections() const { return m_Sections; }
    // Field 1 of the first line of [section] with that key; empty if none.
    std::wstring Value(const std::wstring& section, const std::wstring& key) const;
    // A Windows 2000-or-later INF: [Version] Signature "$Windows NT$",
    // "$Chicago$" or "$Windows 95$".
    bool IsWin4Style() const;
    // The hardware and compatible ids its models name, for this platform's
    // decorations (NTamd64 or NTx86, else NT, else undecorated).
    std::vector<std::wstring> ModelDeviceIds() const;
    // The install section name decorated as Windows chooses it for this
    // platform ("Name.NTamd64", "Name.NT", "Name"); empty if none exists.
    std::wstring SectionDecorated(const std::wstring& name) const;

private:
    std::vector<InfSection> m_Sections;
};
