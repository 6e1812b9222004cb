#include "install/registration.h"

#include <string.h>

#include "groups/group_select.h"
#include "groups/progman.h"
#include "groups/shortcuts.h"
#include "registry/registry.h"
#include "resource.h"
#include "shell/catalogue.h"
#include "shell/messages.h"
#include "shell/options.h"
#include "shell/paths.h"
#include "shell/progress.h"
#include "shell/sysdll.h"
#include "shell/trace.h"
#include "shell/window.h"
#include "version.h"

INT_PTR CALLBACK IconPlacementDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        int selected = g_iconLocation == 1 ? IDC_RADIO_SECOND : IDC_RADIO_FIRST;
        CheckRadioButton(dialog, IDC_RADIO_FIRST, IDC_RADIO_SECOND, selected);
        CenterWindow(dialog);
    } else if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        g_iconLocation = IsDlgButtonChecked(dialog, IDC_RADIO_SECOND) == BST_CHECKED ? 1 : 0;
        EndDialog(dialog, 1);
    } else if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
    }
    return FALSE;
}

namespace {

const char kSection[] = "ZELTRA";
const char kExplorerItem[] = "ZELTRA Pro Explorer";
const char kExplorerJunction[] = "ZELTRA Pro Explorer." ZL_CLASS_EXPLORER;
const char kOldUninstallTitle[] = "Uninstall ZELTRA Pro";
const char kUninstallDisplayName[] = ZL_UNINSTALL_NAME;
const char kPublisher[] = ZL_PUBLISHER;
const char kStubDll[] = "zlstub.dll";
const char kExplorerDll[] = "zlexpl32.dll";
const char kBrowserDll[] = "zlbrowse.dll";
const char kScheduler[] = "zlsched.exe";
const int kGroupSize = 256;
const int kPathSize = 512;

typedef HRESULT(WINAPI *ExportProc)();

bool Chosen(const SequenceContext &c, DWORD bit) { return (c.mask & bit) != 0; }
bool Quiet(const SequenceContext &c) { return (c.mask & kComponentQuiet) != 0; }
bool Placed(const PayloadEntry &row) { return (row.status & kStatusPlaced) != 0; }

void AddFlags(SequenceContext &c, DWORD bits)
{
    if (c.flags)
        *c.flags |= bits;
}

void SetError(SequenceContext &c, const char *text)
{
    if (c.errorText)
        CopyText(c.errorText, kErrorTextSize, text);
}

void Fail(SequenceContext &c, const char *text)
{
    c.ok = 0;
    SetError(c, text);
}

// The current folder, saved around loading the product's DLLs: they may
// look for their companions there (and where the DLL search leaves the
// current folder out, CallProductExport adds this one for their exports).
struct CurrentFolder {
    char saved[kPathSize];
    bool valid;
    explicit CurrentFolder(const char *folder)
    {
        DWORD n = GetCurrentDirectoryA(sizeof saved, saved);
        valid = n > 0 && n < sizeof saved;
        SetCurrentDirectoryA(folder);
    }
    ~CurrentFolder()
    {
        if (valid)
            SetCurrentDirectoryA(saved);
    }
};

struct Library {
    HMODULE module;
    explicit Library(const char *path) : module(LoadProductDll(path)) {}
    ~Library()
    {
        if (module)
            FreeLibrary(module);
    }
    ExportProc Find(const char *name) const
    {
        return module ? reinterpret_cast<ExportProc>(reinterpret_cast<void *>(GetProcAddress(module, name)))
                      : NULL;
    }
};

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

// Step 8: the base product's class.
void RegisterBaseClass(SequenceContext &c)
{
    PayloadEntry &client = g_basePrimaryList.rows[kRowClient];
    if (!c.ok || !Placed(client) || !Placed(g_basePrimaryList.rows[kRowCore]))
        return;
    char path[kPathSize];
    if (JoinUnlessBackslash(path, sizeof path, c.destDir, client.targetName) && RegisterServerPath(path)) {
        client.status |= kStatusRegistered;
        AddFlags(c, kResultClassRegistered);
        return;
    }
    client.status |= kStatusFailed;
    Fail(c, "Failed to registered base product.");
}

// Step 9
void WriteFolderSettings(const SequenceContext &c)
{
    if (!c.ok)
        return;
    WriteProfileStringA(kSection, "DIR", c.destDir);
    if (g_bNoPass)
        WriteProfileStringA(kSection, "SPFLAGS", "1");
}

// A name that Program Manager commands cannot carry (a quote ends its
// argument early) would leave the group uncreated and the items in
// whatever group is current. So would one that filled the whole buffer:
// it was cut when read.
bool GroupNameUsable(const char *name)
{
    if (!name[0] || strlen(name) >= size_t(kGroupSize - 1))
        return false;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p; ++p)
        if (*p == '"' || *p < ' ')
            return false;
    return true;
}

