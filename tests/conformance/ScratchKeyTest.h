// Fixture for registry conformance tests: a scratch key
// HKLM\Software\NimboConformance, created empty for each test and deleted
// with everything below it afterwards (Wine runs as an administrator; the
// simulated platform's caller is one by default).
#pragma once

#include <gtest/gtest.h>

#include "platform/win32.h"

class ScratchKeyTest : public ::testing::Test {
protected:
    static constexpr const wchar_t* kScratchPath = L"Software\\NimboConformance";

    void SetUp() override {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kScratchPath);
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kScratchPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &m_hScratch, nullptr),
                  ERROR_SUCCESS);
    }

    void TearDown() override {
        if (m_hScratch != nullptr)
            RegCloseKey(m_hScratch);
        EXPECT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, kScratchPath), ERROR_SUCCESS);
    }

    // Creates (or opens) a key below the scratch key; the caller closes it.
    HKEY KeyCreate(const wchar_t* pPath, LPSECURITY_ATTRIBUTES pAttributes = nullptr,
                   DWORD* pdwDisposition = nullptr) {
        HKEY hKey = nullptr;
        EXPECT_EQ(RegCreateKeyExW(m_hScratch, pPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  pAttributes, &hKey, pdwDisposition),
                  ERROR_SUCCESS);
        return hKey;
    }

    HKEY m_hScratch = nullptr;
};
