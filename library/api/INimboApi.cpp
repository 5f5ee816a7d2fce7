#include "api/INimboApi.h"

bool INimboApi::PnPNotificationSubscribe(HANDLE, bool) { return false; }

bool INimboApi::OnPnPNotification(uint32_t, PDEV_BROADCAST_HDR, bool*, bool*) { return false; }

bool INimboApi::IsInitializationNeeded(int) { return false; }
