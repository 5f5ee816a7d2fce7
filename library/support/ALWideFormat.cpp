#include "support/ALWideFormat.h"

#include <cstdint>

namespace {

// Widths and precisions beyond this are clamped; the buffer bounds the
// output long before.
constexpr int kFieldLimit = 1 << 20;

// The argument list travels by reference: va_list is an array on some ABIs
// and a plain pointer on others, so only a wrapper advances the same way on
// every build.
struct PrivateArguments {
    va_list List;
};

class PrivateWriter {
public:
    PrivateWriter(wchar_t* pBuffer, size_t BufferUnits) : m_pBuffer(pBuffer), m_Capacity(BufferUnits) {}

    void Put(wchar_t Unit) {
        if (m_Length + 1 < m_Capacity)
            m_pBuffer[m_Length++] = Unit;
    }
    void Repeat(wchar_t Unit, int Count) {
        for (int i = 0; i < Count && !Full(); ++i)
            Put(Unit);
    }
    bool Full() const { return m_Length + 1 >= m_Capacity; }
    size_t Finish() {
        if (m_Capacity != 0)
            m_pBuffer[m_Length] = L'\0';
        return m_Length;
    }

private:
    wchar_t* m_pBuffer;
    size_t m_Capacity;
    size_t m_Length = 0;
};

enum class PrivateLength { Default, Char, Short, Long, LongLong, Pointer };

struct PrivateDirective {
    bool bLeft = false;
    bool bZero = false;
    bool bPlus = false;
    bool bSpace = false;
    bool bAlternate = false;
    int Width = 0;
    int Precision = -1;  // none
    PrivateLength Length = PrivateLength::Default;
    bool bNarrowForced = false;  // h on a string or character
    bool bWideForced = false;    // l or w on a string or character
    wchar_t Conversion = 0;
};

bool PrivateIsDigit(wchar_t Unit) { return Unit >= L'0' && Unit <= L'9'; }

int PrivateNumberParse(const wchar_t*& pCursor) {
    int Value = 0;
    while (PrivateIsDigit(*pCursor)) {
        if (Value < kFieldLimit)
            Value = Value * 10 + (*pCursor - L'0');
        ++pCursor;
    }
    return Value < kFieldLimit ? Value : kFieldLimit;
}

void PrivateFlagsParse(const wchar_t*& pCursor, PrivateDirective& Directive) {
    for (;; ++pCursor) {
        switch (*pCursor) {
        case L'-': Directive.bLeft = true; break;
        case L'0': Directive.bZero = true; break;
        case L'+': Directive.bPlus = true; break;
        case L' ': Directive.bSpace = true; break;
        case L'#': Directive.bAlternate = true; break;
        default: return;
        }
    }
}

void PrivateWidthParse(const wchar_t*& pCursor, PrivateDirective& Directive, PrivateArguments& Arguments) {
    if (*pCursor == L'*') {
        ++pCursor;
        int Width = va_arg(Arguments.List, int);
        if (Width < 0) {
            Directive.bLeft = true;
            Width = Width < -kFieldLimit ? kFieldLimit : -Width;
        }
        Directive.Width = Width < kFieldLimit ? Width : kFieldLimit;
        return;
    }
    Directive.Width = PrivateNumberParse(pCursor);
}

void PrivatePrecisionParse(const wchar_t*& pCursor, PrivateDirective& Directive, PrivateArguments& Arguments) {
    if (*pCursor != L'.')
        return;
    ++pCursor;
    if (*pCursor == L'*') {
        ++pCursor;
        const int Precision = va_arg(Arguments.List, int);
        Directive.Precision = Precision < 0 ? -1 : (Precision < kFieldLimit ? Precision : kFieldLimit);
        return;
    }
    Directive.Precision = PrivateNumberParse(pCursor);
}

bool PrivateStartsWith(const wchar_t* pCursor, const wchar_t* pText) {
    for (; *pText != L'\0'; ++pText, ++pCursor)
        if (*pCursor != *pText)
            return false;
    return true;
}

void PrivateLengthParse(const wchar_t*& pCursor, PrivateDirective& Directive) {
    struct LengthWord {
        const wchar_t* pText;
        size_t Units;
        PrivateLength Length;
    };
    // Longest first, so that "hh" wins over "h" and "I64" over "I".
    static const LengthWord kWords[] = {
        {L"I64", 3, PrivateLength::LongLong}, {L"I32", 3, PrivateLength::Default},
        {L"hh", 2, PrivateLength::Char},      {L"ll", 2, PrivateLength::LongLong},
        {L"h", 1, PrivateLength::Short},      {L"l", 1, PrivateLength::Long},
        {L"w", 1, PrivateLength::Long},       {L"I", 1, PrivateLength::Pointer},
        {L"z", 1, PrivateLength::Pointer},    {L"t", 1, PrivateLength::Pointer},
        {L"j", 1, PrivateLength::LongLong},
    };
    for (const LengthWord& Word : kWords) {
        if (PrivateStartsWith(pCursor, Word.pText)) {
            pCursor += Word.Units;
            Directive.Length = Word.Length;
            Directive.bNarrowForced = Word.pText[0] == L'h';
            Directive.bWideForced = Word.pText[0] == L'l' || Word.pText[0] == L'w';
            return;
        }
    }
}

// Signed argument of the directive's size, sign-extended.
int64_t PrivateSignedRead(const PrivateDirective& Directive, PrivateArguments& Arguments) {
    switch (Directive.Length) {
    case PrivateLength::Char: return static_cast<signed char>(va_arg(Arguments.List, int));
    case PrivateLength::Short: return static_cast<short>(va_arg(Arguments.List, int));
    case PrivateLength::LongLong: return va_arg(Arguments.List, long long);
    case PrivateLength::Pointer: return va_arg(Arguments.List, intptr_t);
    default: return static_cast<int32_t>(va_arg(Arguments.List, int));
    }
}

// Unsigned argument of the directive's size, zero-extended.
uint64_t PrivateUnsignedRead(const PrivateDirective& Directive, PrivateArguments& Arguments) {
    switch (Directive.Length) {
    case PrivateLength::Char: return static_cast<unsigned char>(va_arg(Arguments.List, unsigned int));
    case PrivateLength::Short: return static_cast<unsigned short>(va_arg(Arguments.List, unsigned int));
    case PrivateLength::LongLong: return va_arg(Arguments.List, unsigned long long);
    case PrivateLength::Pointer: return va_arg(Arguments.List, uintptr_t);
    default: return static_cast<uint32_t>(va_arg(Arguments.List, unsigned int));
    }
}

struct PrivateNumber {
    uint64_t Magnitude = 0;
    bool bNegative = false;
    unsigned Base = 10;
    bool bUpper = false;
};

int PrivateDigitsRender(const PrivateNumber& Number, wchar_t* pDigits) {
    const wchar_t* pSymbols = Number.bUpper ? L"0123456789ABCDEF" : L"0123456789abcdef";
    int Count = 0;
    uint64_t Rest = Number.Magnitude;
    while (Rest != 0) {
        pDigits[Count++] = pSymbols[Rest % Number.Base];
        Rest /= Number.Base;
    }
    return Count;  // least significant first
}

void PrivateIntegerWrite(PrivateWriter& Writer, const PrivateDirective& Directive, const PrivateNumber& Number) {
    wchar_t Digits[24];
    const int DigitCount = PrivateDigitsRender(Number, Digits);
    // The precision is the minimum number of digits; with precision 0 the
    // value 0 prints no digit at all. Without a precision, at least one.
    int MinimumDigits = Directive.Precision >= 0 ? Directive.Precision : 1;
    if (Directive.bAlternate && Number.Base == 8 && MinimumDigits <= DigitCount)
        MinimumDigits = DigitCount + 1;  // the leading 0 of octal
    const int Zeros = MinimumDigits > DigitCount ? MinimumDigits - DigitCount : 0;

    wchar_t Prefix[3];
    int PrefixCount = 0;
    if (Number.bNegative)
        Prefix[PrefixCount++] = L'-';
    else if (Directive.bPlus)
        Prefix[PrefixCount++] = L'+';
    else if (Directive.bSpace)
        Prefix[PrefixCount++] = L' ';
    if (Directive.bAlternate && Number.Base == 16 && Number.Magnitude != 0) {
        Prefix[PrefixCount++] = L'0';
        Prefix[PrefixCount++] = Number.bUpper ? L'X' : L'x';
    }

    const int Body = PrefixCount + Zeros + DigitCount;
    const int Padding = Directive.Width > Body ? Directive.Width - Body : 0;
    const bool bZeroPad = Directive.bZero && !Directive.bLeft && Directive.Precision < 0;
    if (!Directive.bLeft && !bZeroPad)
        Writer.Repeat(L' ', Padding);
    for (int i = 0; i < PrefixCount; ++i)
        Writer.Put(Prefix[i]);
    if (bZeroPad)
        Writer.Repeat(L'0', Padding);
    Writer.Repeat(L'0', Zeros);
    for (int i = DigitCount - 1; i >= 0; --i)
        Writer.Put(Digits[i]);
    if (Directive.bLeft)
        Writer.Repeat(L' ', Padding);
}

// A string of either width, read unit by unit and never beyond the
// precision (the text need not be terminated within it).
template <typename Unit>
void PrivateStringWrite(PrivateWriter& Writer, const PrivateDirective& Directive, const Unit* pText) {
    static const Unit kNull[] = {'(', 'n', 'u', 'l', 'l', ')', 0};
    if (pText == nullptr)
        pText = kNull;
    int Length = 0;
    while ((Directive.Precision < 0 || Length < Directive.Precision) && pText[Length] != 0 && Length < kFieldLimit)
        ++Length;
    const int Padding = Directive.Width > Length ? Directive.Width - Length : 0;
    if (!Directive.bLeft)
        Writer.Repeat(L' ', Padding);
    for (int i = 0; i < Length && !Writer.Full(); ++i) {
        if constexpr (sizeof(Unit) == 1)
            Writer.Put(static_cast<wchar_t>(static_cast<unsigned char>(pText[i])));
        else
            Writer.Put(pText[i]);
    }
    if (Directive.bLeft)
        Writer.Repeat(L' ', Padding);
}

void PrivateCharacterWrite(PrivateWriter& Writer, const PrivateDirective& Directive, wchar_t Character) {
    const int Padding = Directive.Width > 1 ? Directive.Width - 1 : 0;
    if (!Directive.bLeft)
        Writer.Repeat(L' ', Padding);
    Writer.Put(Character);
    if (Directive.bLeft)
        Writer.Repeat(L' ', Padding);
}

bool PrivateIsNarrow(const PrivateDirective& Directive, bool bUpperLetter) {
    if (Directive.bNarrowForced)
        return true;
    if (Directive.bWideForced)
        return false;
    return bUpperLetter;  // %S and %C are narrow in a wide format
}

// Writes one parsed directive; false when the conversion is not supported.
bool PrivateDirectiveWrite(PrivateWriter& Writer, const PrivateDirective& Directive, PrivateArguments& Arguments) {
    PrivateNumber Number;
    switch (Directive.Conversion) {
    case L'd':
    case L'i': {
        const int64_t Value = PrivateSignedRead(Directive, Arguments);
        Number.bNegative = Value < 0;
        Number.Magnitude = Number.bNegative ? 0 - static_cast<uint64_t>(Value) : static_cast<uint64_t>(Value);
        PrivateIntegerWrite(Writer, Directive, Number);
        return true;
    }
    case L'u':
    case L'x':
    case L'X':
    case L'o': {
        Number.Magnitude = PrivateUnsignedRead(Directive, Arguments);
        Number.Base = Directive.Conversion == L'u' ? 10 : (Directive.Conversion == L'o' ? 8 : 16);
        Number.bUpper = Directive.Conversion == L'X';
        PrivateDirective Unsigned = Directive;
        Unsigned.bPlus = Unsigned.bSpace = false;
        PrivateIntegerWrite(Writer, Unsigned, Number);
        return true;
    }
    case L'p': {
        Number.Magnitude = reinterpret_cast<uintptr_t>(va_arg(Arguments.List, void*));
        Number.Base = 16;
        Number.bUpper = true;
        PrivateDirective Pointer;
        Pointer.bLeft = Directive.bLeft;
        Pointer.Width = Directive.Width;
        Pointer.Precision = static_cast<int>(2 * sizeof(void*));
        PrivateIntegerWrite(Writer, Pointer, Number);
        return true;
    }
    case L'c':
    case L'C': {
        const int Value = va_arg(Arguments.List, int);
        const wchar_t Character = PrivateIsNarrow(Directive, Directive.Conversion == L'C')
                                      ? static_cast<wchar_t>(static_cast<unsigned char>(Value))
                                      : static_cast<wchar_t>(Value);
        PrivateCharacterWrite(Writer, Directive, Character);
        return true;
    }
    case L's':
    case L'S':
        if (PrivateIsNarrow(Directive, Directive.Conversion == L'S'))
            PrivateStringWrite(Writer, Directive, va_arg(Arguments.List, const char*));
        else
            PrivateStringWrite(Writer, Directive, va_arg(Arguments.List, const wchar_t*));
        return true;
    default:
        return false;
    }
}

void PrivateRestWrite(PrivateWriter& Writer, const wchar_t* pCursor) {
    for (; *pCursor != L'\0' && !Writer.Full(); ++pCursor)
        Writer.Put(*pCursor);
}

}  // namespace

