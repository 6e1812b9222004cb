// The user's sites through a whole life of the product: installed over an
// old product INI, upgraded (Yes to the sites question), installed again,
// removed keeping the INI files, installed once more. Not one of 200 sites
// may be lost on the way.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "harness.h"
#include "hostile.h"
#include "install_state.h"
#include "resource.h"
#include "uidriver.h"

using namespace zt;

namespace {

const char kCaption[] = "ZELTRA Pro Installation";
const char kDestRoot[] = "C:\\zt\\dest";
const int kSites = 200;

std::string SiteName(int i) { return "Site " + std::to_string(i) + " %s!"; }
std::string SiteHost(int i) { return "ftp" + std::to_string(i) + ".example.com"; }

std::string OldProductIni()
{
    std::string text = "[MySites]\r\nFILENAME=old-index.ini\r\n";
    for (int i = 0; i < kSites; ++i)
        text += "[" + SiteName(i) + "]\r\nHOST=" + SiteHost(i) + "\r\nUSER=user" + std::to_string(i) +
                "\r\nDIR=/pub/" + std::to_string(i) + "\r\n";
    text += "[_config_]\r\nMAILADDR=me@example.com\r\n";
    return text;
}

// Sites of the old INI found, with their host, in any of the files.
int SitesFound(const std::string &dest)
{
    int found = 0;
    for (int i = 0; i < kSites; ++i) {
        for (const char *file : {"original.ini", "zeltra.ini"}) {
            char host[256];
            GetPrivateProfileStringA(SiteName(i).c_str(), "HOST", "", host, sizeof host,
                                     (dest + "\\" + file).c_str());
            if (SiteHost(i) == host) {
                ++found;
                break;
            }
        }
    }
    return found;
}

class SitesCycle : public ::testing::Test {
protected:
    std::string dest = std::string(kDestRoot) + "\\cycle";
    std::string temp;
    Started setup;

    void SetUp() override
    {
        SetWindowsVersion("");
        ResetInstallState({kDestRoot});
        CreateDirectoryA(kDestRoot, NULL);
        CreateDirectoryA(dest.c_str(), NULL);
        temp = FreshDir("temp");
    }
    void TearDown() override
    {
        if (setup.pi.hProcess) {
            CloseAllDialogs(setup.pi.dwProcessId);
            Wait(setup, 5000);
        }
        ResetInstallState({kDestRoot});
    }
    DWORD Pid() const { return setup.pi.dwProcessId; }
    HWND Dialog(int controlId, const std::string &caption = kCaption)
    {
        DialogQuery q;
        q.caption = caption;
        q.controlId = controlId;
        q.processId = Pid();
        return WaitForDialog(q, 30000);
    }
    DWORD QuietInstall()
    {
        WriteInstallIni(temp, {"QUIET=1", "LOGGING=1"}, {"DIR32=" + dest});
        zt::Run run;
        run.tempDir = temp;
        run.timeoutMs = 90000;
        return RunToEnd(run);
    }
    void Launch()
    {
        DeleteFileA((temp + "\\install.ini").c_str());
        zt::Run run;
        run.tempDir = temp;
        setup = Start(run);
        ASSERT_NE(nullptr, setup.pi.hProcess);
    }
    DWORD Finish()
    {
        DWORD code = Wait(setup, 60000);
        setup = Started();
        return code;
    }
};

TEST_F(SitesCycle, TwoHundredSitesSurviveInstallUpgradeReinstallRemoveInstall)
{
    ASSERT_TRUE(WriteFileText(dest + "\\zeltra.ini", OldProductIni()));
    ASSERT_EQ(kSites, SitesFound(dest));

    // 1. Quiet installation over the old INI: the folder's INI is left alone.
    DWORD code = QuietInstall();
    ASSERT_TRUE(Installed(code)) << DescribeExit(code);
    EXPECT_EQ(OldProductIni(), ReadFileText(dest + "\\zeltra.ini"));
    EXPECT_EQ(kSites, SitesFound(dest)) << "after the first installation";

    // 2. Upgrade, Yes to the sites question: the old INI becomes original.ini.
    Launch();
    HWND d = Dialog(IDC_RADIO_FIRST);
    ASSERT_NE(nullptr, d);
    Click(d, IDOK);
    d = Dialog(IDC_BROWSE);
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(dest, ControlText(d, IDC_FOLDER_EDIT));   // the recorded folder
    Click(d, IDOK);
    d = Dialog(IDC_COMPONENTS_HELP);
    ASSERT_NE(nullptr, d);
    Click(d, IDOK);
    ASSERT_TRUE(AnswerMessageBox("Do you wish to install additional FTP sites?", IDYES, Pid(), 60000));
    d = Dialog(IDC_GROUP_COMBO, "Program Manager Group");
    ASSERT_NE(nullptr, d);
    Click(d, IDOK);
    ASSERT_TRUE(AnswerMessageBox("Installation successful!", IDCANCEL, Pid(), 60000));
    code = Finish();
    ASSERT_TRUE(Installed(code)) << DescribeExit(code);
    ASSERT_TRUE(FileExists(dest + "\\original.ini"));
    EXPECT_EQ(kSites, SitesFound(dest)) << "after the upgrade";

    // 3. Installed again: original.ini is there, nothing changes.
    std::string original = ReadFileText(dest + "\\original.ini");
    code = QuietInstall();
    ASSERT_TRUE(Installed(code)) << DescribeExit(code);
    EXPECT_EQ(original, ReadFileText(dest + "\\original.ini"));
    EXPECT_EQ(kSites, SitesFound(dest)) << "after the reinstallation";

    // 4. Removed, No to deleting the INI files.
    Launch();
    d = Dialog(IDC_RADIO_FIRST);
    ASSERT_NE(nullptr, d);
    ASSERT_TRUE(IsEnabled(d, IDC_RADIO_SECOND));
    Click(d, IDC_RADIO_SECOND);
    Click(d, IDOK);
    bool askedAboutIni = false;
    for (int i = 0; i < 10; ++i) {
        MessageBoxSeen box = WaitForMessageBox("", Pid(), 30000);
        if (!box)
            break;
        if (box.text.find("You have INI files") != std::string::npos) {
            askedAboutIni = true;
            Command(box.window, IDNO);
        } else {
            Command(box.window, box.text.find("restart") != std::string::npos ? IDCANCEL : IDOK);
        }
        WaitForClose(box.window, 10000);
        if (WaitForSingleObject(setup.pi.hProcess, 1000) == WAIT_OBJECT_0)
            break;
    }
    code = Finish();
    ASSERT_TRUE(Installed(code)) << DescribeExit(code);
    EXPECT_TRUE(askedAboutIni);
    EXPECT_FALSE(FileExists(dest + "\\zlclient.exe")) << "the removal did not run";
    EXPECT_EQ(kSites, SitesFound(dest)) << "after the removal";

    // 5. Installed once more.
    code = QuietInstall();
    ASSERT_TRUE(Installed(code)) << DescribeExit(code);
    EXPECT_TRUE(FileExists(dest + "\\zlclient.exe"));
    int found = SitesFound(dest);
    RecordProperty("sites_lost", kSites - found);
    EXPECT_EQ(kSites, found) << "after the last installation";
    char index[512];
    GetPrivateProfileStringA("MySites", "FILENAME", "", index, sizeof index, (dest + "\\zeltra.ini").c_str());
    EXPECT_EQ(dest + "\\original.ini", std::string(index)) << "the index no longer points at the user's sites";
}

}  // namespace
