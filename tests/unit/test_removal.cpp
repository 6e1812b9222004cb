// The removal worker and driver, in-process: registry walk, files in use,
// the sweep, Program Manager items, and the driver's outcomes.
#include <windows.h>
#include <aclapi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileops/placement.h"
#include "flow/driver.h"
#include "flow/startup.h"
#include "groups/progman.h"
#include "registry/registry.h"
#include "removal/removal_driver.h"
#include "removal/removal_worker.h"
#include "removal/uninstaller.h"
#include "resource.h"
#include "shell/catalogue.h"
#include "shell/messages.h"
#include "shell/options.h"

#include "harness.h"
#include "install_state.h"
#include "uidriver.h"

namespace {

const char kTestRoot[] = "Software\\ZeltraTest\\Removal";
const char kRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char kRunServicesOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce";
const char kBaseServer[] = "CLSID\\" ZL_CLASS_BASE "\\InProcServer32";
const char kIniCaption[] = "ZELTRA Pro Installation";

// Run-once values whose command mentions needle; removed when take is set.
std::vector<std::string> RunOnceCommands(const std::string &needle, bool take, const char *where = kRunOnce)
{
    std::vector<std::string> found;
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, where, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return found;
    for (DWORD i = 0;; ++i) {
        char name[256];
        char data[1024];
        DWORD nameSize = sizeof name, dataSize = sizeof data - 1, type;
        if (RegEnumValueA(key, i, name, &nameSize, NULL, &type, reinterpret_cast<BYTE *>(data), &dataSize) !=
            ERROR_SUCCESS)
            break;
        data[dataSize] = '\0';
        std::string text(data);
        if (text.find(needle) != std::string::npos) {
            found.push_back(text);
            names.push_back(name);
        }
    }
    if (take)
        for (const std::string &name : names)
            RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
    return found;
}

std::string ShortPath(const std::string &path)
{
    char buffer[MAX_PATH];
    DWORD n = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer) : path;
}

void WriteListFiles(const std::string &folder, const InstallList &list)
{
    for (int i = 0; i < list.count; ++i)
        zt::WriteFileText(folder + "\\" + list.rows[i].sourceName, "x");
}

void WriteInstalledFiles(const std::string &folder)
{
    WriteListFiles(folder, g_basePrimaryList);
    WriteListFiles(folder, g_explorerList);
    WriteListFiles(folder, g_utilitiesList);
    WriteListFiles(folder, g_baseFurtherList);
}

// What the main window loads when it is created.
void FillDescriptions()
{
    LoadStringA(g_hInstance, 10012, g_szDescHelp, sizeof g_szDescHelp);
    LoadStringA(g_hInstance, 10013, g_szDescNews, sizeof g_szDescNews);
    LoadStringA(g_hInstance, 10070, g_szDescUninstall, sizeof g_szDescUninstall);
    LoadStringA(g_hInstance, 10053, g_szDescIconLink, sizeof g_szDescIconLink);
    LoadStringA(g_hInstance, 10036, g_szDescExplorerHelp, sizeof g_szDescExplorerHelp);
}

// Every test starts from a machine without the product's traces.
class RemovalTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetCatalogue();
        FillDescriptions();
        g_bWinNT = 1;
        g_bSilent = 0;
        g_bRebootNeeded = 0;
        zt::ClearWinIniSection("ZELTRA");
        zt::RegDeleteTreeAll(HKEY_CURRENT_USER, kTestRoot);
    }
    void TearDown() override
    {
        zt::ClearWinIniSection("ZELTRA");
        zt::RegDeleteTreeAll(HKEY_CURRENT_USER, "Software\\ZeltraTest");
        zt::RegDeleteTreeAll(HKEY_LOCAL_MACHINE, ZL_KEY_UNINSTALL);
        RemoveNamespaceKeys();
        UnregisterBaseProduct();
        RunOnceCommands("zt\\", true);
        RunOnceCommands("ZT\\", true);
        zt::CloseAllDialogs();
    }
};

// --- DeleteRegistryTree --------------------------------------------------

