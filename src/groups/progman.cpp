#include "groups/progman.h"

#include <string.h>

#include "shell/paths.h"

int g_bProgmanOpen = 0;

namespace {

DWORD g_idInst = 0;
PFNCALLBACK g_pfnCallback = NULL;
// The client's conversation with the server, kept for the whole group
// session: connecting per command costs a broadcast to every top-level
// window and a round trip, as much as a command itself.
HCONV g_conv = NULL;

const char kService[] = "PROGMAN";
const size_t kCommandSize = 516;
const size_t kPathSize = 260;

// A quote would end a quoted argument early and cannot be escaped for every
// server; control characters have no place in a command either.
bool CanCarry(const char *text)
{
    for (const unsigned char *p = (const unsigned char *)text; *p; ++p)
        if (*p == '"' || *p < ' ')
            return false;
    return true;
}

// An argument written without quotes ends at the first of ",()[]". Such a
// text goes in quoted, so a name like "Tools (old)" stays one argument and
// cannot close the command and start another.
bool BareArgument(char *dst, size_t size, const char *text)
{
    if (!CanCarry(text))
        return false;
    if (strpbrk(text, ",()[]"))
        return FormatText(dst, size, "\"%s\"", text);
    return CopyText(dst, size, text);
}

const char *Text(const char *text) { return text ? text : ""; }

// A group command from its format, refused (nothing sent) when the name
// cannot be carried or the command does not fit.
int SendGroupCommand(const char *format, const char *groupName)
{
    char name[kCommandSize], command[kCommandSize];
    if (!BareArgument(name, sizeof name, Text(groupName)) ||
        !FormatText(command, sizeof command, format, name))
        return 0;
    return ProgmanExecute(g_idInst, command);
}

bool BuildDeleteItem(char *command, const char *itemName)
{
    return CanCarry(itemName) &&
           FormatText(command, kCommandSize, "[DeleteItem(\"%s\")]", itemName);
}

// The item's name: the one given, or else the file name.
const char *ItemName(const char *itemName, const char *fileName)
{
    return itemName && *itemName ? itemName : Text(fileName);
}

// The folder given, or else the current directory.
bool WorkingFolder(char *dst, const char *folder)
{
    if (folder && *folder)
        return CopyText(dst, kPathSize, folder);
    DWORD n = GetCurrentDirectoryA(kPathSize, dst);
    return n > 0 && n < kPathSize;
}

// The folder and the file name; a file name with a "\" is a whole path.
// The "\" is left out only for a folder in the mixed "/" and "\" form.
bool ProgramPath(char *dst, const char *workFolder, const char *fileName)
{
    if (strchr(fileName, '\\'))
        return CopyText(dst, kPathSize, fileName);
    bool mixed = strchr(workFolder, '/') && strchr(workFolder, '\\');
    return CopyText(dst, kPathSize, workFolder) &&
           (mixed || AppendText(dst, kPathSize, "\\")) &&
           AppendText(dst, kPathSize, fileName);
}

bool BuildAddItem(char *command, const char *itemName, const char *folder,
                  const char *fileName, const char *commandLine)
{
    char workFolder[kPathSize], program[kPathSize], bareFolder[kCommandSize];
    if (!WorkingFolder(workFolder, folder))
        return false;
    if (!commandLine || !*commandLine) {
        if (!ProgramPath(program, workFolder, Text(fileName)))
            return false;
        commandLine = program;
    }
    return CanCarry(commandLine) && CanCarry(itemName) &&
           BareArgument(bareFolder, sizeof bareFolder, workFolder) &&
           FormatText(command, kCommandSize, "[AddItem(\"%s\",\"%s\",,,,,%s)]",
                      commandLine, itemName, bareFolder);
}

HCONV Connect(DWORD instance)
{
    HSZ name = DdeCreateStringHandleA(instance, kService, CP_WINANSI);
    if (!name)
        return NULL;
    HCONV conv = DdeConnect(instance, name, name, NULL);
    DdeFreeStringHandle(instance, name);
    return conv;
}

bool StillConnected(HCONV conv)
{
    CONVINFO info;
    memset(&info, 0, sizeof info);
    info.cb = sizeof info;
    return DdeQueryConvInfo(conv, QID_SYNC, &info) && (info.wStatus & ST_CONNECTED) &&
           IsWindow(info.hwndPartner);
}

void EndConversation()
{
    if (g_conv)
        DdeDisconnect(g_conv);
    g_conv = NULL;
}

// The client's own conversation, made when there is none.
HCONV ClientConversation()
{
    if (g_conv && StillConnected(g_conv))
        return g_conv;
    g_conv = Connect(g_idInst);
    return g_conv;
}

// Errors after which the server cannot have seen the command (a refusal or
// a time-out is an answer, and the command must not be sent twice).
bool NotDelivered(UINT error)
{
    static const UINT kLost[] = {DMLERR_POSTMSG_FAILED, DMLERR_NO_CONV_ESTABLISHED,
                                 DMLERR_INVALIDPARAMETER, DMLERR_SERVER_DIED, DMLERR_UNFOUND_QUEUE_ID};
    for (UINT lost : kLost)
        if (error == lost)
            return true;
    return false;
}

bool Execute(HCONV conv, const char *command)
{
    DWORD result = 0;
    return DdeClientTransaction((BYTE *)command, DWORD(strlen(command) + 1), conv, NULL, CF_TEXT,
                                XTYP_EXECUTE, 1000, &result) != NULL;
}

}  // namespace

