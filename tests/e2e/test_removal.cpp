// Install quietly, then remove through the dialogs as a user would, and
// check that nothing of the product is left on the machine.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "resource.h"
#include "shell/catalogue.h"

#include "harness.h"
#include "install_state.h"
#include "uidriver.h"

namespace {

const char kDest[] = "C:\\zt\\e2e_removal_dest";
// Blanks and a dash in the folder's name, which the entry writes unquoted.
const char kSpacedDest[] = "C:\\zt\\e2e removal -d dest";
const char kUninstaller[] = "zlrem32.exe";
const char kCaption[] = "ZELTRA Pro Installation";

bool Contains(const std::vector<std::string> &lines, const std::string &line)
{
    for (const std::string &l : lines)
        if (l == line)
            return true;
    return false;
}

// Any run-once command of ours left behind.
bool RunOnceMentions(const std::string &needle)
{
    for (const char *key : {"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                            "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce"}) {
        HKEY h;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) != ERROR_SUCCESS)
            continue;
        for (DWORD i = 0;; ++i) {
            char name[256], data[1024];
            DWORD nameSize = sizeof name, dataSize = sizeof data - 1;
            if (RegEnumValueA(h, i, name, &nameSize, NULL, NULL, reinterpret_cast<BYTE *>(data), &dataSize))
                break;
            data[dataSize] = '\0';
            if (std::string(data).find(needle) != std::string::npos) {
                RegCloseKey(h);
                return true;
            }
        }
        RegCloseKey(h);
    }
    return false;
}

class RemovalEndToEnd : public testing::Test {
protected:
    void SetUp() override
    {
        zt::SetWindowsVersion("");
        zt::ResetInstallState({kDest, kSpacedDest});
    }
    void TearDown() override { zt::ResetInstallState({kDest, kSpacedDest}); }

    // [ZELTRA], the entry, the class and namespace keys, the group.
    static void ExpectRecordsGone()
    {
        EXPECT_EQ("\x01", zt::WinIni("ZELTRA", "DIR"));
        EXPECT_EQ("\x01", zt::WinIni("ZELTRA", "GROUP"));
        EXPECT_FALSE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, zt::kUninstallKey));
        EXPECT_FALSE(zt::RegKeyExists(HKEY_CLASSES_ROOT, zt::kClassKey));
        for (const char *clsid : {"{7c3e2a91-5b04-4d8f-9a61-2e5f8c0b3d01}", "{7c3e2a91-5b04-4d8f-9a61-2e5f8c0b3d0a}"})
            for (bool desktop : {true, false})
                EXPECT_FALSE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, zt::NamespaceKey(desktop, clsid))) << clsid;
        EXPECT_FALSE(zt::DirExists(zt::GroupFolder("ZELTRA Pro")));
    }

    // Everything, quietly, into dest.
    void InstallQuietly(const char *dest = kDest)
    {
        zt::Run run;
        run.tempDir = zt::FreshDir("e2e_removal_install");
        zt::WriteInstallIni(run.tempDir, {"QUIET=TRUE", "BONUS=TRUE", "EXPLORER=TRUE", "DESKTOP=TRUE"},
                            {std::string("DIR32=") + dest});
        run.env.push_back({"ZELTRA_CALL_LOG", zt::CallLogPath()});
        ASSERT_TRUE(zt::Installed(zt::RunToEnd(run)));
        ASSERT_TRUE(zt::FileExists(std::string(dest) + "\\zlclient.exe"));
        ASSERT_EQ(dest, zt::WinIni("ZELTRA", "DIR"));
        ASSERT_NE("\x01", zt::WinIni("ZELTRA", "INSTOPTS"));
        zt::RemoveTree(run.tempDir);
        zt::CloseFolderWindows("ZELTRA Pro", 3000);
    }
};

