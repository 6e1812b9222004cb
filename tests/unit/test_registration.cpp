// The registration steps after the file phases, in quiet mode, on a folder
// of the stand-in product's files: registry data, win.ini, the program
// group, and the calls the product's DLLs and programs record.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flow/startup.h"
#include "install/registration.h"
#include "install/sequence.h"
#include "registry/registry.h"
#include "removal/removal_worker.h"
#include "shell/catalogue.h"
#include "shell/options.h"
#include "shell/progress.h"
#include "shell/sysdll.h"

#include "harness.h"
#include "install_state.h"
#include "resource.h"
#include "uidriver.h"

namespace {

const char kBaseServer[] = "CLSID\\" ZL_CLASS_BASE "\\InProcServer32";
const char kGroup[] = "ZT Reg Group";
const DWORD kAll = kComponentClassic | kComponentExplorer | kComponentUtilities | kComponentBrowser;

std::string CurrentFolder()
{
    char folder[MAX_PATH];
    GetCurrentDirectoryA(sizeof folder, folder);
    return folder;
}

void FillDescriptions()
{
    LoadStringA(g_hInstance, 10012, g_szDescHelp, sizeof g_szDescHelp);
    LoadStringA(g_hInstance, 10013, g_szDescNews, sizeof g_szDescNews);
    LoadStringA(g_hInstance, 10070, g_szDescUninstall, sizeof g_szDescUninstall);
    LoadStringA(g_hInstance, 10053, g_szDescIconLink, sizeof g_szDescIconLink);
    LoadStringA(g_hInstance, 10036, g_szDescExplorerHelp, sizeof g_szDescExplorerHelp);
}

class RegistrationTest : public testing::Test {
protected:
    std::string product = zt::ExeDir() + "\\product";
    std::string dest;
    std::string callLog;
    DWORD flags = 0;
    char error[kErrorTextSize] = "";

    void SetUp() override
    {
        // As setup.exe runs: the product's folder is out of the DLL search.
        RestrictDllSearch();
        ResetCatalogue();
        FillDescriptions();
        g_bSilent = 1;
        g_bNoPass = 0;
        g_bWinNT = 1;
        g_nWinMajor = 6;
        g_iconLocation = 1;
        IniFileName[0] = '\0';
        Clean();
        dest = zt::FreshDir("reg_dest");
        callLog = zt::FreshDir("reg_log") + "\\calls.log";
        SetEnvironmentVariableA("ZELTRA_CALL_LOG", callLog.c_str());
        SetEnvironmentVariableA("ZELTRA_FAIL_REGISTER", NULL);
        WriteProfileStringA("ZELTRA", "GROUP", kGroup);
    }
    void TearDown() override
    {
        for (const char *dll : {"zlexpl32.dll", "zlbrowse.dll"})
            SelfUnregisterDll(dest.c_str(), dll);
        SetEnvironmentVariableA("ZELTRA_CALL_LOG", NULL);
        SetEnvironmentVariableA("ZELTRA_FAIL_REGISTER", NULL);
        Clean();
        zt::RemoveTree(dest);
        zt::RemoveTree(zt::FreshDir("reg_log"));
    }
    static void Clean()
    {
        zt::ClearWinIniSection("ZELTRA");
        zt::RegDeleteTreeAll(HKEY_LOCAL_MACHINE, ZL_KEY_UNINSTALL);
        zt::RegDeleteTreeAll(HKEY_CLASSES_ROOT, "CLSID\\" ZL_CLASS_BASE);
        RemoveNamespaceKeys();
        std::string programs = zt::ProgramsMenuFolder();
        for (const char *group : {kGroup, "ZT Override", "ZELTRA Pro"})
            zt::RemoveTree(programs + "\\" + group);
    }

