#include "shell/sysdll.h"

#include <string.h>

#include "shell/paths.h"

int g_nWinMajor = 0;
int g_nWinMinor = 0;
int g_bWinNT = 0;

// Newer than the headers the program is built against.
#ifndef LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
#define LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR 0x00000100
#endif
#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif
#ifndef LOAD_LIBRARY_SEARCH_USER_DIRS
#define LOAD_LIBRARY_SEARCH_USER_DIRS 0x00000400
#endif

static bool s_restricted;
static bool s_currentFolderOut;

typedef BOOL(WINAPI *SetDefaultDllDirectoriesProc)(DWORD);
typedef BOOL(WINAPI *SetDllDirectoryProc)(LPCSTR);
typedef void *(WINAPI *AddDllDirectoryProc)(LPCWSTR);
typedef BOOL(WINAPI *RemoveDllDirectoryProc)(void *);

FARPROC LoadedDllProc(const char *dllName, const char *procName)
{
    HMODULE module = GetModuleHandleA(dllName);
    return module ? GetProcAddress(module, procName) : NULL;
}

void RestrictDllSearch()
{
    auto setDefault = LoadedDllFunction<SetDefaultDllDirectoriesProc>("kernel32.dll", "SetDefaultDllDirectories");
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
        s_restricted = true;
    // Takes the current folder out of the search where the first is missing.
    if (auto setDirectory = LoadedDllFunction<SetDllDirectoryProc>("kernel32.dll", "SetDllDirectoryA"))
        s_currentFolderOut = setDirectory("") != 0;
}

bool DllSearchRestricted() { return s_restricted; }

HRESULT CallProductExport(ProductExport call, const char *folder)
{
    auto setDefault = LoadedDllFunction<SetDefaultDllDirectoriesProc>("kernel32.dll", "SetDefaultDllDirectories");
    auto addDirectory = LoadedDllFunction<AddDllDirectoryProc>("kernel32.dll", "AddDllDirectory");
    auto removeDirectory = LoadedDllFunction<RemoveDllDirectoryProc>("kernel32.dll", "RemoveDllDirectory");
    auto setDirectory = LoadedDllFunction<SetDllDirectoryProc>("kernel32.dll", "SetDllDirectoryA");
    void *cookie = NULL;
    bool widened = false;
    if (s_restricted && setDefault && addDirectory && removeDirectory) {
        WCHAR wide[MAX_PATH];
        if (MultiByteToWideChar(CP_ACP, 0, folder, -1, wide, MAX_PATH) > 0 && (cookie = addDirectory(wide)) != NULL)
            setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_USER_DIRS);
    } else if (s_currentFolderOut && setDirectory) {
        // Without the default directories the current folder is what the
        // restriction took away; this folder stands in for it.
        widened = setDirectory(folder) != 0;
    }
    HRESULT result = call();
    if (cookie) {
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
        removeDirectory(cookie);
    }
    if (widened)
        setDirectory("");
    return result;
}

// Loaded system DLLs, kept to the end of the run.
struct LoadedDll {
    char name[32];
    HMODULE module;
};
static LoadedDll s_loaded[8];

// folder\name by its full path; its own dependencies come from its folder.
static HMODULE LoadFromFolder(const char *folder, const char *name)
{
    char path[MAX_PATH];
    if (!JoinUnlessBackslash(path, sizeof path, folder, name))
        return NULL;
    return LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}

static HMODULE LoadFromSystemFolder(const char *name)
{
    char folder[MAX_PATH], win32s[MAX_PATH];
    UINT n = GetSystemDirectoryA(folder, sizeof folder);
    if (n == 0 || n >= sizeof folder)
        return NULL;
    if (RunningOnWin32s() && JoinUnlessBackslash(win32s, sizeof win32s, folder, "WIN32S"))
        if (HMODULE module = LoadFromFolder(win32s, name))
            return module;
    return LoadFromFolder(folder, name);
}

HMODULE LoadSystemDll(const char *name)
{
    if (!name || strchr(name, '\\') || strchr(name, '/'))
        return NULL;
    LoadedDll *freeSlot = NULL;
    for (LoadedDll &dll : s_loaded) {
        if (dll.module && lstrcmpiA(dll.name, name) == 0)
            return dll.module;
        if (!dll.module && !freeSlot)
            freeSlot = &dll;
    }
    if (!freeSlot || !CopyText(freeSlot->name, sizeof freeSlot->name, name))
        return NULL;
    freeSlot->module = LoadFromSystemFolder(name);
    return freeSlot->module;
}

FARPROC SystemDllProc(const char *dllName, const char *procName)
{
    HMODULE module = LoadSystemDll(dllName);
    return module ? GetProcAddress(module, procName) : NULL;
}

HMODULE LoadProductDll(const char *fullPath)
{
    if (s_restricted)
        return LoadLibraryExA(fullPath, NULL, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    return LoadLibraryExA(fullPath, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}

DWORD ShortPathName(const char *path, char *dst, DWORD size)
{
    typedef DWORD(WINAPI * GetShortPathNameProc)(LPCSTR, LPSTR, DWORD);
    auto getShortPathName = LoadedDllFunction<GetShortPathNameProc>("kernel32.dll", "GetShortPathNameA");
    return getShortPathName ? getShortPathName(path, dst, size) : 0;
}

bool RunningOnWin32s()
{
    DWORD version = GetVersion();
    return (version & 0x80000000u) && LOBYTE(LOWORD(version)) == 3;
}

bool WindowsVersion(DWORD *platformId, DWORD *major)
{
    typedef BOOL(WINAPI * GetVersionExProc)(OSVERSIONINFOA *);
    if (auto getVersionEx = LoadedDllFunction<GetVersionExProc>("kernel32.dll", "GetVersionExA")) {
        OSVERSIONINFOA info;
        memset(&info, 0, sizeof info);
        info.dwOSVersionInfoSize = sizeof info;
        if (!getVersionEx(&info))
            return false;
        *platformId = info.dwPlatformId;
        *major = info.dwMajorVersion;
        return true;
    }
    DWORD version = GetVersion();
    *major = LOBYTE(LOWORD(version));
    if (!(version & 0x80000000u))
        *platformId = VER_PLATFORM_WIN32_NT;
    else
        *platformId = RunningOnWin32s() ? VER_PLATFORM_WIN32s : VER_PLATFORM_WIN32_WINDOWS;
    return true;
}
