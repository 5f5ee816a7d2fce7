// MessageBoxW of the simulated machine: recorded, answered with the first button.
#include <mutex>
#include <vector>

#include "platform/machine.h"
#include "SetupMachineState.h"
#include "platform/setupapi.h"

namespace {

std::mutex g_MessageBoxLock;
std::vector<MachineMessageBox> g_MessageBoxes;

}  // namespace

int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    (void)hWnd;
    std::lock_guard<std::mutex> lock(g_MessageBoxLock);
    g_MessageBoxes.push_back({lpText != nullptr ? lpText : L"", lpCaption != nullptr ? lpCaption : L"Error", uType});
    switch (uType & 0xF) {
    case MB_YESNO: return IDYES;
    default: return IDOK;
    }
}

std::vector<MachineMessageBox> MachineMessageBoxes() {
    std::lock_guard<std::mutex> lock(g_MessageBoxLock);
    return g_MessageBoxes;
}

void MessageBoxReset() {
    std::lock_guard<std::mutex> lock(g_MessageBoxLock);
    g_MessageBoxes.clear();
}
