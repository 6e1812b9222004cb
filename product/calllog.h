// The stand-in product's call log: one line per call, appended to the file
// named by ZELTRA_CALL_LOG (nothing is written when it is unset), so tests
// can see what the setup program asked the product to do.
//   program:  "<name> <arguments>"        e.g. "zlsched.exe -install"
//   library:  "<name> <export>"           e.g. "zlexpl32.dll DllRegisterServer"
//             "<name> <export> E_FAIL"    when registration was made to fail
//             "<name> DllRegisterServer no <companion>"  when its companion did not load
#ifndef ZELTRA_PRODUCT_CALLLOG_H
#define ZELTRA_PRODUCT_CALLLOG_H

#include <windows.h>
#include <string.h>

// The stand-ins link no C runtime (see src/shell/crt.cpp): texts are joined
// here, cut short where the buffer ends.
inline void AppendToLine(char *line, size_t size, const char *text)
{
    size_t used = strlen(line);
    if (used + 1 < size)
        lstrcpynA(line + used, text, int(size - used));
}

inline void AppendCallLog(const char *line)
{
    char path[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("ZELTRA_CALL_LOG", path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return;
    // Several processes may append at once: retry briefly on a sharing clash.
    for (int attempt = 0; attempt < 50; ++attempt) {
        HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written;
            SetFilePointer(file, 0, NULL, FILE_END);
            WriteFile(file, line, (DWORD)strlen(line), &written, NULL);
            WriteFile(file, "\r\n", 2, &written, NULL);
            CloseHandle(file);
            return;
        }
        Sleep(20);
    }
}

#endif
