// Start-up of the whole program: where install.ini is found and what it turns
// on, the platform masks, the temporary folder, the log and the clean-up, and
// the background window as the user sees it.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "harness.h"
#include "install_state.h"
#include "resource.h"
#include "flow/startup.h"

namespace {

const char kDefaultOptions[] = "QUIET=1\r\nLOGGING=1\r\n";

std::string Options(const std::string &lines)
{
    return "[INSTALL]\r\n" + lines;
}

// What an installation may leave behind: the default folders of the three
// platform families and the win.ini record.
void RemoveInstallation()
{
    zt::ClearWinIniSection("ZELTRA");
    zt::RemoveTree("C:\\Program Files\\ZELTRA Pro");
    zt::RemoveTree("C:\\WIN32APP\\ZELTRA");
    RemoveDirectoryA("C:\\WIN32APP");
    zt::RemoveTree("C:\\ZELTRA");
}

struct Seen {
    bool mainShown = false;  // the background window was visible
    bool dialog = false;     // a dialog or message box was visible
};

struct LookData {
    DWORD pid;
    Seen *seen;
    HWND dialog;
};

BOOL CALLBACK LookAtWindow(HWND window, LPARAM param)
{
    LookData *data = reinterpret_cast<LookData *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != data->pid || !IsWindowVisible(window))
        return TRUE;
    char cls[64] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (strcmp(cls, "ZTInstal") == 0)
        data->seen->mainShown = true;
    if (strcmp(cls, "#32770") == 0) {
        data->seen->dialog = true;
        data->dialog = window;
    }
    return TRUE;
}

enum WatchMode {
    kJustWatch,      // the run must end by itself
    kAnswerBoxes,    // press OK on every box it shows
    kEndWhenShown,   // end it once a window of it was seen
};

// Waits for the program while watching its top-level windows; returns its exit
// code (STILL_ACTIVE when it had to be ended).
DWORD Watch(zt::Started &started, Seen *seen, WatchMode mode, DWORD limitMs = 120000)
{
    if (!started.pi.hProcess)
        return DWORD(-1000);
    DWORD start = GetTickCount(), shownAt = 0;
    while (WaitForSingleObject(started.pi.hProcess, 5) == WAIT_TIMEOUT) {
        DWORD now = GetTickCount();
        if (now - start > limitMs)
            break;
        LookData data = {started.pi.dwProcessId, seen, NULL};
        EnumWindows(LookAtWindow, reinterpret_cast<LPARAM>(&data));
        if (mode == kAnswerBoxes && data.dialog)
            PostMessageA(data.dialog, WM_COMMAND, IDOK, 0);
        if (mode == kEndWhenShown && (seen->mainShown || seen->dialog)) {
            if (!shownAt)
                shownAt = now;
            else if (now - shownAt > 5000)  // an installation dialogue is waiting for a user
                break;
        }
    }
    return zt::Wait(started, 0);
}

int IndexOf(const std::vector<std::string> &lines, const std::string &line)
{
    auto it = std::find(lines.begin(), lines.end(), line);
    return it == lines.end() ? -1 : int(it - lines.begin());
}

int CountOf(const std::vector<std::string> &lines, const std::string &line)
{
    return int(std::count(lines.begin(), lines.end(), line));
}

// The "nV=.. nM=.." line of a log, or "" when there is none.
std::string MaskLine(const std::vector<std::string> &lines)
{
    for (const std::string &line : lines)
        if (line.compare(0, 3, "nV=") == 0)
            return line;
    return "";
}

std::vector<std::string> ScratchFiles(const std::string &folder)
{
    std::vector<std::string> found;
    for (const std::string &name : zt::ListDir(folder))
        if (name.size() > 7 && _strnicmp(name.c_str(), "ZLT", 3) == 0
            && _stricmp(name.c_str() + name.size() - 4, ".tmp") == 0)
            found.push_back(name);
    return found;
}

