// FormatMessageW for system message texts. Texts with inserts need
// FORMAT_MESSAGE_IGNORE_INSERTS (no argument formatting here); the width
// mask supports 0 (keep the line breaks) and FORMAT_MESSAGE_MAX_WIDTH_MASK
// (each line break becomes a blank, as the system does).
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>

#include "SystemMessageTable.h"
#include "platform/win32.h"

namespace {

constexpr WORD kLangEnglish = 0x09;
constexpr DWORD kSupportedFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                  FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_MAX_WIDTH_MASK;

bool LanguageIsAvailable(DWORD dwLanguageId) {
    const WORD wPrimary = dwLanguageId & 0x3FF;
    return dwLanguageId == 0 || wPrimary == LANG_NEUTRAL || wPrimary == kLangEnglish;
}

std::wstring TextShape(const wchar_t* pText, DWORD dwWidth) {
    std::wstring Text(pText);
    if (dwWidth == FORMAT_MESSAGE_MAX_WIDTH_MASK) {
        for (size_t At = Text.find(L"\r\n"); At != std::wstring::npos; At = Text.find(L"\r\n", At))
            Text.replace(At, 2, L" ");
    }
    return Text;
}

DWORD Fail(DWORD dwError) {
    SetLastError(dwError);
    return 0;
}

}  // namespace

DWORD WINAPI FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId,
                            DWORD dwLanguageId, LPWSTR lpBuffer, DWORD nSize, void* Arguments) {
    (void)lpSource;
    (void)Arguments;
    const DWORD dwWidth = dwFlags & FORMAT_MESSAGE_MAX_WIDTH_MASK;
    if ((dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || (dwFlags & ~kSupportedFlags) != 0 ||
        (dwWidth != 0 && dwWidth != FORMAT_MESSAGE_MAX_WIDTH_MASK) || lpBuffer == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    const wchar_t* pText = SystemMessageTable::TextFind(dwMessageId);
    if (pText == nullptr)
        return Fail(ERROR_MR_MID_NOT_FOUND);
    if (!LanguageIsAvailable(dwLanguageId))
        return Fail(ERROR_RESOURCE_LANG_NOT_FOUND);
    if ((dwFlags & FORMAT_MESSAGE_IGNORE_INSERTS) == 0 && std::wcschr(pText, L'%') != nullptr)
        return Fail(ERROR_INVALID_PARAMETER);  // inserts without arguments
    const std::wstring Text = TextShape(pText, dwWidth);
    const auto dwLength = static_cast<DWORD>(Text.size());
    WCHAR* pDestination = lpBuffer;
    if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        const DWORD dwChars = std::max<DWORD>(dwLength + 1, nSize);
        pDestination = static_cast<WCHAR*>(LocalAlloc(LPTR, dwChars * sizeof(WCHAR)));
        if (pDestination == nullptr)
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
        *reinterpret_cast<LPWSTR*>(lpBuffer) = pDestination;
    } else if (nSize < dwLength + 1) {
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(pDestination, Text.c_str(), (dwLength + 1) * sizeof(WCHAR));
    return dwLength;
}
