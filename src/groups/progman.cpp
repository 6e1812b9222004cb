#include "groups/progman.h"

#include <dde.h>
#include <string.h>

#include "shell/paths.h"
#include "shell/sysdll.h"

int g_bProgmanOpen = 0;
int g_nShellAccepted = 0;
char g_szNoShellReason[160];
ProgramItem g_programItems[kMaxProgramItems];
int g_nProgramItems = 0;

namespace {

DWORD g_idInst = 0;
PFNCALLBACK g_pfnCallback = NULL;

// One conversation carries the client's commands; it is opened again only
// when the server dropped it. Once no shell could be found, or it stopped
// answering, the client sends nothing more until it is started again.
HCONV s_conv = NULL;
bool s_gaveUp = false;
DWORD s_searchDeadline = 0;

// How long a window may take to answer the search, and how long the search
// may take in all: DdeConnect's own broadcast waits on every window without
// a limit.
const DWORD kWindowAnswerMs = 3000;
const DWORD kShellSearchMs = 6000;
const DWORD kCommandWaitMs = 1000;

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
    // No window active at all (a folder window that came up and went
    // inactive): nothing of the user's to respect, and ours may be hidden.
    if (!intruder && !(covered && ours) && foreground)
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

// item receives what the command says: the name, command line and folder.
bool BuildAddItem(char *command, ProgramItem &item, const char *itemName, const char *folder,
                  const char *fileName, const char *commandLine)
{
    char bareFolder[kCommandSize];
    if (!WorkingFolder(item.folder, folder))
        return false;
    if (commandLine && *commandLine) {
        if (!CopyText(item.command, sizeof item.command, commandLine))
            return false;
    } else if (!ProgramPath(item.command, item.folder, Text(fileName))) {
        return false;
    }
    return CanCarry(item.command) && CanCarry(itemName) &&
           CopyText(item.name, sizeof item.name, itemName) &&
           BareArgument(bareFolder, sizeof bareFolder, item.folder) &&
           FormatText(command, kCommandSize, "[AddItem(\"%s\",\"%s\",,,,,%s)]",
                      item.command, itemName, bareFolder);
}

// Keeps what the group step asked for, in order, for a group made without
// the shell.
void KeepItem(const ProgramItem &item)
{
    if (g_nProgramItems < kMaxProgramItems)
        g_programItems[g_nProgramItems++] = item;
}


void NoShell(const char *reason)
{
    if (!g_szNoShellReason[0])
        CopyText(g_szNoShellReason, sizeof g_szNoShellReason, reason);
}

// The search's own window: servers answer its initiate, and it ends each
// such conversation at once.
HWND s_searchWindow = NULL;
HWND s_foundServer = NULL;

LRESULT CALLBACK SearchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DDE_ACK) {
        // The answer to an initiate: its atoms are the receiver's to free.
        GlobalDeleteAtom(LOWORD(lParam));
        GlobalDeleteAtom(HIWORD(lParam));
        HWND server = reinterpret_cast<HWND>(wParam);
        if (!s_foundServer)
            s_foundServer = server;
        PostMessageA(server, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(window), 0);
        return 0;
    }
    if (message == WM_DDE_TERMINATE)
        return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND SearchWindow()
{
    if (s_searchWindow && IsWindow(s_searchWindow))
        return s_searchWindow;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = SearchWindowProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = "ZeltraShellSearch";
    RegisterClassA(&windowClass);
    s_searchWindow = CreateWindowA(windowClass.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, NULL, NULL,
                                   windowClass.hInstance, NULL);
    return s_searchWindow;
}

DWORD TimeLeft(DWORD deadline)
{
    LONG left = LONG(deadline - GetTickCount());
    return left > 0 ? DWORD(left) : 0;
}

// Asks each top-level window in turn, for a bounded time, whether it serves
// "PROGMAN", as DdeConnect's broadcast does without a bound. True when a
// server answered and no window kept the search waiting: DdeConnect's
// broadcast then meets only windows that have just answered. A window that
// the system takes for hung is skipped at once, by the broadcast too.
bool FindShell(DWORD deadline)
{
    // Win32s may lack it; there the broadcast is left to DdeConnect.
    auto sendTimed = LoadedDllFunction<decltype(&SendMessageTimeoutA)>("user32.dll", "SendMessageTimeoutA");
    if (!sendTimed)
        return true;
    static HWND windows[kMaxKnownWindows];
    int count = 0;
    for (HWND w = GetTopWindow(NULL); w && count < kMaxKnownWindows; w = GetWindow(w, GW_HWNDNEXT))
        if (!OwnWindow(w))
            windows[count++] = w;
    HWND search = SearchWindow();
    ATOM service = GlobalAddAtomA(kService);
    if (!search || !service) {
        NoShell("the shell could not be asked");
        return false;
    }
    s_foundServer = NULL;
    bool silent = false;
    for (int i = 0; i < count && !silent; ++i) {
        DWORD wait = TimeLeft(deadline);
        if (wait == 0) {
            NoShell("the time for the shell was up");
            silent = true;
            break;
        }
        if (wait > kWindowAnswerMs)
            wait = kWindowAnswerMs;
        DWORD started = GetTickCount();
        DWORD_PTR answer = 0;
        if (sendTimed(windows[i], WM_DDE_INITIATE, reinterpret_cast<WPARAM>(search),
                                MAKELPARAM(service, service), SMTO_ABORTIFHUNG, wait, &answer) ||
            !IsWindow(windows[i]) || GetTickCount() - started < wait)
            continue;
        char name[64] = "", text[160];
        GetClassNameA(windows[i], name, sizeof name);
        FormatText(text, sizeof text, "a window (class \"%s\") did not answer within %lu ms", name,
                   static_cast<unsigned long>(wait));
        NoShell(text);
        silent = true;
    }
    GlobalDeleteAtom(service);
    if (!silent && !s_foundServer)
        NoShell("no shell answered");
    return !silent && s_foundServer;
}

