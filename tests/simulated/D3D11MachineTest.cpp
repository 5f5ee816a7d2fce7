// The simulated platform's DXGI and Direct3D 11 subset: adapters by LUID,
// devices, staging textures, textures shared by handle, the GPU's copy and
// the map that waits for it, multithread protection, reference counts.
#include <atomic>
#include <future>
#include <string>
#include <thread>

#include "D3DMachineFixture.h"

namespace {

const LUID kRenderLuid{0x0000D3D0, 0};

template <typename T>
void ReleaseIf(T*& pInterface) {
    if (pInterface != nullptr)
        pInterface->Release();
    pInterface = nullptr;
}

// A device on the machine's first adapter, with its context and ID3D11Device1.
class DeviceForTest {
public:
    explicit DeviceForTest(bool bProtected = true) {
        EXPECT_EQ(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                    &m_pDevice, nullptr, &m_pContext),
                  S_OK);
        EXPECT_EQ(m_pDevice->QueryInterface(IID_PPV_ARGS(&m_pDevice1)), S_OK);
        EXPECT_EQ(m_pContext->QueryInterface(IID_PPV_ARGS(&m_pMultithread)), S_OK);
        m_pMultithread->SetMultithreadProtected(bProtected ? TRUE : FALSE);
    }
    ~DeviceForTest() {
        ReleaseIf(m_pMultithread);
        ReleaseIf(m_pDevice1);
        ReleaseIf(m_pDevice);
        ReleaseIf(m_pContext);
    }
    ID3D11Texture2D* StagingCreate(UINT Width, UINT Height) {
        ID3D11Texture2D* pTexture = nullptr;
        const D3D11_TEXTURE2D_DESC Desc = StagingDesc(Width, Height);
        EXPECT_EQ(m_pDevice1->CreateTexture2D(&Desc, nullptr, &pTexture), S_OK);
        return pTexture;
    }
    ID3D11Texture2D* SharedOpen(HANDLE hShared) {
        ID3D11Texture2D* pTexture = nullptr;
        EXPECT_EQ(m_pDevice1->OpenSharedResource1(hShared, IID_PPV_ARGS(&pTexture)), S_OK);
        return pTexture;
    }

    ID3D11Device* m_pDevice = nullptr;
    ID3D11DeviceContext* m_pContext = nullptr;
    ID3D11Device1* m_pDevice1 = nullptr;
    ID3D11Multithread* m_pMultithread = nullptr;
};

using DxgiFactoryTest = D3DMachineTest;

TEST_F(DxgiFactoryTest, EnumeratesTheMachinesAdaptersInOrder) {
    const std::vector<MachineD3DAdapter> Adapters = {
        {LUID{0x11, 0}, L"First", 0x10DE, 1},
        {LUID{0x22, -1}, L"Second", 0x1002, 2},
        {LUID{0x33, 7}, L"Third", 0x8086, 3},
    };
    MachineD3DAdaptersSet(Adapters);
    IDXGIFactory1* pFactory = nullptr;
    ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(&pFactory)), S_OK);
    for (UINT Index = 0; Index < Adapters.size(); ++Index) {
        IDXGIAdapter1* pAdapter = nullptr;
        ASSERT_EQ(pFactory->EnumAdapters1(Index, &pAdapter), S_OK);
        DXGI_ADAPTER_DESC1 Desc;
        ASSERT_EQ(pAdapter->GetDesc1(&Desc), S_OK);
        EXPECT_EQ(Desc.AdapterLuid.LowPart, Adapters[Index].AdapterLuid.LowPart);
        EXPECT_EQ(Desc.AdapterLuid.HighPart, Adapters[Index].AdapterLuid.HighPart);
        EXPECT_EQ(std::wstring(Desc.Description), Adapters[Index].Description);
        EXPECT_EQ(Desc.VendorId, Adapters[Index].VendorId);
        pAdapter->Release();
    }
    IDXGIAdapter1* pPast = reinterpret_cast<IDXGIAdapter1*>(pFactory);
    EXPECT_EQ(pFactory->EnumAdapters1(3, &pPast), DXGI_ERROR_NOT_FOUND);
    EXPECT_EQ(pPast, nullptr);
    EXPECT_EQ(pFactory->EnumAdapters1(0, nullptr), E_INVALIDARG);
    EXPECT_EQ(pFactory->Release(), 0u);
}