TEST_F(RemovalTest, DeleteRegistryTreeRemovesDeepAndWideTree)
{
    std::string path = kTestRoot;
    for (int depth = 0; depth < 12; ++depth) {
        path += "\\level" + std::to_string(depth);
        for (int sibling = 0; sibling < 3; ++sibling)
            zt::RegSetText(HKEY_CURRENT_USER, path + "\\leaf" + std::to_string(sibling), "v", "data");
    }
    EXPECT_EQ(1, DeleteRegistryTree(kTestRoot, HKEY_CURRENT_USER));
    EXPECT_FALSE(zt::RegKeyExists(HKEY_CURRENT_USER, kTestRoot));
    EXPECT_TRUE(zt::RegKeyExists(HKEY_CURRENT_USER, "Software\\ZeltraTest"));
    EXPECT_EQ(0, DeleteRegistryTree(kTestRoot, HKEY_CURRENT_USER));   // no longer there
}

// A sub-key that refuses both deletion and opening must end the walk, not
// hold it at index 0 for ever; its siblings still go.
TEST_F(RemovalTest, DeleteRegistryTreeStopsAtLockedSubKey)
{
    std::string locked = std::string(kTestRoot) + "\\b-locked";
    zt::RegSetText(HKEY_CURRENT_USER, locked + "\\child", "v", "x");
    zt::RegSetText(HKEY_CURRENT_USER, std::string(kTestRoot) + "\\a-free\\deep", "v", "x");
    zt::RegSetText(HKEY_CURRENT_USER, std::string(kTestRoot) + "\\c-free", "v", "x");

    // Deny everyone DELETE and the rights of KEY_ALL_ACCESS on the locked key.
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, locked.c_str(), 0, KEY_ALL_ACCESS, &key));
    // Reading stays allowed, so the key can still be seen.
    EXPLICIT_ACCESS_A rules[2] = {};
    BuildExplicitAccessWithNameA(&rules[0], const_cast<char *>("EVERYONE"),
                                 DELETE | KEY_CREATE_SUB_KEY | KEY_SET_VALUE, DENY_ACCESS, NO_INHERITANCE);
    BuildExplicitAccessWithNameA(&rules[1], const_cast<char *>("EVERYONE"), KEY_READ, GRANT_ACCESS,
                                 NO_INHERITANCE);
    PACL acl = NULL;
    ASSERT_EQ(DWORD(ERROR_SUCCESS), SetEntriesInAclA(2, rules, NULL, &acl));
    DWORD rc = SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL, acl, NULL);
    RegCloseKey(key);
    LocalFree(acl);
    ASSERT_EQ(DWORD(ERROR_SUCCESS), rc);
    HKEY probe;
    bool enforced = RegOpenKeyExA(HKEY_CURRENT_USER, locked.c_str(), 0, KEY_ALL_ACCESS, &probe) != ERROR_SUCCESS;
    if (enforced) {
        EXPECT_EQ(0, DeleteRegistryTree(kTestRoot, HKEY_CURRENT_USER));
        EXPECT_TRUE(zt::RegKeyExists(HKEY_CURRENT_USER, locked));
        EXPECT_FALSE(zt::RegKeyExists(HKEY_CURRENT_USER, std::string(kTestRoot) + "\\a-free"));
        EXPECT_FALSE(zt::RegKeyExists(HKEY_CURRENT_USER, std::string(kTestRoot) + "\\c-free"));
    } else {
        RegCloseKey(probe);
    }
    // Lift the lock so the clean-up can remove it.
    if (RegOpenKeyExA(HKEY_CURRENT_USER, locked.c_str(), 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
        SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL, NULL, NULL);
        RegCloseKey(key);
    }
    if (!enforced)
        GTEST_SKIP() << "key security is not enforced here";
}

// --- DeleteInstalledFile -------------------------------------------------

// A program image in use (mapped, like a running program): it cannot be
// deleted but can be renamed, so it becomes ".del" and a "del" of the
// short name runs at the next start.
HMODULE MapImageCopy(const std::string &path)
{
    if (!zt::CopyFileTo(zt::ExeDir() + "\\unit_removal.exe", path))
        return NULL;
    // A trailing dot keeps a name without extension from getting ".dll".
    std::string name = path.find('.', path.rfind('\\')) == std::string::npos ? path + "." : path;
    return LoadLibraryExA(name.c_str(), NULL, DONT_RESOLVE_DLL_REFERENCES);
}

