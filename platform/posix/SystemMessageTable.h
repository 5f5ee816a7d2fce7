// The system's English message texts for the Win32 error codes that this
// system and its simulated drivers produce, worded as Windows words them.
#pragma once

#include "win32_base.h"

class SystemMessageTable {
public:
    // The text with its trailing "\r\n", or null for a code without one.
    // Error codes wrapped in an HRESULT (0x8007xxxx) find the code's text.
    static const wchar_t* TextFind(DWORD dwMessageId);
};
