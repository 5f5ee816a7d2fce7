#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstdint>
#include <cwchar>
#include <string>

#include "support/ALWideFormat.h"

namespace {

template <typename... Arguments>
std::wstring Format(const wchar_t* pFormat, Arguments... Values) {
    wchar_t Buffer[256];
    const size_t Written = ALWideFormat(Buffer, 256, pFormat, Values...);
    EXPECT_EQ(Written, std::wcslen(Buffer));
    return Buffer;
}

struct FormatCase {
    const char* Name;
    const wchar_t* Expected;
    std::wstring (*Render)();
};

std::wstring PointerExpected() {
    return sizeof(void*) == 8 ? L"0000000000001234" : L"00001234";
}

const FormatCase kFormatCases[] = {
    // integers
    {"decimal", L"42", [] { return Format(L"%d", 42); }},
    {"negative decimal", L"-42", [] { return Format(L"%d", -42); }},
    {"smallest int", L"-2147483648", [] { return Format(L"%d", INT_MIN); }},
    {"i as d", L"7", [] { return Format(L"%i", 7); }},
    {"unsigned", L"4294967295", [] { return Format(L"%u", 4294967295u); }},
    {"unsigned of minus one", L"4294967295", [] { return Format(L"%u", -1); }},
    {"hex lower", L"beef", [] { return Format(L"%x", 0xBEEF); }},
    {"hex upper", L"BEEF", [] { return Format(L"%X", 0xbeef); }},
    {"hresult", L"0x80004005", [] { return Format(L"0x%x", static_cast<int32_t>(0x80004005)); }},
    {"alternate hex", L"0xff 0XFF 0", [] { return Format(L"%#x %#X %#x", 255, 255, 0); }},
    {"octal", L"17 017", [] { return Format(L"%o %#o", 15, 15); }},
    // width, zero pad, precision, flags
    {"zero pad", L"0012", [] { return Format(L"%04d", 12); }},
    {"zero pad wider value", L"12345", [] { return Format(L"%04d", 12345); }},
    {"zero pad negative", L"-005", [] { return Format(L"%04d", -5); }},
    {"precision two digits", L"05", [] { return Format(L"%.02d", 5); }},
    {"precision wider value", L"2018", [] { return Format(L"%.02d", 2018); }},
    {"precision zero of zero", L"[]", [] { return Format(L"[%.0d]", 0); }},
    {"width", L"   42", [] { return Format(L"%5d", 42); }},
    {"left align", L"42   |", [] { return Format(L"%-5d|", 42); }},
    {"left beats zero", L"42   |", [] { return Format(L"%-05d|", 42); }},
    {"precision beats zero", L"  007", [] { return Format(L"%05.3d", 7); }},
    {"plus and blank", L"+5| 5|-5", [] { return Format(L"%+d|% d|%+d", 5, 5, -5); }},
    {"star width", L"    42", [] { return Format(L"%*d", 6, 42); }},
    {"negative star width", L"42  |", [] { return Format(L"%*d|", -4, 42); }},
    {"star precision", L"007", [] { return Format(L"%.*d", 3, 7); }},
    // length modifiers
    {"short hex", L"2345", [] { return Format(L"%hX", 0x12345); }},
    {"short hex padded", L"001A", [] { return Format(L"%04hX", 0x1A); }},
    {"char hex", L"AB", [] { return Format(L"%02hhX", 0x1AB); }},
    {"char hex padded", L"0F", [] { return Format(L"%02hhX", 0x0F); }},
    {"char signed", L"-1", [] { return Format(L"%hhd", 255); }},
    {"short signed", L"-1", [] { return Format(L"%hd", 65535); }},
    {"long is 32 bits", L"DEADBEEF", [] { return Format(L"%lX", 0xDEADBEEFu); }},
    {"long padded", L"00001A2B", [] { return Format(L"%08lX", 0x1A2Bu); }},
    {"long long unsigned", L"18446744073709551615", [] { return Format(L"%llu", ULLONG_MAX); }},
    {"long long smallest", L"-9223372036854775808", [] { return Format(L"%lld", LLONG_MIN); }},
    {"I64 hex", L"123456789ABCDEF0", [] { return Format(L"%I64X", 0x123456789ABCDEF0ull); }},
    {"I64 signed", L"-1", [] { return Format(L"%I64d", -1ll); }},
    {"size", L"123456 654321", [] { return Format(L"%zu %Iu", size_t{123456}, size_t{654321}); }},
    {"64-bit then 32-bit", L"4294967296 7", [] { return Format(L"%llu %d", 4294967296ull, 7); }},
    {"guid",
     L"{017F0AC2-A4DE-4694-ABAD-ACC3E0A159D3}",
     [] {
         const uint8_t b[8] = {0xAB, 0xAD, 0xAC, 0xC3, 0xE0, 0xA1, 0x59, 0xD3};
         return Format(L"{%08lX-%04hX-%04hX-%02hhX%02hhX-%02hhX%02hhX%02hhX%02hhX%02hhX%02hhX}", 0x017F0AC2u,
                       uint16_t{0xA4DE}, uint16_t{0x4694}, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7]);
     }},
    // strings and characters: the letter's case selects the width
    {"wide string", L"wide", [] { return Format(L"%s", L"wide"); }},
    {"narrow string", L"narrow", [] { return Format(L"%S", "narrow"); }},
    {"both widths", L"wide|narrow", [] { return Format(L"%s|%S", L"wide", "narrow"); }},
    {"forced widths", L"n w w", [] { return Format(L"%hs %ls %ws", "n", L"w", L"w"); }},
    {"null wide", L"(null)", [] { return Format(L"%s", static_cast<const wchar_t*>(nullptr)); }},
    {"null narrow", L"(null)", [] { return Format(L"%S", static_cast<const char*>(nullptr)); }},
    {"string precision", L"abc", [] { return Format(L"%.3s", L"abcdef"); }},
    {"string width", L"    wide|", [] { return Format(L"%8s|", L"wide"); }},
    {"string left", L"ab      |", [] { return Format(L"%-8S|", "ab"); }},
    {"narrow byte to unit", L"caf\u00e9", [] { return Format(L"%S", "caf\xe9"); }},
    {"wide and narrow character", L"Wn", [] { return Format(L"%c%C", L'W', 'n'); }},
    {"character width", L"  W", [] { return Format(L"%3c", L'W'); }},
    // percent, pointer, unsupported
    {"percent", L"100% done", [] { return Format(L"100%% done"); }},
    {"pointer", nullptr, [] { return Format(L"%p", reinterpret_cast<void*>(uintptr_t{0x1234})); }},
    {"unsupported directive ends formatting", L"7 %f|%d", [] { return Format(L"%d %f|%d", 7, 1.5, 8); }},
    {"no conversion letter", L"abc%", [] { return Format(L"abc%"); }},
    {"no %n", L"x%n", [] {
         int Count = 0;
         return Format(L"x%n", &Count);
     }},
    // the log prefix
    {"prefix", L"AL [0012:0345]:", [] { return Format(L"AL [%04d:%04d]:", 12, 345); }},
    {"prefix long ids", L"AL [123456:0345]:", [] { return Format(L"AL [%04d:%04d]:", 123456, 345); }},
};

