#include "groups/progman.h"

#include <string.h>

#include "shell/paths.h"

int g_bProgmanOpen = 0;

namespace {

DWORD g_idInst = 0;
PFNCALLBACK g_pfnCallback = NULL;

const char kService[] = "PROGMAN";
const size_t kCommandSize = 516;
const size_t kPathSize = 260;

// The shell's server answers a group command by opening a folder window, in
// a process of its own and a moment after the command returns. That window
// comes to the front, takes the foreground and can hide the dialog or
// question the user is to answer next. It shows the group, or the desktop
// when the group is gone already. For a while after each group command, a
// shell folder window (or one showing the group's name) that is in front of
// our own or holds the foreground sends our front window above it again.
const UINT kWatchTickMs = 250;
const DWORD kWatchMs = 30000;
UINT_PTR s_watchTimer = 0;
DWORD s_watchStart = 0;
char s_watchedGroup[256];

bool OwnWindow(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId();
}

bool ShellWindow(HWND window)
{
    // Folder windows of Windows 95 and later, and of Wine.
    static const char *const kFolderClasses[] = {"CabinetWClass", "ExploreWClass", "ExplorerWClass"};
    char text[256];
    if (!window || OwnWindow(window))
        return false;
    if (GetClassNameA(window, text, sizeof text))
        for (const char *folderClass : kFolderClasses)
            if (lstrcmpiA(text, folderClass) == 0)
                return true;
    return GetWindowTextA(window, text, sizeof text) && strstr(text, s_watchedGroup);
}

void TakeBackForeground()
{
    if (!s_watchedGroup[0])
        return;
    // Our front window is the topmost one a user can answer: visible and
    // enabled, so a modal dialog or message box rather than its owner.
    bool behind = ShellWindow(GetForegroundWindow());
    HWND own = NULL;
    for (HWND window = GetTopWindow(NULL); window && !own; window = GetWindow(window, GW_HWNDNEXT)) {
        if (!IsWindowVisible(window))
            continue;
        if (!OwnWindow(window))
            behind = behind || ShellWindow(window);
        else if (IsWindowEnabled(window))
            own = window;
    }
    if (!own || !behind)
        return;
    // The top owner brings the windows it owns along.
    HWND top = own;
    while (HWND owner = GetWindow(top, GW_OWNER))
        top = owner;
    SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetForegroundWindow(own);
}

void CALLBACK WatchTick(HWND, UINT, UINT_PTR, DWORD)
{
    TakeBackForeground();
    if (GetTickCount() - s_watchStart >= kWatchMs && s_watchTimer) {
        KillTimer(NULL, s_watchTimer);
        s_watchTimer = 0;
    }
}

// Watches for the group's window from now on, for a window opened late.
void WatchGroupWindows(const char *groupName)
{
    if (!CopyText(s_watchedGroup, sizeof s_watchedGroup, groupName))
        s_watchedGroup[0] = '\0';
    s_watchStart = GetTickCount();
    if (!s_watchTimer)
        s_watchTimer = SetTimer(NULL, 0, kWatchTickMs, WatchTick);
}

// A quote would end a quoted argument early and cannot be escaped for every
// server; control characters have no place in a command either.
bool CanCarry(const char *text)
{
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; ++p)
        if (*p == '"' || *p < ' ')
            return false;
    return true;
}

// An argument written without quotes ends at the first of ",()[]". Such a
// text goes in quoted, so a name like "Tools (old)" stays one argument and
// cannot close the command and start another.
bool BareArgument(char *dst, size_t size, const char *text)
{
    if (!CanCarry(text))
        return false;
    if (strpbrk(text, ",()[]"))
        return FormatText(dst, size, "\"%s\"", text);
    return CopyText(dst, size, text);
}

const char *Text(const char *text) { return text ? text : ""; }

// The group command "[verb(name tail)]", refused (nothing sent) when the
// name cannot be carried or the command does not fit.
int SendGroupCommand(const char *verb, const char *groupName, const char *tail)
{
    char name[kCommandSize], command[kCommandSize];
    if (!BareArgument(name, sizeof name, Text(groupName)) ||
        !FormatText(command, sizeof command, "[%s(%s%s)]", verb, name, tail))
        return 0;
    WatchGroupWindows(groupName);
    return ProgmanExecute(g_idInst, command);
}

bool BuildDeleteItem(char *command, const char *itemName)
{
    return CanCarry(itemName) &&
           FormatText(command, kCommandSize, "[DeleteItem(\"%s\")]", itemName);
}

// The item's name: the one given, or else the file name.
const char *ItemName(const char *itemName, const char *fileName)
{
    return itemName && *itemName ? itemName : Text(fileName);
}

