#include "flow/driver.h"

#include <string.h>

#include "flow/choice_dialogs.h"
#include "flow/folder_prompts.h"
#include "install/sequence.h"
#include "registry/registry.h"
#include "removal/removal_driver.h"
#include "resource.h"
#include "shell/folders.h"
#include "shell/messages.h"
#include "shell/options.h"
#include "shell/paths.h"
#include "shell/progress.h"
#include "shell/sysdll.h"
#include "shell/window.h"

static const char kCaption[] = "ZELTRA Pro Installation";
static const int kDirSize = 512;
// Room left in a path for "\" and the longest installed name ("sitesarc.ini",
// "original.ini", a ".bak" twin): folders longer than this cannot hold the
// product. CreateDirectory itself stops at 248 characters.
static const size_t kMaxDestDir = MAX_PATH - 1 - 1 - 12;

static void ShowMessage(HWND owner, UINT id, const char *caption, UINT style)
{
    char text[2048];
    LoadMessage(id, text, sizeof text);
    MessageBoxA(owner, text, caption, style);
}

static void ShowFormatted(HWND owner, UINT id, const char *caption, UINT style, const char *insert, DWORD_PTR number)
{
    char templ[256], text[kFormatBufferSize];
    LoadMessage(id, templ, sizeof templ);
    FormatMessageText(text, templ, insert, number);
    MessageBoxA(owner, text, caption, style);
}

// The drive of the system folder ("C:"), or of the Windows folder when the
// system folder has none (a network path), or C: as the last resort.
static void SystemDrive(char drive[3])
{
    char folder[MAX_PATH];
    UINT n = GetSystemDirectoryA(folder, sizeof folder);
    if (!(n >= 2 && n < sizeof folder && folder[1] == ':')) {
        n = GetWindowsDirectoryA(folder, sizeof folder);
        if (!(n >= 2 && n < sizeof folder && folder[1] == ':'))
            CopyText(folder, sizeof folder, "C:");
    }
    drive[0] = folder[0];
    drive[1] = ':';
    drive[2] = '\0';
}

static bool DestinationTooLong(const char *dest)
{
    return strlen(dest) > kMaxDestDir;
}

// "X:\..." or "\\server\...": the same folder whatever the current one is.
static bool FullyQualified(const char *dest)
{
    bool drive = ((dest[0] | 0x20) >= 'a' && (dest[0] | 0x20) <= 'z') && dest[1] == ':' &&
                 (dest[2] == '\\' || dest[2] == '/');
    return drive || (dest[0] == '\\' && dest[1] == '\\');
}

// The product's folder in Program Files as Windows names it ("C:\Programme"
// on a German Windows 95, "C:\Program Files (x86)" for a 32-bit program on
// 64-bit Windows), where the system records it. A value that names no full
// folder, or leaves no room for the product's files, is passed over.
static bool ProgramFilesDestination(char *dest)
{
    char folder[kDirSize];
    if (!ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                            NULL, folder, sizeof folder) ||
        !FullyQualified(folder))
        return false;
    StripOneTrailingSeparator(folder);
    return FormatText(dest, kDirSize, "%s\\ZELTRA Pro", folder) && !DestinationTooLong(dest);
}

// Program Files on Windows 95, NT 4 and later (the systems that record its
// name), \WIN32APP on Windows NT 3.x, \ZELTRA with Win32s.
static void DefaultFolder(char *dest)
{
    DWORD platform, major;
    bool known = WindowsVersion(&platform, &major);
    const char *folder = "\\ZELTRA";
    if (known && platform != VER_PLATFORM_WIN32s && major >= 4) {
        if (ProgramFilesDestination(dest))
            return;
        folder = "\\Program Files\\ZELTRA Pro";
    } else if (known && platform == VER_PLATFORM_WIN32_NT) {
        folder = "\\WIN32APP\\ZELTRA";
    }
    char drive[3];
    SystemDrive(drive);
    FormatText(dest, kDirSize, "%s%s", drive, folder);
}

// The default destination, then /dir or DIR32 of install.ini, then a
// recorded DIR.
static void DefaultDestination(char *dest)
{
    DefaultFolder(dest);

    char value[kDirSize];
    ReadPlacementOption("DIR32", dest, value, sizeof value);
    if (strcmp(value, dest) != 0)
        CopyText(dest, kDirSize, value);
    char recorded[256];
    GetProfileStringA("ZELTRA", "DIR", dest, recorded, sizeof recorded);
    if (recorded[0])
        CopyText(dest, kDirSize, recorded);
}

// A relative folder ("zeltra", "..\x", "C:x") would be recorded as such and
// later read against another current folder, by removal too: it is made
// full against the work folder first.
static void MakeFullPath(char *dest)
{
    if (!dest[0] || FullyQualified(dest))
        return;
    char full[kDirSize];
    DWORD n = GetFullPathNameA(dest, sizeof full, full, NULL);
    if (n > 0 && n < sizeof full)
        CopyText(dest, kDirSize, full);
}