// Step 10: runs even after a failure, so the user is asked the same way.
void ChooseGroupName(SequenceContext &c, char *group)
{
    char remembered[kGroupSize] = "";
    GetProfileStringA(kSection, "GROUP", ZL_DEFAULT_GROUP, remembered, sizeof remembered);
    CopyText(group, kGroupSize, remembered);
    ReadPlacementOption("GROUP32", remembered, group, kGroupSize);
    // A name Program Manager cannot carry is the user's to change, not ours.
    while (!Quiet(c)) {
        if (!AskGroupName(c.owner, g_hInstance, group)) {
            // The user's Cancel, as the status dialog's: the exit code tells.
            c.ok = 0;
            g_bCancel = 1;
            break;
        }
        if (!group[0] || GroupNameUsable(group))
            break;
        char templ[256], text[kFormatBufferSize];
        LoadMessage(MSG_GROUP_UNUSABLE, templ, sizeof templ);
        FormatMessageText(text, templ, group);
        MessageBoxA(c.owner, text, "ZELTRA Pro Installation", MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
    }
    if (!GroupNameUsable(group)) {
        if (group[0])
            LogFormat("Group name \"%s\" cannot be used; \"%s\" instead.", group, ZL_DEFAULT_GROUP);
        CopyText(group, kGroupSize, ZL_DEFAULT_GROUP);
    }
}

void AddListItems(SequenceContext &c, const InstallList &list)
{
    for (int i = 0; i < list.count; ++i) {
        PayloadEntry &row = list.rows[i];
        if (!row.iconFlag || !Placed(row) || !FileIsReadable(c.destDir, row.targetName))
            continue;
        char text[kPathSize];
        FormatText(text, sizeof text, "Creating icon for %s.", row.targetName);
        SetProgressText(c.status, text);
        AddProgramItem(row.description, c.destDir, row.targetName, "");
        row.status |= kStatusItemCreated;
        AddFlags(c, kResultItemCreated);
    }
}

// Where no shell took the group's commands, the group is made as a folder of
// shortcuts. Either way the log and win.ini say where it went.
void FinishGroup(const char *group)
{
    char folder[kPathSize], why[160];
    if (g_nShellAccepted > 0) {
        if (g_szNoShellReason[0])
            LogFormat("Program group \"%s\" made by the shell, perhaps not whole: %s.", group, g_szNoShellReason);
        else
            LogFormat("Program group \"%s\" made by the shell.", group);
        RecordGroup("shell", FoundGroupFolder(group, folder, sizeof folder) ? folder : NULL);
        return;
    }
    const char *reason = g_szNoShellReason[0] ? g_szNoShellReason : "the shell accepted none of its commands";
    if (MakeShortcutGroup(group, folder, sizeof folder, why, sizeof why)) {
        LogFormat("Program group \"%s\" made as a folder of shortcuts in %s (%s).", group, folder, reason);
        RecordGroup("shortcuts", folder);
    } else {
        LogFormat("Program group \"%s\" not made: %s, and %s.", group, reason, why);
        RecordGroup(NULL, NULL);
    }
}

// Step 11
void CreateGroupAndItems(SequenceContext &c, const char *group)
{
    if (!c.ok)
        return;
    WriteProfileStringA(kSection, "GROUP", group);
    char text[kPathSize];
    FormatText(text, sizeof text, "Creating icon group %s", group);
    SetProgressText(c.status, text);
    if (!CreateProgramGroup(group)) {
        Fail(c, "Failed to create icon group.");
        return;
    }
    if (Chosen(c, kComponentClassic))
        AddListItems(c, g_basePrimaryList);
    if (Chosen(c, kComponentExplorer)) {
        AddProgramItem(kExplorerItem, c.destDir, "", kExplorerJunction);
        AddListItems(c, g_explorerList);
    }
    if (Chosen(c, kComponentUtilities))
        AddListItems(c, g_utilitiesList);
    // An earlier version titled its uninstall item differently.
    char oldTitle[261];
    if (LoadStringA(g_hInstance, MSG_OLD_UNINSTALL_TITLE, oldTitle, sizeof oldTitle) <= 0)
        CopyText(oldTitle, sizeof oldTitle, kOldUninstallTitle);
    DeleteProgramItem(oldTitle, c.destDir, UninstallerName(), "");
    AddListItems(c, g_baseFurtherList);
    CloseProgramGroup();
    FinishGroup(group);
}

// Where a namespace class is registered: 0 desktop, 1 My Computer, -1 neither.
// The namespace key of a class on the desktop (place 0) or in My Computer.
void NamespaceKey(char *key, size_t size, int place, const char *classId)
{
    if (place == 0)
        FormatText(key, size, ZL_KEY_DESKTOP_NAMESPACE, classId);
    else
        FormatText(key, size, ZL_KEY_MYCOMPUTER_NAMESPACE, classId);
}

int FindNamespaceClass(const char *classId)
{
    for (int place = 0; place < 2; ++place) {
        char key[kPathSize];
        char value[512];
        NamespaceKey(key, sizeof key, place, classId);
        if (ReadRegistryString(HKEY_LOCAL_MACHINE, key, NULL, NULL, value, sizeof value))
            return place;
    }
    return -1;
}

void WriteNamespaceClass(const char *classId, const char *title)
{
    char key[kPathSize];
    NamespaceKey(key, sizeof key, g_iconLocation == 0 ? 0 : 1, classId);
    WriteRegistryString(HKEY_LOCAL_MACHINE, key, NULL, NULL, title);
}

// Step 12
void WriteNamespaceEntries(const SequenceContext &c)
{
    if (!c.ok || !Chosen(c, kComponentExplorer) || SkippedWithoutMachineKeys("Namespace entries"))
        return;
    int place = FindNamespaceClass(ZL_CLASS_EXPLORER);
    if (place >= 0) {
        g_iconLocation = place;
    } else {
        if (!Quiet(c))
            DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_ICON_PLACEMENT), NULL, IconPlacementDlgProc, 0);
        WriteNamespaceClass(ZL_CLASS_EXPLORER, kExplorerItem);
    }
    if (!c.ok || !Chosen(c, kComponentClassic))
        return;
    place = FindNamespaceClass(ZL_CLASS_ICON_LINK);
    if (place >= 0)
        g_iconLocation = place;
    else
        WriteNamespaceClass(ZL_CLASS_ICON_LINK, ZL_DEFAULT_GROUP);
}

