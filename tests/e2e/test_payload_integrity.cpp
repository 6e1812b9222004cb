// A copy of setup.exe with one byte of a payload resource changed: the
// damaged row is never written, whatever else the installation does.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "harness.h"
#include "install_state.h"

using namespace zt;

namespace {

const char kDest[] = "C:\\zt\\integrity-dest";

// The stored bytes of one payload resource of setup.exe.
std::string ResourceBytes(const char *resource)
{
    std::string bytes;
    HMODULE module = LoadLibraryExA(SetupExe().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return bytes;
    HRSRC found = FindResourceA(module, resource, "EXE");
    HGLOBAL loaded = found ? LoadResource(module, found) : NULL;
    const char *data = loaded ? static_cast<const char *>(LockResource(loaded)) : NULL;
    if (data)
        bytes.assign(data, SizeofResource(module, found));
    FreeLibrary(module);
    return bytes;
}

// Writes a copy of setup.exe to copyPath with one byte in the middle of
// resource's data inverted. False when the data is not found exactly once.
bool WriteDamagedCopy(const char *resource, const std::string &copyPath)
{
    std::string image = ReadFileText(SetupExe());
    std::string data = ResourceBytes(resource);
    if (image.empty() || data.size() < 64)
        return false;
    size_t at = image.find(data);
    if (at == std::string::npos || image.find(data, at + 1) != std::string::npos)
        return false;
    image[at + data.size() / 2] = char(~image[at + data.size() / 2]);
    return WriteFileText(copyPath, image);
}

class DamagedPayload : public ::testing::Test {
protected:
    std::string app, temp;

    void SetUp() override
    {
        SetWindowsVersion("");
        ResetInstallState({kDest});
        app = FreshDir("integrity-app");
        temp = FreshDir("integrity-temp");
    }
    void TearDown() override { ResetInstallState({kDest}); }

    DWORD InstallWith(const char *damagedResource)
    {
        std::string exe = app + "\\setup.exe";
        if (!WriteDamagedCopy(damagedResource, exe)) {
            ADD_FAILURE() << "no single copy of " << damagedResource << " in setup.exe";
            return 1;
        }
        WriteInstallIni(temp, {"QUIET=1", "LOGGING=1"}, {std::string("DIR32=") + kDest});
        zt::Run run;
        run.exe = exe;
        run.tempDir = temp;
        run.env = {{"ZELTRA_CALL_LOG", CallLogPath()}};
        return RunToEnd(run);
    }
    std::vector<std::string> Log() { return ReadLines(temp + "\\setup.log"); }
    std::string Installed(const char *file) { return std::string(kDest) + "\\" + file; }
    bool Logged(const std::string &line)
    {
        std::vector<std::string> log = Log();
        return std::find(log.begin(), log.end(), line) != log.end();
    }
};

TEST_F(DamagedPayload, ADamagedRequiredFileFailsTheInstallation)
{
    ASSERT_EQ(1603u, InstallWith("EXEFILE2"));   // zlclient.exe
    EXPECT_TRUE(Logged("Failed to install required file zlclient.exe.")) << ReadFileText(temp + "\\setup.log");
    EXPECT_FALSE(FileExists(Installed("zlclient.exe")));
    EXPECT_FALSE(FileExists(Installed("zlcore32.dll")));   // the rest stops there
    EXPECT_EQ("\x01", WinIni("ZELTRA", "DEFDIR"));
}

TEST_F(DamagedPayload, ADamagedOptionalFileIsLeftOut)
{
    ASSERT_TRUE(zt::Installed(InstallWith("WAVE1")));   // zldone.wav
    EXPECT_FALSE(FileExists(Installed("zldone.wav")));
    EXPECT_FALSE(Logged("Some portion of installation process failed.")) << ReadFileText(temp + "\\setup.log");
    EXPECT_EQ(kDest, WinIni("ZELTRA", "DEFDIR"));
    for (const char *file : {"zlclient.exe", "zlcore32.dll", "zlconn.wav", "zlerr.wav"}) {
        ASSERT_TRUE(FileExists(Installed(file))) << file;
        EXPECT_EQ(ReadFileText(ProductFile(file)), ReadFileText(Installed(file))) << file;
    }
    // No damaged bytes left behind in the temporary folder either.
    for (const std::string &name : ListDir(temp))
        EXPECT_TRUE(name == "install.ini" || name == "setup.log" || name.rfind("ZLT", 0) == 0) << name;
}

}  // namespace