bool Connected(HCONV conv)
{
    CONVINFO info;
    info.cb = sizeof info;
    // A server that ended may not have told us yet: its window is gone.
    return conv && DdeQueryConvInfo(conv, QID_SYNC, &info) && (info.wStatus & ST_CONNECTED) &&
           IsWindow(info.hwndPartner);
}

// A conversation after a bounded search; NULL when none can be had.
HCONV Connect(DWORD instance)
{
    if (s_gaveUp || !FindShell(s_searchDeadline)) {
        s_gaveUp = true;
        return NULL;
    }
    HSZ name = DdeCreateStringHandleA(instance, kService, CP_WINANSI);
    HCONV conv = name ? DdeConnect(instance, name, name, NULL) : NULL;
    if (name)
        DdeFreeStringHandle(instance, name);
    if (!conv) {
        NoShell("no shell answered");
        s_gaveUp = true;
    }
    return conv;
}

// The client's own conversation, opened again when the server dropped it.
HCONV ClientConversation()
{
    if (Connected(s_conv))
        return s_conv;
    if (s_conv)
        DdeDisconnect(s_conv);
    s_conv = Connect(g_idInst);
    return s_conv;
}

void EndConversation()
{
    if (s_conv)
        DdeDisconnect(s_conv);
    s_conv = NULL;
}

}  // namespace

bool SearchShellBounded()
{
    return FindShell(GetTickCount() + kShellSearchMs);
}

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
    g_nShellAccepted = 0;
    g_nProgramItems = 0;
    g_szNoShellReason[0] = '\0';
    s_gaveUp = false;
    s_searchDeadline = GetTickCount() + kShellSearchMs;
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
    ProgramItem item = {};
    item.add = true;
    // Both or neither: a replaced item must not just vanish.
    if (BuildDeleteItem(deleteItem, name) && BuildAddItem(addItem, item, name, folder, fileName, commandLine)) {
        if (g_bProgmanOpen)
            KeepItem(item);
        ProgmanExecute(g_idInst, deleteItem);
        ProgmanExecute(g_idInst, addItem);
    }
    return 1;
}

int DeleteProgramItem(const char *itemName, const char *folder, const char *fileName, const char *)
{
    char command[kCommandSize];
    ProgramItem item = {};
    if (BuildDeleteItem(command, ItemName(itemName, fileName))) {
        if (g_bProgmanOpen && CopyText(item.name, sizeof item.name, ItemName(itemName, fileName)) &&
            CopyText(item.folder, sizeof item.folder, Text(folder)))
            KeepItem(item);
        ProgmanExecute(g_idInst, command);
    }
    return 1;
}

int DeleteProgramGroup(const char *groupName)
{
    if (g_bProgmanOpen) {
        // A group the user named may hold other programs' items: keep it.
        if (groupName && lstrcmpiA(groupName, ZL_DEFAULT_GROUP) == 0)
            SendGroupCommand("DeleteGroup", groupName, "");
        EndConversation();
        DdeUninitialize(g_idInst);
    }
    g_bProgmanOpen = 0;
    return 1;
}

int CloseProgramGroup()
{
    if (g_bProgmanOpen) {
        EndConversation();
        DdeUninitialize(g_idInst);
    }
    g_bProgmanOpen = 0;
    return 1;
}

int ProgmanExecute(DWORD instance, const char *command)
{
    if (!g_bProgmanOpen)
        return 0;
    // Another instance than the client's own gets a conversation of its own.
    bool own = instance == g_idInst;
    HCONV conv = own ? ClientConversation() : Connect(instance);
    if (!conv)
        return 0;
    // The transaction takes a writable buffer; it does not change it.
    DWORD result = 0;
    BYTE *data = reinterpret_cast<BYTE *>(const_cast<char *>(command));
    HWND before = GetForegroundWindow();
    HDDEDATA done = DdeClientTransaction(data, DWORD(strlen(command) + 1), conv, NULL,
                                         CF_TEXT, XTYP_EXECUTE, kCommandWaitMs, &result);
    if (!done && DdeGetLastError(instance) == DMLERR_EXECACKTIMEOUT) {
        NoShell("the shell stopped answering");
        s_gaveUp = true;
    }
    if (!own)
        DdeDisconnect(conv);
    HWND after = GetForegroundWindow();
    if (s_watchTimer && after != before && after && after != GetDesktopWindow() && !OwnWindow(after))
        s_raisedWindow = after;
    TakeBackForeground();
    if (done)
        ++g_nShellAccepted;
    return done ? 1 : 0;
}