TEST_F(RemovalEndToEnd, InstallThenRemoveLeavesNothing)
{
    InstallQuietly();
    ASSERT_TRUE(zt::DirExists(zt::GroupFolder("ZELTRA Pro")));
    ASSERT_TRUE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, zt::kUninstallKey));
    DeleteFileA(zt::CallLogPath().c_str());

    zt::Run run;
    run.env.push_back({"ZELTRA_CALL_LOG", zt::CallLogPath()});
    zt::Started setup = zt::Start(run);
    DWORD pid = setup.pi.dwProcessId;

    HWND choice = zt::WaitForDialog({kCaption, IDC_RADIO_SECOND, pid});
    ASSERT_TRUE(choice != NULL);
    ASSERT_TRUE(zt::IsEnabled(choice, IDC_RADIO_SECOND));
    ASSERT_TRUE(zt::TypeInto(choice, "key Down Return"));

    // Read first, as a person does: the group's folder window is open by then.
    zt::WaitForWindowTitled("ZELTRA Pro");
    zt::MessageBoxSeen ini = zt::AnswerWithKeys("INI files", "key y", pid, 60000, zt::ExeDir() + "\\question-in-front.png");
    EXPECT_TRUE(ini);
    EXPECT_EQ(kCaption, ini.caption);
    zt::WaitForClose(ini.window);
    // The outcome, or (unexpected here) the restart question: never restart.
    zt::MessageBoxSeen outcome = zt::WaitForMessageBox("", pid);
    ASSERT_TRUE(outcome);
    EXPECT_NE(std::string::npos, outcome.text.find("All files removed.")) << outcome.text;
    EXPECT_EQ("Remove", outcome.caption);
    EXPECT_TRUE(zt::TypeInto(outcome.window, outcome.text.find("restart") != std::string::npos ? "key Escape" : "key Return"));
    EXPECT_EQ(0u, zt::Wait(setup, 60000));
    zt::CloseAllDialogs(pid);

    EXPECT_FALSE(zt::DirExists(kDest));
    ExpectRecordsGone();
    EXPECT_FALSE(RunOnceMentions("e2e_removal"));
    EXPECT_FALSE(RunOnceMentions("E2E_RE"));

    std::vector<std::string> calls = zt::CallLog();
    for (const char *call : {"zlexpl32.dll DllUnregisterServer", "zlbrowse.dll DllUnregisterServer",
                             "zlstub.dll DllUnregisterServer", "zlsched.exe -remove"})
        EXPECT_TRUE(Contains(calls, call)) << call;
}

// A running program cannot be deleted: it is renamed and scheduled, the
// folder's rmdir follows, and the restart question comes; Cancel keeps the
// schedule without restarting.
TEST_F(RemovalEndToEnd, ProgramInUseIsLeftForTheRestart)
{
    InstallQuietly();
    zt::Run client;
    client.exe = std::string(kDest) + "\\zlclient.exe";
    client.env.push_back({"ZELTRA_STAY_SECONDS", "120"});
    zt::Started running = zt::Start(client);
    ASSERT_TRUE(running.pi.hProcess != NULL);

    zt::Started setup = zt::Start(zt::Run());
    DWORD pid = setup.pi.dwProcessId;
    HWND choice = zt::WaitForDialog({kCaption, IDC_RADIO_SECOND, pid});
    ASSERT_TRUE(choice != NULL);
    ASSERT_TRUE(zt::TypeInto(choice, "key Down Return"));
    zt::WaitForWindowTitled("ZELTRA Pro");
    EXPECT_TRUE(zt::AnswerWithKeys("INI files", "key n", pid, 60000));
    zt::MessageBoxSeen restart = zt::AnswerWithKeys("needs to restart", "key Escape", pid);
    EXPECT_TRUE(restart);
    EXPECT_EQ("Congratulations!", restart.caption);
    EXPECT_EQ(3010u, zt::Wait(setup, 60000));
    zt::CloseAllDialogs(pid);

    std::string renamed = std::string(kDest) + "\\zlclient.del";
    EXPECT_TRUE(zt::FileExists(renamed));
    EXPECT_TRUE(zt::FileExists(std::string(kDest) + "\\zeltra.ini"));   // No keeps INI files
    EXPECT_FALSE(zt::FileExists(std::string(kDest) + "\\zlcore32.dll"));
    EXPECT_EQ("\x01", zt::WinIni("ZELTRA", "DIR"));
    char shortDel[MAX_PATH] = "", shortDir[MAX_PATH] = "";
    GetShortPathNameA(renamed.c_str(), shortDel, sizeof shortDel);
    GetShortPathNameA(kDest, shortDir, sizeof shortDir);
    EXPECT_TRUE(RunOnceMentions(std::string("cmd.exe /c del \"") + shortDel + "\""));
    EXPECT_TRUE(RunOnceMentions(std::string("cmd.exe /c rmdir \"") + shortDir + "\" "));

    TerminateProcess(running.pi.hProcess, 0);
    zt::Wait(running, 10000);
}

