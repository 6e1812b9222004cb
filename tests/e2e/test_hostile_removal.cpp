// Removal started over a crafted win.ini [ZELTRA]: a folder too long for
// its buffer, one carrying format directives, a relative one. It must end
// with its outcome message and touch nothing outside the recorded folder.
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

struct RemovalCase {
    const char *name;
    std::string dir;
    bool shared = false;   // a folder others use: files of theirs are planted there
};

// What a sweep or the INI question would reach in a shared folder.
const char *const kTheirs[] = {"zt-theirs.log", "zt-theirs.bak", "zt-theirs.tmp", "zeltra.ini"};

class HostileRemoval : public ::testing::TestWithParam<RemovalCase> {
protected:
    void SetUp() override { ResetInstallState({"C:\\zt\\dest"}); }
    void TearDown() override { ResetInstallState({"C:\\zt\\dest"}); }
};

TEST_P(HostileRemoval, EndsWithItsOutcomeAndStaysInItsFolder)
{
    const RemovalCase &c = GetParam();
    CreateDirectoryA("C:\\zt\\dest", NULL);
    WriteFileText("C:\\zt\\dest\\notes.log", "the user's notes");
    WriteProfileStringA("ZELTRA", "DIR", c.dir.c_str());
    WriteProfileStringA("ZELTRA", "DEFDIR", c.dir.c_str());
    WriteProfileStringA("ZELTRA", "INSTOPTS", "12");
    if (c.shared) {
        for (const char *name : kTheirs)
            ASSERT_TRUE(WriteFileText(c.dir + "\\" + name, "theirs"));
    }
    std::string temp = FreshDir("temp");
    Snapshot before = TakeSnapshot();

    zt::Run run;
    run.tempDir = temp;
    Started s = Start(run);
    ASSERT_NE(nullptr, s.pi.hProcess);
    DWORD pid = s.pi.dwProcessId;
    DialogQuery q;
    q.caption = "ZELTRA Pro Installation";
    q.controlId = IDC_RADIO_FIRST;
    q.processId = pid;
    HWND first = WaitForDialog(q, 30000);
    ASSERT_NE(nullptr, first);
    ASSERT_TRUE(IsEnabled(first, IDC_RADIO_SECOND));
    Click(first, IDC_RADIO_SECOND);
    Click(first, IDOK);
    std::vector<std::string> seen;
    for (int i = 0; i < 6; ++i) {
        MessageBoxSeen box = WaitForMessageBox("", pid, 20000);
        if (!box)
            break;
        seen.push_back(box.text);
        Command(box.window, box.text.find("INI files") != std::string::npos ? IDNO : IDCANCEL);
        WaitForClose(box.window, 10000);
        if (WaitForSingleObject(s.pi.hProcess, 1000) == WAIT_OBJECT_0)
            break;
    }
    DWORD code = Wait(s, 30000);
    if (code == STILL_ACTIVE)
        CloseAllDialogs(pid);
    ASSERT_TRUE(Installed(code)) << DescribeExit(code);
    EXPECT_TRUE(AnyLineHas(seen, "Removal process complete.")) << "no outcome message";
    EXPECT_EQ("the user's notes", ReadFileText("C:\\zt\\dest\\notes.log"));
    for (const std::string &path : ChangedOutside(before, TakeSnapshot(), {temp, "C:\\windows\\win.ini"}))
        ADD_FAILURE() << "touched outside: " << path;
    if (c.shared) {
        EXPECT_FALSE(AnyLineHas(seen, "INI files")) << "asked about INI files that are not the product's";
        for (const char *name : kTheirs) {
            EXPECT_EQ("theirs", ReadFileText(c.dir + "\\" + name)) << name;
            DeleteFileA((c.dir + "\\" + name).c_str());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(WinIni, HostileRemoval,
    ::testing::Values(RemovalCase{"LongDir", "C:\\zt\\dest\\" + Repeat("r", 10000)},
                      RemovalCase{"FormatDir", "C:\\zt\\dest\\%s%n%1!s!!"},
                      RemovalCase{"RelativeDir", "..\\dest\\gone"},
                      RemovalCase{"WindowsFolder", "C:\\windows", true},
                      RemovalCase{"WindowsFolderAsDevicePath", "\\\\?\\C:\\windows", true},
                      RemovalCase{"DriveRoot", "C:\\", true},
                      RemovalCase{"ProgramFiles", "C:\\Program Files", true}),
    [](const ::testing::TestParamInfo<RemovalCase> &info) { return std::string(info.param.name); });

}  // namespace
