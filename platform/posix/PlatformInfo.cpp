// The simulated platform is not Wine.
#include "platform/PlatformInfo.h"

bool PlatformIsWine() { return false; }
