#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "groups/progman.h"
#include "groups/shortcuts.h"
#include "harness.h"
#include "progman_fake.h"
#include "shell/messages.h"
#include "uidriver.h"

namespace {

using Commands = std::vector<std::string>;

// A DDE client instance of the test's own, for calling ProgmanExecute.
struct OwnInstance {
    DWORD id = 0;
    OwnInstance() { DdeInitializeA(&id, ProgmanCallback, APPCMD_CLIENTONLY, 0); }
    ~OwnInstance() { DdeUninitialize(id); }
};

// The commands of one builder call, as the stand-in received them.
class ProgmanCommands : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fake_.Ready());
        ASSERT_EQ(1, StartProgramClient());
    }
    void TearDown() override { CloseProgramGroup(); }
    Commands Take()
    {
        Commands sent = fake_.Commands();
        fake_.ClearRecord();
        return sent;
    }
    zt::FakeProgman fake_;
};

TEST_F(ProgmanCommands, EachCommandTravelsWithItsZero)
{
    EXPECT_EQ(1, CreateProgramGroup("ZELTRA Pro"));
    EXPECT_EQ(1, ShowProgramGroup("ZELTRA Pro"));
    std::vector<zt::RecordedCommand> got = fake_.Recorded();
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ("[CreateGroup(ZELTRA Pro)]", got[0].text);
    EXPECT_EQ(got[0].text.size() + 1, got[0].bytes);
    EXPECT_EQ("[ShowGroup(ZELTRA Pro,1)]", got[1].text);
    EXPECT_EQ(1, g_bProgmanOpen);
}

TEST_F(ProgmanCommands, AddItemReplacesAnItemOfTheSameName)
{
    EXPECT_EQ(1, AddProgramItem("ZELTRA Pro", "C:\\Program Files\\ZELTRA Pro", "zlclient.exe", ""));
    EXPECT_EQ((Commands{"[DeleteItem(\"ZELTRA Pro\")]",
                        "[AddItem(\"C:\\Program Files\\ZELTRA Pro\\zlclient.exe\",\"ZELTRA Pro\",,,,,"
                        "C:\\Program Files\\ZELTRA Pro)]"}),
              Take());
}

TEST_F(ProgmanCommands, ItemNameProgramPathAndCommandLineRules)
{
    // No item name: the file name.
    AddProgramItem("", "C:\\Dir", "readme.txt", "");
    EXPECT_EQ((Commands{"[DeleteItem(\"readme.txt\")]",
                        "[AddItem(\"C:\\Dir\\readme.txt\",\"readme.txt\",,,,,C:\\Dir)]"}),
              Take());

    // A file name with "\" is the whole program path.
    AddProgramItem("Help", "C:\\Dir", "D:\\Other\\help.hlp", NULL);
    EXPECT_EQ((Commands{"[DeleteItem(\"Help\")]", "[AddItem(\"D:\\Other\\help.hlp\",\"Help\",,,,,C:\\Dir)]"}),
              Take());

    // A command line given is used unchanged.
    AddProgramItem("ZELTRA Pro Explorer", "C:\\Dir", "",
                   "ZELTRA Pro Explorer.{7c3e2a91-5b04-4d8f-9a61-2e5f8c0b3d01}");
    EXPECT_EQ((Commands{"[DeleteItem(\"ZELTRA Pro Explorer\")]",
                        "[AddItem(\"ZELTRA Pro Explorer.{7c3e2a91-5b04-4d8f-9a61-2e5f8c0b3d01}\","
                        "\"ZELTRA Pro Explorer\",,,,,C:\\Dir)]"}),
              Take());

    // A folder ending in "\" still gets one; the mixed "/" and "\" form none.
    AddProgramItem("A", "C:\\Dir\\", "a.exe", "");
    AddProgramItem("B", "C:/Dir\\Sub", "b.exe", "");
    Commands sent = Take();
    ASSERT_EQ(4u, sent.size());
    EXPECT_EQ("[AddItem(\"C:\\Dir\\\\a.exe\",\"A\",,,,,C:\\Dir\\)]", sent[1]);
    EXPECT_EQ("[AddItem(\"C:/Dir\\Subb.exe\",\"B\",,,,,C:/Dir\\Sub)]", sent[3]);

    // Deleting takes the item name by the same rule.
    DeleteProgramItem("", "C:\\Dir", "readme.txt", "");
    DeleteProgramItem("Help", "C:\\Dir", "D:\\Other\\help.hlp", "");
    EXPECT_EQ((Commands{"[DeleteItem(\"readme.txt\")]", "[DeleteItem(\"Help\")]"}), Take());
}

