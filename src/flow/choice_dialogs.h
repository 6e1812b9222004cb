// The dialogs through which the user steers the installation.
#ifndef ZELTRA_FLOW_CHOICE_DIALOGS_H
#define ZELTRA_FLOW_CHOICE_DIALOGS_H

#include <windows.h>

// DLG_INSTALL: 1 install or update, 2 remove, 0 exit.
int AskInstallOrRemove(HWND owner, HINSTANCE instance);

// DLG_VERS_32: the chosen component mask, 0 on Cancel.
int ChooseComponents(HWND owner, HINSTANCE instance, int offered, int allowed);

// DLG_32_HELP over the components dialog.
int ShowComponentsHelp(HWND owner);

INT_PTR CALLBACK InstallDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ComponentsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ComponentsHelpDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
