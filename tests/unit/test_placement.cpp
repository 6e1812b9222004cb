#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>

#include "fileops/extract.h"
#include "fileops/placement.h"
#include "flow/driver.h"
#include "harness.h"
#include "shell/messages.h"
#include "shell/options.h"
#include "shell/paths.h"
#include "flow/startup.h"

namespace {

const int kClientRow = 0;      // zlclient.exe
const int kHelpRow = 3;        // zlcore32.hlp
const int kFindRow = 14;       // zlfind.exe
const int kNotCarriedRow = 6;  // zlini.dll
const char kParentKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\";

std::string Product(const std::string &name) { return zt::ExeDir() + "\\product\\" + name; }

std::set<std::string> MarlquinValues(const std::string &key)
{
    std::set<std::string> names;
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumValueA(h, i, name, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        if (strncmp(name, "Marlquin", 8) == 0)
            names.insert(name);
    }
    RegCloseKey(h);
    return names;
}

void DeleteValues(const std::string &key, const std::set<std::string> &names)
{
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS)
        return;
    for (const std::string &name : names)
        RegDeleteValueA(h, name.c_str());
    RegCloseKey(h);
}

// A stand-in program running from path, so that its file is in use.
struct RunningProgram {
    zt::Started started;
    explicit RunningProgram(const std::string &path)
    {
        zt::Run run;
        run.exe = path;
        run.env.push_back({"ZELTRA_STAY_SECONDS", "120"});
        started = zt::Start(run);
        // In use once it can no longer be opened for writing.
        for (int i = 0; i < 200; ++i) {
            HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
            if (h == INVALID_HANDLE_VALUE)
                break;
            CloseHandle(h);
            Sleep(50);
        }
    }
    ~RunningProgram()
    {
        if (started.pi.hProcess) {
            TerminateProcess(started.pi.hProcess, 0);
            WaitForSingleObject(started.pi.hProcess, 10000);
            CloseHandle(started.pi.hProcess);
            CloseHandle(started.pi.hThread);
        }
    }
    bool Running() const { return started.pi.hProcess && WaitForSingleObject(started.pi.hProcess, 0) == WAIT_TIMEOUT; }
};

// Answers the Retry/Cancel box from another thread.
struct BoxAnswerer {
    std::atomic<bool> stop{false};
    std::string text;
    bool seen = false;
    std::thread thread;
    BoxAnswerer(int button, HANDLE closeFirst = NULL)
    {
        thread = std::thread([this, button, closeFirst] {
            for (int i = 0; i < 600 && !stop; ++i) {
                HWND box = FindWindowA("#32770", "Install");
                if (box) {
                    HWND label = GetDlgItem(box, 0xFFFF);
                    char buffer[1024] = "";
                    if (label)
                        GetWindowTextA(label, buffer, sizeof buffer);
                    text = buffer;
                    seen = true;
                    if (closeFirst)
                        CloseHandle(closeFirst);
                    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(box, button));
                    return;
                }
                Sleep(50);
            }
        });
    }
    ~BoxAnswerer() { Finish(); }
    void Finish()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
    }
};

