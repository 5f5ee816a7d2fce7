#include "WrapperLibraryCopy.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <system_error>

#include <gtest/gtest.h>

namespace {

std::atomic<unsigned> g_CopyCount{0};

template <typename Function>
bool Resolve(void* pHandle, const char* pName, Function* pFunction, std::string* pError) {
    *pFunction = reinterpret_cast<Function>(dlsym(pHandle, pName));
    if (*pFunction == nullptr)
        *pError += std::string("export not found: ") + pName + "\n";
    return *pFunction != nullptr;
}

}  // namespace

WrapperLibraryCopy::WrapperLibraryCopy() { m_bLoaded = PrivateLoad(); }

WrapperLibraryCopy::~WrapperLibraryCopy() {
    if (!m_Path.empty()) {
        std::error_code Ignored;
        std::filesystem::remove(m_Path, Ignored);
    }
}

void* WrapperLibraryCopy::SymbolGet(const char* pName) const {
    return m_pHandle != nullptr ? dlsym(m_pHandle, pName) : nullptr;
}

bool WrapperLibraryCopy::PrivateLoad() {
    m_Path = ::testing::TempDir() + "NimboHighLevelWrapper-" + std::to_string(getpid()) + "-" +
             std::to_string(g_CopyCount.fetch_add(1)) + ".so";
    std::error_code Error;
    if (!std::filesystem::copy_file(NIMBO_WRAPPER_LIBRARY, m_Path, std::filesystem::copy_options::overwrite_existing,
                                    Error)) {
        m_Error = "copy of " NIMBO_WRAPPER_LIBRARY " failed: " + Error.message();
        m_Path.clear();
        return false;
    }
    m_pHandle = dlopen(m_Path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_pHandle == nullptr) {
        m_Error = dlerror();
        return false;
    }
    bool bFound = Resolve(m_pHandle, "InitializeHookDriver", &InitializeHookDriver, &m_Error);
    bFound &= Resolve(m_pHandle, "InitializeIddxDriver", &InitializeIddxDriver, &m_Error);
    bFound &= Resolve(m_pHandle, "PlugMonitor", &PlugMonitor, &m_Error);
    bFound &= Resolve(m_pHandle, "UnplugMonitor", &UnplugMonitor, &m_Error);
    bFound &= Resolve(m_pHandle, "Uninitialize", &Uninitialize, &m_Error);
    bFound &= Resolve(m_pHandle, "GetDisplayId", &GetDisplayId, &m_Error);
    return bFound;
}
