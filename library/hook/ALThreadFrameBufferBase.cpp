#include "hook/ALThreadFrameBufferBase.h"

LUID ALThreadFrameBufferBase::AdapterLuidGet() {
    LUID Luid{};
    return Luid;
}
