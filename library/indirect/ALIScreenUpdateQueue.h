#pragma once

#include "indirect/ScreenUpdateResource.h"

// The two-place queue between the swap-chain resource thread (producer) and
// the frame-buffer thread (consumer). The front is the older entry, which
// the consumer reads; when the queue is full a new entry replaces the unread
// back entry and takes over its changed area. It never owns, copies or frees
// an entry and has no lock: its owner holds one around every call.
class ALIScreenUpdateQueue {
public:
    ALIScreenUpdateQueue();
    virtual ~ALIScreenUpdateQueue();
    ALIScreenUpdateQueue(const ALIScreenUpdateQueue&) = delete;
    ALIScreenUpdateQueue& operator=(const ALIScreenUpdateQueue&) = delete;

    // Adds pEntry at the back; *ppFront is the front afterwards, or null
    // when pEntry itself became the front.
    void PushBack(ScreenUpdateResource* pEntry, ScreenUpdateResource** ppFront);
    // The front without removing it; false (and null) when empty.
    bool Peek(ScreenUpdateResource** ppFront);
    // Removes the front, but only if it is pEntry.
    bool PopFront(ScreenUpdateResource* pEntry);

private:
    ScreenUpdateResource* m_Buffer[2];  // [0] front (older), [1] back (newer)
};