class Placement : public ::testing::Test {
protected:
    void SetUp() override
    {
        module_ = LoadLibraryExA(zt::SetupExe().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(module_ != NULL) << "build setup.exe first";
        savedInstance_ = g_hInstance;
        g_hInstance = module_;
        CopyText(g_szTempName, sizeof g_szTempName, "ztplace.tmp");
        work_ = zt::FreshDir("placework") + "\\";
        dest_ = zt::FreshDir("placedest");
        g_bSilent = g_bAllowReboot = g_bLogging = 0;
        g_bWinNT = 1;
        g_bRebootNeeded = 0;
    }
    void TearDown() override
    {
        g_hInstance = savedInstance_;
        if (module_)
            FreeLibrary(module_);
        g_bSilent = g_bAllowReboot = g_bLogging = g_bRebootNeeded = 0;
        zt::RemoveTree(work_.substr(0, work_.size() - 1));
        zt::RemoveTree(dest_);
    }
    int Place(const char *name, int row, int ask = 0, HWND status = NULL)
    {
        return PlaceFile(work_.c_str(), name, dest_.c_str(), NULL, status, row, ask);
    }
    std::string At(const char *name) { return dest_ + "\\" + name; }

    HMODULE module_ = NULL;
    HINSTANCE savedInstance_ = NULL;
    std::string work_, dest_;
};

TEST_F(Placement, FreeTargetIsPlacedWithoutRestart)
{
    HWND status = CreateWindowA("STATIC", "", 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    dest_ += "/";
    EXPECT_EQ(0, Place("zlcore32.hlp", kHelpRow, 0, status));
    dest_.pop_back();
    EXPECT_TRUE(zt::ReadFileText(Product("zlcore32.hlp")) == zt::ReadFileText(At("zlcore32.hlp")));
    EXPECT_FALSE(zt::FileExists(work_ + "ztplace.tmp"));
    EXPECT_EQ(0, g_bRebootNeeded);
    char text[1024] = "";
    GetWindowTextA(status, text, sizeof text);
    EXPECT_EQ(0, strncmp(text, "Copying ", 8)) << text;
    DestroyWindow(status);
}

// Anyone may write into the temporary folder: a "_" twin of the work file
// must never be installed in place of the checked extraction.
TEST_F(Placement, APlantedUnderscoreTwinOfTheWorkFileIsIgnored)
{
    ASSERT_TRUE(zt::WriteFileText(work_ + "ztplace.tm_", "planted in place of the client"));
    EXPECT_EQ(0, Place("zlclient.exe", kClientRow));
    EXPECT_TRUE(zt::ReadFileText(Product("zlclient.exe")) == zt::ReadFileText(At("zlclient.exe")));
}

TEST_F(Placement, MissingResourceFailsAtOnceWhenNotAsking)
{
    EXPECT_EQ(1, Place("zlini.dll", kNotCarriedRow));
    EXPECT_FALSE(zt::FileExists(At("zlini.dll")));
}

TEST_F(Placement, RunningProgramIsRenamedOnNT)
{
    std::string old = zt::ReadFileText(Product("zlfind.exe"));
    ASSERT_TRUE(zt::CopyFileTo(Product("zlfind.exe"), At("zlclient.exe")));
    ASSERT_TRUE(zt::WriteFileText(At("zlclient.bak"), "an older backup"));
    RunningProgram running(At("zlclient.exe"));
    ASSERT_TRUE(running.Running());

    EXPECT_EQ(0, Place("zlclient.exe", kClientRow));
    EXPECT_TRUE(old == zt::ReadFileText(At("zlclient.bak")));
    EXPECT_TRUE(zt::ReadFileText(Product("zlclient.exe")) == zt::ReadFileText(At("zlclient.exe")));
    EXPECT_EQ(1, g_bRebootNeeded);
    EXPECT_FALSE(zt::FileExists(work_ + "ztplace.tmp"));
}

TEST_F(Placement, QuietRunWithoutAllowRebootDoesNotAskForRestart)
{
    g_bSilent = 1;
    ASSERT_TRUE(zt::CopyFileTo(Product("zlfind.exe"), At("zlclient.exe")));
    RunningProgram running(At("zlclient.exe"));
    EXPECT_EQ(0, Place("zlclient.exe", kClientRow));
    EXPECT_TRUE(zt::FileExists(At("zlclient.bak")));
    EXPECT_EQ(0, g_bRebootNeeded);
}

TEST_F(Placement, FolderNamedLikeAProgramKeepsTheBackupInside)
{
    zt::RemoveTree("C:\\zt\\Tools.exe");
    zt::RemoveTree("C:\\zt\\Tools.bak");
    CreateDirectoryA("C:\\zt\\Tools.exe", NULL);
    std::string folder = "C:\\zt\\Tools.exe\\ZELTRA";
    CreateDirectoryA(folder.c_str(), NULL);
    ASSERT_TRUE(zt::CopyFileTo(Product("zlfind.exe"), folder + "\\zlclient.exe"));
    {
        RunningProgram running(folder + "\\zlclient.exe");
        EXPECT_EQ(0, PlaceFile(work_.c_str(), "zlclient.exe", folder.c_str(), NULL, NULL, kClientRow, 0));
        EXPECT_TRUE(zt::FileExists(folder + "\\zlclient.bak"));
        EXPECT_FALSE(zt::FileExists("C:\\zt\\Tools.bak"));
        EXPECT_TRUE(zt::DirExists(folder));
    }
    zt::RemoveTree("C:\\zt\\Tools.exe");
    zt::RemoveTree("C:\\zt\\Tools.bak");
}

TEST_F(Placement, Windows98SchedulesCopiesAtNextStart)
{
    g_bWinNT = 0;
    const std::string key = std::string(kParentKey) + "RunServicesOnce";
    std::set<std::string> before = MarlquinValues(key);
    ASSERT_TRUE(zt::CopyFileTo(Product("zlfind.exe"), At("zlclient.exe")));
    ASSERT_TRUE(zt::CopyFileTo(Product("zlclient.exe"), At("zlfind.exe")));
    std::string oldClient = zt::ReadFileText(At("zlclient.exe"));
    {
        RunningProgram client(At("zlclient.exe")), find(At("zlfind.exe"));
        EXPECT_EQ(0, Place("zlclient.exe", kClientRow));
        EXPECT_EQ(0, Place("zlfind.exe", kFindRow));
    }
    std::set<std::string> after = MarlquinValues(key), added;
    for (const std::string &name : after)
        if (!before.count(name))
            added.insert(name);
    DeleteValues(key, added);

    EXPECT_TRUE(oldClient == zt::ReadFileText(At("zlclient.exe")));
    EXPECT_TRUE(zt::ReadFileText(Product("zlclient.exe")) == zt::ReadFileText(At("zlclient.new")));
    EXPECT_TRUE(zt::ReadFileText(Product("zlfind.exe")) == zt::ReadFileText(At("zlfind.new")));
    EXPECT_EQ(1, g_bRebootNeeded);
    ASSERT_EQ(2u, added.size());
    // The first free names, in order.
    int first = 0;
    while (before.count("Marlquin" + std::to_string(first)))
        ++first;
    int second = first + 1;
    while (before.count("Marlquin" + std::to_string(second)))
        ++second;
    EXPECT_TRUE(added.count("Marlquin" + std::to_string(first)));
    EXPECT_TRUE(added.count("Marlquin" + std::to_string(second)));
}

// Paths in commands run at the next start: short where there is a short
// form, and always in quotes, where blanks and "&" are plain text. A "%" or
// a quote, which quotes do not keep from the interpreter, is refused.
TEST(CommandPath, AlwaysQuotedNeverWithPercentOrQuote)
{
    std::string dir = zt::FreshDir("with blank");
    ASSERT_TRUE(zt::WriteFileText(dir + "\\x.del", "x"));
    char out[300];
    for (const std::string &path : {dir + "\\x.del", dir + "\\missing file.del", dir}) {
        ASSERT_TRUE(CommandPathOf(path.c_str(), out, sizeof out)) << path;
        EXPECT_TRUE(out[0] == '"' && out[strlen(out) - 1] == '"') << out;
    }
    EXPECT_TRUE(QuoteCommandPath(out, sizeof out, "C:\\Program Files\\ZELTRA Pro\\x.del"));
    EXPECT_STREQ("\"C:\\Program Files\\ZELTRA Pro\\x.del\"", out);
    EXPECT_TRUE(QuoteCommandPath(out, sizeof out, "C:\\zt\\x&md\\X.DEL"));
    EXPECT_STREQ("\"C:\\zt\\x&md\\X.DEL\"", out);
    EXPECT_FALSE(QuoteCommandPath(out, sizeof out, "C:\\zt\\100%\\x.del"));
    EXPECT_FALSE(QuoteCommandPath(out, sizeof out, "C:\\zt\\a\"b"));
    EXPECT_FALSE(QuoteCommandPath(out, 10, "C:\\a b\\long.del"));
    zt::RemoveTree(dir);
}

TEST_F(Placement, RunOnceCommandTextAndLength)
{
    g_bWinNT = 0;
    const std::string key = std::string(kParentKey) + "RunServicesOnce";
    std::set<std::string> before = MarlquinValues(key);
    ASSERT_TRUE(zt::CopyFileTo(Product("zlfind.exe"), At("zlclient.exe")));
    {
        RunningProgram client(At("zlclient.exe"));
        ASSERT_EQ(0, Place("zlclient.exe", kClientRow));
    }
    std::set<std::string> after = MarlquinValues(key), added;
    for (const std::string &name : after)
        if (!before.count(name))
            added.insert(name);
    ASSERT_EQ(1u, added.size());
    std::string data;
    DWORD type = 0;
    EXPECT_TRUE(zt::RegValue(HKEY_LOCAL_MACHINE, key, added.begin()->c_str(), &data, &type));
    DeleteValues(key, added);
    char shortNew[MAX_PATH], shortTarget[MAX_PATH];
    ASSERT_TRUE(GetShortPathNameA(At("zlclient.new").c_str(), shortNew, MAX_PATH));
    ASSERT_TRUE(GetShortPathNameA(At("zlclient.exe").c_str(), shortTarget, MAX_PATH));
    EXPECT_EQ(std::string("command.com /c copy /Y \"") + shortNew + "\" \"" + shortTarget + "\"", data);
    EXPECT_EQ((DWORD)REG_SZ, type);
}

TEST_F(Placement, RunOnceOnNTUsesRunOnce)
{
    g_bWinNT = 1;
    const std::string key = std::string(kParentKey) + "RunOnce";
    std::set<std::string> before = MarlquinValues(key);
    const std::string command = "command.com /c copy C:\\A.NEW C:\\A.EXE";
    ASSERT_EQ(1, AddRunOnceCommand(command.c_str()));
    std::set<std::string> after = MarlquinValues(key), added;
    for (const std::string &name : after)
        if (!before.count(name))
            added.insert(name);
    ASSERT_EQ(1u, added.size());
    HKEY h;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &h));
    WCHAR wideName[32], data[256];
    MultiByteToWideChar(CP_ACP, 0, added.begin()->c_str(), -1, wideName, 32);
    DWORD size = sizeof data, type = 0;
    LONG rc = RegQueryValueExW(h, wideName, NULL, &type, (BYTE *)data, &size);
    RegCloseKey(h);
    DeleteValues(key, added);
    ASSERT_EQ(ERROR_SUCCESS, rc);
    EXPECT_EQ((DWORD)REG_SZ, type);
    // (Wine's ANSI set adds a terminating zero of its own, so the stored
    // length cannot be checked here.)
    std::string text;
    for (DWORD i = 0; i < size / sizeof(WCHAR) && data[i]; ++i)
        text += (char)data[i];
    EXPECT_EQ(command, text);
}

