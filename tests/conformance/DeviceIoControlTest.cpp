// Device files and device notifications: the rules of the Win32
// documentation that the driver access classes rely on when no driver is
// there or a handle is not a device.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32.h"

namespace {

constexpr DWORD kCode = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x20, METHOD_OUT_DIRECT, FILE_READ_ACCESS);

TEST(DeviceFile, MissingDeviceIsFileNotFound) {
    SetLastError(0xdeadbeef);
    HANDLE hDevice = CreateFileW(L"\\\\.\\NimboNoSuchControlDevice", GENERIC_ALL, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(hDevice, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(DeviceFile, ControlCodeLayout) {
    EXPECT_EQ(kCode, 0x00224082u);
    EXPECT_EQ(CTL_CODE(FILE_DEVICE_UNKNOWN, 0x813, METHOD_OUT_DIRECT, FILE_READ_ACCESS), 0x0022604Eu);
}

TEST(DeviceFile, RequestOnHandlesThatAreNoDeviceFails) {
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE hClosed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(CloseHandle(hClosed));
    for (HANDLE hHandle : {INVALID_HANDLE_VALUE, hEvent, hClosed}) {
        uint8_t Output[8] = {};
        DWORD BytesReturned = 0;
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(DeviceIoControl(hHandle, kCode, nullptr, 0, Output, sizeof(Output), &BytesReturned, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
    CloseHandle(hEvent);
}

TEST(DeviceNotification, BroadcastRecordLayouts) {
    EXPECT_EQ(sizeof(DEV_BROADCAST_HDR), 12u);
    EXPECT_EQ(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W), 32u);
    EXPECT_EQ(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_classguid), 12u);
    EXPECT_EQ(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name), 28u);
    EXPECT_EQ(offsetof(DEV_BROADCAST_HANDLE, dbch_handle), sizeof(void*) == 8 ? 16u : 12u);
    EXPECT_EQ(sizeof(DEV_BROADCAST_HANDLE), sizeof(void*) == 8 ? 56u : 44u);
}

}  // namespace