TEST_F(DxgiFactoryTest, FactoryKeepsItsSnapshotAndTellsWhenItIsStale) {
    IDXGIFactory1* pFactory = nullptr;
    ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(&pFactory)), S_OK);
    EXPECT_TRUE(pFactory->IsCurrent());
    MachineD3DAdaptersSet({});
    EXPECT_FALSE(pFactory->IsCurrent());
    IDXGIAdapter1* pAdapter = nullptr;
    EXPECT_EQ(pFactory->EnumAdapters1(1, &pAdapter), S_OK);  // the default set had two
    ReleaseIf(pAdapter);
    pFactory->Release();
    ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(&pFactory)), S_OK);
    EXPECT_EQ(pFactory->EnumAdapters1(0, &pAdapter), DXGI_ERROR_NOT_FOUND);
    pFactory->Release();
}

TEST_F(DxgiFactoryTest, InterfacesAndReferences) {
    IDXGIFactory1* pFactory = nullptr;
    ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(&pFactory)), S_OK);
    EXPECT_EQ(MachineD3DObjectsLiveOfKind("Factory"), 1);
    IUnknown* pUnknown = nullptr;
    EXPECT_EQ(pFactory->QueryInterface(IID_PPV_ARGS(&pUnknown)), S_OK);
    EXPECT_EQ(pUnknown->Release(), 1u);
    ID3D11Device* pNotAFactory = nullptr;
    EXPECT_EQ(pFactory->QueryInterface(IID_PPV_ARGS(&pNotAFactory)), E_NOINTERFACE);
    EXPECT_EQ(pNotAFactory, nullptr);
    EXPECT_EQ(pFactory->Release(), 0u);
    EXPECT_EQ(MachineD3DObjectsLiveOfKind("Factory"), 0);
    ID3D11Device* pWrong = nullptr;
    EXPECT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(&pWrong)), E_NOINTERFACE);
    EXPECT_EQ(MachineD3DObjectsLive(), 0);
}

struct CreateDeviceCase {
    const char* Name;
    bool bAdapter;
    D3D_DRIVER_TYPE DriverType;
    UINT SdkVersion;
    HRESULT Expected;
};

const CreateDeviceCase kCreateDeviceCases[] = {
    {"adapter with driver type unknown", true, D3D_DRIVER_TYPE_UNKNOWN, D3D11_SDK_VERSION, S_OK},
    {"adapter with a driver type", true, D3D_DRIVER_TYPE_HARDWARE, D3D11_SDK_VERSION, E_INVALIDARG},
    {"no adapter, hardware", false, D3D_DRIVER_TYPE_HARDWARE, D3D11_SDK_VERSION, S_OK},
    {"no adapter, unknown", false, D3D_DRIVER_TYPE_UNKNOWN, D3D11_SDK_VERSION, E_INVALIDARG},
    {"no adapter, warp", false, D3D_DRIVER_TYPE_WARP, D3D11_SDK_VERSION, DXGI_ERROR_UNSUPPORTED},
    {"wrong SDK version", true, D3D_DRIVER_TYPE_UNKNOWN, 6, E_INVALIDARG},
};

class CreateDeviceTest : public D3DMachineTest, public ::testing::WithParamInterface<CreateDeviceCase> {};

TEST_P(CreateDeviceTest, ChecksItsArguments) {
    const CreateDeviceCase& Case = GetParam();
    IDXGIFactory1* pFactory = nullptr;
    ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(&pFactory)), S_OK);
    IDXGIAdapter1* pAdapter = nullptr;
    ASSERT_EQ(pFactory->EnumAdapters1(1, &pAdapter), S_OK);
    ID3D11Device* pDevice = nullptr;
    ID3D11DeviceContext* pContext = nullptr;
    D3D_FEATURE_LEVEL Level = static_cast<D3D_FEATURE_LEVEL>(0);
    EXPECT_EQ(D3D11CreateDevice(Case.bAdapter ? pAdapter : nullptr, Case.DriverType, nullptr,
                                D3D11_CREATE_DEVICE_BGRA_SUPPORT, nullptr, 0, Case.SdkVersion, &pDevice, &Level,
                                &pContext),
              Case.Expected)
        << Case.Name;
    EXPECT_EQ(pDevice != nullptr, SUCCEEDED(Case.Expected)) << Case.Name;
    EXPECT_EQ(pContext != nullptr, SUCCEEDED(Case.Expected)) << Case.Name;
    if (SUCCEEDED(Case.Expected)) {
        EXPECT_EQ(Level, D3D_FEATURE_LEVEL_11_0) << Case.Name;  // the default list's first
    }
    ReleaseIf(pContext);
    ReleaseIf(pDevice);
    pAdapter->Release();
    pFactory->Release();
}

