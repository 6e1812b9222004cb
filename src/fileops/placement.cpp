#include "fileops/placement.h"

#include <string.h>

#include "fileops/extract.h"
#include "registry/registry.h"
#include "resource.h"
#include "shell/messages.h"
#include "shell/options.h"
#include "shell/paths.h"
#include "shell/sysdll.h"
#include "shell/window.h"

static const char kRunOnceParent[] = "Software\\Microsoft\\Windows\\CurrentVersion";
static const char kMakerWord[] = "Marlquin";
static const int kMaxRunOnceNumber = 999;   // the value name holds at most three digits

// Where the replacement extension goes: the first ".dll" (else ".exe") of
// the file name part. A folder named like a program must not count, or the
// backup would land outside the folder.
static char *ProgramExtension(char *path)
{
    char *name = path;
    for (char *p = path; *p; p += NextCharacter(p) - p)
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    char *ext = strstr(name, ".dll");
    return ext ? ext : strstr(name, ".exe");
}

static bool FileExists(const char *path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// The restart is asked for unless the run is quiet without ALLOWRBT.
static void RequestRestart()
{
    g_bRestartRequired = 1;
    if (!g_bSilent || g_bAllowReboot)
        g_bRebootNeeded = 1;
}

bool AlternativePath(char *alt, size_t size, const char *target, const char *newExtension)
{
    if (!CopyText(alt, size, target))
        return false;
    char *ext = ProgramExtension(alt);
    if (!ext)
        return false;
    *ext = '\0';
    return AppendText(alt, size, newExtension);
}

// NT: move the file in use aside as ".bak" and expand in its place.
// 1 placed; 0 moved but not placed (the old file is put back); -1 not moved.
static int ReplaceByRename(const char *workPath, const char *target)
{
    char alt[260];
    if (!AlternativePath(alt, sizeof alt, target, ".bak"))
        return -1;
    DeleteFileA(alt);
    if (!MoveFileA(target, alt) && !MoveFileA(target, alt))
        return -1;
    if (ExpandExactFile(workPath, target))
        return 1;
    // Without this the installed program would be gone altogether.
    DeleteFileA(target);
    MoveFileA(alt, target);
    return 0;
}

bool QuoteCommandPath(char *dst, size_t size, const char *path)
{
    // Quoted, "&", "|", "<", ">", "^" and blanks are plain text to the
    // interpreter; "%" is expanded even there, and a quote would end them.
    if (strpbrk(path, "%\"")) {
        if (size)
            dst[0] = '\0';
        return false;
    }
    return FormatText(dst, size, "\"%s\"", path);
}

bool CommandPathOf(const char *path, char *dst, size_t size)
{
    // A volume without 8.3 names gives the long path back unchanged, blanks
    // and all; a path cut short would name another file. A path refused as
    // written stays refused whatever its short form.
    char shortPath[MAX_PATH];
    DWORD n = strpbrk(path, "%\"") ? 0 : ShortPathName(path, shortPath, sizeof shortPath);
    return QuoteCommandPath(dst, size, n > 0 && n < sizeof shortPath ? shortPath : path);
}

// Win32s keeps no run-once commands; the log says which one is left out.
static bool NoRunOnceCommands(const char *commandLine)
{
    char step[600];
    FormatText(step, sizeof step, "Run-once command \"%s\"", commandLine);
    return SkippedWithoutMachineKeys(step);
}

// The run-once copy of alt over target. The command.com of Windows 95/98
// (MS-DOS 7) asks before COPY overwrites a file, outside a batch file,
// unless given /Y; nobody would see that question at start-up. NT's
// command.com (MS-DOS 5.0) knows no /Y.
static bool RunOnceCopyCommand(char *command, size_t size, const char *alt, const char *target)
{
    char quotedAlt[262], quotedTarget[262];
    return CommandPathOf(alt, quotedAlt, sizeof quotedAlt) &&
           CommandPathOf(target, quotedTarget, sizeof quotedTarget) &&
           FormatText(command, size, "command.com /c copy%s %s %s", g_bWinNT ? "" : " /Y",
                      quotedAlt, quotedTarget);
}

// Windows 95/98 (and NT when the move failed): expand beside the target as
// ".new" and copy it over the target at the next start. Checked first, so
// that nothing is left behind: paths the command cannot carry, and Win32s,
// which keeps no run-once commands. A failure leaves the error of the step
// that failed, or else cause, the error of the copy itself.
static bool ReplaceAtNextStart(const char *workPath, const char *target, DWORD cause)
{
    char alt[260], command[768];
    if (!AlternativePath(alt, sizeof alt, target, ".new") ||
        !RunOnceCopyCommand(command, sizeof command, alt, target) || NoRunOnceCommands(command)) {
        SetLastError(cause);
        return false;
    }
    DeleteFileA(alt);
    // The ".new" names itself by its short form once it exists.
    bool stored = ExpandExactFile(workPath, alt) && RunOnceCopyCommand(command, sizeof command, alt, target) &&
                  AddRunOnceCommand(command);
    if (!stored) {
        DWORD error = GetLastError();
        DeleteFileA(alt);
        SetLastError(error ? error : cause);
    }
    return stored;
}

// Deletes the work file, keeping the error code of the step that failed
// for the failure message.
static void DeleteWorkFile(const char *workPath)
{
    DWORD error = GetLastError();
    DeleteFileA(workPath);
    SetLastError(error);
}

// One attempt: extract, expand, and for a program or library in use the
// replacement route. True when the file is placed or scheduled.
static bool TryPlace(const char *workFolder, const char *fileName, const char *destFolder,
                     int payloadIndex)
{
    char target[260], workPath[261];
    if (!JoinUnlessSeparator(target, sizeof target, destFolder, fileName))
        return false;
    if (!CopyText(workPath, sizeof workPath, workFolder) ||
        !AppendText(workPath, sizeof workPath, g_szTempName))
        return false;

    PumpMessages();
    if (!ExtractPayload(g_hInstance, payloadIndex, workFolder, g_szTempName))
        return false;
    // Exactly the file just extracted and checked: a "_" twin of the work
    // file in the temporary folder may have been put there by anyone.
    if (ExpandExactFile(workPath, target)) {
        DeleteFileA(workPath);
        return true;
    }
    DWORD error = GetLastError();
    PumpMessages();
    SetLastError(error);

    char probe[260];
    CopyText(probe, sizeof probe, target);
    if (!ProgramExtension(probe) || !FileExists(target)) {
        DeleteWorkFile(workPath);
        return false;
    }
    if (g_bWinNT) {
        int renamed = ReplaceByRename(workPath, target);
        if (renamed >= 0) {
            if (renamed)
                RequestRestart();
            DeleteWorkFile(workPath);
            return renamed == 1;
        }
    }
    bool scheduled = ReplaceAtNextStart(workPath, target, error);
    if (scheduled)
        RequestRestart();
    DeleteWorkFile(workPath);
    return scheduled;
}

// The failure question; true for Retry.
static bool AskRetry(const char *fileName, const char *destFolder, HWND owner)
{
    DWORD error = GetLastError();
    char templ[256], caption[256], text[kFormatBufferSize];
    LoadMessage(MSG_COPY_FAILED, templ, sizeof templ);
    FormatMessageText(text, templ, fileName, destFolder, (DWORD_PTR)error);
    if (g_bSilent) {
        LogLine(text);
        return false;
    }
    LoadMessage(MSG_INSTALL_CAPTION, caption, sizeof caption);
    return MessageBoxA(owner, text, caption, MB_RETRYCANCEL | MB_ICONSTOP) == IDRETRY;
}

int PlaceFile(const char *workFolder, const char *fileName, const char *destFolder,
              HWND owner, HWND status, int payloadIndex, int askOnFailure)
{
    char templ[256], text[kFormatBufferSize];
    LoadMessage(MSG_COPYING, templ, sizeof templ);
    FormatMessageText(text, templ, workFolder, fileName, destFolder, fileName);
    if (g_bSilent)
        LogLine(text);
    else if (status)
        SetWindowTextA(status, text);

    for (;;) {
        if (TryPlace(workFolder, fileName, destFolder, payloadIndex))
            return 0;
        if (!askOnFailure || !AskRetry(fileName, destFolder, owner))
            return 1;
    }
}

// Opens (creating when needed) the run-once sub-key for this platform.
static HKEY OpenRunOnceKey(HKEY parent)
{
    const char *name = g_bWinNT ? "RunOnce" : "RunServicesOnce";
    HKEY key;
    if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS)
        return key;
    HKEY created;
    if (RegCreateKeyA(parent, name, &created) != ERROR_SUCCESS)
        return NULL;
    RegCloseKey(created);
    if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS)
        return key;
    return NULL;
}

int AddRunOnceCommand(const char *commandLine)
{
    if (NoRunOnceCommands(commandLine))
        return 0;
    HKEY parent;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnceParent, 0, KEY_ALL_ACCESS, &parent) != ERROR_SUCCESS)
        return 0;
    int result = 0;
    HKEY key = OpenRunOnceKey(parent);
    if (key) {
        for (int n = 0; n <= kMaxRunOnceNumber; ++n) {
            char name[16];
            FormatText(name, sizeof name, "%s%d", kMakerWord, n);
            if (RegQueryValueExA(key, name, NULL, NULL, NULL, NULL) == ERROR_SUCCESS)
                continue;
            // Run-once data is stored without its terminating zero.
            result = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(commandLine),
                                    (DWORD)strlen(commandLine)) == ERROR_SUCCESS;
            break;
        }
        RegCloseKey(key);
    }
    RegCloseKey(parent);
    return result;
}