// Through the uninstaller: nothing of the product is left but what the user
// keeps, and the next start of Setup clears the uninstaller's copy.
class UninstallerEndToEnd : public RemovalEndToEnd {
protected:
    std::string userFile = std::string(kSpacedDest) + "\\my notes.txt";
    std::string temp;

    void SetUp() override
    {
        RemovalEndToEnd::SetUp();
        InstallQuietly(kSpacedDest);
        ASSERT_TRUE(zt::WriteFileText(userFile, "mine"));
        temp = zt::FreshDir("e2e_uninstall_temp");
    }

    static DWORD WaitForUninstaller(DWORD except)
    {
        DWORD pid = 0;
        for (int i = 0; i < 300 && !(pid = zt::ProcessIdOf(kUninstaller, except)); ++i)
            Sleep(100);
        return pid;
    }

    // Yes to the question, Yes to deleting the INI files, OK to the outcome.
    void RemoveAsAPerson(zt::Run run)
    {
        run.tempDir = temp;
        zt::Started started = zt::Start(run);
        DWORD original = WaitForUninstaller(0);
        zt::MessageBoxSeen confirm = zt::AnswerWithKeys("Are you sure", "key Return", original, 30000);
        EXPECT_EQ("Remove", confirm.caption);
        DWORD copy = WaitForUninstaller(original);
        ASSERT_NE(0u, copy);
        zt::WaitForWindowTitled("ZELTRA Pro");
        EXPECT_TRUE(zt::AnswerWithKeys("INI files", "key y", copy, 60000));
        zt::MessageBoxSeen outcome = zt::WaitForMessageBox("", copy, 60000);
        EXPECT_NE(std::string::npos, outcome.text.find("Check the folder")) << outcome.text;
        EXPECT_TRUE(zt::TypeInto(outcome.window, "key Return"));
        EXPECT_EQ(0u, zt::Wait(started, 60000));
        ExpectRemoved(false);
    }

    void ExpectRemoved(bool iniKept)
    {
        EXPECT_TRUE(zt::WaitForNoProcess(kUninstaller, 30000));
        for (const InstallList *list : g_installLists)
            for (int i = 0; i < list->count; ++i) {
                std::string file = std::string(kSpacedDest) + "\\" + list->rows[i].targetName;
                EXPECT_TRUE(!zt::FileExists(file) || (iniKept && list == &g_siteListList)) << file;
            }
        EXPECT_EQ("mine", zt::ReadFileText(userFile));
        ExpectRecordsGone();
        zt::CloseFolderWindows("ZELTRA Pro", 2000);

        // Setup's next start (answered with Esc) sweeps the copy away.
        zt::Run next;
        next.tempDir = temp;
        zt::Started setup = zt::Start(next);
        HWND choice = zt::WaitForDialog({"ZELTRA Pro Installation", IDC_RADIO_SECOND, setup.pi.dwProcessId});
        EXPECT_TRUE(choice && zt::TypeInto(choice, "key Escape"));
        zt::Wait(setup, 30000);
        for (const std::string &name : zt::ListDir(temp))
            EXPECT_NE(0, _strnicmp(name.c_str(), "~zlr", 4)) << name;
    }
};

TEST_F(UninstallerEndToEnd, FromTheSystemsListOfPrograms)
{
    zt::Run run;
    run.commandLine = "uninstaller.exe --remove ZELTRAPro";
    RemoveAsAPerson(run);
}

TEST_F(UninstallerEndToEnd, FromTheGroupsItemWithoutOptions)
{
    zt::Run run;
    run.exe = std::string(kSpacedDest) + "\\" + kUninstaller;
    RemoveAsAPerson(run);
}

// What a deployment tool runs: no window at all, the stored sites kept.
TEST_F(UninstallerEndToEnd, QuietUninstallStringAsItStands)
{
    zt::Run run;
    ASSERT_TRUE(zt::RegValue(HKEY_LOCAL_MACHINE, zt::kUninstallKey, "QuietUninstallString", &run.commandLine));
    run.tempDir = temp;
    zt::Started started = zt::Start(run);
    std::vector<DWORD> seen;
    while (WaitForSingleObject(started.pi.hProcess, 50) == WAIT_TIMEOUT) {
        DWORD original = zt::ProcessIdOf(kUninstaller);
        for (DWORD pid : {original, zt::ProcessIdOf(kUninstaller, original)})
            if (pid && zt::FindDialog({"", 0, pid}))
                seen.push_back(pid);
    }
    EXPECT_EQ(0u, zt::Wait(started, 1000));
    EXPECT_TRUE(seen.empty()) << "a window of the uninstaller was shown";
    ExpectRemoved(true);
}

