// Uninitializes the library on every way out once Initialize succeeded, so
// that no monitor stays plugged whatever fails later.
#pragma once

class INimboApi;

class DemoApiSession {
public:
    explicit DemoApiSession(INimboApi& Api) : m_Api(Api) {}
    ~DemoApiSession() { End(); }
    DemoApiSession(const DemoApiSession&) = delete;
    DemoApiSession& operator=(const DemoApiSession&) = delete;

    // Uninitialize(true) once: every frame-buffer thread ends, its monitor
    // is unplugged and its instance deleted.
    void End();

private:
    INimboApi& m_Api;
    bool m_bOpen = true;
};
