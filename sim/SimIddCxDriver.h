// The simulated indirect display driver behind
// "\\.\NimboIndirectCtrlkorvaxHalden": monitor slots, the process
// introduction, plug and unplug, the swap-chain event queue with render
// adapters, frame-buffer event subscription and frame acquisition as shared
// textures with their update rectangles, and persist-on-close.
//
// The driver runs, as a user-mode driver does, in an account of its own: the
// introduction succeeds only while the application's process object lets
// such an account open it (ERROR_ACCESS_DENIED otherwise), and only then can
// the driver hand out handles (requests that would hand one out fail with
// ERROR_INVALID_HANDLE before it). Other answers:
//   ERROR_INSUFFICIENT_BUFFER   a buffer missing or shorter than its record
//   ERROR_INVALID_PARAMETER     a slot past the monitor count, a bad
//                               description, another process's id
//   ERROR_DEVICE_NOT_CONNECTED  a request for a slot without a monitor
//   ERROR_ALREADY_EXISTS        a plug of a plugged slot (output untouched)
//   ERROR_INVALID_FUNCTION      an unknown code
// Handles it hands out are duplicates made for the application's process;
// the driver keeps its own. A retrieval without a pending swap-chain event,
// and an acquisition without a new frame (or without a swap chain), succeed
// with EventPresent 0 and 0 bytes respectively.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "SimDriverBase.h"
#include "SimFramePattern.h"
#include "SimIddCxDriverConfig.h"
#include "SimMonitorDescription.h"
#include "driver/ALIddCxRecords.h"

class SimIddCxDriver : public SimDriverBase {
public:
    static constexpr const wchar_t* DeviceName = L"NimboIndirectCtrlkorvaxHalden";
    static constexpr const wchar_t* ServiceKey =
        L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\WUDF\\Services\\vantorDisplayUmode";

    // Values the driver chooses.
    static constexpr uint32_t TargetIdBase = 0x1000;  // target id = base + slot
    static constexpr uint32_t BitsPerPixel = 32;      // frame-buffer description, bytes 8-11
    static constexpr uint32_t FrameFormat = 87;       // DXGI_FORMAT_B8G8R8A8_UNORM
    static constexpr uint32_t PitchAlignment = 64;

    using Config = SimIddCxDriverConfig;

    explicit SimIddCxDriver(const Config& Settings);
    ~SimIddCxDriver() override;

    static std::shared_ptr<SimIddCxDriver> Install(const Config& Settings = Config());
    bool Uninstall();

    // --- scenario: Windows and the render adapter ---------------------------
    // Queues an assigned (or unassigned) event and signals the slot's event.
    bool SwapchainAssign(uint32_t MonitorIndex, const LUID& RenderAdapterLuid);
    bool SwapchainUnassign(uint32_t MonitorIndex);
    // Queues any record, such as one of a type the library does not know,
    // and signals the slot's event.
    bool SwapchainEventEmit(uint32_t MonitorIndex, const MonitorSwapchainEvent& Event);
    // The slot's next acquisition hands out a handle that no longer names
    // its texture (closed before the process sees it), as a driver that
    // released the frame too early would.
    bool FrameHandleStaleNext(uint32_t MonitorIndex);
    // While set, every retrieval for the slot answers one more event (of a
    // type the library does not know): a driver whose queue never runs dry.
    bool SwapchainEventsEndlessSet(uint32_t MonitorIndex, bool bEndless);
    // Renders the next pattern frame into a shared texture, makes it the
    // pending frame (its rectangle merged with a pending one's) and signals
    // frame availability. False without a swap chain.
    bool FramePresent(uint32_t MonitorIndex, RECT* pChanged = nullptr);
    // Presents the current picture again, announcing Rect as changed.
    bool FramePresentRect(uint32_t MonitorIndex, const RECT& Rect);

