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

typedef DWORD(WINAPI *GetTempPathWProc)(DWORD, LPWSTR);

static bool SameWide(const WCHAR *a, const WCHAR *b)
{
    while (*a && *a == *b)
        ++a, ++b;
    return *a == *b;
}

// wide in the ANSI code page, only where it converts back exactly: no
// default character and no best fit ("Ł" is not "L"). Best fit is
// asked not to happen where the system knows the flag (Windows 2000 on).
static bool ExactAnsi(const WCHAR *wide, char *ansi, DWORD size)
{
    WCHAR back[MAX_PATH];
    BOOL defaulted = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, ansi, int(size), NULL, &defaulted);
    if (n == 0 && GetLastError() == ERROR_INVALID_FLAGS)
        n = WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, int(size), NULL, &defaulted);
    if (n == 0 || defaulted || MultiByteToWideChar(CP_ACP, 0, ansi, -1, back, MAX_PATH) == 0 ||
        !SameWide(back, wide)) {
        ansi[0] = '\0';
        return false;
    }
    return true;
}

// The temporary folder as the wide calls give it, where they work (they
// are stubs that fail on Windows 95).
static bool WideTemp(WCHAR *folder)
{
    auto getTempPath = LoadedDllFunction<GetTempPathWProc>("kernel32.dll", "GetTempPathW");
    DWORD n = getTempPath ? getTempPath(MAX_PATH, folder) : 0;
    return n > 0 && n < MAX_PATH;
}

// The "A" name of the temporary folder, unless it stands for another
// folder: a user "Paweł" on code page 1252 reads as "Pawel", which may
// be another user's folder. Then the folder is taken as missing.
static bool ExactAnsiTemp(char *folder, DWORD size)
{
    WCHAR wide[MAX_PATH];
    DWORD n = GetTempPathA(size, folder);
    if (n == 0 || n >= size) {
        folder[0] = '\0';
        return false;
    }
    return !WideTemp(wide) || ExactAnsi(wide, folder, size);
}

// The temporary folder read through the wide calls (Windows NT), in its
// short form, when that converts to the ANSI code page and back unchanged.
// The "A" calls give a user "Łukasz" on code page 1252 "...\Lukasz\...", a
// folder that does not exist or another one; the short name is plain ASCII
// where the volume keeps short names.
static bool ShortWideTemp(char *folder, DWORD size)
{
    typedef DWORD(WINAPI * GetShortPathNameWProc)(LPCWSTR, LPWSTR, DWORD);
    auto getShortPath = LoadedDllFunction<GetShortPathNameWProc>("kernel32.dll", "GetShortPathNameW");
    WCHAR longName[MAX_PATH], shortName[MAX_PATH];
    if (!getShortPath || !WideTemp(longName))
        return false;
    DWORD n = getShortPath(longName, shortName, MAX_PATH);
    return n > 0 && n < MAX_PATH && ExactAnsi(shortName, folder, size) && TakeFolder(folder, size);
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
    if (!ExactAnsiTemp(folder, size) || !TakeFolder(folder, size)) {
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
