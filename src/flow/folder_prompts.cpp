#include "flow/folder_prompts.h"

#include <commdlg.h>
#include <stddef.h>
#include <string.h>

#include "resource.h"
#include "shell/messages.h"
#include "shell/options.h"
#include "shell/paths.h"
#include "shell/sysdll.h"
#include "shell/window.h"

char g_szLocateFileName[256];

// Shared by the folder dialog and the Open dialog's hook, which get no
// context of their own.
static char s_szPrompt[512];
static char s_szFolder[512];
static char s_szLocated[261];

// Identifiers of the old-style Open dialog's controls.
enum {
    kOpenFolderList = 1121,
    kOpenDriveCombo = 1137,
    kOpenButtonExtra = 3
};

// The record as Windows 95 and NT 4 know it; later systems accept it too.
#ifndef OPENFILENAME_SIZE_VERSION_400A
#define OPENFILENAME_SIZE_VERSION_400A CDSIZEOF_STRUCT(OPENFILENAMEA, lpTemplateName)
#endif
static_assert(sizeof(void *) != 4 || offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR) == 76,
              "the Windows 95 / NT 4 size of the Open dialog's record");

int PromptForFolder(HWND owner, HINSTANCE instance, const char *prompt,
                    const char *initial, char *result)
{
    CopyText(s_szPrompt, sizeof s_szPrompt, prompt);
    CopyText(s_szFolder, sizeof s_szFolder, initial);
    int answer = int(DialogBoxParamA(instance, "DLG_GETDIR", owner, GetDirDlgProc, 0));
    if (answer == 1)
        CopyText(result, sizeof s_szFolder, s_szFolder);
    return answer == 1 ? 1 : 0;
}

static void BrowseForFolder(HWND dialog)
{
    s_szFolder[0] = '\0';
    GetDlgItemTextA(dialog, IDC_FOLDER_EDIT, s_szFolder, sizeof s_szFolder);
    if (LocateFolder(dialog, g_szLocateFileName, s_szFolder, s_szLocated))
        SetDlgItemTextA(dialog, IDC_FOLDER_EDIT, s_szLocated);
}

INT_PTR CALLBACK GetDirDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        CenterWindow(dialog);
        SetDlgItemTextA(dialog, IDC_PROMPT, s_szPrompt);
        SetDlgItemTextA(dialog, IDC_FOLDER_EDIT, s_szFolder);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        GetDlgItemTextA(dialog, IDC_FOLDER_EDIT, s_szFolder, sizeof s_szFolder);
        EndDialog(dialog, 1);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    case IDC_BROWSE:
        BrowseForFolder(dialog);
        return TRUE;
    }
    return FALSE;
}

// "All Files (*.*)" with the pattern "*.*", as the double-NUL list the
// common dialog reads.
static void BuildFilter(char *filter, size_t size)
{
    char name[256];
    LoadMessage(MSG_ALL_FILES, name, sizeof name);
    FormatText(filter, size - 1, "%s (*.*)|*.*|", name);
    filter[size - 1] = '\0';
    for (char *bar = strrchr(filter, '|'); bar; bar = strrchr(filter, '|'))
        *bar = '\0';
}

// Adds "\ZELTRA" unless the folder already names the product.
static void AddProductFolder(char *folder, size_t size)
{
    char lower[261];
    CopyText(lower, sizeof lower, folder);
    CharLowerA(lower);
    if (!strstr(lower, "zeltra"))
        AppendText(folder, size, "\\ZELTRA");
}