TEST_F(Placement, RunOnceNamesEndAfterMarlquin999)
{
    g_bWinNT = 0;
    const std::string key = std::string(kParentKey) + "RunServicesOnce";
    std::set<std::string> before = MarlquinValues(key), created;
    HKEY h;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, key.c_str(), &h));
    for (int i = 0; i <= 999; ++i) {
        std::string name = "Marlquin" + std::to_string(i);
        if (before.count(name))
            continue;
        RegSetValueExA(h, name.c_str(), 0, REG_SZ, (const BYTE *)"x", 1);
        created.insert(name);
    }
    RegCloseKey(h);
    EXPECT_EQ(0, AddRunOnceCommand("command.com /c copy a b"));
    std::set<std::string> after = MarlquinValues(key);
    for (const std::string &name : after)
        if (!before.count(name))
            created.insert(name);
    DeleteValues(key, created);
    EXPECT_EQ(1000u, after.size());
}

// A path no run-once command can carry: no ".new", and the copy's error.
TEST_F(Placement, RefusedRunOnceLeavesNoNewFileAndShowsTheCause)
{
    g_bWinNT = 0;
    dest_ = zt::FreshDir("place 100%");
    ASSERT_TRUE(zt::CopyFileTo(Product("zlfind.exe"), At("zlclient.exe")));
    RunningProgram client(At("zlclient.exe"));
    BoxAnswerer answer(IDCANCEL);
    EXPECT_EQ(1, Place("zlclient.exe", kClientRow, 1));
    answer.Finish();
    EXPECT_NE(std::string::npos, answer.text.find("failed. (32)")) << answer.text;
    EXPECT_FALSE(zt::FileExists(At("zlclient.new")));
}

