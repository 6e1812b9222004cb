// A stand-in for a DLL an attacker plants beside setup.exe or in the
// temporary folder, under a system DLL's name. Loading it leaves a marker
// file beside it: "<its own path>.loaded".
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    char path[MAX_PATH + 8];
    DWORD n = GetModuleFileNameA(instance, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return TRUE;
    lstrcpynA(path + n, ".loaded", 8);
    HANDLE marker = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (marker != INVALID_HANDLE_VALUE)
        CloseHandle(marker);
    return TRUE;
}

// Enough of LZ32's face for a program that imports it to start.
extern "C" __declspec(dllexport) void WINAPI LZDone() {}
