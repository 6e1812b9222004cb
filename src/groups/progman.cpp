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
// when the group is gone already. For a while after a group command, such a
// folder window that appeared since (and a window the command itself
// brought to the front, as Program Manager does for its group) sends our
// front window above it again. Any other window the user activates ends the
// watch at once: it is the user's choice. Another copy of this program is
// never fought.
const UINT kWatchTickMs = 250;
const DWORD kWatchMs = 30000;
const int kMaxKnownWindows = 1024;
UINT_PTR s_watchTimer = 0;
DWORD s_watchStart = 0;
char s_watchedGroup[256];
bool s_groupGone = false;      // the last command deleted the group
// The top-level windows there were when the watch began; -1: more than
// could be kept, so no window counts as new.
HWND s_knownWindows[kMaxKnownWindows];
int s_knownCount = 0;
HWND s_raisedWindow = NULL;    // brought to the front by a command, taken back once
HWND s_lastForeground = NULL;  // as the watch last saw it

DWORD ProcessOf(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

bool OwnWindow(HWND window)
{
    return ProcessOf(window) == GetCurrentProcessId();
}

bool SameText(HWND a, HWND b)
{
    char textA[256], textB[256];
    return GetWindowTextA(a, textA, sizeof textA) && GetWindowTextA(b, textB, sizeof textB) &&
           lstrcmpA(textA, textB) == 0;
}

// A window of another copy of this program: titled like our own top window,
// or of a process that has a top-level window of our top window's class,
// which only this program registers (a system class, "#32770", says
// nothing).
bool OtherCopyWindow(HWND window, HWND ownTop)
{
    if (SameText(window, ownTop))
        return true;
    char ownClass[64], text[64];
    if (!GetClassNameA(ownTop, ownClass, sizeof ownClass) || ownClass[0] == '#')
        return false;
    DWORD process = ProcessOf(window);
    for (HWND other = GetTopWindow(NULL); other; other = GetWindow(other, GW_HWNDNEXT))
        if (ProcessOf(other) == process && GetClassNameA(other, text, sizeof text) &&
            lstrcmpA(text, ownClass) == 0)
            return true;
    return false;
}

// A folder window of Windows 95 and later, or of Wine, that was not there
// when the watch began.
bool NewFolderWindow(HWND window)
{
    static const char *const kFolderClasses[] = {"CabinetWClass", "ExploreWClass", "ExplorerWClass"};
    char name[64];
    if (!window || s_knownCount < 0 || OwnWindow(window) || !GetClassNameA(window, name, sizeof name))
        return false;
    for (int i = 0; i < s_knownCount; ++i)
        if (s_knownWindows[i] == window)
            return false;
    for (const char *folderClass : kFolderClasses)
        if (lstrcmpiA(name, folderClass) == 0)
            return true;
    return false;
}

// A new folder window showing the group, or the desktop once it is gone.
bool GroupWindow(HWND window)
{
    char text[256];
    return NewFolderWindow(window) &&
           (s_groupGone || (GetWindowTextA(window, text, sizeof text) && strstr(text, s_watchedGroup)));
}

void EndWatch()
{
    if (s_watchTimer)
        KillTimer(NULL, s_watchTimer);
    s_watchTimer = 0;
    s_raisedWindow = NULL;
}

void TakeBackForeground()
{
    if (!s_watchTimer)
        return;
    // Our front window is the topmost one a user can answer: visible and
    // enabled, so a modal dialog or message box rather than its owner.
    HWND own = NULL;
    bool covered = false;
    for (HWND window = GetTopWindow(NULL); window && !own; window = GetWindow(window, GW_HWNDNEXT)) {
        if (!IsWindowVisible(window))
            continue;
        if (!OwnWindow(window))
            covered = covered || GroupWindow(window);
        else if (IsWindowEnabled(window))
            own = window;
    }
    if (!own)
        return;
    // The top owner brings the windows it owns along.
    HWND top = own;
    while (HWND owner = GetWindow(top, GW_OWNER))
        top = owner;
    HWND foreground = GetForegroundWindow();
    bool ours = !foreground || foreground == GetDesktopWindow() || OwnWindow(foreground);
    bool intruder = !ours && (GroupWindow(foreground) || foreground == s_raisedWindow) &&
                    !OtherCopyWindow(foreground, top);
    if (foreground != s_lastForeground) {
        s_lastForeground = foreground;
        // A new folder window that shows something else (no title yet, or
        // the user's own) is not fought, nor taken for the user's choice.
        if (!ours && !intruder && !NewFolderWindow(foreground)) {
            EndWatch();
            return;
        }
    }
    if (!intruder && !(covered && ours))
        return;
    if (foreground == s_raisedWindow)
        s_raisedWindow = NULL;
    SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetForegroundWindow(own);
    s_lastForeground = GetForegroundWindow();
}

void CALLBACK WatchTick(HWND, UINT, UINT_PTR, DWORD)
{
    TakeBackForeground();
    if (s_watchTimer && GetTickCount() - s_watchStart >= kWatchMs)
        EndWatch();
}

// Watches for the group's window from now on, for a window opened late. A
// watch already running goes on with what it knew before.
void WatchGroupWindows(const char *groupName, bool deleted)
{
    if (!s_watchTimer) {
        s_knownCount = 0;
        for (HWND window = GetTopWindow(NULL); window && s_knownCount >= 0; window = GetWindow(window, GW_HWNDNEXT))
            if (s_knownCount < kMaxKnownWindows)
                s_knownWindows[s_knownCount++] = window;
            else
                s_knownCount = -1;
        s_raisedWindow = NULL;
        s_lastForeground = GetForegroundWindow();
        s_watchTimer = SetTimer(NULL, 0, kWatchTickMs, WatchTick);
    }
    if (!CopyText(s_watchedGroup, sizeof s_watchedGroup, groupName))
        EndWatch();
    s_groupGone = deleted;
    s_watchStart = GetTickCount();
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
    WatchGroupWindows(groupName, lstrcmpA(verb, "DeleteGroup") == 0);
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
    // 1: shown and activated. Program Manager's item commands act on its
    // active group, and 8 would leave the user's group active. The window
    // that comes to the front goes behind ours again (the watch above).
    return SendGroupCommand("ShowGroup", groupName, ",1");
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
    HWND before = GetForegroundWindow();
    HDDEDATA done = DdeClientTransaction(data, DWORD(strlen(command) + 1), conv, NULL,
                                         CF_TEXT, XTYP_EXECUTE, 1000, &result);
    DdeDisconnect(conv);
    DdeFreeStringHandle(instance, name);
    HWND after = GetForegroundWindow();
    if (s_watchTimer && after != before && after && after != GetDesktopWindow() && !OwnWindow(after))
        s_raisedWindow = after;
    TakeBackForeground();
    return done ? 1 : 0;
}
