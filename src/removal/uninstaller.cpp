#include "removal/uninstaller.h"

#include <string.h>

#include "removal/removal_driver.h"
#include "removal/removal_worker.h"
#include "removal/uninstaller_copy.h"
#include "resource.h"
#include "shell/catalogue.h"
#include "shell/folders.h"
#include "shell/messages.h"
#include "shell/options.h"
#include "shell/paths.h"
#include "shell/sysdll.h"
#include "shell/window.h"
#include "shell/workfolder.h"

namespace {

const int kPathSize = 512;
const char kSection[] = "ZELTRA";
// Setup's sweep of stale copies holds the mutex for a moment.
const DWORD kClaimWaitMs = 500;
const int kDeleteTries = 40;
const DWORD kDeleteWaitMs = 250;

// Set when the copy did the work: it logs the outcome itself.
bool s_handedOver = false;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

const char *SkipBlanks(const char *p)
{
    while (IsBlank(*p))
        ++p;
    return p;
}

const char *WordEnd(const char *p) { return p + strcspn(p, " \t"); }

// "-name" or "/name" in any case, as a word of its own.
bool IsSwitch(const char *p, const char *name)
{
    size_t n = strlen(name);
    return (*p == '-' || *p == '/') && SamePrefixIgnoringCase(p + 1, name, n) && (!p[1 + n] || IsBlank(p[1 + n]));
}

bool IsFolderSwitch(const char *p) { return IsSwitch(p, "f") || IsSwitch(p, "d") || IsSwitch(p, "g"); }

// Where the next " -<letter> " of letters begins in text, or its end.
const char *NextSwitch(const char *text, const char *letters)
{
    for (const char *p = text; *p; ++p)
        if (IsBlank(*p) && p[1] == '-' && p[2] && strchr(letters, p[2] | 0x20) && (!p[3] || IsBlank(p[3])))
            return p;
    return text + strlen(text);
}

// text[0, length) without blanks around it and one pair of quotes.
bool TakeValue(char *dst, size_t size, const char *text, size_t length)
{
    while (length && IsBlank(*text))
        ++text, --length;
    while (length && IsBlank(text[length - 1]))
        --length;
    if (length >= 2 && text[0] == '"' && text[length - 1] == '"')
        ++text, length -= 2;
    if (length >= size)
        return false;
    memcpy(dst, text, length);
    dst[length] = '\0';
    return true;
}

bool ReadNumber(const char **p, unsigned long *value)
{
    const char *q = SkipBlanks(*p);
    if (*q < '0' || *q > '9')
        return false;
    for (*value = 0; *q >= '0' && *q <= '9' && *value < 0x19999999UL; ++q)
        *value = *value * 10 + static_cast<unsigned long>(*q - '0');
    *p = q;
    return !*q || IsBlank(*q);
}

// "-copyof <pipe> <process id> "<path>"".
bool ReadCopyLink(const char **p, UninstallOptions *o)
{
    const char *q = *p + 7;
    if (!ReadNumber(&q, &o->resultPipe) || !ReadNumber(&q, &o->originalId))
        return false;
    q = SkipBlanks(q);
    const char *end = *q == '"' ? strchr(q + 1, '"') : NULL;
    if (!end || !TakeValue(o->original, sizeof o->original, q, size_t(end + 1 - q)))
        return false;
    o->isCopy = true;
    *p = end + 1;
    return true;
}

// "-f <A> -d <B> -g <G>". The entry writes one folder after both -f and -d:
// the split where the two agree is the one meant, whatever blanks or
// dashes the folder's name holds.
bool ReadFolderOptions(const char *p, UninstallOptions *o)
{
    if (IsSwitch(p, "f")) {
        const char *a = SkipBlanks(p + 2);
        const char *end = NextSwitch(a, "dg"), *next = end;
        for (const char *d = NextSwitch(a, "d"); *d; d = NextSwitch(d + 1, "d")) {
            size_t length = size_t(d - a);
            const char *b = SkipBlanks(d + 3);
            if (strncmp(b, a, length) == 0 && (!b[length] || NextSwitch(b + length, "g") == b + length)) {
                end = d;
                next = b + length;   // past -d and its value
                break;
            }
        }
        if (!TakeValue(o->folder, sizeof o->folder, a, size_t(end - a)))
            return false;
        p = SkipBlanks(next);
    }
    if (IsSwitch(p, "d")) {
        const char *b = SkipBlanks(p + 2);
        const char *end = NextSwitch(b, "g");
        if (!o->folder[0] && !TakeValue(o->folder, sizeof o->folder, b, size_t(end - b)))
            return false;
        p = SkipBlanks(end);
    }
    if (IsSwitch(p, "g"))
        return TakeValue(o->group, sizeof o->group, p + 2, strlen(p + 2));
    return true;
}

// folder names the same place as path's folder.
bool SameFolder(const char *folder, const char *path)
{
    char parent[kPathSize];
    if (!CopyText(parent, sizeof parent, path))
        return false;
    char *slash = LastSeparator(parent, false);
    if (!slash)
        return false;
    *slash = '\0';
    return SamePath(folder, parent);
}

// What every installation holds: the classic client's required files,
// which Setup places whatever was chosen, and the uninstaller.
bool HoldsInstallation(const char *folder)
{
    char path[kPathSize];
    if (!JoinUnlessBackslash(path, sizeof path, folder, UninstallerName()) || !IsExistingFile(path))
        return false;
    for (int i = 0; i < g_basePrimaryList.count; ++i) {
        const PayloadEntry &row = g_basePrimaryList.rows[i];
        if (row.requiredFlag && (!JoinUnlessBackslash(path, sizeof path, folder, row.targetName) || !IsExistingFile(path)))
            return false;
    }
    return true;
}

// The product's installation: a folder the records name (win.ini [ZELTRA]
// DIR, the uninstall entry's location); with no record at all, one that
// holds an installation. A stray copy of the uninstaller among the user's
// files, or a crafted "-f C:\Windows", is neither.
bool IsProductFolder(const char *folder)
{
    char dir[kPathSize] = "", location[kPathSize] = "";
    GetProfileStringA(kSection, "DIR", "", dir, sizeof dir);
    EntryInstallLocation(location, sizeof location);
    if (!dir[0] && !location[0])
        return HoldsInstallation(folder);
    return (dir[0] && SamePath(dir, folder)) || (location[0] && SamePath(location, folder));
}

// The folder to remove: the one named, the recorded one, or the one the
// uninstaller (the original, for the copy) lies in.
bool FindInstallation(const UninstallOptions &o, char *folder, size_t size)
{
    if (o.folder[0])
        CopyText(folder, size, o.folder);
    else if (!RecordedInstallation(folder, size)) {
        char self[kPathSize];
        DWORD n = GetModuleFileNameA(NULL, self, sizeof self);
        if (!CopyText(folder, size, o.isCopy ? o.original : (n > 0 && n < sizeof self ? self : "")))
            return false;
        char *slash = LastSeparator(folder, false);
        if (!slash)
            return false;
        *slash = '\0';
    }
    return folder[0] && IsProductFolder(folder);
}

bool ConfirmRemoval()
{
    char text[512], caption[256];
    LoadMessage(MSG_CONFIRM_REMOVAL, text, sizeof text);
    LoadMessage(MSG_REMOVE_CAPTION, caption, sizeof caption);
    return MessageBoxA(NULL, text, caption, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
}

// The original's file, once the original has ended; its image may stay
// locked a moment longer. What will not go is left for the next start.
void DeleteOriginal(const char *path, const char *folder)
{
    for (int i = 0; i < kDeleteTries; ++i) {
        if (DeleteFileA(path) || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
            return;
        Sleep(kDeleteWaitMs);
    }
    LogFormat("%s is still in use: it goes at the next start.", path);
    if (!DeleteInstalledFile(path, NULL) && !FolderIsShared(folder))
        ScheduleFolderRemoval(folder);
}

// A second uninstaller, while one runs.
void ReportAlreadyRunning()
{
    char text[256], caption[256];
    LoadMessage(MSG_REMOVAL_RUNNING, text, sizeof text);
    if (g_bSilent) {
        LogLine(text);
        return;
    }
    LoadMessage(MSG_REMOVE_CAPTION, caption, sizeof caption);
    MessageBoxA(NULL, text, caption, MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}

const char *GroupOf(const UninstallOptions &o) { return o.group[0] ? o.group : NULL; }

// The uninstaller started from the system's list or the group: asks, then
// lets a copy in the temporary folder do the work when it lies in the
// folder it removes.
int RunOriginal(const UninstallOptions &o, const char *folder, const char *commandLine, const char *workFolder)
{
    if (!g_bSilent && !ConfirmRemoval())
        return kExitCancelled;
    char self[kPathSize], own[kPathSize];
    DWORD n = GetModuleFileNameA(NULL, self, sizeof self);
    bool inFolder = n > 0 && n < sizeof self && SameFolder(folder, self) &&
                    JoinUnlessBackslash(own, sizeof own, folder, UninstallerName());
    int code;
    if (workFolder && inFolder && !RunningOnWin32s()) {
        CopyOutcome outcome = RunFromTemporaryCopy(workFolder, commandLine, &code);
        s_handedOver = outcome == kCopyHandedBack;
        if (outcome != kCopyNotStarted)
            return code;
    }
    // In place: its own file is in use, renamed and deleted at the next
    // start; under Win32s, which cannot, it stays and is no failure.
    code = RemoveProduct(NULL, folder, GroupOf(o), inFolder && RunningOnWin32s() ? own : NULL);
    if (g_bRebootNeeded && !g_bSilent)
        code = RestartWindows() ? kExitRestartStarted : kExitRestartNeeded;
    return code;
}

// The copy: removes, restarts when asked, and hands the outcome to the
// original only once nothing but the original's own file is left to do:
// that goes as soon as the original has ended. Its outcome is known before
// then, as 3010 where anything else holds the file.
int RunCopy(const UninstallOptions &o, const char *folder, CopyLink *link)
{
    char running[kPathSize];
    const char *original = NULL;
    // Only the folder's own uninstaller is deleted in the original's name.
    if (JoinUnlessBackslash(running, sizeof running, folder, UninstallerName()) && SamePath(running, o.original))
        original = running;
    int code = RemoveProduct(NULL, folder, GroupOf(o), original);
    bool restart = g_bRebootNeeded && !g_bSilent;
    if (restart) {
        // The original still runs: its file goes with the restart.
        if (original)
            DeleteInstalledFile(original, NULL);
        code = RestartWindows() ? kExitRestartStarted : kExitRestartNeeded;
        if (code == kExitRestartNeeded)
            LogLine("Windows did not restart.");
    } else if (original && code == kExitOk && !NothingElseHolds(original)) {
        code = kExitRestartNeeded;
    }
    ReleaseOriginal(link, code);
    if (original && !restart)
        DeleteOriginal(original, folder);
    if (!FolderIsShared(folder))
        RemoveDirectoryA(folder);
    return code;
}

}  // namespace

bool ParseUninstallOptions(const char *line, UninstallOptions *o)
{
    memset(o, 0, sizeof *o);
    const char *p = SkipBlanks(line);
    // Switches before the folder options; ones it does not know are passed over.
    while ((*p == '-' || *p == '/') && !IsFolderSwitch(p)) {
        if (IsSwitch(p, "q") || IsSwitch(p, "s"))
            o->quiet = true;
        else if (IsSwitch(p, "copyof") && !ReadCopyLink(&p, o))
            return false;
        p = SkipBlanks(WordEnd(p));
    }
    return ReadFolderOptions(p, o);
}

int RunUninstaller(HINSTANCE instance, const char *commandLine)
{
    // Before anything can load a DLL: the copy runs from a folder anyone may write to.
    RestrictDllSearch();
    g_hInstance = instance;
    UninstallOptions options;
    bool usable = ParseUninstallOptions(commandLine, &options);
    g_bSilent = options.quiet;
    g_bLogging = options.quiet;
    g_bAllowReboot = 0;
    DetectPlatform();
    LoadDescriptions();

    // The work folder, for the log and the copy, as Setup's; but never the
    // program's own folder, which is the one being removed.
    char work[MAX_PATH];
    WorkFolderSource source = kWorkFolderTemp;
    bool workUsable = GetWorkFolder(work, sizeof work, &source) && source != kWorkFolderProgram &&
                      SetCurrentDirectoryA(work);
    // The copy keeps its original's claim alive until it has finished.
    bool busy = false;
    HANDLE claim = options.isCopy ? KeepUninstallerClaim() : ClaimUninstaller(kClaimWaitMs, &busy);
    if (busy) {
        ReportAlreadyRunning();
        LogFormat("Exit code %d", kExitAlreadyRunning);
        return kExitAlreadyRunning;
    }
    if (workUsable && !options.isCopy)
        SweepUninstallerCopies(work, true);

    CopyLink link = {NULL, NULL, ""};
    if (options.isCopy) {
        link.resultPipe = HANDLE(UINT_PTR(options.resultPipe));
        OpenOriginal(&link, DWORD(options.originalId));
    }
    char folder[kPathSize] = "";
    int code;
    if (!usable || !FindInstallation(options, folder, sizeof folder)) {
        LogFormat("No installation of the product to remove in \"%s\".", folder);
        ReportNoInstallation(NULL);
        code = kExitFailed;
        if (options.isCopy)
            ReleaseOriginal(&link, code);
    } else if (options.isCopy) {
        code = RunCopy(options, folder, &link);
    } else {
        code = RunOriginal(options, folder, commandLine, workUsable ? work : NULL);
    }
    if (options.isCopy)
        ScheduleOwnDeletion(workUsable ? work : NULL);
    // The process that ends last says how it ended.
    if (!s_handedOver)
        LogFormat("Exit code %d", code);
    if (claim)
        CloseHandle(claim);
    return code;
}
