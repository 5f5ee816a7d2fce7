// The library's conversation with the indirect display driver: opening its
// control device with the process introduction, one wrapper per request, and
// the Plug-and-Play registrations that tell the host that the driver's device
// arrived or is about to go away. Requests are synchronous and may come from
// several threads at once.
#pragma once

#include <cstdint>

#include "driver/ALDeviceBase.h"
#include "driver/ALIddCxRecords.h"

class ALDeviceControlIddCx : public ALDeviceBase {
public:
    // The device interface class of the indirect display driver.
    static constexpr GUID InterfaceClassGuid = {
        0x017F0AC2, 0xA4DE, 0x4694, {0xAB, 0xAD, 0xAC, 0xC3, 0xE0, 0xA1, 0x59, 0xD3}};

    ALDeviceControlIddCx();
    ~ALDeviceControlIddCx() override;

    // Opens the device and introduces the process to the driver; the process
    // object is open to every account only while that request runs. False
    // when the open or the introduction failed (the device then stays open).
    bool Create(const std::wstring& DevicePath) override;
    // Ends the removal registration and closes the device. The arrival
    // registration stays.
    virtual bool Destroy();

    // The driver's "already exists" answer counts as success.
    bool IoctlMonitorPlug(void* pPlugRecord, uint32_t CountBytePlugRecord, MonitorPlugInfoOut* pPlugInfo);
    bool IoctlMonitorUnplug(uint32_t MonitorIndex);
    // Clears *pEventsInfo before the request.
    bool IoctlMonitorFrameBufferEventsSubscribe(uint32_t MonitorIndex, MonitorFrameBufferEventsInfo* pEventsInfo);
    // The caller clears *pEvent before each call.
    bool IoctlMonitorSwapchainEventsRetrieve(uint32_t MonitorIndex, MonitorSwapchainEvent* pEvent);
    // *pBytesReturned 0: no new frame.
    bool IoctlMonitorFrameBufferDirectXAcquire(uint32_t MonitorIndex, DirectXData* pDirectXData,
                                               DWORD* pBytesReturned);
    bool IoctlMonitorPersistOnClose(bool bEnable);
    bool PrivateIoctlProcessApplicationHandleSet();

    bool PnPNotificationArrivalSubscribe(HANDLE hRecipient, bool bRecipientIsWindow);
    bool PnPNotificationRemovalSubscribe(HANDLE hRecipient, bool bRecipientIsWindow);
    // Whether a removal notice names the open device handle.
    bool OnPnPNotificationDeviceRemoval(HANDLE hNotified);

private:
    bool PrivateControl(uint32_t Code, const void* pInput, uint32_t CountByteInput, void* pOutput,
                        uint32_t CountByteOutput, DWORD* pBytesReturned = nullptr);
    void PrivateProcessIntroduce(bool* pbIntroduced);

    HDEVNOTIFY m_hDevNotifyRemoval;
    HDEVNOTIFY m_hDevNotifyArrival;
};
