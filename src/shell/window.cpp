#include "shell/window.h"

HINSTANCE g_hInstance;
HWND g_hwndMain;
HWND g_hwndStatus;

void CenterWindow(HWND window)
{
    RECT r, desktop;
    GetWindowRect(window, &r);
    GetWindowRect(GetDesktopWindow(), &desktop);
    int w = r.right - r.left, h = r.bottom - r.top;
    int left = (desktop.right - desktop.left) / 2 - w / 2;
    int top = (desktop.bottom - desktop.top) / 2 - h / 2;
    if (left < 0)
        left = 0;
    if (top < 0)
        top = 0;
    MoveWindow(window, left, top, w, h, FALSE);
}