    // The stand-in product's file for every row, or a small document.
    void PlaceList(const InstallList &list)
    {
        for (int i = 0; i < list.count; ++i) {
            PayloadEntry &row = list.rows[i];
            std::string target = dest + "\\" + row.targetName;
            if (!zt::CopyFileTo(product + "\\" + row.targetName, target))
                zt::WriteFileText(target, "document");
            row.status |= kStatusPlaced;
        }
    }
    bool HaveProduct() { return zt::FileExists(product + "\\zlexpl32.dll"); }
    void PlaceAll()
    {
        PlaceList(g_basePrimaryList);
        PlaceList(g_explorerList);
        PlaceList(g_utilitiesList);
        PlaceList(g_baseFurtherList);
    }
    int Run(DWORD mask, int ok = 1)
    {
        SequenceContext c = {"", dest.c_str(), mask, &flags, NULL, NULL, error, ok};
        RunRegistrationSteps(c);
        return c.ok;
    }
    // The call log once the scheduler (started, not waited for) has written.
    std::vector<std::string> Calls(bool waitForScheduler)
    {
        for (int i = 0; waitForScheduler && i < 200; ++i) {
            if (zt::ReadFileText(callLog).find("zlsched.exe") != std::string::npos)
                break;
            Sleep(50);
        }
        return zt::ReadLines(callLog);
    }
    std::string Value(HKEY root, const std::string &key, const char *name, DWORD *bytes = NULL)
    {
        std::string data;
        if (!zt::RegValue(root, key, name, &data, NULL, bytes))
            return "<missing>";
        return data;
    }
};

TEST_F(RegistrationTest, QuietInstallationRegistersEverything)
{
    if (!HaveProduct())
        GTEST_SKIP() << "stand-in product not built";
    PlaceAll();
    g_bNoPass = 1;
    std::string before = CurrentFolder();

    EXPECT_EQ(1, Run(kAll | kComponentQuiet));

    EXPECT_STREQ("", error);
    EXPECT_EQ(DWORD(kResultClassRegistered | kResultItemCreated | kResultExplorerRegistered), flags);
    EXPECT_EQ(before, CurrentFolder());

    DWORD bytes = 0;
    std::string server = dest + "\\zlclient.exe";
    EXPECT_EQ(server, Value(HKEY_CLASSES_ROOT, kBaseServer, NULL, &bytes));
    EXPECT_EQ(server.size() + 1, bytes);
    EXPECT_EQ("Apartment", Value(HKEY_CLASSES_ROOT, kBaseServer, "ThreadingModel"));

    EXPECT_EQ(dest, zt::WinIni("ZELTRA", "DIR"));
    EXPECT_EQ("1", zt::WinIni("ZELTRA", "SPFLAGS"));
    EXPECT_EQ(kGroup, zt::WinIni("ZELTRA", "GROUP"));

    EXPECT_EQ("ZELTRA Pro Explorer",
              Value(HKEY_LOCAL_MACHINE, zt::NamespaceKey(false, ZL_CLASS_EXPLORER), NULL));
    EXPECT_EQ("ZELTRA Pro", Value(HKEY_LOCAL_MACHINE, zt::NamespaceKey(false, ZL_CLASS_ICON_LINK), NULL));
    EXPECT_FALSE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, zt::NamespaceKey(true, ZL_CLASS_EXPLORER)));

    EXPECT_EQ("Marlquin ZELTRA Pro Uninstall", Value(HKEY_LOCAL_MACHINE, ZL_KEY_UNINSTALL, "DisplayName", &bytes));
    EXPECT_EQ(sizeof "Marlquin ZELTRA Pro Uninstall", bytes);
    std::string uninstall = "\"" + dest + "\\zlrem32.exe\" -f " + dest + " -d " + dest + " -g " + kGroup;
    EXPECT_EQ(uninstall, Value(HKEY_LOCAL_MACHINE, ZL_KEY_UNINSTALL, "UninstallString", &bytes));
    EXPECT_EQ(uninstall.size() + 1, bytes);

    std::vector<std::string> expected = {
        "zlstub.dll DllRegisterServer",   "zlexpl32.dll DllRegisterServer",   "zlbrowse.dll DllRegisterServer",
        "zlbrowse.dll AddNetscapeBhoKey", "zlbrowse.dll AddExplorerBhoKey",   "zlsched.exe -install",
    };
    EXPECT_EQ(expected, Calls(true));

    EXPECT_TRUE(g_basePrimaryList.rows[kRowClient].status & kStatusRegistered);
    EXPECT_TRUE(g_baseFurtherList.rows[kRowStub].status & kStatusRegistered);
    EXPECT_TRUE(g_explorerList.rows[kRowExplorerDll].status & kStatusRegistered);

    // Items for placed rows with an icon; none for rows without.
    std::string group = zt::ProgramsMenuFolder() + "\\" + kGroup;
    for (const char *item : {"ZELTRA Pro", "ZELTRA Pro Help", "ZELTRA Find Utility", "ZELTRA Pro Uninstall",
                             "ZELTRA Pro Explorer Help", "ZELTRA Pro Release Notes"})
        EXPECT_TRUE(zt::FileExists(group + "\\" + item + ".lnk")) << item;
    EXPECT_TRUE(g_basePrimaryList.rows[kRowClient].status & kStatusItemCreated);
    EXPECT_FALSE(g_basePrimaryList.rows[kRowCore].status & kStatusItemCreated);
}