// Test names from the case names: letters and digits only.
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& Info) {
    std::string Name;
    for (const char* p = Info.param.Name; *p != '\0'; ++p)
        Name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return Name;
}

class ALWideFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(ALWideFormatTest, RendersAsWindowsDoes) {
    const FormatCase& Case = GetParam();
    const std::wstring Expected = Case.Expected != nullptr ? Case.Expected : PointerExpected();
    EXPECT_EQ(Case.Render(), Expected) << Case.Name;
}

INSTANTIATE_TEST_SUITE_P(Table, ALWideFormatTest, ::testing::ValuesIn(kFormatCases), CaseName<FormatCase>);

struct TruncationCase {
    const char* Name;
    size_t BufferUnits;
    const wchar_t* pFormat;
    const wchar_t* pText;
    int Number;
    const wchar_t* Expected;
};

const TruncationCase kTruncationCases[] = {
    {"fits exactly", 9, L"%s", L"abcdefgh", 0, L"abcdefgh"},
    {"string cut", 5, L"%s", L"abcdefgh", 0, L"abcd"},
    {"number cut", 4, L"%s%d", L"", 123456, L"123"},
    {"padding cut", 4, L"%s%10d", L"", 1, L"   "},
    {"literal cut", 3, L"xyz%s", L"", 0, L"xy"},
    {"terminator only", 1, L"%s", L"abc", 0, L""},
};

class ALWideFormatTruncationTest : public ::testing::TestWithParam<TruncationCase> {};

// Output stops at the buffer's end, always terminated, and not one unit
// beyond the given size is touched.
TEST_P(ALWideFormatTruncationTest, StaysInsideTheBuffer) {
    const TruncationCase& Case = GetParam();
    wchar_t Buffer[32];
    for (wchar_t& Unit : Buffer)
        Unit = L'#';
    const size_t Written = ALWideFormat(Buffer, Case.BufferUnits, Case.pFormat, Case.pText, Case.Number);
    EXPECT_EQ(std::wstring(Buffer), Case.Expected) << Case.Name;
    EXPECT_EQ(Written, std::wcslen(Case.Expected)) << Case.Name;
    for (size_t i = Case.BufferUnits; i < 32; ++i)
        EXPECT_EQ(Buffer[i], L'#') << Case.Name << " unit " << i;
}

INSTANTIATE_TEST_SUITE_P(Table, ALWideFormatTruncationTest, ::testing::ValuesIn(kTruncationCases),
                         CaseName<TruncationCase>);

TEST(ALWideFormat, EmptyBufferIsLeftAlone) {
    wchar_t Unit = L'#';
    EXPECT_EQ(ALWideFormat(&Unit, 0, L"%s", L"abc"), 0u);
    EXPECT_EQ(Unit, L'#');
}

// The precision bounds the read: the text need not be terminated.
TEST(ALWideFormat, PrecisionBoundsTheStringRead) {
    const wchar_t Wide[3] = {L'a', L'b', L'c'};
    const char Narrow[2] = {'d', 'e'};
    EXPECT_EQ(Format(L"%.*s|%.*S", 3, Wide, 2, Narrow), L"abc|de");
}

}  // namespace
