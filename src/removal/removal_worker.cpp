#include "removal/removal_worker.h"

#include <string.h>

#include "fileops/placement.h"
#include "groups/progman.h"
#include "groups/shortcuts.h"
#include "registry/registry.h"
#include "resource.h"
#include "shell/catalogue.h"
#include "shell/folders.h"
#include "shell/messages.h"
#include "shell/options.h"
#include "shell/paths.h"
#include "shell/sysdll.h"
#include "shell/window.h"

namespace {

const int kErrorSize = 256;
const int kPathSize = 512;
const int kShortPathSize = 261;
const char kSection[] = "ZELTRA";
const char kExplorerItem[] = "ZELTRA Pro Explorer";
const char kExplorerJunction[] = "ZELTRA Pro Explorer." ZL_CLASS_EXPLORER;
const char kBaseServerKey[] = "CLSID\\" ZL_CLASS_BASE "\\InProcServer32";

typedef HRESULT(WINAPI *ExportProc)();

struct StatusText {
    UINT id;
    const char *fallback;
};

const StatusText kUninstallInfo = {MSG_STATUS_UNINSTALL_INFO, "Removing uninstall info"};
const StatusText kDesktopIcons = {MSG_STATUS_DESKTOP_ICONS, "Removing desktop icons"};
const StatusText kUnregExplorer = {MSG_STATUS_UNREG_EXPLORER, "Unregistering explorer"};
const StatusText kUnregBrowser = {MSG_STATUS_UNREG_BROWSER, "Unregistering ZELTRA Browser DLL"};
const StatusText kUnregScheduler = {MSG_STATUS_UNREG_SCHED, "Unregistering ZELTRA Queue Scheduler"};
const StatusText kUnregIconLink = {MSG_STATUS_UNREG_ICONLINK, "Unregistering icon link"};
const StatusText kLocateGroup = {MSG_STATUS_LOCATE_GROUP, "Locating icon group"};
const StatusText kDeleteIcon = {MSG_STATUS_DELETE_ICON, "Deleting icon %s"};
const StatusText kCloseIcons = {MSG_STATUS_CLOSE_ICONS, "Closing icon deletion"};
const StatusText kDeletingFiles = {MSG_STATUS_DELETING_FILES, "Deleting files"};
const StatusText kCompleted = {MSG_STATUS_COMPLETED, "completed"};

void LoadStatus(const StatusText &s, char *buffer, int size)
{
    if (LoadStringA(g_hInstance, s.id, buffer, size) <= 0)
        CopyText(buffer, size_t(size), s.fallback);
}

void ShowStatus(HWND status, const StatusText &s)
{
    char text[kPathSize];
    LoadStatus(s, text, sizeof text);
    SetStatusText(status, text);
}

// A program in folder with its arguments. A path with a blank is quoted:
// unquoted, the program would take the rest of the path for arguments.
bool ProgramCommand(char *dst, size_t size, const char *folder, const char *program, const char *args)
{
    char path[kPathSize];
    if (!JoinUnlessBackslash(path, sizeof path, folder, program))
        return false;
    const char *quote = strchr(path, ' ') ? "\"" : "";
    return FormatText(dst, size, "%s%s%s %s", quote, path, quote, args);
}

const char *CommandInterpreter() { return g_bWinNT ? "cmd.exe" : "command.com"; }

void DeleteListFiles(const char *folder, const InstallList &list, int schedulerRow, char *errorText, HWND status,
                     const char *running)
{
    for (int i = 0; i < list.count; ++i) {
        char path[kPathSize];
        if (!JoinUnlessBackslash(path, sizeof path, folder, list.rows[i].sourceName) ||
            (running && lstrcmpiA(path, running) == 0))
            continue;
        SetStatusText(status, path);
        if (i == schedulerRow) {
            char command[kPathSize + 32];
            if (ProgramCommand(command, sizeof command, folder, list.rows[i].sourceName, "-remove"))
                WinExec(command, SW_HIDE);
        }
        DeleteInstalledFile(path, errorText);
        // The copy of an in-use replacement waiting for the next start: gone,
        // that copy finds nothing to bring back.
        char pending[kPathSize];
        if (AlternativePath(pending, sizeof pending, path, ".new"))
            DeleteInstalledFile(pending, errorText);
    }
}

// Items go through the shell, or with linkFolder given, as shortcuts there.
void DeleteItem(const char *itemName, const char *folder, const char *fileName, const char *commandLine,
                const char *linkFolder)
{
    if (linkFolder)
        DeleteOwnShortcut(linkFolder, itemName, folder);
    else
        DeleteProgramItem(itemName, folder, fileName, commandLine);
}

void DeleteListItems(const char *folder, const InstallList &list, HWND status, const char *linkFolder)
{
    char templ[kPathSize];
    LoadStatus(kDeleteIcon, templ, sizeof templ);
    for (int i = 0; i < list.count; ++i) {
        const PayloadEntry &row = list.rows[i];
        if (!row.iconFlag)
            continue;
        char text[kPathSize];
        FillTextTemplate(text, sizeof text, templ, row.description);
        SetStatusText(status, text);
        DeleteItem(row.description, folder, row.targetName, "", linkFolder);
    }
}

void DeleteAllItems(const char *folder, int mask, HWND status, const char *linkFolder)
{
    if (mask & kComponentExplorer) {
        DeleteItem(kExplorerItem, folder, "", kExplorerJunction, linkFolder);
        DeleteListItems(folder, g_explorerList, status, linkFolder);
    }
    if (mask & kComponentUtilities)
        DeleteListItems(folder, g_utilitiesList, status, linkFolder);
    if (mask & kComponentClassic)
        DeleteListItems(folder, g_basePrimaryList, status, linkFolder);
    DeleteListItems(folder, g_baseFurtherList, status, linkFolder);
}

// The items of every component and the group, in the recorded group only:
// through the shell where it made them and answers, else as shortcuts in
// the folder win.ini records. The folder goes only when nothing else is
// left in it.
void RemoveProgramItems(const char *folder, int mask, const char *given, HWND status)
{
    ShowStatus(status, kLocateGroup);
    char group[256] = "", linkFolder[MAX_PATH];
    if (given)
        CopyText(group, sizeof group, given);
    else
        GetProfileStringA(kSection, "GROUP", ZL_DEFAULT_GROUP, group, sizeof group);
    if (!group[0])
        return;
    bool recorded = RecordedGroupFolder(linkFolder, sizeof linkFolder);
    bool viaShell = !GroupMadeAsShortcuts() && StartProgramClient();
    // Without the group current, DeleteItem would hit whatever group
    // Program Manager last showed, which may be the user's own.
    if (viaShell && ShowProgramGroup(group)) {
        DeleteAllItems(folder, mask, status, NULL);
    } else if (recorded) {
        DeleteAllItems(folder, mask, status, linkFolder);
        if (RemoveDirectoryA(linkFolder))
            LogFormat("Program group folder %s deleted.", linkFolder);
        else
            LogFormat("Program group folder %s kept: it holds other items.", linkFolder);
    } else {
        LogFormat("Program group \"%s\" not found: no items deleted.", group);
    }
    ShowStatus(status, kCloseIcons);
    DeleteProgramGroup(group);
}

bool AskDeleteIniFiles(const char *folder, HWND owner)
{
    char path[kPathSize];
    if (!JoinUnlessBackslash(path, sizeof path, folder, g_siteListList.rows[kRowProductIni].targetName))
        return false;
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return false;
    if (g_bSilent) {
        LogLine("INI files kept.");
        return false;
    }
    char text[512];
    LoadMessage(MSG_DELETE_INI_FILES, text, sizeof text);
    return MessageBoxA(owner, text, "ZELTRA Pro Installation", MB_YESNO | MB_SETFOREGROUND) == IDYES;
}

// Backup, temporary, help-index and log files; INI files when agreed.
bool IsSweptName(const char *name, bool withIni)
{
    static const char *const kSwept[] = {".bak", ".tmp", ".gid", ".log"};
    const char *dot = strrchr(name, '.');
    if (!dot)
        return false;
    for (const char *ext : kSwept)
        if (lstrcmpiA(dot, ext) == 0)
            return true;
    return withIni && lstrcmpiA(dot, ".ini") == 0;
}

struct SweepContext {
    bool withIni;
    HWND status;
};

static bool DeleteIfSwept(const char *path, const WIN32_FIND_DATAA &found, const void *context)
{
    const SweepContext *sweep = static_cast<const SweepContext *>(context);
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsSweptName(found.cFileName, sweep->withIni)) {
        SetStatusText(sweep->status, path);
        DeleteFileA(path);
    }
    return true;
}

