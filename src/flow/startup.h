// Start-up, the background window and its message loop.
#ifndef ZELTRA_FLOW_STARTUP_H
#define ZELTRA_FLOW_STARTUP_H

#include "shell/window.h"


// The whole program: start-up, window, message loop; args is the command
// line after the program's name. Returns the exit code.
int RunProgram(HINSTANCE instance, const char *args);

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Deletes every payload row's temporary name and the scratch file from the
// work folder; from the program's own folder the scratch file alone.
int RemoveTempFiles();

// Paints the product picture and the logo on the background window.
int PaintBackground(HWND window);

// Background window rectangle for a desktop rectangle.
RECT MainWindowRect(const RECT &desktop);

#endif
