// The setup shell's own routines: window geometry, bounded text helpers, the
// option rules, the component masks, message texts and the log.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "flow/driver.h"
#include "harness.h"
#include "shell/catalogue.h"
#include "resource.h"
#include "shell/cmdline.h"
#include "shell/messages.h"
#include "shell/options.h"
#include "shell/paths.h"
#include "flow/startup.h"
#include "shell/workfolder.h"
#include "uidriver.h"

namespace {

RECT Desktop(int width, int height)
{
    RECT r = {0, 0, width, height};
    return r;
}

struct RectCase {
    int desktopW, desktopH;
    int left, top, width, height;
};

TEST(MainWindow, RectangleFollowsDesktop)
{
    const RectCase cases[] = {
        {640, 480, 20, 40, 600, 400},    // four fifths would be too small
        {800, 600, 80, 60, 640, 480},
        {1024, 768, 104, 78, 816, 612},
        {1023, 767, 103, 77, 816, 612},  // the fifths truncate
    };
    for (const RectCase &c : cases) {
        RECT r = MainWindowRect(Desktop(c.desktopW, c.desktopH));
        SCOPED_TRACE(testing::Message() << c.desktopW << "x" << c.desktopH);
        EXPECT_EQ(c.left, r.left);
        EXPECT_EQ(c.top, r.top);
        EXPECT_EQ(c.width, r.right - r.left);
        EXPECT_EQ(c.height, r.bottom - r.top);
    }
}

// A plain popup: Wine does not clamp its size to the screen.
HWND MakePopup(int width, int height)
{
    return CreateWindowExA(0, "STATIC", "", WS_POPUP, 5, 7, width, height, NULL, NULL,
                           GetModuleHandleA(NULL), NULL);
}

TEST(MainWindow, CenterWindowCentresAndNeverGoesNegative)
{
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    int W = desktop.right - desktop.left, H = desktop.bottom - desktop.top;

    HWND small = MakePopup(201, 101);
    ASSERT_TRUE(small != NULL);
    CenterWindow(small);
    RECT r;
    GetWindowRect(small, &r);
    EXPECT_EQ(W / 2 - 201 / 2, r.left);
    EXPECT_EQ(H / 2 - 101 / 2, r.top);
    EXPECT_EQ(201, r.right - r.left);
    EXPECT_EQ(101, r.bottom - r.top);
    DestroyWindow(small);

    HWND large = MakePopup(W + 400, H + 300);
    ASSERT_TRUE(large != NULL);
    CenterWindow(large);
    GetWindowRect(large, &r);
    EXPECT_EQ(0, r.left);
    EXPECT_EQ(0, r.top);
    EXPECT_EQ(W + 400, r.right - r.left);
    DestroyWindow(large);
}

TEST(MainWindow, OtherCommandsAreAnsweredWithZero)
{
    EXPECT_EQ(0, MainWndProc(NULL, WM_COMMAND, 101, 0));
    EXPECT_EQ(0, MainWndProc(NULL, WM_COMMAND, MAKEWPARAM(7, 1), 0));
}

// ---------------------------------------------------------------------------
// Bounded text helpers

TEST(Paths, CopyTextFitsOrCuts)
{
    char b[6];
    EXPECT_TRUE(CopyText(b, sizeof b, "abcde"));  // exactly fills
    EXPECT_STREQ("abcde", b);
    EXPECT_FALSE(CopyText(b, sizeof b, "abcdef"));
    EXPECT_STREQ("abcde", b);
    EXPECT_TRUE(CopyText(b, sizeof b, ""));
    EXPECT_STREQ("", b);

    char untouched[2] = {'x', 'y'};
    EXPECT_FALSE(CopyText(untouched, 0, "a"));
    EXPECT_EQ('x', untouched[0]);
}

TEST(Paths, AppendTextFitsOrCuts)
{
    char b[8] = "abc";
    EXPECT_TRUE(AppendText(b, sizeof b, "defg"));
    EXPECT_STREQ("abcdefg", b);
    EXPECT_FALSE(AppendText(b, sizeof b, "h"));
    EXPECT_STREQ("abcdefg", b);

    char c[8] = "abc";
    EXPECT_FALSE(AppendText(c, sizeof c, "12345"));
    EXPECT_STREQ("abc1234", c);

    // No terminator inside the buffer: refuse, do not run past it.
    char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_FALSE(AppendText(full, sizeof full, "x"));
    EXPECT_EQ('d', full[3]);
}

TEST(Paths, FormatTextFitsOrCuts)
{
    char b[8];
    EXPECT_TRUE(FormatText(b, sizeof b, "%d-%s", 12, "abcd"));
    EXPECT_STREQ("12-abcd", b);
    EXPECT_FALSE(FormatText(b, sizeof b, "%d-%s", 123, "abcd"));
    EXPECT_STREQ("123-abc", b);
}

// The program formats without a C runtime: each conversion it knows, against
// what printf gives.
TEST(Paths, FormatTextAgreesWithPrintf)
{
    char ours[64], theirs[64];
#define ZL_SAME(...)                                                  \
    FormatText(ours, sizeof ours, __VA_ARGS__);                       \
    snprintf(theirs, sizeof theirs, __VA_ARGS__);                     \
    EXPECT_STREQ(theirs, ours)
    ZL_SAME("%d %d %i %d", 0, -7, 2147483647, -2147483647 - 1);
    ZL_SAME("%u %lu %x %X %c%%", 4294967295u, 10ul, 0xbeefu, 0xbeefu, 'z');
    ZL_SAME("[%5d][%-5d][%05d][%05d][%3s][%-3s|]", 42, 42, 42, -42, "a", "b");
    ZL_SAME("[%.2s][%.*s][%s]", "abcdef", 3, "abcdef", "");
    ZL_SAME("%llu %lld", 18446744073709551615ull, -9223372036854775807ll);
    const char *precise = "[%.3d][%05.2x][%-6.3d][%7.4X][%.0d][%.0u][%08.3d][%.*d][%*.1d]";   // "0" ignored
    ZL_SAME(precise, 5, 10, -7, 0xabu, 0, 0u, -42, -1, 0, -4, 3);
#undef ZL_SAME
}

// Anything it does not know ends the text: as text, it would skip its argument.
TEST(Paths, FormatTextStopsAtWhatItDoesNotKnow)
{
    for (const char *bad : {"%hu", "%+d", "%#x", "% d", "%p", "%n", "%o", "%f", "%ls", "%lc", "%zs", "%05s",
                            "%.2c", "%5%", "%l%", "%123456d", "%.123456s", "%*d"}) {
        char b[64];
        std::string format = std::string("ab") + bad + "|%s";
        EXPECT_FALSE(FormatText(b, sizeof b, format.c_str(), 123456, "next")) << bad;
        EXPECT_STREQ("ab", b) << bad;
    }
}

struct JoinCase {
    const char *folder, *name;
    const char *always, *unlessBackslash, *unlessSeparator;
};

TEST(Paths, TheThreeJoinRules)
{
    const JoinCase cases[] = {
        {"C:\\dir", "x", "C:\\dir\\x", "C:\\dir\\x", "C:\\dir\\x"},
        {"C:\\dir\\", "x", "C:\\dir\\\\x", "C:\\dir\\x", "C:\\dir\\x"},
        {"C:\\dir/", "x", "C:\\dir/\\x", "C:\\dir/\\x", "C:\\dir/x"},
        {"", "x", "\\x", "\\x", "\\x"},
    };
    for (const JoinCase &c : cases) {
        SCOPED_TRACE(c.folder);
        char b[64];
        EXPECT_TRUE(JoinAlways(b, sizeof b, c.folder, c.name));
        EXPECT_STREQ(c.always, b);
        EXPECT_TRUE(JoinUnlessBackslash(b, sizeof b, c.folder, c.name));
        EXPECT_STREQ(c.unlessBackslash, b);
        EXPECT_TRUE(JoinUnlessSeparator(b, sizeof b, c.folder, c.name));
        EXPECT_STREQ(c.unlessSeparator, b);
    }
}

TEST(Paths, JoinRefusesWhatDoesNotFit)
{
    char b[6];
    EXPECT_TRUE(JoinAlways(b, sizeof b, "ab", "cd"));  // "ab\cd" fills it
    EXPECT_STREQ("ab\\cd", b);
    EXPECT_FALSE(JoinAlways(b, sizeof b, "ab", "cde"));
    EXPECT_STREQ("", b);
    EXPECT_TRUE(JoinUnlessBackslash(b, sizeof b, "ab\\", "cd"));
    EXPECT_FALSE(JoinUnlessBackslash(b, sizeof b, "ab\\", "cde"));
    EXPECT_STREQ("", b);
    EXPECT_TRUE(JoinUnlessSeparator(b, sizeof b, "ab/", "cd"));
    EXPECT_FALSE(JoinUnlessSeparator(b, sizeof b, "abc", "de"));
    EXPECT_STREQ("", b);
    EXPECT_FALSE(JoinAlways(b, 0, "a", "b"));
}

TEST(Paths, TrailingSeparators)
{
    EXPECT_TRUE(EndsWithSeparator("a\\", false));
    EXPECT_FALSE(EndsWithSeparator("a/", false));
    EXPECT_TRUE(EndsWithSeparator("a/", true));
    EXPECT_FALSE(EndsWithSeparator("", true));

    char b[16] = "C:\\t\\\\";
    StripOneTrailingSeparator(b);
    EXPECT_STREQ("C:\\t\\", b);  // only one
    CopyText(b, sizeof b, "C:\\t/");
    StripOneTrailingSeparator(b);
    EXPECT_STREQ("C:\\t", b);
    CopyText(b, sizeof b, "");
    StripOneTrailingSeparator(b);
    EXPECT_STREQ("", b);
}

// Only these are swept from the shared temporary folder: another program's
// ZLT12345.TMP or ZLTX.tmp stays.
TEST(Paths, TempNamesOfOurPrefixOnly)
{
    for (const char *name : {"ZLT1.tmp", "zltBEEF.TMP", "~ZLRa0.tmp"})
        EXPECT_TRUE(IsTempName(name, name[0] == '~' ? "~zlr" : "ZLT")) << name;
    for (const char *name : {"ZLT.tmp", "ZLT12345.tmp", "ZLTX.tmp", "ZLT1.tmp.bak", "ZL1.tmp", "ZLT1"})
        EXPECT_FALSE(IsTempName(name, "ZLT")) << name;
}

// Run on code page 932 by unit_shell_cp932, skipped on others. "\x95\x5C"
// is one character whose second byte is that of "\".
TEST(CodePage932, SeparatorsAndPrefixesTakeDoubleByteCharactersWhole)
{
    if (GetACP() != 932)
        GTEST_SKIP() << "code page " << GetACP();
    char path[] = "C:\\\x95\x5C" "\\d\x95\x5C";
    EXPECT_EQ(path + 5, LastSeparator(path, false));
    char b[32];
    EXPECT_TRUE(JoinUnlessSeparator(b, sizeof b, path, "x"));
    EXPECT_STREQ("C:\\\x95\x5C" "\\d\x95\x5C" "\\x", b);
    // Both end in the same lone lead byte; what lies past their ends differs.
    const char one[] = "x\x95\0A", other[] = "x\x95\0B";
    EXPECT_TRUE(SamePrefixIgnoringCase(one, other, sizeof one));
}

// ---------------------------------------------------------------------------
// Options and platform

TEST(Options, RuleTrueAndRuleFalse)
{
    const struct {
        const char *value;
        bool isTrue, isFalse;
    } cases[] = {
        {"TRUE", true, false},  {"true", true, false},  {"TrUe", true, false},
        {"1", true, false},     {"FALSE", false, true}, {"false", false, true},
        {"fAlSe", false, true}, {"0", false, true},      {"yes", false, false},
        {"no", false, false},   {"", false, false},     {" 1", false, false},
        {"01", false, false},   {"TRUE ", false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(c.isTrue, OptionIsTrue(c.value));
        EXPECT_EQ(c.isFalse, OptionIsFalse(c.value));
    }
    // Under rule F a value is true unless it is false: "yes" turns logging on
    // while under rule T it does not turn quiet mode on.
    EXPECT_FALSE(OptionIsTrue("yes"));
    EXPECT_TRUE(!OptionIsFalse("yes"));
}

struct MaskCase {
    bool nt;
    int major, minor;
    bool bonus, explore;
    int offered, allowed;
};

TEST(Options, ComponentMasksPerPlatform)
{
    const MaskCase cases[] = {
        // NT 3.x: classic and utilities, whatever BONUS says
        {true, 3, 51, true, true, 5, 5},
        {true, 3, 51, false, false, 5, 5},
        {true, 3, 10, false, true, 5, 5},
        // NT 4 and later
        {true, 4, 0, true, true, 15, 15},
        {true, 4, 0, false, true, 11, 15},
        {true, 4, 0, true, false, 13, 15},
        {true, 6, 1, false, false, 9, 15},
        // Windows 3.x with the 32-bit extension
        {false, 3, 10, true, true, 1, 3},
        {false, 3, 49, false, false, 1, 3},
        // Windows 95 and up, and a reported 3.95
        {false, 3, 95, true, true, 15, 15},
        {false, 3, 50, false, true, 11, 15},
        {false, 4, 0, true, false, 13, 15},
        {false, 4, 10, false, false, 9, 15},
    };
    for (const MaskCase &c : cases) {
        SCOPED_TRACE(testing::Message() << "NT=" << c.nt << " " << c.major << "." << c.minor
                                        << " bonus=" << c.bonus << " explore=" << c.explore);
        int offered = -1, allowed = -1;
        ComputeComponentMasks(c.nt, c.major, c.minor, c.bonus, c.explore, &offered, &allowed);
        EXPECT_EQ(c.offered, offered);
        EXPECT_EQ(c.allowed, allowed);
    }
}

// The command line as deployment tools and hostile callers write it.
TEST(Options, SwitchesAreReadOrRefusedNamingTheWord)
{
    const std::string longWord = "/dir=C:\\" + std::string(300, 'a'), huge = "/x" + std::string(5000, 'b');
    const struct {
        std::string args;
        SwitchError error;
        const char *refused;
    } cases[] = {
        {"/QUIET -Log:\"C:\\a b\\x.log\" /dir=\"C:\\P F\\Z\" /Group=\"My Tools\" /q /norestart", kSwitchOk, ""},
        {"/quiet /bogus /dir=C:\\x", kSwitchUnknown, "/bogus"},
        {"setup.ini", kSwitchUnknown, "setup.ini"},
        {"/dir=C:\\x /DIR:C:\\y", kSwitchRepeated, "/DIR:C:\\y"},
        {"/group=\"Tools /quiet", kSwitchOpenQuote, "/group=\"Tools /quiet"},
        {"/dir= /quiet", kSwitchNeedsValue, "/dir="},
        {"/quiet=0", kSwitchTakesNoValue, "/quiet=0"},
        {"/dir=C:\\*", kSwitchUnusable, "/dir=C:\\*"},
        {"/x\r\nExit code 0", kSwitchUnusable, "/x??Exit"},
        {longWord, kSwitchTooLong, NULL},
        {huge, kSwitchTooLong, NULL},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.substr(0, 80));
        SetupSwitches s;
        EXPECT_EQ(c.error == kSwitchOk, ParseSetupSwitches(c.args.c_str(), &s));
        EXPECT_EQ(c.error, s.error);
        if (c.refused) {
            EXPECT_STREQ(c.refused, s.refused);
        }
        EXPECT_EQ(nullptr, strpbrk(s.shown, "\r\n"));
        EXPECT_LT(strlen(s.refused), sizeof s.refused);
    }
    SetupSwitches s;
    ASSERT_TRUE(ParseSetupSwitches(cases[0].args.c_str(), &s));
    EXPECT_EQ(unsigned(kSwitchQuiet | kSwitchNoRestart | kSwitchLog | kSwitchDir | kSwitchGroup), s.given);
    EXPECT_STREQ("C:\\a b\\x.log", s.log);
    EXPECT_STREQ("C:\\P F\\Z", s.dir);
    EXPECT_STREQ("My Tools", s.group);
    // Relative paths are the caller's: made full before the folder changes.
    char here[MAX_PATH];
    GetCurrentDirectoryA(sizeof here, here);
    ASSERT_TRUE(ParseSetupSwitches("/ini=opts.ini", &s));
    EXPECT_EQ(std::string(here) + (here[strlen(here) - 1] == '\\' ? "" : "\\") + "opts.ini", s.ini);
}

// ---------------------------------------------------------------------------
// Message texts

const UINT kMissingId = 19999;

TEST(Messages, LoadMessageOfSizeZeroLeavesBufferAlone)
{
    char b[8] = "keep";
    EXPECT_EQ(0, LoadMessage(MSG_CLASS_FAILED, b, 0));
    EXPECT_STREQ("keep", b);
}

TEST(Messages, MissingNumberGivesTheFallbackCutToFit)
{
    char b[16];
    memset(b, 'x', sizeof b);
    EXPECT_EQ(0, LoadMessage(kMissingId, b, sizeof b));
    EXPECT_STREQ("19999 DEBUG - U", b);
    EXPECT_EQ(15u, strlen(b));

    char whole[256];
    EXPECT_EQ(0, LoadMessage(kMissingId, whole, sizeof whole));
    EXPECT_STREQ("19999 DEBUG - Unable to load string", whole);

    char one[1] = {'x'};
    EXPECT_EQ(0, LoadMessage(kMissingId, one, sizeof one));
    EXPECT_EQ('\0', one[0]);
}

TEST(Messages, PresentNumberIsLoaded)
{
    char b[256];
    EXPECT_EQ(1, LoadMessage(MSG_CLASS_FAILED, b, sizeof b));
    EXPECT_STREQ("Window registration failed.\nExit and restart Windows.", b);
    EXPECT_EQ(1, LoadMessage(10012, b, sizeof b));
    EXPECT_STREQ("ZELTRA Pro Help", b);
}

TEST(Messages, FormatMessageTextFillsInserts)
{
    char b[kFormatBufferSize];
    DWORD n = FormatMessageText(b, "Creation of %1!s! failed. (%2!u!)", "C:\\dir",
                                DWORD_PTR(183));
    EXPECT_STREQ("Creation of C:\\dir failed. (183)", b);
    EXPECT_EQ(strlen(b), n);

    n = FormatMessageText(b, "Copy of %1!s! to %2!s! failed. (%3!u!)", "a", "b",
                          DWORD_PTR(4294967295u));
    EXPECT_STREQ("Copy of a to b failed. (4294967295)", b);

    // Inserts may be used out of order.
    FormatMessageText(b, "%2!s!%1!s!", "x", "y");
    EXPECT_STREQ("yx", b);
}

TEST(Messages, FormatMessageTextCutsALongResult)
{
    std::string insert(2000, 'p');
    char b[2048];
    memset(b, 'Z', sizeof b);
    DWORD n = FormatMessageText(b, "Creation of %1!s! failed. (%2!u!)", insert.c_str(),
                                DWORD_PTR(5));
    EXPECT_EQ(1023u, n);
    EXPECT_EQ(1023u, strlen(b));
    EXPECT_EQ(0, strncmp(b, "Creation of ppp", 15));
    for (size_t i = kFormatBufferSize; i < sizeof b; ++i)
        ASSERT_EQ('Z', b[i]) << "written past 1024 characters at " << i;
}

// ---------------------------------------------------------------------------
// The log, in a scratch current directory

class LogTest : public testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(sizeof oldDir_, oldDir_);
        dir_ = zt::FreshDir("unit_log");
        ASSERT_TRUE(SetCurrentDirectoryA(dir_.c_str()));
        oldLogging_ = g_bLogging;
    }
    void TearDown() override
    {
        g_bLogging = oldLogging_;
        SetCurrentDirectoryA(oldDir_);
        zt::RemoveTree(dir_);
    }
    std::string LogPath() const { return dir_ + "\\setup.log"; }

    std::string dir_;
    char oldDir_[MAX_PATH];
    int oldLogging_ = 0;
};