TEST_F(ProgmanCommands, NoFolderMeansTheCurrentDirectory)
{
    std::string dir = zt::FreshDir("progman_cwd");
    char saved[MAX_PATH];
    GetCurrentDirectoryA(sizeof saved, saved);
    SetCurrentDirectoryA(dir.c_str());
    AddProgramItem("Tool", "", "tool.exe", "");
    AddProgramItem("Tool", NULL, "tool.exe", "");
    SetCurrentDirectoryA(saved);
    Commands sent = Take();
    ASSERT_EQ(4u, sent.size());
    std::string expected = "[AddItem(\"" + dir + "\\tool.exe\",\"Tool\",,,,," + dir + ")]";
    EXPECT_EQ(expected, sent[1]);
    EXPECT_EQ(expected, sent[3]);
}

TEST_F(ProgmanCommands, OnlyTheDefaultGroupIsDeleted)
{
    EXPECT_EQ(1, DeleteProgramGroup("My Tools"));
    EXPECT_EQ(0, g_bProgmanOpen);
    EXPECT_TRUE(Take().empty());

    ASSERT_EQ(1, StartProgramClient());
    EXPECT_EQ(1, DeleteProgramGroup("zeltra pro"));
    EXPECT_EQ(0, g_bProgmanOpen);
    EXPECT_EQ((Commands{"[DeleteGroup(zeltra pro)]"}), Take());

    // Closed already: nothing to send.
    EXPECT_EQ(1, DeleteProgramGroup("ZELTRA Pro"));
    EXPECT_TRUE(Take().empty());
}

TEST_F(ProgmanCommands, AClosedClientSendsNothing)
{
    EXPECT_EQ(1, CloseProgramGroup());
    EXPECT_EQ(0, g_bProgmanOpen);
    OwnInstance own;
    ASSERT_NE(0u, own.id);
    EXPECT_EQ(0, ProgmanExecute(own.id, "[CreateGroup(X)]"));
    EXPECT_EQ(1, AddProgramItem("X", "C:\\Dir", "x.exe", ""));
    EXPECT_EQ(1, DeleteProgramItem("X", "C:\\Dir", "x.exe", ""));
    EXPECT_EQ(0, ShowProgramGroup("X"));
    EXPECT_TRUE(Take().empty());
}

TEST_F(ProgmanCommands, ExecuteReportsWhetherTheServerAccepted)
{
    {
        OwnInstance own;
        EXPECT_EQ(1, ProgmanExecute(own.id, "[ExitProgman(1)]"));
    }
    EXPECT_EQ((Commands{"[ExitProgman(1)]"}), Take());
    CloseProgramGroup();
    fake_.Stop();

    zt::FakeProgmanOptions refusing;
    refusing.refuseCommands = true;
    zt::FakeProgman fake(refusing);
    ASSERT_TRUE(fake.Ready());
    ASSERT_EQ(1, CreateProgramGroup("Refused"));
    EXPECT_EQ(0, ShowProgramGroup("Refused"));
    EXPECT_EQ((Commands{"[CreateGroup(Refused)]", "[ShowGroup(Refused,1)]"}), fake.Commands());
}

// The client keeps one conversation for a group session; a server that went
// away and came back in between must still get the next command.
TEST_F(ProgmanCommands, ACommandAfterTheServerRestartedStillArrives)
{
    EXPECT_EQ(1, CreateProgramGroup("First"));
    EXPECT_EQ(1, AddProgramItem("A", "C:\\ZL", "a.exe", ""));
    EXPECT_EQ(3u, Take().size());
    fake_.Stop();

    zt::FakeProgman again;
    ASSERT_TRUE(again.Ready());
    EXPECT_EQ(1, ShowProgramGroup("First"));
    EXPECT_EQ((Commands{"[ShowGroup(First,1)]"}), again.Commands());
}

// A name must not end its argument or its command early and so start
// another command.
TEST_F(ProgmanCommands, NamesWithCommandCharactersStayOneArgument)
{
    CreateProgramGroup("Tools (old), new");
    CreateProgramGroup("Evil)][DeleteGroup(Accessories");
    ShowProgramGroup("[Games]");
    AddProgramItem("Item, (1)", "C:\\Program Files (x86)\\ZELTRA Pro", "zl.exe", "");
    EXPECT_EQ((Commands{"[CreateGroup(\"Tools (old), new\")]",
                        "[CreateGroup(\"Evil)][DeleteGroup(Accessories\")]",
                        "[ShowGroup(\"[Games]\",1)]",
                        "[DeleteItem(\"Item, (1)\")]",
                        "[AddItem(\"C:\\Program Files (x86)\\ZELTRA Pro\\zl.exe\",\"Item, (1)\",,,,,"
                        "\"C:\\Program Files (x86)\\ZELTRA Pro\")]"}),
              Take());
}

