// Faults an installation must survive: files in use, DLLs that refuse to
// register, a scheduler that is gone, a Program Manager that refuses
// everything, a registry key that cannot be written, a damaged setup.exe,
// and (when the test script provides them) a full and a read-only volume.
// Each has its own expected outcome; none may crash or hang the program.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"
#include "hostile.h"
#include "install_state.h"
#include "progman_fake.h"

using namespace zt;

namespace {

const char kDestRoot[] = "C:\\zt\\dest";
const char kFailed[] = "Some portion of installation process failed.";

class Faults : public ::testing::Test {
protected:
    std::string temp;
    std::string dest = std::string(kDestRoot) + "\\faults";
    std::vector<std::string> extraFolders;
    std::vector<std::pair<std::string, std::string>> env;

    void SetUp() override
    {
        SetWindowsVersion("");
        ResetInstallState({kDestRoot});
        CreateDirectoryA(kDestRoot, NULL);
        temp = FreshDir("temp");
    }
    void TearDown() override
    {
        SetWindowsVersion("");
        ResetInstallState({kDestRoot});
        for (const std::string &f : extraFolders)
            RemoveTree(f);
    }
    // A quiet, logged installation into dest (or the folder given).
    DWORD Install(bool withOS = true, const std::string &into = "")
    {
        WriteInstallIni(temp, {"QUIET=1", "LOGGING=1"}, {"DIR32=" + (into.empty() ? dest : into)});
        zt::Run run;
        run.tempDir = temp;
        run.withOS = withOS;
        run.env = env;
        run.env.push_back({"ZELTRA_CALL_LOG", CallLogPath()});
        run.timeoutMs = 90000;
        return RunToEnd(run);
    }
    std::vector<std::string> Log() { return ReadLines(temp + "\\setup.log"); }
    bool Succeeded() { return WinIni("ZELTRA", "INSTOPTS") == "12"; }
};

// One of the product's programs running from the destination.
struct RunningProgram {
    PROCESS_INFORMATION pi{};
    explicit RunningProgram(const std::string &path)
    {
        SetEnvironmentVariableA("ZELTRA_STAY_SECONDS", "120");
        STARTUPINFOA si{};
        si.cb = sizeof si;
        std::string line = "\"" + path + "\"";
        std::vector<char> cmd(line.begin(), line.end());
        cmd.push_back('\0');
        if (!CreateProcessA(path.c_str(), cmd.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
            pi = PROCESS_INFORMATION{};
        SetEnvironmentVariableA("ZELTRA_STAY_SECONDS", NULL);
        Sleep(500);
    }
    ~RunningProgram()
    {
        if (!pi.hProcess)
            return;
        TerminateProcess(pi.hProcess, 0);
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
};

// An older zlclient.exe (the product's, with a tail that marks it) in dest.
std::string PlaceOldClient(const std::string &dest)
{
    CreateDirectoryA(dest.c_str(), NULL);
    std::string old = ReadFileText(ProductFile("zlclient.exe")) + "OLD VERSION";
    WriteFileText(dest + "\\zlclient.exe", old);
    return old;
}

TEST_F(Faults, ProgramInUseOnNTIsMovedAsideAndReplaced)
{
    std::string old = PlaceOldClient(dest);
    RunningProgram running(dest + "\\zlclient.exe");
    ASSERT_NE(nullptr, running.pi.hProcess);
    DWORD code = Install();
    ASSERT_TRUE(Installed(code)) << DescribeExit(code);
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(old, ReadFileText(dest + "\\zlclient.bak"));
    EXPECT_EQ(ReadFileText(ProductFile("zlclient.exe")), ReadFileText(dest + "\\zlclient.exe"));
    EXPECT_FALSE(AnyLineHas(Log(), "Restarting Windows"));   // quiet without ALLOWRBT
}

TEST_F(Faults, ProgramInUseOnWindows98IsCopiedAtTheNextStart)
{
    SetWindowsVersion("win98");
    std::string old = PlaceOldClient(dest);
    RunningProgram running(dest + "\\zlclient.exe");
    ASSERT_NE(nullptr, running.pi.hProcess);
    DWORD code = Install(false);
    ASSERT_TRUE(Installed(code)) << DescribeExit(code);
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(old, ReadFileText(dest + "\\zlclient.exe"));   // untouched while it runs
    EXPECT_EQ(ReadFileText(ProductFile("zlclient.exe")), ReadFileText(dest + "\\zlclient.new"));
    std::string command;
    ASSERT_TRUE(RegValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce",
                         "Marlquin0", &command));
    EXPECT_EQ(0u, command.find("command.com /c copy ")) << command;
    // The short forms where the volume has them; Wine's names are their own.
    std::string lower = command;
    for (char &ch : lower)
        ch = char(tolower(static_cast<unsigned char>(ch)));
    EXPECT_TRUE(lower.find("zlclient.new\" ") != std::string::npos || lower.find("zlclie~1.new\" ") != std::string::npos)
        << command;
}

struct RegisterFault {
    const char *dll;
    bool installationSucceeds;
    const char *logged;   // the failure text in the log, or ""
};

class DllRefusesToRegister : public Faults, public ::testing::WithParamInterface<RegisterFault> {};

TEST_P(DllRefusesToRegister, HasItsOutcome)
{
    const RegisterFault &f = GetParam();
    env = {{"ZELTRA_FAIL_REGISTER", f.dll}};
    DWORD code = Install();
    EXPECT_EQ(f.installationSucceeds, Installed(code)) << DescribeExit(code);
    EXPECT_EQ(f.installationSucceeds, Succeeded());
    std::vector<std::string> log = Log();
    if (*f.logged) {
        EXPECT_TRUE(AnyLineHas(log, kFailed));
        EXPECT_TRUE(AnyLineHas(log, f.logged));
    } else {
        EXPECT_FALSE(AnyLineHas(log, kFailed));
    }
    EXPECT_TRUE(AnyLineHas(CallLog(), std::string(f.dll) + " DllRegisterServer E_FAIL"));
    // The scheduler is started even after the browser DLL failed.
    EXPECT_EQ(std::string(f.dll) != "zlexpl32.dll", AnyLineHas(CallLog(), "zlsched.exe -install"));
}

INSTANTIATE_TEST_SUITE_P(Dlls, DllRefusesToRegister,
    ::testing::Values(RegisterFault{"zlexpl32.dll", false, "Failed to registered explorer."},
                      RegisterFault{"zlbrowse.dll", false, "Failed to registered Browser DLL."},
                      RegisterFault{"zlstub.dll", true, ""}),
    [](const ::testing::TestParamInfo<RegisterFault> &info) {
        std::string name = info.param.dll;
        return name.substr(0, name.find('.'));
    });

// The scheduler vanishes between its placement and its start: the start
// fails quietly and the installation still succeeds.
TEST_F(Faults, SchedulerGoneBeforeItsStart)
{
    std::atomic<bool> stop{false}, removed{false};
    std::string sched = dest + "\\zlsched.exe";
    std::thread sweeper([&] {
        while (!stop) {
            if (FileExists(sched) && DeleteFileA(sched.c_str()))
                removed = true;
            Sleep(2);
        }
    });
    DWORD code = Install();
    stop = true;
    sweeper.join();
    ASSERT_TRUE(Installed(code)) << DescribeExit(code);
    ASSERT_TRUE(removed);
    EXPECT_TRUE(Succeeded());
    EXPECT_FALSE(AnyLineHas(CallLog(), "zlsched.exe -install"));
    EXPECT_TRUE(AnyLineHas(CallLog(), "zlbrowse.dll DllRegisterServer"));
}

// A run killed while its scratch file is there: the next run deletes that
// file, and keeps the one a copy still running holds.
TEST_F(Faults, AKilledRunsScratchFileGoesWithTheNextRunARunningCopysStays)
{
    auto scratch = [&] {
        std::vector<std::string> found;
        for (const std::string &name : ListDir(temp))
            if (_strnicmp(name.c_str(), "ZLT", 3) == 0)
                found.push_back(name);
        return found;
    };
    zt::Run run;
    run.tempDir = temp;
    Started running = Start(run), killed;   // no install.ini: it waits at its first question
    std::vector<std::string> held;
    for (int i = 0; i < 600 && held.empty(); ++i, Sleep(50))
        held = scratch();
    WriteInstallIni(temp, {"QUIET=1"}, {"DIR32=" + dest});
    killed = Start(run);
    while (scratch().size() < 2 && WaitForSingleObject(killed.pi.hProcess, 50) == WAIT_TIMEOUT) {
    }
    TerminateProcess(killed.pi.hProcess, 1);
    Wait(killed, 10000);
    ASSERT_EQ(2u, scratch().size());
    DWORD code = Install();
    TerminateProcess(running.pi.hProcess, 0);
    Wait(running, 10000);
    ASSERT_TRUE(Installed(code)) << DescribeExit(code);
    EXPECT_EQ(held, scratch());
}

// A temporary folder deeper than the 128 characters of the old OpenFile
// record: the payload is expanded from there all the same.
TEST_F(Faults, DeepTemporaryFolder)
{
    temp += "\\" + std::string(100, 't');
    ASSERT_TRUE(CreateDirectoryA(temp.c_str(), NULL));
    temp += "\\" + std::string(40, 'u');
    ASSERT_TRUE(CreateDirectoryA(temp.c_str(), NULL));
    DWORD code = Install();
    ASSERT_TRUE(Installed(code)) << DescribeExit(code);
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(ReadFileText(ProductFile("zlcore32.dll")), ReadFileText(dest + "\\zlcore32.dll"));
}

// A program planted beside a destination with a space in its name: the
// scheduler's command line must not start it.
TEST_F(Faults, ProgramPlantedBesideAFolderWithASpaceIsNotStarted)
{
    std::string spaced = std::string(kDestRoot) + "\\my app";
    ASSERT_TRUE(CopyFileTo(ProductFile("zlfind.exe"), std::string(kDestRoot) + "\\my.exe"));
    DWORD code = Install(true, spaced);
    ASSERT_TRUE(Installed(code)) << DescribeExit(code);
    EXPECT_TRUE(Succeeded());
    EXPECT_TRUE(AnyLineHas(CallLog(), "zlsched.exe -install"));
    EXPECT_FALSE(AnyLineHas(CallLog(), "zlfind.exe")) << "C:\\zt\\dest\\my.exe was started";
}

// No usable Program Manager: a server that refuses every command and the
// group list. Nothing is created, nothing is reported, the rest goes on.
// (Wine's own server lives in its desktop process, which cannot be stopped
// without the desktop; a server that refuses is the nearest case.)
TEST_F(Faults, ProgramManagerRefusingEverything)
{
    FakeProgmanOptions options;
    options.answerGroups = false;
    options.refuseCommands = true;
    FakeProgman progman(options);
    ASSERT_TRUE(progman.Ready());
    DWORD code = Install();
    ASSERT_TRUE(Installed(code)) << DescribeExit(code);
    EXPECT_TRUE(Succeeded());
    std::vector<std::string> commands = progman.Commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ("[CreateGroup(ZELTRA Pro)]", commands.front());
    EXPECT_FALSE(DirExists(GroupFolder("ZELTRA Pro")));
}

// The uninstall key exists but may not be written: the entry is left out
// and the installation still succeeds.
TEST_F(Faults, UninstallKeyNotWritable)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, kUninstallKey, &key));
    EXPLICIT_ACCESSA deny{};
    BuildExplicitAccessWithNameA(&deny, const_cast<char *>("EVERYONE"), KEY_SET_VALUE | KEY_CREATE_SUB_KEY,
                                 DENY_ACCESS, NO_INHERITANCE);
    PACL acl = NULL;
    ASSERT_EQ(ERROR_SUCCESS, SetEntriesInAclA(1, &deny, NULL, &acl));
    DWORD set = SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL, acl, NULL);
    RegCloseKey(key);
    LocalFree(acl);
    ASSERT_EQ(ERROR_SUCCESS, set);
    HKEY probe;
    bool refused = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_SET_VALUE, &probe) != ERROR_SUCCESS;
    if (!refused)
        RegCloseKey(probe);

    DWORD code = Install();
    // Allow everything again so the key can be removed.
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
        SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL, NULL, NULL);
        RegCloseKey(key);
    }
    ASSERT_TRUE(Installed(code)) << DescribeExit(code);
    EXPECT_TRUE(Succeeded());
    if (!refused) {
        RecordProperty("uninstall_key", "Wine granted KEY_SET_VALUE despite the deny entry");
        GTEST_SKIP() << "this Wine does not refuse registry writes by ACL";
    }
    EXPECT_FALSE(RegValue(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", NULL));
}

// A damaged copy of setup.exe: what happens is the loader's business, but
// the run must end and the test harness must survive it.
TEST_F(Faults, TruncatedSetupExe)
{
    std::string whole = ReadFileText(SetupExe());
    ASSERT_GT(whole.size(), 4096u);
    std::string folder = FreshDir("badsetup");
    extraFolders.push_back(folder);
    const size_t sizes[] = {0, 64, 1024, whole.size() / 2, whole.size() - 1};
    for (size_t size : sizes) {
        std::string copy = folder + "\\setup" + std::to_string(size) + ".exe";
        ASSERT_TRUE(WriteFileText(copy, whole.substr(0, size)));
        WriteInstallIni(temp, {"QUIET=1", "LOGGING=1"}, {"DIR32=" + dest});
        zt::Run run;
        run.exe = copy;
        run.tempDir = temp;
        run.timeoutMs = 60000;
        DWORD code = RunToEnd(run);
        EXPECT_NE(kHangExit, code) << size << " bytes: " << DescribeExit(code);
        RecordProperty("truncated_" + std::to_string(size), DescribeExit(code));
        printf("setup.exe cut to %s bytes: %s\n", std::to_string(size).c_str(),
               code == DWORD(-1000) ? "not started" : DescribeExit(code).c_str());
    }
}

// Volumes the test script mounts and maps to drive letters (see
// tests/host/hostile_volumes.sh): a full one and a read-only one.
std::string VolumeDrive(const char *variable)
{
    char value[16];
    DWORD n = GetEnvironmentVariableA(variable, value, sizeof value);
    return n > 0 && n < sizeof value ? value : "";
}

const char kUserSites[] = "[MySites]\r\nFILENAME=mine.ini\r\n[Work]\r\nHOST=ftp.work.example\r\n";

TEST_F(Faults, DestinationDiskFull)
{
    std::string drive = VolumeDrive("ZT_FULL_DRIVE");
    if (drive.empty())
        GTEST_SKIP() << "no small volume mapped (run by tests/host/hostile_volumes.sh)";
    std::string target = drive + "\\zeltra";
    CreateDirectoryA(target.c_str(), NULL);
    ASSERT_TRUE(WriteFileText(target + "\\zeltra.ini", kUserSites));
    extraFolders.push_back(target);
    DWORD code = Install(true, target);
    ASSERT_EQ(DWORD(kExitFailed), code) << DescribeExit(code);
    EXPECT_FALSE(Succeeded());
    std::vector<std::string> log = Log();
    EXPECT_TRUE(AnyLineHas(log, kFailed));
    EXPECT_TRUE(AnyLineHas(log, "Failed to install required file"));
    EXPECT_EQ(kUserSites, ReadFileText(target + "\\zeltra.ini"));
}

TEST_F(Faults, DestinationReadOnly)
{
    std::string drive = VolumeDrive("ZT_READONLY_DRIVE");
    if (drive.empty())
        GTEST_SKIP() << "no read-only volume mapped (run by tests/host/hostile_volumes.sh)";
    std::string target = drive + "\\zeltra";   // made, with the user's INI, before the volume became read-only
    ASSERT_EQ(kUserSites, ReadFileText(target + "\\zeltra.ini"));
    DWORD code = Install(true, target);
    ASSERT_EQ(DWORD(kExitFailed), code) << DescribeExit(code);
    EXPECT_FALSE(Succeeded());
    std::vector<std::string> log = Log();
    EXPECT_TRUE(AnyLineHas(log, "Failed to install required file zlclient.exe."));
    EXPECT_EQ(kUserSites, ReadFileText(target + "\\zeltra.ini"));
}

}  // namespace
