// What every window and dialog of the program shares: the module that holds
// the resources, the main and status windows, and the placing of dialogs.
// Setup and the uninstaller both have them; only Setup has its start-up.
#ifndef ZELTRA_SHELL_WINDOW_H
#define ZELTRA_SHELL_WINDOW_H

#include <windows.h>

extern HINSTANCE g_hInstance;
extern HWND g_hwndMain;
extern HWND g_hwndStatus;        // the modeless status dialog while it exists

// Centres a window on the desktop; never places it left of or above (0, 0).
void CenterWindow(HWND window);

#endif