TEST_F(ProgmanCommands, NamesThatCannotBeCarriedAreRefused)
{
    CreateProgramGroup("Quote\"d");
    ShowProgramGroup("Line\r\nBreak");
    AddProgramItem("Say \"hi\")][DeleteGroup(X)]", "C:\\Dir", "x.exe", "");
    AddProgramItem("Fine", "C:\\Dir", "", "cmd \"quoted\"");
    DeleteProgramItem("a\"b", "C:\\Dir", "x.exe", "");
    EXPECT_TRUE(Take().empty());
}

TEST_F(ProgmanCommands, CommandsThatDoNotFitAreRefusedWhole)
{
    std::string longName(520, 'g');
    CreateProgramGroup(longName.c_str());
    // Each part fits its 260 characters, the command not its 516.
    std::string folder = "C:\\" + std::string(200, 'f');
    std::string item(200, 'i');
    AddProgramItem(item.c_str(), folder.c_str(), "x.exe", "");
    // A folder over 260 characters is not cut.
    std::string deep = "C:\\" + std::string(300, 'd');
    AddProgramItem("Short", deep.c_str(), "x.exe", "");
    EXPECT_TRUE(Take().empty());

    // Just fitting: 515 characters and the zero.
    std::string fits(515 - strlen("[CreateGroup()]"), 'n');
    CreateProgramGroup(fits.c_str());
    Commands sent = Take();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(515u, sent[0].size());
}

// --- Against Wine's own Program Manager server (no stand-in running) ---

std::string ProgramsFolder()
{
    char appData[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("APPDATA", appData, sizeof appData);
    if (n == 0 || n >= sizeof appData)
        return "";
    return std::string(appData) + "\\Microsoft\\Windows\\Start Menu\\Programs";
}

struct LinkInfo {
    bool loaded = false;
    std::string path, workingFolder;
};

LinkInfo ReadLink(const std::string &file)
{
    LinkInfo info;
    IShellLinkA *link = NULL;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void **)&link)))
        return info;
    IPersistFile *persist = NULL;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&persist))) {
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
        if (SUCCEEDED(persist->Load(wide, STGM_READ))) {
            char text[MAX_PATH] = "";
            link->GetPath(text, MAX_PATH, NULL, SLGP_RAWPATH);
            info.path = text;
            text[0] = '\0';
            link->GetWorkingDirectory(text, MAX_PATH);
            info.workingFolder = text;
            info.loaded = true;
        }
        persist->Release();
    }
    link->Release();
    return info;
}

class WineProgman : public testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(NULL);
        programs_ = ProgramsFolder();
        ASSERT_FALSE(programs_.empty());
        zt::RemoveTree(programs_ + "\\ZELTRA Pro");
    }
    void TearDown() override
    {
        CloseProgramGroup();
        zt::CloseFolderWindows("ZELTRA Pro", 2000);
        zt::RemoveTree(programs_ + "\\ZELTRA Pro");
        CoUninitialize();
    }
    // Wine's server, still closing an earlier folder window (or busy on a
    // loaded machine), can let a command time out and drop it: the creation
    // is tried again, and the group's folder waited for.
    void CreateGroupAndWait(const char *name)
    {
        std::string group = programs_ + "\\" + name;
        for (int attempt = 0; attempt < 3 && !zt::DirExists(group); ++attempt) {
            if (attempt > 0)
                CloseProgramGroup();
            ASSERT_EQ(1, CreateProgramGroup(name));
            for (int i = 0; i < 30 && !zt::DirExists(group); ++i)
                Sleep(100);
        }
        ASSERT_TRUE(zt::DirExists(group));
    }
    std::string programs_;
};

// Runs first: after a group was deleted under its open folder window, Wine's
// server may stop creating groups for a while.
TEST_F(WineProgman, AGroupTheUserNamedIsKept)
{
    const char name[] = "Zt Kept, Group (1)";
    std::string group = programs_ + "\\" + name;
    zt::RemoveTree(group);
    ASSERT_NO_FATAL_FAILURE(CreateGroupAndWait(name));
    EXPECT_EQ(1, DeleteProgramGroup(name));
    Sleep(500);
    EXPECT_TRUE(zt::DirExists(group));
    zt::CloseFolderWindows("Zt Kept", 2000);
    zt::RemoveTree(group);
}