// A crafted folder is not an installation, nor is one with a stray copy of
// the uninstaller among the user's files; and No is No: nothing is touched.
TEST_F(UninstallerEndToEnd, RefusedOrCancelledRemovesNothing)
{
    zt::Run run;
    run.commandLine = "\"" + std::string(kSpacedDest) + "\\zlrem32.exe\" -q -f C:\\windows -g ZELTRA Pro";
    run.tempDir = temp;
    EXPECT_EQ(1603u, zt::RunToEnd(run));
    const std::string stray = zt::FreshDir("userdata");
    const char *const theirs[] = {"notes.log", "thesis.bak", "data.tmp", "readme.txt", "zlclient.exe"};
    for (const char *name : theirs)
        ASSERT_TRUE(zt::WriteFileText(stray + "\\" + name, "theirs"));
    ASSERT_TRUE(zt::CopyFileTo(std::string(kSpacedDest) + "\\zlrem32.exe", stray + "\\zlrem32.exe"));
    run.commandLine = "\"" + stray + "\\zlrem32.exe\" -q -f " + stray;
    EXPECT_EQ(1603u, zt::RunToEnd(run));
    for (const char *name : theirs)
        EXPECT_EQ("theirs", zt::ReadFileText(stray + "\\" + name)) << name;
    zt::RemoveTree(stray);
    EXPECT_EQ(kSpacedDest, zt::WinIni("ZELTRA", "DIR"));
    run.commandLine.clear();
    run.exe = std::string(kSpacedDest) + "\\zlrem32.exe";
    zt::Started started = zt::Start(run);
    EXPECT_TRUE(zt::AnswerWithKeys("Are you sure", "key n", started.pi.dwProcessId, 30000));
    EXPECT_EQ(1602u, zt::Wait(started, 30000));
    EXPECT_TRUE(zt::FileExists(std::string(kSpacedDest) + "\\zlclient.exe"));
    EXPECT_TRUE(zt::FileExists(std::string(kSpacedDest) + "\\zlrem32.exe"));
    EXPECT_TRUE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, zt::kUninstallKey));
    EXPECT_TRUE(zt::DirExists(zt::GroupFolder("ZELTRA Pro")));
}

// The copy ended from outside hands no outcome back: that is a failure.
TEST_F(UninstallerEndToEnd, CopyEndedFromOutsideIsAFailure)
{
    zt::Run run;
    run.exe = std::string(kSpacedDest) + "\\" + kUninstaller;
    run.tempDir = temp;
    zt::Started started = zt::Start(run);
    DWORD original = WaitForUninstaller(0);
    EXPECT_TRUE(zt::AnswerWithKeys("Are you sure", "key Return", original, 30000));
    DWORD copy = WaitForUninstaller(original);
    ASSERT_TRUE(copy && zt::WaitForMessageBox("INI files", copy, 60000));
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, copy);
    ASSERT_TRUE(process && TerminateProcess(process, 0));
    CloseHandle(process);
    EXPECT_EQ(1603u, zt::Wait(started, 30000));
}

// Two at once, as a deployment tool may start them: one removes, the other
// says so and ends with 1618, and nothing waits for a restart.
TEST_F(UninstallerEndToEnd, TwoQuietUninstallsAtOnce)
{
    zt::Run run;
    ASSERT_TRUE(zt::RegValue(HKEY_LOCAL_MACHINE, zt::kUninstallKey, "QuietUninstallString", &run.commandLine));
    run.tempDir = temp;
    zt::Started first = zt::Start(run), second = zt::Start(run);
    std::vector<DWORD> codes = {zt::Wait(first, 60000), zt::Wait(second, 60000)};
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ((std::vector<DWORD>{0, 1618}), codes);
    for (const std::string &name : zt::ListDir(kSpacedDest))
        EXPECT_EQ(std::string::npos, name.find(".del")) << name;
    EXPECT_FALSE(RunOnceMentions(" /c "));
    ExpectRemoved(true);   // the copy has ended too
    std::vector<std::string> log = zt::ReadLines(temp + "\\setup.log");
    EXPECT_TRUE(!log.empty() && log.back() == "Exit code 0") << (log.empty() ? "" : log.back());
}

}  // namespace