TEST_F(LogTest, LoggingOffCreatesNoFile)
{
    g_bLogging = 0;
    LogLine("nothing");
    LogFormat("nor %d", 1);
    EXPECT_FALSE(zt::FileExists(LogPath()));
}

TEST_F(LogTest, EachCallAppendsOneLine)
{
    ASSERT_TRUE(zt::WriteFileText(LogPath(), "earlier run\r\n"));
    g_bLogging = 1;
    LogLine("first");
    LogFormat("nV=%d nM=%d", 15, 15);
    EXPECT_EQ("earlier run\r\nfirst\r\nnV=15 nM=15\r\n", zt::ReadFileText(LogPath()));
}

TEST_F(LogTest, MessageLineBreaksGetNoExtraCarriageReturn)
{
    g_bLogging = 1;
    char text[kFormatBufferSize];
    FormatMessageText(text, "one %1!s!\ntwo\r\nthree", "x");
    LogLine(text);
    LogLine("a\rb");
    EXPECT_EQ("one x\r\ntwo\r\nthree\r\na\rb\r\n", zt::ReadFileText(LogPath()));
}

TEST_F(LogTest, LogFormatCutsAnOverlongLine)
{
    g_bLogging = 1;
    std::string text(5000, 'q');
    LogFormat("%s", text.c_str());
    std::string log = zt::ReadFileText(LogPath());
    EXPECT_EQ(std::string(2047, 'q') + "\r\n", log);
}

