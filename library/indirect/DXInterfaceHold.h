#pragma once

// Holds one reference to a Direct3D interface for a scope: an exception
// that unwinds the scope (a fault inside a guarded handler) releases it,
// where the normal path releases it explicitly, in its own order.
template <typename Interface>
class DXInterfaceHold {
public:
    explicit DXInterfaceHold(Interface* pInterface) : m_pInterface(pInterface) {}
    ~DXInterfaceHold() { Release(); }
    DXInterfaceHold(const DXInterfaceHold&) = delete;
    DXInterfaceHold& operator=(const DXInterfaceHold&) = delete;

    Interface* Get() const { return m_pInterface; }
    void Set(Interface* pInterface) {
        Release();
        m_pInterface = pInterface;
    }
    void Release() {
        if (m_pInterface != nullptr)
            m_pInterface->Release();
        m_pInterface = nullptr;
    }

private:
    Interface* m_pInterface;
};