// A row with an icon that vanished after placing gets no item.
TEST_F(RegistrationTest, VanishedFileGetsNoItem)
{
    PlaceList(g_basePrimaryList);
    DeleteFileA((dest + "\\zlcore32.hlp").c_str());
    Run(kComponentClassic | kComponentQuiet);
    EXPECT_FALSE(g_basePrimaryList.rows[3].status & kStatusItemCreated);
    EXPECT_TRUE(g_basePrimaryList.rows[kRowClient].status & kStatusItemCreated);
    EXPECT_FALSE(zt::FileExists(zt::ProgramsMenuFolder() + "\\" + kGroup + "\\ZELTRA Pro Help.lnk"));
}

struct RegisterFailure {
    const char *dll;
    int ok;
    const char *error;
    bool schedulerStarted;
    bool browserKeys;
};

class RegistrationFailureTest : public RegistrationTest,
                                public testing::WithParamInterface<RegisterFailure> {};

TEST_P(RegistrationFailureTest, FailingDllHasItsEffect)
{
    if (!HaveProduct())
        GTEST_SKIP() << "stand-in product not built";
    const RegisterFailure &f = GetParam();
    PlaceAll();
    SetEnvironmentVariableA("ZELTRA_FAIL_REGISTER", f.dll);

    EXPECT_EQ(f.ok, Run(kAll | kComponentQuiet));

    EXPECT_STREQ(f.error, error);
    std::string calls;
    for (const std::string &line : Calls(f.schedulerStarted))
        calls += line + "\n";
    EXPECT_NE(std::string::npos, calls.find(std::string(f.dll) + " DllRegisterServer E_FAIL")) << calls;
    EXPECT_EQ(f.schedulerStarted, calls.find("zlsched.exe -install") != std::string::npos) << calls;
    EXPECT_EQ(f.browserKeys, calls.find("AddExplorerBhoKey") != std::string::npos) << calls;
}

INSTANTIATE_TEST_SUITE_P(
    Dlls, RegistrationFailureTest,
    testing::Values(RegisterFailure{"zlstub.dll", 1, "Failed to registered stub.", true, true},
                    RegisterFailure{"zlexpl32.dll", 0, "Failed to registered explorer.", false, false},
                    RegisterFailure{"zlbrowse.dll", 0, "Failed to registered Browser DLL.", true, false}));

// After a failed file phase nothing is registered, written or created.
TEST_F(RegistrationTest, FailedFilePhaseWritesNothing)
{
    PlaceAll();
    snprintf(error, sizeof error, "%s", "Failed to install required file zlfind.exe.");
    EXPECT_EQ(0, Run(kAll | kComponentQuiet, 0));
    EXPECT_STREQ("Failed to install required file zlfind.exe.", error);
    EXPECT_EQ(DWORD(0), flags);
    EXPECT_EQ("\x01", zt::WinIni("ZELTRA", "DIR"));
    EXPECT_EQ(kGroup, zt::WinIni("ZELTRA", "GROUP"));   // as it was
    EXPECT_FALSE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, ZL_KEY_UNINSTALL));
    EXPECT_FALSE(zt::RegKeyExists(HKEY_CLASSES_ROOT, kBaseServer));
    EXPECT_FALSE(zt::DirExists(zt::ProgramsMenuFolder() + "\\" + kGroup));
    EXPECT_TRUE(Calls(false).empty());
}