// ---------------------------------------------------------------------------
// Temporary folder

class TempFolderTest : public testing::Test {
protected:
    void SetUp() override
    {
        oldTmp_ = Env("TMP");
        oldTemp_ = Env("TEMP");
        dir_ = zt::FreshDir("unit_temp");
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("TMP", oldTmp_.empty() ? NULL : oldTmp_.c_str());
        SetEnvironmentVariableA("TEMP", oldTemp_.empty() ? NULL : oldTemp_.c_str());
        zt::RemoveTree(dir_);
    }
    static std::string Env(const char *name)
    {
        char value[MAX_PATH] = "";
        DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
        return n > 0 && n < sizeof value ? value : "";
    }
    void UseTemp(const std::string &path)
    {
        SetEnvironmentVariableA("TMP", path.c_str());
        SetEnvironmentVariableA("TEMP", path.c_str());
    }

    std::string dir_, oldTmp_, oldTemp_;
};

TEST_F(TempFolderTest, WorkFolderLosesOneTrailingSeparator)
{
    char folder[256];
    for (const char *suffix : {"", "\\", "/"}) {
        SCOPED_TRACE(suffix);
        UseTemp(dir_ + suffix);
        ASSERT_TRUE(GetWorkFolder(folder, sizeof folder));
        EXPECT_STREQ(dir_.c_str(), folder);
    }
}

