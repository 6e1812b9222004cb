#include "groups/shortcuts.h"

#include <windows.h>
#include <shlobj.h>
#include <string.h>

#include "groups/progman.h"
#include "shell/folders.h"
#include "shell/messages.h"
#include "shell/options.h"
#include "shell/paths.h"
#include "shell/sysdll.h"

namespace {

const char kSection[] = "ZELTRA";
const size_t kPathSize = 260;
const int kPrograms[] = {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS};

// Spelled out here: the link interface is found at run time, its library's
// GUIDs are not linked in.
const GUID kShellLinkClass = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID kShellLinkA = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID kPersistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// The shell's link interface for one task: ole32 and shell32 loaded from the
// system folder, COM started and ended with it. Windows 95, NT 4 and later
// have it; NT 3.51 and Win32s do not.
struct ShellLinks {
    decltype(&CoCreateInstance) create = NULL;
    decltype(&CoUninitialize) uninitialize = NULL;
    bool started = false;

    ShellLinks()
    {
        if (RunningOnWin32s() || (g_bWinNT && g_nWinMajor < 4))
            return;
        auto initialize = SystemFunction<decltype(&CoInitialize)>("ole32.dll", "CoInitialize");
        create = SystemFunction<decltype(&CoCreateInstance)>("ole32.dll", "CoCreateInstance");
        uninitialize = SystemFunction<decltype(&CoUninitialize)>("ole32.dll", "CoUninitialize");
        // cppcheck-suppress knownConditionTrueFalse ; three functions, not one value
        started = initialize && create && uninitialize && SUCCEEDED(initialize(NULL));
    }
    ~ShellLinks()
    {
        if (started)
            uninitialize();
    }
    ShellLinks(const ShellLinks &) = delete;
    ShellLinks &operator=(const ShellLinks &) = delete;

    // A new link and its file interface; false when there is none.
    bool New(IShellLinkA **link, IPersistFile **file)
    {
        *link = NULL;
        *file = NULL;
        if (!started || FAILED(create(kShellLinkClass, NULL, CLSCTX_INPROC_SERVER, kShellLinkA,
                                      reinterpret_cast<void **>(link))))
            return false;
        if (SUCCEEDED((*link)->QueryInterface(kPersistFile, reinterpret_cast<void **>(file))))
            return true;
        (*link)->Release();
        *link = NULL;
        return false;
    }
};

void Release(IShellLinkA *link, IPersistFile *file)
{
    if (file)
        file->Release();
    if (link)
        link->Release();
}

bool Refuse(char *why, size_t size, const char *reason)
{
    CopyText(why, size, reason);
    return false;
}

bool WidePath(WCHAR *dst, const char *path)
{
    return MultiByteToWideChar(CP_ACP, 0, path, -1, dst, MAX_PATH) > 0;
}

// A shell folder by the calls plain Windows 95 and NT 4 have.
bool SpecialFolderPath(int id, char *dst, size_t size)
{
    if (RunningOnWin32s() || (g_bWinNT && g_nWinMajor < 4))
        return false;
    auto location = SystemFunction<decltype(&SHGetSpecialFolderLocation)>("shell32.dll", "SHGetSpecialFolderLocation");
    auto pathOf = SystemFunction<decltype(&SHGetPathFromIDListA)>("shell32.dll", "SHGetPathFromIDListA");
    auto allocator = SystemFunction<decltype(&SHGetMalloc)>("shell32.dll", "SHGetMalloc");
    LPITEMIDLIST list = NULL;
    IMalloc *memory = NULL;
    if (!location || !pathOf || !allocator || FAILED(allocator(&memory)))
        return false;
    char path[MAX_PATH] = "";
    bool found = SUCCEEDED(location(NULL, id, &list)) && list && pathOf(list, path) && path[0];
    if (list)
        memory->Free(list);
    memory->Release();
    return found && CopyText(dst, size, path);
}

// Where a group without a shell goes: every user's Programs folder on NT,
// the one Programs folder on Windows 95 and 98.
bool ProgramsFolder(char *dst, size_t size)
{
    return (g_bWinNT && SpecialFolderPath(CSIDL_COMMON_PROGRAMS, dst, size)) ||
           SpecialFolderPath(CSIDL_PROGRAMS, dst, size);
}

bool LinkPath(char *dst, const char *folder, const char *itemName)
{
    return UsableAsFileName(itemName) && JoinAlways(dst, kPathSize, folder, itemName) &&
           AppendText(dst, kPathSize, ".lnk");
}

// An item as the shell makes it for its command: a link to the program,
// started in the working folder. A command line that names no file (a
// namespace name) is refused, as the shell refuses it.
bool SaveItem(ShellLinks &links, const ProgramItem &item, const char *path)
{
    IShellLinkA *link;
    IPersistFile *file;
    WCHAR wide[MAX_PATH];
    if (!IsExistingFile(item.command) || !WidePath(wide, path) || !links.New(&link, &file))
        return false;
    bool saved = SUCCEEDED(link->SetPath(item.command)) && SUCCEEDED(link->SetWorkingDirectory(item.folder)) &&
                 SUCCEEDED(file->Save(wide, TRUE));
    Release(link, file);
    return saved;
}

// The file a link points at; false when it cannot be read.
bool LinkTarget(ShellLinks &links, const char *path, char *target)
{
    IShellLinkA *link;
    IPersistFile *file;
    WCHAR wide[MAX_PATH];
    if (!WidePath(wide, path) || !links.New(&link, &file))
        return false;
    target[0] = '\0';
    bool read = SUCCEEDED(file->Load(wide, STGM_READ)) &&
                SUCCEEDED(link->GetPath(target, MAX_PATH, NULL, SLGP_RAWPATH)) && target[0];
    Release(link, file);
    return read;
}

bool DeleteIfOwn(ShellLinks &links, const char *path, const char *productFolder)
{
    char target[MAX_PATH], parent[MAX_PATH];
    if (!IsExistingFile(path) || !LinkTarget(links, path, target) || !CopyText(parent, sizeof parent, target))
        return false;
    char *slash = LastSeparator(parent, false);
    if (!slash)
        return false;
    *slash = '\0';
    return SamePath(parent, productFolder) && DeleteFileA(path);
}

}  // namespace

