/* Drives the shared library through its C header where no display driver
 * exists: the Initialize exports fail with their text, the others return 0. */
#include <stdio.h>

#include "NimboHighLevelWrapper.h"

int main(void) {
    int Result = InitializeIddxDriver();
    printf("InitializeIddxDriver %d\n", Result);
    printf("GetDisplayId %d\n", GetDisplayId());
    printf("UnplugMonitor %d\n", UnplugMonitor());
    printf("Uninitialize %d\n", Uninitialize());
    return 0;
}