// Short form of path, run-once commands naming it (taken away).
std::vector<std::string> CommandsFor(const std::string &path, const char *where = kRunOnce)
{
    return RunOnceCommands(ShortPath(path), true, where);
}

struct Platform {
    int winNT;
    const char *where;        // the run-once key of the platform
    const char *interpreter;
};

class ProgramInUseTest : public RemovalTest, public testing::WithParamInterface<Platform> {};

TEST_P(ProgramInUseTest, IsRenamedAndScheduled)
{
    const Platform &p = GetParam();
    g_bWinNT = p.winNT;
    std::string dir = zt::FreshDir("rm_inuse");
    std::string file = dir + "\\zlclient.exe";
    HMODULE image = MapImageCopy(file);
    ASSERT_TRUE(image != NULL);

    char error[256] = "";
    EXPECT_EQ(0, DeleteInstalledFile(file.c_str(), error));
    EXPECT_EQ("failed to delete " + file, std::string(error));
    EXPECT_EQ(1, g_bRebootNeeded);
    std::string renamed = dir + "\\zlclient.del";
    EXPECT_TRUE(zt::FileExists(renamed));
    EXPECT_FALSE(zt::FileExists(file));
    std::vector<std::string> commands = CommandsFor(renamed, p.where);
    ASSERT_EQ(1u, commands.size());
    EXPECT_EQ(std::string(p.interpreter) + " /c del \"" + ShortPath(renamed) + "\"", commands[0]);

    FreeLibrary(image);
    zt::RemoveTree(dir);
}

INSTANTIATE_TEST_SUITE_P(Platforms, ProgramInUseTest,
                         testing::Values(Platform{1, kRunOnce, "cmd.exe"},
                                         Platform{0, kRunServicesOnce, "command.com"}));

// The extension starts at the last dot of the file name, not of a folder.
TEST_F(RemovalTest, NameWithoutExtensionInDottedFolderGetsDelAppended)
{
    std::string dir = zt::FreshDir("rm.dotted");
    std::string file = dir + "\\README";
    HMODULE image = MapImageCopy(file);
    ASSERT_TRUE(image != NULL);
    EXPECT_EQ(0, DeleteInstalledFile(file.c_str(), NULL));
    EXPECT_TRUE(zt::FileExists(dir + "\\README.del"));
    EXPECT_FALSE(zt::FileExists(dir.substr(0, dir.rfind('.')) + ".del"));
    EXPECT_EQ(1u, CommandsFor(dir + "\\README.del").size());
    FreeLibrary(image);
    zt::RemoveTree(dir);
}

// Held open without delete sharing, the file cannot even be renamed: the
// "del" names it as it is.
TEST_F(RemovalTest, FileThatCannotBeRenamedIsScheduledUnderItsName)
{
    std::string dir = zt::FreshDir("rm_held");
    std::string file = dir + "\\zlcore32.dll";
    zt::WriteFileText(file, "busy");
    HANDLE held = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(0, DeleteInstalledFile(file.c_str(), NULL));
    EXPECT_TRUE(zt::FileExists(file));
    std::vector<std::string> commands = CommandsFor(file);
    ASSERT_EQ(1u, commands.size());
    EXPECT_EQ("cmd.exe /c del \"" + ShortPath(file) + "\"", commands[0]);
    EXPECT_EQ(1, g_bRebootNeeded);
    CloseHandle(held);
    zt::RemoveTree(dir);
}

struct SweepCase {
    const char *name;
    bool swept;
};

class RemoveInstallationTest : public RemovalTest {
protected:
    std::string dir;
    void SetUp() override
    {
        RemovalTest::SetUp();
        dir = zt::FreshDir("rm_install");
        WriteInstalledFiles(dir);
        // No Program Manager work in these cases.
        WriteProfileStringA("ZELTRA", "GROUP", "");
    }
    void TearDown() override
    {
        zt::RemoveTree(dir);
        RemovalTest::TearDown();
    }
    int Remove(int mask, char *error)
    {
        return RemoveInstallation(dir.c_str(), mask, error, NULL, NULL);
    }
};