bool UsableAsFileName(const char *name)
{
    static const char *const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CLOCK$", "CONIN$", "CONOUT$"};
    size_t length = strlen(name);
    if (!length || length > 200 || strpbrk(name, "\\/:*?\"<>|") || name[length - 1] == '.' ||
        name[length - 1] == ' ' || name[0] == ' ')
        return false;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p; ++p)
        if (*p < ' ')
            return false;
    // A device name stays a device with any extension: "nul.txt", "COM1.lnk".
    size_t stem = strcspn(name, ".");
    for (const char *device : kDevices)
        if (stem == strlen(device) && SamePrefixIgnoringCase(name, device, stem))
            return false;
    bool numbered = stem == 4 && (SamePrefixIgnoringCase(name, "COM", 3) || SamePrefixIgnoringCase(name, "LPT", 3));
    return !(numbered && name[3] >= '0' && name[3] <= '9');
}

bool MakeShortcutGroup(const char *group, char *where, size_t whereSize, char *why, size_t whySize)
{
    ShellLinks links;
    char programs[kPathSize], folder[kPathSize];
    if (!links.started)
        return Refuse(why, whySize, "this Windows has no shortcuts");
    if (!UsableAsFileName(group))
        return Refuse(why, whySize, "the group's name cannot be a folder name");
    if (!ProgramsFolder(programs, sizeof programs) || !JoinAlways(folder, sizeof folder, programs, group))
        return Refuse(why, whySize, "no Programs folder was found");
    if (!CreateDirectoryA(folder, NULL) && GetLastError() != ERROR_ALREADY_EXISTS)
        return Refuse(why, whySize, "its folder could not be made");
    for (int i = 0; i < g_nProgramItems; ++i) {
        const ProgramItem &item = g_programItems[i];
        char path[kPathSize];
        if (!LinkPath(path, folder, item.name)) {
            LogFormat("Item \"%s\" not made: its name cannot be a file name.", item.name);
        } else if (!item.add) {
            DeleteIfOwn(links, path, item.folder);
        } else if (!SaveItem(links, item, path)) {
            LogFormat("Item \"%s\" not made: \"%s\" is no file a shortcut can start.", item.name, item.command);
        }
    }
    return CopyText(where, whereSize, folder);
}

void RecordGroup(const char *how, const char *folder)
{
    WriteProfileStringA(kSection, "GROUPHOW", how);
    WriteProfileStringA(kSection, "GROUPDIR", folder);
}

bool GroupMadeAsShortcuts()
{
    char how[16] = "";
    GetProfileStringA(kSection, "GROUPHOW", "", how, sizeof how);
    return lstrcmpiA(how, "shortcuts") == 0;
}

bool FoundGroupFolder(const char *group, char *dst, size_t size)
{
    char programs[kPathSize];
    if (!UsableAsFileName(group))
        return false;
    for (int id : kPrograms) {
        if (!SpecialFolderPath(id, programs, sizeof programs) || !JoinAlways(dst, size, programs, group))
            continue;
        DWORD attributes = GetFileAttributesA(dst);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return true;
    }
    return false;
}

bool RecordedGroupFolder(char *dst, size_t size)
{
    char recorded[kPathSize] = "", parent[kPathSize], programs[kPathSize];
    GetProfileStringA(kSection, "GROUPDIR", "", recorded, sizeof recorded);
    char *slash = LastSeparator(recorded, false);
    if (!slash || !UsableAsFileName(slash + 1) || !CopyText(parent, sizeof parent, recorded))
        return false;
    parent[slash - recorded] = '\0';
    // win.ini is anyone's to edit: only a group folder of a Programs folder.
    for (size_t i = 0; i < sizeof kPrograms / sizeof kPrograms[0]; ++i)
        if (SpecialFolderPath(kPrograms[i], programs, sizeof programs) && SamePath(parent, programs))
            return CopyText(dst, size, recorded);
    return false;
}

bool DeleteOwnShortcut(const char *groupFolder, const char *itemName, const char *productFolder)
{
    ShellLinks links;
    char path[kPathSize];
    return LinkPath(path, groupFolder, itemName) && DeleteIfOwn(links, path, productFolder);
}