void SweepFolder(const char *folder, HWND owner, HWND status)
{
    ShowStatus(status, kDeletingFiles);
    SweepContext sweep = {AskDeleteIniFiles(folder, owner), status};
    ForEachFound(folder, "*.*", DeleteIfSwept, &sweep);
}

// True when folder (comparable) is known, or holds it.
bool SameOrAbove(const char *folder, const char *known)
{
    char other[kPathSize];
    if (!known[0] || !ComparableFolder(known, other, sizeof other))
        return false;
    size_t len = strlen(folder);
    if (strlen(other) < len || (other[len] != '\0' && other[len] != '\\'))
        return false;
    other[len] = '\0';
    return lstrcmpiA(other, folder) == 0;
}

// A root has nothing after its drive or share: "C:", "\\server\share".
bool IsRoot(const char *folder)
{
    bool share = folder[0] == '\\' && folder[1] == '\\';
    int separators = 0;
    for (const char *p = share ? folder + 2 : folder; *p; p = NextCharacter(p))
        if (*p == '\\')
            ++separators;
    return separators <= (share ? 1 : 0);
}

bool AboveEnvironmentFolder(const char *folder, const char *name)
{
    char value[kPathSize];
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value && SameOrAbove(folder, value);
}

// Every value of a key that names a folder (Shell Folders and the like).
bool AboveRegistryFolders(const char *folder, HKEY root, const char *keyPath, const char *onlyValue)
{
    HKEY key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    bool found = false;
    for (DWORD i = 0; !found; ++i) {
        char name[256], value[kPathSize];
        DWORD nameSize = sizeof name, valueSize = sizeof value - 1, type = 0;
        LONG rc = RegEnumValueA(key, i, name, &nameSize, NULL, &type, reinterpret_cast<BYTE *>(value), &valueSize);
        if (rc == ERROR_MORE_DATA)
            continue;   // too long for a folder this program could be in
        if (rc != ERROR_SUCCESS)
            break;
        if (type != REG_SZ || (onlyValue && lstrcmpiA(name, onlyValue) != 0))
            continue;
        value[valueSize] = '\0';
        found = SameOrAbove(folder, value);
    }
    RegCloseKey(key);
    return found;
}

}  // namespace

