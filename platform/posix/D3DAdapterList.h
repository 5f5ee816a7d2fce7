// The adapters of the simulated machine, as DXGI factories enumerate them.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "machine_d3d.h"

class D3DAdapterList {
public:
    static D3DAdapterList& Instance();

    void Set(const std::vector<MachineD3DAdapter>& Adapters);
    std::vector<MachineD3DAdapter> Get();
    // Changes with every Set (a factory is current while it matches).
    uint64_t GenerationGet();
    void Reset();

private:
    D3DAdapterList();

    std::mutex m_Mutex;
    std::vector<MachineD3DAdapter> m_Adapters;
    uint64_t m_Generation = 0;
};
