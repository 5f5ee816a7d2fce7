// The resource manager's own checks, which need no device: what it does
// before Initialize and with entries that have no texture.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "DebugLevelScope.h"
#include "LogLine.h"
#include "indirect/DXResourceManager.h"
#include "platform/DebugCapture.h"

namespace {

ScreenUpdateResource FilledEntry() {
    ScreenUpdateResource Entry;
    std::memset(&Entry, 0, sizeof(Entry));
    Entry.Width = 1920;
    Entry.Height = 1080;
    Entry.RowPitch = 7680;
    Entry.hResourceShared = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x1234));
    Entry.UpdateRectangle = RECT{1, 2, 3, 4};
    Entry.pData = &Entry;
    return Entry;
}

bool EntryIsClear(const ScreenUpdateResource& Entry) {
    ScreenUpdateResource Zero;
    std::memset(&Zero, 0, sizeof(Zero));
    return std::memcmp(&Entry, &Zero, sizeof(Entry)) == 0;
}

TEST(DXResourceManager, CopyBeforeInitializeFailsWithInvalidParameters) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    DXResourceManager Manager;
    ScreenUpdateResource Entry = FilledEntry();
    const ScreenUpdateResource Before = Entry;
    EXPECT_EQ(Manager.CopyFromSharedResource(&Entry, Entry.hResourceShared), E_FAIL);
    EXPECT_EQ(std::memcmp(&Entry, &Before, sizeof(Entry)), 0);
    EXPECT_EQ(Capture.Lines(), std::vector<std::wstring>{LogLine(
                                   L"DXResourceManager::CopyFromSharedResource failed! Invalid parameters\n")});
}

TEST(DXResourceManager, MapAndUnmapWithoutTextureOnlyLog) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    DXResourceManager Manager;
    ScreenUpdateResource Entry = FilledEntry();
    EXPECT_FALSE(Manager.ResourceMap(&Entry));
    Manager.ResourceUnmap(&Entry);
    EXPECT_EQ(Entry.pData, &Entry);  // untouched
    const std::vector<std::wstring> Expected = {
        LogLine(L"DXResourceManager::ResourceMap failed! Invalid parameters\n"),
        LogLine(L"DXResourceManager::ResourceUnmap failed! Invalid parameters\n"),
    };
    EXPECT_EQ(Capture.Lines(), Expected);
}

TEST(DXResourceManager, ReleaseWithoutTextureStillClearsTheEntry) {
    DebugLevelScope Level(AL_DEBUG_ALL);
    DebugCapture Capture;
    DXResourceManager Manager;
    ScreenUpdateResource Entry = FilledEntry();
    Manager.ResourceRelease(&Entry);
    EXPECT_TRUE(EntryIsClear(Entry));
    EXPECT_TRUE(Capture.Lines().empty());
}

TEST(DXResourceManager, ShutdownOfAnEmptyDeviceIsHarmlessTwice) {
    DXResourceManager Manager;
    Manager.Shutdown();
    Manager.Shutdown();
    EXPECT_EQ(Manager.DeviceGet().D3dDeviceGet(), nullptr);
    EXPECT_EQ(Manager.DeviceGet().D3dContextGet(), nullptr);
    EXPECT_EQ(Manager.DeviceGet().D3dMultithreadGet(), nullptr);
}

}  // namespace