bool EntryInstallLocation(char *folder, size_t size)
{
    char location[kPathSize] = "";
    if (!ReadRegistryString(HKEY_LOCAL_MACHINE, ZL_KEY_UNINSTALL, "InstallLocation", "", location, sizeof location) ||
        !location[0])
        return false;
    return CopyText(folder, size, location);
}

bool RecordIsOf(const char *recorded, const char *folder)
{
    return !recorded[0] || lstrcmpiA(recorded, folder) == 0 || SamePath(recorded, folder);
}

bool FolderIsShared(const char *folderPath)
{
    // A folder that cannot be placed may be any of them.
    char folder[kPathSize];
    if (!ComparableFolder(folderPath, folder, sizeof folder))
        return true;
    if (IsRoot(folder))
        return true;
    char known[kPathSize];
    UINT n = GetWindowsDirectoryA(known, sizeof known);
    if (n > 0 && n < sizeof known && SameOrAbove(folder, known))
        return true;
    n = GetSystemDirectoryA(known, sizeof known);
    if (n > 0 && n < sizeof known && SameOrAbove(folder, known))
        return true;
    DWORD m = GetTempPathA(sizeof known, known);
    if (m > 0 && m < sizeof known && SameOrAbove(folder, known))
        return true;
    static const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    static const char kCurrentVersion[] = "Software\\Microsoft\\Windows\\CurrentVersion";
    return AboveEnvironmentFolder(folder, "ProgramFiles") || AboveEnvironmentFolder(folder, "USERPROFILE") ||
           AboveEnvironmentFolder(folder, "ALLUSERSPROFILE") ||
           AboveRegistryFolders(folder, HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir") ||
           AboveRegistryFolders(folder, HKEY_LOCAL_MACHINE, kCurrentVersion, "CommonFilesDir") ||
           AboveRegistryFolders(folder, HKEY_CURRENT_USER, kShellFolders, NULL) ||
           AboveRegistryFolders(folder, HKEY_LOCAL_MACHINE, kShellFolders, NULL);
}

void FillTextTemplate(char *dst, size_t size, const char *templ, const char *value)
{
    const char *mark = strstr(templ, "%s");
    if (!mark) {
        CopyText(dst, size, templ);
        return;
    }
    size_t head = size_t(mark - templ) < size ? size_t(mark - templ) : size - 1;
    memcpy(dst, templ, head);
    dst[head] = '\0';
    AppendText(dst, size, value);
    AppendText(dst, size, mark + 2);
}

void SetStatusText(HWND status, const char *text)
{
    if (!status || !IsWindow(status))
        return;
    SetWindowTextA(status, text);
    UpdateWindow(status);
}

int DeleteInstalledFile(const char *path, char *errorText)
{
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return 1;
    if (DeleteFileA(path))
        return 1;
    if (errorText)
        FormatText(errorText, kErrorSize, "failed to delete %s", path);

    // Only a dot in the file name itself starts the extension.
    char renamed[kPathSize];
    CopyText(renamed, sizeof renamed, path);
    char *name = LastSeparator(renamed, false);
    char *dot = strrchr(name ? name : renamed, '.');
    if (dot)
        *dot = '\0';
    const char *current = path;
    if (AppendText(renamed, sizeof renamed, ".del") && MoveFileA(path, renamed))
        current = renamed;

    char shortPath[kShortPathSize];
    char command[kPathSize];
    if (CommandPathOf(current, shortPath, sizeof shortPath) &&
        FormatText(command, sizeof command, "%s /c del %s", CommandInterpreter(), shortPath) &&
        AddRunOnceCommand(command))
        g_bRebootNeeded = 1;
    return 0;
}

int DeleteRegistryTree(const char *keyPath, HKEY root)
{
    HKEY key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    int result = 1;
    DWORD index = 0;
    char name[256];
    while (RegEnumKeyA(key, index, name, sizeof name) == ERROR_SUCCESS) {
        if (RegDeleteKeyA(key, name) == ERROR_SUCCESS)
            continue;
        // Relative to the open key, so a deep tree needs no path buffer.
        if (!DeleteRegistryTree(name, key))
            result = 0;
        // A sub-key that is still there could neither be deleted nor
        // emptied: step past it, or the walk would meet it for ever.
        char still[256];
        if (RegEnumKeyA(key, index, still, sizeof still) == ERROR_SUCCESS && lstrcmpiA(still, name) == 0) {
            result = 0;
            ++index;
        }
    }
    RegCloseKey(key);
    RegDeleteKeyA(root, keyPath);
    return result;
}

int UnregisterBaseProduct()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kBaseServerKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, NULL);
        RegDeleteValueA(key, "ThreadingModel");
        RegCloseKey(key);
    }
    RegDeleteKeyA(HKEY_CLASSES_ROOT, kBaseServerKey);
    return 1;
}

