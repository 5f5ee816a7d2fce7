// Holds one request inside a simulated driver until the test releases it:
// a slow request without guessing times. The test can wait until the
// request is being held.
#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/win32.h"

class SimRequestGate {
public:
    // False after dwMilliseconds (a safety limit) without a held request.
    bool WaitUntilHeld(DWORD dwMilliseconds);
    bool IsHeld() const;
    // Lets the held request (or the next one to arrive) go on.
    void Release();

    // Called by the driver on the request's thread.
    void Hold();

private:
    mutable std::mutex m_Mutex;
    std::condition_variable m_Changed;
    bool m_bHeld = false;
    bool m_bReleased = false;
};
