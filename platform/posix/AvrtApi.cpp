// AvSetMmThreadCharacteristicsW and AvRevertMmThreadCharacteristics of the
// simulated platform.
#include <cwctype>

#include "AvrtApi.h"
#include "AvrtTaskTable.h"
#include "win32_kernel.h"

namespace {

// The tasks of a default Windows 10 installation.
const wchar_t* const kTaskNames[] = {L"Audio",    L"Capture",   L"DisplayPostProcessing",
                                     L"Distribution", L"Games", L"Playback",
                                     L"Pro Audio", L"Window Manager"};

bool NameEqualNoCase(const wchar_t* pA, const wchar_t* pB) {
    for (; *pA != 0 && *pB != 0; ++pA, ++pB)
        if (std::towlower(static_cast<wint_t>(*pA)) != std::towlower(static_cast<wint_t>(*pB)))
            return false;
    return *pA == *pB;
}

bool TaskIsKnown(LPCWSTR TaskName) {
    for (const wchar_t* pName : kTaskNames)
        if (NameEqualNoCase(TaskName, pName))
            return true;
    return false;
}

}  // namespace

HANDLE WINAPI AvSetMmThreadCharacteristicsW(LPCWSTR TaskName, LPDWORD TaskIndex) {
    if (TaskName == nullptr || TaskIndex == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!TaskIsKnown(TaskName)) {
        SetLastError(ERROR_INVALID_TASK_NAME);
        return nullptr;
    }
    if (AvrtTaskTable::Instance().RefusedIs()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return AvrtTaskTable::Instance().Join(TaskIndex);
}

BOOL WINAPI AvRevertMmThreadCharacteristics(HANDLE AvrtHandle) {
    if (!AvrtTaskTable::Instance().Revert(AvrtHandle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