// dest in the form ComparableFolder gives, also for a folder that does not
// exist yet and so has no short form: its nearest existing parent gives its
// own, and the names below that follow as written. Any spelling of the work
// folder (long, short, with a device prefix) then compares equal.
static bool ComparableDestination(const char *dest, char *dst, size_t size)
{
    char full[kDirSize], head[kDirSize];
    if (!ComparableFolder(dest, full, sizeof full) || !CopyText(head, sizeof head, full))
        return false;
    // "C:" alone would be the drive's current folder: a root keeps its "\".
    size_t rest = strlen(full);
    if (rest == 2 && full[1] == ':')
        AppendText(head, sizeof head, "\\");
    while (GetFileAttributesA(head) == INVALID_FILE_ATTRIBUTES) {
        char *separator = LastSeparator(head, false);
        size_t at = separator ? size_t(separator - head) : 0;
        if (at < 2 || !separator[1])
            return CopyText(dst, size, full);
        rest = at;
        separator[at == 2 && head[1] == ':' ? 1 : 0] = '\0';
    }
    return ComparableFolder(head, dst, size) && AppendText(dst, size, full + rest);
}

// True when dest is the work folder or lies inside it, by whole folder
// names: C:\TEMP holds c:\temp\zeltra, but not C:\TEMP2 or C:\TEMPFILES.
// One rule for both modes. A drive's root as the work folder (TEMP=C:\ is
// common on old systems) refuses only itself, not the whole drive.
static bool InsideWorkFolder(const char *source, const char *dest)
{
    char work[kDirSize], folder[kDirSize];
    if (!source[0] || !ComparableFolder(source, work, sizeof work) ||
        !ComparableDestination(dest, folder, sizeof folder))
        return false;
    size_t n = strlen(work);
    bool root = n == 2 && work[1] == ':';
    // Equal as far as the work folder goes, character by character: what
    // follows in dest starts a character of its own.
    return SamePrefixIgnoringCase(work, folder, n) && (folder[n] == '\0' || (folder[n] == '\\' && !root));
}

static bool SettleQuietDestination(const char *source, char *dest)
{
    MakeFullPath(dest);
    if (InsideWorkFolder(source, dest)) {
        LogFormat("SourceDir=DestDir \"%s\"", source);
        return false;
    }
    if (DestinationTooLong(dest) || !CreateFolderTree(dest)) {
        LogFormat("Failed to create DestDir \"%s\"", dest);
        return false;
    }
    return true;
}

// Asks until a folder is accepted and exists. False when the user cancels.
static bool SettleInteractiveDestination(HWND window, const char *source, char *dest, const char *prompt)
{
    for (;;) {
        if (!PromptForFolder(window, g_hInstance, prompt, dest, dest))
            return false;
        MakeFullPath(dest);
        if (InsideWorkFolder(source, dest)) {
            ShowMessage(window, MSG_DEST_IS_SOURCE, kCaption, MB_ICONERROR);
            continue;
        }
        if (DestinationTooLong(dest)) {
            ShowFormatted(window, MSG_DEST_TOO_LONG, kCaption, MB_ICONERROR, dest, 0);
            continue;
        }
        if (CreateFolderTree(dest))
            return true;
        ShowFormatted(window, MSG_CREATION_FAILED, kCaption, MB_ICONERROR, dest, 0);
    }
}

static int ComposeMask(int chosen)
{
    int mask = chosen & (kComponentClassic | kComponentExplorer | kComponentBrowser);
    if (gbInstallBonusPack)
        mask |= kComponentUtilities;
    if (g_bSilent)
        mask |= kComponentQuiet;
    return mask;
}

// The product INI's anonymous-login address: the old fallback becomes the
// current placeholder.
static void FixAnonymousLogin(const char *dest)
{
    char ini[kDirSize + 16], address[128];
    if (!FormatText(ini, sizeof ini, "%s\\%s", dest, "zeltra.ini"))
        return;
    GetPrivateProfileStringA("_config_", "MAILADDR", "qrvnx60@", address, sizeof address, ini);
    if (SamePrefixIgnoringCase(address, "caller@absent", 13))
        CopyText(address, sizeof address, "qrvnx65@");
    if (lstrcmpiA(address, "qrvnx65@") == 0)
        WritePrivateProfileStringA("_config_", "MAILADDR", address, ini);
}

