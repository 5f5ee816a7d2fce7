#include "SetupMessageFormat.h"

#include "support/ALWideFormat.h"

std::wstring SetupMessageFormat(const wchar_t* pFormat, va_list args) {
    if (pFormat == nullptr)
        return std::wstring();
    // The log file gets the whole message: grow the buffer until the text
    // fits with room to spare (the formatter truncates silently).
    std::wstring out(512, L'\0');
    for (;;) {
        va_list argsCopy;
        va_copy(argsCopy, args);
        size_t written = ALWideFormatV(out.data(), out.size(), pFormat, argsCopy);
        va_end(argsCopy);
        if (written + 1 < out.size()) {
            out.resize(written);
            return out;
        }
        out.assign(out.size() * 2, L'\0');
    }
}
