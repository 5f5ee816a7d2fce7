// The simulated kernel-mode hook display driver behind "\\.\NimboHookCtrlvantor":
// adapters with monitor slots, plug and unplug, EDIDs, the monitor event ring,
// the frame buffer with its update-rectangle ring and pointer record in
// memory shared with the process, zero-copy buffers and persist-on-close.
//
// Every request validates its buffers and indexes and answers with a Win32
// error as a driver would:
//   ERROR_INSUFFICIENT_BUFFER   a buffer missing or shorter than its record
//   ERROR_INVALID_PARAMETER     an index past the adapters or slots, a bad
//                               description, or an address that names no
//                               mapping of the slot
//   ERROR_INVALID_HANDLE        an event handle that names nothing
//   ERROR_NOT_SUPPORTED         a plug on an inactive adapter
//   ERROR_DEVICE_NOT_CONNECTED  a request for a slot without a monitor
//   ERROR_ALREADY_EXISTS        plug, subscription or mapping already there
//   ERROR_NOT_FOUND             unsubscribe or unmap without a subscription
//                               or mapping
//   ERROR_INVALID_FUNCTION      an unknown code
// Events passed in are referenced by duplicates the driver owns; what the
// driver maps stays valid until unmapped or until the file closes.
//
// The scenario operations (below) act as Windows and the display hardware
// would: they write the shared memory and signal the events.
#pragma once

#include <memory>
#include <vector>

#include "SimDriverBase.h"
#include "SimFramePattern.h"
#include "SimHookDriverConfig.h"
#include "SimMonitorDescription.h"
#include "SimSharedSection.h"
#include "driver/ALHookSharedRecords.h"

class SimHookDriver : public SimDriverBase {
public:
    static constexpr const wchar_t* DeviceName = L"NimboHookCtrlvantor";
    static constexpr const wchar_t* ServiceKey = L"System\\CurrentControlSet\\Services\\vantorHookKmode";

    // Values the driver writes into shared records.
    static constexpr uint32_t BitsPerPixel = 32;  // frame-buffer description, bytes 8-11
    static constexpr uint32_t PitchAlignment = 64;

    using Config = SimHookDriverConfig;
    enum class Ring { MonitorEvents, Updates };

    explicit SimHookDriver(const Config& Settings);
    ~SimHookDriver() override;

    // A new driver registered under its device name (null when the name is
    // taken); Uninstall removes the name.
    static std::shared_ptr<SimHookDriver> Install(const Config& Settings = Config());
    bool Uninstall();

    // --- scenario: Windows and the display hardware --------------------------
    bool AdapterActiveSet(uint32_t AdapterIndex, bool bActive);
    void PointerEventsEnabledSet(uint32_t PointerEventsEnabled);
    // A record in the event ring and the monitor event; false without a
    // subscription (the event is lost, as it would be).
    bool MonitorVisibilitySet(uint32_t AdapterIndex, uint32_t MonitorIndex, bool bVisible);
    bool MonitorPowerEventEmit(uint32_t AdapterIndex, uint32_t MonitorIndex, uint32_t PowerState,
                               uint32_t PowerAction);
    // Any record, such as one of a type the library does not know.
    bool MonitorEventEmit(uint32_t AdapterIndex, uint32_t MonitorIndex, const NIMBO_MONITOR_EVENT& Event);
    // Draws the next pattern frame into the frame buffer and, while mapped,
    // announces its dirty rectangle with Flags; *pChanged receives it.
    bool FramePresent(uint32_t AdapterIndex, uint32_t MonitorIndex, uint32_t Flags = 0, RECT* pChanged = nullptr);
    // Announces an update entry as given, without drawing.
    bool FrameUpdateAnnounce(uint32_t AdapterIndex, uint32_t MonitorIndex, const RECT& RectDestination,
                             uint32_t Flags);
    // Sets the update ring's overflow flag and signals, as when entries were lost.
    bool UpdateRingOverflowRaise(uint32_t AdapterIndex, uint32_t MonitorIndex);
    bool PointerPositionSet(uint32_t AdapterIndex, uint32_t MonitorIndex, int32_t X, int32_t Y, bool bVisible);
    bool PointerShapeSet(uint32_t AdapterIndex, uint32_t MonitorIndex, uint32_t Width, uint32_t Height,
                         const std::vector<uint8_t>& ShapeData);
    // Overwrites (corrupts) a ring header as the process sees it.
    bool RingHeaderWrite(uint32_t AdapterIndex, uint32_t MonitorIndex, Ring Which, const CircularBufferHeader& Header);
    bool RingHeaderRead(uint32_t AdapterIndex, uint32_t MonitorIndex, Ring Which, CircularBufferHeader* pHeader) const;

