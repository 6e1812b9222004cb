// Install quietly, then remove through the dialogs as a user would, and
// check that nothing of the product is left on the machine.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resource.h"

#include "harness.h"
#include "install_state.h"
#include "uidriver.h"

namespace {

const char kDest[] = "C:\\zt\\e2e_removal_dest";
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
        zt::ResetInstallState({kDest});
    }
    void TearDown() override { zt::ResetInstallState({kDest}); }

    // Everything, quietly, into kDest.
    void InstallQuietly()
    {
        zt::Run run;
        run.tempDir = zt::FreshDir("e2e_removal_install");
        zt::WriteInstallIni(run.tempDir, {"QUIET=TRUE", "BONUS=TRUE", "EXPLORER=TRUE", "DESKTOP=TRUE"},
                            {std::string("DIR32=") + kDest});
        run.env.push_back({"ZELTRA_CALL_LOG", zt::CallLogPath()});
        ASSERT_EQ(0u, zt::RunToEnd(run));
        ASSERT_TRUE(zt::FileExists(std::string(kDest) + "\\zlclient.exe"));
        ASSERT_EQ(kDest, zt::WinIni("ZELTRA", "DIR"));
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
    EXPECT_EQ("\x01", zt::WinIni("ZELTRA", "DIR"));
    EXPECT_EQ("\x01", zt::WinIni("ZELTRA", "GROUP"));
    EXPECT_FALSE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, zt::kUninstallKey));
    EXPECT_FALSE(zt::RegKeyExists(HKEY_CLASSES_ROOT, zt::kClassKey));
    for (const char *clsid : {"{7c3e2a91-5b04-4d8f-9a61-2e5f8c0b3d01}", "{7c3e2a91-5b04-4d8f-9a61-2e5f8c0b3d0a}"})
        for (bool desktop : {true, false})
            EXPECT_FALSE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, zt::NamespaceKey(desktop, clsid))) << clsid;
    EXPECT_FALSE(zt::DirExists(zt::GroupFolder("ZELTRA Pro")));
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
    EXPECT_EQ(0u, zt::Wait(setup, 60000));
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

}  // namespace
