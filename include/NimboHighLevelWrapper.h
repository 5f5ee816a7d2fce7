/*
 * The exports of the NimboHighLevelWrapper library: plain C functions with
 * the C calling convention (cdecl on x86), exported by their undecorated
 * names. A host loads the library, calls one Initialize function, plugs and
 * unplugs virtual monitors and calls Uninitialize before it unloads it.
 * One call at a time: the functions take no lock.
 *
 * Failures are reported as the results below and as fixed texts on standard
 * output; everything else goes to the library's debugger-output log.
 */
#ifndef NIMBO_HIGH_LEVEL_WRAPPER_H
#define NIMBO_HIGH_LEVEL_WRAPPER_H

#ifdef __cplusplus
extern "C" {
#endif

/* Opens the hook display driver's control device: 0 on success, 1 on failure. */
int InitializeHookDriver(void);
/* Opens the indirect display driver's control device: 0 on success, 1 on failure. */
int InitializeIddxDriver(void);
/* Plugs a monitor with one display mode made from the two size values: its
 * mode entry holds Second, then First. Always 0; a failed plug stops every
 * monitor and closes the driver (initialize again before the next plug). */
int PlugMonitor(int First, int Second);
/* Unplugs the monitor of the last PlugMonitor call. Always 0. */
int UnplugMonitor(void);
/* Stops and unplugs every monitor and closes the driver. Always 0. */
int Uninitialize(void);
/* The indirect display driver's video present target id of the first
 * running monitor; 0 with the hook driver or without a monitor. */
int GetDisplayId(void);

#ifdef __cplusplus
}
#endif

#endif