bool SetTextValue(HKEY key, const char *name, const char *text)
{
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text),
                          DWORD(strlen(text) + 1)) == ERROR_SUCCESS;
}

struct TextValue {
    const char *name;
    const char *text;
};

struct NumberValue {
    const char *name;
    DWORD number;
};

// The product's files in folder, in KB, each rounded up as a disk counts it.
DWORD InstalledKilobytes(const char *folder)
{
    DWORD kilobytes = 0;
    for (const InstallList *list : g_installLists)
        for (int i = 0; i < list->count; ++i) {
            char path[kPathSize];
            WIN32_FIND_DATAA found;
            HANDLE file;
            if (!JoinUnlessBackslash(path, sizeof path, folder, list->rows[i].targetName) ||
                (file = FindFirstFileA(path, &found)) == INVALID_HANDLE_VALUE)
                continue;
            FindClose(file);
            kilobytes += found.nFileSizeHigh * 0x400000u + (found.nFileSizeLow + 1023) / 1024;
        }
    return kilobytes;
}

// The uninstaller's command line, quiet or not.
bool UninstallCommand(char *dst, size_t size, const SequenceContext &c, const char *group, bool quiet)
{
    return FormatText(dst, size, "\"%s\\%s\" %s-f %s -d %s -g %s", c.destDir, UninstallerName(),
                      quiet ? "-q " : "", c.destDir, c.destDir, group);
}

// Step 13: what the system's list of programs (and the tools that read it)
// show and run. A command line that does not fit is not written cut short:
// a truncated group or folder would make the uninstaller act on the wrong
// thing, so the entry is left out altogether.
void WriteUninstallEntry(const SequenceContext &c, const char *group)
{
    if (!c.ok || SkippedWithoutMachineKeys("Uninstall entry"))
        return;
    char command[1024], quiet[1024], icon[kPathSize], date[16];
    if (!UninstallCommand(command, sizeof command, c, group, false) ||
        !UninstallCommand(quiet, sizeof quiet, c, group, true)) {
        LogLine("Uninstall entry not written: its command line is too long.");
        return;
    }
    if (!JoinUnlessBackslash(icon, sizeof icon, c.destDir, g_basePrimaryList.rows[kRowClient].targetName) ||
        !AppendText(icon, sizeof icon, ",0"))
        icon[0] = '\0';
    SYSTEMTIME now;
    GetLocalTime(&now);
    FormatText(date, sizeof date, "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    static const WORD kVersion[] = {ZL_PRODUCT_VERSION};
    const TextValue texts[] = {
        {"DisplayName", kUninstallDisplayName},
        {"UninstallString", command},
        {"QuietUninstallString", quiet},
        {"DisplayVersion", ZL_VERSION_TEXT(ZL_PRODUCT_VERSION)},
        {"Publisher", kPublisher},
        {"DisplayIcon", icon},
        {"InstallLocation", c.destDir},
        {"InstallDate", date},
    };
    const NumberValue numbers[] = {
        {"EstimatedSize", InstalledKilobytes(c.destDir)},
        {"NoModify", 1},
        {"NoRepair", 1},
        {"VersionMajor", kVersion[0]},
        {"VersionMinor", kVersion[1]},
    };
    HKEY key;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, ZL_KEY_UNINSTALL, &key) != ERROR_SUCCESS)
        return;
    for (const TextValue &value : texts)
        if (value.text[0])
            SetTextValue(key, value.name, value.text);
    for (const NumberValue &value : numbers)
        RegSetValueExA(key, value.name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value.number),
                       sizeof value.number);
    RegCloseKey(key);
}