TEST_F(Placement, LockedHelpFileOffersRetryAndCancel)
{
    HANDLE lock = CreateFileA(At("zlcore32.hlp").c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL,
                              CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    BoxAnswerer answer(IDCANCEL);
    EXPECT_EQ(1, Place("zlcore32.hlp", kHelpRow, 1));
    answer.Finish();
    CloseHandle(lock);
    EXPECT_TRUE(answer.seen);
    EXPECT_NE(std::string::npos, answer.text.find("Copy of zlcore32.hlp to " + dest_ + " failed. (32)")) << answer.text;
    EXPECT_FALSE(zt::FileExists(At("zlcore32.bak")));
    EXPECT_FALSE(zt::FileExists(At("zlcore32.new")));
}

TEST_F(Placement, RetryPlacesTheFileOnceItIsFree)
{
    HANDLE lock = CreateFileA(At("zlcore32.hlp").c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL,
                              CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    BoxAnswerer answer(IDRETRY, lock);   // unlocks, then presses Retry
    EXPECT_EQ(0, Place("zlcore32.hlp", kHelpRow, 1));
    answer.Finish();
    EXPECT_TRUE(answer.seen);
    EXPECT_TRUE(zt::ReadFileText(Product("zlcore32.hlp")) == zt::ReadFileText(At("zlcore32.hlp")));
}

TEST_F(Placement, QuietFailureIsLoggedAndFails)
{
    g_bSilent = g_bLogging = 1;
    std::string logDir = zt::FreshDir("placelog");
    char saved[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, saved);
    SetCurrentDirectoryA(logDir.c_str());
    HANDLE lock = CreateFileA(At("zlcore32.hlp").c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL,
                              CREATE_ALWAYS, 0, NULL);
    EXPECT_EQ(1, Place("zlcore32.hlp", kHelpRow, 1));
    CloseHandle(lock);
    SetCurrentDirectoryA(saved);
    std::string log = zt::ReadFileText(logDir + "\\setup.log");
    zt::RemoveTree(logDir);
    EXPECT_NE(std::string::npos, log.find("Copying ")) << log;
    EXPECT_NE(std::string::npos, log.find("Copy of zlcore32.hlp to " + dest_ + " failed. (")) << log;
}

}  // namespace