class Startup : public testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(sizeof oldDir_, oldDir_);
        zt::SetWindowsVersion("");
        RemoveInstallation();
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(oldDir_);
        zt::SetWindowsVersion("");
        RemoveInstallation();
    }

    // A quiet run with these options in a fresh temporary folder.
    DWORD RunWith(const std::string &options, std::string *temp, zt::Run run = zt::Run(),
                  Seen *seen = NULL)
    {
        if (run.tempDir.empty())
            run.tempDir = zt::FreshDir("temp");
        *temp = run.tempDir;
        EXPECT_TRUE(zt::WriteFileText(StripSlash(run.tempDir) + "\\install.ini", options));
        Seen ignored;
        zt::Started started = zt::Start(run);
        DWORD code = Watch(started, seen ? seen : &ignored, kJustWatch);
        RemoveInstallation();
        return code;
    }

    static std::string StripSlash(const std::string &path)
    {
        if (!path.empty() && (path.back() == '\\' || path.back() == '/'))
            return path.substr(0, path.size() - 1);
        return path;
    }

    char oldDir_[MAX_PATH];
};

// ---------------------------------------------------------------------------
// Options

TEST_F(Startup, QuietRunLogsTheOptionsThenTheMasks)
{
    std::string temp;
    Seen seen;
    DWORD code = RunWith(Options("QUIET=1\r\nLOGGING=1\r\nLINE1=Site licence 42\r\n"
                                 "LINE2=  spaced  \r\n"),
                         &temp, zt::Run(), &seen);
    EXPECT_TRUE(zt::Installed(code));
    EXPECT_FALSE(seen.mainShown);
    EXPECT_FALSE(seen.dialog);

    std::vector<std::string> log = zt::ReadLines(temp + "\\setup.log");
    const std::vector<std::string> expected = {
        "g_bSilent=1", "g_bNoPass=0", "gbInstallBonusPack=1", "g_iconLocation=0",
        "g_bExplore=1", "g_szLine1=\"Site licence 42\"", "g_szLine2=\"spaced\"",
    };
    ASSERT_GE(log.size(), expected.size() + 1);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(expected[i], log[i]) << "line " << i;
    EXPECT_EQ("nV=15 nM=15", MaskLine(log));
    EXPECT_GT(IndexOf(log, "nV=15 nM=15"), int(expected.size()) - 1);
}

struct OptionCase {
    const char *lines;
    const char *logLine;   // must be in the log
    const char *masks;     // the mask line on Wine's default platform, or NULL
};

TEST_F(Startup, EachOptionFollowsItsRule)
{
    const OptionCase cases[] = {
        {"QUIET=true\r\nLOGGING=1\r\n", "g_bSilent=1", "nV=15 nM=15"},
        {"QUIET=1\r\nLOGGING=no\r\n", "g_bSilent=1", NULL},         // rule F: logging on
        {"QUIET=1\r\nLOGGING=1\r\nNOPASSWORD=TRUE\r\n", "g_bNoPass=1", NULL},
        {"QUIET=1\r\nLOGGING=1\r\nNOPASSWORD=yes\r\n", "g_bNoPass=0", NULL},
        {"QUIET=1\r\nLOGGING=1\r\nDESKTOP=FALSE\r\n", "g_iconLocation=1", NULL},
        {"QUIET=1\r\nLOGGING=1\r\nDESKTOP=1\r\n", "g_iconLocation=0", NULL},
        {"QUIET=1\r\nLOGGING=1\r\nEXPLORER=0\r\n", "g_bExplore=0", "nV=13 nM=15"},
        {"QUIET=1\r\nLOGGING=1\r\nEXPLORER=no\r\n", "g_bExplore=1", "nV=15 nM=15"},
        {"QUIET=1\r\nLOGGING=1\r\nBONUS=FALSE\r\n", "gbInstallBonusPack=0", "nV=11 nM=15"},
        {"QUIET=1\r\nLOGGING=1\r\nBONUS=yes\r\nEXPLORER=false\r\n", "gbInstallBonusPack=0",
         "nV=9 nM=15"},
    };
    for (const OptionCase &c : cases) {
        SCOPED_TRACE(c.lines);
        std::string temp;
        Seen seen;
        EXPECT_TRUE(zt::Installed(RunWith(Options(c.lines), &temp, zt::Run(), &seen)));
        EXPECT_FALSE(seen.mainShown);
        std::vector<std::string> log = zt::ReadLines(temp + "\\setup.log");
        EXPECT_NE(-1, IndexOf(log, c.logLine));
        if (c.masks) {
            EXPECT_EQ(c.masks, MaskLine(log));
        }
    }
}

