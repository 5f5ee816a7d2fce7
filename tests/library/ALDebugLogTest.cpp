#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <thread>
#include <vector>

#include "DebugLevelScope.h"
#include "LogLine.h"
#include "platform/DebugCapture.h"
#include "platform/win32.h"
#include "support/ALDebugLog.h"

namespace {

TEST(ALDebugPrint, WritesPrefixAndMessageInOneLine) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    ALDebugPrint(AL_DEBUG_ERROR, L"ALDebugLogTest::Print failed! %s %d %S\n", L"wide", 42, "narrow");
    EXPECT_EQ(Capture.Lines(), std::vector<std::wstring>{LogLine(L"ALDebugLogTest::Print failed! wide 42 narrow\n")});
}

TEST(ALDebugPrint, AddsNoLineEnd) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    ALDebugPrint(AL_DEBUG_ERROR, L"runs on");
    ALDebugPrint(AL_DEBUG_ERROR, L" next\n");
    EXPECT_EQ(Capture.Lines(), (std::vector<std::wstring>{LogLine(L"runs on"), LogLine(L" next\n")}));
}

struct FilterCase {
    DWORD Setting;
    int32_t MessageLevel;
    bool bWritten;
};

const FilterCase kFilterCases[] = {
    {0x01, AL_DEBUG_ERROR, true},
    {0x01, AL_DEBUG_THREAD, false},
    {0x01, AL_DEBUG_ERROR | AL_DEBUG_THREAD, true},
    {0x04, AL_DEBUG_ERROR | AL_DEBUG_THREAD, true},
    {0x02, AL_DEBUG_ERROR | AL_DEBUG_THREAD, false},
    {0x40, AL_DEBUG_ERROR | AL_DEBUG_PNP, true},
    {0x20, AL_DEBUG_DRIVER_CONTROL, true},
    {0x5E, AL_DEBUG_ERROR, false},
    {0xFFFFFFFF, AL_DEBUG_EVENT_COUNTERS, true},
    {0x08, AL_DEBUG_ALL, true},
    {0, AL_DEBUG_ERROR, false},
    {0, AL_DEBUG_ALL, false},
};

class ALDebugPrintFilterTest : public ::testing::TestWithParam<FilterCase> {};

// A message is written when its level shares a bit with the setting.
TEST_P(ALDebugPrintFilterTest, WritesWhenABitIsShared) {
    const FilterCase& Case = GetParam();
    DebugLevelScope Level(Case.Setting);
    DebugCapture Capture;
    ALDebugPrint(Case.MessageLevel, L"filtered %d\n", 1);
    const std::vector<std::wstring> Expected =
        Case.bWritten ? std::vector<std::wstring>{LogLine(L"filtered 1\n")} : std::vector<std::wstring>{};
    EXPECT_EQ(Capture.Lines(), Expected) << "setting 0x" << std::hex << Case.Setting << " message 0x"
                                         << Case.MessageLevel;
}

INSTANTIATE_TEST_SUITE_P(Table, ALDebugPrintFilterTest, ::testing::ValuesIn(kFilterCases));

// Filtering comes before formatting: an argument that formatting would
// dereference is never touched when the level does not match.
TEST(ALDebugPrint, FiltersBeforeFormatting) {
    DebugLevelScope Level(AL_DEBUG_THREAD);
    DebugCapture Capture;
    const auto* pUnreadable = reinterpret_cast<const wchar_t*>(uintptr_t{16});
    ALDebugPrint(AL_DEBUG_ERROR, L"%s\n", pUnreadable);
    EXPECT_TRUE(Capture.Lines().empty());
}

TEST(ALDebugPrint, CutsLongMessagesToTheLineBuffer) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    const std::wstring Long(5000, L'x');
    ALDebugPrint(AL_DEBUG_ERROR, L"%s\n", Long.c_str());
    const std::vector<std::wstring> Lines = Capture.Lines();
    ASSERT_EQ(Lines.size(), 1u);
    const std::wstring Prefix = LogLine(L"");
    EXPECT_EQ(Lines[0].size(), AL_DEBUG_LINE_UNITS - 1);
    EXPECT_EQ(Lines[0], Prefix + std::wstring(AL_DEBUG_LINE_UNITS - 1 - Prefix.size(), L'x'));
}

TEST(ALDebugPrint, KeepsTheCallersLastError) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    SetLastError(1234);
    ALDebugPrint(AL_DEBUG_ERROR, L"last error\n");
    EXPECT_EQ(GetLastError(), 1234u);
    EXPECT_EQ(Capture.Lines().size(), 1u);
}

