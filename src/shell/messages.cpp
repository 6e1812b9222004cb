#include "shell/messages.h"

#include <stdarg.h>
#include <stdio.h>

#include "shell/options.h"
#include "shell/paths.h"
#include "shell/startup.h"

BOOL g_bQuitRequested = FALSE;
int g_nQuitCode = 0;

int LoadMessage(UINT id, char *buffer, int size)
{
    if (size <= 0)
        return 0;
    if (LoadStringA(g_hInstance, id, buffer, size) > 0)
        return 1;
    char fallback[2048];
    FormatText(fallback, sizeof fallback, "%u DEBUG - Unable to load string", id);
    CopyText(buffer, size_t(size), fallback);
    return 0;
}

DWORD FormatMessageText(char *buffer, const char *templ, ...)
{
    va_list args;
    va_start(args, templ);
    // Let the system size the result, then keep what fits: a long insert
    // (a deep path, say) must shorten the text, not blank it.
    char *formatted = NULL;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                             templ, 0, 0, reinterpret_cast<LPSTR>(&formatted), 0, &args);
    va_end(args);
    if (n == 0 || formatted == NULL) {
        buffer[0] = '\0';
        return 0;
    }
    CopyText(buffer, kFormatBufferSize, formatted);
    LocalFree(formatted);
    return DWORD(lstrlenA(buffer));
}

void LogLine(const char *text)
{
    if (!g_bLogging)
        return;
    FILE *log = fopen("setup.log", "a");
    if (!log)
        return;
    // Formatted messages break lines with CR LF; text mode adds its own CR.
    for (const char *p = text; *p; ++p)
        if (!(p[0] == '\r' && p[1] == '\n'))
            fputc(*p, log);
    fputc('\n', log);
    fclose(log);
}

void LogFormat(const char *format, ...)
{
    if (!g_bLogging)
        return;
    char line[2048];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    LogLine(line);
}

int PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Dispatching would lose it; the main window honours it later.
            g_bQuitRequested = TRUE;
            g_nQuitCode = int(msg.wParam);
            continue;
        }
        if (g_hwndStatus && IsDialogMessageA(g_hwndStatus, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 1;
}

void RestartWindows()
{
    LogLine("Restarting Windows");
    if (g_bWinNT) {
        HANDLE token;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
            TOKEN_PRIVILEGES privileges;
            privileges.PrivilegeCount = 1;
            privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
            if (LookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &privileges.Privileges[0].Luid))
                AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
            CloseHandle(token);
        }
    }
    ExitWindowsEx(EWX_REBOOT, 0);
}
