// Removal: from the recorded installation to the final message.
#ifndef ZELTRA_REMOVAL_REMOVAL_DRIVER_H
#define ZELTRA_REMOVAL_REMOVAL_DRIVER_H

#include <windows.h>

// Always 0.
int RunRemoval(HWND owner, int offered, int allowed);

#endif