// The closing messages come after the group commands, whose folder window
// may hold the foreground: they take it.
static void ReportFailure(HWND window, const char *errorText)
{
    // Built in a buffer large enough for the whole error text.
    char text[256 + 2 + 512];
    LoadMessage(MSG_INSTALL_FAILED, text, 256);
    if (errorText[0]) {
        AppendText(text, sizeof text, "\r\n");
        AppendText(text, sizeof text, errorText);
    }
    if (!g_bSilent)
        MessageBoxA(window, text, NULL, MB_OK | MB_SETFOREGROUND);
    else
        LogLine(text);
}

static void ReportSuccess(HWND window)
{
    char text[2048], caption[256];
    LoadMessage(MSG_CONGRATULATIONS, caption, sizeof caption);
    if (g_bRebootNeeded && (g_bSilent || g_bNoRestart)) {
        // Not asked: restarted only where allowed. /norestart still says
        // it is done; the exit code says a restart is due.
        if (!g_bAllowReboot)
            g_bRebootNeeded = 0;
        if (g_bSilent)
            return;
    } else if (g_bRebootNeeded) {
        LoadMessage(MSG_RESTART_AFTER_INSTALL, text, sizeof text);
        if (MessageBoxA(window, text, caption, MB_SYSTEMMODAL | MB_OKCANCEL | MB_SETFOREGROUND) != IDOK)
            g_bRebootNeeded = 0;
        return;
    }
    LoadMessage(MSG_INSTALL_SUCCESS, text, sizeof text);
    if (!g_bSilent)
        MessageBoxA(window, text, caption, MB_OK | MB_SETFOREGROUND);
}

int RunSetup(HWND window, int offered, int allowed)
{
    g_nExitCode = kExitOk;
    if (!g_bSilent) {
        int choice = AskInstallOrRemove(window, g_hInstance);
        if (choice == 0) {
            g_nExitCode = kExitCancelled;
            return 0;
        }
        if (choice == 2)
            return RunRemoval(window, offered, allowed);
    }

    char source[kDirSize];
    DWORD n = GetCurrentDirectoryA(sizeof source, source);
    if (n == 0 || n >= sizeof source)
        source[0] = '\0';
    if (source[0] && !EndsWithSeparator(source, false))
        AppendText(source, sizeof source, "\\");
    PumpMessages();

    char dest[kDirSize];
    DefaultDestination(dest);
    CopyText(g_szLocateFileName, sizeof g_szLocateFileName, "a");
    char prompt[256];
    LoadMessage(MSG_ENTER_DESTINATION, prompt, sizeof prompt);

    if (g_bSilent) {
        if (!SettleQuietDestination(source, dest)) {
            g_nExitCode = kExitFailed;
            return 0;
        }
    } else if (!SettleInteractiveDestination(window, source, dest, prompt)) {
        ShowMessage(window, MSG_NO_DESTINATION, kCaption, MB_ICONERROR);
        g_nExitCode = kExitCancelled;
        return 0;
    }
    PumpMessages();

    int chosen = offered;
    if (g_bSilent)
        LogFormat("nV=%d nM=%d", offered, allowed);
    else
        chosen = ChooseComponents(window, g_hInstance, offered, allowed);
    if (chosen == 0 && gbInstallBonusPack == 0) {
        g_bRebootNeeded = 0;
        g_nExitCode = kExitCancelled;
        return 0;
    }

    char errorText[512];
    memset(errorText, 0, sizeof errorText);
    g_hwndStatus = g_bSilent ? NULL : CreateDialogParamA(g_hInstance, "DLG_COPY", window, StatusDlgProc, 0);
    HWND statusText = g_hwndStatus ? GetDlgItem(g_hwndStatus, IDC_STATUS_TEXT) : NULL;

    DWORD flags = 0;
    g_bRebootNeeded = g_bRestartRequired = 0;
    int result = RunInstallSequence(source, dest, DWORD(ComposeMask(chosen)), &flags,
                                    window, statusText, errorText);

    SetActiveWindow(window);
    if (g_hwndStatus)
        DestroyWindow(g_hwndStatus);
    g_hwndStatus = NULL;

    if (result == 0) {
        ReportFailure(window, errorText);
        g_bRebootNeeded = 0;
        g_nExitCode = g_bCancel ? kExitCancelled : kExitFailed;
        return 0;
    }
    if (flags & kResultExplorerRegistered)
        g_bRebootNeeded = g_bRestartRequired = 1;
    FixAnonymousLogin(dest);
    WriteProfileStringA("ZELTRA", "DEFDIR", dest);
    WriteProfileStringA("ZELTRA", "INSTOPTS", "12");
    WriteProfileStringA("ZELTRA", "PRO", "20000518");
    // Done, but until the restart the product is not all there; a restart
    // this program starts says so itself (the main window's code).
    if (g_bRestartRequired || g_bRebootNeeded)
        g_nExitCode = kExitRestartNeeded;
    ReportSuccess(window);
    return result;
}
