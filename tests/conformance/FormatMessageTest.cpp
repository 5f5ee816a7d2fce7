// FormatMessageW with system texts, called as the library calls it
// (FROM_SYSTEM | IGNORE_INSERTS | ALLOCATE_BUFFER, language 0). Wine words
// most system texts its own way ("File not found." for 2); those cases are
// marked and their expectation flips under Wine.
#include <string>

#include <gtest/gtest.h>

#include "platform/PlatformInfo.h"
#include "platform/win32.h"

namespace {

struct MessageCase {
    DWORD dwCode;
    const wchar_t* pText;
    bool bWineWordsItsOwnWay;
};

constexpr DWORD kLibraryFlags =
    FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER;

std::wstring SystemText(DWORD dwCode, DWORD* pdwLength = nullptr) {
    LPWSTR pBuffer = nullptr;
    const DWORD dwLength = FormatMessageW(kLibraryFlags, nullptr, dwCode, 0, reinterpret_cast<LPWSTR>(&pBuffer), 0,
                                          nullptr);
    if (pdwLength != nullptr)
        *pdwLength = dwLength;
    if (dwLength == 0 || pBuffer == nullptr)
        return {};
    std::wstring Text(pBuffer);
    EXPECT_EQ(LocalFree(pBuffer), nullptr);
    return Text;
}

class FormatMessageTextTest : public ::testing::TestWithParam<MessageCase> {};

TEST_P(FormatMessageTextTest, SystemTextIsTheWindowsWording) {
    const MessageCase& Case = GetParam();
    DWORD dwLength = 0;
    const std::wstring Text = SystemText(Case.dwCode, &dwLength);
    ASSERT_GT(dwLength, 0u);
    EXPECT_EQ(dwLength, Text.size());
    EXPECT_EQ(Text.substr(Text.size() - 2), L"\r\n");
    if (PlatformIsWine() && Case.bWineWordsItsOwnWay)
        EXPECT_NE(Text, Case.pText) << "Wine deviation fixed: Wine now gives the Windows wording";
    else
        EXPECT_EQ(Text, Case.pText);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, FormatMessageTextTest,
    ::testing::Values(MessageCase{0, L"The operation completed successfully.\r\n", true},
                      MessageCase{1, L"Incorrect function.\r\n", true},
                      MessageCase{2, L"The system cannot find the file specified.\r\n", true},
                      MessageCase{3, L"The system cannot find the path specified.\r\n", true},
                      MessageCase{5, L"Access is denied.\r\n", true},
                      MessageCase{6, L"The handle is invalid.\r\n", true},
                      MessageCase{8, L"Not enough memory resources are available to process this command.\r\n", true},
                      MessageCase{13, L"The data is invalid.\r\n", true},
                      MessageCase{21, L"The device is not ready.\r\n", true},
                      MessageCase{31, L"A device attached to the system is not functioning.\r\n", true},
                      MessageCase{50, L"The request is not supported.\r\n", true},
                      MessageCase{87, L"The parameter is incorrect.\r\n", true},
                      MessageCase{122, L"The data area passed to a system call is too small.\r\n", true},
                      MessageCase{170, L"The requested resource is in use.\r\n", true},
                      MessageCase{183, L"Cannot create a file when that file already exists.\r\n", true},
                      MessageCase{259, L"No more data is available.\r\n", true},
                      MessageCase{1004, L"Invalid flags.\r\n", false},
                      MessageCase{1018, L"Illegal operation attempted on a registry key that has been marked for "
                                        L"deletion.\r\n", true},
                      MessageCase{1167, L"The device is not connected.\r\n", false},
                      MessageCase{1168, L"Element not found.\r\n", false},
                      MessageCase{1400, L"Invalid window handle.\r\n", false}),
    [](const auto& Info) { return "Code" + std::to_string(Info.param.dwCode); });

TEST(SystemMessage, WrappedWin32CodeGivesTheCodesText) {
    EXPECT_EQ(SystemText(0x80070005u), SystemText(5));
}

TEST(SystemMessage, UnknownCodeFailsWithMessageNotFound) {
    LPWSTR pBuffer = nullptr;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FormatMessageW(kLibraryFlags, nullptr, 0x2000FFFFu, 0, reinterpret_cast<LPWSTR>(&pBuffer), 0, nullptr),
              0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
    EXPECT_EQ(pBuffer, nullptr);
}

TEST(SystemMessage, CallersBufferMustHoldTextAndTerminator) {
    const std::wstring Expected = SystemText(2);
    ASSERT_FALSE(Expected.empty());
    WCHAR Small[8];
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 2, 0, Small, 8,
                             nullptr),
              0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    WCHAR Large[256];
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 2, 0, Large, 256,
                             nullptr),
              Expected.size());
    EXPECT_EQ(std::wstring(Large), Expected);
}

TEST(SystemMessage, MaxWidthMaskTurnsTheLineBreakIntoABlank) {
    const std::wstring Plain = SystemText(2);
    ASSERT_GE(Plain.size(), 2u);
    WCHAR Buffer[256];
    const DWORD dwLength = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                              FORMAT_MESSAGE_MAX_WIDTH_MASK,
                                          nullptr, 2, 0, Buffer, 256, nullptr);
    EXPECT_EQ(std::wstring(Buffer, dwLength), Plain.substr(0, Plain.size() - 2) + L" ");
}

}  // namespace
