// The driver's side of the changes the hook benchmark measures, one after
// the other: a new update rectangle for each frame change, a new position
// for each pointer move.
#pragma once

#include <cstdint>

#include "sim/SimHookDriver.h"

class HookChangeSource {
public:
    enum class Kind { FrameChange, PointerMove };

    explicit HookChangeSource(Kind Which) : m_Kind(Which) {}
    // The name of the kind in the benchmark's label.
    static const char* EventName(Kind Which) { return Which == Kind::FrameChange ? "frame-change" : "pointer-move"; }
    void Signal(SimHookDriver& Driver);

private:
    const Kind m_Kind;
    int32_t m_Position = 0;
};