// Step 14
void RegisterIconLink(SequenceContext &c)
{
    PayloadEntry &stub = g_baseFurtherList.rows[kRowStub];
    if (!c.ok || (g_bWinNT && g_nWinMajor < 4) || !Placed(stub))
        return;
    HRESULT hr;
    if (!SelfRegisterDll(c.destDir, kStubDll, &hr))
        return;
    if (SUCCEEDED(hr)) {
        stub.status |= kStatusRegistered;
    } else {
        stub.status |= kStatusFailed;
        SetError(c, "Failed to registered stub.");
    }
}

// Step 15
void RegisterExplorer(SequenceContext &c)
{
    PayloadEntry *rows = g_explorerList.rows;
    if (!c.ok || !Chosen(c, kComponentExplorer) || !Placed(rows[kRowExplorerDll]) ||
        !(Placed(rows[kRowNsExt]) || Placed(rows[kRowIniDll])))
        return;
    HRESULT hr;
    if (!SelfRegisterDll(c.destDir, kExplorerDll, &hr))
        return;
    if (SUCCEEDED(hr)) {
        rows[kRowExplorerDll].status |= kStatusRegistered;
        AddFlags(c, kResultExplorerRegistered);
    } else {
        rows[kRowExplorerDll].status |= kStatusFailed;
        Fail(c, "Failed to registered explorer.");
    }
}

// Step 16
void RegisterBrowserAndScheduler(SequenceContext &c)
{
    if (!c.ok || !Chosen(c, kComponentUtilities))
        return;
    CurrentFolder folder(c.destDir);
    char path[kPathSize];
    if (JoinUnlessBackslash(path, sizeof path, c.destDir, kBrowserDll)) {
        Library dll(path);
        if (ExportProc registerServer = dll.Find("DllRegisterServer")) {
            if (FAILED(CallProductExport(registerServer, c.destDir)))
                Fail(c, "Failed to registered Browser DLL.");
        }
        if (dll.module && c.ok && Chosen(c, kComponentBrowser)) {
            static const char *const kBrowserKeys[] = {"AddNetscapeBhoKey", "AddExplorerBhoKey"};
            for (const char *name : kBrowserKeys)
                if (ExportProc add = dll.Find(name))
                    CallProductExport(add, c.destDir);
        }
    }
    char command[kPathSize + 32];
    if (ProgramCommand(command, sizeof command, c.destDir, kScheduler, "-install"))
        WinExec(command, SW_SHOWNORMAL);
    else
        LogLine("Queue scheduler not started: the folder name is too long.");
}

}  // namespace

bool SelfRegisterDll(const char *destDir, const char *dllName, HRESULT *result)
{
    CurrentFolder folder(destDir);
    char path[kPathSize];
    if (!JoinUnlessBackslash(path, sizeof path, destDir, dllName))
        return false;
    Library dll(path);
    ExportProc registerServer = dll.Find("DllRegisterServer");
    if (!registerServer)
        return false;
    HRESULT hr = CallProductExport(registerServer, destDir);
    if (result)
        *result = hr;
    return true;
}

void RunRegistrationSteps(SequenceContext &c)
{
    char group[kGroupSize] = "";
    ZL_MARK("registry");
    RegisterBaseClass(c);
    WriteFolderSettings(c);
    ChooseGroupName(c, group);
    ZL_MARK("progman");
    CreateGroupAndItems(c, group);
    ZL_MARK("registry");
    WriteNamespaceEntries(c);
    WriteUninstallEntry(c, group);
    ZL_MARK("selfreg");
    RegisterIconLink(c);
    RegisterExplorer(c);
    RegisterBrowserAndScheduler(c);
    ZL_MARK("registry");
}
