#include "HookChangeSource.h"

void HookChangeSource::Signal(SimHookDriver& Driver) {
    if (m_Kind == Kind::FrameChange) {
        m_Position = (m_Position + 16) % 1024;
        Driver.FrameUpdateAnnounce(0, 0, RECT{m_Position, 100, m_Position + 64, 164}, 0);
    } else {
        m_Position = (m_Position + 7) % 1000;
        Driver.PointerPositionSet(0, 0, m_Position, 200, true);
    }
}
