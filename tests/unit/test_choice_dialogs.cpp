// The choice dialogs, driven on screen as a user would.
#include <gtest/gtest.h>

#include <string>

#include "flow/choice_dialogs.h"
#include "flow/startup.h"
#include "install/registration.h"
#include "resource.h"
#include "shell/messages.h"
#include "shell/options.h"
#include "shell/progress.h"
#include "uidriver.h"

namespace {

const char kCaption[] = "ZELTRA Pro Installation";

HWND WaitFor(int controlId, HWND except = NULL)
{
    zt::DialogQuery query;
    query.caption = kCaption;
    query.controlId = controlId;
    query.except = except;
    return zt::WaitForDialog(query);
}

// --- templates -------------------------------------------------------------

struct TemplateCase {
    const char *name;
    int cx, cy;
    bool sysMenu, visible;
};

const TemplateCase kTemplates[] = {
    {"DLG_INSTALL", 194, 82, true, true},
    {"DLG_VERS_32", 249, 82, true, true},
    {"DLG_32_HELP", 247, 175, true, true},
    {MAKEINTRESOURCEA(IDD_ICON_PLACEMENT), 228, 125, false, true},
    {"DLG_COPY", 186, 95, true, true},
    {"DLG_GETDIR", 218, 62, true, true},
    {"DLG_BROWSE", 188, 190, true, false},
    {"DLG_GETSRCDIR", 175, 183, true, true},
    {"DLG_GETGROUP", 227, 53, true, false},
};

TEST(DialogTemplates, SizesAndStyles)
{
    for (const TemplateCase &t : kTemplates) {
        SCOPED_TRACE(IS_INTRESOURCE(t.name) ? "307" : t.name);
        HRSRC found = FindResourceA(g_hInstance, t.name, MAKEINTRESOURCEA(5) /* RT_DIALOG */);
        ASSERT_NE(found, nullptr);
        const DLGTEMPLATE *dlg = static_cast<const DLGTEMPLATE *>(LockResource(LoadResource(g_hInstance, found)));
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(t.cx, dlg->cx);
        EXPECT_EQ(t.cy, dlg->cy);
        // An image marked 3.10 gets flat dialogs on Windows 95 without DS_3DLOOK.
        DWORD required = DS_MODALFRAME | DS_3DLOOK | DS_SETFONT | WS_POPUP | WS_CAPTION;
        EXPECT_EQ(required, dlg->style & required);
        EXPECT_EQ(t.sysMenu, (dlg->style & WS_SYSMENU) != 0);
        EXPECT_EQ(t.visible, (dlg->style & WS_VISIBLE) != 0);
    }
}

// --- install or remove -------------------------------------------------------

// Keeps win.ini [ZELTRA] DEFDIR and INSTOPTS as they were.
class InstallChoice : public testing::Test {
protected:
    void SetUp() override
    {
        Save("DEFDIR", defdir_, &hadDefdir_);
        Save("INSTOPTS", instopts_, &hadInstopts_);
    }
    void TearDown() override
    {
        Restore("DEFDIR", defdir_, hadDefdir_);
        Restore("INSTOPTS", instopts_, hadInstopts_);
    }
    static void Set(const char *key, const char *value) { WriteProfileStringA("ZELTRA", key, value); }

