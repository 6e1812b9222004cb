// Which system this is, and where the program's DLLs come from. An
// installer is often started from a Downloads folder, with the temporary
// folder as its current folder: a DLL planted in either must never be
// loaded in place of a system one.
#ifndef ZELTRA_SHELL_SYSDLL_H
#define ZELTRA_SHELL_SYSDLL_H

#include <windows.h>

// Takes the program's folder and the current folder out of the DLL search,
// where the system offers it (SetDefaultDllDirectories, SetDllDirectoryA);
// older systems start as before. Call first thing.
void RestrictDllSearch();

// True when the search was limited to the system folder.
bool DllSearchRestricted();

// A DLL of the system folder, loaded by its full path once and kept for the
// rest of the run. NULL when it cannot be loaded. Under Win32s its own
// folder <system>\WIN32S comes first: it holds Win32s's lz32.dll and
// comdlg32.dll, the system folder Windows 3.1's 16-bit libraries.
HMODULE LoadSystemDll(const char *name);

// A function of a system-folder DLL; NULL when the DLL or function is missing.
FARPROC SystemDllProc(const char *dllName, const char *procName);

// A found function as its own type.
template <class Function>
Function ProcAs(FARPROC proc)
{
    // Through the generic function type, which converts without a warning.
    typedef void (*AnyFunction)();
    return reinterpret_cast<Function>(reinterpret_cast<AnyFunction>(proc));
}

// SystemDllProc as the function's own type, e.g.
//   auto open = SystemFunction<decltype(&GetOpenFileNameA)>("comdlg32.dll", "GetOpenFileNameA");
template <class Function>
Function SystemFunction(const char *dllName, const char *procName)
{
    return ProcAs<Function>(SystemDllProc(dllName, procName));
}

// A function of a DLL the program already has loaded (kernel32.dll,
// advapi32.dll, ...), for functions that older systems lack: NULL there.
FARPROC LoadedDllProc(const char *dllName, const char *procName);

template <class Function>
Function LoadedDllFunction(const char *dllName, const char *procName)
{
    return ProcAs<Function>(LoadedDllProc(dllName, procName));
}

// GetShortPathNameA where the system has it; where it does not (it arrived
// with NT 3.5 and Windows 95), 0 as for a path without a short form.
DWORD ShortPathName(const char *path, char *dst, DWORD size);

// One of the product's own DLLs, by the full path it was installed to. Its
// own dependencies come from its folder and the system folder, never from
// the program's folder or the current one.
HMODULE LoadProductDll(const char *fullPath);

// Calls an export of a product DLL (DllRegisterServer and the like) with
// folder added to the DLL search, so that a companion it loads by bare name
// is found there; the restriction is back in force when it returns.
typedef HRESULT(WINAPI *ProductExport)();
HRESULT CallProductExport(ProductExport call, const char *folder);

// True on Windows 3.1 with Win32s: GetVersion's top bit set (not NT) and
// major version 3 (Windows 95 and 98 report 4).
bool RunningOnWin32s();

// The platform id (VER_PLATFORM_WIN32s, _WINDOWS or _NT) and major version.
// GetVersionExA arrived with NT 3.5 and may be missing from Win32s: where it
// is, GetVersion's flags stand in. False when GetVersionExA fails.
bool WindowsVersion(DWORD *platformId, DWORD *major);

// GetVersion's major and minor version, and whether the OS variable names
// NT; set by DetectPlatform.
extern int g_nWinMajor;
extern int g_nWinMinor;
extern int g_bWinNT;

#endif
