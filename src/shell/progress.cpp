#include "shell/progress.h"

#include "shell/window.h"

int g_bCancel = 0;

INT_PTR CALLBACK StatusDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        CenterWindow(dialog);
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        g_bCancel = 1;
        return TRUE;
    }
    return FALSE;
}

void SetProgressText(HWND status, const char *text)
{
    if (status && IsWindow(status))
        SetWindowTextA(status, text);
}
