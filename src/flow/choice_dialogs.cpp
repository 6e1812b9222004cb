#include "flow/choice_dialogs.h"

#include "resource.h"
#include "shell/messages.h"
#include "shell/options.h"
#include "shell/window.h"

// The masks ChooseComponents hands to its dialog procedure; the offered one
// becomes the choice.
static int s_offered = 0;
static int s_allowed = 0;

// One check box of the components dialog and its bit of the mask.
struct ComponentBox {
    int id;
    int bit;
};

static const ComponentBox kComponentBoxes[] = {
    {IDC_CLASSIC, kComponentClassic},
    {IDC_EXPLORER, kComponentExplorer},
    {IDC_UTILITIES, kComponentUtilities},
    {IDC_BROWSER, kComponentBrowser},
};

static bool IsTicked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

static void SetMessageText(HWND dialog, int id, UINT message)
{
    char text[256];
    LoadMessage(message, text, sizeof text);
    SetDlgItemTextA(dialog, id, text);
}

// Removal needs what an earlier installation recorded: its folder and its
// components.
static bool EarlierInstallationRecorded()
{
    char folder[256];
    GetProfileStringA("ZELTRA", "DEFDIR", "", folder, sizeof folder);
    return folder[0] != '\0' && GetProfileIntA("ZELTRA", "INSTOPTS", 0) != 0;
}

int AskInstallOrRemove(HWND owner, HINSTANCE instance)
{
    return int(DialogBoxParamA(instance, "DLG_INSTALL", owner, InstallDlgProc, 0));
}

INT_PTR CALLBACK InstallDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        CenterWindow(dialog);
        ShowWindow(GetDlgItem(dialog, IDC_INSTALL_TITLE), SW_HIDE);
        SetMessageText(dialog, IDC_RADIO_FIRST, MSG_CHOICE_INSTALL);
        SetMessageText(dialog, IDC_RADIO_SECOND, MSG_CHOICE_REMOVE);
        CheckRadioButton(dialog, IDC_RADIO_FIRST, IDC_RADIO_SECOND, IDC_RADIO_FIRST);
        EnableWindow(GetDlgItem(dialog, IDC_RADIO_SECOND), EarlierInstallationRecorded());
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK: {
        int choice = 0;
        if (IsTicked(dialog, IDC_RADIO_FIRST))
            choice = 1;
        else if (IsTicked(dialog, IDC_RADIO_SECOND))
            choice = 2;
        EndDialog(dialog, choice);
        return TRUE;
    }
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

int ChooseComponents(HWND owner, HINSTANCE instance, int offered, int allowed)
{
    s_offered = offered;
    s_allowed = allowed;
    if (!(offered & kComponentClassic))
        return 0;
    INT_PTR chosen = DialogBoxParamA(instance, "DLG_VERS_32", owner, ComponentsDlgProc, 0);
    // A dialog that could not be shown chose nothing, as Cancel: its -1 would
    // read as every component, and BONUS would still bring the utilities.
    if (chosen == -1) {
        s_offered = 0;
        gbInstallBonusPack = 0;
        return 0;
    }
    return int(chosen);
}

int ShowComponentsHelp(HWND owner)
{
    return int(DialogBoxParamA(g_hInstance, "DLG_32_HELP", owner, ComponentsHelpDlgProc, 0));
}

static void InitComponentBoxes(HWND dialog)
{
    // A box is ticked only where the component may be chosen at all.
    for (const ComponentBox &box : kComponentBoxes) {
        bool allowed = (s_allowed & box.bit) != 0;
        bool gated = box.bit == kComponentUtilities || box.bit == kComponentBrowser;
        bool ticked = (s_offered & box.bit) != 0 && (allowed || !gated);
        CheckDlgButton(dialog, box.id, ticked ? BST_CHECKED : BST_UNCHECKED);
        EnableWindow(GetDlgItem(dialog, box.id), allowed);
    }
}

static int ChosenMask(HWND dialog)
{
    int mask = 0;
    if (IsTicked(dialog, IDC_CLASSIC))
        mask |= kComponentClassic;
    if (IsTicked(dialog, IDC_EXPLORER))
        mask |= kComponentExplorer;
    // Only what the platform allows, whatever a box says.
    gbInstallBonusPack = IsTicked(dialog, IDC_UTILITIES) && (s_allowed & kComponentUtilities) ? 1 : 0;
    if (gbInstallBonusPack)
        mask |= kComponentUtilities;
    // Browser integration is part of the utilities; alone it means nothing.
    if (gbInstallBonusPack && IsTicked(dialog, IDC_BROWSER))
        mask |= kComponentBrowser;
    return mask & s_allowed;
}

static void AcceptComponents(HWND dialog)
{
    s_offered = ChosenMask(dialog);
    if (s_offered == 0) {
        char text[256];
        LoadMessage(MSG_NOTHING_SELECTED, text, sizeof text);
        MessageBoxA(dialog, text, NULL, MB_ICONERROR);
        return;
    }
    EndDialog(dialog, s_offered);
}

INT_PTR CALLBACK ComponentsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        CenterWindow(dialog);
        InitComponentBoxes(dialog);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_UTILITIES:
        EnableWindow(GetDlgItem(dialog, IDC_BROWSER),
                     IsTicked(dialog, IDC_UTILITIES) && (s_allowed & kComponentBrowser));
        return FALSE;
    case IDC_COMPONENTS_HELP:
        ShowComponentsHelp(dialog);
        return TRUE;
    case IDOK:
        AcceptComponents(dialog);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 0);
        s_offered = 0;
        gbInstallBonusPack = 0;
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK ComponentsHelpDlgProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message != WM_COMMAND)
        return FALSE;
    EndDialog(dialog, 1);
    return TRUE;
}