TEST_F(RemoveInstallationTest, RemovesRegistryEntriesAndCatalogueFiles)
{
    zt::RegSetText(HKEY_LOCAL_MACHINE, ZL_KEY_UNINSTALL, "DisplayName", "x");
    zt::RegSetText(HKEY_LOCAL_MACHINE, std::string(ZL_KEY_UNINSTALL) + "\\extra\\deeper", "v", "x");
    for (const char *cls : {ZL_CLASS_EXPLORER, ZL_CLASS_ICON_LINK})
        for (bool desktop : {true, false})
            zt::RegSetText(HKEY_LOCAL_MACHINE, zt::NamespaceKey(desktop, cls), NULL, "x");
    zt::RegSetText(HKEY_CLASSES_ROOT, kBaseServer, NULL, "C:\\x\\zlclient.exe");
    zt::RegSetText(HKEY_CLASSES_ROOT, kBaseServer, "ThreadingModel", "Apartment");
    zt::WriteFileText(dir + "\\mine.dat", "user data");
    // Copies an in-use replacement left for the next start go with their files.
    for (const char *pending : {"zlclient.new", "zlexpl32.new", "zlsyncd.new", "zlstub.new"})
        zt::WriteFileText(dir + "\\" + pending, "x");

    char error[256] = "stale";
    EXPECT_EQ(1, Remove(15, error));

    EXPECT_STREQ("", error);
    EXPECT_FALSE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, ZL_KEY_UNINSTALL));
    for (const char *cls : {ZL_CLASS_EXPLORER, ZL_CLASS_ICON_LINK})
        for (bool desktop : {true, false})
            EXPECT_FALSE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, zt::NamespaceKey(desktop, cls)));
    EXPECT_FALSE(zt::RegKeyExists(HKEY_CLASSES_ROOT, kBaseServer));
    EXPECT_TRUE(zt::RegKeyExists(HKEY_CLASSES_ROOT, "CLSID\\" ZL_CLASS_BASE));
    std::vector<std::string> left = zt::ListDir(dir);
    EXPECT_EQ(std::vector<std::string>{"mine.dat"}, left);
    EXPECT_EQ(0, g_bRebootNeeded);
    zt::RegDeleteTreeAll(HKEY_CLASSES_ROOT, "CLSID\\" ZL_CLASS_BASE);
}

TEST_F(RemoveInstallationTest, MaskWithoutComponentsOnlyRemovesUninstallEntry)
{
    zt::RegSetText(HKEY_LOCAL_MACHINE, ZL_KEY_UNINSTALL, "DisplayName", "x");
    zt::RegSetText(HKEY_LOCAL_MACHINE, zt::NamespaceKey(true, ZL_CLASS_EXPLORER), NULL, "x");
    char error[256] = "";
    EXPECT_EQ(1, Remove(0x10, error));
    EXPECT_STREQ("Nothing to do!", error);
    EXPECT_FALSE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, ZL_KEY_UNINSTALL));
    EXPECT_TRUE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, zt::NamespaceKey(true, ZL_CLASS_EXPLORER)));
    EXPECT_TRUE(zt::FileExists(dir + "\\zlclient.exe"));
    // The entry of an installation in another folder is not this one's.
    zt::RegSetText(HKEY_LOCAL_MACHINE, ZL_KEY_UNINSTALL, "InstallLocation", "C:\\elsewhere");
    EXPECT_EQ(1, Remove(0x10, error));
    EXPECT_TRUE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, ZL_KEY_UNINSTALL));
    zt::RegDeleteTreeAll(HKEY_LOCAL_MACHINE, ZL_KEY_UNINSTALL);
}

TEST_F(RemoveInstallationTest, OnlyChosenComponentsLoseTheirFiles)
{
    char error[256];
    Remove(kComponentExplorer, error);
    EXPECT_FALSE(zt::FileExists(dir + "\\zlexpl32.dll"));
    EXPECT_FALSE(zt::FileExists(dir + "\\zllink.exe"));   // the icon link always goes
    EXPECT_TRUE(zt::FileExists(dir + "\\zlclient.exe"));
    EXPECT_TRUE(zt::FileExists(dir + "\\zlfind.exe"));
}

const SweepCase kSweepCases[] = {
    {"notes.BAK", true},   {"x.tmp", true},        {"ZLCORE32.GID", true}, {"setup.log", true},
    {"a.b.Log", true},     {"README", false},      {"bak", false},         {"keep.txt", false},
    {"x.bak2", false},     {"site.ini", false},    {"USER.INI", false},    {"zeltra.ini", false},
};

