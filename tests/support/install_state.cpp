#include "install_state.h"

#include <windows.h>
#include <shlobj.h>
#include <stdio.h>

#include "harness.h"

namespace zt {

const char *const kClassKey = "CLSID\\{7C3E2A91-5B04-4D8F-9A61-2E5F8C0B3D10}\\InProcServer32";
const char *const kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZELTRAPro";

std::string NamespaceKey(bool desktop, const char *clsid)
{
    return std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\")
         + (desktop ? "Desktop" : "MyComputer") + "\\Namespace\\" + clsid;
}

std::string ProgramsMenuFolder()
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(NULL, CSIDL_PROGRAMS, NULL, 0, path);
    return path;
}

std::string GroupFolder(const std::string &group) { return ProgramsMenuFolder() + "\\" + group; }

std::string CommonGroupFolder(const std::string &group)
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(NULL, CSIDL_COMMON_PROGRAMS, NULL, 0, path);
    return std::string(path) + "\\" + group;
}

bool ReadShortcut(const std::string &path, std::string *target, std::string *folder)
{
    CoInitialize(NULL);
    IShellLinkA *link = NULL;
    IPersistFile *file = NULL;
    char text[MAX_PATH] = "", dir[MAX_PATH] = "";
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    bool read = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void **)&link)) &&
                SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file)) &&
                SUCCEEDED(file->Load(wide, STGM_READ)) && SUCCEEDED(link->GetPath(text, MAX_PATH, NULL, SLGP_RAWPATH)) &&
                SUCCEEDED(link->GetWorkingDirectory(dir, MAX_PATH));
    if (file)
        file->Release();
    if (link)
        link->Release();
    *target = text;
    *folder = dir;
    return read;
}

std::string ProductFile(const std::string &targetName) { return ExeDir() + "\\product\\" + targetName; }

std::string CallLogPath() { return "C:\\zt\\calls.log"; }

std::vector<std::string> CallLog() { return ReadLines(CallLogPath()); }

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

bool Installed(unsigned long code)
{
    return code == 0 || code == 3010;
}

void ResetInstallState(const std::vector<std::string> &folders)
{
    ClearWinIniSection("ZELTRA");
    RegDeleteTreeAll(HKEY_CLASSES_ROOT, "CLSID\\{7C3E2A91-5B04-4D8F-9A61-2E5F8C0B3D10}");
    RegDeleteTreeAll(HKEY_LOCAL_MACHINE, kUninstallKey);
    const char *classes[] = {"{7c3e2a91-5b04-4d8f-9a61-2e5f8c0b3d01}", "{7c3e2a91-5b04-4d8f-9a61-2e5f8c0b3d0a}"};
    for (const char *clsid : classes) {
        RegDeleteTreeAll(HKEY_LOCAL_MACHINE, NamespaceKey(true, clsid));
        RegDeleteTreeAll(HKEY_LOCAL_MACHINE, NamespaceKey(false, clsid));
    }
    DeleteRunOnceValues();
    CloseFolderWindows("ZELTRA Pro");
    RemoveTree(GroupFolder("ZELTRA Pro"));
    RemoveTree(CommonGroupFolder("ZELTRA Pro"));
    for (const std::string &folder : folders)
        RemoveTree(folder);
    DeleteFileA(CallLogPath().c_str());
}

void WriteInstallIni(const std::string &folder, const std::vector<std::string> &installLines,
                     const std::vector<std::string> &zeltraLines)
{
    std::string text = "[INSTALL]\r\n";
    for (const std::string &line : installLines)
        text += line + "\r\n";
    if (!zeltraLines.empty()) {
        text += "[ZELTRA]\r\n";
        for (const std::string &line : zeltraLines)
            text += line + "\r\n";
    }
    WriteFileText(folder + "\\install.ini", text);
}

}  // namespace zt
