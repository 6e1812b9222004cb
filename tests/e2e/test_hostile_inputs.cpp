// setup.exe fed hostile options: install.ini and win.ini [ZELTRA] values
// that are too long, carry format directives, odd bytes or no text at all,
// and destinations that cannot or should not be used. Every run must end
// on its own (no crash, no hang), say what it refused (a log line in quiet
// mode) and write nowhere but the destination and its documented settings.
#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <functional>
#include <string>
#include <vector>

#include "harness.h"
#include "hostile.h"
#include "install_state.h"
#include "resource.h"
#include "uidriver.h"

using namespace zt;

namespace {

const char kDefaultDest[] = "C:\\Program Files\\ZELTRA Pro";
const char kDefaultGroup[] = "ZELTRA Pro";
const char kTemp[] = "C:\\zt\\temp";
const DWORD kRunTimeout = 90000;

enum Expect {
    kInstalls,      // quiet installation into dest
    kRefusesDest,   // quiet run that stops at the destination with a log line
    kAsks           // not quiet: the first question comes and is answered with Exit
};

struct HostileCase {
    std::string name;
    std::string ini;                    // install.ini, byte for byte
    Expect expect = kInstalls;
    std::string dest = kDefaultDest;    // where the files must land (kInstalls)
    std::string recorded;               // DEFDIR expected, when it differs from dest
    std::vector<std::string> logHas;    // parts of setup.log lines
    std::string group = kDefaultGroup;  // win.ini GROUP expected (kInstalls)
    std::vector<std::pair<std::string, std::string>> winIni;  // [ZELTRA] before the run
    std::function<void()> prepare;      // other state before the run
    bool iniIsFolder = false;           // install.ini is a directory
    std::string temp = kTemp;           // the work folder, made afresh
};

std::string QuietIni(const std::vector<std::string> &install, const std::vector<std::string> &zeltra = {})
{
    std::string text = "[INSTALL]\r\n";
    for (const std::string &line : install)
        text += line + "\r\n";
    if (!zeltra.empty()) {
        text += "[ZELTRA]\r\n";
        for (const std::string &line : zeltra)
            text += line + "\r\n";
    }
    return text;
}

std::string Quiet(const std::vector<std::string> &zeltra) { return QuietIni({"QUIET=1", "LOGGING=1"}, zeltra); }

// --- the tables -----------------------------------------------------------

// Every key with a value of n characters.
void AddLongValues(std::vector<HostileCase> &cases)
{
    struct Key {
        const char *key;
        bool zeltra;
        Expect expect;
        const char *logged;   // a log line part the value leads to
    };
    const Key keys[] = {
        {"LOGGING", false, kInstalls, "g_bSilent=1"},        // rule F: anything else is true
        {"ALLOWRBT", false, kInstalls, "nV=15 nM=15"},
        {"QUIET", false, kAsks, ""},                         // rule T: anything else is false
        {"NOPASSWORD", false, kInstalls, "g_bNoPass=0"},
        {"BONUS", false, kInstalls, "gbInstallBonusPack=0"},
        {"DESKTOP", false, kInstalls, "g_iconLocation=1"},
        {"EXPLORER", false, kInstalls, "g_bExplore=1"},
        {"LINE1", false, kInstalls, ""},
        {"LINE2", false, kInstalls, ""},
        {"DIR32", true, kRefusesDest, "Failed to create DestDir \"C:\\zt\\dest\\"},
        {"GROUP32", true, kInstalls, "cannot be used"},
    };
    for (size_t n : {300u, 1000u, 10000u}) {
        for (const Key &k : keys) {
            HostileCase c;
            c.name = std::string("Long") + k.key + "_" + std::to_string(n);
            std::string value = k.zeltra && std::string(k.key) == "DIR32" ? FolderOfLength(n) : Repeat("Ab", n);
            std::vector<std::string> install = {"QUIET=1", "LOGGING=1"}, zeltra;
            std::string line = std::string(k.key) + "=" + value;
            if (k.zeltra)
                zeltra.push_back(line);
            else if (std::string(k.key) == "QUIET")
                install[0] = line;
            else if (std::string(k.key) == "LOGGING")
                install[1] = line;
            else
                install.push_back(line);
            c.ini = QuietIni(install, zeltra);
            c.expect = k.expect;
            if (*k.logged)
                c.logHas.push_back(k.logged);
            // The text lines are logged as far as their 255 characters go.
            if (std::string(k.key).compare(0, 4, "LINE") == 0)
                c.logHas.push_back("g_szLine" + std::string(1, k.key[4]) + "=\"" + value.substr(0, 255) + "\"");
            cases.push_back(c);
        }
    }
}

// The destination and group around the lengths that matter: MAX_PATH and
// the 256-character group buffer.
void AddBoundaryLengths(std::vector<HostileCase> &cases)
{
    for (size_t n : {259u, 260u, 261u, 600u}) {
        HostileCase dir;
        dir.name = "Dir32Of_" + std::to_string(n);
        dir.ini = Quiet({"DIR32=" + FolderOfLength(n)});
        dir.expect = kRefusesDest;
        dir.logHas = {"Failed to create DestDir \"" + FolderOfLength(n).substr(0, 200)};
        cases.push_back(dir);

        HostileCase group;
        group.name = "Group32Of_" + std::to_string(n);
        group.ini = Quiet({"GROUP32=" + Repeat("Group ", n)});
        group.logHas = {"cannot be used; \"ZELTRA Pro\" instead."};
        cases.push_back(group);
    }
    // Past the 128 characters of the old OpenFile record, and the longest
    // folder that still holds every installed name.
    HostileCase deep;
    deep.name = "Dir32Of_150";
    deep.dest = FolderOfLength(150);
    deep.ini = Quiet({"DIR32=" + deep.dest});
    cases.push_back(deep);

    HostileCase longest;
    longest.name = "Dir32Of_246";
    longest.dest = FolderOfLength(246);
    longest.ini = Quiet({"DIR32=" + longest.dest});
    cases.push_back(longest);
}

// Format directives in every text that reaches a message, the log, a DDE
// command or the registry: they must come out as typed.
void AddFormatDirectives(std::vector<HostileCase> &cases)
{
    const std::pair<const char *, const char *> directives[] = {
        {"Percent_s", "%s%s%s"}, {"Percent_n", "%n%n"}, {"Insert", "%1!s!%2!u!"}, {"Bang", "!x!"}};
    int i = 0;
    for (const auto &d : directives) {
        std::string text = std::string("a") + d.second + "b";
        for (const char *key : {"LINE1", "LINE2"}) {
            HostileCase c;
            c.name = std::string("Format") + key + "_" + d.first;
            c.ini = QuietIni({"QUIET=1", "LOGGING=1", std::string(key) + "=" + text});
            c.logHas = {"g_szLine" + std::string(1, key[4]) + "=\"" + text + "\""};
            cases.push_back(c);
        }
        HostileCase dir;
        dir.name = std::string("FormatDir32_") + d.first;
        dir.dest = "C:\\zt\\dest\\f" + std::to_string(i++) + text;
        dir.ini = Quiet({"DIR32=" + dir.dest});
        cases.push_back(dir);

        HostileCase group;
        group.name = std::string("FormatGroup32_") + d.first;
        group.group = "Group " + text;
        group.ini = Quiet({"GROUP32=" + group.group});
        cases.push_back(group);
    }
}

// Files that are no INI text at all.
void AddOddFiles(std::vector<HostileCase> &cases)
{
    HostileCase ansi;
    ansi.name = "NonAsciiBytes";
    ansi.dest = "C:\\zt\\dest\\caf\xe9 \xe0 l'\xe9t\xe9";
    ansi.group = "Gr\xfc\xdf" "e \xa7\xb5";
    ansi.ini = QuietIni({"QUIET=1", "LOGGING=1", "LINE1=\x80\x81\x8d\x9f\xff\xfe"},
                        {"DIR32=" + ansi.dest, "GROUP32=" + ansi.group});
    ansi.logHas = {"g_szLine1=\"\x80\x81\x8d\x9f\xff\xfe\""};
    cases.push_back(ansi);

    HostileCase utf8;
    utf8.name = "Utf8WithByteOrderMark";
    utf8.ini = "\xef\xbb\xbf[INSTALL]\r\nLOGGING=1\r\nQUIET=1\r\nLINE2=\xc3\xa9\xe2\x82\xac\r\n";
    utf8.logHas = {"g_szLine2=\""};   // decoded or not: Wine reads the mark, Windows does not
    cases.push_back(utf8);

    std::string noise;
    unsigned seed = 12345;
    for (int i = 0; i < 65536; ++i) {
        seed = seed * 1103515245u + 12345u;
        noise += char(seed >> 16);
    }
    HostileCase binary;
    binary.name = "BinaryFile";
    binary.ini = noise;
    binary.expect = kAsks;   // no [INSTALL] section: not quiet
    cases.push_back(binary);

    HostileCase mixed;
    mixed.name = "OptionsThenBinaryWithZeros";
    const char head[] = "[INSTALL]\r\nQUIET=1\r\nLOGGING=1\r\nLINE1=a\0b\r\n";
    mixed.ini = std::string(head, sizeof head - 1) + noise;
    cases.push_back(mixed);

    HostileCase empty;
    empty.name = "EmptyFile";
    empty.ini = "";
    empty.expect = kAsks;
    cases.push_back(empty);

    HostileCase folder;
    folder.name = "FolderNamedInstallIni";
    folder.iniIsFolder = true;
    folder.expect = kAsks;
    cases.push_back(folder);

    HostileCase noNewline;
    noNewline.name = "OneLineWithoutEnd";
    noNewline.ini = "[INSTALL]\r\nLOGGING=1\r\nQUIET=1\r\nLINE1=" + Repeat("z", 70000);
    noNewline.logHas = {"g_szLine1=\"zzzz"};
    cases.push_back(noNewline);
}

// win.ini [ZELTRA] as an earlier run (or someone else) left it.
void AddWinIniValues(std::vector<HostileCase> &cases)
{
    const std::string fmt = "%s%n%1!s!!";
    for (size_t n : {300u, 1000u, 10000u}) {
        std::string suffix = "_" + std::to_string(n);
        HostileCase dir;
        dir.name = "WinIniLongDir" + suffix;
        dir.winIni = {{"DIR", FolderOfLength(n)}};
        dir.ini = Quiet({});
        dir.expect = kRefusesDest;
        dir.logHas = {"Failed to create DestDir \"C:\\zt\\dest\\"};
        cases.push_back(dir);

        HostileCase group;
        group.name = "WinIniLongGroup" + suffix;
        group.winIni = {{"GROUP", Repeat("Group ", n)}};
        group.ini = Quiet({});
        group.logHas = {"cannot be used"};
        cases.push_back(group);

        for (const char *key : {"DEFDIR", "INSTOPTS"}) {
            HostileCase c;
            c.name = std::string("WinIniLong") + key + suffix;
            c.winIni = {{key, Repeat(std::string(key) == "INSTOPTS" ? "9" : "A", n)}};
            c.ini = Quiet({});
            cases.push_back(c);
        }
    }
    HostileCase dir;
    dir.name = "WinIniFormatDir";
    dir.dest = "C:\\zt\\dest\\w" + fmt;
    dir.winIni = {{"DIR", dir.dest}};
    dir.ini = Quiet({});
    cases.push_back(dir);

    HostileCase group;
    group.name = "WinIniFormatGroup";
    group.group = "G" + fmt;
    group.winIni = {{"GROUP", group.group}};
    group.ini = Quiet({});
    cases.push_back(group);

    HostileCase opts;
    opts.name = "WinIniFormatDefdirAndInstopts";
    opts.winIni = {{"DEFDIR", fmt}, {"INSTOPTS", fmt}, {"PRO", fmt}, {"SPFLAGS", fmt}};
    opts.ini = Quiet({});
    cases.push_back(opts);
}

// Destinations that are odd, unusable or dangerous.
void AddDestinations(std::vector<HostileCase> &cases)
{
    HostileCase backslash;
    backslash.name = "TrailingBackslash";
    backslash.dest = "C:\\zt\\dest\\trail";
    backslash.recorded = "C:\\zt\\dest\\trail\\";
    backslash.ini = Quiet({"DIR32=C:\\zt\\dest\\trail\\"});
    cases.push_back(backslash);

    HostileCase slash;
    slash.name = "TrailingSlash";
    slash.dest = "C:\\zt\\dest\\slash";
    slash.recorded = "C:\\zt\\dest\\slash/";
    slash.ini = Quiet({"DIR32=C:\\zt\\dest\\slash/"});
    cases.push_back(slash);

    HostileCase drive;
    drive.name = "MissingDrive";
    drive.ini = Quiet({"DIR32=Q:\\zeltra"});
    drive.expect = kRefusesDest;
    drive.logHas = {"Creation of Q: failed.", "Failed to create DestDir \"Q:\\zeltra\""};
    cases.push_back(drive);

    HostileCase file;
    file.name = "FileInPlaceOfTheFolder";
    file.ini = Quiet({"DIR32=C:\\zt\\dest\\taken"});
    file.expect = kRefusesDest;
    file.logHas = {"Creation of C:\\zt\\dest\\taken failed. (183)", "Failed to create DestDir"};
    file.prepare = [] {
        CreateDirectoryA("C:\\zt\\dest", NULL);
        WriteFileText("C:\\zt\\dest\\taken", "the user's file");
    };
    cases.push_back(file);

    HostileCase readOnly;
    readOnly.name = "ReadOnlyAttributeOnTheFolder";   // does not protect a folder on Windows either
    readOnly.dest = "C:\\zt\\dest\\readonly";
    readOnly.ini = Quiet({"DIR32=" + readOnly.dest});
    readOnly.prepare = [] {
        CreateDirectoryA("C:\\zt\\dest", NULL);
        CreateDirectoryA("C:\\zt\\dest\\readonly", NULL);
        SetFileAttributesA("C:\\zt\\dest\\readonly", FILE_ATTRIBUTE_READONLY);
    };
    cases.push_back(readOnly);

    for (const char *name : {"setup.exe", "shell32.dll", "a.dll.exe", "my app.exe"}) {
        HostileCase program;
        program.name = std::string("FolderNamedLike_") + name;
        for (char &ch : program.name)
            if (!isalnum(static_cast<unsigned char>(ch)) && ch != '_')
                ch = '_';
        program.dest = std::string("C:\\zt\\dest\\") + name;
        program.ini = Quiet({"DIR32=" + program.dest});
        cases.push_back(program);
    }

    HostileCase relative;
    relative.name = "RelativeFolderIsMadeFull";
    relative.dest = "C:\\zt\\dest\\relative";
    relative.ini = Quiet({"DIR32=..\\dest\\relative"});
    cases.push_back(relative);

    HostileCase work;
    work.name = "TheWorkFolderItself";
    work.ini = Quiet({std::string("DIR32=") + kTemp + "\\"});
    work.expect = kRefusesDest;
    work.logHas = {"SourceDir=DestDir"};
    cases.push_back(work);
    work.name = "TheWorkFolderWithoutItsBackslash";
    work.ini = Quiet({std::string("DIR32=") + kTemp});
    cases.push_back(work);
    // A long-named work folder by its short name (Wine's hash) and by its device form.
    work.temp = "C:\\zt\\Work Folder Long";
    work.name = "TheWorkFolderByItsShortName";
    work.ini = Quiet({"DIR32=C:\\zt\\WORK~FS0\\zeltra"});
    cases.push_back(work);
    work.name = "TheWorkFolderWithADevicePrefix";
    work.ini = Quiet({"DIR32=\\\\?\\C:\\zt\\Work Folder Long\\zeltra"});
    cases.push_back(work);

    // Code page 932 only (the _cp932 test): "\x95\x5C" ends in the byte of "\".
    const char *lang = getenv("LANG");
    if (GetACP() == 932 || (lang && strncmp(lang, "ja_JP", 5) == 0)) {
        HostileCase dbcs;
        dbcs.name = "CodePage932FolderEndingIn5C";
        dbcs.dest = "C:\\zt\\dest\\\x95\x5C" "\\d\x95\x5C";
        dbcs.ini = Quiet({"DIR32=" + dbcs.dest});
        dbcs.prepare = [] { ASSERT_EQ(932u, GetACP()) << "no ja_JP.UTF-8 locale: scripts/deps.sh makes it"; };
        cases.push_back(dbcs);
    }
}

std::vector<HostileCase> AllCases()
{
    std::vector<HostileCase> cases;
    AddLongValues(cases);
    AddBoundaryLengths(cases);
    AddFormatDirectives(cases);
    AddOddFiles(cases);
    AddWinIniValues(cases);
    AddDestinations(cases);
    return cases;
}

// --- the run ---------------------------------------------------------------

std::vector<std::string> Folders() { return {kDefaultDest, "C:\\zt\\dest"}; }

class HostileOptions : public ::testing::TestWithParam<HostileCase> {
protected:
    void SetUp() override
    {
        SetWindowsVersion("");
        ResetInstallState(Folders());
    }
    void TearDown() override
    {
        const HostileCase &c = GetParam();
        if (c.group != kDefaultGroup && !c.group.empty()) {
            CloseFolderWindows(c.group.substr(0, 10));
            RemoveTree(GroupFolder(c.group));
        }
        SetFileAttributesA("C:\\zt\\dest\\readonly", FILE_ATTRIBUTE_NORMAL);
        ResetInstallState(Folders());
        RemoveTree(GetParam().temp);
    }
};

TEST_P(HostileOptions, EndsCleanlyAndStaysInItsPlaces)
{
    const HostileCase &c = GetParam();
    std::string temp = FreshDir(c.temp.substr(6));
    for (const auto &kv : c.winIni)
        WriteProfileStringA("ZELTRA", kv.first.c_str(), kv.second.c_str());
    if (c.prepare)
        c.prepare();
    if (c.iniIsFolder)
        CreateDirectoryA((temp + "\\install.ini").c_str(), NULL);
    else
        WriteFileText(temp + "\\install.ini", c.ini);

    Snapshot before = TakeSnapshot();
    zt::Run run;
    run.tempDir = temp;
    run.env = {{"ZELTRA_CALL_LOG", CallLogPath()}};
    DWORD code;
    if (c.expect == kAsks) {
        Started s = Start(run);
        ASSERT_NE(nullptr, s.pi.hProcess);
        DialogQuery q;
        q.caption = "ZELTRA Pro Installation";
        q.controlId = IDC_RADIO_FIRST;
        q.processId = s.pi.dwProcessId;
        HWND first = WaitForDialog(q, 30000);
        EXPECT_NE(nullptr, first) << "the install-or-remove question did not come";
        if (first)
            Click(first, IDCANCEL);
        else
            CloseAllDialogs(s.pi.dwProcessId);
        code = Wait(s, 30000);
    } else {
        run.timeoutMs = kRunTimeout;
        code = RunToEnd(run);
    }
    if (c.expect == kInstalls)
        ASSERT_TRUE(Installed(code)) << DescribeExit(code);
    else
        ASSERT_EQ(DWORD(c.expect == kAsks ? kExitCancelled : kExitFailed), code) << DescribeExit(code);

    std::vector<std::string> log = ReadLines(temp + "\\setup.log");
    for (const std::string &part : c.logHas)
        EXPECT_TRUE(AnyLineHas(log, part)) << "no log line with: " << part.substr(0, 300);

    std::vector<std::string> allowed = {temp, CallLogPath(), "C:\\windows\\win.ini", "C:\\zt\\fake_progman"};
    if (c.expect == kInstalls) {
        std::string recorded = c.recorded.empty() ? c.dest : c.recorded;
        EXPECT_TRUE(FileExists(c.dest + "\\zlclient.exe")) << c.dest;
        EXPECT_TRUE(FileExists(c.dest + "\\zeltra.ini")) << c.dest;
        EXPECT_EQ(recorded, WinIni("ZELTRA", "DEFDIR"));
        EXPECT_EQ("12", WinIni("ZELTRA", "INSTOPTS"));
        EXPECT_EQ(c.group, WinIni("ZELTRA", "GROUP"));
        std::string uninstall;
        if (recorded.size() < 200) {   // a longer command line is left out, not cut
            ASSERT_TRUE(RegValue(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", &uninstall));
            EXPECT_EQ("\"" + recorded + "\\zlrem32.exe\" -f " + recorded +
                          " -d " + recorded + " -g " + c.group,
                      uninstall);
        }
        allowed.push_back(c.dest);
        allowed.push_back(GroupFolder(c.group));
    } else {
        EXPECT_EQ("\x01", WinIni("ZELTRA", "INSTOPTS"));
        EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    }
    if (c.name == "FileInPlaceOfTheFolder") {
        EXPECT_EQ("the user's file", ReadFileText("C:\\zt\\dest\\taken"));
    }
    for (const std::string &path : ChangedOutside(before, TakeSnapshot(), allowed))
        ADD_FAILURE() << "written outside its places: " << path;
}

INSTANTIATE_TEST_SUITE_P(Inputs, HostileOptions, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<HostileCase> &info) { return info.param.name; });

// --- interactive: the texts reach message boxes --------------------------

struct MessageCase {
    const char *name;
    std::string dir32;
    std::string expected;   // a part of a message box the run must show
};

class HostileMessages : public ::testing::TestWithParam<MessageCase> {
protected:
    void SetUp() override { ResetInstallState(Folders()); }
    void TearDown() override { ResetInstallState(Folders()); }
};

// The folder text is put into "Creation of %1!s! failed." and "The folder
// name %1!s! is too long.": directives in it are shown, not expanded.
TEST_P(HostileMessages, FolderTextIsShownAsTyped)
{
    const MessageCase &c = GetParam();
    std::string temp = FreshDir("temp");
    WriteInstallIni(temp, {}, {"DIR32=" + c.dir32});
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
    Click(first, IDOK);
    q.controlId = IDC_BROWSE;
    HWND folder = WaitForDialog(q, 30000);
    ASSERT_NE(nullptr, folder);
    EXPECT_EQ(c.dir32.substr(0, 40), ControlText(folder, IDC_FOLDER_EDIT).substr(0, 40));
    Click(folder, IDOK);

    // Answer every box until the folder question comes back.
    std::vector<std::string> seen;
    for (int i = 0; i < 6; ++i) {
        MessageBoxSeen box = AnswerMessageBox("", IDOK, pid, 10000);
        if (!box)
            break;
        seen.push_back(box.text);
        WaitForClose(box.window, 5000);
        if (FindDialog(q))
            break;
    }
    HWND again = WaitForDialog(q, 10000);
    if (again) {
        Click(again, IDCANCEL);
        AnswerMessageBox("Can't continue without a destination folder!", IDOK, pid);
    }
    DWORD code = Wait(s, 30000);
    if (code == STILL_ACTIVE)
        CloseAllDialogs(pid);
    EXPECT_EQ(DWORD(kExitCancelled), code) << DescribeExit(code);
    EXPECT_TRUE(AnyLineHas(seen, c.expected)) << "expected a box with: " << c.expected.substr(0, 200);
    EXPECT_NE(nullptr, again) << "the folder question did not come back";
}

INSTANTIATE_TEST_SUITE_P(Messages, HostileMessages,
    ::testing::Values(
        MessageCase{"MissingDrive", "Q:\\%1!s!%s%n!", "Creation of Q:\\%1!s!%s%n! failed. (0)"},
        MessageCase{"TooLong", "C:\\zt\\dest\\%1!s!%s%n!" + Repeat("\\x%s", 300),
                    "The folder name C:\\zt\\dest\\%1!s!%s%n!\\x%s\\x%s"}),
    [](const ::testing::TestParamInfo<MessageCase> &info) { return std::string(info.param.name); });

// win.ini values read by the first question: it still comes, and offers
// removal only for a recorded installation.
struct FirstQuestionCase {
    const char *name;
    std::string defdir;
    std::string instopts;
};

class HostileFirstQuestion : public ::testing::TestWithParam<FirstQuestionCase> {
protected:
    void SetUp() override { ResetInstallState(Folders()); }
    void TearDown() override { ResetInstallState(Folders()); }
};

TEST_P(HostileFirstQuestion, StillComes)
{
    const FirstQuestionCase &c = GetParam();
    WriteProfileStringA("ZELTRA", "DEFDIR", c.defdir.c_str());
    WriteProfileStringA("ZELTRA", "INSTOPTS", c.instopts.c_str());
    std::string temp = FreshDir("temp");
    zt::Run run;
    run.tempDir = temp;
    Started s = Start(run);
    ASSERT_NE(nullptr, s.pi.hProcess);
    DialogQuery q;
    q.caption = "ZELTRA Pro Installation";
    q.controlId = IDC_RADIO_FIRST;
    q.processId = s.pi.dwProcessId;
    HWND first = WaitForDialog(q, 30000);
    EXPECT_NE(nullptr, first);
    if (first)
        Click(first, IDCANCEL);
    DWORD code = Wait(s, 30000);
    EXPECT_EQ(DWORD(kExitCancelled), code) << DescribeExit(code);
    EXPECT_EQ(c.defdir.substr(0, 4095), WinIni("ZELTRA", "DEFDIR"));   // an Exit writes nothing
}

INSTANTIATE_TEST_SUITE_P(WinIni, HostileFirstQuestion,
    ::testing::Values(FirstQuestionCase{"LongDefdir", Repeat("D", 10000), "12"},
                      FirstQuestionCase{"HugeInstopts", "C:\\x", Repeat("9", 10000)},
                      FirstQuestionCase{"FormatInstopts", "%s%n", "%1!s!%n"}),
    [](const ::testing::TestParamInfo<FirstQuestionCase> &info) { return std::string(info.param.name); });

}  // namespace
