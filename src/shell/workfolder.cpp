#include "shell/workfolder.h"

#include "shell/paths.h"
#include "shell/sysdll.h"

static bool IsFolder(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Takes folder when it exists: without its one trailing separator, but a
// drive root keeps its backslash ("C:" alone names the drive's current
// folder, not its root).
static bool TakeFolder(char *folder, DWORD size)
{
    StripOneTrailingSeparator(folder);
    if (folder[0] != '\0' && folder[1] == ':' && folder[2] == '\0')
        AppendText(folder, size, "\\");
    if (folder[0] != '\0' && IsFolder(folder))
        return true;
    folder[0] = '\0';
    return false;
}

// The temporary folder read through the wide calls (Windows NT), in its
// short form, when that converts to the ANSI code page and back unchanged.
// The "A" calls give a user "Łukasz" on code page 1252 "...\Lukasz\...", a
// folder that does not exist; the short name is plain ASCII where the
// volume keeps short names.
static bool ShortWideTemp(char *folder, DWORD size)
{
    typedef DWORD(WINAPI * GetTempPathWProc)(DWORD, LPWSTR);
    typedef DWORD(WINAPI * GetShortPathNameWProc)(LPCWSTR, LPWSTR, DWORD);
    auto getTempPath = LoadedDllFunction<GetTempPathWProc>("kernel32.dll", "GetTempPathW");
    auto getShortPath = LoadedDllFunction<GetShortPathNameWProc>("kernel32.dll", "GetShortPathNameW");
    if (!getTempPath || !getShortPath)
        return false;
    // Where they are stubs that fail (Windows 95), as if they were absent.
    WCHAR longName[MAX_PATH], shortName[MAX_PATH], back[MAX_PATH];
    DWORD n = getTempPath(MAX_PATH, longName);
    if (n == 0 || n >= MAX_PATH)
        return false;
    n = getShortPath(longName, shortName, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return false;
    BOOL defaulted = FALSE;
    if (WideCharToMultiByte(CP_ACP, 0, shortName, -1, folder, int(size), NULL, &defaulted) == 0 || defaulted ||
        MultiByteToWideChar(CP_ACP, 0, folder, -1, back, MAX_PATH) == 0) {
        folder[0] = '\0';
        return false;
    }
    // Best fit turns "ł" into "l" without counting it as a default.
    for (DWORD i = 0; i <= n; ++i) {
        if (back[i] != shortName[i]) {
            folder[0] = '\0';
            return false;
        }
    }
    return TakeFolder(folder, size);
}

static bool WindowsTemp(char *folder, DWORD size)
{
    char windows[MAX_PATH];
    UINT n = GetWindowsDirectoryA(windows, sizeof windows);
    return n > 0 && n < sizeof windows && JoinUnlessBackslash(folder, size, windows, "TEMP") &&
           TakeFolder(folder, size);
}

static bool ProgramFolder(char *folder, DWORD size)
{
    char program[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, program, sizeof program);
    char *slash = n > 0 && n < sizeof program ? LastSeparator(program, false) : NULL;
    if (!slash)
        return false;
    slash[1] = '\0';
    return CopyText(folder, size, program) && TakeFolder(folder, size);
}

bool GetWorkFolder(char *folder, DWORD size, WorkFolderSource *source)
{
    WorkFolderSource found = kWorkFolderTemp;
    folder[0] = '\0';
    DWORD n = GetTempPathA(size, folder);
    if (n == 0 || n >= size)
        folder[0] = '\0';
    if (!TakeFolder(folder, size)) {
        if (ShortWideTemp(folder, size))
            found = kWorkFolderShortTemp;
        else if (WindowsTemp(folder, size))
            found = kWorkFolderWindowsTemp;
        else if (ProgramFolder(folder, size))
            found = kWorkFolderProgram;
        else {
            folder[0] = '\0';
            return false;
        }
    }
    if (source)
        *source = found;
    return true;
}
