#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "groups/group_select.h"
#include "groups/progman.h"
#include "harness.h"
#include "progman_fake.h"
#include "resource.h"
#include "flow/startup.h"

namespace {

using Names = std::vector<std::string>;

Names ComboList(HWND combo)
{
    Names names;
    LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT len = SendMessageA(combo, CB_GETLBTEXTLEN, i, 0);
        std::string text(size_t(len) + 1, '\0');
        SendMessageA(combo, CB_GETLBTEXT, i, (LPARAM)&text[0]);
        text.resize(size_t(len));
        names.push_back(text);
    }
    return names;
}

zt::FakeProgmanOptions Reply(const std::string &reply)
{
    zt::FakeProgmanOptions options;
    options.reply = reply;
    return options;
}

// What the user does in the dialog, and what was seen in it.
struct Visit {
    bool type = false;
    std::string typed;
    int button = IDOK;
    bool found = false;
    Names listed;
    std::string shown;
};

struct FindDialog {
    DWORD thread;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM param)
{
    FindDialog *find = reinterpret_cast<FindDialog *>(param);
    char title[128];
    // Visible only once WM_INITDIALOG is over (it fills the list over DDE).
    if (GetWindowThreadProcessId(window, NULL) == find->thread && IsWindowVisible(window) &&
        GetWindowTextA(window, title, sizeof title) && !strcmp(title, "Program Manager Group")) {
        find->found = window;
        return FALSE;
    }
    return TRUE;
}

// Runs AskGroupName while a helper thread waits for the dialog, reads its
// list and edit field, types, and presses the button.
int AskWith(char *groupName, Visit *visit)
{
    DWORD self = GetCurrentThreadId();
    std::thread user([self, visit] {
        FindDialog find{self, NULL};
        for (int i = 0; i < 200 && !find.found; ++i) {
            Sleep(100);
            EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&find));
        }
        if (!find.found)
            return;
        visit->found = true;
        HWND combo = GetDlgItem(find.found, IDC_GROUP_COMBO);
        visit->listed = ComboList(combo);
        char text[512] = "";
        GetWindowTextA(combo, text, sizeof text);
        visit->shown = text;
        if (visit->type)
            SendMessageA(combo, WM_SETTEXT, 0, (LPARAM)visit->typed.c_str());
        PostMessageA(find.found, WM_COMMAND, MAKEWPARAM(visit->button, BN_CLICKED),
                     (LPARAM)GetDlgItem(find.found, visit->button));
    });
    int result = AskGroupName(NULL, g_hInstance, groupName);
    user.join();
    return result;
}

TEST(GroupDialog, ListsTheServersGroupsButStartupSorted)
{
    zt::FakeProgman fake(Reply(std::string("Games\r\nStartup\r\nAccessories\r\nSTARTUP\r\nZt Tools\r\nstartUP\r\n") + '\0'));
    ASSERT_TRUE(fake.Ready());
    char name[256] = "ZELTRA Pro";
    Visit visit;
    EXPECT_EQ(1, AskWith(name, &visit));
    ASSERT_TRUE(visit.found);
    EXPECT_EQ((Names{"Accessories", "Games", "Zt Tools"}), visit.listed);
    EXPECT_EQ("ZELTRA Pro", visit.shown);
    EXPECT_STREQ("ZELTRA Pro", name);
    EXPECT_EQ(0, g_bProgmanOpen);
}

TEST(GroupDialog, OkReturnsWhatWasTypedEvenEmpty)
{
    zt::FakeProgman fake(Reply("Accessories\r\n"));
    ASSERT_TRUE(fake.Ready());

    char name[256] = "ZELTRA Pro";
    Visit typed;
    typed.type = true;
    typed.typed = "My New Group";
    EXPECT_EQ(1, AskWith(name, &typed));
    EXPECT_STREQ("My New Group", name);

    Visit empty;
    empty.type = true;
    EXPECT_EQ(1, AskWith(name, &empty));
    EXPECT_STREQ("", name);

    // At most 255 characters come back.
    Visit longName;
    longName.type = true;
    longName.typed = std::string(300, 'n');
    EXPECT_EQ(1, AskWith(name, &longName));
    EXPECT_EQ(std::string(255, 'n'), name);
}