// Backup, temporary, help-index and log files always go, INI files of any
// case only after Yes; a name without a dot never.
class SweepTest : public RemoveInstallationTest, public testing::WithParamInterface<int> {};

TEST_P(SweepTest, AnswerDecidesTheIniFiles)
{
    const int answer = GetParam();
    for (const SweepCase &c : kSweepCases)
        zt::WriteFileText(dir + "\\" + c.name, "x");
    CreateDirectoryA((dir + "\\sub.ini").c_str(), NULL);
    zt::Driver driver([answer] {
        zt::MessageBoxSeen box = zt::AnswerMessageBox("INI files", answer);
        EXPECT_TRUE(box);
        EXPECT_EQ(kIniCaption, box.caption);
    });
    char error[256];
    Remove(15, error);
    driver.Join();
    for (const SweepCase &c : kSweepCases) {
        const char *dot = strrchr(c.name, '.');
        bool ini = dot && lstrcmpiA(dot, ".ini") == 0;
        EXPECT_EQ(!(c.swept || (ini && answer == IDYES)), zt::FileExists(dir + "\\" + c.name)) << c.name;
    }
    EXPECT_TRUE(zt::DirExists(dir + "\\sub.ini"));
}

INSTANTIATE_TEST_SUITE_P(Answers, SweepTest, testing::Values(IDNO, IDYES));

TEST_F(RemoveInstallationTest, NoQuestionWithoutProductIni)
{
    zt::WriteFileText(dir + "\\sitesav.ini", "x");
    zt::Driver driver([] { EXPECT_FALSE(zt::WaitForMessageBox("INI files", 0, 1500)); });
    char error[256];
    Remove(15, error);
    driver.Join();
    EXPECT_TRUE(zt::FileExists(dir + "\\sitesav.ini"));
}

// The product's DLLs unregister themselves and the scheduler is told twice
// to remove itself, before their files go.
TEST_F(RemoveInstallationTest, ProductUnregistersItself)
{
    std::string product = zt::ExeDir() + "\\product";
    if (!zt::FileExists(product + "\\zlsched.exe"))
        GTEST_SKIP() << "stand-in product not built";
    for (const char *name : {"zlexpl32.dll", "zlbrowse.dll", "zlstub.dll", "zlsched.exe"})
        ASSERT_TRUE(zt::CopyFileTo(product + "\\" + name, dir + "\\" + name));
    std::string logDir = zt::FreshDir("rm_calls");
    std::string log = logDir + "\\calls.log";
    SetEnvironmentVariableA("ZELTRA_CALL_LOG", log.c_str());

    char error[256];
    Remove(15, error);
    std::vector<std::string> calls;
    for (int i = 0; i < 200; ++i) {
        calls = zt::ReadLines(log);
        if (calls.size() >= 5)
            break;
        Sleep(50);
    }
    SetEnvironmentVariableA("ZELTRA_CALL_LOG", NULL);

    std::vector<std::string> dlls, scheduler;
    for (const std::string &line : calls)
        (line.find(".dll ") != std::string::npos ? dlls : scheduler).push_back(line);
    std::vector<std::string> expected = {"zlexpl32.dll DllUnregisterServer", "zlbrowse.dll DllUnregisterServer",
                                         "zlstub.dll DllUnregisterServer"};
    EXPECT_EQ(expected, dlls);
    EXPECT_EQ((std::vector<std::string>{"zlsched.exe -remove", "zlsched.exe -remove"}), scheduler);
    for (const char *name : {"zlexpl32.dll", "zlbrowse.dll", "zlstub.dll"})
        EXPECT_FALSE(zt::FileExists(dir + "\\" + name)) << name;
    // The scheduler may still be running: gone, or waiting for the restart.
    EXPECT_FALSE(zt::FileExists(dir + "\\zlsched.exe") && !g_bRebootNeeded);
    Sleep(1000);
    zt::RemoveTree(logDir);
}