// Each call is one whole line with its own thread's id, whatever the other
// threads write meanwhile.
TEST(ALDebugPrint, LinesOfThreadsStayWhole) {
    DebugLevelScope Level(AL_DEBUG_THREAD);
    DebugCapture Capture;
    constexpr int kThreads = 4;
    constexpr int kLinesEach = 50;
    std::vector<std::wstring> Expected;
    std::vector<DWORD> ThreadIds(kThreads);
    std::vector<std::thread> Threads;
    for (int t = 0; t < kThreads; ++t) {
        Threads.emplace_back([t, &ThreadIds] {
            ThreadIds[t] = GetCurrentThreadId();
            for (int i = 0; i < kLinesEach; ++i)
                ALDebugPrint(AL_DEBUG_THREAD, L"thread %d line %d of a longer text\n", t, i);
        });
    }
    for (std::thread& Thread : Threads)
        Thread.join();
    std::vector<std::wstring> Lines = Capture.Lines();
    ASSERT_EQ(Lines.size(), size_t{kThreads * kLinesEach});
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kLinesEach; ++i)
            Expected.push_back(LogLine(L"thread " + std::to_wstring(t) + L" line " + std::to_wstring(i) +
                                           L" of a longer text\n",
                                       ThreadIds[t]));
    std::sort(Lines.begin(), Lines.end());
    std::sort(Expected.begin(), Expected.end());
    EXPECT_EQ(Lines, Expected);
}

TEST(ALDebugHeaderPrint, WritesNothingWhenTheLevelIsZero) {
    DebugLevelScope Level(0);
    DebugCapture Capture;
    ALDebugHeaderPrint();
    EXPECT_TRUE(Capture.Lines().empty());
}

std::wstring TwoDigits(WORD Value) {
    return (Value < 10 ? L"0" : L"") + std::to_wstring(Value);
}

std::wstring CallLine(const SYSTEMTIME& Time) {
    return L"| Call:  " + TwoDigits(Time.wMonth) + L"." + TwoDigits(Time.wDay) + L". " + std::to_wstring(Time.wYear) +
           L"  " + TwoDigits(Time.wHour) + L":" + TwoDigits(Time.wMinute) + L":" + TwoDigits(Time.wSecond) + L"\n";
}

// "| Build: May 16 2018 09:05:03\n" as the compiler stamps it.
bool IsBuildLine(const std::wstring& Line) {
    const std::wstring Head = L"| Build: ";
    if (Line.size() != Head.size() + 11 + 1 + 8 + 1 || Line.compare(0, Head.size(), Head) != 0)
        return false;
    const std::wstring Stamp = Line.substr(Head.size());
    const wchar_t* pShape = L"Aaa dd dddd dd:dd:dd\n";  // A upper, a lower, d digit (day may be blank-led)
    for (size_t i = 0; i < Stamp.size(); ++i) {
        const wchar_t Unit = Stamp[i];
        switch (pShape[i]) {
        case L'A': if (!std::iswupper(Unit)) return false; break;
        case L'a': if (!std::iswlower(Unit)) return false; break;
        case L'd': if (!std::iswdigit(Unit) && !(i == 4 && Unit == L' ')) return false; break;
        default: if (Unit != pShape[i]) return false; break;
        }
    }
    return true;
}

TEST(ALDebugHeaderPrint, WritesBannerBuildAndCallLines) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    SYSTEMTIME Before;
    GetLocalTime(&Before);
    ALDebugHeaderPrint();
    SYSTEMTIME After;
    GetLocalTime(&After);

    const std::vector<std::wstring> Lines = Capture.Lines();
    ASSERT_EQ(Lines.size(), 10u);
    const std::wstring Prefix = LogLine(L"");
    for (const std::wstring& Line : Lines) {
        ASSERT_EQ(Line.compare(0, Prefix.size(), Prefix), 0) << "no prefix: " << ::testing::PrintToString(Line);
        EXPECT_EQ(Line.back(), L'\n');
    }
    auto Message = [&](size_t Index) { return Lines[Index].substr(Prefix.size()); };
    const std::wstring Rule = L" " + std::wstring(64, L'-') + L"\n";
    for (size_t i = 0; i < 5; ++i)
        EXPECT_GT(Message(i).size(), 1u) << "banner line " << i;
    EXPECT_EQ(Message(5), Rule);
    EXPECT_EQ(Message(6), L"| quillark Nimbo Service API\n");
    EXPECT_TRUE(IsBuildLine(Message(7))) << ::testing::PrintToString(Message(7));
    EXPECT_TRUE(Message(8) == CallLine(Before) || Message(8) == CallLine(After))
        << ::testing::PrintToString(Message(8)) << " vs " << ::testing::PrintToString(CallLine(Before));
    EXPECT_EQ(Message(9), Rule);
}

