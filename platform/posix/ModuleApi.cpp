// Module references on the simulated platform: a module is a loaded ELF
// object, a reference is a dlopen of it. Only the forms the library uses:
// by address, counted or not.
#include <dlfcn.h>

#include <atomic>

#include "machine_kernel.h"
#include "win32_base.h"
#include "win32_kernel.h"

namespace {
std::atomic<long> ModuleReferences{0};

// The loaded object that contains Address, referenced once more; null when
// no object contains it.
void* ModuleReferenceTake(const void* Address) {
    Dl_info Info{};
    if (dladdr(Address, &Info) == 0 || Info.dli_fname == nullptr)
        return nullptr;
    void* pModule = dlopen(Info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    // The main program cannot be opened by its path; its handle is the null name's.
    if (pModule == nullptr)
        pModule = dlopen(nullptr, RTLD_NOW);
    return pModule;
}
}  // namespace

BOOL WINAPI GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE* phModule) {
    if (phModule == nullptr || (dwFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *phModule = nullptr;
    void* pModule = ModuleReferenceTake(lpModuleName);
    if (pModule == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    if ((dwFlags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) != 0)
        dlclose(pModule);
    else
        ++ModuleReferences;
    *phModule = reinterpret_cast<HMODULE>(pModule);
    return TRUE;
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
    if (hLibModule == nullptr || dlclose(reinterpret_cast<void*>(hLibModule)) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    --ModuleReferences;
    return TRUE;
}

long MachineModuleReferencesLive() { return ModuleReferences.load(); }
