// The current process as a kernel object: what GetCurrentProcess() names and
// what DuplicateHandle/OpenProcess turn into real handles. It is signalled
// only when the process ends, so a wait on it never succeeds here.
#pragma once

#include <memory>

#include "KernelObject.h"

class ProcessObject : public KernelObject {
public:
    static std::shared_ptr<ProcessObject> Current();

    const char* KindName() const override { return "Process"; }
    bool WaitableIs() const override { return true; }
};
