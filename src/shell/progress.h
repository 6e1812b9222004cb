// What the installation and the removal share while they work: the cancel
// flag, the modeless status dialog and the text of a failure.
#ifndef ZELTRA_SHELL_PROGRESS_H
#define ZELTRA_SHELL_PROGRESS_H

#include <windows.h>

// Set by the status dialog's Cancel button; never cleared.
extern int g_bCancel;

// Size of the error text buffers the steps fill.
const int kErrorTextSize = 256;

// DLG_COPY, modeless: progress text with Cancel.
INT_PTR CALLBACK StatusDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Sets a progress text on the status control while it is a window.
void SetProgressText(HWND status, const char *text);

#endif