    // Runs the dialog; drive sees it open and ends it.
    int Run(std::function<void(HWND)> drive)
    {
        zt::Driver driver([&] {
            HWND dialog = WaitFor(IDC_RADIO_FIRST);
            ASSERT_NE(dialog, nullptr);
            drive(dialog);
        });
        return AskInstallOrRemove(NULL, g_hInstance);
    }

private:
    static void Save(const char *key, char *value, bool *had)
    {
        GetProfileStringA("ZELTRA", key, "\x01", value, 256);
        *had = value[0] != '\x01';
    }
    static void Restore(const char *key, const char *value, bool had)
    {
        WriteProfileStringA("ZELTRA", key, had ? value : NULL);
    }
    char defdir_[256], instopts_[256];
    bool hadDefdir_ = false, hadInstopts_ = false;
};

TEST_F(InstallChoice, FirstInstallationOffersOnlyInstall)
{
    Set("DEFDIR", NULL);
    Set("INSTOPTS", NULL);
    int result = Run([](HWND dialog) {
        EXPECT_FALSE(zt::IsShown(dialog, IDC_INSTALL_TITLE));
        EXPECT_EQ("&Install or update ZELTRA Pro", zt::ControlText(dialog, IDC_RADIO_FIRST));
        EXPECT_EQ("&Uninstall ZELTRA Pro", zt::ControlText(dialog, IDC_RADIO_SECOND));
        EXPECT_TRUE(zt::IsChecked(dialog, IDC_RADIO_FIRST));
        EXPECT_FALSE(zt::IsEnabled(dialog, IDC_RADIO_SECOND));
        zt::PressKey(dialog, VK_RETURN);
    });
    EXPECT_EQ(1, result);
}

TEST_F(InstallChoice, RemovalNeedsFolderAndComponents)
{
    const char *instopts[] = {NULL, "0"};
    for (const char *value : instopts) {
        SCOPED_TRACE(value ? value : "(missing)");
        Set("DEFDIR", "C:\\Program Files\\ZELTRA");
        Set("INSTOPTS", value);
        int result = Run([](HWND dialog) {
            EXPECT_FALSE(zt::IsEnabled(dialog, IDC_RADIO_SECOND));
            zt::PressKey(dialog, VK_ESCAPE);
        });
        EXPECT_EQ(0, result);
    }
}

TEST_F(InstallChoice, RecordedInstallationCanBeRemoved)
{
    Set("DEFDIR", "C:\\Program Files\\ZELTRA");
    Set("INSTOPTS", "7");
    int result = Run([](HWND dialog) {
        EXPECT_TRUE(zt::IsEnabled(dialog, IDC_RADIO_SECOND));
        EXPECT_TRUE(zt::IsChecked(dialog, IDC_RADIO_FIRST));
        zt::Click(dialog, IDC_RADIO_SECOND);
        zt::Click(dialog, IDOK);
    });
    EXPECT_EQ(2, result);
    EXPECT_EQ(0, Run([](HWND dialog) { zt::Click(dialog, IDCANCEL); }));
}

// --- components ----------------------------------------------------------

const int kBoxes[] = {IDC_CLASSIC, IDC_EXPLORER, IDC_UTILITIES, IDC_BROWSER};

struct MaskCase {
    const char *platform;
    int offered, allowed;
    bool ticked[4], enabled[4];
};

const MaskCase kMasks[] = {
    {"NT 3.x", 5, 5, {true, false, true, false}, {true, false, true, false}},
    {"Windows 3.x", 1, 3, {true, false, false, false}, {true, true, false, false}},
    {"95/98/NT 4, everything", 15, 15, {true, true, true, true}, {true, true, true, true}},
    {"95/98/NT 4, no extras", 9, 15, {true, false, false, true}, {true, true, true, true}},
};

int RunComponents(int offered, int allowed, std::function<void(HWND)> drive)
{
    zt::Driver driver([&] {
        HWND dialog = WaitFor(IDC_CLASSIC);
        ASSERT_NE(dialog, nullptr);
        drive(dialog);
    });
    return ChooseComponents(NULL, g_hInstance, offered, allowed);
}

TEST(Components, BoxesFollowTheMasks)
{
    for (const MaskCase &m : kMasks) {
        SCOPED_TRACE(m.platform);
        gbInstallBonusPack = 1;
        int result = RunComponents(m.offered, m.allowed, [&](HWND dialog) {
            for (int i = 0; i < 4; ++i) {
                EXPECT_EQ(m.ticked[i], zt::IsChecked(dialog, kBoxes[i])) << kBoxes[i];
                EXPECT_EQ(m.enabled[i], zt::IsEnabled(dialog, kBoxes[i])) << kBoxes[i];
            }
            zt::PressKey(dialog, VK_ESCAPE);
        });
        EXPECT_EQ(0, result);
        EXPECT_EQ(0, gbInstallBonusPack) << "Cancel clears the utilities choice";
    }
}

TEST(Components, UtilitiesGateBrowserIntegration)
{
    int result = RunComponents(15, 15, [](HWND dialog) {
        zt::Click(dialog, IDC_UTILITIES);
        zt::Settle(dialog);
        EXPECT_FALSE(zt::IsEnabled(dialog, IDC_BROWSER));
        EXPECT_TRUE(zt::IsChecked(dialog, IDC_BROWSER));
        zt::Click(dialog, IDC_UTILITIES);
        zt::Settle(dialog);
        EXPECT_TRUE(zt::IsEnabled(dialog, IDC_BROWSER));
        zt::Click(dialog, IDC_UTILITIES);
        zt::PressKey(dialog, VK_RETURN);
    });
    EXPECT_EQ(kComponentClassic | kComponentExplorer, result);
    EXPECT_EQ(0, gbInstallBonusPack);

    EXPECT_EQ(15, RunComponents(15, 15, [](HWND dialog) { zt::Click(dialog, IDOK); }));
    EXPECT_EQ(1, gbInstallBonusPack);

    // Where the platform forbids it (NT 3.x), ticking the utilities again
    // does not offer it, and a tick it gets anyway counts for nothing.
    result = RunComponents(5, 5, [](HWND dialog) {
        zt::Click(dialog, IDC_UTILITIES);
        zt::Click(dialog, IDC_UTILITIES);
        zt::Settle(dialog);
        EXPECT_TRUE(zt::IsChecked(dialog, IDC_UTILITIES));
        EXPECT_FALSE(zt::IsEnabled(dialog, IDC_BROWSER));
        SendMessageA(GetDlgItem(dialog, IDC_BROWSER), BM_SETCHECK, BST_CHECKED, 0);
        SendMessageA(GetDlgItem(dialog, IDC_EXPLORER), BM_SETCHECK, BST_CHECKED, 0);
        zt::Click(dialog, IDOK);
    });
    EXPECT_EQ(kComponentClassic | kComponentUtilities, result);
}

TEST(Components, BrowserWithoutUtilitiesIsIgnored)
{
    EXPECT_EQ(kComponentClassic, RunComponents(9, 15, [](HWND dialog) { zt::Click(dialog, IDOK); }));
    EXPECT_EQ(0, gbInstallBonusPack);
}

TEST(Components, NothingSelectedKeepsTheDialog)
{
    int result = RunComponents(1, 3, [](HWND dialog) {
        zt::Click(dialog, IDC_CLASSIC);
        zt::Click(dialog, IDOK);
        zt::MessageBoxSeen box = zt::AnswerMessageBox("Nothing Selected!", IDOK);
        ASSERT_TRUE(box);
        EXPECT_EQ(dialog, GetWindow(box.window, GW_OWNER));
        ASSERT_TRUE(zt::WaitForClose(box.window));
        zt::Settle(dialog);
        EXPECT_TRUE(IsWindowVisible(dialog));
        zt::Click(dialog, IDC_EXPLORER);
        zt::Click(dialog, IDOK);
    });
    EXPECT_EQ(kComponentExplorer, result);
}

TEST(Components, CancelClearsTheUtilities)
{
    gbInstallBonusPack = 1;
    EXPECT_EQ(0, RunComponents(5, 5, [](HWND dialog) { zt::Click(dialog, IDCANCEL); }));
    EXPECT_EQ(0, gbInstallBonusPack);
}

TEST(Components, WithoutClassicNothingIsShown)
{
    EXPECT_EQ(0, ChooseComponents(NULL, g_hInstance, 2, 15));
}

TEST(Components, DialogThatCannotBeShownChoosesNothing)
{
    HINSTANCE withoutTemplates = GetModuleHandleA("kernel32.dll");
    gbInstallBonusPack = 1;
    EXPECT_EQ(0, ChooseComponents(NULL, withoutTemplates, 15, 15));
    EXPECT_EQ(0, gbInstallBonusPack) << "as Cancel: no utilities nobody chose";
    EXPECT_EQ(-1, AskInstallOrRemove(NULL, withoutTemplates)) << "the driver reads it as install";
}

TEST(Components, HelpOpensOverTheDialog)
{
    int result = RunComponents(15, 15, [](HWND dialog) {
        zt::Click(dialog, IDC_COMPONENTS_HELP);
        HWND help = WaitFor(IDOK, dialog);
        ASSERT_NE(help, nullptr);
        EXPECT_EQ(dialog, GetWindow(help, GW_OWNER));
        EXPECT_FALSE(IsWindowEnabled(dialog));
        EXPECT_EQ(nullptr, GetDlgItem(help, IDC_CLASSIC));
        zt::PressKey(help, VK_RETURN);
        ASSERT_TRUE(zt::WaitForClose(help));
        zt::Settle(dialog);
        EXPECT_TRUE(IsWindowEnabled(dialog));
        zt::Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(0, result);
}

// --- driving another process ------------------------------------------------

const char kChildVariable[] = "ZT_COMPONENTS_CHILD";

// Runs only as the child of AnotherProcessIsDrivenTheSameWay.
TEST(Components, ShownForAnotherProcess)
{
    char flag[8];
    if (GetEnvironmentVariableA(kChildVariable, flag, sizeof flag) == 0)
        GTEST_SKIP() << "runs as a child process only";
    EXPECT_EQ(kComponentExplorer, ChooseComponents(NULL, g_hInstance, 9, 15));
}

TEST(Components, AnotherProcessIsDrivenTheSameWay)
{
    char exe[MAX_PATH];
    GetModuleFileNameA(NULL, exe, sizeof exe);
    std::string command = std::string("\"") + exe + "\" --gtest_filter=Components.ShownForAnotherProcess";
    SetEnvironmentVariableA(kChildVariable, "1");
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    BOOL started = CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi);
    SetEnvironmentVariableA(kChildVariable, NULL);
    ASSERT_TRUE(started);

    zt::DialogQuery query;
    query.caption = kCaption;
    query.controlId = IDC_CLASSIC;
    query.processId = pi.dwProcessId;
    HWND dialog = zt::WaitForDialog(query);
    EXPECT_NE(dialog, nullptr);
    if (dialog) {
        EXPECT_TRUE(zt::IsChecked(dialog, IDC_CLASSIC));
        EXPECT_TRUE(zt::IsChecked(dialog, IDC_BROWSER));
        EXPECT_FALSE(zt::IsChecked(dialog, IDC_UTILITIES));
        EXPECT_EQ("Windows Explorer interface", zt::ControlText(dialog, IDC_EXPLORER));
        zt::Click(dialog, IDC_CLASSIC);
        zt::PressKey(dialog, VK_RETURN);
        zt::MessageBoxSeen box = zt::AnswerMessageBox("Nothing Selected!", IDOK, pi.dwProcessId);
        EXPECT_TRUE(box);
        EXPECT_TRUE(zt::WaitForClose(box.window));
        zt::Click(dialog, IDC_EXPLORER);
        zt::Click(dialog, IDOK);
    }
    if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) {
        zt::CloseAllDialogs(pi.dwProcessId);
        TerminateProcess(pi.hProcess, 99);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(0u, code) << "the child's own checks";
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

// --- icon placement --------------------------------------------------------

INT_PTR RunIconPlacement(std::function<void(HWND)> drive)
{
    zt::Driver driver([&] {
        zt::DialogQuery query;
        query.caption = "Icon Placement";
        query.controlId = IDC_RADIO_FIRST;
        HWND dialog = zt::WaitForDialog(query);
        ASSERT_NE(dialog, nullptr);
        drive(dialog);
    });
    return DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_ICON_PLACEMENT), NULL,
                           IconPlacementDlgProc, 0);
}

TEST(IconPlacement, OkStoresTheChoice)
{
    g_iconLocation = 1;
    INT_PTR result = RunIconPlacement([](HWND dialog) {
        EXPECT_TRUE(zt::IsChecked(dialog, IDC_RADIO_SECOND));
        EXPECT_FALSE(zt::IsChecked(dialog, IDC_RADIO_FIRST));
        EXPECT_EQ("On my desktop ", zt::ControlText(dialog, IDC_RADIO_FIRST));
        zt::Click(dialog, IDC_RADIO_FIRST);
        zt::PressKey(dialog, VK_RETURN);
    });
    EXPECT_EQ(1, result);
    EXPECT_EQ(0, g_iconLocation);

    RunIconPlacement([](HWND dialog) {
        EXPECT_TRUE(zt::IsChecked(dialog, IDC_RADIO_FIRST));
        zt::Click(dialog, IDC_RADIO_SECOND);
        zt::Click(dialog, IDOK);
    });
    EXPECT_EQ(1, g_iconLocation);
}

TEST(IconPlacement, EscapeKeepsTheLocation)
{
    g_iconLocation = 0;
    INT_PTR result = RunIconPlacement([](HWND dialog) {
        zt::Click(dialog, IDC_RADIO_SECOND);
        zt::Settle(dialog);
        zt::PressKey(dialog, VK_ESCAPE);
    });
    EXPECT_EQ(0, result);
    EXPECT_EQ(0, g_iconLocation);
}

// --- status ------------------------------------------------------------------

TEST(StatusDialog, CancelOnlyRaisesTheFlag)
{
    g_bCancel = 0;
    g_hwndStatus = CreateDialogParamA(g_hInstance, "DLG_COPY", NULL, StatusDlgProc, 0);
    ASSERT_NE(g_hwndStatus, nullptr);
    EXPECT_TRUE(IsWindowVisible(g_hwndStatus));
    zt::Click(g_hwndStatus, IDCANCEL);
    for (int i = 0; i < 200 && !g_bCancel; ++i) {
        PumpMessages();
        Sleep(10);
    }
    EXPECT_EQ(1, g_bCancel);
    EXPECT_TRUE(IsWindow(g_hwndStatus));
    EXPECT_TRUE(IsWindowVisible(g_hwndStatus));

    // Esc reaches it through the program's message pump.
    g_bCancel = 0;
    SetFocus(GetDlgItem(g_hwndStatus, IDCANCEL));
    zt::PressKey(g_hwndStatus, VK_ESCAPE);
    for (int i = 0; i < 200 && !g_bCancel; ++i) {
        PumpMessages();
        Sleep(10);
    }
    EXPECT_EQ(1, g_bCancel);
    EXPECT_TRUE(IsWindow(g_hwndStatus));
    DestroyWindow(g_hwndStatus);
    g_hwndStatus = NULL;
    g_bCancel = 0;
}

}  // namespace
