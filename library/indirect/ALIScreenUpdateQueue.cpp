#include "indirect/ALIScreenUpdateQueue.h"

#include "support/ALDebugLog.h"
#include "support/RectangleUnionClamp.h"

ALIScreenUpdateQueue::ALIScreenUpdateQueue() : m_Buffer{nullptr, nullptr} {}

ALIScreenUpdateQueue::~ALIScreenUpdateQueue() {}

void ALIScreenUpdateQueue::PushBack(ScreenUpdateResource* pEntry, ScreenUpdateResource** ppFront) {
    if (m_Buffer[0] == nullptr) {
        m_Buffer[0] = pEntry;
        *ppFront = nullptr;
        if (m_Buffer[1] != nullptr)
            ALDebugPrint(AL_DEBUG_ERROR,
                         L"ALIScreenUpdateQueue::PushBack failed! Internal buffer error (this should never happen)\n");
        return;
    }
    if (m_Buffer[1] != nullptr) {
        // The unread back entry is dropped; its changed area must not be lost.
        RectangleUnionClamp(&pEntry->UpdateRectangle, &m_Buffer[1]->UpdateRectangle,
                            static_cast<LONG>(pEntry->Width), static_cast<LONG>(pEntry->Height));
    }
    m_Buffer[1] = pEntry;
    *ppFront = m_Buffer[0];
}

bool ALIScreenUpdateQueue::Peek(ScreenUpdateResource** ppFront) {
    if (m_Buffer[0] == nullptr) {
        ALDebugPrint(AL_DEBUG_ERROR,
                     L"ALIScreenUpdateQueue::Peek failed! Internal buffer error (this should never happen)\n");
        *ppFront = nullptr;
        return false;
    }
    *ppFront = m_Buffer[0];
    return true;
}

bool ALIScreenUpdateQueue::PopFront(ScreenUpdateResource* pEntry) {
    if (pEntry != m_Buffer[0])
        return false;
    m_Buffer[0] = m_Buffer[1];
    m_Buffer[1] = nullptr;
    return true;
}