TEST_F(Startup, LoggingOffWritesNoLog)
{
    for (const char *value : {"0", "FALSE", "false"}) {
        SCOPED_TRACE(value);
        std::string temp;
        EXPECT_TRUE(zt::Installed(RunWith(Options(std::string("QUIET=1\r\nLOGGING=") + value + "\r\n"), &temp)));
        EXPECT_FALSE(zt::FileExists(temp + "\\setup.log"));
    }
}

TEST_F(Startup, QuietYesIsNotQuiet)
{
    std::string temp = zt::FreshDir("temp");
    ASSERT_TRUE(zt::WriteFileText(temp + "\\install.ini", Options("QUIET=yes\r\nLOGGING=1\r\n")));
    zt::Run run;
    run.tempDir = temp;
    zt::Started started = zt::Start(run);
    Seen seen;
    Watch(started, &seen, kEndWhenShown);
    std::vector<std::string> log = zt::ReadLines(temp + "\\setup.log");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ("g_bSilent=0", log[0]);
    // The background window was shown; the placeholder installation closes it
    // again at once, so a slow look may miss it, but a quiet run never shows it.
    if (!seen.mainShown)
        printf("note: the background window closed before it was seen\n");
}

// ---------------------------------------------------------------------------
// Where install.ini is found

class OptionsLookup : public Startup {
protected:
    void SetUp() override
    {
        Startup::SetUp();
        program_ = zt::FreshDir("prog");
        ASSERT_TRUE(zt::CopyFileTo(zt::SetupExe(), program_ + "\\setup.exe"));
    }
    void TearDown() override
    {
        Startup::TearDown();
        zt::RemoveTree(program_);
    }
    // Runs the copy beside program_ with an install.ini there and another in
    // the temporary folder; the log of the run.
    std::vector<std::string> RunWithOptionsInBothFolders()
    {
        EXPECT_TRUE(zt::WriteFileText(program_ + "\\install.ini",
                                      Options("QUIET=1\r\nLOGGING=1\r\nLINE1=beside the program\r\n")));
        zt::Run run;
        run.exe = program_ + "\\setup.exe";
        std::string temp;
        EXPECT_TRUE(zt::Installed(RunWith(Options("QUIET=1\r\nLOGGING=1\r\nLINE1=temporary folder\r\n"), &temp, run)));
        return zt::ReadLines(temp + "\\setup.log");
    }
    std::string program_;
};

TEST_F(OptionsLookup, TemporaryFolderWinsOverProgramFolder)
{
    std::vector<std::string> log = RunWithOptionsInBothFolders();
    EXPECT_NE(-1, IndexOf(log, "g_szLine1=\"temporary folder\""));
    EXPECT_EQ(-1, IndexOf(log, "g_szLine1=\"beside the program\""));
    EXPECT_FALSE(zt::FileExists(program_ + "\\setup.log"));
}

