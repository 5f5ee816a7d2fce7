// A fresh instance of the shared library NimboHighLevelWrapper, loaded as a
// host loads it and reached only through its six exports, resolved by name.
//
// Each object loads its own copy of the file under a name of its own: the
// dynamic loader takes it for a library it has not seen, so every test
// starts with a wrapper context that no export has touched and an API object
// that has just been constructed (reading the log level from the machine's
// registry). A copy is never unloaded, like the wrapper context it holds,
// which lives until the process ends. The platform layer is not copied: it
// is the one shared object of the process, so the copy, the simulated
// drivers and the test see the same machine.
#pragma once

#include <string>

class WrapperLibraryCopy {
public:
    using InitializeFunction = int (*)(void);
    using PlugFunction = int (*)(int, int);
    using PlainFunction = int (*)(void);

    WrapperLibraryCopy();
    ~WrapperLibraryCopy();  // removes the file, leaves the library loaded
    WrapperLibraryCopy(const WrapperLibraryCopy&) = delete;
    WrapperLibraryCopy& operator=(const WrapperLibraryCopy&) = delete;

    // True when the copy was loaded and all six exports were found.
    bool IsLoaded() const { return m_bLoaded; }
    const std::string& ErrorGet() const { return m_Error; }
    // Any symbol the copy exports by name (null when it does not).
    void* SymbolGet(const char* pName) const;

    InitializeFunction InitializeHookDriver = nullptr;
    InitializeFunction InitializeIddxDriver = nullptr;
    PlugFunction PlugMonitor = nullptr;
    PlainFunction UnplugMonitor = nullptr;
    PlainFunction Uninitialize = nullptr;
    PlainFunction GetDisplayId = nullptr;

private:
    bool PrivateLoad();

    std::string m_Path;
    void* m_pHandle = nullptr;
    bool m_bLoaded = false;
    std::string m_Error;
};
