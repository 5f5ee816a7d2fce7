#include "SystemMessageTable.h"

namespace {

struct SystemMessage {
    DWORD dwCode;
    const wchar_t* pText;
};

constexpr SystemMessage kMessages[] = {
    {0, L"The operation completed successfully.\r\n"},
    {1, L"Incorrect function.\r\n"},
    {2, L"The system cannot find the file specified.\r\n"},
    {3, L"The system cannot find the path specified.\r\n"},
    {4, L"The system cannot open the file.\r\n"},
    {5, L"Access is denied.\r\n"},
    {6, L"The handle is invalid.\r\n"},
    {8, L"Not enough memory resources are available to process this command.\r\n"},
    {13, L"The data is invalid.\r\n"},
    {14, L"Not enough memory resources are available to complete this operation.\r\n"},
    {18, L"There are no more files.\r\n"},
    {21, L"The device is not ready.\r\n"},
    {31, L"A device attached to the system is not functioning.\r\n"},
    {32, L"The process cannot access the file because it is being used by another process.\r\n"},
    {38, L"Reached the end of the file.\r\n"},
    {50, L"The request is not supported.\r\n"},
    {80, L"The file exists.\r\n"},
    {87, L"The parameter is incorrect.\r\n"},
    {120, L"This function is not supported on this system.\r\n"},
    {122, L"The data area passed to a system call is too small.\r\n"},
    {123, L"The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {126, L"The specified module could not be found.\r\n"},
    {127, L"The specified procedure could not be found.\r\n"},
    {161, L"The specified path is invalid.\r\n"},
    {170, L"The requested resource is in use.\r\n"},
    {183, L"Cannot create a file when that file already exists.\r\n"},
    {234, L"More data is available.\r\n"},
    {259, L"No more data is available.\r\n"},
    {267, L"The directory name is invalid.\r\n"},
    {317, L"The system cannot find message text for message number 0x%1 in the message file for %2.\r\n"},
    {740, L"The requested operation requires elevation.\r\n"},
    {995, L"The I/O operation has been aborted because of either a thread exit or an application request.\r\n"},
    {997, L"Overlapped I/O operation is in progress.\r\n"},
    {998, L"Invalid access to memory location.\r\n"},
    {1004, L"Invalid flags.\r\n"},
    {1010, L"The configuration registry key is invalid.\r\n"},
    {1011, L"The configuration registry key could not be opened.\r\n"},
    {1012, L"The configuration registry key could not be read.\r\n"},
    {1013, L"The configuration registry key could not be written.\r\n"},
    {1018, L"Illegal operation attempted on a registry key that has been marked for deletion.\r\n"},
    {1060, L"The specified service does not exist as an installed service.\r\n"},
    {1167, L"The device is not connected.\r\n"},
    {1168, L"Element not found.\r\n"},
    {1305, L"The revision level is unknown.\r\n"},
    {1306, L"Indicates two revision levels are incompatible.\r\n"},
    {1307, L"This security ID may not be assigned as the owner of this object.\r\n"},
    {1314, L"A required privilege is not held by the client.\r\n"},
    {1332, L"No mapping between account names and security IDs was done.\r\n"},
    {1336, L"The access control list (ACL) structure is invalid.\r\n"},
    {1337, L"The security ID structure is invalid.\r\n"},
    {1338, L"The security descriptor structure is invalid.\r\n"},
    {1344, L"No more memory is available for security information updates.\r\n"},
    {1400, L"Invalid window handle.\r\n"},
    {1460, L"This operation returned because the timeout period expired.\r\n"},
    {1617, L"The device has been removed.\r\n"},
    {1815, L"The specified resource language ID cannot be found in the image file.\r\n"},
};

constexpr DWORD kWin32FacilityMask = 0xFFFF0000u;
constexpr DWORD kWin32FacilityHresult = 0x80070000u;

}  // namespace

const wchar_t* SystemMessageTable::TextFind(DWORD dwMessageId) {
    if ((dwMessageId & kWin32FacilityMask) == kWin32FacilityHresult)
        dwMessageId &= 0xFFFFu;
    for (const SystemMessage& Message : kMessages)
        if (Message.dwCode == dwMessageId)
            return Message.pText;
    return nullptr;
}
