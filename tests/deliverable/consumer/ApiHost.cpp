// Holds the library's API object directly and supplies a monitor instance of
// its own; with no display driver the Initialize fails and nothing is
// plugged.
#include <cstdio>
#include <string>

#include "NimboApi.h"

namespace {

class HostDisplay : public INimboApiDisplayMonitorInstance {
public:
    void MonitorStop() override {}
    bool MonitorVisibilitySet(bool) override { return true; }
    bool FrameBufferUpdate(FrameBufferInfo Info, void*, UINT32, void*, UINT32, RECT*, UINT32,
                           PointerInfo* pPointerInfo) override {
        m_Width = Info.Width;
        return pPointerInfo == nullptr || pPointerInfo->Visible <= 1;
    }
    bool CursorPositionSet(int, int, int) override { return true; }
    bool CursorShapeSet(PointerInfo*) override { return true; }
    bool Heartbeat() override { return true; }
    bool InactivitySet(INT32) override { return true; }
    std::wstring InstanceIdGet() override { return L"{00000000-0000-0000-0000-000000000001}"; }
    std::wstring InstanceNameGet() override { return L"host display"; }
    UINT32 InstanceContextGet() override { return m_Width; }
    bool GetMonitorDescription(BYTE**, UINT32*, BYTE**, UINT32*) override { return false; }
    bool InstanceQuery(void*) override { return false; }

private:
    UINT32 m_Width = 0;
};

}  // namespace

int main() {
    INimboApi* pApi = NimboApiGet();
    HostDisplay Display;
    const bool bInitialized = pApi->Initialize(L"\\\\.\\NimboHookCtrlvantor", NIMBO_API_TYPE_HOOK_DRIVER);
    std::printf("Initialize %d\n", bInitialized ? 1 : 0);
    std::printf("InstanceContextGet %u\n", static_cast<unsigned>(Display.InstanceContextGet()));
    pApi->Uninitialize(true);
    return 0;
}
