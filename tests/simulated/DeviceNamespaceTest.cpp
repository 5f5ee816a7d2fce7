// The device namespace of the simulated platform: CreateFileW on "\\.\Name",
// DeviceIoControl with the exact code, buffers and byte count, close when the
// last reference goes, concurrent requests on one handle.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "SimulatedMachine.h"

namespace {

class TestDriver : public MachineDeviceDriver {
public:
    struct Seen {
        uint64_t FileId;
        DWORD Code;
        std::vector<uint8_t> Input;
        const void* pInput;
        void* pOutput;
        DWORD CountByteInput;
        DWORD CountByteOutput;
    };
    using Handler = std::function<DWORD(void* pOutput, DWORD CountByteOutput, DWORD* pBytesReturned)>;

    DWORD DeviceFileOpen(uint64_t FileId) override {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        Opened.push_back(FileId);
        return OpenError;
    }
    DWORD DeviceFileControl(uint64_t FileId, DWORD Code, const void* pInput, DWORD CountByteInput, void* pOutput,
                            DWORD CountByteOutput, DWORD* pBytesReturned) override {
        {
            std::lock_guard<std::mutex> Lock(m_Mutex);
            const auto* pBytes = static_cast<const uint8_t*>(pInput);
            Requests.push_back(Seen{FileId, Code,
                                    pBytes ? std::vector<uint8_t>(pBytes, pBytes + CountByteInput)
                                           : std::vector<uint8_t>(),
                                    pInput, pOutput, CountByteInput, CountByteOutput});
        }
        return OnControl ? OnControl(pOutput, CountByteOutput, pBytesReturned) : ERROR_SUCCESS;
    }
    void DeviceFileClose(uint64_t FileId) override {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        Closed.push_back(FileId);
    }
    std::vector<uint64_t> ClosedGet() {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        return Closed;
    }

    DWORD OpenError = ERROR_SUCCESS;
    Handler OnControl;
    std::vector<Seen> Requests;
    std::vector<uint64_t> Opened;
    std::vector<uint64_t> Closed;

private:
    std::mutex m_Mutex;
};

constexpr DWORD kCodeOutDirect = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x801, METHOD_OUT_DIRECT, FILE_READ_ACCESS);
constexpr DWORD kCodeBuffered = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x802, METHOD_BUFFERED, FILE_ANY_ACCESS);