    // --- queries -------------------------------------------------------------
    bool MonitorIsPlugged(uint32_t MonitorIndex) const;
    SimMonitorDescription MonitorDescriptionGet(uint32_t MonitorIndex) const;
    bool SwapchainIsAssigned(uint32_t MonitorIndex) const;
    size_t SwapchainEventsPending(uint32_t MonitorIndex) const;
    bool FrameIsPending(uint32_t MonitorIndex) const;
    // The expected pixel of the last rendered frame.
    uint32_t FramePixelGet(uint32_t MonitorIndex, uint32_t X, uint32_t Y) const;
    bool ProcessIsIntroduced(uint64_t FileId) const;
    // Introductions handled, and whether the process was open to the
    // driver's account during the last one.
    unsigned IntroductionCount() const;
    bool IntroductionProcessWasOpen() const;
    // Shared textures that a handle or an opened resource still holds.
    size_t TexturesInUseCount() const;
    // The performance counter just before the slot's last frame was made
    // available (its event set); 0 before the first. Latency measurements
    // start here.
    int64_t FramePublishTicksGet(uint32_t MonitorIndex) const;
    // Pattern frames drawn on the slot's monitor; the next FramePresent
    // draws frame number FrameCountGet().
    uint64_t FrameCountGet(uint32_t MonitorIndex) const;

private:
    struct Slot {
        bool bPlugged = false;
        uint64_t OwnerFileId = 0;
        SimMonitorDescription Description;
        HANDLE hEventSwapchainChanged = nullptr;      // manual reset
        HANDLE hEventFramebufferAvailable = nullptr;  // auto reset
        std::deque<MonitorSwapchainEvent> SwapchainEvents;
        bool bSwapchainAssigned = false;
        LUID RenderAdapterLuid{};
        uint32_t Pitch = 0;
        std::vector<uint8_t> Master;  // the current picture
        std::unique_ptr<SimFramePattern> pPattern;
        std::vector<std::shared_ptr<MachineSharedTexture>> Textures;
        std::shared_ptr<MachineSharedTexture> pPending;
        RECT PendingRect{};
        int64_t PublishTicks = 0;
        bool bHandleStaleNext = false;
        bool bSwapchainEventsEndless = false;
    };

    DWORD PrivateRequest(DWORD Code, const Buffers& Request) override;
    std::wstring PrivateDecode(DWORD Code, const SimRequest& Request) const override;
    void PrivateFileClose(uint64_t FileId, uint32_t PersistOnClose) override;

    DWORD PrivateProcessIntroduce(const Buffers& Request);
    DWORD PrivatePlug(const Buffers& Request);
    DWORD PrivateUnplug(const Buffers& Request);
    DWORD PrivateSwapchainEventRetrieve(const Buffers& Request);
    DWORD PrivateFrameBufferEventsSubscribe(const Buffers& Request);
    DWORD PrivateDirectXAcquire(const Buffers& Request);

    // The slot named by a 4-byte index input; null with *pdwError set.
    Slot* PrivateSlotOfInput(const Buffers& Request, DWORD CountByteOutput, DWORD* pdwError);
    Slot* PrivateSlotFind(uint32_t MonitorIndex);
    const Slot* PrivateSlotFind(uint32_t MonitorIndex) const;
    HANDLE PrivateProcessOf(uint64_t FileId) const;
    void PrivateMonitorRemove(Slot& Target);
    void PrivateSwapchainEventQueue(Slot& Target, uint32_t EventType, const LUID& RenderAdapterLuid);
    std::shared_ptr<MachineSharedTexture> PrivateTextureFree(Slot& Target);
    void PrivateFramePublish(Slot& Target, const RECT& Rect);

    Config m_Config;
    std::vector<Slot> m_Slots;
    std::map<uint64_t, HANDLE> m_Processes;  // per file: the driver's handle to the application's process
    unsigned m_IntroductionCount = 0;
    bool m_bIntroductionProcessWasOpen = false;
};
