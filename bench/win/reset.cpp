// Puts the machine back as it was before an installation, between timed
// runs: win.ini [ZELTRA], the registry entries, run-once values, the
// Program Manager group's folder windows and folder, and the folders given
// on the command line (the installed folder, the peer's folder).
//   reset.exe FOLDER...
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>
#include <string.h>

static const char kGroup[] = "ZELTRA Pro";

static void RemoveTree(const char *path)
{
    char pattern[MAX_PATH];
    snprintf(pattern, sizeof pattern, "%s\\*", path);
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(pattern, &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, ".."))
                continue;
            char child[MAX_PATH];
            snprintf(child, sizeof child, "%s\\%s", path, found.cFileName);
            SetFileAttributesA(child, FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileA(child);
        } while (FindNextFileA(h, &found));
        FindClose(h);
    }
    RemoveDirectoryA(path);
}

static void DeleteKey(HKEY root, const char *key)
{
    RegDeleteTreeA(root, key);
    RegDeleteKeyA(root, key);
}

static void DeleteRunOnceValues()
{
    const char *keys[] = {"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                          "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce"};
    for (const char *key : keys) {
        HKEY h;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS)
            continue;
        for (int i = 0; i < 1000; ++i) {
            char name[32];
            snprintf(name, sizeof name, "Marlquin%d", i);
            RegDeleteValueA(h, name);
        }
        RegCloseKey(h);
    }
}

// The Program Manager server opens a folder window per group it creates
// (an explorer process of its own). Closing one takes that process a second
// or two, and until it has gone it holds up every message sent to all
// windows, such as the next installation's DdeConnect broadcast: so the
// reset waits for those processes to end.
static HANDLE s_closing[MAXIMUM_WAIT_OBJECTS];
static DWORD s_closingCount;

static BOOL CALLBACK CloseGroupWindow(HWND window, LPARAM)
{
    char title[512];
    if (!(IsWindowVisible(window) && GetWindowTextA(window, title, sizeof title) && strstr(title, kGroup)))
        return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid && pid != GetCurrentProcessId() && s_closingCount < MAXIMUM_WAIT_OBJECTS) {
        if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid))
            s_closing[s_closingCount++] = process;
    }
    PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

static void WaitForClosedWindows()
{
    if (s_closingCount)
        WaitForMultipleObjects(s_closingCount, s_closing, TRUE, 10000);
    for (DWORD i = 0; i < s_closingCount; ++i)
        CloseHandle(s_closing[i]);
}

int main(int argc, char **argv)
{
    WriteProfileStringA("ZELTRA", NULL, NULL);
    DeleteKey(HKEY_CLASSES_ROOT, "CLSID\\{7C3E2A91-5B04-4D8F-9A61-2E5F8C0B3D10}");
    DeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZELTRAPro");
    DeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZELTRAProNSIS");
    const char *classes[] = {"{7c3e2a91-5b04-4d8f-9a61-2e5f8c0b3d01}", "{7c3e2a91-5b04-4d8f-9a61-2e5f8c0b3d0a}"};
    for (const char *clsid : classes) {
        const char *places[] = {"Desktop", "MyComputer"};
        for (const char *place : places) {
            char key[512];
            snprintf(key, sizeof key, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\%s\\Namespace\\%s",
                     place, clsid);
            DeleteKey(HKEY_LOCAL_MACHINE, key);
        }
    }
    DeleteRunOnceValues();
    EnumWindows(CloseGroupWindow, 0);
    WaitForClosedWindows();
    // The shell's group, and the one made without a shell for all users.
    const int programFolders[] = {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS};
    for (int id : programFolders) {
        char programs[MAX_PATH] = "", group[MAX_PATH];
        SHGetFolderPathA(NULL, id, NULL, 0, programs);
        snprintf(group, sizeof group, "%s\\%s", programs, kGroup);
        RemoveTree(group);
    }
    for (int i = 1; i < argc; ++i)
        RemoveTree(argv[i]);
    DeleteFileA("C:\\zt\\calls.log");
    return 0;
}