HDDEDATA CALLBACK ProgmanCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return NULL;
}

int StartProgramClient()
{
    EndConversation();
    // Opening twice would leak the first instance.
    if (g_bProgmanOpen)
        CloseProgramGroup();
    g_idInst = 0;
    g_pfnCallback = ProgmanCallback;
    if (DdeInitializeA(&g_idInst, g_pfnCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return 0;
    g_bProgmanOpen = 1;
    return 1;
}

int CreateProgramGroup(const char *groupName)
{
    if (!StartProgramClient())
        return 0;
    SendGroupCommand("[CreateGroup(%s)]", groupName);
    return 1;
}

int ShowProgramGroup(const char *groupName)
{
    return SendGroupCommand("[ShowGroup(%s,1)]", groupName);
}

int AddProgramItem(const char *itemName, const char *folder, const char *fileName, const char *commandLine)
{
    const char *name = ItemName(itemName, fileName);
    char deleteItem[kCommandSize], addItem[kCommandSize];
    // Both or neither: a replaced item must not just vanish.
    if (BuildDeleteItem(deleteItem, name) && BuildAddItem(addItem, name, folder, fileName, commandLine)) {
        ProgmanExecute(g_idInst, deleteItem);
        ProgmanExecute(g_idInst, addItem);
    }
    return 1;
}

int DeleteProgramItem(const char *itemName, const char *, const char *fileName, const char *)
{
    char command[kCommandSize];
    if (BuildDeleteItem(command, ItemName(itemName, fileName)))
        ProgmanExecute(g_idInst, command);
    return 1;
}

int DeleteProgramGroup(const char *groupName)
{
    if (g_bProgmanOpen) {
        // A group the user named may hold other programs' items: keep it.
        if (groupName && lstrcmpiA(groupName, ZL_DEFAULT_GROUP) == 0)
            SendGroupCommand("[DeleteGroup(%s)]", groupName);
        EndConversation();
        DdeUninitialize(g_idInst);
    }
    g_bProgmanOpen = 0;
    return 1;
}

int CloseProgramGroup()
{
    if (g_bProgmanOpen) {
        EndConversation();
        DdeUninitialize(g_idInst);
    }
    g_bProgmanOpen = 0;
    return 1;
}

int ProgmanExecute(DWORD instance, const char *command)
{
    if (!g_bProgmanOpen)
        return 0;
    if (instance == g_idInst) {
        HCONV conv = ClientConversation();
        if (conv && Execute(conv, command))
            return 1;
        // The server answered: refused, or too slow to say.
        if (conv && !NotDelivered(DdeGetLastError(g_idInst)))
            return 0;
        // The server went away (perhaps without telling us yet) or was not
        // there. A client holding a dead conversation cannot connect again,
        // so a fresh client tries once more.
        g_conv = NULL;
        if (!StartProgramClient())
            return 0;
        conv = ClientConversation();
        return conv && Execute(conv, command) ? 1 : 0;
    }
    // Another client instance: a conversation of its own for this command.
    HCONV conv = Connect(instance);
    if (!conv)
        return 0;
    bool done = Execute(conv, command);
    DdeDisconnect(conv);
    return done ? 1 : 0;
}
