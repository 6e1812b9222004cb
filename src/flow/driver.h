// The installation driver: from the first question to the final message.
#ifndef ZELTRA_FLOW_DRIVER_H
#define ZELTRA_FLOW_DRIVER_H

#include <windows.h>

// Set when a restart is needed and accepted (or allowed in quiet mode).
extern int g_bRebootNeeded;

// Runs the installation dialogue. 0 when nothing was installed.
int RunSetup(HWND window, int offered, int allowed);

#endif
