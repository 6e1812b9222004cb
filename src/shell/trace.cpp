#ifdef ZL_TRACE
#include "shell/trace.h"

#include <windows.h>
#include <string.h>

#include "shell/paths.h"

static HANDLE s_traceFile = INVALID_HANDLE_VALUE;

// Written at once: the marks must survive a program that never returns.
void TraceMark(const char *phase)
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    if (s_traceFile == INVALID_HANDLE_VALUE) {
        char path[MAX_PATH];
        DWORD n = GetEnvironmentVariableA("ZL_TRACE_FILE", path, sizeof path);
        if (n == 0 || n >= sizeof path)
            return;
        s_traceFile = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        if (s_traceFile == INVALID_HANDLE_VALUE)
            return;
        SetFilePointer(s_traceFile, 0, NULL, FILE_END);
    }
    char line[96];
    DWORD written = 0;
    if (FormatText(line, sizeof line, "%s %lu %lu\r\n", phase, now.dwHighDateTime, now.dwLowDateTime))
        WriteFile(s_traceFile, line, DWORD(strlen(line)), &written, NULL);
}
#endif
