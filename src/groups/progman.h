// The Program Manager DDE client.
#ifndef ZELTRA_GROUPS_PROGMAN_H
#define ZELTRA_GROUPS_PROGMAN_H

#include <windows.h>
#include <ddeml.h>

#define ZL_DEFAULT_GROUP "ZELTRA Pro"

// 1 while the client is open (also set by the group list fetch).
extern int g_bProgmanOpen;

int StartProgramClient();
int CreateProgramGroup(const char *groupName);
int AddProgramItem(const char *itemName, const char *folder, const char *fileName, const char *commandLine);
int DeleteProgramItem(const char *itemName, const char *folder, const char *fileName, const char *commandLine);
int DeleteProgramGroup(const char *groupName);
int CloseProgramGroup();
int ProgmanExecute(DWORD instance, const char *command);
HDDEDATA CALLBACK ProgmanCallback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2,
                                  HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2);

// Makes groupName the current group, so that item commands reach it.
// 1 when the server accepted the command.
int ShowProgramGroup(const char *groupName);

#endif