INSTANTIATE_TEST_SUITE_P(Table, CreateDeviceTest, ::testing::ValuesIn(kCreateDeviceCases));

using D3D11DeviceTest = D3DMachineTest;

TEST_F(D3D11DeviceTest, DeviceLivesOnTheChosenAdapter) {
    // A shared texture opens only on the adapter it lives on.
    MachineD3DAdaptersSet({{LUID{0x100, 0}, L"A"}, {LUID{0x200, 0}, L"B"}});
    IDXGIFactory1* pFactory = nullptr;
    ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(&pFactory)), S_OK);
    SharedTextureForTest OnB = SharedTextureMake(LUID{0x200, 0}, 8, 8);
    for (UINT Index = 0; Index < 2; ++Index) {
        IDXGIAdapter1* pAdapter = nullptr;
        ASSERT_EQ(pFactory->EnumAdapters1(Index, &pAdapter), S_OK);
        ID3D11Device* pDevice = nullptr;
        ASSERT_EQ(D3D11CreateDevice(pAdapter, D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                    &pDevice, nullptr, nullptr),
                  S_OK);
        pAdapter->Release();
        ID3D11Device1* pDevice1 = nullptr;
        ASSERT_EQ(pDevice->QueryInterface(IID_PPV_ARGS(&pDevice1)), S_OK);
        ID3D11Texture2D* pOpened = nullptr;
        EXPECT_EQ(pDevice1->OpenSharedResource1(OnB.hHandle, IID_PPV_ARGS(&pOpened)), Index == 1 ? S_OK : E_INVALIDARG);
        ReleaseIf(pOpened);
        pDevice1->Release();
        EXPECT_EQ(pDevice->Release(), 0u);
    }
    pFactory->Release();
    CloseHandle(OnB.hHandle);
}

struct TextureDescCase {
    const char* Name;
    void (*Change)(D3D11_TEXTURE2D_DESC&);
    HRESULT Expected;
};

const TextureDescCase kTextureDescCases[] = {
    {"staging BGRA for reading", [](D3D11_TEXTURE2D_DESC&) {}, S_OK},
    {"staging for reading and writing",
     [](D3D11_TEXTURE2D_DESC& D) { D.CPUAccessFlags = D3D11_CPU_ACCESS_READ | D3D11_CPU_ACCESS_WRITE; }, S_OK},
    {"GPU texture", [](D3D11_TEXTURE2D_DESC& D) {
         D.Usage = D3D11_USAGE_DEFAULT;
         D.CPUAccessFlags = 0;
         D.BindFlags = D3D11_BIND_SHADER_RESOURCE;
     }, S_OK},
    {"full mip chain", [](D3D11_TEXTURE2D_DESC& D) { D.MipLevels = 0; }, E_INVALIDARG},
    {"array", [](D3D11_TEXTURE2D_DESC& D) { D.ArraySize = 2; }, E_INVALIDARG},
    {"unknown format", [](D3D11_TEXTURE2D_DESC& D) { D.Format = DXGI_FORMAT_UNKNOWN; }, E_INVALIDARG},
    {"multisampled", [](D3D11_TEXTURE2D_DESC& D) { D.SampleDesc.Count = 4; }, E_INVALIDARG},
    {"staging bound to the pipeline", [](D3D11_TEXTURE2D_DESC& D) { D.BindFlags = D3D11_BIND_RENDER_TARGET; },
     E_INVALIDARG},
    {"staging without CPU access", [](D3D11_TEXTURE2D_DESC& D) { D.CPUAccessFlags = 0; }, E_INVALIDARG},
    {"GPU texture with CPU access", [](D3D11_TEXTURE2D_DESC& D) { D.Usage = D3D11_USAGE_DEFAULT; }, E_INVALIDARG},
    {"zero width", [](D3D11_TEXTURE2D_DESC& D) { D.Width = 0; }, E_INVALIDARG},
    {"too high", [](D3D11_TEXTURE2D_DESC& D) { D.Height = 16385; }, E_INVALIDARG},
};

class TextureDescTest : public D3DMachineTest, public ::testing::WithParamInterface<TextureDescCase> {};

