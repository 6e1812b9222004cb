// The installation driver: from the first question to the final message.
#ifndef ZELTRA_FLOW_DRIVER_H
#define ZELTRA_FLOW_DRIVER_H

#include <windows.h>

// Runs the installation dialogue. 0 when nothing was installed.
int RunSetup(HWND window, int offered, int allowed);

#endif