// Puts a DebugLevelAL value of its own under the service key for one test
// and restores what was there before.
class LevelValueScope {
public:
    LevelValueScope() {
        DWORD Disposition = 0;
        m_Status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kServiceKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                   nullptr, &m_hKey, &Disposition);
        m_bKeyCreated = Disposition == REG_CREATED_NEW_KEY;
        if (m_Status != ERROR_SUCCESS)
            return;
        DWORD Size = sizeof(m_Previous);
        m_bHadValue = RegQueryValueExW(m_hKey, kValueName, nullptr, &m_PreviousType, m_Previous, &Size) == ERROR_SUCCESS;
        m_PreviousSize = Size;
        RegDeleteValueW(m_hKey, kValueName);
    }
    ~LevelValueScope() {
        if (m_Status != ERROR_SUCCESS)
            return;
        if (m_bHadValue)
            RegSetValueExW(m_hKey, kValueName, 0, m_PreviousType, m_Previous, m_PreviousSize);
        else
            RegDeleteValueW(m_hKey, kValueName);
        RegCloseKey(m_hKey);
        if (m_bKeyCreated)
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, kServiceKey);
    }
    LevelValueScope(const LevelValueScope&) = delete;
    LevelValueScope& operator=(const LevelValueScope&) = delete;

    LSTATUS Status() const { return m_Status; }
    LSTATUS ValueSet(DWORD Type, const std::vector<BYTE>& Bytes) {
        return RegSetValueExW(m_hKey, kValueName, 0, Type, Bytes.data(), static_cast<DWORD>(Bytes.size()));
    }

private:
    static constexpr const wchar_t* kServiceKey = L"SYSTEM\\CurrentControlSet\\Services\\vantorService";
    static constexpr const wchar_t* kValueName = L"DebugLevelAL";
    LSTATUS m_Status = ERROR_INVALID_HANDLE;
    HKEY m_hKey = nullptr;
    bool m_bKeyCreated = false;
    bool m_bHadValue = false;
    DWORD m_PreviousType = 0;
    BYTE m_Previous[64] = {};
    DWORD m_PreviousSize = 0;
};

struct LevelReadCase {
    const char* Name;
    bool bValuePresent;
    DWORD Type;
    std::vector<BYTE> Bytes;
    DWORD ExpectedLevel;
};

const LevelReadCase kLevelReadCases[] = {
    {"missing", false, REG_NONE, {}, 0},
    {"dword", true, REG_DWORD, {0x05, 0x00, 0x00, 0x00}, 0x05},
    {"dword all bits", true, REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFFFF},
    {"zero", true, REG_DWORD, {0x00, 0x00, 0x00, 0x00}, 0},
    {"two bytes, lowest first", true, REG_BINARY, {0x21, 0x01}, 0x0121},
    {"more than four bytes", true, REG_BINARY, {1, 2, 3, 4, 5, 6, 7, 8}, 0},
};

class ALDebugLevelReadTest : public ::testing::TestWithParam<LevelReadCase> {};

// The level comes from the registry; when it is 0 nothing at all is
// written, the header and the read's own failure texts included.
TEST_P(ALDebugLevelReadTest, ReadsTheLevelAndGatesTheHeader) {
    const LevelReadCase& Case = GetParam();
    DebugLevelScope Level(0x12345678);
    LevelValueScope Value;
    ASSERT_EQ(Value.Status(), ERROR_SUCCESS);
    if (Case.bValuePresent) {
        ASSERT_EQ(Value.ValueSet(Case.Type, Case.Bytes), ERROR_SUCCESS);
    }
    DebugCapture Capture;
    ALDebugLevelRead();
    EXPECT_EQ(DebugLevelAL, Case.ExpectedLevel) << Case.Name;
    ALDebugHeaderPrint();
    EXPECT_EQ(Capture.Lines().size(), Case.ExpectedLevel != 0 ? 10u : 0u) << Case.Name;
}

INSTANTIATE_TEST_SUITE_P(Table, ALDebugLevelReadTest, ::testing::ValuesIn(kLevelReadCases));

}  // namespace
