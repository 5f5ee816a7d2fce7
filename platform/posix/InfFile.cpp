#include "InfFile.h"

#include <cwctype>
#include <map>

#include "FileSystem.h"
#include "win32_setupapi.h"

namespace {

constexpr const wchar_t* kPlatformDecoration = sizeof(void*) == 8 ? L"NTamd64" : L"NTx86";

std::wstring PrivateTrim(const std::wstring& text) {
    size_t start = text.find_first_not_of(L" \t\r\n");
    if (start == std::wstring::npos)
        return std::wstring();
    size_t end = text.find_last_not_of(L" \t\r\n");
    return text.substr(start, end - start + 1);
}

std::wstring PrivateUpper(const std::wstring& text) {
    std::wstring upper = text;
    for (auto& c : upper)
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return upper;
}

// Text of a file: UTF-16LE with its byte order mark, else UTF-8 (with or
// without one) where valid, bytes as they stand elsewhere.
std::wstring PrivateDecode(const std::string& bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::wstring text;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8));
        return text;
    }
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return FileSystem::Widen(bytes.substr(3));
    return FileSystem::Widen(bytes);
}

// Splits at unquoted commas; removes quotes ("" inside quotes is one quote)
// and the blanks around each field.
std::vector<std::wstring> PrivateFieldsSplit(const std::wstring& text) {
    std::vector<std::wstring> fields;
    std::wstring current, pendingBlanks;
    bool bQuoted = false, bAny = false;
    for (size_t i = 0; i <= text.size(); ++i) {
        wchar_t c = i < text.size() ? text[i] : L',';
        if (bQuoted) {
            if (c == L'"' && i + 1 < text.size() && text[i + 1] == L'"') {
                current += L'"';
                ++i;
            } else if (c == L'"') {
                bQuoted = false;
            } else {
                current += c;
            }
            continue;
        }
        if (c == L',') {
            fields.push_back(current);
            current.clear();
            pendingBlanks.clear();
            bAny = false;
        } else if (c == L'"') {
            if (bAny)
                current += pendingBlanks;
            pendingBlanks.clear();
            bQuoted = true;
            bAny = true;
        } else if (c == L' ' || c == L'\t') {
            if (bAny)
                pendingBlanks += c;
        } else {
            current += pendingBlanks;
            pendingBlanks.clear();
            current += c;
            bAny = true;
        }
    }
    return fields;
}

size_t PrivateUnquotedFind(const std::wstring& text, wchar_t wanted) {
    bool bQuoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'"')
            bQuoted = !bQuoted;
        else if (!bQuoted && text[i] == wanted)
            return i;
    }
    return std::wstring::npos;
}

std::wstring PrivateSubstitute(const std::wstring& text, const std::map<std::wstring, std::wstring>& strings) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'%') {
            out += text[i];
            continue;
        }
        size_t end = text.find(L'%', i + 1);
        if (end == std::wstring::npos) {
            out += text.substr(i);
            break;
        }
        std::wstring key = text.substr(i + 1, end - i - 1);
        if (key.empty()) {
            out += L'%';
        } else {
            auto found = strings.find(PrivateUpper(key));
            out += found != strings.end() ? found->second : text.substr(i, end - i + 1);
        }
        i = end;
    }
    return out;
}

struct RawLine {
    std::wstring Text;
    UINT Number;
};

// Physical lines joined at continuations, comments removed.
std::vector<RawLine> PrivateLogicalLines(const std::wstring& text) {
    std::vector<RawLine> lines;
    std::wstring pending;
    UINT pendingStart = 0, number = 0;
    size_t position = 0;
    while (position <= text.size()) {
        size_t end = text.find(L'\n', position);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(position, end - position);
        position = end + 1;
        ++number;
        size_t comment = PrivateUnquotedFind(line, L';');
        if (comment != std::wstring::npos)
            line.erase(comment);
        line = PrivateTrim(line);
        if (pending.empty())
            pendingStart = number;
        if (!line.empty() && line.back() == L'\\' && line.front() != L'[') {
            pending += line.substr(0, line.size() - 1);
            continue;
        }
        pending += line;
        if (!PrivateTrim(pending).empty())
            lines.push_back({PrivateTrim(pending), pendingStart});
        pending.clear();
    }
    return lines;
}

}  // namespace

DWORD InfFile::Load(const std::string& hostPath, std::unique_ptr<InfFile>& inf, UINT* pErrorLine) {
    std::string bytes;
    if (!FileSystem::FileRead(hostPath, bytes))
        return ERROR_FILE_NOT_FOUND;
    return Parse(PrivateDecode(bytes), inf, pErrorLine);
}