class DeviceNamespaceTest : public SimulatedMachineTest {
protected:
    void SetUp() override {
        SimulatedMachineTest::SetUp();
        m_pDriver = std::make_shared<TestDriver>();
        ASSERT_TRUE(MachineDeviceRegister(L"NimboTestDevice", m_pDriver));
    }
    HANDLE Open(DWORD dwAccess = GENERIC_ALL) {
        return CreateFileW(L"\\\\.\\NimboTestDevice", dwAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    std::shared_ptr<TestDriver> m_pDriver;
};

TEST_F(DeviceNamespaceTest, UnknownDeviceIsFileNotFound) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CreateFileW(L"\\\\.\\NimboOtherDevice", GENERIC_ALL, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(DeviceNamespaceTest, NamesCompareCaseInsensitively) {
    HANDLE hDevice = CreateFileW(L"\\\\.\\nimbotestDEVICE", GENERIC_ALL, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hDevice, INVALID_HANDLE_VALUE);
    EXPECT_EQ(MachineDeviceFileCount(L"NimboTestDevice"), 1);
    EXPECT_TRUE(CloseHandle(hDevice));
    EXPECT_EQ(MachineDeviceFileCount(L"NimboTestDevice"), 0);
}

TEST_F(DeviceNamespaceTest, DriverMayRefuseTheOpen) {
    m_pDriver->OpenError = ERROR_ACCESS_DENIED;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(DeviceNamespaceTest, RequestReachesTheDriverWithExactCodeBuffersAndByteCount) {
    m_pDriver->OnControl = [](void* pOutput, DWORD, DWORD* pBytesReturned) {
        std::memset(pOutput, 0xAB, 6);
        *pBytesReturned = 6;
        return static_cast<DWORD>(ERROR_SUCCESS);
    };
    HANDLE hDevice = Open();
    ASSERT_NE(hDevice, INVALID_HANDLE_VALUE);
    uint8_t Input[5] = {1, 2, 3, 4, 5};
    uint8_t Output[16] = {};
    DWORD BytesReturned = 0xdeadbeef;
    EXPECT_TRUE(DeviceIoControl(hDevice, kCodeOutDirect, Input, sizeof(Input), Output, sizeof(Output),
                                &BytesReturned, nullptr));
    EXPECT_EQ(BytesReturned, 6u);
    ASSERT_EQ(m_pDriver->Requests.size(), 1u);
    const auto& Seen = m_pDriver->Requests[0];
    EXPECT_EQ(Seen.FileId, MachineDeviceFileIdGet(hDevice));
    EXPECT_EQ(Seen.Code, kCodeOutDirect);
    EXPECT_EQ(Seen.Input, std::vector<uint8_t>(Input, Input + 5));
    EXPECT_NE(Seen.pInput, static_cast<const void*>(Input));  // the input travels as a copy
    EXPECT_EQ(Seen.pOutput, static_cast<void*>(Output));      // the output buffer is the caller's
    EXPECT_EQ(Seen.CountByteInput, 5u);
    EXPECT_EQ(Seen.CountByteOutput, 16u);
    EXPECT_EQ(Output[5], 0xAB);
    EXPECT_TRUE(CloseHandle(hDevice));
}

TEST_F(DeviceNamespaceTest, DriverErrorBecomesTheLastErrorWithItsByteCount) {
    m_pDriver->OnControl = [](void*, DWORD, DWORD* pBytesReturned) {
        *pBytesReturned = 2;
        return static_cast<DWORD>(ERROR_MORE_DATA);
    };
    HANDLE hDevice = Open();
    uint8_t Output[4] = {};
    DWORD BytesReturned = 0;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeviceIoControl(hDevice, kCodeOutDirect, nullptr, 0, Output, 4, &BytesReturned, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(BytesReturned, 2u);
    CloseHandle(hDevice);
}

TEST_F(DeviceNamespaceTest, BufferedRequestCopiesBackOnlyTheBytesReturned) {
    m_pDriver->OnControl = [](void* pOutput, DWORD, DWORD* pBytesReturned) {
        std::memset(pOutput, 0x11, 8);
        *pBytesReturned = 3;
        return static_cast<DWORD>(ERROR_SUCCESS);
    };
    HANDLE hDevice = Open();
    uint8_t Output[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    DWORD BytesReturned = 0;
    EXPECT_TRUE(DeviceIoControl(hDevice, kCodeBuffered, nullptr, 0, Output, 8, &BytesReturned, nullptr));
    EXPECT_EQ(BytesReturned, 3u);
    EXPECT_EQ(Output[2], 0x11);
    EXPECT_EQ(Output[3], 0x00);
    EXPECT_NE(m_pDriver->Requests[0].pOutput, static_cast<void*>(Output));
    CloseHandle(hDevice);
}

TEST_F(DeviceNamespaceTest, ByteCountIsBoundedByTheOutputSize) {
    m_pDriver->OnControl = [](void*, DWORD, DWORD* pBytesReturned) {
        *pBytesReturned = 100;
        return static_cast<DWORD>(ERROR_SUCCESS);
    };
    HANDLE hDevice = Open();
    uint8_t Output[4];
    DWORD BytesReturned = 0;
    EXPECT_TRUE(DeviceIoControl(hDevice, kCodeOutDirect, nullptr, 0, Output, 4, &BytesReturned, nullptr));
    EXPECT_EQ(BytesReturned, 4u);
    CloseHandle(hDevice);
}

struct RefusedCase {
    const char* pName;
    bool bNullInputWithSize;
    bool bNullOutputWithSize;
    DWORD dwAccess;
    DWORD dwError;
};

const RefusedCase kRefusedCases[] = {
    {"NullInputWithSize", true, false, GENERIC_ALL, ERROR_NOACCESS},
    {"NullOutputWithSize", false, true, GENERIC_ALL, ERROR_NOACCESS},
    {"ReadAccessMissing", false, false, GENERIC_WRITE, ERROR_ACCESS_DENIED},
};

class DeviceNamespaceRefusedTest : public DeviceNamespaceTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(DeviceNamespaceRefusedTest, RefusedBeforeTheDriver) {
    const RefusedCase& Case = GetParam();
    HANDLE hDevice = Open(Case.dwAccess);
    ASSERT_NE(hDevice, INVALID_HANDLE_VALUE);
    uint8_t Buffer[4] = {};
    DWORD BytesReturned = 7;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeviceIoControl(hDevice, kCodeOutDirect, Case.bNullInputWithSize ? nullptr : Buffer, 4,
                                 Case.bNullOutputWithSize ? nullptr : Buffer, 4, &BytesReturned, nullptr));
    EXPECT_EQ(GetLastError(), Case.dwError);
    EXPECT_TRUE(m_pDriver->Requests.empty());
    CloseHandle(hDevice);
}

INSTANTIATE_TEST_SUITE_P(Cases, DeviceNamespaceRefusedTest, ::testing::ValuesIn(kRefusedCases),
                         [](const auto& Info) { return std::string(Info.param.pName); });

TEST_F(DeviceNamespaceTest, AnyAccessCodeNeedsNoReadAccess) {
    HANDLE hDevice = Open(GENERIC_WRITE);
    DWORD BytesReturned = 0;
    EXPECT_TRUE(DeviceIoControl(hDevice, kCodeBuffered, nullptr, 0, nullptr, 0, &BytesReturned, nullptr));
    CloseHandle(hDevice);
}

TEST_F(DeviceNamespaceTest, OtherHandlesAreInvalidForRequests) {
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE hDevice = Open();
    ASSERT_TRUE(CloseHandle(hDevice));
    for (HANDLE hHandle : {hEvent, hDevice, static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
        DWORD BytesReturned = 0;
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(DeviceIoControl(hHandle, kCodeOutDirect, nullptr, 0, nullptr, 0, &BytesReturned, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
    EXPECT_TRUE(m_pDriver->Requests.empty());
    CloseHandle(hEvent);
}

TEST_F(DeviceNamespaceTest, DriverHearsOfTheCloseWhenTheLastHandleCloses) {
    HANDLE hDevice = Open();
    HANDLE hCopy = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), hDevice, GetCurrentProcess(), &hCopy, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    const uint64_t FileId = MachineDeviceFileIdGet(hDevice);
    EXPECT_EQ(MachineDeviceFileIdGet(hCopy), FileId);
    EXPECT_TRUE(CloseHandle(hDevice));
    EXPECT_TRUE(m_pDriver->ClosedGet().empty());
    EXPECT_TRUE(CloseHandle(hCopy));
    EXPECT_EQ(m_pDriver->ClosedGet(), std::vector<uint64_t>{FileId});
    EXPECT_FALSE(CloseHandle(hCopy));
}

TEST_F(DeviceNamespaceTest, RequestInFlightKeepsTheFileOpen) {
    std::mutex Mutex;
    std::condition_variable Changed;
    bool bInside = false, bRelease = false;
    m_pDriver->OnControl = [&](void*, DWORD, DWORD*) {
        std::unique_lock<std::mutex> Lock(Mutex);
        bInside = true;
        Changed.notify_all();
        Changed.wait(Lock, [&] { return bRelease; });
        return static_cast<DWORD>(ERROR_SUCCESS);
    };
    HANDLE hDevice = Open();
    std::thread Requester([hDevice] {
        DWORD BytesReturned = 0;
        DeviceIoControl(hDevice, kCodeOutDirect, nullptr, 0, nullptr, 0, &BytesReturned, nullptr);
    });
    {
        std::unique_lock<std::mutex> Lock(Mutex);
        ASSERT_TRUE(Changed.wait_for(Lock, std::chrono::seconds(10), [&] { return bInside; }));
    }
    EXPECT_TRUE(CloseHandle(hDevice));
    EXPECT_TRUE(m_pDriver->ClosedGet().empty());
    {
        std::lock_guard<std::mutex> Lock(Mutex);
        bRelease = true;
    }
    Changed.notify_all();
    Requester.join();
    EXPECT_EQ(m_pDriver->ClosedGet().size(), 1u);
}

TEST_F(DeviceNamespaceTest, RequestsOnOneHandleRunConcurrently) {
    // Each request waits inside the driver until both are inside: they can
    // only finish if the namespace lets them run at the same time.
    std::mutex Mutex;
    std::condition_variable Changed;
    int Inside = 0;
    m_pDriver->OnControl = [&](void*, DWORD, DWORD*) {
        std::unique_lock<std::mutex> Lock(Mutex);
        ++Inside;
        Changed.notify_all();
        const bool bBoth = Changed.wait_for(Lock, std::chrono::seconds(10), [&] { return Inside >= 2; });
        return static_cast<DWORD>(bBoth ? ERROR_SUCCESS : ERROR_TIMEOUT);
    };
    HANDLE hDevice = Open();
    BOOL bResults[2] = {FALSE, FALSE};
    std::vector<std::thread> Threads;
    for (int Index = 0; Index < 2; ++Index)
        Threads.emplace_back([&, Index] {
            DWORD BytesReturned = 0;
            bResults[Index] = DeviceIoControl(hDevice, kCodeOutDirect, nullptr, 0, nullptr, 0, &BytesReturned, nullptr);
        });
    for (auto& Thread : Threads)
        Thread.join();
    EXPECT_TRUE(bResults[0]);
    EXPECT_TRUE(bResults[1]);
    CloseHandle(hDevice);
}

TEST_F(DeviceNamespaceTest, UnregisteredDeviceKeepsServingOpenFiles) {
    HANDLE hDevice = Open();
    ASSERT_TRUE(MachineDeviceUnregister(L"NimboTestDevice"));
    EXPECT_FALSE(MachineDeviceIsRegistered(L"NimboTestDevice"));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    DWORD BytesReturned = 0;
    EXPECT_TRUE(DeviceIoControl(hDevice, kCodeOutDirect, nullptr, 0, nullptr, 0, &BytesReturned, nullptr));
    EXPECT_TRUE(CloseHandle(hDevice));
    EXPECT_EQ(m_pDriver->ClosedGet().size(), 1u);
}

TEST_F(DeviceNamespaceTest, NameCanBeRegisteredOnce) {
    EXPECT_FALSE(MachineDeviceRegister(L"NIMBOTESTDEVICE", std::make_shared<TestDriver>()));
}

TEST_F(DeviceNamespaceTest, SharedResourceLivesWhileAHandleNamesIt) {
    auto pTexture = std::make_shared<MachineSharedTexture>();
    std::weak_ptr<MachineSharedTexture> pWatch = pTexture;
    HANDLE hResource = MachineSharedResourceHandleCreate(pTexture);
    pTexture.reset();
    ASSERT_NE(hResource, nullptr);
    HANDLE hCopy = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), hResource, GetCurrentProcess(), &hCopy, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    EXPECT_EQ(MachineSharedResourceFromHandle(hCopy), pWatch.lock());
    EXPECT_EQ(MachineHandlesLiveOfKind("SharedResource"), 2);
    EXPECT_TRUE(CloseHandle(hResource));
    EXPECT_FALSE(pWatch.expired());
    EXPECT_TRUE(CloseHandle(hCopy));
    EXPECT_TRUE(pWatch.expired());
    EXPECT_EQ(MachineSharedResourceFromHandle(hCopy), nullptr);
}

}  // namespace