    // --- queries -------------------------------------------------------------
    bool MonitorIsPlugged(uint32_t AdapterIndex, uint32_t MonitorIndex) const;
    bool MonitorIsSubscribed(uint32_t AdapterIndex, uint32_t MonitorIndex) const;
    bool MonitorIsMapped(uint32_t AdapterIndex, uint32_t MonitorIndex) const;
    std::vector<uint8_t> MonitorEdidGet(uint32_t AdapterIndex, uint32_t MonitorIndex) const;
    SimMonitorDescription MonitorDescriptionGet(uint32_t AdapterIndex, uint32_t MonitorIndex) const;
    // Auxiliary buffers handed out and not yet handed back.
    size_t ZeroCopyMappingCount(uint32_t AdapterIndex, uint32_t MonitorIndex) const;
    // The driver's copy of the frame (empty without a monitor).
    std::vector<uint8_t> FramePixelsGet(uint32_t AdapterIndex, uint32_t MonitorIndex, uint32_t* pPitch) const;
    // Views of this driver's memory still mapped into the process.
    size_t ViewCount() const;
    // The performance counter just before FramePresent announced the slot's
    // last frame (its event set); 0 before the first and when the last was
    // drawn while unmapped (not announced). Latency measurements start here.
    int64_t FramePublishTicksGet(uint32_t AdapterIndex, uint32_t MonitorIndex) const;
    // Pattern frames drawn on the slot's monitor (its plug draws the first);
    // the next FramePresent draws frame number FrameCountGet().
    uint64_t FrameCountGet(uint32_t AdapterIndex, uint32_t MonitorIndex) const;

private:
    struct ZeroCopyMapping {
        uint64_t FileId;
        std::shared_ptr<SimSharedSection> pFrame;
        void* pFrameView;
        std::shared_ptr<SimSharedSection> pAuxiliary;  // null once handed back
        void* pAuxiliaryView;
    };
    struct Slot {
        std::vector<uint8_t> Edid;
        // events subscription
        bool bSubscribed = false;
        uint64_t SubscriberFileId = 0;
        HANDLE hEventMonitor = nullptr;
        HANDLE hEventPointerPositionChanged = nullptr;
        HANDLE hEventPointerShapeChanged = nullptr;
        std::shared_ptr<SimSharedSection> pEventRing;
        void* pEventRingView = nullptr;
        uint32_t EventProducer = 0;
        // monitor
        bool bPlugged = false;
        uint64_t OwnerFileId = 0;
        SimMonitorDescription Description;
        uint32_t Pitch = 0;
        std::shared_ptr<SimSharedSection> pFrame;
        std::shared_ptr<SimSharedSection> pPointer;
        std::unique_ptr<SimFramePattern> pPattern;
        // frame-buffer mapping
        bool bMapped = false;
        uint64_t MapperFileId = 0;
        HANDLE hEventFramebufferChanged = nullptr;
        std::shared_ptr<SimSharedSection> pUpdateRing;
        void* pFrameView = nullptr;
        void* pUpdateRingView = nullptr;
        void* pPointerView = nullptr;
        uint32_t UpdateProducer = 0;
        std::vector<ZeroCopyMapping> ZeroCopy;
        int64_t PublishTicks = 0;
    };
    struct Orphan {
        uint64_t FileId;
        std::shared_ptr<SimSharedSection> pSection;
    };

    DWORD PrivateRequest(DWORD Code, const Buffers& Request) override;
    std::wstring PrivateDecode(DWORD Code, const SimRequest& Request) const override;
    void PrivateFileClose(uint64_t FileId, uint32_t PersistOnClose) override;

    DWORD PrivateAdapterIsActive(const Buffers& Request);
    DWORD PrivatePlug(const Buffers& Request);
    DWORD PrivateUnplug(const Buffers& Request);
    DWORD PrivateEdidSet(const Buffers& Request);
    DWORD PrivateEventsSubscribe(const Buffers& Request);
    DWORD PrivateEventUnsubscribe(const Buffers& Request);
    DWORD PrivateFrameBufferMap(const Buffers& Request);
    DWORD PrivateFrameBufferUnmap(const Buffers& Request);
    DWORD PrivateZeroCopyUpdate(const Buffers& Request);
    DWORD PrivateZeroCopyUnmap(const Buffers& Request);

    // The slot a record names (its first two u32); null when out of range.
    Slot* PrivateSlotFind(uint32_t AdapterIndex, uint32_t MonitorIndex);
    const Slot* PrivateSlotFind(uint32_t AdapterIndex, uint32_t MonitorIndex) const;
    Slot* PrivateSlotOfRecord(const uint8_t* pRecord, DWORD CountByteRecord, DWORD CountByteNeeded, DWORD* pdwError);

    void PrivateSubscriptionEnd(Slot& Target, bool bUnmapView);
    void PrivateMappingEnd(Slot& Target, bool bUnmapViews);
    void PrivateZeroCopyEnd(ZeroCopyMapping& Mapping);
    void PrivateMonitorRemove(Slot& Target);
    void PrivateOrphan(uint64_t FileId, const std::shared_ptr<SimSharedSection>& pSection);

    bool PrivateEventPush(Slot& Target, const NIMBO_MONITOR_EVENT& Event);
    bool PrivateUpdatePush(Slot& Target, const FrameBufferUpdateEntry& Entry);
    static void PrivateRingInit(SimSharedSection& Ring, uint32_t CountElements, uint32_t CountByteElement);
    static bool PrivateRingPush(SimSharedSection& Ring, uint32_t* pProducer, uint32_t CountElements,
                                const void* pElement, uint32_t CountByteElement);

    Config m_Config;
    std::vector<std::vector<Slot>> m_Slots;  // [adapter][monitor]
    std::vector<Orphan> m_Orphans;           // views left to their file's close
};
