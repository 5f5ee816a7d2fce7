#include "DemoApiSession.h"

#include "api/INimboApi.h"

void DemoApiSession::End() {
    if (m_bOpen)
        m_Api.Uninitialize(true);
    m_bOpen = false;
}