size_t ALWideFormatV(wchar_t* pBuffer, size_t BufferUnits, const wchar_t* pFormat, va_list Arguments) {
    PrivateWriter Writer(pBuffer, BufferUnits);
    if (pFormat == nullptr || BufferUnits == 0)
        return Writer.Finish();
    PrivateArguments Rest;
    va_copy(Rest.List, Arguments);
    const wchar_t* pCursor = pFormat;
    while (*pCursor != L'\0' && !Writer.Full()) {
        if (*pCursor != L'%') {
            Writer.Put(*pCursor++);
            continue;
        }
        const wchar_t* pDirectiveStart = pCursor++;
        if (*pCursor == L'%') {
            Writer.Put(*pCursor++);
            continue;
        }
        PrivateDirective Directive;
        PrivateFlagsParse(pCursor, Directive);
        PrivateWidthParse(pCursor, Directive, Rest);
        PrivatePrecisionParse(pCursor, Directive, Rest);
        PrivateLengthParse(pCursor, Directive);
        Directive.Conversion = *pCursor;
        if (Directive.Conversion == L'\0' || !PrivateDirectiveWrite(Writer, Directive, Rest)) {
            PrivateRestWrite(Writer, pDirectiveStart);
            break;
        }
        ++pCursor;
    }
    va_end(Rest.List);
    return Writer.Finish();
}

size_t ALWideFormat(wchar_t* pBuffer, size_t BufferUnits, const wchar_t* pFormat, ...) {
    va_list Arguments;
    va_start(Arguments, pFormat);
    const size_t Written = ALWideFormatV(pBuffer, BufferUnits, pFormat, Arguments);
    va_end(Arguments);
    return Written;
}