// Makes exe what a build with ZL_INSTALL_INI makes: the options file carried
// as the resource INSTINI, with its size and CRC-32 added to PAYLOADSUMS.
bool CarryOptions(const std::string &exe, const std::string &options)
{
    std::string sums;
    HMODULE module = LoadLibraryExA(exe.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return false;
    HRSRC found = FindResourceA(module, "PAYLOADSUMS", RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(module, found) : NULL;
    const char *data = loaded ? static_cast<const char *>(LockResource(loaded)) : NULL;
    if (data)
        sums.assign(data, SizeofResource(module, found));
    FreeLibrary(module);
    std::string record = zt::PayloadSumsRecord("INSTINI", options);
    sums += record;
    const WORD lang = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    HANDLE update = sums.size() > record.size() ? BeginUpdateResourceA(exe.c_str(), FALSE) : NULL;
    return update &&
           UpdateResourceA(update, "EXE", "INSTINI", lang, const_cast<char *>(options.data()), DWORD(options.size())) &&
           UpdateResourceA(update, RT_RCDATA, "PAYLOADSUMS", lang, const_cast<char *>(sums.data()), DWORD(sums.size())) &&
           EndUpdateResourceA(update, FALSE);
}

// A setup.exe that carries its own install.ini takes its options from it,
// before one in the temporary folder or beside the program.
TEST_F(OptionsLookup, CarriedOptionsComeFirst)
{
    ASSERT_TRUE(CarryOptions(program_ + "\\setup.exe", Options("QUIET=1\r\nLOGGING=1\r\nLINE1=carried\r\n")));
    std::vector<std::string> log = RunWithOptionsInBothFolders();
    EXPECT_NE(-1, IndexOf(log, "g_szLine1=\"carried\""));
    EXPECT_EQ(-1, IndexOf(log, "g_szLine1=\"temporary folder\""));
    EXPECT_EQ(-1, IndexOf(log, "g_szLine1=\"beside the program\""));
}

TEST_F(OptionsLookup, ProgramFolderIsUsedWhenTemporaryFolderHasNone)
{
    ASSERT_TRUE(zt::WriteFileText(program_ + "\\install.ini",
                                  Options("QUIET=1\r\nLOGGING=1\r\nLINE1=beside the program\r\n")));
    zt::Run run;
    run.exe = program_ + "\\setup.exe";
    run.tempDir = zt::FreshDir("temp");
    // A folder of that name is no options file.
    CreateDirectoryA((run.tempDir + "\\install.ini").c_str(), NULL);
    zt::Started started = zt::Start(run);
    Seen seen;
    EXPECT_TRUE(zt::Installed(Watch(started, &seen, kJustWatch)));
    EXPECT_FALSE(seen.mainShown);
    std::vector<std::string> log = zt::ReadLines(run.tempDir + "\\setup.log");
    EXPECT_NE(-1, IndexOf(log, "g_bSilent=1"));
    EXPECT_NE(-1, IndexOf(log, "g_szLine1=\"beside the program\""));
    // Only the temporary folder is cleaned up.
    EXPECT_TRUE(zt::FileExists(program_ + "\\install.ini"));
}

// ---------------------------------------------------------------------------
// The temporary folder

TEST_F(Startup, TemporaryPathWithTrailingSeparatorWorks)
{
    for (const char *separator : {"\\", "/"}) {
        SCOPED_TRACE(separator);
        std::string folder = zt::FreshDir("temp");
        zt::Run run;
        run.tempDir = folder + separator;
        std::string temp;
        EXPECT_TRUE(zt::Installed(RunWith(Options(kDefaultOptions), &temp, run)));
        // The scratch file is the name every payload file is extracted under;
        // the installation uses it up.
        EXPECT_EQ(0u, ScratchFiles(folder).size());
        std::vector<std::string> log = zt::ReadLines(folder + "\\setup.log");
        EXPECT_NE(-1, IndexOf(log, "g_bSilent=1"));
        EXPECT_EQ("nV=15 nM=15", MaskLine(log));
    }
}

// Started from another folder of the same drive: "C:" alone would mean that
// folder, not the root.
TEST_F(Startup, TemporaryFolderAtDriveRoot)
{
    std::string cwd = zt::FreshDir("cwd");
    std::vector<std::string> before = ScratchFiles("C:");
    ASSERT_FALSE(zt::FileExists("C:\\setup.log"));
    ASSERT_TRUE(zt::WriteFileText("C:\\install.ini", Options(kDefaultOptions)));
    ASSERT_TRUE(zt::WriteFileText("C:\\zlclient.ex_", "SZDD"));
    zt::Run run;
    run.tempDir = "C:\\";
    SetCurrentDirectoryA(cwd.c_str());
    zt::Started started = zt::Start(run);
    SetCurrentDirectoryA(oldDir_);
    Seen seen;
    DWORD code = Watch(started, &seen, kEndWhenShown);
    RemoveInstallation();

    std::vector<std::string> log = zt::ReadLines("C:\\setup.log");
    std::vector<std::string> after = ScratchFiles("C:");
    bool iniLeft = zt::FileExists("C:\\install.ini");
    bool leftover = zt::FileExists("C:\\zlclient.ex_");
    std::vector<std::string> inCwd = zt::ListDir(cwd);
    DeleteFileA("C:\\setup.log");
    DeleteFileA("C:\\install.ini");
    DeleteFileA("C:\\zlclient.ex_");
    for (const std::string &name : after)
        if (std::find(before.begin(), before.end(), name) == before.end())
            DeleteFileA(("C:\\" + name).c_str());
    zt::RemoveTree(cwd);

    EXPECT_TRUE(zt::Installed(code));
    EXPECT_FALSE(seen.mainShown);
    EXPECT_NE(-1, IndexOf(log, "g_bSilent=1"));
    EXPECT_EQ("nV=15 nM=15", MaskLine(log));
    EXPECT_LE(after.size(), before.size());  // the scratch file was used up, stale ones swept
    EXPECT_FALSE(iniLeft);
    EXPECT_FALSE(leftover);
    EXPECT_TRUE(inCwd.empty()) << inCwd.size() << " files in the starting folder";
}

TEST_F(Startup, PayloadLeftoversAreRemovedButNotTheLog)
{
    std::string temp = zt::FreshDir("temp");
    const char *leftovers[] = {"zlclient.ex_", "zlcore32.dl_", "Zlns.hl_", "zlscript.ex_"};
    for (const char *name : leftovers)
        ASSERT_TRUE(zt::WriteFileText(temp + "\\" + name, "SZDD"));
    ASSERT_TRUE(zt::WriteFileText(temp + "\\zlclient.exe", "not a payload name"));
    zt::Run run;
    run.tempDir = temp;
    std::string used;
    EXPECT_TRUE(zt::Installed(RunWith(Options(kDefaultOptions), &used, run)));

    for (const char *name : leftovers)
        EXPECT_FALSE(zt::FileExists(temp + "\\" + name)) << name;
    // install.ini carries the payload's own options-file name.
    EXPECT_FALSE(zt::FileExists(temp + "\\install.ini"));
    EXPECT_TRUE(zt::FileExists(temp + "\\zlclient.exe"));
    EXPECT_TRUE(zt::FileExists(temp + "\\setup.log"));
    EXPECT_EQ(0u, ScratchFiles(temp).size());
}

// A stale scratch file goes only as Setup leaves it, empty and closed.
TEST_F(Startup, OnlyStaleScratchFilesOfSetupAreSwept)
{
    std::string temp = zt::FreshDir("temp"), foreign(33, 'x');
    ASSERT_TRUE(zt::WriteFileText(temp + "\\ZLT7A3C.TMP", foreign) && zt::WriteFileText(temp + "\\ZLT1B2.tmp", "") &&
                zt::WriteFileText(temp + "\\ZLT1B4.tmp", std::string("SZDD\x88\xf0\x27\x33" "A_\x10\0\0\0\xff", 15)));
    HANDLE held = CreateFileA((temp + "\\ZLT1B3.tmp").c_str(), GENERIC_WRITE, 7, NULL, CREATE_ALWAYS, 0, NULL);
    zt::Run run;
    run.tempDir = temp;
    EXPECT_TRUE(zt::Installed(RunWith(Options(kDefaultOptions), &temp, run)));
    CloseHandle(held);
    EXPECT_EQ(foreign, zt::ReadFileText(temp + "\\ZLT7A3C.TMP"));
    EXPECT_TRUE(zt::FileExists(temp + "\\ZLT1B3.tmp") && !zt::FileExists(temp + "\\ZLT1B2.tmp"));
    EXPECT_FALSE(zt::FileExists(temp + "\\ZLT1B4.tmp")) << "a killed run's payload file";
}

TEST_F(Startup, TwoRunsAppendToOneLog)
{
    std::string temp = zt::FreshDir("temp");
    zt::Run run;
    run.tempDir = temp;
    std::string used;
    // Each run removes install.ini from the temporary folder: write it again.
    EXPECT_TRUE(zt::Installed(RunWith(Options(kDefaultOptions), &used, run)));
    EXPECT_TRUE(zt::Installed(RunWith(Options("QUIET=1\r\nLOGGING=1\r\nLINE1=second\r\n"), &used, run)));
    std::vector<std::string> log = zt::ReadLines(temp + "\\setup.log");
    EXPECT_EQ(2, CountOf(log, "g_bSilent=1"));
    EXPECT_EQ(2, CountOf(log, "nV=15 nM=15"));
    EXPECT_LT(IndexOf(log, "g_szLine1=\"\""), IndexOf(log, "g_szLine1=\"second\""));
}

// A temporary folder that takes no file, as on a read-only volume: Linux's
// /proc. (One that does not exist gives way to another folder.)
class UnusableTemp : public OptionsLookup {
protected:
    // Started from its own folder, as a double click does.
    DWORD RunIn(const std::string &options, Seen *seen, WatchMode mode)
    {
        EXPECT_TRUE(zt::WriteFileText(program_ + "\\install.ini", options));
        zt::Run run;
        run.exe = program_ + "\\setup.exe";
        run.tempDir = "Z:\\proc";
        SetCurrentDirectoryA(program_.c_str());
        zt::Started started = zt::Start(run);
        SetCurrentDirectoryA(oldDir_);
        return Watch(started, seen, mode);
    }
};

TEST_F(UnusableTemp, QuietRunLogsAndEndsWithThree)
{
    Seen seen;
    EXPECT_EQ(3u, RunIn(Options(kDefaultOptions), &seen, kJustWatch));
    EXPECT_FALSE(seen.mainShown);
    EXPECT_FALSE(seen.dialog);
    std::vector<std::string> log = zt::ReadLines(program_ + "\\setup.log");
    EXPECT_NE(-1, IndexOf(log, "g_bSilent=1"));
    EXPECT_NE(-1, IndexOf(log, "The temporary folder \"Z:\\proc\\\" cannot be used."));
    EXPECT_NE(-1, IndexOf(log, "Set TEMP to a folder you can write to and run Setup again."));
    EXPECT_EQ("", MaskLine(log));  // the installation never started
}

TEST_F(UnusableTemp, InteractiveRunWarnsAndEndsWithThree)
{
    Seen seen;
    EXPECT_EQ(3u, RunIn(Options("LOGGING=1\r\n"), &seen, kAnswerBoxes));
    EXPECT_TRUE(seen.dialog);
    EXPECT_FALSE(seen.mainShown);
    std::vector<std::string> log = zt::ReadLines(program_ + "\\setup.log");
    EXPECT_NE(-1, IndexOf(log, "g_bSilent=0"));
    EXPECT_EQ(-1, IndexOf(log, "The temporary folder \"Z:\\proc\\\" cannot be used."));
}

// ---------------------------------------------------------------------------
// Platforms

struct PlatformCase {
    const char *version;
    bool withOS;
    const char *options;
    const char *masks;
};

TEST_F(Startup, MasksFollowThePlatform)
{
    const char *plain = kDefaultOptions;
    const char *lean = "QUIET=1\r\nLOGGING=1\r\nBONUS=FALSE\r\nEXPLORER=0\r\n";
    const PlatformCase cases[] = {
        {"win31", false, plain, "nV=1 nM=3"},
        {"win31", false, lean, "nV=1 nM=3"},
        {"win95", false, plain, "nV=15 nM=15"},
        {"win95", false, lean, "nV=9 nM=15"},
        {"win98", false, plain, "nV=15 nM=15"},
        {"nt351", true, plain, "nV=5 nM=5"},
        {"nt351", true, lean, "nV=5 nM=5"},    // whatever BONUS says
        {"nt351", false, plain, "nV=15 nM=15"},  // 3.51 without OS: minor 51 is not below 50
        {"win31", true, plain, "nV=5 nM=5"},
        {"nt40", true, plain, "nV=15 nM=15"},
        {"nt40", true, lean, "nV=9 nM=15"},
        {"", true, plain, "nV=15 nM=15"},
        {"", false, lean, "nV=9 nM=15"},
    };
    for (const PlatformCase &c : cases) {
        SCOPED_TRACE(testing::Message() << "version \"" << c.version << "\" OS " << c.withOS
                                        << " options " << c.options);
        zt::SetWindowsVersion(c.version);
        zt::Run run;
        run.withOS = c.withOS;
        std::string temp;
        EXPECT_TRUE(zt::Installed(RunWith(Options(c.options), &temp, run)));
        EXPECT_EQ(c.masks, MaskLine(zt::ReadLines(temp + "\\setup.log")));
    }
}

// ---------------------------------------------------------------------------
// The background window, drawn by the program's own start-up in this process.
// The start command is held back while the window is looked at, and the
// window is then closed without running the installation.

struct BackgroundShot {
    HWND window = NULL;
    bool taken = false;
    bool busy = false;
    RECT windowRect{};
    RECT client{};
    COLORREF middle = 0, nearTop = 0;
    std::vector<std::pair<COLORREF, COLORREF>> product, logo;  // (expected, seen)
    std::string caption;
};

BackgroundShot g_shot;
HHOOK g_hook;

void SettleScreen()
{
    // Let Wine put the drawn window on the screen.
    for (int i = 0; i < 20; ++i) {
        MsgWaitForMultipleObjects(0, NULL, FALSE, 25, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_COMMAND && LOWORD(msg.wParam) == IDM_START)
                continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

void Sample(HDC windowDc, HBITMAP bitmap, int left, int top,
            std::vector<std::pair<COLORREF, COLORREF>> *out)
{
    BITMAP info;
    GetObjectA(bitmap, sizeof info, &info);
    HDC memory = CreateCompatibleDC(windowDc);
    HGDIOBJ old = SelectObject(memory, bitmap);
    for (int y = 0; y < info.bmHeight; y += 7)
        for (int x = 0; x < info.bmWidth; x += 5)
            out->push_back({GetPixel(memory, x, y), GetPixel(windowDc, left + x, top + y)});
    SelectObject(memory, old);
    DeleteDC(memory);
}

void LookAtBackground(HWND window)
{
    g_shot.window = window;
    // Other test programs may open windows meanwhile; none may cover this one.
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(window, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    SettleScreen();
    GetWindowRect(window, &g_shot.windowRect);
    GetClientRect(window, &g_shot.client);
    char caption[128] = "";
    GetWindowTextA(window, caption, sizeof caption);
    g_shot.caption = caption;

    HDC dc = GetDC(window);
    g_shot.middle = GetPixel(dc, g_shot.client.right / 2, g_shot.client.bottom / 2);
    g_shot.nearTop = GetPixel(dc, 5, 5);
    HBITMAP product = LoadBitmapA(g_hInstance, "ZT_BMP");
    HBITMAP logo = LoadBitmapA(g_hInstance, "MARLQUIN");
    if (product) {
        Sample(dc, product, 10, 10, &g_shot.product);
        DeleteObject(product);
    }
    if (logo) {
        BITMAP info;
        GetObjectA(logo, sizeof info, &info);
        Sample(dc, logo, g_shot.client.right - info.bmWidth, g_shot.client.bottom - info.bmHeight,
               &g_shot.logo);
        DeleteObject(logo);
    }
    ReleaseDC(window, dc);

    const char *picture = getenv("ZT_PICTURE");
    if (picture && *picture)
        g_shot.taken = zt::SaveScreenshot(picture);
}

LRESULT CALLBACK HoldStartCommand(int code, WPARAM wParam, LPARAM lParam)
{
    MSG *msg = reinterpret_cast<MSG *>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && !g_shot.busy && msg->message == WM_COMMAND
        && LOWORD(msg->wParam) == IDM_START) {
        g_shot.busy = true;
        LookAtBackground(msg->hwnd);
        msg->message = WM_NULL;
        PostMessageA(msg->hwnd, WM_CLOSE, 0, 0);
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

TEST(Background, TealWithPictureTopLeftAndLogoBottomRight)
{
    char oldDir[MAX_PATH];
    GetCurrentDirectoryA(sizeof oldDir, oldDir);
    char oldTmp[MAX_PATH] = "", oldTemp[MAX_PATH] = "";
    GetEnvironmentVariableA("TMP", oldTmp, sizeof oldTmp);
    GetEnvironmentVariableA("TEMP", oldTemp, sizeof oldTemp);
    std::string temp = zt::FreshDir("picture");
    SetEnvironmentVariableA("TMP", temp.c_str());
    SetEnvironmentVariableA("TEMP", temp.c_str());
    ASSERT_FALSE(zt::FileExists(zt::ExeDir() + "\\install.ini"));
    g_shot = BackgroundShot();

    g_hook = SetWindowsHookExA(WH_GETMESSAGE, HoldStartCommand, NULL, GetCurrentThreadId());
    ASSERT_TRUE(g_hook != NULL);
    int code = RunProgram(GetModuleHandleA(NULL), "");
    UnhookWindowsHookEx(g_hook);
    // The class is registered once per process; a repeated run registers it anew.
    UnregisterClassA("ZTInstal", GetModuleHandleA(NULL));
    g_hInstance = GetModuleHandleA(NULL);

    SetCurrentDirectoryA(oldDir);
    SetEnvironmentVariableA("TMP", oldTmp[0] ? oldTmp : NULL);
    SetEnvironmentVariableA("TEMP", oldTemp[0] ? oldTemp : NULL);
    zt::RemoveTree(temp);

    EXPECT_EQ(0, code);
    ASSERT_TRUE(g_shot.window != NULL) << "the start command never arrived";
    EXPECT_FALSE(IsWindow(g_shot.window));
    EXPECT_EQ("ZELTRA Pro Install (32)", g_shot.caption);

    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    RECT expected = MainWindowRect(desktop);
    EXPECT_EQ(expected.left, g_shot.windowRect.left);
    EXPECT_EQ(expected.top, g_shot.windowRect.top);
    EXPECT_EQ(expected.right, g_shot.windowRect.right);
    EXPECT_EQ(expected.bottom, g_shot.windowRect.bottom);

    const COLORREF teal = RGB(0, 128, 128);
    EXPECT_EQ(teal, g_shot.middle);
    EXPECT_EQ(teal, g_shot.nearTop);
    ASSERT_FALSE(g_shot.product.empty());
    ASSERT_FALSE(g_shot.logo.empty());
    int productWrong = 0, logoWrong = 0, productTeal = 0;
    for (const auto &p : g_shot.product) {
        productWrong += p.first != p.second;
        productTeal += p.second == teal;
    }
    for (const auto &p : g_shot.logo)
        logoWrong += p.first != p.second;
    EXPECT_EQ(0, productWrong) << "of " << g_shot.product.size() << " product picture samples";
    EXPECT_EQ(0, logoWrong) << "of " << g_shot.logo.size() << " logo samples";
    EXPECT_LT(productTeal, int(g_shot.product.size()));

    if (getenv("ZT_PICTURE") && *getenv("ZT_PICTURE")) {
        EXPECT_TRUE(g_shot.taken) << getenv("ZT_PICTURE");
    }
}

}  // namespace
