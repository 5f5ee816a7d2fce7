// Captures what this process writes to the debugger output, for tests, on
// every build: through the machine's debug sink on the simulated platform,
// through a vectored exception handler on Windows (OutputDebugString raises
// a debug-print exception that the handler sees first).
#pragma once

#include <string>
#include <vector>

class DebugCapture {
public:
    DebugCapture();   // starts capturing; one capture at a time per process
    ~DebugCapture();  // stops capturing
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    // Each OutputDebugString call as one entry, in order.
    std::vector<std::wstring> Lines() const;
    // All entries joined.
    std::wstring Text() const;
    void Clear();
};
