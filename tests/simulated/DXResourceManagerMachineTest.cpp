// The Direct3D device and resource manager on the simulated machine: the
// device on the adapter with the given LUID, every failing step with its
// texts and nothing left behind, the staging texture, copy, map and unmap.
#include <string>
#include <vector>

#include "D3DMachineFixture.h"
#include "indirect/DXResourceManager.h"
#include "library/DebugLevelScope.h"
#include "library/LogLine.h"
#include "platform/DebugCapture.h"

namespace {

const LUID kRenderLuid{0x0000D3D0, 0};
const HRESULT kInjected = static_cast<HRESULT>(0x887A0020L);

class DXResourceManagerMachineTest : public D3DMachineTest {
protected:
    DebugLevelScope m_Level{static_cast<DWORD>(AL_DEBUG_ALL)};
};

ScreenUpdateResource EntryOfSize(UINT32 Width, UINT32 Height) {
    ScreenUpdateResource Entry;
    std::memset(&Entry, 0, sizeof(Entry));
    Entry.Width = Width;
    Entry.Height = Height;
    return Entry;
}

TEST_F(DXResourceManagerMachineTest, DeviceIsMadeOnTheAdapterWithTheLuid) {
    MachineD3DAdaptersSet({{LUID{0x1, 0}, L"A"}, {LUID{0x2, 5}, L"B"}, {LUID{0x3, 0}, L"C"}});
    DXResourceManager Manager;
    DebugCapture Capture;
    ASSERT_TRUE(Manager.Initialize(LUID{0x2, 5}));
    EXPECT_TRUE(Capture.Lines().empty());
    const DXDevice& Device = Manager.DeviceGet();
    ASSERT_NE(Device.D3dDeviceGet(), nullptr);
    ASSERT_NE(Device.D3dContextGet(), nullptr);
    ASSERT_NE(Device.D3dMultithreadGet(), nullptr);
    EXPECT_TRUE(Device.D3dMultithreadGet()->GetMultithreadProtected());
    // The search released the factory and the adapters it did not keep.
    EXPECT_EQ(MachineD3DObjectsLiveOfKind("Factory"), 0);
    EXPECT_EQ(MachineD3DObjectsLiveOfKind("Adapter"), 0);
    // Shared textures of adapter B open on it, those of A do not.
    SharedTextureForTest OnB = SharedTextureMake(LUID{0x2, 5}, 4, 4);
    SharedTextureForTest OnA = SharedTextureMake(LUID{0x1, 0}, 4, 4);
    ScreenUpdateResource Entry = EntryOfSize(4, 4);
    ASSERT_TRUE(Manager.CreateResourceInSystemMemory(&Entry));
    EXPECT_EQ(Manager.CopyFromSharedResource(&Entry, OnB.hHandle), S_OK);
    EXPECT_EQ(Manager.CopyFromSharedResource(&Entry, OnA.hHandle), E_INVALIDARG);
    Manager.ResourceRelease(&Entry);
    Manager.Shutdown();
    Manager.Shutdown();
    CloseHandle(OnA.hHandle);
    CloseHandle(OnB.hHandle);
}

TEST_F(DXResourceManagerMachineTest, LuidOfNoAdapterLeavesNothingBehind) {
    DXResourceManager Manager;
    DebugCapture Capture;
    EXPECT_FALSE(Manager.Initialize(LUID{0xBAD, 0}));
    const std::vector<std::wstring> Expected = {LogLine(L"DXDevice::Initialize Adapter not found!"),
                                                LogLine(L"DXResourceManager::Initialize m_DXDevice.Initialize failed!\n")};
    EXPECT_EQ(Capture.Lines(), Expected);
    EXPECT_EQ(Manager.DeviceGet().D3dDeviceGet(), nullptr);
    EXPECT_EQ(MachineD3DObjectsLive(), 0);
}

struct InitializeFaultCase {
    MachineD3DCall Call;
    const wchar_t* Text;
    bool bDeviceLeft;  // device and context stay set until Shutdown
};

const InitializeFaultCase kInitializeFaultCases[] = {
    {MachineD3DCall::FactoryCreate, L"DXDevice::Initialize CreateDXGIFactory2 failed! 0x887a0020\n", false},
    {MachineD3DCall::AdapterDescGet, L"DXDevice::Initialize GetDesc1 failed! 0x887a0020\n", false},
    {MachineD3DCall::DeviceCreate, L" DXDevice::Initialize D3D11CreateDevice failed! 0x887a0020", false},
    {MachineD3DCall::MultithreadQuery, L" DXDevice::Initialize m_pD3dContext->QueryInterface failed! 0x887a0020",
     true},
};

class InitializeFaultTest : public DXResourceManagerMachineTest,
                            public ::testing::WithParamInterface<InitializeFaultCase> {};

TEST_P(InitializeFaultTest, FailingStepLogsAndReleasesWhatItHad) {
    const InitializeFaultCase& Case = GetParam();
    MachineD3DFailNext(Case.Call, kInjected);
    DXResourceManager Manager;
    DebugCapture Capture;
    EXPECT_FALSE(Manager.Initialize(kRenderLuid));
    const std::vector<std::wstring> Expected = {LogLine(Case.Text),
                                                LogLine(L"DXResourceManager::Initialize m_DXDevice.Initialize failed!\n")};
    EXPECT_EQ(Capture.Lines(), Expected);
    EXPECT_EQ(Manager.DeviceGet().D3dDeviceGet() != nullptr, Case.bDeviceLeft);
    EXPECT_EQ(Manager.DeviceGet().D3dContextGet() != nullptr, Case.bDeviceLeft);
    EXPECT_EQ(Manager.DeviceGet().D3dMultithreadGet(), nullptr);
    EXPECT_EQ(MachineD3DObjectsLiveOfKind("Factory") + MachineD3DObjectsLiveOfKind("Adapter"), 0);
    Manager.Shutdown();
    EXPECT_EQ(MachineD3DObjectsLive(), 0);
}

INSTANTIATE_TEST_SUITE_P(Table, InitializeFaultTest, ::testing::ValuesIn(kInitializeFaultCases));

TEST_F(DXResourceManagerMachineTest, StagingTextureHasTheDescriptionOfTheTable) {
    DXResourceManager Manager;
    ASSERT_TRUE(Manager.Initialize(kRenderLuid));
    ScreenUpdateResource Entry = EntryOfSize(1000, 700);
    ASSERT_TRUE(Manager.CreateResourceInSystemMemory(&Entry));
    ASSERT_NE(Entry.pResourceSystemMemory, nullptr);
    D3D11_TEXTURE2D_DESC Desc;
    Entry.pResourceSystemMemory->GetDesc(&Desc);
    EXPECT_EQ(Desc.Width, 1000u);
    EXPECT_EQ(Desc.Height, 700u);
    EXPECT_EQ(Desc.MipLevels, 1u);
    EXPECT_EQ(Desc.ArraySize, 1u);
    EXPECT_EQ(Desc.Format, 87);
    EXPECT_EQ(Desc.SampleDesc.Count, 1u);
    EXPECT_EQ(Desc.SampleDesc.Quality, 0u);
    EXPECT_EQ(Desc.Usage, 3);
    EXPECT_EQ(Desc.BindFlags, 0u);
    EXPECT_EQ(Desc.CPUAccessFlags, 0x20000u);
    EXPECT_EQ(Desc.MiscFlags, 0u);
    // The ID3D11Device1 it used is released again: the device alone holds it.
    EXPECT_EQ(Manager.DeviceGet().D3dDeviceGet()->AddRef(), 2u);
    Manager.DeviceGet().D3dDeviceGet()->Release();
    Manager.ResourceRelease(&Entry);
    EXPECT_EQ(MachineD3DObjectsLiveOfKind("Texture2D"), 0);
    Manager.Shutdown();
}

struct CreateFaultCase {
    MachineD3DCall Call;
    std::vector<const wchar_t*> Texts;
};

const CreateFaultCase kCreateFaultCases[] = {
    {MachineD3DCall::Device1Query,
     {L"DXDevice::Device1Query QueryInterface failed! 0x887a0020\n",
      L"DXResourceManager::CreateResourceInSystemMemory m_DXDevice.Device1Query failed!\n"}},
    {MachineD3DCall::TextureCreate, {L"DXResourceManager::CreateResourceInSystemMemory CreateTexture2D failed! 0x887a0020\n"}},
};

class CreateFaultTest : public DXResourceManagerMachineTest, public ::testing::WithParamInterface<CreateFaultCase> {};

TEST_P(CreateFaultTest, FailedCreationLogsAndLeavesNoTexture) {
    DXResourceManager Manager;
    ASSERT_TRUE(Manager.Initialize(kRenderLuid));
    MachineD3DFailNext(GetParam().Call, kInjected);
    ScreenUpdateResource Entry = EntryOfSize(64, 64);
    DebugCapture Capture;
    EXPECT_FALSE(Manager.CreateResourceInSystemMemory(&Entry));
    std::vector<std::wstring> Expected;
    for (const wchar_t* pText : GetParam().Texts)
        Expected.push_back(LogLine(pText));
    EXPECT_EQ(Capture.Lines(), Expected);
    EXPECT_EQ(Entry.pResourceSystemMemory, nullptr);
    EXPECT_EQ(Manager.DeviceGet().D3dDeviceGet()->AddRef(), 2u);  // no ID3D11Device1 left over
    Manager.DeviceGet().D3dDeviceGet()->Release();
    Manager.Shutdown();
}

INSTANTIATE_TEST_SUITE_P(Table, CreateFaultTest, ::testing::ValuesIn(kCreateFaultCases));

TEST_F(DXResourceManagerMachineTest, CopyMapAndUnmapDeliverTheFrame) {
    DXResourceManager Manager;
    ASSERT_TRUE(Manager.Initialize(kRenderLuid));
    SharedTextureForTest Shared = SharedTextureMake(kRenderLuid, 1000, 10, 4);
    ScreenUpdateResource Entry = EntryOfSize(1000, 10);
    ASSERT_TRUE(Manager.CreateResourceInSystemMemory(&Entry));
    EXPECT_EQ(Manager.CopyFromSharedResource(&Entry, Shared.hHandle), S_OK);
    ASSERT_TRUE(Manager.ResourceMap(&Entry));  // waits for the copy, which then let go of the source
    EXPECT_EQ(Shared.pTexture.use_count(), 2) << "the handle stays open, the opened texture is released";
    ASSERT_NE(Entry.pData, nullptr);
    EXPECT_EQ(Entry.RowPitch, 4096u);
    D3D11_MAPPED_SUBRESOURCE Mapped{Entry.pData, Entry.RowPitch, 0};
    for (UINT Y = 0; Y < 10; ++Y)
        for (UINT X = 0; X < 1000; X += 37)
            ASSERT_EQ(MappedPixel(Mapped, X, Y), TestPixel(X, Y, 4));
    Manager.ResourceUnmap(&Entry);
    EXPECT_EQ(Entry.pData, nullptr);
    EXPECT_EQ(Entry.RowPitch, 0u);
    Manager.ResourceRelease(&Entry);
    Manager.Shutdown();
    CloseHandle(Shared.hHandle);
}

TEST_F(DXResourceManagerMachineTest, StaleHandleReturnsTheRuntimesResultAndKeepsTheEntry) {
    DXResourceManager Manager;
    ASSERT_TRUE(Manager.Initialize(kRenderLuid));
    SharedTextureForTest Shared = SharedTextureMake(kRenderLuid, 8, 8);
    CloseHandle(Shared.hHandle);
    ScreenUpdateResource Entry = EntryOfSize(8, 8);
    ASSERT_TRUE(Manager.CreateResourceInSystemMemory(&Entry));
    Entry.UpdateRectangle = RECT{1, 2, 3, 4};
    const ScreenUpdateResource Before = Entry;
    DebugCapture Capture;
    EXPECT_EQ(Manager.CopyFromSharedResource(&Entry, Shared.hHandle), E_INVALIDARG);
    EXPECT_EQ(std::memcmp(&Entry, &Before, sizeof(Entry)), 0);
    EXPECT_EQ(Capture.Lines(), std::vector<std::wstring>{LogLine(
                                   L"DXResourceManager::CopyFromSharedResource OpenSharedResource1 failed! 0x80070057\n")});
    Manager.ResourceRelease(&Entry);
    Manager.Shutdown();
}

TEST_F(DXResourceManagerMachineTest, CopyAndMapFailuresLogTheirTexts) {
    DXResourceManager Manager;
    ASSERT_TRUE(Manager.Initialize(kRenderLuid));
    SharedTextureForTest Shared = SharedTextureMake(kRenderLuid, 8, 8);
    ScreenUpdateResource Entry = EntryOfSize(8, 8);
    ASSERT_TRUE(Manager.CreateResourceInSystemMemory(&Entry));
    DebugCapture Capture;
    MachineD3DFailNext(MachineD3DCall::Device1Query, kInjected);
    EXPECT_EQ(Manager.CopyFromSharedResource(&Entry, Shared.hHandle), E_FAIL);
    MachineD3DFailNext(MachineD3DCall::Map, kInjected);
    EXPECT_FALSE(Manager.ResourceMap(&Entry));
    EXPECT_EQ(Entry.pData, nullptr);
    const std::vector<std::wstring> Expected = {
        LogLine(L"DXDevice::Device1Query QueryInterface failed! 0x887a0020\n"),
        LogLine(L"DXResourceManager::CopyFromSharedResource m_DXDevice.Device1Query failed!\n"),
        LogLine(L"DXResourceManager::ResourceMap Map failed! 0x887a0020\n"),
    };
    EXPECT_EQ(Capture.Lines(), Expected);
    // A released entry: copy and unmap report invalid parameters.
    Manager.ResourceRelease(&Entry);
    Capture.Clear();
    EXPECT_EQ(Manager.CopyFromSharedResource(&Entry, Shared.hHandle), E_FAIL);
    Manager.ResourceUnmap(&Entry);
    const std::vector<std::wstring> Released = {
        LogLine(L"DXResourceManager::CopyFromSharedResource failed! Invalid parameters\n"),
        LogLine(L"DXResourceManager::ResourceUnmap failed! Invalid parameters\n"),
    };
    EXPECT_EQ(Capture.Lines(), Released);
    Manager.Shutdown();
    CloseHandle(Shared.hHandle);
}

}  // namespace
