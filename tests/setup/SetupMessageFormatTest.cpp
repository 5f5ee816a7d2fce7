// The wide formatter of the setup log: the Windows directives the texts use.
#include <gtest/gtest.h>

#include <cstdarg>

#include "SetupMessageFormat.h"

namespace {

std::wstring Format(const wchar_t* pFormat, ...) {
    va_list args;
    va_start(args, pFormat);
    std::wstring text = SetupMessageFormat(pFormat, args);
    va_end(args);
    return text;
}

TEST(SetupMessageFormat, WideAndNarrowStrings) {
    EXPECT_EQ(Format(L"%s|%S", L"wide", "narrow"), L"wide|narrow");
    EXPECT_EQ(Format(L"Build: %S %S\n", "Nov 29 2018", "11:51:54"), L"Build: Nov 29 2018 11:51:54\n");
    EXPECT_EQ(Format(L"[%s]", static_cast<const wchar_t*>(nullptr)), L"[(null)]");
}

TEST(SetupMessageFormat, IntegersAsWin32CodesPrintThem) {
    EXPECT_EQ(Format(L"failed %d\n", 2), L"failed 2\n");
    EXPECT_EQ(Format(L"%d", static_cast<int>(0xE000023D)), L"-536870339");
    EXPECT_EQ(Format(L"%u %x %X", 7u, 255u, 255u), L"7 ff FF");
    EXPECT_EQ(Format(L"%5d|%-3d|%03d", 42, 7, -5), L"   42|7  |-05");
}

TEST(SetupMessageFormat, GuidDirectivesUseWindowsLengths) {
    // l is 32 bits (Windows' long), h 16, hh 8: extra bits are dropped.
    EXPECT_EQ(Format(L"{%08lX-%04hX-%02hhX}", 0x4D36E968u, 0xE325, 0x1BF), L"{4D36E968-E325-BF}");
    EXPECT_EQ(Format(L"%08lX", 0x18u), L"00000018");
}

TEST(SetupMessageFormat, PercentAndUnknownDirectives) {
    EXPECT_EQ(Format(L"100%% %q done"), L"100% %q done");
    EXPECT_EQ(Format(L"cut %"), L"cut %");
}

TEST(SetupMessageFormat, LongMessageIsKeptWhole) {
    std::wstring path(3000, L'x');
    std::wstring text = Format(L"[%s] %d", path.c_str(), 7);
    EXPECT_EQ(text, L"[" + path + L"] 7");
}

}  // namespace