// The folder given, or else the current directory.
bool WorkingFolder(char *dst, const char *folder)
{
    if (folder && *folder)
        return CopyText(dst, kPathSize, folder);
    DWORD n = GetCurrentDirectoryA(kPathSize, dst);
    return n > 0 && n < kPathSize;
}

// The folder and the file name; a file name with a "\" is a whole path.
// The "\" is left out only for a folder in the mixed "/" and "\" form.
bool ProgramPath(char *dst, const char *workFolder, const char *fileName)
{
    if (strchr(fileName, '\\'))
        return CopyText(dst, kPathSize, fileName);
    bool mixed = strchr(workFolder, '/') && LastSeparator(workFolder, false);
    return CopyText(dst, kPathSize, workFolder) &&
           (mixed || AppendText(dst, kPathSize, "\\")) &&
           AppendText(dst, kPathSize, fileName);
}

bool BuildAddItem(char *command, const char *itemName, const char *folder,
                  const char *fileName, const char *commandLine)
{
    char workFolder[kPathSize], program[kPathSize], bareFolder[kCommandSize];
    if (!WorkingFolder(workFolder, folder))
        return false;
    if (!commandLine || !*commandLine) {
        if (!ProgramPath(program, workFolder, Text(fileName)))
            return false;
        commandLine = program;
    }
    return CanCarry(commandLine) && CanCarry(itemName) &&
           BareArgument(bareFolder, sizeof bareFolder, workFolder) &&
           FormatText(command, kCommandSize, "[AddItem(\"%s\",\"%s\",,,,,%s)]",
                      commandLine, itemName, bareFolder);
}

}  // namespace

HDDEDATA CALLBACK ProgmanCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return NULL;
}

int StartProgramClient()
{
    // Opening twice would leak the first instance.
    if (g_bProgmanOpen)
        CloseProgramGroup();
    g_idInst = 0;
    g_pfnCallback = ProgmanCallback;
    if (DdeInitializeA(&g_idInst, g_pfnCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return 0;
    g_bProgmanOpen = 1;
    return 1;
}

int CreateProgramGroup(const char *groupName)
{
    if (!StartProgramClient())
        return 0;
    SendGroupCommand("CreateGroup", groupName, "");
    return 1;
}

int ShowProgramGroup(const char *groupName)
{
    // 8: the group's window in its current state, the active window staying
    // active. Wine's server ignores the number and opens the folder window
    // normally, activated; the watch above answers that.
    return SendGroupCommand("ShowGroup", groupName, ",8");
}

int AddProgramItem(const char *itemName, const char *folder, const char *fileName, const char *commandLine)
{
    const char *name = ItemName(itemName, fileName);
    char deleteItem[kCommandSize], addItem[kCommandSize];
    // Both or neither: a replaced item must not just vanish.
    if (BuildDeleteItem(deleteItem, name) && BuildAddItem(addItem, name, folder, fileName, commandLine)) {
        ProgmanExecute(g_idInst, deleteItem);
        ProgmanExecute(g_idInst, addItem);
    }
    return 1;
}

int DeleteProgramItem(const char *itemName, const char *, const char *fileName, const char *)
{
    char command[kCommandSize];
    if (BuildDeleteItem(command, ItemName(itemName, fileName)))
        ProgmanExecute(g_idInst, command);
    return 1;
}

int DeleteProgramGroup(const char *groupName)
{
    if (g_bProgmanOpen) {
        // A group the user named may hold other programs' items: keep it.
        if (groupName && lstrcmpiA(groupName, ZL_DEFAULT_GROUP) == 0)
            SendGroupCommand("DeleteGroup", groupName, "");
        DdeUninitialize(g_idInst);
    }
    g_bProgmanOpen = 0;
    return 1;
}

int CloseProgramGroup()
{
    if (g_bProgmanOpen)
        DdeUninitialize(g_idInst);
    g_bProgmanOpen = 0;
    return 1;
}

int ProgmanExecute(DWORD instance, const char *command)
{
    if (!g_bProgmanOpen)
        return 0;
    HSZ name = DdeCreateStringHandleA(instance, kService, CP_WINANSI);
    if (!name)
        return 0;
    HCONV conv = DdeConnect(instance, name, name, NULL);
    if (!conv) {
        DdeFreeStringHandle(instance, name);
        return 0;
    }
    // The transaction takes a writable buffer; it does not change it.
    DWORD result = 0;
    BYTE *data = reinterpret_cast<BYTE *>(const_cast<char *>(command));
    HDDEDATA done = DdeClientTransaction(data, DWORD(strlen(command) + 1), conv, NULL,
                                         CF_TEXT, XTYP_EXECUTE, 1000, &result);
    DdeDisconnect(conv);
    DdeFreeStringHandle(instance, name);
    TakeBackForeground();
    return done ? 1 : 0;
}
