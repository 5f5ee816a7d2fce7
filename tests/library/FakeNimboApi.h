// An INimboApi that records what the wrapper context asks of it and answers
// as configured. A plug it accepts takes the instance over, as a started
// frame-buffer thread would, and deletes it at the end; a plug it refuses
// keeps nothing of the instance but its mode values.
#pragma once

#include <memory>
#include <vector>

#include "api/INimboApi.h"
#include "interface/KorvaxHaldenDisplay.h"

class FakeNimboApi : public INimboApi {
public:
    struct PlugCall {
        bool bKorvaxHaldenDisplay = false;
        INT32 ModeValue0 = 0;
        INT32 ModeValue1 = 0;
    };
    struct UnplugCall {
        INimboApiDisplayMonitorInstance* pHardware;
        bool bUnplug;
    };
    struct EnumerateCall {
        uint32_t EnumIdx;
        bool bOutputsGiven;  // all three output pointers non-null
    };

    bool Initialize(LPCWSTR, int) override { return true; }
    void Uninitialize(bool bUnplug) override { m_Uninitializes.push_back(bUnplug); }
    bool DisplayMonitorPlug(INimboApiDisplayMonitorInstance* pHardware) override {
        PlugCall Call;
        if (auto* pDisplay = dynamic_cast<KorvaxHaldenDisplay*>(pHardware)) {
            Call.bKorvaxHaldenDisplay = true;
            Call.ModeValue0 = pDisplay->ModeValue0;
            Call.ModeValue1 = pDisplay->ModeValue1;
        }
        m_Plugs.push_back(Call);
        if (!m_bPlugResult)
            return false;
        m_Owned.emplace_back(pHardware);
        return true;
    }
    void DisplayMonitorUnplug(INimboApiDisplayMonitorInstance* pHardware, bool bUnplug) override {
        m_Unplugs.push_back({pHardware, bUnplug});
    }
    void MonitorUnplugMissingUponPowerResume() override {}
    void DisplayConfigurationReset() override {}
    INimboApiDisplayMonitorInstance* DisplayMonitorAssignmentEnumerate(uint32_t EnumIdx, int* targetId,
                                                                       int* VideoPresentTargetId,
                                                                       LUID* adapterLuid) override {
        m_Enumerates.push_back({EnumIdx, targetId != nullptr && VideoPresentTargetId != nullptr && adapterLuid != nullptr});
        if (targetId != nullptr)
            *targetId = m_EnumeratedTargetId;
        if (VideoPresentTargetId != nullptr)
            *VideoPresentTargetId = m_EnumeratedVideoPresentTargetId;
        if (adapterLuid != nullptr && m_bEnumeratedLuidWrite)
            *adapterLuid = m_EnumeratedLuid;
        return nullptr;
    }

    INimboApiDisplayMonitorInstance* OwnedLastGet() const { return m_Owned.empty() ? nullptr : m_Owned.back().get(); }

    bool m_bPlugResult = true;
    int m_EnumeratedTargetId = 0;
    int m_EnumeratedVideoPresentTargetId = 0;
    bool m_bEnumeratedLuidWrite = false;  // else the LUID output is left as the caller set it
    LUID m_EnumeratedLuid{};

    std::vector<bool> m_Uninitializes;
    std::vector<PlugCall> m_Plugs;
    std::vector<UnplugCall> m_Unplugs;
    std::vector<EnumerateCall> m_Enumerates;

private:
    std::vector<std::unique_ptr<INimboApiDisplayMonitorInstance>> m_Owned;
};
