// IUnknown and interface identifiers of the simulated platform's COM subset.
//
// An interface's identifier is found from its type through D3DInterfaceId
// (the role __uuidof plays with the Windows SDK), so IID_PPV_ARGS works the
// same on every build. The identifier values are the documented ones.
#pragma once

#include <type_traits>

#include "win32_base.h"

#define STDMETHODCALLTYPE

template <typename Interface>
struct D3DInterfaceId;

#define NIMBO_D3D_INTERFACE_ID(Interface, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
    struct Interface;                                                                \
    template <>                                                                      \
    struct D3DInterfaceId<Interface> {                                               \
        static constexpr GUID Value = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}; \
    }

NIMBO_D3D_INTERFACE_ID(IUnknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);

template <typename Interface>
void** IID_PPV_ARGS_Helper(Interface** ppInterface) {
    return reinterpret_cast<void**>(ppInterface);
}

#define IID_PPV_ARGS(ppType) \
    D3DInterfaceId<std::remove_cv_t<std::remove_pointer_t<std::remove_reference_t<decltype(*(ppType))>>>>::Value, \
        IID_PPV_ARGS_Helper(ppType)

// Interfaces have no virtual destructor, as in COM: an object is destroyed
// only by its own final Release.
struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

protected:
    ~IUnknown() = default;
};