// Items go from the recorded group only: another group holding an item of
// the same title, and the group's foreign items, stay.
TEST_F(RemoveInstallationTest, ItemsLeaveOnlyTheRecordedGroup)
{
    std::string programs = zt::ProgramsMenuFolder();
    ASSERT_FALSE(programs.empty());
    std::string mine = programs + "\\ZT My Tools";
    std::string other = programs + "\\ZT Other";
    CreateDirectoryA(mine.c_str(), NULL);
    CreateDirectoryA(other.c_str(), NULL);
    for (const char *item : {"ZELTRA Pro", "ZELTRA Find Utility", "ZELTRA Pro Explorer", "ZELTRA Pro Uninstall",
                             "Notepad"})
        zt::WriteFileText(mine + "\\" + item + ".lnk", "x");
    zt::WriteFileText(other + "\\ZELTRA Pro.lnk", "x");
    // Leave the other group current, as another installer might have.
    ASSERT_EQ(1, StartProgramClient());
    ShowProgramGroup("ZT Other");
    CloseProgramGroup();
    WriteProfileStringA("ZELTRA", "GROUP", "ZT My Tools");

    char error[256];
    Remove(15, error);

    EXPECT_EQ(std::vector<std::string>{"Notepad.lnk"}, zt::ListDir(mine));
    EXPECT_TRUE(zt::FileExists(other + "\\ZELTRA Pro.lnk"));
    zt::RemoveTree(mine);
    zt::RemoveTree(other);
}

TEST_F(RemoveInstallationTest, DefaultGroupIsDeleted)
{
    std::string programs = zt::ProgramsMenuFolder();
    ASSERT_FALSE(programs.empty());
    std::string group = programs + "\\ZELTRA Pro";
    CreateDirectoryA(group.c_str(), NULL);
    zt::WriteFileText(group + "\\ZELTRA Pro.lnk", "x");
    WriteProfileStringA("ZELTRA", "GROUP", NULL);   // missing: the default name

    char error[256];
    Remove(15, error);
    EXPECT_FALSE(zt::DirExists(group));
    zt::RemoveTree(group);
}

// Folders others use: a crafted or mistaken DIR naming one must not lose
// anything but the catalogue's files.
std::string EnvFolder(const char *name)
{
    char value[MAX_PATH] = "";
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? value : "";
}

std::string ShellFolder(const char *name)
{
    std::string value;
    zt::RegValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", name,
                 &value);
    return value;
}

