#include "SetupMessageFormat.h"

#include <cstdint>

namespace {

struct Directive {
    bool bLeftAlign = false;
    bool bZeroPad = false;
    unsigned Width = 0;
    int Length = 0;  // -2 hh, -1 h, 0 none, 1 l (32-bit), 2 ll
};

void PrivatePadAppend(std::wstring& out, const std::wstring& text, const Directive& directive,
                      bool bNumeric) {
    size_t padding = directive.Width > text.size() ? directive.Width - text.size() : 0;
    if (directive.bLeftAlign) {
        out += text;
        out.append(padding, L' ');
        return;
    }
    if (directive.bZeroPad && bNumeric && !text.empty() && text[0] == L'-') {
        out += L'-';
        out.append(padding, L'0');
        out.append(text, 1, std::wstring::npos);
        return;
    }
    out.append(padding, directive.bZeroPad && bNumeric ? L'0' : L' ');
    out += text;
}

std::wstring PrivateDigits(uint64_t value, unsigned base, bool bUpper) {
    const wchar_t* pDigits = bUpper ? L"0123456789ABCDEF" : L"0123456789abcdef";
    std::wstring reversed;
    do {
        reversed += pDigits[value % base];
        value /= base;
    } while (value != 0);
    return std::wstring(reversed.rbegin(), reversed.rend());
}

int64_t PrivateSignedArgument(va_list& args, int length) {
    if (length == 2)
        return va_arg(args, long long);
    int value = va_arg(args, int);
    if (length == -1)
        return static_cast<short>(value);
    if (length == -2)
        return static_cast<signed char>(value);
    return value;
}

uint64_t PrivateUnsignedArgument(va_list& args, int length) {
    if (length == 2)
        return va_arg(args, unsigned long long);
    unsigned value = va_arg(args, unsigned);
    if (length == -1)
        return static_cast<unsigned short>(value);
    if (length == -2)
        return static_cast<unsigned char>(value);
    return value;
}

std::wstring PrivateNarrowWiden(const char* pText) {
    std::wstring wide;
    for (; *pText != '\0'; ++pText)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(*pText));
    return wide;
}

// Formats one directive starting after '%'; returns the position after it.
const wchar_t* PrivateDirectiveAppend(std::wstring& out, const wchar_t* p, va_list& args) {
    const wchar_t* pStart = p - 1;
    Directive directive;
    for (;; ++p) {
        if (*p == L'-')
            directive.bLeftAlign = true;
        else if (*p == L'0')
            directive.bZeroPad = true;
        else
            break;
    }
    for (; *p >= L'0' && *p <= L'9'; ++p)
        directive.Width = directive.Width * 10 + static_cast<unsigned>(*p - L'0');
    if (p[0] == L'h' && p[1] == L'h') { directive.Length = -2; p += 2; }
    else if (p[0] == L'h') { directive.Length = -1; p += 1; }
    else if (p[0] == L'l' && p[1] == L'l') { directive.Length = 2; p += 2; }
    else if (p[0] == L'l') { directive.Length = 1; p += 1; }

    switch (*p) {
    case L'd':
    case L'i': {
        int64_t value = PrivateSignedArgument(args, directive.Length);
        std::wstring text = PrivateDigits(value < 0 ? 0 - static_cast<uint64_t>(value)
                                                    : static_cast<uint64_t>(value), 10, false);
        PrivatePadAppend(out, value < 0 ? L"-" + text : text, directive, true);
        break;
    }
    case L'u':
    case L'x':
    case L'X': {
        uint64_t value = PrivateUnsignedArgument(args, directive.Length);
        PrivatePadAppend(out, PrivateDigits(value, *p == L'u' ? 10 : 16, *p == L'X'), directive, true);
        break;
    }
    case L'c':
        PrivatePadAppend(out, std::wstring(1, static_cast<wchar_t>(va_arg(args, int))), directive, false);
        break;
    case L's': {
        const wchar_t* pText = va_arg(args, const wchar_t*);
        PrivatePadAppend(out, pText != nullptr ? pText : L"(null)", directive, false);
        break;
    }
    case L'S': {
        const char* pText = va_arg(args, const char*);
        PrivatePadAppend(out, PrivateNarrowWiden(pText != nullptr ? pText : "(null)"), directive, false);
        break;
    }
    case L'%':
        out += L'%';
        break;
    default:  // unknown or cut-off directive: keep its text
        out.append(pStart, static_cast<size_t>(p - pStart));
        return p;
    }
    return p + 1;
}

}  // namespace

std::wstring SetupMessageFormat(const wchar_t* pFormat, va_list args) {
    std::wstring out;
    if (pFormat == nullptr)
        return out;
    va_list argsCopy;
    va_copy(argsCopy, args);
    for (const wchar_t* p = pFormat; *p != L'\0';) {
        if (*p != L'%') {
            out += *p++;
            continue;
        }
        p = PrivateDirectiveAppend(out, p + 1, argsCopy);
    }
    va_end(argsCopy);
    return out;
}