// GROUP32 of the options file wins over the remembered GROUP; an empty
// result becomes the default name.
TEST_F(RegistrationTest, GroupNameFromOptionsFile)
{
    std::string iniDir = zt::FreshDir("reg_ini");
    std::string ini = iniDir + "\\install.ini";
    snprintf(IniFileName, sizeof IniFileName, "%s", ini.c_str());
    zt::WriteFileText(ini, "[ZELTRA]\r\nGROUP32=ZT Override\r\n");
    EXPECT_EQ(1, Run(kComponentUtilities | kComponentQuiet));
    EXPECT_EQ("ZT Override", zt::WinIni("ZELTRA", "GROUP"));
    std::string uninstall = Value(HKEY_LOCAL_MACHINE, ZL_KEY_UNINSTALL, "UninstallString");
    EXPECT_EQ(" -g ZT Override", uninstall.substr(uninstall.size() - 15));

    // A second file: the profile cache may not see a rewrite within a second.
    ini = iniDir + "\\install2.ini";
    snprintf(IniFileName, sizeof IniFileName, "%s", ini.c_str());
    zt::WriteFileText(ini, "[ZELTRA]\r\nGROUP32=\r\n");
    EXPECT_EQ(1, Run(kComponentUtilities | kComponentQuiet));
    EXPECT_EQ("ZELTRA Pro", zt::WinIni("ZELTRA", "GROUP"));

    // A quote cannot travel in a group command: the default name instead.
    ini = iniDir + "\\install3.ini";
    snprintf(IniFileName, sizeof IniFileName, "%s", ini.c_str());
    zt::WriteFileText(ini, "[ZELTRA]\r\nGROUP32=Bad\"Name\r\n");
    EXPECT_EQ(1, Run(kComponentUtilities | kComponentQuiet));
    EXPECT_EQ("ZELTRA Pro", zt::WinIni("ZELTRA", "GROUP"));
    IniFileName[0] = '\0';
    zt::RemoveTree(iniDir);
}

// A command line that would not fit is not written cut short.
TEST_F(RegistrationTest, OverlongUninstallCommandIsLeftOut)
{
    std::string longDest = "C:\\zt\\" + std::string(350, 'd');
    SequenceContext c = {"", longDest.c_str(), kComponentUtilities | kComponentQuiet, &flags, NULL, NULL, error, 1};
    RunRegistrationSteps(c);
    EXPECT_EQ(1, c.ok);
    EXPECT_FALSE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, ZL_KEY_UNINSTALL));
    EXPECT_EQ(longDest, zt::WinIni("ZELTRA", "DIR"));
}

// The Explorer class already under My Computer: no question, the icon link
// follows it there.
TEST_F(RegistrationTest, ExistingNamespacePlacementIsAdopted)
{
    g_iconLocation = 0;
    zt::RegSetText(HKEY_LOCAL_MACHINE, zt::NamespaceKey(false, ZL_CLASS_EXPLORER), NULL, "kept");
    EXPECT_EQ(1, Run(kComponentClassic | kComponentExplorer | kComponentQuiet));
    EXPECT_EQ(1, g_iconLocation);
    EXPECT_EQ("kept", Value(HKEY_LOCAL_MACHINE, zt::NamespaceKey(false, ZL_CLASS_EXPLORER), NULL));
    EXPECT_EQ("ZELTRA Pro", Value(HKEY_LOCAL_MACHINE, zt::NamespaceKey(false, ZL_CLASS_ICON_LINK), NULL));
    EXPECT_FALSE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, zt::NamespaceKey(true, ZL_CLASS_ICON_LINK)));
}

// Quiet, neither key present: the Explorer key goes where the options say;
// without the base component there is no icon-link key.
TEST_F(RegistrationTest, QuietPlacementFollowsOptions)
{
    g_iconLocation = 0;
    EXPECT_EQ(1, Run(kComponentExplorer | kComponentQuiet));
    EXPECT_EQ("ZELTRA Pro Explorer",
              Value(HKEY_LOCAL_MACHINE, zt::NamespaceKey(true, ZL_CLASS_EXPLORER), NULL));
    EXPECT_FALSE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, zt::NamespaceKey(true, ZL_CLASS_ICON_LINK)));
    EXPECT_FALSE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, zt::NamespaceKey(false, ZL_CLASS_ICON_LINK)));
}

