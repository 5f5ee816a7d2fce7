// DebugCapture on the simulated platform: a listener on the machine's debug
// sink, so that it sees exactly the entries written while it exists.
#include "platform/DebugCapture.h"

#include <mutex>

#include "platform/machine.h"

namespace {

struct CaptureState {
    std::mutex Lock;
    std::vector<std::wstring> Lines;
    size_t ListenerId = 0;
};

CaptureState g_Capture;

}  // namespace

DebugCapture::DebugCapture() {
    {
        std::lock_guard<std::mutex> Guard(g_Capture.Lock);
        g_Capture.Lines.clear();
    }
    g_Capture.ListenerId = MachineDebugListenerAdd([](const std::wstring& Line) {
        std::lock_guard<std::mutex> Guard(g_Capture.Lock);
        g_Capture.Lines.push_back(Line);
    });
}

DebugCapture::~DebugCapture() { MachineDebugListenerRemove(g_Capture.ListenerId); }

std::vector<std::wstring> DebugCapture::Lines() const {
    std::lock_guard<std::mutex> Guard(g_Capture.Lock);
    return g_Capture.Lines;
}

std::wstring DebugCapture::Text() const {
    std::wstring Text;
    for (const std::wstring& Line : Lines())
        Text += Line;
    return Text;
}

void DebugCapture::Clear() {
    std::lock_guard<std::mutex> Guard(g_Capture.Lock);
    g_Capture.Lines.clear();
}