int RemoveNamespaceKeys()
{
    static const char *const kClasses[] = {ZL_CLASS_EXPLORER, ZL_CLASS_ICON_LINK};
    for (const char *classId : kClasses) {
        char key[kPathSize];
        FormatText(key, sizeof key, ZL_KEY_DESKTOP_NAMESPACE, classId);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
        FormatText(key, sizeof key, ZL_KEY_MYCOMPUTER_NAMESPACE, classId);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
    }
    return 1;
}

void SelfUnregisterDll(const char *folder, const char *dllName)
{
    char saved[kPathSize];
    DWORD n = GetCurrentDirectoryA(sizeof saved, saved);
    bool restore = n > 0 && n < sizeof saved;
    SetCurrentDirectoryA(folder);
    char path[kPathSize];
    if (JoinUnlessBackslash(path, sizeof path, folder, dllName)) {
        if (HMODULE dll = LoadProductDll(path)) {
            if (ExportProc unregisterServer =
                    reinterpret_cast<ExportProc>(reinterpret_cast<void *>(GetProcAddress(dll, "DllUnregisterServer"))))
                CallProductExport(unregisterServer, folder);
            FreeLibrary(dll);
        }
    }
    if (restore)
        SetCurrentDirectoryA(saved);
}

int RemoveInstallation(const char *folder, int mask, char *errorText, HWND owner, HWND status, const char *group,
                       const char *running)
{
    ShowStatus(status, kUninstallInfo);
    // The entry of an installation in another folder stays.
    char location[kPathSize] = "";
    EntryInstallLocation(location, sizeof location);
    if (RecordIsOf(location, folder) && RegDeleteKeyA(HKEY_LOCAL_MACHINE, ZL_KEY_UNINSTALL) != ERROR_SUCCESS)
        DeleteRegistryTree(ZL_KEY_UNINSTALL, HKEY_LOCAL_MACHINE);
    if (errorText)
        errorText[0] = '\0';
    const int anyComponent = kComponentClassic | kComponentExplorer | kComponentUtilities | kComponentBrowser;
    if (!(mask & anyComponent)) {
        if (errorText)
            CopyText(errorText, kErrorSize, "Nothing to do!");
        ShowStatus(status, kCompleted);
        return 1;
    }
    ShowStatus(status, kDesktopIcons);
    RemoveNamespaceKeys();

    if (mask & kComponentExplorer) {
        ShowStatus(status, kUnregExplorer);
        SelfUnregisterDll(folder, g_explorerList.rows[kRowExplorerDll].targetName);
        DeleteListFiles(folder, g_explorerList, -1, errorText, status, running);
    }
    if (mask & kComponentUtilities) {
        ShowStatus(status, kUnregBrowser);
        SelfUnregisterDll(folder, "zlbrowse.dll");
        ShowStatus(status, kUnregScheduler);
        char command[kPathSize + 32];
        if (ProgramCommand(command, sizeof command, folder, "zlsched.exe", "-remove"))
            WinExec(command, SW_SHOWNORMAL);
        Sleep(30);
        DeleteListFiles(folder, g_utilitiesList, kRowScheduler, errorText, status, running);
    }
    if (mask & kComponentClassic) {
        SetStatusText(status, "Unregistering base product");
        UnregisterBaseProduct();
        DeleteListFiles(folder, g_basePrimaryList, -1, errorText, status, running);
    }
    ShowStatus(status, kUnregIconLink);
    SelfUnregisterDll(folder, g_baseFurtherList.rows[kRowStub].targetName);
    DeleteListFiles(folder, g_baseFurtherList, -1, errorText, status, running);

    RemoveProgramItems(folder, mask, group, status);
    // In a folder others use too, only the catalogue's own files go.
    if (FolderIsShared(folder))
        LogFormat("%s is not the product's own folder: no sweep.", folder);
    else
        SweepFolder(folder, owner, status);
    ShowStatus(status, kCompleted);
    return 1;
}