TEST(SharedFolder, IsToldFromTheProductsOwn)
{
    char windows[MAX_PATH], system[MAX_PATH], temp[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    GetSystemDirectoryA(system, sizeof system);
    GetTempPathA(sizeof temp, temp);
    std::string profile = EnvFolder("USERPROFILE");
    std::string lowered = windows;
    CharLowerA(&lowered[0]);
    std::string shared[] = {"C:\\", "C:", std::string(windows), lowered + "\\", std::string(windows) + "/.",
                            system, temp, EnvFolder("ProgramFiles"), profile,
                            profile.substr(0, profile.rfind('\\')), ShellFolder("Personal"),
                            ShellFolder("Desktop"), ShellFolder("AppData"), "\\\\?\\" + lowered, "\\\\.\\" + lowered,
                            "\\\\?\\" + std::string(system) + "\\", "\\??\\C:", "\\\\?\\Volume{0}\\x"};
    for (const std::string &folder : shared) {
        ASSERT_FALSE(folder.empty());
        EXPECT_TRUE(FolderIsShared(folder.c_str())) << folder;
    }
    std::string own = zt::FreshDir("rm_own");
    for (const std::string &folder :
         {own, "\\\\?\\" + own, EnvFolder("ProgramFiles") + "\\ZELTRA Pro", std::string(windows) + "x"})
        EXPECT_FALSE(FolderIsShared(folder.c_str())) << folder;
    zt::RemoveTree(own);
}

// --- RunRemoval ----------------------------------------------------------

class RunRemovalTest : public RemovalTest {
protected:
    std::string dir;
    void SetUp() override
    {
        RemovalTest::SetUp();
        dir = zt::FreshDir("rm_driver");
        WriteInstalledFiles(dir);
    }
    void TearDown() override
    {
        zt::RemoveTree(dir);
        RemovalTest::TearDown();
    }
    void Record(const char *instopts)
    {
        WriteProfileStringA("ZELTRA", "DIR", dir.c_str());
        WriteProfileStringA("ZELTRA", "GROUP", "");
        if (instopts)
            WriteProfileStringA("ZELTRA", "INSTOPTS", instopts);
    }
};

TEST_F(RunRemovalTest, WithoutCompletedInstallationTouchesNothing)
{
    Record(NULL);
    zt::Driver driver([] {
        zt::MessageBoxSeen box = zt::AnswerMessageBox("Insufficient information", IDOK);
        EXPECT_EQ("Remove", box.caption);
    });
    EXPECT_EQ(0, RunRemoval(NULL, 15, 15));
    driver.Join();
    EXPECT_EQ(dir, zt::WinIni("ZELTRA", "DIR"));
    EXPECT_TRUE(zt::FileExists(dir + "\\zlclient.exe"));
}

// While the INI question is up, the status dialog shows the sweep and
// offers no Cancel; a complete removal leaves no folder and no section.
TEST_F(RunRemovalTest, StatusDialogHasNoCancel)
{
    Record("12");
    zt::WriteFileText(dir + "\\zeltra.ini", "[x]\r\n");
    zt::Driver driver([] {
        HWND status = zt::WaitForDialog({"Removal process", IDC_STATUS_TEXT});
        ASSERT_TRUE(status != NULL);
        EXPECT_FALSE(zt::IsShown(status, IDCANCEL));
        EXPECT_FALSE(zt::IsEnabled(status, IDCANCEL));
        EXPECT_TRUE(zt::WaitForMessageBox("INI files"));
        EXPECT_EQ("Deleting files", zt::ControlText(status, IDC_STATUS_TEXT));
        zt::AnswerMessageBox("INI files", IDYES);
        zt::MessageBoxSeen done = zt::AnswerMessageBox("All files removed", IDOK);
        EXPECT_EQ("Remove", done.caption);
    });
    EXPECT_EQ(0, RunRemoval(NULL, 0, 0));
    driver.Join();
    EXPECT_FALSE(zt::DirExists(dir));
    EXPECT_EQ("\x01", zt::WinIni("ZELTRA", "DIR"));
    EXPECT_EQ(0, g_bRebootNeeded);
}

TEST_F(RunRemovalTest, UserFileKeepsFolderAndNamesIt)
{
    Record("12");
    zt::WriteFileText(dir + "\\download.zip", "mine");
    std::string expected = "Check the folder " + dir + " for excess files";
    zt::Driver driver([expected] {
        zt::MessageBoxSeen box = zt::AnswerMessageBox("Check the folder", IDOK);
        EXPECT_NE(std::string::npos, box.text.find(expected)) << box.text;
        EXPECT_EQ("Remove", box.caption);
    });
    RunRemoval(NULL, 0, 0);
    driver.Join();
    EXPECT_TRUE(zt::FileExists(dir + "\\download.zip"));
    EXPECT_EQ(0, g_bRebootNeeded);
    EXPECT_TRUE(RunOnceCommands("rmdir", false).empty());
}

// Recorded in the temporary folder (a folder others use): the catalogue's
// files go, nothing is swept or asked, and the folder stays.
TEST_F(RunRemovalTest, SharedFolderLosesOnlyTheCatalogueFiles)
{
    std::string savedTmp = EnvFolder("TMP"), savedTemp = EnvFolder("TEMP");
    SetEnvironmentVariableA("TMP", dir.c_str());
    SetEnvironmentVariableA("TEMP", dir.c_str());
    Record("12");
    for (const char *name : {"other.log", "other.bak", "zeltra.ini", "sites.ini"})
        zt::WriteFileText(dir + "\\" + name, "theirs");
    zt::Driver driver([] {
        zt::MessageBoxSeen box = zt::AnswerMessageBox("", IDOK);
        EXPECT_NE(std::string::npos, box.text.find("Check the folder")) << box.text;
    });
    RunRemoval(NULL, 0, 0);
    driver.Join();
    SetEnvironmentVariableA("TMP", savedTmp.empty() ? NULL : savedTmp.c_str());
    SetEnvironmentVariableA("TEMP", savedTemp.empty() ? NULL : savedTemp.c_str());
    EXPECT_FALSE(zt::FileExists(dir + "\\zlclient.exe"));
    EXPECT_FALSE(zt::FileExists(dir + "\\zlexpl32.dll"));
    for (const char *name : {"other.log", "other.bak", "zeltra.ini", "sites.ini"})
        EXPECT_TRUE(zt::FileExists(dir + "\\" + name)) << name;
    EXPECT_TRUE(zt::DirExists(dir));

    // Emptied all the same, it still stays.
    for (const char *name : {"other.log", "other.bak", "zeltra.ini", "sites.ini"})
        DeleteFileA((dir + "\\" + name).c_str());
    WriteInstalledFiles(dir);
    SetEnvironmentVariableA("TMP", dir.c_str());
    SetEnvironmentVariableA("TEMP", dir.c_str());
    Record("12");
    zt::Driver again([] { EXPECT_TRUE(zt::AnswerMessageBox("Check the folder", IDOK)); });
    RunRemoval(NULL, 0, 0);
    again.Join();
    SetEnvironmentVariableA("TMP", savedTmp.empty() ? NULL : savedTmp.c_str());
    SetEnvironmentVariableA("TEMP", savedTemp.empty() ? NULL : savedTemp.c_str());
    EXPECT_TRUE(zt::DirExists(dir));
    EXPECT_TRUE(zt::ListDir(dir).empty());
}

// A file in use: its deletion and the folder's are scheduled, and the
// restart question follows; Cancel keeps the schedule without a restart.
TEST_F(RunRemovalTest, FileInUseSchedulesFolderAndAsksRestart)
{
    Record("12");
    std::string busy = dir + "\\zlclient.exe";
    HANDLE held = CreateFileA(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    std::string shortDir = ShortPath(dir);
    zt::Driver driver([] {
        zt::MessageBoxSeen box = zt::AnswerMessageBox("needs to restart", IDCANCEL);
        EXPECT_EQ("Congratulations!", box.caption);
    });
    RunRemoval(NULL, 0, 0);
    driver.Join();
    EXPECT_EQ(0, g_bRebootNeeded);
    std::vector<std::string> rmdir = RunOnceCommands("rmdir", true);
    ASSERT_EQ(1u, rmdir.size());
    EXPECT_EQ("cmd.exe /c rmdir \"" + shortDir + "\" ", rmdir[0]);
    EXPECT_EQ(1u, RunOnceCommands("/c del ", true).size());
    EXPECT_EQ("\x01", zt::WinIni("ZELTRA", "DIR"));
    CloseHandle(held);
}

}  // namespace

// The entry writes its values without quotes: a folder's blanks and dashes
// must not end it early, nor let it take in the group.
TEST(UninstallOptions, ReadTheEntrysUnquotedValues)
{
    struct Case {
        const char *line, *folder, *group;
        bool quiet;
    } cases[] = {
        {"-f C:\\Program Files\\ZELTRA Pro -d C:\\Program Files\\ZELTRA Pro -g ZELTRA Pro",
         "C:\\Program Files\\ZELTRA Pro", "ZELTRA Pro", false},
        {"-q -f C:\\A -d B -g C -d C:\\A -d B -g C -g Tools -d x", "C:\\A -d B -g C", "Tools -d x", true},
        {"/S /norestart -d \"C:\\x y\" ", "C:\\x y", "", true},
        {"", "", "", false},
    };
    for (const Case &c : cases) {
        UninstallOptions o;
        ASSERT_TRUE(ParseUninstallOptions(c.line, &o)) << c.line;
        EXPECT_STREQ(c.folder, o.folder) << c.line;
        EXPECT_STREQ(c.group, o.group) << c.line;
        EXPECT_EQ(c.quiet, o.quiet) << c.line;
        EXPECT_FALSE(o.isCopy);
    }
    UninstallOptions o;
    ASSERT_TRUE(ParseUninstallOptions("-copyof 12 345 \"C:\\P F\\zlrem32.exe\" -q -g G", &o));
    EXPECT_TRUE(o.isCopy && o.quiet);
    EXPECT_EQ(12ul, o.resultPipe);
    EXPECT_EQ(345ul, o.originalId);
    EXPECT_STREQ("C:\\P F\\zlrem32.exe", o.original);
    EXPECT_STREQ("G", o.group);
    EXPECT_FALSE(ParseUninstallOptions("-copyof 12 \"C:\\x\"", &o));
}