TEST(GroupDialog, CancelKeepsTheProposal)
{
    zt::FakeProgman fake(Reply("Accessories\r\n"));
    ASSERT_TRUE(fake.Ready());
    char name[256] = "Proposed Group";
    Visit visit;
    visit.type = true;
    visit.typed = "Something Else";
    visit.button = IDCANCEL;
    EXPECT_EQ(0, AskWith(name, &visit));
    EXPECT_TRUE(visit.found);
    EXPECT_STREQ("Proposed Group", name);
}

// FillGroupList on a sorted drop-down combo box of the test's own.
class GroupList : public testing::Test {
protected:
    void SetUp() override
    {
        combo_ = CreateWindowA("COMBOBOX", "", WS_POPUP | CBS_DROPDOWN | CBS_SORT | WS_VSCROLL,
                               0, 0, 200, 200, NULL, NULL, g_hInstance, NULL);
        ASSERT_NE((HWND)NULL, combo_);
    }
    void TearDown() override { DestroyWindow(combo_); }
    const char *Fill(const zt::FakeProgmanOptions &options)
    {
        SendMessageA(combo_, CB_RESETCONTENT, 0, 0);
        zt::FakeProgman fake(options);
        if (!fake.Ready())
            return "stand-in did not start";
        return FillGroupList(combo_);
    }
    HWND combo_ = NULL;
};

std::string ManyGroups(int count, int *bytes)
{
    std::string reply;
    for (int i = count - 1; i >= 0; --i) {
        char line[64];
        snprintf(line, sizeof line, "Group number %04d\r\n", i);
        reply += line;
    }
    *bytes = int(reply.size());
    return reply;
}

TEST_F(GroupList, AReplyLongerThanTheBufferIsListedWhole)
{
    int bytes = 0;
    std::string reply = ManyGroups(400, &bytes);
    ASSERT_GT(bytes, 2096 * 3);
    const char *kept = Fill(Reply(reply + '\0'));
    ASSERT_NE((const char *)NULL, kept);
    EXPECT_EQ(reply, kept);
    Names listed = ComboList(combo_);
    ASSERT_EQ(400u, listed.size());
    EXPECT_EQ("Group number 0000", listed.front());
    EXPECT_EQ("Group number 0399", listed.back());
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end()));
}

TEST_F(GroupList, AReplyWithoutItsZeroEndsAtItsLastByte)
{
    const char *kept = Fill(Reply("Beta\r\nAlpha"));
    ASSERT_NE((const char *)NULL, kept);
    EXPECT_STREQ("Beta\r\nAlpha", kept);
    EXPECT_EQ((Names{"Alpha", "Beta"}), ComboList(combo_));

    // Also when it is longer than the buffer.
    int bytes = 0;
    std::string reply = ManyGroups(200, &bytes) + "Zulu";
    kept = Fill(Reply(reply));
    ASSERT_NE((const char *)NULL, kept);
    EXPECT_EQ(reply, kept);
    Names listed = ComboList(combo_);
    ASSERT_EQ(201u, listed.size());
    EXPECT_EQ("Zulu", listed.back());
}

TEST_F(GroupList, EmptyOrRefusedRepliesListNothing)
{
    // A full list first: a later empty answer must not bring it back.
    int bytes = 0;
    ASSERT_NE((const char *)NULL, Fill(Reply(ManyGroups(300, &bytes))));
    EXPECT_EQ(300, SendMessageA(combo_, CB_GETCOUNT, 0, 0));

    const char *kept = Fill(Reply(""));
    ASSERT_NE((const char *)NULL, kept);
    EXPECT_STREQ("", kept);
    EXPECT_EQ(0, SendMessageA(combo_, CB_GETCOUNT, 0, 0));

    kept = Fill(Reply(std::string("\r\n\r\n") + '\0'));
    ASSERT_NE((const char *)NULL, kept);
    EXPECT_EQ(0, SendMessageA(combo_, CB_GETCOUNT, 0, 0));

    zt::FakeProgmanOptions refused;
    refused.answerGroups = false;
    ASSERT_NE((const char *)NULL, Fill(Reply(ManyGroups(300, &bytes))));
    kept = Fill(refused);
    ASSERT_NE((const char *)NULL, kept);
    EXPECT_STREQ("", kept);
    EXPECT_EQ(0, SendMessageA(combo_, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(0, g_bProgmanOpen);
}

}  // namespace
