// Start-up, the background window and its message loop.
#ifndef ZELTRA_SHELL_STARTUP_H
#define ZELTRA_SHELL_STARTUP_H

#include <windows.h>

extern HINSTANCE g_hInstance;
extern HWND g_hwndMain;
extern HWND g_hwndStatus;        // the modeless status dialog while it exists
extern char g_szTempName[261];   // scratch file name (no folder) in the temporary folder

// Exit codes of the program.
enum ExitCode {
    kExitOk = 0,
    kExitNoWindow = 2,
    kExitTempUnusable = 3,
    kExitNoClass = -1
};

// The whole program: start-up, window, message loop. Returns the exit code.
int RunProgram(HINSTANCE instance);

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Centres a window on the desktop; never places it left of or above (0, 0).
void CenterWindow(HWND window);

// Deletes every payload row's temporary name and the scratch file from the
// temporary folder.
int RemoveTempFiles();

// Paints the product picture and the logo on the background window.
int PaintBackground(HWND window);

// Background window rectangle for a desktop rectangle.
RECT MainWindowRect(const RECT &desktop);

// Reads the temporary folder into folder (size characters) without its one
// trailing separator (a drive root keeps its "\"). False when there is none
// or it does not fit.
bool GetWorkFolder(char *folder, DWORD size);

#endif
