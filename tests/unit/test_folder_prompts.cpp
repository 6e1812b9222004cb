// The destination prompt, the folder picker behind Browse, and folder creation.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "flow/folder_prompts.h"
#include "harness.h"
#include "resource.h"
#include "shell/messages.h"
#include "shell/options.h"
#include "shell/paths.h"
#include "flow/startup.h"
#include "uidriver.h"

namespace {

const char kPrompt[] = "Please enter the destination folder:";

HWND WaitForFolderPrompt()
{
    zt::DialogQuery query;
    query.caption = "ZELTRA Pro Installation";
    query.controlId = IDC_PROMPT;
    return zt::WaitForDialog(query);
}

HWND WaitForLocate()
{
    zt::DialogQuery query;
    query.caption = "Locate";
    query.controlId = 1121;
    return zt::WaitForDialog(query);
}

bool SameText(const std::string &a, const std::string &b)
{
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

std::string CurrentFolder()
{
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    return folder;
}

// Runs the prompt with the driver's buffer use: one 512-character buffer for
// the initial folder and the result.
struct PromptRun {
    int result = -1;
    char folder[512];
};

PromptRun RunPrompt(const char *initial, std::function<void(HWND)> drive)
{
    PromptRun run;
    CopyText(run.folder, sizeof run.folder, initial);
    zt::Driver driver([&] {
        HWND dialog = WaitForFolderPrompt();
        ASSERT_NE(dialog, nullptr);
        drive(dialog);
    });
    run.result = PromptForFolder(NULL, g_hInstance, kPrompt, run.folder, run.folder);
    return run;
}

// In the open picker: double-click a folder of the list, as a user walks.
void OpenFolder(HWND locate, const std::string &name)
{
    ASSERT_TRUE(zt::SelectItem(locate, 1121, "[" + name + "]")) << name;
    zt::Command(locate, 1121, LBN_DBLCLK);
    zt::Settle(locate);
}

class FolderPrompt : public testing::Test {
protected:
    void SetUp() override
    {
        CopyText(g_szLocateFileName, sizeof g_szLocateFileName, "a");
        root_ = zt::FreshDir("pick");
        CreateDirectoryA((root_ + "\\Apps").c_str(), NULL);
        CreateDirectoryA((root_ + "\\Tools").c_str(), NULL);
        CreateDirectoryA((root_ + "\\Tools\\Zeltra").c_str(), NULL);
    }
    void TearDown() override { zt::RemoveTree(root_); }
    std::string root_;
};

TEST_F(FolderPrompt, OkReturnsTheEditedFolder)
{
    PromptRun run = RunPrompt("C:\\Program Files\\ZELTRA", [](HWND dialog) {
        EXPECT_EQ(kPrompt, zt::ControlText(dialog, IDC_PROMPT));
        EXPECT_EQ("C:\\Program Files\\ZELTRA", zt::ControlText(dialog, IDC_FOLDER_EDIT));
        zt::SetControlText(dialog, IDC_FOLDER_EDIT, "D:\\Net\\FTP");
        zt::PressKey(dialog, VK_RETURN);
    });
    EXPECT_EQ(1, run.result);
    EXPECT_STREQ("D:\\Net\\FTP", run.folder);
}

TEST_F(FolderPrompt, CancelLeavesTheResult)
{
    PromptRun run = RunPrompt("C:\\Program Files\\ZELTRA", [](HWND dialog) {
        zt::SetControlText(dialog, IDC_FOLDER_EDIT, "D:\\Elsewhere");
        zt::PressKey(dialog, VK_ESCAPE);
    });
    EXPECT_EQ(0, run.result);
    EXPECT_STREQ("C:\\Program Files\\ZELTRA", run.folder);
}

TEST_F(FolderPrompt, BrowseAddsTheProductFolder)
{
    std::string before = CurrentFolder();
    std::string root = root_;
    PromptRun run = RunPrompt("C:\\Program Files\\ZELTRA", [&](HWND dialog) {
        // What is typed is where the picker starts.
        zt::SetControlText(dialog, IDC_FOLDER_EDIT, root);
        zt::Click(dialog, IDC_BROWSE);
        HWND locate = WaitForLocate();
        ASSERT_NE(locate, nullptr);
        EXPECT_EQ(kPrompt, zt::ControlText(locate, IDC_LOCATE_HEADING));
        EXPECT_FALSE(zt::IsShown(locate, 1152));
        EXPECT_TRUE(SameText(root, zt::ControlText(locate, 1088)));
        OpenFolder(locate, "Apps");
        zt::Click(locate, IDOK);
        ASSERT_TRUE(zt::WaitForClose(locate));
        zt::Settle(dialog);
        EXPECT_TRUE(IsWindowVisible(dialog)) << "Browse leaves the prompt open";
        EXPECT_TRUE(SameText(root + "\\Apps\\ZELTRA", zt::ControlText(dialog, IDC_FOLDER_EDIT)));

        // A path that names the product already is taken as it is.
        zt::SetControlText(dialog, IDC_FOLDER_EDIT, root + "\\Apps");
        zt::Click(dialog, IDC_BROWSE);
        locate = WaitForLocate();
        ASSERT_NE(locate, nullptr);
        OpenFolder(locate, "..");
        OpenFolder(locate, "Tools");
        OpenFolder(locate, "Zeltra");
        zt::PressKey(locate, VK_RETURN);
        ASSERT_TRUE(zt::WaitForClose(locate));
        zt::Settle(dialog);
        EXPECT_TRUE(SameText(root + "\\Tools\\Zeltra", zt::ControlText(dialog, IDC_FOLDER_EDIT)));
        zt::Click(dialog, IDOK);
    });
    EXPECT_EQ(1, run.result);
    EXPECT_TRUE(SameText(root_ + "\\Tools\\Zeltra", run.folder));
    EXPECT_EQ(before, CurrentFolder()) << "the work folder stays current";
}

TEST_F(FolderPrompt, CancelledBrowseKeepsTheText)
{
    std::string root = root_;
    PromptRun run = RunPrompt(root_.c_str(), [&](HWND dialog) {
        zt::Click(dialog, IDC_BROWSE);
        HWND locate = WaitForLocate();
        ASSERT_NE(locate, nullptr);
        OpenFolder(locate, "Apps");
        zt::PressKey(locate, VK_ESCAPE);
        ASSERT_TRUE(zt::WaitForClose(locate));
        zt::Settle(dialog);
        EXPECT_EQ(root, zt::ControlText(dialog, IDC_FOLDER_EDIT));
        zt::Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(0, run.result);
}

TEST_F(FolderPrompt, SourceTemplateForTheProgramName)
{
    char located[261];
    std::string root = root_;
    zt::Driver driver([&] {
        HWND locate = WaitForLocate();
        ASSERT_NE(locate, nullptr);
        EXPECT_EQ("Please help me locate the source files directory!",
                  zt::ControlText(locate, 0xFFFF));
        EXPECT_EQ(nullptr, GetDlgItem(locate, IDC_LOCATE_HEADING));
        OpenFolder(locate, "Apps");
        zt::Click(locate, IDOK);
    });
    EXPECT_NE(0, LocateFolder(NULL, "ZELTRA95.exe", root_.c_str(), located));
    driver.Join();
    EXPECT_TRUE(SameText(root + "\\Apps", located)) << "no product folder added for other names";
}

// --- CreateFolderTree ------------------------------------------------------

// A drive letter with nothing behind it.
std::string MissingDrive()
{
    DWORD drives = GetLogicalDrives();
    for (char letter = 'Q'; letter <= 'Y'; ++letter)
        if (!(drives & (1u << (letter - 'A'))))
            return std::string(1, letter) + ":";
    return "";
}

DWORD CreationError(const std::string &path)
{
    CreateDirectoryA(path.c_str(), NULL);
    return GetLastError();
}

std::string Report(const std::string &path, DWORD error)
{
    return "Creation of " + path + " failed. (" + std::to_string(error) + ")";
}

// Calls CreateFolderTree; any message box it shows fails the test.
int CreateWithoutReports(char *path)
{
    std::atomic<bool> done{false};
    zt::Driver watch([&] {
        zt::MessageBoxSeen box;
        while (!done && !box)
            box = zt::WaitForMessageBox("", 0, 100);
        EXPECT_FALSE(box) << box.text;
        if (box)
            zt::Command(box.window, IDOK);
    });
    int result = CreateFolderTree(path);
    done = true;
    return result;
}

TEST(CreateFolderTree, ExistingFolderIsSuccess)
{
    std::string dir = zt::FreshDir("tree");
    char path[512];
    CopyText(path, sizeof path, dir.c_str());
    EXPECT_EQ(1, CreateWithoutReports(path));
    EXPECT_EQ(dir, path);
}

TEST(CreateFolderTree, FileInTheWayIsAFailure)
{
    std::string dir = zt::FreshDir("tree");
    std::string file = dir + "\\plain";
    ASSERT_TRUE(zt::WriteFileText(file, "not a folder"));
    g_bSilent = 0;
    char path[512];
    CopyText(path, sizeof path, file.c_str());
    zt::Driver driver([&] {
        zt::MessageBoxSeen box = zt::AnswerMessageBox("Creation of", IDOK);
        ASSERT_TRUE(box);
        EXPECT_EQ(Report(file, ERROR_ALREADY_EXISTS), box.text);
    });
    EXPECT_EQ(0, CreateFolderTree(path));
    driver.Join();
    zt::RemoveTree(dir);
}

TEST(CreateFolderTree, MissingLevelsAreCreatedParentFirst)
{
    std::string dir = zt::FreshDir("tree");
    char path[512];
    CopyText(path, sizeof path, (dir + "\\New\\Sub").c_str());
    EXPECT_NE(0, CreateWithoutReports(path));
    EXPECT_EQ(dir + "\\New\\Sub", path);
    EXPECT_TRUE(zt::DirExists(dir + "\\New\\Sub"));
    zt::RemoveTree(dir);
}

TEST(CreateFolderTree, MissingDriveReportsEachLevel)
{
    std::string drive = MissingDrive();
    ASSERT_FALSE(drive.empty());
    std::string first = Report(drive, CreationError(drive));
    std::string second = Report(drive + "\\Dir", CreationError(drive + "\\Dir"));
    g_bSilent = 0;
    char path[512];
    CopyText(path, sizeof path, (drive + "\\Dir").c_str());
    zt::Driver driver([&] {
        zt::MessageBoxSeen box = zt::AnswerMessageBox("Creation of", IDOK);
        ASSERT_TRUE(box);
        EXPECT_EQ(first, box.text);
        EXPECT_EQ("Install", box.caption);
        EXPECT_EQ(nullptr, GetWindow(box.window, GW_OWNER));
        ASSERT_TRUE(zt::WaitForClose(box.window));
        box = zt::AnswerMessageBox("Creation of", IDOK);
        ASSERT_TRUE(box);
        EXPECT_EQ(second, box.text);
    });
    EXPECT_EQ(0, CreateFolderTree(path));
    driver.Join();
    EXPECT_EQ(drive + "\\Dir", path);
}

TEST(CreateFolderTree, QuietModeWritesTheReportsToTheLog)
{
    std::string drive = MissingDrive();
    ASSERT_FALSE(drive.empty());
    std::string dir = zt::FreshDir("quietlog");
    std::string before = CurrentFolder();
    SetCurrentDirectoryA(dir.c_str());
    g_bSilent = 1;
    g_bLogging = 1;
    char path[512];
    CopyText(path, sizeof path, (drive + "\\Dir").c_str());
    int result = CreateWithoutReports(path);
    g_bSilent = 0;
    g_bLogging = 0;
    SetCurrentDirectoryA(before.c_str());

    EXPECT_EQ(0, result);
    std::vector<std::string> lines = zt::ReadLines(dir + "\\setup.log");
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(Report(drive, CreationError(drive)), lines[0]);
    EXPECT_EQ(Report(drive + "\\Dir", CreationError(drive + "\\Dir")), lines[1]);
    zt::RemoveTree(dir);
}

}  // namespace
