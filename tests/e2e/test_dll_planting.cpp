// DLLs planted under system names beside setup.exe (a Downloads folder) and
// in the temporary folder (the program's current folder, and where the
// uninstaller runs its copy from) are never loaded.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "harness.h"
#include "install_state.h"

using namespace zt;

namespace {

const char kDest[] = "C:\\zt\\planting-dest";
const char *const kPlanted[] = {"lz32.dll", "comdlg32.dll"};
// Wine prefers its own system DLLs to any copy; Windows searches the
// program's folder first for DLLs outside its known list. Native first for
// these two, for the test's programs only, makes Wine search as Windows does.
const char *const kTestPrograms[] = {"ztsetup.exe", "lz32_user.exe", "zlrem32.exe"};

std::string OverridesKey(const char *program)
{
    return std::string("Software\\Wine\\AppDefaults\\") + program;
}

class DllPlanting : public ::testing::Test {
protected:
    std::string app, temp;

    void SetUp() override
    {
        SetWindowsVersion("");
        ResetInstallState({kDest});
        app = FreshDir("planting-app");
        temp = FreshDir("planting-temp");
        for (const char *program : kTestPrograms)
            for (const char *name : kPlanted)
                RegSetText(HKEY_CURRENT_USER, OverridesKey(program) + "\\DllOverrides",
                           std::string(name, strlen(name) - 4).c_str(), "native,builtin");
        ASSERT_TRUE(CopyFileTo(SetupExe(), app + "\\ztsetup.exe"));
        for (const char *name : kPlanted) {
            std::string built = ExeDir() + "\\planted\\" + name;
            ASSERT_TRUE(FileExists(built)) << built;
            ASSERT_TRUE(CopyFileTo(built, app + "\\" + name));
            ASSERT_TRUE(CopyFileTo(built, temp + "\\" + name));
        }
    }
    void TearDown() override
    {
        ResetInstallState({kDest});
        for (const char *program : kTestPrograms)
            RegDeleteTreeAll(HKEY_CURRENT_USER, OverridesKey(program));
    }

    std::vector<std::string> Markers()
    {
        std::vector<std::string> found;
        for (const std::string &folder : {app, temp})
            for (const char *name : kPlanted)
                if (FileExists(folder + "\\" + name + ".loaded"))
                    found.push_back(folder + "\\" + name);
        return found;
    }
};

TEST_F(DllPlanting, AProgramImportingLz32LoadsThePlantedCopy)
{
    // The control case: the same conditions catch a program that imports
    // lz32.dll, as setup.exe once did.
    std::string exe = app + "\\lz32_user.exe";
    ASSERT_TRUE(CopyFileTo(ExeDir() + "\\planted\\lz32_user.exe", exe));
    zt::Run run;
    run.exe = exe;
    run.tempDir = temp;
    EXPECT_EQ(0u, RunToEnd(run));
    EXPECT_TRUE(FileExists(app + "\\lz32.dll.loaded"));
}

TEST_F(DllPlanting, QuietInstallationLoadsNoneAndSucceeds)
{
    WriteInstallIni(temp, {"QUIET=1", "LOGGING=1"}, {std::string("DIR32=") + kDest});
    zt::Run run;
    run.exe = app + "\\ztsetup.exe";
    run.tempDir = temp;
    run.env = {{"ZELTRA_CALL_LOG", CallLogPath()}};
    ASSERT_TRUE(zt::Installed(RunToEnd(run)));

    EXPECT_TRUE(Markers().empty()) << "loaded: " << Markers().front();
    for (const char *file : {"zlclient.exe", "zlcore32.dll", "zldone.wav"}) {
        std::string installed = std::string(kDest) + "\\" + file;
        ASSERT_TRUE(FileExists(installed)) << installed;
        EXPECT_EQ(ReadFileText(ProductFile(file)), ReadFileText(installed)) << file;
    }
    EXPECT_EQ(kDest, WinIni("ZELTRA", "DEFDIR"));
}

TEST_F(DllPlanting, UninstallersCopyLoadsNoneAndRemoves)
{
    WriteInstallIni(temp, {"QUIET=1"}, {std::string("DIR32=") + kDest});
    zt::Run install;
    install.exe = app + "\\ztsetup.exe";
    install.tempDir = temp;
    ASSERT_TRUE(zt::Installed(RunToEnd(install)));
    zt::Run run;
    ASSERT_TRUE(RegValue(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString", &run.commandLine));
    run.tempDir = temp;
    EXPECT_EQ(0u, RunToEnd(run));
    EXPECT_TRUE(WaitForNoProcess("zlrem32.exe", 30000));
    EXPECT_TRUE(Markers().empty()) << "loaded: " << Markers().front();
    EXPECT_FALSE(FileExists(std::string(kDest) + "\\zlclient.exe"));
}

}  // namespace
