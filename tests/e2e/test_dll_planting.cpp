// DLLs planted under system names beside setup.exe (a Downloads folder) and
// in the temporary folder (the program's current folder) are never loaded.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "harness.h"
#include "install_state.h"

using namespace zt;

namespace {

const char kDest[] = "C:\\zt\\planting-dest";
const char *const kPlanted[] = {"lz32.dll", "comdlg32.dll"};

class DllPlanting : public ::testing::Test {
protected:
    std::string app, temp;

    void SetUp() override
    {
        SetWindowsVersion("");
        ResetInstallState({kDest});
        app = FreshDir("planting-app");
        temp = FreshDir("planting-temp");
        ASSERT_TRUE(CopyFileTo(SetupExe(), app + "\\setup.exe"));
        for (const char *name : kPlanted) {
            std::string built = ExeDir() + "\\planted\\" + name;
            ASSERT_TRUE(FileExists(built)) << built;
            ASSERT_TRUE(CopyFileTo(built, app + "\\" + name));
            ASSERT_TRUE(CopyFileTo(built, temp + "\\" + name));
        }
    }
    void TearDown() override { ResetInstallState({kDest}); }

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

TEST_F(DllPlanting, PlantedDllsWorkWhenSomethingLoadsThem)
{
    // The marker proves itself: loading a planted copy leaves one.
    std::string probe = temp + "\\" + kPlanted[0];
    HMODULE module = LoadLibraryA(probe.c_str());
    ASSERT_NE(nullptr, module);
    FreeLibrary(module);
    EXPECT_TRUE(FileExists(probe + ".loaded"));
}

TEST_F(DllPlanting, QuietInstallationLoadsNoneAndSucceeds)
{
    WriteInstallIni(temp, {"QUIET=1", "LOGGING=1"}, {std::string("DIR32=") + kDest});
    zt::Run run;
    run.exe = app + "\\setup.exe";
    run.tempDir = temp;
    run.env = {{"ZELTRA_CALL_LOG", CallLogPath()}};
    ASSERT_EQ(0u, RunToEnd(run));

    EXPECT_TRUE(Markers().empty()) << "loaded: " << Markers().front();
    // The expansion went through the system's own LZ32.
    for (const char *file : {"zlclient.exe", "zlcore32.dll", "zldone.wav"}) {
        std::string installed = std::string(kDest) + "\\" + file;
        ASSERT_TRUE(FileExists(installed)) << installed;
        EXPECT_EQ(ReadFileText(ProductFile(file)), ReadFileText(installed)) << file;
    }
    EXPECT_EQ(kDest, WinIni("ZELTRA", "DEFDIR"));
}

}  // namespace