int LocateFolder(HWND owner, const char *fileName, const char *initial, char *result)
{
    if (result != fileName)
        CopyText(result, 261, fileName);
    char filter[300];
    BuildFilter(filter, sizeof filter);
    char title[256];
    LoadMessage(MSG_LOCATE, title, sizeof title);

    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = owner;
    ofn.hInstance = g_hInstance;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = result;
    ofn.nMaxFile = 260;
    ofn.lpstrInitialDir = initial;
    ofn.lpstrTitle = title;
    ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE;
    ofn.lpfnHook = LocateHookProc;
    ofn.lpTemplateName = lstrcmpiA(fileName, "ZELTRA95.exe") == 0 ? "DLG_GETSRCDIR" : "DLG_BROWSE";

    // Without the system's common dialogs the user is told to type the name.
    auto getOpenFileName = SystemFunction<decltype(&GetOpenFileNameA)>("comdlg32.dll", "GetOpenFileNameA");
    if (!getOpenFileName) {
        char text[512], caption[256];
        LoadMessage(MSG_NO_COMMON_DIALOGS, text, sizeof text);
        LoadMessage(MSG_INSTALL_CAPTION, caption, sizeof caption);
        MessageBoxA(owner, text, caption, MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    // The old-style dialog moves the current folder as the user walks; the
    // work folder must stay current for the rest of the run.
    char current[MAX_PATH];
    DWORD kept = GetCurrentDirectoryA(sizeof current, current);
    BOOL picked = getOpenFileName(&ofn);
    if (kept > 0 && kept < sizeof current)
        SetCurrentDirectoryA(current);
    if (!picked)
        return 0;

    char *lastSlash = LastSeparator(result, false);
    if (lastSlash)
        *lastSlash = '\0';
    if (strcmp(fileName, "a") == 0)
        AddProductFolder(result, 261);
    return picked;
}

static void PostRefresh(HWND dialog, LPARAM which)
{
    PostMessageA(dialog, WM_COMMAND, IDC_LOCATE_START, which);
}

UINT_PTR CALLBACK LocateHookProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        SetDlgItemTextA(dialog, IDC_LOCATE_HEADING, s_szPrompt);
        PostRefresh(dialog, 0);
        return 0;
    }
    if (message != WM_COMMAND)
        return 0;
    int id = LOWORD(wParam), code = HIWORD(wParam);
    if (id == IDOK || id == IDCANCEL || id == kOpenButtonExtra)
        PostRefresh(dialog, 0);
    else if (id == kOpenFolderList && code == LBN_DBLCLK)
        PostRefresh(dialog, 0);
    else if (id == kOpenDriveCombo && code == CBN_SELCHANGE)
        PostRefresh(dialog, 1);
    else if (id == kOpenDriveCombo && code == CBN_CLOSEUP)
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(kOpenDriveCombo, CBN_SELCHANGE),
                     LPARAM(GetDlgItem(dialog, kOpenDriveCombo)));
    return 0;
}

// One report of a folder that could not be created.
static void ReportCreationFailure(const char *path, DWORD error)
{
    char templ[256], text[kFormatBufferSize];
    LoadMessage(MSG_CREATION_FAILED, templ, sizeof templ);
    FormatMessageText(text, templ, path, DWORD_PTR(error));
    if (g_bSilent) {
        LogLine(text);
        return;
    }
    char caption[256];
    LoadMessage(MSG_INSTALL_CAPTION, caption, sizeof caption);
    MessageBoxA(NULL, text, caption, MB_OK | MB_ICONERROR);
}

static bool IsFolder(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int CreateFolderTree(char *path)
{
    if (CreateDirectoryA(path, NULL))
        return 1;
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) {
        // A file of that name is no folder to install into.
        if (IsFolder(path))
            return 1;
        ReportCreationFailure(path, error);
        return 0;
    }
    char *lastSlash = LastSeparator(path, false);
    int created = 0;
    if (lastSlash) {
        *lastSlash = '\0';
        CreateFolderTree(path);  // a failure there has been reported there
        *lastSlash = '\\';
        created = CreateDirectoryA(path, NULL) ? 1 : 0;
        error = GetLastError();
        // "C:\new\" made as "C:\new" a moment ago.
        if (!created && error == ERROR_ALREADY_EXISTS && IsFolder(path))
            created = 1;
    }
    if (!created)
        ReportCreationFailure(path, error);
    return created;
}
