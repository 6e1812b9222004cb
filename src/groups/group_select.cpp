#include "groups/group_select.h"

#include <string.h>

#include "groups/progman.h"
#include "resource.h"
#include "shell/paths.h"
#include "shell/window.h"

namespace {

char g_szGroupName[256];

// The raw "Groups" reply, one name per line. It grows to fit a long reply:
// a list cut short would show a cut name as a group.
char s_groupReply[2096];
char *g_groupList = s_groupReply;
size_t s_groupListSize = sizeof s_groupReply;

// Keeps size bytes of reply and terminates them, whether or not the reply
// brought its own zero. A reply too large for memory is kept cut.
void KeepReply(const BYTE *data, DWORD size)
{
    if (s_groupListSize < size_t(size) + 1) {
        char *larger = static_cast<char *>(HeapAlloc(GetProcessHeap(), 0, size_t(size) + 1));
        if (larger) {
            if (g_groupList != s_groupReply)
                HeapFree(GetProcessHeap(), 0, g_groupList);
            g_groupList = larger;
            s_groupListSize = size_t(size) + 1;
        } else {
            size = DWORD(s_groupListSize - 1);
        }
    }
    memcpy(g_groupList, data, size);
    g_groupList[size] = '\0';
}

void RequestGroups(HCONV conv, HSZ item)
{
    g_groupList[0] = '\0';
    HDDEDATA data = DdeClientTransaction(NULL, 0, conv, item, CF_TEXT, XTYP_REQUEST, 1000, NULL);
    if (!data)
        return;
    DWORD size = 0;
    const BYTE *bytes = DdeAccessData(data, &size);
    if (bytes) {
        KeepReply(bytes, size);
        DdeUnaccessData(data);
    }
    DdeFreeDataHandle(data);
}

// Adds every non-empty line but "Startup" (any case). The buffer is left as
// it was.
void AddGroupNames(HWND combo)
{
    char *line = g_groupList;
    while (*line) {
        size_t len = strcspn(line, "\r\n");
        char end = line[len];
        line[len] = '\0';
        if (len && lstrcmpiA(line, "Startup") != 0)
            SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)line);
        line[len] = end;
        line += len;
        line += strspn(line, "\r\n");
    }
}

}  // namespace

int AskGroupName(HWND owner, HINSTANCE instance, char *groupName)
{
    CopyText(g_szGroupName, sizeof g_szGroupName, groupName);
    INT_PTR result = DialogBoxParamA(instance, "DLG_GETGROUP", owner, GetGroupDlgProc, 0);
    // A dialog that could not be shown (-1) is no OK.
    if (result != 1)
        return 0;
    CopyText(groupName, sizeof g_szGroupName, g_szGroupName);
    return 1;
}

INT_PTR CALLBACK GetGroupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterWindow(dialog);
        FillGroupList(GetDlgItem(dialog, IDC_GROUP_COMBO));
        SetDlgItemTextA(dialog, IDC_GROUP_COMBO, g_szGroupName);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            GetDlgItemTextA(dialog, IDC_GROUP_COMBO, g_szGroupName, sizeof g_szGroupName);
            EndDialog(dialog, 1);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

const char *FillGroupList(HWND combo)
{
    DWORD instance = 0;
    if (DdeInitializeA(&instance, ProgmanCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return NULL;
    g_bProgmanOpen = 1;
    HSZ service = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HSZ item = DdeCreateStringHandleA(instance, "Groups", CP_WINANSI);
    // Without a shell, or with a window that does not answer, the list
    // stays empty rather than the question waiting.
    HCONV conv = service && item && SearchShellBounded() ? DdeConnect(instance, service, service, NULL) : NULL;
    if (!conv) {
        DdeUninitialize(instance);   // frees the string handles too
        g_bProgmanOpen = 0;
        return NULL;
    }
    RequestGroups(conv, item);
    DdeDisconnect(conv);
    DdeFreeStringHandle(instance, service);
    DdeFreeStringHandle(instance, item);
    AddGroupNames(combo);
    DdeUninitialize(instance);
    g_bProgmanOpen = 0;
    return g_groupList;
}
