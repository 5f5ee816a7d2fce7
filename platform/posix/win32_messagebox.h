// The message box and the GUI program entry point of the simulated platform.
// No window appears: each message box is recorded for tests (see
// platform/machine.h) and answered as if its first button was pressed.
#pragma once

#include "win32_base.h"

#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_YESNO 0x00000004L
#define MB_ICONERROR 0x00000010L
#define MB_ICONWARNING 0x00000030L
#define MB_ICONINFORMATION 0x00000040L
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOWDEFAULT 10

// Entry point of a GUI program: the command line without the program name.
// Native builds of such a program get it from platform/posix/entry.
int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nShowCmd);
