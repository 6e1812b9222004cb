// Saves a picture of every dialog of the installation flow as it appears on
// screen. Run by scripts/pictures.sh: dialog_pictures.exe <output folder>.
#include <windows.h>

#include <stdio.h>

#include <string>

#include "flow/choice_dialogs.h"
#include "flow/folder_prompts.h"
#include "flow/startup.h"
#include "groups/group_select.h"
#include "install/registration.h"
#include "resource.h"
#include "shell/messages.h"
#include "shell/options.h"
#include "shell/paths.h"
#include "shell/progress.h"
#include "uidriver.h"

namespace {

const char kCaption[] = "ZELTRA Pro Installation";

std::string g_folder;
int g_failures = 0;

zt::DialogQuery Query(const char *caption, int controlId, HWND except = NULL)
{
    zt::DialogQuery query;
    query.caption = caption;
    query.controlId = controlId;
    query.except = except;
    return query;
}

bool Save(HWND window, const char *name)
{
    std::string path = g_folder + "\\" + name + ".png";
    bool saved = window && zt::SaveWindowPicture(window, path);
    printf("%s %s\n", saved ? "saved" : "MISSING", path.c_str());
    if (!saved)
        ++g_failures;
    return saved;
}

// Waits for the dialog, pictures it, and lets it go with the given command.
HWND Picture(const zt::DialogQuery &query, const char *name, int endWith)
{
    HWND dialog = zt::WaitForDialog(query);
    Save(dialog, name);
    if (dialog && endWith)
        zt::Command(dialog, endWith);
    return dialog;
}

void PictureBox(const char *textPart, const char *name)
{
    zt::MessageBoxSeen box = zt::WaitForMessageBox(textPart);
    Save(box.window, name);
    if (box)
        zt::Command(box.window, IDOK);
}

void InstallChoice()
{
    zt::Driver driver([] { Picture(Query(kCaption, IDC_RADIO_FIRST), "install", IDCANCEL); });
    AskInstallOrRemove(NULL, g_hInstance);
}

void Components()
{
    zt::Driver driver([] {
        HWND dialog = Picture(Query(kCaption, IDC_CLASSIC), "components", 0);
        if (!dialog)
            return;
        zt::Click(dialog, IDC_COMPONENTS_HELP);
        Picture(Query(kCaption, IDOK, dialog), "components_help", IDOK);
        for (int id : {IDC_CLASSIC, IDC_EXPLORER, IDC_UTILITIES})
            zt::Click(dialog, id);
        zt::Click(dialog, IDOK);
        PictureBox("Nothing Selected!", "nothing_selected");
        zt::Command(dialog, IDCANCEL);
    });
    ChooseComponents(NULL, g_hInstance, 15, 15);
}

void IconPlacement()
{
    zt::Driver driver([] { Picture(Query("Icon Placement", IDC_RADIO_FIRST), "icon_placement", IDCANCEL); });
    DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_ICON_PLACEMENT), NULL, IconPlacementDlgProc, 0);
}

void Status()
{
    HWND status = CreateDialogParamA(g_hInstance, "DLG_COPY", NULL, StatusDlgProc, 0);
    char templ[256], text[kFormatBufferSize];
    LoadMessage(MSG_COPYING, templ, sizeof templ);
    FormatMessageText(text, templ, "C:\\users\\root\\Temp\\", "zeltra.exe",
                      "C:\\Program Files\\ZELTRA", "zeltra.exe");
    SetDlgItemTextA(status, IDC_STATUS_TEXT, text);
    for (int i = 0; i < 20; ++i) {
        PumpMessages();
        Sleep(20);
    }
    Save(status, "status");
    DestroyWindow(status);
}

void FolderPrompt()
{
    zt::Driver driver([] {
        HWND dialog = Picture(Query(kCaption, IDC_PROMPT), "getdir", 0);
        if (!dialog)
            return;
        zt::SetControlText(dialog, IDC_FOLDER_EDIT, "C:\\Program Files");
        zt::Click(dialog, IDC_BROWSE);
        Picture(Query("Locate", 1121), "browse", IDCANCEL);
        zt::Command(dialog, IDCANCEL);
    });
    char prompt[256], folder[512] = "C:\\Program Files\\ZELTRA";
    LoadMessage(MSG_ENTER_DESTINATION, prompt, sizeof prompt);
    CopyText(g_szLocateFileName, sizeof g_szLocateFileName, "a");
    PromptForFolder(NULL, g_hInstance, prompt, folder, folder);
}

