#include "removal/removal_driver.h"

#include "fileops/placement.h"
#include "removal/removal_worker.h"
#include "resource.h"
#include "shell/folders.h"
#include "shell/messages.h"
#include "shell/options.h"
#include "shell/paths.h"
#include "shell/progress.h"
#include "shell/window.h"

namespace {

const char kSection[] = "ZELTRA";
const char kRemovalTitle[] = "Removal process";
const int kAllComponents = kComponentClassic | kComponentExplorer | kComponentUtilities | kComponentBrowser;

// Message boxes of the removal; a quiet run only logs the text. They come
// after the group commands, whose folder window may hold the foreground.
int ShowMessage(HWND owner, const char *text, const char *caption, UINT type)
{
    if (g_bSilent) {
        LogLine(text);
        return IDOK;
    }
    return MessageBoxA(owner, text, caption, type | MB_SETFOREGROUND);
}

// The status dialog without Cancel: removal cannot be stopped half-way.
HWND OpenStatusDialog(HWND owner)
{
    HWND dialog = CreateDialogParamA(g_hInstance, "DLG_COPY", owner, StatusDlgProc, 0);
    if (!dialog)
        return NULL;
    char title[256];
    if (LoadStringA(g_hInstance, MSG_REMOVAL_TITLE, title, sizeof title) <= 0)
        CopyText(title, sizeof title, kRemovalTitle);
    SetWindowTextA(dialog, title);
    HWND cancel = GetDlgItem(dialog, IDCANCEL);
    EnableWindow(cancel, FALSE);
    ShowWindow(cancel, SW_HIDE);
    ShowWindow(dialog, SW_SHOWNORMAL);
    UpdateWindow(dialog);
    return dialog;
}

void ReportOutcome(HWND owner, int outcome, const char *folder, const char *caption)
{
    char text[256];
    if (outcome == 0) {
        LoadMessage(MSG_REMOVAL_COMPLETE, text, sizeof text);
        ShowMessage(owner, text, caption, MB_OK | MB_ICONINFORMATION);
        return;
    }
    LoadMessage(MSG_REMOVAL_LEFTOVERS, text, sizeof text);
    char message[1024];
    FillTextTemplate(message, sizeof message, text, folder);
    ShowMessage(owner, message, caption, MB_OK | MB_ICONINFORMATION);
}

// True for Yes; a quiet run answers Yes and restarts only when allowed.
bool AskRestart(HWND owner)
{
    char text[512];
    char caption[256];
    LoadMessage(MSG_RESTART_AFTER_REMOVAL, text, sizeof text);
    LoadMessage(MSG_CONGRATULATIONS, caption, sizeof caption);
    return ShowMessage(owner, text, caption, MB_OKCANCEL | MB_SYSTEMMODAL) != IDCANCEL;
}

}  // namespace

// What is in use goes at the next start; so does the folder.
void ScheduleFolderRemoval(const char *folder)
{
    char shortPath[261];
    char command[512];
    if (CommandPathOf(folder, shortPath, sizeof shortPath) &&
        FormatText(command, sizeof command, "%s /c rmdir %s ", g_bWinNT ? "cmd.exe" : "command.com", shortPath))
        AddRunOnceCommand(command);
    else
        LogLine("Folder removal not scheduled: the folder name cannot be put into a command.");
}

bool RecordedInstallation(char *folder, size_t size)
{
    GetProfileStringA(kSection, "DIR", "", folder, DWORD(size));
    return folder[0] && GetProfileIntA(kSection, "INSTOPTS", 0) != 0;
}

void ReportNoInstallation(HWND owner)
{
    char caption[256], text[256];
    LoadMessage(MSG_REMOVE_CAPTION, caption, sizeof caption);
    LoadMessage(MSG_REMOVAL_NO_INFO, text, sizeof text);
    ShowMessage(owner, text, caption, MB_OK | MB_ICONINFORMATION);
}

int RunRemoval(HWND owner, int, int)
{
    char folder[512] = "";
    if (!RecordedInstallation(folder, sizeof folder)) {
        ReportNoInstallation(owner);
        g_nExitCode = kExitFailed;
        return 0;
    }
    g_nExitCode = RemoveProduct(owner, folder, NULL, NULL);
    return 0;
}

int RemoveProduct(HWND owner, const char *folder, const char *group, const char *running)
{
    char caption[256];
    LoadMessage(MSG_REMOVE_CAPTION, caption, sizeof caption);
    HWND dialog = g_bSilent ? NULL : OpenStatusDialog(owner);
    HWND status = dialog ? GetDlgItem(dialog, IDC_STATUS_TEXT) : NULL;
    g_bRebootNeeded = 0;
    // The worker's failure text has a buffer of its own, so the caption of
    // the final message stays "Remove".
    char workerText[256] = "";
    int outcome = -1;
    // A folder that is not the product's own stays, now and at the next start.
    bool ownFolder = !FolderIsShared(folder);
    if (RemoveInstallation(folder, kAllComponents, workerText, owner, status, group, running) && ownFolder) {
        const char *slash = running ? LastSeparator(running, false) : NULL;
        bool removable = running ? FolderHoldsOnly(folder, slash ? slash + 1 : running) : RemoveDirectoryA(folder) != 0;
        outcome = removable ? 0 : -1;
    }
    if (workerText[0])
        LogLine(workerText);

    if (owner)
        SetActiveWindow(owner);
    if (dialog)
        DestroyWindow(dialog);
    char recorded[512] = "";
    GetProfileStringA(kSection, "DIR", "", recorded, sizeof recorded);
    if (RecordIsOf(recorded, folder))
        WriteProfileStringA(kSection, NULL, NULL);

    if (outcome == -1 && g_bRebootNeeded) {
        if (ownFolder)
            ScheduleFolderRemoval(folder);
        if (g_bNoRestart || !AskRestart(owner) || (g_bSilent && !g_bAllowReboot))
            g_bRebootNeeded = 0;
        return kExitRestartNeeded;
    }
    ReportOutcome(owner, outcome, folder, caption);
    // A product file that could neither be deleted nor scheduled.
    return workerText[0] ? kExitFailed : kExitOk;
}