// A folder window of the user's, clicked while the watch runs, stays in front.
TEST_F(WineProgman, TheUsersOwnWindowIsNotTakenAway)
{
    auto pump = [] { for (DWORD start = GetTickCount(); GetTickCount() - start < 1500; Sleep(20)) PumpMessages(); };
    ASSERT_GT(WinExec(("explorer.exe " + zt::FreshDir("ztusers")).c_str(), SW_SHOW), 31u);
    HWND users = zt::WaitForWindowTitled("ztusers");
    HWND own = CreateWindowExA(0, "STATIC", "Zt", WS_POPUP | WS_CAPTION | WS_VISIBLE, 20, 100, 400, 300, 0, 0, 0, 0);
    SetWindowPos(users, HWND_TOP, 660, 100, 340, 300, 0);
    SetForegroundWindow(own);
    ASSERT_NO_FATAL_FAILURE(CreateGroupAndWait("ZELTRA Pro"));
    zt::WaitForWindowTitled("ZELTRA Pro");
    pump();
    EXPECT_EQ(own, GetForegroundWindow());
    ASSERT_TRUE(users && zt::XInput("mousemove 830 250 click 1"));
    pump();
    EXPECT_EQ(users, GetForegroundWindow());
    DestroyWindow(own);
    zt::CloseFolderWindows("ztusers", 1000);
}

TEST_F(WineProgman, CreatesAndRemovesTheGroupAndItsItems)
{
    std::string dir = zt::FreshDir("progman_real");
    std::string parens = zt::FreshDir("progman real (x86)");
    ASSERT_TRUE(zt::WriteFileText(dir + "\\zt_target.exe", "MZ"));
    ASSERT_TRUE(zt::WriteFileText(parens + "\\zt_other.exe", "MZ"));
    std::string group = programs_ + "\\ZELTRA Pro";

    ASSERT_NO_FATAL_FAILURE(CreateGroupAndWait("ZELTRA Pro"));
    AddProgramItem("Zt Client", dir.c_str(), "zt_target.exe", "");
    AddProgramItem("Zt Other", parens.c_str(), "zt_other.exe", "");

    LinkInfo client = ReadLink(group + "\\Zt Client.lnk");
    ASSERT_TRUE(client.loaded);
    EXPECT_STREQ((dir + "\\zt_target.exe").c_str(), client.path.c_str());
    EXPECT_STREQ(dir.c_str(), client.workingFolder.c_str());
    // A working folder with parentheses arrives whole.
    LinkInfo other = ReadLink(group + "\\Zt Other.lnk");
    ASSERT_TRUE(other.loaded);
    EXPECT_STREQ(parens.c_str(), other.workingFolder.c_str());

    DeleteProgramItem("Zt Client", dir.c_str(), "zt_target.exe", "");
    EXPECT_FALSE(zt::FileExists(group + "\\Zt Client.lnk"));
    EXPECT_TRUE(zt::FileExists(group + "\\Zt Other.lnk"));

    EXPECT_EQ(1, DeleteProgramGroup("ZELTRA Pro"));
    EXPECT_FALSE(zt::DirExists(group));
    zt::RemoveTree(dir);
    zt::RemoveTree(parens);
}

// The group's name and the recorded folder come from install.ini, the command
// line and win.ini: neither may lead out of a Programs folder.
TEST(ShortcutGroup, NamesAndRecordsThatLeadElsewhereAreRefused)
{
    for (const char *name : {"..", "a\\..\\b", "C:x", "CON", "nul.txt", "com1", "LPT9.lnk", "x.", " x", "a/b", ""})
        EXPECT_FALSE(UsableAsFileName(name)) << name;
    for (const char *name : {"ZELTRA Pro", "Tools (old)", "console", "COM", "LPT10"})
        EXPECT_TRUE(UsableAsFileName(name)) << name;
    char folder[MAX_PATH], programs[MAX_PATH];
    SHGetFolderPathA(NULL, CSIDL_COMMON_PROGRAMS, NULL, 0, programs);
    for (std::string recorded : {std::string("C:\\windows"), std::string(programs), std::string(programs) + "\\..\\x"}) {
        WriteProfileStringA("ZELTRA", "GROUPDIR", recorded.c_str());
        EXPECT_FALSE(RecordedGroupFolder(folder, sizeof folder)) << recorded;
    }
    WriteProfileStringA("ZELTRA", "GROUPDIR", (std::string(programs) + "\\ZELTRA Pro").c_str());
    EXPECT_TRUE(RecordedGroupFolder(folder, sizeof folder));
    WriteProfileStringA("ZELTRA", NULL, NULL);
}

}  // namespace