void SourcePrompt()
{
    zt::Driver driver([] { Picture(Query("Locate", 1121), "getsrcdir", IDCANCEL); });
    char located[261];
    LocateFolder(NULL, "ZELTRA95.exe", "C:\\windows", located);
}

void CreationFailure()
{
    // A drive letter nothing stands behind.
    char path[32] = "";
    DWORD drives = GetLogicalDrives();
    for (char letter = 'Y'; letter > 'D' && !path[0]; --letter)
        if (!(drives & (1u << (letter - 'A'))))
            FormatText(path, sizeof path, "%c:\\ZELTRA", letter);
    zt::Driver driver([] {
        PictureBox("Creation of", "creation_failed");
        zt::AnswerMessageBox("Creation of", IDOK);
    });
    CreateFolderTree(path);
}

void GroupName()
{
    zt::Driver driver([] { Picture(Query("Program Manager Group", IDC_GROUP_COMBO), "getgroup", IDCANCEL); });
    char group[256] = "ZELTRA Pro";
    AskGroupName(NULL, g_hInstance, group);
}

// The questions and closing messages, with the texts, captions and styles
// the installation and the removal use.
struct MessagePicture {
    UINT text;
    UINT caption;          // 0: captionText, or the system's default when that is NULL
    const char *captionText;
    UINT style;
    int answer;
    const char *textPart;
    const char *name;
};

const MessagePicture kMessagePictures[] = {
    {MSG_ADD_SITES, MSG_SITES_CAPTION, NULL, MB_ICONQUESTION | MB_YESNO, IDNO, "additional FTP sites", "add_sites"},
    {MSG_INSTALL_SUCCESS, MSG_CONGRATULATIONS, NULL, MB_OK, IDOK, "Happy FTP", "success"},
    {MSG_RESTART_AFTER_INSTALL, MSG_CONGRATULATIONS, NULL, MB_SYSTEMMODAL | MB_OKCANCEL, IDCANCEL, "Install now needs", "restart"},
    {MSG_INSTALL_FAILED, 0, NULL, MB_OK, IDOK, "Some portion", "install_failed"},
    {MSG_DELETE_INI_FILES, 0, "ZELTRA Pro Installation", MB_YESNO, IDNO, "INI files", "delete_ini"},
    {MSG_REMOVAL_COMPLETE, MSG_REMOVE_CAPTION, NULL, MB_OK | MB_ICONINFORMATION, IDOK, "All files removed", "removal_complete"},
    {MSG_RESTART_AFTER_REMOVAL, MSG_CONGRATULATIONS, NULL, MB_OKCANCEL | MB_SYSTEMMODAL, IDCANCEL, "Uninstall now needs", "removal_restart"},
};

const MessagePicture *g_shown = NULL;

void MessagePictures()
{
    for (const MessagePicture &m : kMessagePictures) {
        g_shown = &m;
        zt::Driver driver([] {
            zt::MessageBoxSeen box = zt::WaitForMessageBox(g_shown->textPart);
            Save(box.window, g_shown->name);
            if (box)
                zt::Command(box.window, g_shown->answer);
        });
        char text[2048], caption[256];
        LoadMessage(m.text, text, sizeof text);
        if (m.text == MSG_INSTALL_FAILED) {
            AppendText(text, sizeof text, "\r\n");
            AppendText(text, sizeof text, "Failed to install required file zlclient.ex_.");
        }
        const char *shownCaption = m.captionText;
        if (m.caption) {
            LoadMessage(m.caption, caption, sizeof caption);
            shownCaption = caption;
        }
        MessageBoxA(NULL, text, shownCaption, m.style);
    }
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: dialog_pictures <output folder>\n");
        return 2;
    }
    g_hInstance = GetModuleHandleA(NULL);
    g_folder = argv[1];
    CreateDirectoryA(g_folder.c_str(), NULL);
    InstallChoice();
    Components();
    IconPlacement();
    Status();
    FolderPrompt();
    SourcePrompt();
    CreationFailure();
    GroupName();
    MessagePictures();
    zt::CloseAllDialogs();
    return g_failures == 0 ? 0 : 1;
}