DWORD InfFile::Parse(const std::wstring& text, std::unique_ptr<InfFile>& inf, UINT* pErrorLine) {
    auto parsed = std::make_unique<InfFile>();
    struct PendingLine {
        int Section;
        std::wstring Key;
        bool HasKey;
        std::wstring Values;
        UINT Number;
    };
    std::vector<PendingLine> pending;
    int section = -1;
    for (const RawLine& line : PrivateLogicalLines(text)) {
        if (line.Text.front() == L'[') {
            size_t close = line.Text.find(L']');
            if (close == std::wstring::npos) {
                if (pErrorLine != nullptr)
                    *pErrorLine = line.Number;
                return ERROR_BAD_SECTION_NAME_LINE;
            }
            std::wstring name = PrivateTrim(line.Text.substr(1, close - 1));
            section = parsed->SectionIndex(name);
            if (section < 0) {
                parsed->m_Sections.push_back({name, {}});
                section = static_cast<int>(parsed->m_Sections.size()) - 1;
            }
            continue;
        }
        if (section < 0) {
            if (pErrorLine != nullptr)
                *pErrorLine = line.Number;
            return ERROR_EXPECTED_SECTION_NAME;
        }
        size_t equals = PrivateUnquotedFind(line.Text, L'=');
        if (equals == std::wstring::npos)
            pending.push_back({section, L"", false, line.Text, line.Number});
        else
            pending.push_back({section, line.Text.substr(0, equals), true, line.Text.substr(equals + 1), line.Number});
    }

    // [Strings] first, so that every other line can use it.
    std::map<std::wstring, std::wstring> strings;
    int stringsSection = parsed->SectionIndex(L"Strings");
    for (const PendingLine& line : pending) {
        if (line.Section != stringsSection || !line.HasKey)
            continue;
        std::vector<std::wstring> fields = PrivateFieldsSplit(line.Values);
        std::wstring key = PrivateUpper(PrivateTrim(line.Key));
        if (strings.count(key) == 0)
            strings[key] = fields.empty() ? std::wstring() : fields[0];
    }
    for (const PendingLine& line : pending) {
        InfLine parsedLine;
        parsedLine.HasKey = line.HasKey;
        parsedLine.SourceLine = line.Number;
        bool bStrings = line.Section == stringsSection;
        if (line.HasKey) {
            std::vector<std::wstring> keyFields = PrivateFieldsSplit(line.Key);
            std::wstring key = keyFields.empty() ? std::wstring() : keyFields[0];
            parsedLine.Key = bStrings ? key : PrivateSubstitute(key, strings);
        }
        for (const std::wstring& field : PrivateFieldsSplit(line.Values))
            parsedLine.Fields.push_back(bStrings ? field : PrivateSubstitute(field, strings));
        parsed->m_Sections[static_cast<size_t>(line.Section)].Lines.push_back(parsedLine);
    }
    inf = std::move(parsed);
    return ERROR_SUCCESS;
}

int InfFile::SectionIndex(const std::wstring& name) const {
    for (size_t i = 0; i < m_Sections.size(); ++i)
        if (FileSystem::NameEquals(m_Sections[i].Name, name))
            return static_cast<int>(i);
    return -1;
}

std::wstring InfFile::Value(const std::wstring& section, const std::wstring& key) const {
    int index = SectionIndex(section);
    if (index < 0)
        return std::wstring();
    for (const InfLine& line : m_Sections[static_cast<size_t>(index)].Lines)
        if (line.HasKey && FileSystem::NameEquals(line.Key, key))
            return line.Fields.empty() ? std::wstring() : line.Fields[0];
    return std::wstring();
}

bool InfFile::IsWin4Style() const {
    std::wstring signature = Value(L"Version", L"Signature");
    return FileSystem::NameEquals(signature, L"$Windows NT$") || FileSystem::NameEquals(signature, L"$Chicago$") ||
           FileSystem::NameEquals(signature, L"$Windows 95$");
}

std::vector<std::wstring> InfFile::ModelDeviceIds() const {
    std::vector<std::wstring> ids;
    int manufacturer = SectionIndex(L"Manufacturer");
    if (manufacturer < 0)
        return ids;
    for (const InfLine& line : m_Sections[static_cast<size_t>(manufacturer)].Lines) {
        if (line.Fields.empty())
            continue;
        const std::wstring& models = line.Fields[0];
        std::wstring chosen = models;
        for (size_t i = 1; i < line.Fields.size(); ++i) {
            std::wstring decoration = line.Fields[i];
            if (FileSystem::NameEquals(decoration.substr(0, decoration.find(L'.')), kPlatformDecoration))
                chosen = models + L"." + decoration;
        }
        int modelsSection = SectionIndex(chosen);
        if (modelsSection < 0)
            continue;
        for (const InfLine& model : m_Sections[static_cast<size_t>(modelsSection)].Lines)
            for (size_t i = 1; i < model.Fields.size(); ++i)
                if (!model.Fields[i].empty())
                    ids.push_back(model.Fields[i]);
    }
    return ids;
}

std::wstring InfFile::SectionDecorated(const std::wstring& name) const {
    for (const std::wstring& candidate : {name + L"." + kPlatformDecoration, name + L".NT", name})
        if (SectionIndex(candidate) >= 0)
            return m_Sections[static_cast<size_t>(SectionIndex(candidate))].Name;
    return std::wstring();
}
