// Choosing the Program Manager group.
#ifndef ZELTRA_GROUPS_GROUP_SELECT_H
#define ZELTRA_GROUPS_GROUP_SELECT_H

#include <windows.h>

// DLG_GETGROUP. groupName (256 characters) holds the proposal on entry and the
// chosen name after OK. 1 OK, 0 Cancel.
int AskGroupName(HWND owner, HINSTANCE instance, char *groupName);

// Fetches the groups over DDE and adds them (but "Startup") to the combo box.
// Returns the reply text, or NULL when the server could not be reached.
const char *FillGroupList(HWND combo);

INT_PTR CALLBACK GetGroupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