TEST_F(TempFolderTest, DriveRootKeepsItsBackslash)
{
    // "C:" alone would name the drive's current folder.
    char folder[256];
    UseTemp("C:\\");
    ASSERT_TRUE(GetWorkFolder(folder, sizeof folder));
    EXPECT_STREQ("C:\\", folder);
}

TEST_F(TempFolderTest, WorkFolderRefusesASmallBuffer)
{
    UseTemp(dir_);
    char folder[8];
    EXPECT_FALSE(GetWorkFolder(folder, sizeof folder));
    EXPECT_STREQ("", folder);
}

TEST_F(TempFolderTest, MissingOneGivesWayToTempInTheWindowsFolder)
{
    UseTemp(dir_ + "\\missing");
    char folder[256], windows[MAX_PATH];
    WorkFolderSource source = kWorkFolderTemp;
    ASSERT_TRUE(GetWindowsDirectoryA(windows, sizeof windows) && GetWorkFolder(folder, sizeof folder, &source));
    EXPECT_EQ(std::string(windows) + "\\TEMP", folder);
    EXPECT_EQ(kWorkFolderWindowsTemp, source);
}

// "Łtemp" reads as "Ltemp" on code page 1252: an existing "Ltemp" is
// another folder, perhaps another user's, and is not taken.
TEST_F(TempFolderTest, NameThatBestFitsToAnotherFolderIsNotTaken)
{
    const std::wstring wide = std::wstring(dir_.begin(), dir_.end()) + L"\\\x141temp";
    ASSERT_TRUE(CreateDirectoryW(wide.c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA((dir_ + "\\Ltemp").c_str(), NULL));
    SetEnvironmentVariableW(L"TMP", wide.c_str());
    SetEnvironmentVariableW(L"TEMP", wide.c_str());
    char folder[256] = "", ansi[MAX_PATH] = "";
    WorkFolderSource source = kWorkFolderTemp;
    GetTempPathA(sizeof ansi, ansi);
    bool found = GetWorkFolder(folder, sizeof folder, &source);
    RemoveDirectoryW(wide.c_str());
    ASSERT_EQ(dir_ + "\\Ltemp\\", ansi) << "no best fit on this code page";
    ASSERT_TRUE(found);
    EXPECT_EQ(kWorkFolderShortTemp, source) << folder;
}

TEST_F(TempFolderTest, RemoveTempFilesDeletesPayloadNamesOnly)
{
    UseTemp(dir_ + "\\");
    const char *payload[] = {"zlclient.ex_", "zlcore32.dl_", "Install.ini"};
    for (const char *name : payload)
        ASSERT_TRUE(zt::WriteFileText(dir_ + "\\" + name, "x"));
    ASSERT_TRUE(zt::WriteFileText(dir_ + "\\ZLT1.tmp", ""));
    ASSERT_TRUE(zt::WriteFileText(dir_ + "\\setup.log", "kept\r\n"));
    ASSERT_TRUE(zt::WriteFileText(dir_ + "\\zlclient.exe", "x"));

    EXPECT_EQ(0, RemoveTempFiles());

    for (const char *name : payload)
        EXPECT_FALSE(zt::FileExists(dir_ + "\\" + name)) << name;
    EXPECT_TRUE(zt::FileExists(dir_ + "\\ZLT1.tmp"));
    EXPECT_TRUE(zt::FileExists(dir_ + "\\setup.log"));
    EXPECT_TRUE(zt::FileExists(dir_ + "\\zlclient.exe"));
}

// ---------------------------------------------------------------------------

TEST(Pump, ReturnsAtOnceAndKeepsAQuitRequest)
{
    EXPECT_EQ(1, PumpMessages());
    g_bQuitRequested = FALSE;
    PostQuitMessage(7);
    EXPECT_EQ(1, PumpMessages());
    EXPECT_TRUE(g_bQuitRequested);
    EXPECT_EQ(7, g_nQuitCode);
    g_bQuitRequested = FALSE;
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
}

// A quit request the work took off the queue ends the program once the
// work is over, with the work's code (here: Exit at the first question).
TEST(Pump, QuitRequestEndsTheProgramWithTheWorksCode)
{
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = g_hInstance;
    wc.lpszClassName = "ZTQuitTest";
    RegisterClassA(&wc);
    HWND window = CreateWindowA("ZTQuitTest", "", WS_OVERLAPPED, 0, 0, 10, 10, NULL, NULL, g_hInstance, NULL);
    ASSERT_NE(nullptr, window);
    g_bSilent = 0;
    g_bRebootNeeded = 0;
    g_bQuitRequested = TRUE;
    g_nQuitCode = 7;
    zt::Driver driver([] {
        HWND first = zt::WaitForDialog({"ZELTRA Pro Installation", IDC_RADIO_FIRST});
        ASSERT_NE(nullptr, first);
        zt::Click(first, IDCANCEL);
    });
    SendMessageA(window, WM_COMMAND, IDM_START, 0);
    driver.Join();
    MSG msg;
    memset(&msg, 0, sizeof msg);
    while (GetMessageA(&msg, NULL, 0, 0) > 0)
        DispatchMessageA(&msg);
    EXPECT_EQ(UINT(WM_QUIT), msg.message);
    EXPECT_EQ(WPARAM(kExitCancelled), msg.wParam);
    g_bQuitRequested = FALSE;
    DestroyWindow(window);
}

}  // namespace
