// WaitForSingleObject, WaitForMultipleObjects and Sleep over the wait engine.
// Every handle is checked before anything is waited on or consumed. A wait
// allocates nothing: its objects are kept in the wait block on the stack.
#include <algorithm>

#include "HandleTable.h"
#include "WaitBlock.h"
#include "WaitEngine.h"
#include "platform/win32.h"

static_assert(WaitBlock::kMaximumObjects == MAXIMUM_WAIT_OBJECTS);

namespace {

bool DuplicatesContain(std::span<const std::shared_ptr<KernelObject>> Objects) {
    for (size_t Index = 1; Index < Objects.size(); ++Index)
        if (std::find(Objects.begin(), Objects.begin() + static_cast<std::ptrdiff_t>(Index), Objects[Index]) !=
            Objects.begin() + static_cast<std::ptrdiff_t>(Index))
            return true;
    return false;
}

}  // namespace

DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll, DWORD dwMilliseconds) {
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || lpHandles == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    WaitBlock Block;
    Block.m_bWaitAll = bWaitAll != FALSE;
    for (DWORD Index = 0; Index < nCount; ++Index) {
        std::shared_ptr<KernelObject> pObject = HandleTable::Instance().LookupObject(lpHandles[Index]);
        if (pObject == nullptr || !pObject->WaitableIs()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        Block.ObjectAdd(std::move(pObject));
    }
    // Waiting for all of an object twice is meaningless, and refused.
    if (Block.m_bWaitAll && DuplicatesContain(Block.Objects())) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    const uint32_t Result = WaitEngine::Instance().Wait(Block, dwMilliseconds);
    return Result == WaitEngine::kWaitTimeout ? WAIT_TIMEOUT : WAIT_OBJECT_0 + Result;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}

void WINAPI Sleep(DWORD dwMilliseconds) { WaitEngine::Instance().SleepFor(dwMilliseconds); }
