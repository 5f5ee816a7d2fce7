#include "D3DAdapterList.h"

namespace {

std::vector<MachineD3DAdapter> DefaultAdapters() {
    return {
        MachineD3DAdapter{LUID{0x0000D3D0, 0}, L"Simulated Render Adapter", 0x1414, 0x008C},
        MachineD3DAdapter{LUID{0x0000ADA0, 0}, L"Simulated Indirect Display Adapter", 0x1414, 0x0000},
    };
}

}  // namespace

D3DAdapterList& D3DAdapterList::Instance() {
    static D3DAdapterList s_List;
    return s_List;
}

D3DAdapterList::D3DAdapterList() : m_Adapters(DefaultAdapters()) {}

void D3DAdapterList::Set(const std::vector<MachineD3DAdapter>& Adapters) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    m_Adapters = Adapters;
    ++m_Generation;
}

std::vector<MachineD3DAdapter> D3DAdapterList::Get() {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_Adapters;
}

uint64_t D3DAdapterList::GenerationGet() {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_Generation;
}

void D3DAdapterList::Reset() { Set(DefaultAdapters()); }