// The scheduler is started even when the browser DLL is not there.
TEST_F(RegistrationTest, SchedulerStartsWithoutBrowserDll)
{
    if (!HaveProduct())
        GTEST_SKIP() << "stand-in product not built";
    PlaceList(g_utilitiesList);
    DeleteFileA((dest + "\\zlbrowse.dll").c_str());
    EXPECT_EQ(1, Run(kComponentUtilities | kComponentBrowser | kComponentQuiet));
    EXPECT_EQ(std::vector<std::string>{"zlsched.exe -install"}, Calls(true));
}

// Interactive: Cancel in the group dialog stops the installation without
// a text of its own; nothing after the group name is written.
TEST_F(RegistrationTest, CancelledGroupDialogStops)
{
    snprintf(error, sizeof error, "%s", "Failed to install INI files.");
    zt::Driver driver([] {
        HWND dialog = zt::WaitForDialog({"Program Manager Group", IDC_GROUP_COMBO});
        ASSERT_TRUE(dialog != NULL);
        EXPECT_EQ(kGroup, zt::ControlText(dialog, IDC_GROUP_COMBO));
        zt::Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(0, Run(kComponentExplorer | kComponentUtilities));
    driver.Join();
    EXPECT_STREQ("Failed to install INI files.", error);
    EXPECT_EQ(dest, zt::WinIni("ZELTRA", "DIR"));   // written before the question
    EXPECT_FALSE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, ZL_KEY_UNINSTALL));
    EXPECT_FALSE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, zt::NamespaceKey(true, ZL_CLASS_EXPLORER)));
    EXPECT_FALSE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, zt::NamespaceKey(false, ZL_CLASS_EXPLORER)));
}

// Interactive: a name Program Manager cannot carry is told to the user, who
// is asked again with it; the name then chosen is used.
TEST_F(RegistrationTest, UnusableGroupNameIsAskedAgain)
{
    zt::Driver driver([] {
        HWND dialog = zt::WaitForDialog({"Program Manager Group", IDC_GROUP_COMBO});
        ASSERT_TRUE(dialog != NULL);
        zt::SetControlText(dialog, IDC_GROUP_COMBO, "My \"Tools\"");
        zt::Click(dialog, IDOK);
        zt::MessageBoxSeen box = zt::AnswerMessageBox("cannot make a group named", IDOK);
        ASSERT_TRUE(box);
        EXPECT_NE(std::string::npos, box.text.find("My \"Tools\"")) << box.text;
        dialog = zt::WaitForDialog({"Program Manager Group", IDC_GROUP_COMBO});
        ASSERT_TRUE(dialog != NULL);
        EXPECT_EQ("My \"Tools\"", zt::ControlText(dialog, IDC_GROUP_COMBO));
        zt::SetControlText(dialog, IDC_GROUP_COMBO, "ZT Override");
        zt::Click(dialog, IDOK);
    });
    EXPECT_EQ(1, Run(kComponentClassic));
    driver.Join();
    EXPECT_EQ("ZT Override", zt::WinIni("ZELTRA", "GROUP"));
    EXPECT_TRUE(zt::DirExists(zt::ProgramsMenuFolder() + "\\ZT Override"));
}

// Interactive, no namespace key yet: the user places the Explorer icon.
TEST_F(RegistrationTest, IconPlacementIsAsked)
{
    g_iconLocation = 0;
    zt::Driver driver([] {
        HWND group = zt::WaitForDialog({"Program Manager Group", IDC_GROUP_COMBO});
        ASSERT_TRUE(group != NULL);
        zt::Click(group, IDOK);
        HWND placement = zt::WaitForDialog({"Icon Placement", IDC_RADIO_SECOND});
        ASSERT_TRUE(placement != NULL);
        zt::Click(placement, IDC_RADIO_SECOND);
        zt::Click(placement, IDOK);
    });
    EXPECT_EQ(1, Run(kComponentExplorer));
    driver.Join();
    EXPECT_EQ(1, g_iconLocation);
    EXPECT_EQ("ZELTRA Pro Explorer",
              Value(HKEY_LOCAL_MACHINE, zt::NamespaceKey(false, ZL_CLASS_EXPLORER), NULL));
    EXPECT_EQ(kGroup, zt::WinIni("ZELTRA", "GROUP"));
}

}  // namespace
