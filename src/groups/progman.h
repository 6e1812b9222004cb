// The Program Manager DDE client.
#ifndef ZELTRA_GROUPS_PROGMAN_H
#define ZELTRA_GROUPS_PROGMAN_H

#include <windows.h>
#include <ddeml.h>

#define ZL_DEFAULT_GROUP "ZELTRA Pro"

// 1 while the client is open (also set by the group list fetch).
extern int g_bProgmanOpen;
// Commands the shell accepted since the client was started.
extern int g_nShellAccepted;
// What the item commands asked for since the client was started, in order:
// an item added (its name, command line and working folder) or deleted.
struct ProgramItem {
    bool add;
    char name[260];
    char command[260];
    char folder[260];
};
const int kMaxProgramItems = 64;
extern ProgramItem g_programItems[kMaxProgramItems];
extern int g_nProgramItems;
// Why the shell took no part or stopped, for the log; empty while it answers.
extern char g_szNoShellReason[160];

int StartProgramClient();
int CreateProgramGroup(const char *groupName);
int AddProgramItem(const char *itemName, const char *folder, const char *fileName, const char *commandLine);
int DeleteProgramItem(const char *itemName, const char *folder, const char *fileName, const char *commandLine);
int DeleteProgramGroup(const char *groupName);
int CloseProgramGroup();
int ProgmanExecute(DWORD instance, const char *command);
HDDEDATA CALLBACK ProgmanCallback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2,
                                  HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2);

// Looks for a "PROGMAN" server, waiting a few seconds at most in all and
// stopping at a window that does not answer (g_szNoShellReason says which).
// True when one answered and DdeConnect's broadcast will not wait.
bool SearchShellBounded();

// Makes groupName the current group, so that item commands reach it.
// 1 when the server accepted the command.
int ShowProgramGroup(const char *groupName);

#endif