TEST_P(TextureDescTest, CreateTexture2DChecksTheDescription) {
    const TextureDescCase& Case = GetParam();
    DeviceForTest Device;
    D3D11_TEXTURE2D_DESC Desc = StagingDesc(640, 480);
    Case.Change(Desc);
    ID3D11Texture2D* pTexture = nullptr;
    EXPECT_EQ(Device.m_pDevice1->CreateTexture2D(&Desc, nullptr, &pTexture), Case.Expected) << Case.Name;
    EXPECT_EQ(pTexture != nullptr, Case.Expected == S_OK) << Case.Name;
    // A null output only validates.
    EXPECT_EQ(Device.m_pDevice1->CreateTexture2D(&Desc, nullptr, nullptr), Case.Expected == S_OK ? S_FALSE : E_INVALIDARG);
    if (pTexture != nullptr) {
        D3D11_TEXTURE2D_DESC Back{};
        pTexture->GetDesc(&Back);
        EXPECT_EQ(std::memcmp(&Back, &Desc, sizeof(Desc)), 0) << Case.Name;
        EXPECT_EQ(pTexture->Release(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, TextureDescTest, ::testing::ValuesIn(kTextureDescCases));

TEST_F(D3D11DeviceTest, StagingTextureMapsWithPaddedRowsAndItsInitialData) {
    DeviceForTest Device;
    std::vector<uint32_t> Initial(100 * 3);
    for (size_t i = 0; i < Initial.size(); ++i)
        Initial[i] = static_cast<uint32_t>(i * 2654435761u);
    const D3D11_SUBRESOURCE_DATA Data{Initial.data(), 100 * 4, 0};
    const D3D11_TEXTURE2D_DESC Desc = StagingDesc(100, 3);
    ID3D11Texture2D* pTexture = nullptr;
    ASSERT_EQ(Device.m_pDevice1->CreateTexture2D(&Desc, &Data, &pTexture), S_OK);
    D3D11_MAPPED_SUBRESOURCE Mapped{};
    ASSERT_EQ(Device.m_pContext->Map(pTexture, 0, D3D11_MAP_READ, 0, &Mapped), S_OK);
    EXPECT_EQ(Mapped.RowPitch, 512u);  // 400 bytes padded to 256
    EXPECT_EQ(Mapped.DepthPitch, 512u * 3);
    for (UINT Y = 0; Y < 3; ++Y)
        for (UINT X = 0; X < 100; ++X)
            ASSERT_EQ(MappedPixel(Mapped, X, Y), Initial[Y * 100 + X]);
    // A second map of a mapped texture is refused; Unmap ends the mapping.
    D3D11_MAPPED_SUBRESOURCE Again{};
    EXPECT_EQ(Device.m_pContext->Map(pTexture, 0, D3D11_MAP_READ, 0, &Again), DXGI_ERROR_INVALID_CALL);
    Device.m_pContext->Unmap(pTexture, 0);
    EXPECT_EQ(Device.m_pContext->Map(pTexture, 0, D3D11_MAP_READ, 0, &Again), S_OK);
    Device.m_pContext->Unmap(pTexture, 0);
    EXPECT_EQ(Device.m_pContext->Map(pTexture, 0, D3D11_MAP_WRITE, 0, &Again), E_INVALIDARG);  // read access only
    EXPECT_EQ(Device.m_pContext->Map(pTexture, 1, D3D11_MAP_READ, 0, &Again), E_INVALIDARG);
    pTexture->Release();
}

TEST_F(D3D11DeviceTest, SharedTextureCopiesIntoStagingWithItsPixels) {
    DeviceForTest Device;
    SharedTextureForTest Shared = SharedTextureMake(kRenderLuid, 300, 200, 5);
    ID3D11Texture2D* pOpened = Device.SharedOpen(Shared.hHandle);
    ASSERT_NE(pOpened, nullptr);
    // The handle is the caller's: closing it leaves the opened texture.
    ASSERT_TRUE(CloseHandle(Shared.hHandle));
    EXPECT_EQ(Shared.pTexture.use_count(), 2);
    D3D11_TEXTURE2D_DESC Desc{};
    pOpened->GetDesc(&Desc);
    EXPECT_EQ(Desc.Width, 300u);
    EXPECT_EQ(Desc.Format, DXGI_FORMAT_B8G8R8A8_UNORM);
    EXPECT_EQ(MachineD3DObjectsLiveOfKind("SharedTexture"), 1);

    ID3D11Texture2D* pStaging = Device.StagingCreate(300, 200);
    Device.m_pContext->CopySubresourceRegion(pStaging, 0, 0, 0, 0, pOpened, 0, nullptr);
    pOpened->Release();  // the queued copy holds a reference of its own until it ran
    D3D11_MAPPED_SUBRESOURCE Mapped{};
    ASSERT_EQ(Device.m_pContext->Map(pStaging, 0, D3D11_MAP_READ, 0, &Mapped), S_OK);
    for (UINT Y = 0; Y < 200; Y += 7)
        for (UINT X = 0; X < 300; X += 5)
            ASSERT_EQ(MappedPixel(Mapped, X, Y), TestPixel(X, Y, 5)) << X << "," << Y;
    Device.m_pContext->Unmap(pStaging, 0);
    pStaging->Release();
    // The driver's texture is free again once the GPU is done with it.
    EXPECT_EQ(MachineD3DObjectsLiveOfKind("SharedTexture"), 0);
    EXPECT_EQ(Shared.pTexture.use_count(), 1);
}

TEST_F(D3D11DeviceTest, OpenSharedResource1RefusesWhatIsNotASharedTexture) {
    DeviceForTest Device;
    SharedTextureForTest Shared = SharedTextureMake(kRenderLuid, 16, 16);
    HANDLE hStale = Shared.hHandle;
    ASSERT_TRUE(CloseHandle(hStale));
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SharedTextureForTest Elsewhere = SharedTextureMake(LUID{0x0000ADA0, 0}, 16, 16);
    const HANDLE Refused[] = {hStale, hEvent, nullptr, INVALID_HANDLE_VALUE, Elsewhere.hHandle};
    for (HANDLE hRefused : Refused) {
        ID3D11Texture2D* pTexture = reinterpret_cast<ID3D11Texture2D*>(&Device);
        EXPECT_EQ(Device.m_pDevice1->OpenSharedResource1(hRefused, IID_PPV_ARGS(&pTexture)), E_INVALIDARG);
        EXPECT_EQ(pTexture, nullptr);
    }
    SharedTextureForTest Good = SharedTextureMake(kRenderLuid, 16, 16);
    ID3D11Device* pNotATexture = nullptr;
    EXPECT_EQ(Device.m_pDevice1->OpenSharedResource1(Good.hHandle, IID_PPV_ARGS(&pNotATexture)), E_NOINTERFACE);
    EXPECT_EQ(Good.pTexture.use_count(), 2);  // the handle's reference only
    CloseHandle(hEvent);
    CloseHandle(Elsewhere.hHandle);
    CloseHandle(Good.hHandle);
}

TEST_F(D3D11DeviceTest, MapWaitsForTheCopyQueuedBeforeIt) {
    DeviceForTest Device;
    SharedTextureForTest Shared = SharedTextureMake(kRenderLuid, 64, 64, 9);
    ID3D11Texture2D* pOpened = Device.SharedOpen(Shared.hHandle);
    ID3D11Texture2D* pStaging = Device.StagingCreate(64, 64);
    MachineD3DGpuPausedSet(true);
    Device.m_pContext->CopySubresourceRegion(pStaging, 0, 0, 0, 0, pOpened, 0, nullptr);
    D3D11_MAPPED_SUBRESOURCE Mapped{};
    EXPECT_EQ(Device.m_pContext->Map(pStaging, 0, D3D11_MAP_READ, D3D11_MAP_FLAG_DO_NOT_WAIT, &Mapped),
              DXGI_ERROR_WAS_STILL_DRAWING);
    const long WaitersBefore = MachineD3DMapWaitersBlocked();
    std::future<HRESULT> Mapping = std::async(std::launch::async, [&] {
        return Device.m_pContext->Map(pStaging, 0, D3D11_MAP_READ, 0, &Mapped);
    });
    ASSERT_TRUE(MachineD3DMapWaitersBlockedAwait(WaitersBefore + 1, 10000));
    EXPECT_EQ(Mapping.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    MachineD3DGpuPausedSet(false);
    ASSERT_EQ(Mapping.get(), S_OK);
    EXPECT_EQ(MappedPixel(Mapped, 63, 63), TestPixel(63, 63, 9));  // the copied frame, not the zero start
    Device.m_pContext->Unmap(pStaging, 0);
    pStaging->Release();
    pOpened->Release();
    CloseHandle(Shared.hHandle);
}

TEST_F(D3D11DeviceTest, CopyOfABoxLandsAtTheDestinationPoint) {
    DeviceForTest Device;
    SharedTextureForTest Shared = SharedTextureMake(kRenderLuid, 32, 32, 3);
    ID3D11Texture2D* pOpened = Device.SharedOpen(Shared.hHandle);
    ID3D11Texture2D* pStaging = Device.StagingCreate(32, 32);
    const D3D11_BOX Box{4, 5, 0, 10, 9, 1};
    Device.m_pContext->CopySubresourceRegion(pStaging, 0, 20, 30, 0, pOpened, 0, &Box);
    D3D11_MAPPED_SUBRESOURCE Mapped{};
    ASSERT_EQ(Device.m_pContext->Map(pStaging, 0, D3D11_MAP_READ, 0, &Mapped), S_OK);
    EXPECT_EQ(MappedPixel(Mapped, 20, 30), TestPixel(4, 5, 3));
    EXPECT_EQ(MappedPixel(Mapped, 25, 31), TestPixel(9, 6, 3));  // clipped at the bottom edge
    EXPECT_EQ(MappedPixel(Mapped, 26, 30), 0u);                   // outside the box
    EXPECT_EQ(MappedPixel(Mapped, 19, 30), 0u);
    Device.m_pContext->Unmap(pStaging, 0);
    pStaging->Release();
    pOpened->Release();
    CloseHandle(Shared.hHandle);
}

TEST_F(D3D11DeviceTest, ProtectedContextSerialisesTheThreads) {
    DeviceForTest Device(true);
    EXPECT_TRUE(Device.m_pMultithread->GetMultithreadProtected());
    ID3D11Texture2D* pStaging = Device.StagingCreate(8, 8);
    const long LockWaitersBefore = MachineD3DContextLockWaitersBlocked();
    Device.m_pMultithread->Enter();
    std::atomic<bool> bMapped{false};
    std::thread Other([&] {
        D3D11_MAPPED_SUBRESOURCE Mapped{};
        EXPECT_EQ(Device.m_pContext->Map(pStaging, 0, D3D11_MAP_READ, 0, &Mapped), S_OK);
        bMapped = true;
        Device.m_pContext->Unmap(pStaging, 0);
    });
    ASSERT_TRUE(MachineD3DContextLockWaitersBlockedAwait(LockWaitersBefore + 1, 10000));
    EXPECT_FALSE(bMapped.load());
    Device.m_pMultithread->Leave();
    Other.join();
    EXPECT_TRUE(bMapped.load());
    pStaging->Release();
}

TEST_F(D3D11DeviceTest, MapWaitingForTheGpuHoldsTheDeviceLock) {
    // With protection, a producer's next copy waits while the consumer's map
    // waits for the GPU: the two threads never are inside the context at once.
    DeviceForTest Device(true);
    SharedTextureForTest Shared = SharedTextureMake(kRenderLuid, 16, 16);
    ID3D11Texture2D* pOpened = Device.SharedOpen(Shared.hHandle);
    ID3D11Texture2D* pFirst = Device.StagingCreate(16, 16);
    ID3D11Texture2D* pSecond = Device.StagingCreate(16, 16);
    MachineD3DGpuPausedSet(true);
    Device.m_pContext->CopySubresourceRegion(pFirst, 0, 0, 0, 0, pOpened, 0, nullptr);
    const long MapWaiters = MachineD3DMapWaitersBlocked();
    const long LockWaiters = MachineD3DContextLockWaitersBlocked();
    std::thread Consumer([&] {
        D3D11_MAPPED_SUBRESOURCE Mapped{};
        EXPECT_EQ(Device.m_pContext->Map(pFirst, 0, D3D11_MAP_READ, 0, &Mapped), S_OK);
        Device.m_pContext->Unmap(pFirst, 0);
    });
    ASSERT_TRUE(MachineD3DMapWaitersBlockedAwait(MapWaiters + 1, 10000));
    std::thread Producer([&] { Device.m_pContext->CopySubresourceRegion(pSecond, 0, 0, 0, 0, pOpened, 0, nullptr); });
    ASSERT_TRUE(MachineD3DContextLockWaitersBlockedAwait(LockWaiters + 1, 10000));
    MachineD3DGpuPausedSet(false);
    Consumer.join();
    Producer.join();
    pFirst->Release();
    pSecond->Release();
    pOpened->Release();
    CloseHandle(Shared.hHandle);
}

TEST_F(D3D11DeviceTest, UnprotectedContextUsedByTwoThreadsCountsAHazard) {
    DeviceForTest Device(false);
    EXPECT_FALSE(Device.m_pMultithread->GetMultithreadProtected());
    SharedTextureForTest Shared = SharedTextureMake(kRenderLuid, 16, 16);
    ID3D11Texture2D* pOpened = Device.SharedOpen(Shared.hHandle);
    ID3D11Texture2D* pFirst = Device.StagingCreate(16, 16);
    ID3D11Texture2D* pSecond = Device.StagingCreate(16, 16);
    MachineD3DGpuPausedSet(true);
    Device.m_pContext->CopySubresourceRegion(pFirst, 0, 0, 0, 0, pOpened, 0, nullptr);
    const long MapWaiters = MachineD3DMapWaitersBlocked();
    std::thread Consumer([&] {
        D3D11_MAPPED_SUBRESOURCE Mapped{};
        EXPECT_EQ(Device.m_pContext->Map(pFirst, 0, D3D11_MAP_READ, 0, &Mapped), S_OK);
        Device.m_pContext->Unmap(pFirst, 0);
    });
    ASSERT_TRUE(MachineD3DMapWaitersBlockedAwait(MapWaiters + 1, 10000));
    const long Hazards = MachineD3DContextHazardCount();
    Device.m_pContext->CopySubresourceRegion(pSecond, 0, 0, 0, 0, pOpened, 0, nullptr);  // not blocked
    EXPECT_EQ(MachineD3DContextHazardCount(), Hazards + 1);
    m_HazardsExpected = 1;
    MachineD3DGpuPausedSet(false);
    Consumer.join();
    EXPECT_EQ(Device.m_pMultithread->SetMultithreadProtected(TRUE), FALSE);  // the previous setting
    pFirst->Release();
    pSecond->Release();
    pOpened->Release();
    CloseHandle(Shared.hHandle);
}

TEST_F(D3D11DeviceTest, CopyIntoAMappedTextureIsDroppedAndCounted) {
    DeviceForTest Device;
    SharedTextureForTest Shared = SharedTextureMake(kRenderLuid, 16, 16, 1);
    ID3D11Texture2D* pOpened = Device.SharedOpen(Shared.hHandle);
    ID3D11Texture2D* pStaging = Device.StagingCreate(16, 16);
    D3D11_MAPPED_SUBRESOURCE Mapped{};
    ASSERT_EQ(Device.m_pContext->Map(pStaging, 0, D3D11_MAP_READ, 0, &Mapped), S_OK);
    const long Hazards = MachineD3DContextHazardCount();
    Device.m_pContext->CopySubresourceRegion(pStaging, 0, 0, 0, 0, pOpened, 0, nullptr);
    EXPECT_EQ(MachineD3DContextHazardCount(), Hazards + 1);
    m_HazardsExpected = 1;
    Device.m_pContext->Unmap(pStaging, 0);
    ASSERT_EQ(Device.m_pContext->Map(pStaging, 0, D3D11_MAP_READ, 0, &Mapped), S_OK);
    EXPECT_EQ(MappedPixel(Mapped, 5, 5), 0u);  // the copy never ran
    Device.m_pContext->Unmap(pStaging, 0);
    pStaging->Release();
    pOpened->Release();
    CloseHandle(Shared.hHandle);
}

TEST_F(D3D11DeviceTest, ReferencesOfDeviceContextAndMultithread) {
    ID3D11Device* pDevice = nullptr;
    ID3D11DeviceContext* pContext = nullptr;
    ASSERT_EQ(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                &pDevice, nullptr, &pContext),
              S_OK);
    EXPECT_EQ(MachineD3DObjectsLiveOfKind("Device"), 1);
    EXPECT_EQ(MachineD3DObjectsLiveOfKind("Context"), 1);
    ID3D11Multithread* pMultithread = nullptr;
    ASSERT_EQ(pContext->QueryInterface(IID_PPV_ARGS(&pMultithread)), S_OK);
    ID3D11DeviceContext* pSame = nullptr;
    pDevice->GetImmediateContext(&pSame);
    EXPECT_EQ(pSame, pContext);
    EXPECT_EQ(pSame->Release(), 3u);  // caller, multithread interface, device
    ID3D11Device1* pDevice1 = nullptr;
    ASSERT_EQ(pDevice->QueryInterface(IID_PPV_ARGS(&pDevice1)), S_OK);
    EXPECT_EQ(static_cast<ID3D11Device*>(pDevice1), pDevice);
    ID3D11Texture2D* pTexture = nullptr;
    const D3D11_TEXTURE2D_DESC Desc = StagingDesc(4, 4);
    ASSERT_EQ(pDevice1->CreateTexture2D(&Desc, nullptr, &pTexture), S_OK);
    EXPECT_EQ(pDevice1->Release(), 1u);
    // Released in the order the library's shutdown uses; the texture keeps
    // what it needs of the device.
    EXPECT_EQ(pMultithread->Release(), 2u);
    EXPECT_EQ(pDevice->Release(), 0u);
    EXPECT_EQ(MachineD3DObjectsLiveOfKind("Device"), 0);
    D3D11_MAPPED_SUBRESOURCE Mapped{};
    EXPECT_EQ(pContext->Map(pTexture, 0, D3D11_MAP_READ, 0, &Mapped), S_OK);
    pContext->Unmap(pTexture, 0);
    EXPECT_EQ(pContext->Release(), 0u);
    EXPECT_EQ(pTexture->Release(), 0u);
}

TEST_F(D3D11DeviceTest, TexturesOfAnotherDeviceAreIgnored) {
    DeviceForTest First;
    DeviceForTest Second;
    ID3D11Texture2D* pTexture = First.StagingCreate(8, 8);
    D3D11_MAPPED_SUBRESOURCE Mapped{};
    EXPECT_EQ(Second.m_pContext->Map(pTexture, 0, D3D11_MAP_READ, 0, &Mapped), E_INVALIDARG);
    pTexture->Release();
}

struct FaultCase {
    MachineD3DCall Call;
    const char* Name;
};

const FaultCase kFaultCases[] = {
    {MachineD3DCall::FactoryCreate, "factory"},   {MachineD3DCall::AdapterDescGet, "description"},
    {MachineD3DCall::DeviceCreate, "device"},     {MachineD3DCall::MultithreadQuery, "multithread"},
    {MachineD3DCall::Device1Query, "device1"},    {MachineD3DCall::TextureCreate, "texture"},
    {MachineD3DCall::SharedResourceOpen, "open"}, {MachineD3DCall::Map, "map"},
};

class FaultPlanTest : public D3DMachineTest, public ::testing::WithParamInterface<FaultCase> {};

// Runs every call of the subset once and returns the first failure.
HRESULT EveryCallOnce() {
    IDXGIFactory1* pFactory = nullptr;
    HRESULT hr = CreateDXGIFactory1(IID_PPV_ARGS(&pFactory));
    if (FAILED(hr))
        return hr;
    IDXGIAdapter1* pAdapter = nullptr;
    pFactory->EnumAdapters1(0, &pAdapter);
    pFactory->Release();
    DXGI_ADAPTER_DESC1 Desc;
    hr = pAdapter->GetDesc1(&Desc);
    ID3D11Device* pDevice = nullptr;
    ID3D11DeviceContext* pContext = nullptr;
    if (SUCCEEDED(hr))
        hr = D3D11CreateDevice(pAdapter, D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION, &pDevice,
                               nullptr, &pContext);
    pAdapter->Release();
    ID3D11Multithread* pMultithread = nullptr;
    ID3D11Device1* pDevice1 = nullptr;
    ID3D11Texture2D* pStaging = nullptr;
    ID3D11Texture2D* pOpened = nullptr;
    SharedTextureForTest Shared = SharedTextureMake(kRenderLuid, 4, 4);
    if (SUCCEEDED(hr))
        hr = pContext->QueryInterface(IID_PPV_ARGS(&pMultithread));
    if (SUCCEEDED(hr))
        hr = pDevice->QueryInterface(IID_PPV_ARGS(&pDevice1));
    const D3D11_TEXTURE2D_DESC TextureDesc = StagingDesc(4, 4);
    if (SUCCEEDED(hr))
        hr = pDevice1->CreateTexture2D(&TextureDesc, nullptr, &pStaging);
    if (SUCCEEDED(hr))
        hr = pDevice1->OpenSharedResource1(Shared.hHandle, IID_PPV_ARGS(&pOpened));
    D3D11_MAPPED_SUBRESOURCE Mapped{};
    if (SUCCEEDED(hr))
        hr = pContext->Map(pStaging, 0, D3D11_MAP_READ, 0, &Mapped);
    if (SUCCEEDED(hr))
        pContext->Unmap(pStaging, 0);
    ReleaseIf(pOpened);
    ReleaseIf(pStaging);
    ReleaseIf(pDevice1);
    ReleaseIf(pMultithread);
    ReleaseIf(pDevice);
    ReleaseIf(pContext);
    CloseHandle(Shared.hHandle);
    return hr;
}

TEST_P(FaultPlanTest, ArmedCallFailsOnceAfterTheSkippedOnes) {
    const FaultCase& Case = GetParam();
    MachineD3DFailNext(Case.Call, static_cast<HRESULT>(0x887A0020L), 1);
    EXPECT_EQ(EveryCallOnce(), S_OK) << Case.Name << ": skipped";
    EXPECT_EQ(EveryCallOnce(), static_cast<HRESULT>(0x887A0020L)) << Case.Name;
    EXPECT_EQ(EveryCallOnce(), S_OK) << Case.Name << ": once only";
}

INSTANTIATE_TEST_SUITE_P(Table, FaultPlanTest, ::testing::ValuesIn(kFaultCases));

}  // namespace
