// Interactive installations against a Program Manager whose "Groups" reply
// is hostile: longer than the old 2096-byte buffer, without its zero,
// hundreds of groups, empty, refused. The group question must still come
// with what could be read, and the installation must end normally.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "harness.h"
#include "hostile.h"
#include "install_state.h"
#include "progman_fake.h"
#include "resource.h"
#include "uidriver.h"

using namespace zt;

namespace {

const char kCaption[] = "ZELTRA Pro Installation";
const char kDestRoot[] = "C:\\zt\\dest";

std::string Groups(int count, const std::string &stem)
{
    std::string reply;
    for (int i = 0; i < count; ++i)
        reply += stem + std::to_string(1000 + i) + "\r\n";
    return reply;
}

struct ReplyCase {
    const char *name;
    std::string reply;
    bool answer;           // false: the request is refused
    int listed;            // names the combo box must hold
    std::string lastName;  // one that must be among them ("" none)
};

std::vector<ReplyCase> Replies()
{
    std::string big = Groups(120, "A group with quite a long name number ");
    return {
        {"LongerThan2096Bytes", big + '\0', true, 120, "A group with quite a long name number 1119"},
        {"WithoutItsZero", Groups(3, "G") + "Last", true, 4, "Last"},
        {"HundredsOfGroups", Groups(600, "Group ") + '\0', true, 600, "Group 1599"},
        {"Empty", "", true, 0, ""},
        {"OnlySeparators", std::string("\r\n\r\n\n\r") + '\0', true, 0, ""},
        {"FormatDirectives", std::string("%s%n\r\n%1!s!\r\n!\r\n") + '\0', true, 3, "%s%n"},
        {"Refused", "", false, 0, ""},
    };
}

class HostileGroupsReply : public ::testing::TestWithParam<ReplyCase> {
protected:
    Started setup;
    void SetUp() override
    {
        SetWindowsVersion("");
        ResetInstallState({kDestRoot});
        CreateDirectoryA(kDestRoot, NULL);
    }
    void TearDown() override
    {
        if (setup.pi.hProcess) {
            CloseAllDialogs(setup.pi.dwProcessId);
            Wait(setup, 5000);
        }
        ResetInstallState({kDestRoot});
    }
    HWND Dialog(int controlId, const std::string &caption = kCaption)
    {
        DialogQuery q;
        q.caption = caption;
        q.controlId = controlId;
        q.processId = setup.pi.dwProcessId;
        return WaitForDialog(q, 30000);
    }
};

TEST_P(HostileGroupsReply, TheGroupQuestionStillComes)
{
    const ReplyCase &c = GetParam();
    FakeProgmanOptions options;
    options.reply = c.reply;
    options.answerGroups = c.answer;
    FakeProgman progman(options);
    ASSERT_TRUE(progman.Ready());

    std::string dest = std::string(kDestRoot) + "\\groups";
    zt::Run run;
    run.tempDir = FreshDir("temp");
    run.env = {{"ZELTRA_CALL_LOG", CallLogPath()}};
    setup = Start(run);
    ASSERT_NE(nullptr, setup.pi.hProcess);
    HWND d = Dialog(IDC_RADIO_FIRST);
    ASSERT_NE(nullptr, d);
    Click(d, IDOK);
    d = Dialog(IDC_BROWSE);
    ASSERT_NE(nullptr, d);
    SetControlText(d, IDC_FOLDER_EDIT, dest);
    Click(d, IDOK);
    d = Dialog(IDC_COMPONENTS_HELP);
    ASSERT_NE(nullptr, d);
    Click(d, IDOK);

    HWND group = Dialog(IDC_GROUP_COMBO, "Program Manager Group");
    ASSERT_NE(nullptr, group);
    HWND combo = GetDlgItem(group, IDC_GROUP_COMBO);
    LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    EXPECT_EQ(c.listed, count);
    if (!c.lastName.empty()) {
        EXPECT_NE(CB_ERR, SendMessageA(combo, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(c.lastName.c_str())));
    }
    EXPECT_EQ("ZELTRA Pro", ControlText(group, IDC_GROUP_COMBO));
    Click(group, IDOK);

    HWND placement = Dialog(IDC_RADIO_FIRST, "Icon Placement");
    ASSERT_NE(nullptr, placement);
    Click(placement, IDOK);
    ASSERT_TRUE(AnswerMessageBox("Installation successful!", IDCANCEL, setup.pi.dwProcessId, 60000));
    DWORD code = Wait(setup, 60000);
    EXPECT_TRUE(Installed(code)) << DescribeExit(code);
    EXPECT_EQ("12", WinIni("ZELTRA", "INSTOPTS"));
    std::vector<std::string> commands = progman.Commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ("[CreateGroup(ZELTRA Pro)]", commands.front());
}

INSTANTIATE_TEST_SUITE_P(Replies, HostileGroupsReply, ::testing::ValuesIn(Replies()),
                         [](const ::testing::TestParamInfo<ReplyCase> &info) { return std::string(info.param.name); });

}  // namespace

namespace {

// A window whose thread stopped taking messages a moment ago is not yet
// taken for hung: a plain DdeConnect's broadcast would wait for it.
TEST(UnansweringWindow, TheQuietInstallationEndsInTimeWithTheGroupMade)
{
    SetWindowsVersion("");
    ResetInstallState({kDestRoot});
    FakeProgmanOptions options;
    options.stall = true;
    FakeProgman stalled(options);
    ASSERT_TRUE(stalled.Ready());
    zt::Run run;
    run.tempDir = FreshDir("temp");
    WriteInstallIni(run.tempDir, {"QUIET=1", "LOGGING=1"}, {std::string("DIR32=") + kDestRoot});
    DWORD started = GetTickCount(), code = RunToEnd(run);
    EXPECT_TRUE(Installed(code)) << code;
    EXPECT_LT(GetTickCount() - started, 30000u);
    EXPECT_TRUE(FileExists(CommonGroupFolder("ZELTRA Pro") + "\\ZELTRA Pro Uninstall.lnk"));
    stalled.Stop();
    ResetInstallState({kDestRoot});
}

}  // namespace
