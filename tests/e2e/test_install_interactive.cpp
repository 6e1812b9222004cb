// Interactive installations, driven through the dialogs as a user would.
#include <gtest/gtest.h>

#include <windows.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "harness.h"
#include "install_state.h"
#include "resource.h"
#include "uidriver.h"

using namespace zt;

namespace {

const char kCaption[] = "ZELTRA Pro Installation";
const char kDestRoot[] = "C:\\zt\\dest";

class InteractiveInstall : public ::testing::Test {
protected:
    std::vector<std::string> folders{kDestRoot, "C:\\Program Files\\ZELTRA Pro", "C:\\TEMPFILES"};
    std::string temp;
    Started setup;

    void SetUp() override
    {
        SetWindowsVersion("");
        ResetInstallState(folders);
        CreateDirectoryA(kDestRoot, NULL);
        temp = FreshDir("temp");
    }
    void TearDown() override
    {
        if (setup.pi.hProcess) {
            CloseAllDialogs(setup.pi.dwProcessId);
            Wait(setup, 5000);
        }
        ResetInstallState(folders);
        SetWindowsVersion("");
    }
    DWORD Pid() const { return setup.pi.dwProcessId; }

    void Launch(const std::string &tempDir = "")
    {
        zt::Run run;
        run.tempDir = tempDir.empty() ? temp : tempDir;
        run.env = {{"ZELTRA_CALL_LOG", CallLogPath()}};
        setup = Start(run);
        ASSERT_NE(nullptr, setup.pi.hProcess);
    }
    HWND Dialog(int controlId, const std::string &caption = kCaption)
    {
        DialogQuery q;
        q.caption = caption;
        q.controlId = controlId;
        q.processId = Pid();
        return WaitForDialog(q);
    }
    // Each answer is typed into the dialog, which must be in front.
    void Answer(int controlId, const std::string &keys, const std::string &caption = kCaption)
    {
        HWND d = Dialog(controlId, caption);
        ASSERT_NE(nullptr, d);
        ASSERT_TRUE(TypeInto(d, keys));
    }
    void ChooseInstall() { Answer(IDC_RADIO_FIRST, "key Return"); }
    // The folder box has the focus, its text selected: typing replaces it.
    void EnterFolder(const std::string &folder)
    {
        Answer(IDC_BROWSE, "type '" + folder + "'");
        ASSERT_TRUE(XInput("key Return"));
    }
    void AnswerComponents(int button = IDOK) { Answer(IDC_COMPONENTS_HELP, button == IDOK ? "key Return" : "key Escape"); }
    void AcceptGroupAndIcons() { Answer(IDC_GROUP_COMBO, "key Return", "Program Manager Group"); }
    // Read first, as a person does: the group's folder window is open by then.
    void AcceptIconPlacement()
    {
        WaitForWindowTitled("ZELTRA Pro");
        Answer(IDC_RADIO_FIRST, "key Return", "Icon Placement");
    }
    DWORD Finish() { return Wait(setup, 60000); }

    // The last message of a successful installation, answered with button:
    // the restart question (OK and Cancel) or the success message (OK alone).
    void AnswerFinalMessage(bool restartQuestion, int button)
    {
        MessageBoxSeen box = WaitForMessageBox("Installation successful!", Pid(), 60000);
        ASSERT_TRUE(box);
        EXPECT_EQ("Congratulations!", box.caption);
        EXPECT_EQ(restartQuestion, box.text.find("needs to restart your computer") != std::string::npos) << box.text;
        EXPECT_EQ(!restartQuestion, box.text.find("Happy FTP'ing!") != std::string::npos) << box.text;
        HWND cancel = GetDlgItem(box.window, IDCANCEL);
        EXPECT_EQ(restartQuestion, cancel != NULL && IsWindowVisible(cancel));
        EXPECT_TRUE(TypeInto(box.window, button == IDOK ? "key Return" : "key Escape"));
    }

