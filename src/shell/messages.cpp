#include "shell/messages.h"

#include <stdarg.h>

#include "shell/paths.h"
#include "shell/sysdll.h"
#include "shell/textfile.h"
#include "shell/window.h"

int g_bLogging = 0;
int g_nExitCode = kExitOk;
int g_bRebootNeeded = 0;
int g_bRestartRequired = 0;
BOOL g_bQuitRequested = FALSE;
int g_nQuitCode = 0;
char g_szLogFile[MAX_PATH] = "setup.log";

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
    TextWriter log;
    if (!OpenTextWriter(&log, g_szLogFile, true))
        return;
    // Formatted messages break lines with CR LF already.
    PutLines(&log, text);
    PutText(&log, "\r\n", 2);
    CloseTextWriter(&log);
}

void LogFormat(const char *format, ...)
{
    if (!g_bLogging)
        return;
    char line[2048];
    va_list args;
    va_start(args, format);
    FormatTextV(line, sizeof line, format, args);
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

// The shutdown privilege, on systems that have privileges at all. Windows 95
// has none of these functions and needs none to restart.
static void EnableShutdownPrivilege()
{
    typedef BOOL(WINAPI * OpenTokenProc)(HANDLE, DWORD, PHANDLE);
    typedef BOOL(WINAPI * LookupProc)(LPCSTR, LPCSTR, PLUID);
    typedef BOOL(WINAPI * AdjustProc)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD);
    auto openToken = LoadedDllFunction<OpenTokenProc>("advapi32.dll", "OpenProcessToken");
    auto lookup = LoadedDllFunction<LookupProc>("advapi32.dll", "LookupPrivilegeValueA");
    auto adjust = LoadedDllFunction<AdjustProc>("advapi32.dll", "AdjustTokenPrivileges");
    HANDLE token;
    if (!openToken || !lookup || !adjust
        || !openToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return;
    TOKEN_PRIVILEGES privileges;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (lookup(NULL, "SeShutdownPrivilege", &privileges.Privileges[0].Luid))
        adjust(token, FALSE, &privileges, 0, NULL, NULL);
    CloseHandle(token);
}

bool RestartWindows()
{
    LogLine("Restarting Windows");
    if (g_bWinNT)
        EnableShutdownPrivilege();
    return ExitWindowsEx(EWX_REBOOT, 0) != 0;
}
