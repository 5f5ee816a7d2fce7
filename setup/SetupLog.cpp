#include "SetupLog.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "SetupMessageFormat.h"
#include "platform/setupapi.h"

namespace {

constexpr size_t kMessageBufferCharacters = 4096;
constexpr DWORD kDebugOutputLevelMask = 0x3F000;

// UTF-16 (Windows) or UTF-32 (elsewhere) to UTF-8, so that the file holds the
// same bytes on every build; unpaired surrogates become U+FFFD.
std::string PrivateNarrowText(const std::wstring& text) {
    std::string narrow;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t code = static_cast<uint32_t>(text[i]);
        if (sizeof(wchar_t) == 2 && code >= 0xD800 && code <= 0xDFFF) {
            uint32_t low = i + 1 < text.size() ? static_cast<uint32_t>(text[i + 1]) : 0;
            if (code <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                code = 0xFFFD;
            }
        }
        if (code > 0x10FFFF)
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

// Opened and closed for every message: what was logged is on disk even if
// the program dies right after. Other setup processes may append meanwhile.
void PrivateFileAppend(const std::wstring& message) {
    FILE* pFile = _fsopen(SETUP_LOG_FILE_PATH, "a+", _SH_DENYNO);
    if (pFile == nullptr)
        return;
    std::string narrow = PrivateNarrowText(message);
    fwrite(narrow.data(), 1, narrow.size(), pFile);
    fclose(pFile);
}

void PrivateDebugOutput(DWORD dwLevel, const std::wstring& message) {
    if ((dwLevel & kDebugOutputLevelMask) == 0)
        return;
    std::wstring line = SETUP_LOG_DEBUG_PREFIX;
    line.append(message, 0, kMessageBufferCharacters - 1);
    line += L"\n";
    OutputDebugStringW(line.c_str());
}

}  // namespace

void SetupLog(DWORD dwLevel, const wchar_t* pFormat, ...) {
    DWORD dwLastError = GetLastError();
    va_list args;
    va_start(args, pFormat);
    std::wstring message = SetupMessageFormat(pFormat, args);
    va_end(args);
    PrivateFileAppend(message);
    PrivateDebugOutput(dwLevel, message);
    // Callers log a failure and then return GetLastError(): logging must not
    // change it.
    SetLastError(dwLastError);
}