    // Starts an installation into dest whose help file is held open, and
    // returns once the copy waits at that file's Retry/Cancel question: the
    // test then acts while that file is the current one. Returns the file's
    // handle (INVALID_HANDLE_VALUE when the question never came).
    HANDLE InstallUntilHelpFileQuestion(const std::string &dest)
    {
        CreateDirectoryA(dest.c_str(), NULL);
        std::string help = dest + "\\zlcore32.hlp";
        WriteFileText(help, "old help");
        HANDLE lock = CreateFileA(help.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
        Launch();
        ChooseInstall();
        EnterFolder(dest);
        AnswerComponents();
        if (lock != INVALID_HANDLE_VALUE && !WaitForMessageBox("Copy of zlcore32.hlp to", Pid(), 60000)) {
            CloseHandle(lock);
            lock = INVALID_HANDLE_VALUE;
        }
        return lock;
    }
};

class RestartAnswer : public InteractiveInstall, public ::testing::WithParamInterface<int> {};

// The Explorer interface was registered: a restart is proposed, and made
// on OK only (seen in the log, which install.ini turns on).
TEST_P(RestartAnswer, EveryQuestionAnsweredEndsWithTheRestartQuestion)
{
    std::string dest = std::string(kDestRoot) + "\\full";
    WriteInstallIni(temp, {"LOGGING=1"});
    Launch();
    ChooseInstall();
    EnterFolder(dest);
    AnswerComponents();
    AcceptGroupAndIcons();
    AcceptIconPlacement();
    AnswerFinalMessage(true, GetParam());
    EXPECT_EQ(GetParam() == IDOK ? 1641u : 3010u, Finish());
    std::vector<std::string> log = ReadLines(temp + "\\setup.log");
    EXPECT_EQ(GetParam() == IDOK, std::find(log.begin(), log.end(), "Restarting Windows") != log.end());

    EXPECT_TRUE(FileExists(dest + "\\zlclient.exe"));
    EXPECT_TRUE(FileExists(dest + "\\zeltra.ini"));
    EXPECT_TRUE(FileExists(dest + "\\sitesgov.ini"));
    EXPECT_EQ(dest, WinIni("ZELTRA", "DEFDIR"));
    EXPECT_EQ("12", WinIni("ZELTRA", "INSTOPTS"));
}

INSTANTIATE_TEST_SUITE_P(Answers, RestartAnswer, ::testing::Values(IDCANCEL, IDOK),
                         [](const ::testing::TestParamInfo<int> &info) {
                             return std::string(info.param == IDOK ? "Ok" : "Cancel");
                         });

// Cancel in the components dialog: the run ends, nothing installed or
// recorded (the folder the prompt created stays empty).
TEST_F(InteractiveInstall, CancelInTheComponentsDialogWritesNothing)
{
    std::string dest = std::string(kDestRoot) + "\\cancelled-components";
    Launch();
    ChooseInstall();
    EnterFolder(dest);
    AnswerComponents(IDCANCEL);
    EXPECT_EQ(1602u, Finish());   // the user's cancel
    EXPECT_TRUE(ListDir(dest).empty());
    EXPECT_EQ("\x01", WinIni("ZELTRA", "DIR"));
    EXPECT_EQ("\x01", WinIni("ZELTRA", "DEFDIR"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_FALSE(DirExists(GroupFolder("ZELTRA Pro")));
    EXPECT_TRUE(CallLog().empty());
}

// By whole folder names: C:\TEMPFILES only begins like C:\TEMP.
TEST_F(InteractiveInstall, AFolderInsideTheWorkFolderIsRefusedIgnoringCase)
{
    std::string work = "C:\\TEMP";
    RemoveTree(work);
    CreateDirectoryA(work.c_str(), NULL);
    Launch(work);
    ChooseInstall();
    EnterFolder("c:\\temp\\zeltra");
    ASSERT_TRUE(AnswerMessageBox("You cannot install to the folder that contains the installation files.", IDOK, Pid()));
    HWND d = Dialog(IDC_BROWSE);
    ASSERT_NE(nullptr, d);
    EXPECT_EQ("c:\\temp\\zeltra", ControlText(d, IDC_FOLDER_EDIT));
    EnterFolder("c:\\tempfiles\\zeltra");
    AnswerComponents(IDCANCEL);
    EXPECT_EQ(1602u, Finish());   // the user's cancel
    EXPECT_TRUE(DirExists("C:\\tempfiles\\zeltra"));
    EXPECT_FALSE(DirExists("C:\\temp\\zeltra"));
    EXPECT_EQ("\x01", WinIni("ZELTRA", "DEFDIR"));
    RemoveTree(work);
}

// Browse: the Open dialog starts in the typed folder; OK there names the
// product's folder in it.
TEST_F(InteractiveInstall, BrowseNamesTheProductFolderInThePickedOne)
{
    Launch();
    ChooseInstall();
    HWND prompt = Dialog(IDC_BROWSE);
    ASSERT_TRUE(prompt && TypeInto(prompt, "type '" + std::string(kDestRoot) + "'"));
    ASSERT_TRUE(ClickWithMouse(prompt, IDC_BROWSE));
    HWND locate = Dialog(1121, "Locate");
    ASSERT_TRUE(locate && TypeInto(locate, "key Return") && WaitForClose(locate));
    EXPECT_EQ(0, lstrcmpiA((std::string(kDestRoot) + "\\ZELTRA").c_str(), ControlText(prompt, IDC_FOLDER_EDIT).c_str()));
    ASSERT_TRUE(TypeInto(prompt, "key Escape"));
    ASSERT_TRUE(AnswerWithKeys("Can't continue without a destination folder!", "key Return", Pid()));
    EXPECT_EQ(1602u, Finish());   // the user's cancel
}

TEST_F(InteractiveInstall, AMissingDriveIsReportedTwiceThenWithZero)
{
    Launch();
    ChooseInstall();
    EnterFolder("Q:\\Dir");
    MessageBoxSeen first = AnswerMessageBox("Creation of Q: failed.", IDOK, Pid());
    ASSERT_TRUE(first);
    EXPECT_EQ("Install", first.caption);
    MessageBoxSeen second = AnswerMessageBox("Creation of Q:\\Dir failed. (", IDOK, Pid());
    ASSERT_TRUE(second);
    EXPECT_EQ(std::string::npos, second.text.find("(0)")) << second.text;
    MessageBoxSeen driver = AnswerMessageBox("Creation of Q:\\Dir failed. (0)", IDOK, Pid());
    ASSERT_TRUE(driver);
    EXPECT_EQ(kCaption, driver.caption);
    HWND d = Dialog(IDC_BROWSE);
    ASSERT_NE(nullptr, d);
    ASSERT_TRUE(Click(d, IDCANCEL));
    ASSERT_TRUE(AnswerMessageBox("Can't continue without a destination folder!", IDOK, Pid()));
    EXPECT_EQ(1602u, Finish());   // the user's cancel
}

TEST_F(InteractiveInstall, AFolderNameTooLongForTheProductIsRefused)
{
    // 247 characters: the folder itself could be made, but not every file in it.
    std::string dest = std::string(kDestRoot) + "\\" + std::string(247 - strlen(kDestRoot) - 1, 'd');
    ASSERT_EQ(247u, dest.size());
    Launch();
    ChooseInstall();
    EnterFolder(dest);
    MessageBoxSeen box = AnswerMessageBox("is too long.", IDOK, Pid());
    ASSERT_TRUE(box);
    EXPECT_NE(std::string::npos, box.text.find(dest));
    HWND d = Dialog(IDC_BROWSE);
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(dest, ControlText(d, IDC_FOLDER_EDIT));
    ASSERT_TRUE(Click(d, IDCANCEL));
    ASSERT_TRUE(AnswerMessageBox("Can't continue without a destination folder!", IDOK, Pid()));
    EXPECT_EQ(1602u, Finish());   // the user's cancel
    EXPECT_FALSE(DirExists(dest));
}

// Win32s keeps its own comdlg32.dll in SYSTEM\WIN32S. A copy there without
// the Open dialog is loaded (native first, as on Win32s) and gone afterwards.
class Win32sBrowse : public InteractiveInstall {
protected:
    static std::string SystemDir() { char d[MAX_PATH] = ""; GetSystemDirectoryA(d, sizeof d); return d; }
    std::string folder = SystemDir() + "\\WIN32S", overrides = "Software\\Wine\\AppDefaults\\setup.exe";
    void TearDown() override
    {
        InteractiveInstall::TearDown();
        RegDeleteTreeAll(HKEY_CURRENT_USER, overrides);
        RemoveTree(folder);
    }
};

TEST_F(Win32sBrowse, LooksInTheWin32sFolderAndTellsWhatIsMissing)
{
    CreateDirectoryA(folder.c_str(), NULL);
    ASSERT_TRUE(CopyFileTo(ExeDir() + "\\planted\\comdlg32.dll", folder + "\\comdlg32.dll"));
    RegSetText(HKEY_CURRENT_USER, overrides + "\\DllOverrides", "comdlg32", "native,builtin");
    SetWindowsVersion("win31");
    Launch();
    ChooseInstall();
    HWND d = Dialog(IDC_BROWSE);
    ASSERT_NE(nullptr, d);
    ASSERT_TRUE(Click(d, IDC_BROWSE));
    EXPECT_TRUE(AnswerMessageBox("Browse needs the common dialog library COMDLG32.DLL", IDOK, Pid()));
    ASSERT_TRUE(Click(d, IDCANCEL));
    ASSERT_TRUE(AnswerMessageBox("Can't continue without a destination folder!", IDOK, Pid()));
    EXPECT_EQ(1602u, Finish());   // the user's cancel
    EXPECT_TRUE(FileExists(folder + "\\comdlg32.dll.loaded"));
}

TEST_F(InteractiveInstall, CancelDuringCopyingStopsAfterTheCurrentFile)
{
    // A help file held open keeps the copy waiting at its Retry/Cancel question,
    // so Cancel is pressed while that file is still the current one.
    std::string dest = std::string(kDestRoot) + "\\cancelled";
    HANDLE lock = InstallUntilHelpFileQuestion(dest);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    HWND status = Dialog(IDC_STATUS_TEXT);
    ASSERT_NE(nullptr, status);
    ASSERT_TRUE(ClickWithMouse(status, IDCANCEL));
    Settle(status);
    CloseHandle(lock);
    MessageBoxSeen retry = WaitForMessageBox("Copy of zlcore32.hlp to", Pid());
    ASSERT_TRUE(retry);
    ASSERT_TRUE(ClickWithMouse(retry.window, IDRETRY));

    // The group question still comes; nothing is created afterwards.
    AcceptGroupAndIcons();
    MessageBoxSeen box = AnswerWithKeys("Some portion of installation process failed.", "key Return", Pid(), 60000);
    ASSERT_TRUE(box);
    EXPECT_EQ(1602u, Finish());   // the user's cancel
    EXPECT_EQ(ReadFileText(ProductFile("zlcore32.hlp")), ReadFileText(dest + "\\zlcore32.hlp"));  // the current file completed
    EXPECT_FALSE(FileExists(dest + "\\zlexpl32.dll"));                      // nothing after it
    EXPECT_EQ("\x01", WinIni("ZELTRA", "DEFDIR"));
    EXPECT_EQ("\x01", WinIni("ZELTRA", "GROUP"));
    EXPECT_FALSE(DirExists(GroupFolder("ZELTRA Pro")));
}

TEST_F(InteractiveInstall, ClosingTheWindowDuringCopyingCancelsAndTellsTheUser)
{
    std::string dest = std::string(kDestRoot) + "\\closed";
    HANDLE lock = InstallUntilHelpFileQuestion(dest);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    HWND main = FindWindowA("ZTInstal", NULL);
    ASSERT_NE(nullptr, main);
    PostMessageA(main, WM_CLOSE, 0, 0);
    Settle(main);
    EXPECT_TRUE(IsWindow(main));  // it stays until the outcome is shown
    CloseHandle(lock);
    ASSERT_TRUE(AnswerMessageBox("Copy of zlcore32.hlp to", IDRETRY, Pid()));
    AcceptGroupAndIcons();
    ASSERT_TRUE(AnswerMessageBox("Some portion of installation process failed.", IDOK, Pid(), 60000));
    EXPECT_EQ(1602u, Finish());   // the user's cancel
    EXPECT_FALSE(FileExists(dest + "\\zlexpl32.dll"));
    EXPECT_EQ("\x01", WinIni("ZELTRA", "DEFDIR"));
}

TEST_F(InteractiveInstall, UpgradeYesKeepsTheUsersSitesInOriginalIni)
{
    std::string dest = std::string(kDestRoot) + "\\upgrade";
    CreateDirectoryA(dest.c_str(), NULL);
    WriteFileText(dest + "\\zeltra.ini",
                  "[MySites]\r\nFILENAME=old.ini\r\n[Work]\r\nHOST=ftp.work.example\r\nUSER=me\r\n"
                  "[Home]\r\nHOST=ftp.home.example\r\n[_config_]\r\nMAILADDR=me@example.com\r\n");
    const std::string mySites = "[My Server]\r\nHOST=ftp.mine.example\r\n";
    WriteFileText(dest + "\\sitesgov.ini", mySites);
    Launch();
    ChooseInstall();
    EnterFolder(dest);
    AnswerComponents();
    ASSERT_TRUE(AnswerMessageBox("Do you wish to install additional FTP sites?", IDYES, Pid(), 60000));
    AcceptGroupAndIcons();
    AcceptIconPlacement();
    AnswerFinalMessage(true, IDCANCEL);
    EXPECT_EQ(3010u, Finish());   // the restart question, Cancel
    EXPECT_EQ(mySites, ReadFileText(dest + "\\sitesgov.ini"));   // never overwritten

    std::string original = dest + "\\original.ini";
    char value[256];
    GetPrivateProfileStringA("Work", "HOST", "", value, sizeof value, original.c_str());
    EXPECT_STREQ("ftp.work.example", value);
    GetPrivateProfileStringA("Home", "HOST", "", value, sizeof value, original.c_str());
    EXPECT_STREQ("ftp.home.example", value);
    EXPECT_EQ(0u, GetPrivateProfileStringA("MySites", NULL, "", value, sizeof value, original.c_str()));
    GetPrivateProfileStringA("MySites", "FILENAME", "", value, sizeof value, (dest + "\\zeltra.ini").c_str());
    EXPECT_EQ(original, std::string(value));
    EXPECT_TRUE(FileExists(dest + "\\sitesav.ini"));
}

TEST_F(InteractiveInstall, UpgradeNoLeavesTheFolderUntouched)
{
    std::string dest = std::string(kDestRoot) + "\\keep";
    CreateDirectoryA(dest.c_str(), NULL);
    const std::string old = "[Work]\r\nHOST=ftp.work.example\r\n";
    WriteFileText(dest + "\\zeltra.ini", old);
    Launch();
    ChooseInstall();
    EnterFolder(dest);
    AnswerComponents();
    ASSERT_TRUE(AnswerMessageBox("Do you wish to install additional FTP sites?", IDNO, Pid(), 60000));
    AcceptGroupAndIcons();
    AcceptIconPlacement();
    AnswerFinalMessage(true, IDCANCEL);
    EXPECT_EQ(3010u, Finish());   // the restart question, Cancel
    EXPECT_EQ(old, ReadFileText(dest + "\\zeltra.ini"));
    EXPECT_FALSE(FileExists(dest + "\\original.ini"));
    EXPECT_FALSE(FileExists(dest + "\\sitesav.ini"));
}

TEST_F(InteractiveInstall, HelpThenOnlyFtpUtilitiesGiveMaskFourAndNoProductIni)
{
    std::string dest = std::string(kDestRoot) + "\\utilities";
    Launch();
    ChooseInstall();
    EnterFolder(dest);
    HWND d = Dialog(IDC_COMPONENTS_HELP);
    ASSERT_NE(nullptr, d);
    // Help first: its page comes in front and OK goes back to the choice.
    ASSERT_TRUE(ClickWithMouse(d, IDC_COMPONENTS_HELP));
    HWND help = WaitForDialog({kCaption, IDOK, Pid(), d});
    ASSERT_TRUE(help && TypeInto(help, "key Return") && WaitForClose(help));
    ASSERT_TRUE(ClickWithMouse(d, IDC_CLASSIC));
    ASSERT_TRUE(ClickWithMouse(d, IDC_EXPLORER));
    ASSERT_TRUE(TypeInto(d, "key Return"));
    AcceptGroupAndIcons();
    // No Explorer interface, nothing in use: the success message, no question.
    AnswerFinalMessage(false, IDOK);
    EXPECT_EQ(0u, Finish());
    EXPECT_TRUE(FileExists(dest + "\\zlscript.exe"));
    // Required base files come along; the product INI step does not run.
    EXPECT_TRUE(FileExists(dest + "\\zlclient.exe"));
    EXPECT_FALSE(FileExists(dest + "\\ZlCore32.cnt"));
    EXPECT_FALSE(FileExists(dest + "\\zeltra.ini"));
    EXPECT_FALSE(FileExists(dest + "\\zlexpl32.dll"));
}

}  // namespace
