// Shell path helpers (shlwapi) of the simulated platform.
#include <cwchar>

#include "platform/setupapi.h"

BOOL WINAPI PathAppendW(LPWSTR pszPath, LPCWSTR pszMore) {
    if (pszPath == nullptr || pszMore == nullptr)
        return FALSE;
    while (*pszMore == L'\\')
        ++pszMore;
    size_t pathLength = std::wcslen(pszPath);
    size_t moreLength = std::wcslen(pszMore);
    bool bSeparator = pathLength > 0 && pszPath[pathLength - 1] != L'\\' && moreLength > 0;
    if (pathLength + (bSeparator ? 1 : 0) + moreLength >= MAX_PATH)
        return FALSE;
    if (bSeparator)
        pszPath[pathLength++] = L'\\';
    std::wmemcpy(pszPath + pathLength, pszMore, moreLength + 1);
    return TRUE;
}

void WINAPI PathStripPathW(LPWSTR pszPath) {
    if (pszPath == nullptr)
        return;
    // The file name starts after the last separator that has a component
    // behind it: "C:\a\" -> "a\", "C:\" stays.
    auto IsSeparator = [](wchar_t c) { return c == L'\\' || c == L'/' || c == L':'; };
    size_t length = std::wcslen(pszPath);
    size_t start = 0;
    for (size_t i = 0; i + 1 < length; ++i)
        if (IsSeparator(pszPath[i]) && pszPath[i + 1] != L'\\' && pszPath[i + 1] != L'/')
            start = i + 1;
    if (start > 0)
        std::wmemmove(pszPath, pszPath + start, length - start + 1);
}

BOOL WINAPI PathRemoveFileSpecW(LPWSTR pszPath) {
    if (pszPath == nullptr)
        return FALSE;
    size_t length = std::wcslen(pszPath);
    const wchar_t* pLast = std::wcsrchr(pszPath, L'\\');
    if (pLast == nullptr) {
        // "C:" stays; a bare name goes.
        size_t keep = length >= 2 && pszPath[1] == L':' ? 2 : 0;
        if (keep >= length)
            return FALSE;
        pszPath[keep] = L'\0';
        return TRUE;
    }
    size_t position = static_cast<size_t>(pLast - pszPath);
    // The root's backslash stays: "C:\a" -> "C:\", "\a" -> "\".
    bool bRoot = position == 0 || (position == 2 && pszPath[1] == L':');
    size_t cut = bRoot ? position + 1 : position;
    if (cut >= length)
        return FALSE;
    pszPath[cut] = L'\0';
    return TRUE;
}

LSTATUS WINAPI SHDeleteKeyW(HKEY hKey, LPCWSTR pszSubKey) {
    if (pszSubKey == nullptr || pszSubKey[0] == L'\0')
        return ERROR_INVALID_PARAMETER;
    return RegDeleteTreeW(hKey, pszSubKey);
}
