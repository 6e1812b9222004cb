// Quiet, unattended installations driven by install.ini.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "harness.h"
#include "install_state.h"
#include "uidriver.h"

using namespace zt;

namespace {

const char kProgramFilesDest[] = "C:\\Program Files\\ZELTRA Pro";

struct CarriedFile {
    int list;            // 0 base primary, 1 Explorer, 2 utilities, 3 base further, 4 site lists
    const char *target;
};

// The carried rows of the catalogue, by list.
std::vector<CarriedFile> CarriedFiles()
{
    static const int firsts[] = {0, 4, 10, 30, 41, 50};
    std::vector<CarriedFile> files;
    int index = 0;
#define ZL_DESC_MSG(n) ""
#define ZL_ROW(resource, compressed, source, target, description, icon, required, carried) \
    if (carried) {                                                                        \
        int list = 0;                                                                     \
        while (index >= firsts[list + 1])                                                 \
            ++list;                                                                       \
        files.push_back({list, target});                                                  \
    }                                                                                     \
    ++index;
#include "shell/catalogue_rows.h"
#undef ZL_ROW
#undef ZL_DESC_MSG
    return files;
}

std::string ExpectedProductIni(const std::string &dest)
{
    const char *lines[] = {
        "[MySites]", "FILENAME=$$\\original.ini", "[Hardware]", "FILENAME=$$\\SitesHw.ini",
        "[Online Services]", "FILENAME=$$\\SitesOl.ini", "[Anti-Virus]", "FILENAME=$$\\SitesAv.ini",
        "[Games]", "FILENAME=$$\\SitesGam.ini", "[Marlquin]", "FILENAME=$$\\SitesCo.ini",
        "[Archives and Mirrors]", "FILENAME=$$\\SitesArc.ini", "[Software]", "FILENAME=$$\\SitesSw.ini",
        "[US Government]", "FILENAME=$$\\SitesGov.ini", "[_config_]", "VIEWER=notepad",
        "AUTOSTART=1", "MAILADDR=qrvnx65@", "shist0=/marlquin/marlquin"};
    std::string text;
    for (const char *line : lines) {
        std::string l = line;
        size_t at = l.find("$$");
        if (at != std::string::npos)
            l.replace(at, 2, dest);
        text += l + "\r\n";
    }
    return text;
}

bool Contains(const std::vector<std::string> &lines, const std::string &text)
{
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}

class QuietInstall : public ::testing::Test {
protected:
    std::string temp;
    std::vector<std::string> installOptions{"QUIET=1", "LOGGING=1"};
    std::vector<std::string> zeltraOptions;
    bool withIni = true;
    std::string args;   // the command line after the program's name
    std::vector<std::string> folders{kProgramFilesDest, "C:\\WIN32APP", "C:\\ZELTRA", "C:\\zt\\dest"};

    void SetUp() override
    {
        SetWindowsVersion("");
        ResetInstallState(folders);
        temp = FreshDir("temp");
    }
    void TearDown() override
    {
        ResetInstallState(folders);
        SetWindowsVersion("");
    }
    // The program deletes install.ini from the temporary folder when it ends
    // (a payload copy of that name): it is written again for every run.
    DWORD Install(bool withOS = true)
    {
        if (withIni)
            WriteInstallIni(temp, installOptions, zeltraOptions);
        zt::Run run;
        if (!args.empty())
            run.commandLine = "\"" + SetupExe() + "\" " + args;
        run.tempDir = temp;
        run.withOS = withOS;
        run.env = {{"ZELTRA_CALL_LOG", CallLogPath()}};
        return RunToEnd(run);
    }
    std::vector<std::string> Log() { return ReadLines(temp + "\\setup.log"); }

    // As a deployment tool runs it where no shell runs: switches only, no
    // options file.
    DWORD InstallWithoutShell(const std::string &log)
    {
        zt::Run run;
        run.commandLine = "\"" + SetupExe() + "\" /quiet /log=\"" + log + "\"";
        run.tempDir = temp;
        run.noShell = true;
        return RunToEnd(run);
    }
    DWORD RemoveWithoutShell()
    {
        zt::Run run;
        RegValue(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString", &run.commandLine);
        run.tempDir = temp;
        run.noShell = true;
        DWORD code = RunToEnd(run);
        EXPECT_TRUE(WaitForNoProcess("zlrem32.exe", 30000));
        return code;
    }
    // Each shortcut's name, target and working folder.
    std::vector<std::string> Shortcuts(const std::string &folder)
    {
        std::vector<std::string> items;
        for (const std::string &name : ListDir(folder)) {
            std::string target, dir;
            EXPECT_TRUE(ReadShortcut(folder + "\\" + name, &target, &dir)) << name;
            items.push_back(name + "|" + target + "|" + dir);
        }
        std::sort(items.begin(), items.end());
        return items;
    }
};

TEST_F(QuietInstall, FreshInstallationOfEveryComponent)
{
    ASSERT_EQ(3010u, Install()) << "the Explorer interface waits for a restart";

    for (const CarriedFile &f : CarriedFiles()) {
        if (f.list == 4 && std::string(f.target) == "zeltra.ini")
            continue;
        std::string installed = std::string(kProgramFilesDest) + "\\" + f.target;
        ASSERT_TRUE(FileExists(installed)) << installed;
        EXPECT_EQ(ReadFileText(ProductFile(f.target)), ReadFileText(installed)) << f.target;
    }
    EXPECT_EQ(ExpectedProductIni(kProgramFilesDest), ReadFileText(std::string(kProgramFilesDest) + "\\zeltra.ini"));
    EXPECT_FALSE(FileExists(std::string(kProgramFilesDest) + "\\original.ini"));

    EXPECT_EQ(kProgramFilesDest, WinIni("ZELTRA", "DEFDIR"));
    EXPECT_EQ("12", WinIni("ZELTRA", "INSTOPTS"));
    EXPECT_EQ("20000518", WinIni("ZELTRA", "PRO"));

    std::vector<std::string> log = Log();
    const std::vector<std::string> expected = {"g_bSilent=1", "g_bNoPass=0", "gbInstallBonusPack=1",
                                               "g_iconLocation=0", "g_bExplore=1", "g_szLine1=\"\"",
                                               "g_szLine2=\"\"", "nV=15 nM=15"};
    auto it = log.begin();
    for (const std::string &line : expected) {
        it = std::find(it, log.end(), line);
        EXPECT_NE(log.end(), it) << "missing or out of order: " << line;
    }
    EXPECT_FALSE(Contains(log, "Restarting Windows"));
}

TEST_F(QuietInstall, ScratchAndPayloadCopiesAreCleanedUp)
{
    ASSERT_TRUE(Installed(Install()));
    for (const std::string &name : ListDir(temp)) {
        EXPECT_TRUE(name == "install.ini" || name == "setup.log" || name.rfind("ZLT", 0) == 0) << name;
    }
}

// TEMP named in a script code page 1252 lacks ("Łódź"): the "A" calls give a
// folder that does not exist. Options, work files and log go to its short name.
TEST_F(QuietInstall, TemporaryFolderNamedBeyondTheCodePage)
{
    const std::wstring lodz = L"C:\\zt\\\x141\xf3\x64\x17a";
    wchar_t shortName[MAX_PATH] = L"";
    CreateDirectoryW(lodz.c_str(), NULL);
    ASSERT_NE(0u, GetShortPathNameW(lodz.c_str(), shortName, MAX_PATH));
    const std::string work(shortName, shortName + wcslen(shortName));   // plain ASCII
    WriteInstallIni(work, installOptions);
    zt::Run run;
    run.wideTempDir = lodz;
    EXPECT_TRUE(Installed(RunToEnd(run)));
    std::vector<std::string> log = ReadLines(work + "\\setup.log"), left = ListDir(work);
    RemoveTree(work);
    EXPECT_TRUE(Contains(log, "Copying " + work + "\\zlclient.exe to " + kProgramFilesDest + "\\zlclient.exe"));
    EXPECT_EQ(std::vector<std::string>{"setup.log"}, left);
}

struct VersionCase {
    const char *version;
    bool withOS;
    const char *dest;
    const char *masks;
};

class QuietDefaultFolder : public QuietInstall, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(QuietDefaultFolder, FollowsTheWindowsVersion)
{
    const VersionCase &c = GetParam();
    SetWindowsVersion(c.version);
    ASSERT_TRUE(Installed(Install(c.withOS)));
    EXPECT_EQ(c.dest, WinIni("ZELTRA", "DEFDIR"));
    EXPECT_TRUE(DirExists(c.dest));
    EXPECT_TRUE(Contains(Log(), c.masks));
    // Win32s's registry is HKEY_CLASSES_ROOT alone: no uninstall entry, and the log says so.
    bool win32s = std::string(c.version) == "win31";
    EXPECT_EQ(win32s, Contains(Log(), "Uninstall entry not written: Win32s has no registry but HKEY_CLASSES_ROOT."));
    EXPECT_NE(win32s, RegKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZELTRAPro"));
}

INSTANTIATE_TEST_SUITE_P(Versions, QuietDefaultFolder,
    ::testing::Values(VersionCase{"win95", false, "C:\\Program Files\\ZELTRA Pro", "nV=15 nM=15"},
                      VersionCase{"win98", false, "C:\\Program Files\\ZELTRA Pro", "nV=15 nM=15"},
                      VersionCase{"nt40", true, "C:\\Program Files\\ZELTRA Pro", "nV=15 nM=15"},
                      VersionCase{"nt351", true, "C:\\WIN32APP\\ZELTRA", "nV=5 nM=5"},
                      VersionCase{"win31", false, "C:\\ZELTRA", "nV=1 nM=3"}));

// Win32s keeps lz32.dll in SYSTEM\WIN32S: the expansion must not need it.
// (Wine reads WINEDLLOVERRIDES from its own environment only, not from the
// block a child is given: the program's own overrides disable the library.)
TEST_F(QuietInstall, Win32sWithoutTheLzLibraryInstallsEveryBaseAndUtilityFile)
{
    const std::string key = "Software\\Wine\\AppDefaults\\" + SetupExe().substr(SetupExe().find_last_of("\\/") + 1);
    RegSetText(HKEY_CURRENT_USER, key + "\\DllOverrides", "lz32", "");
    SetWindowsVersion("win31");
    DWORD code = Install(false);
    RegDeleteTreeAll(HKEY_CURRENT_USER, key);
    ASSERT_EQ(0u, code);   // Win32s: no Explorer interface
    for (const CarriedFile &f : CarriedFiles())   // the Explorer list is not for Win32s
        EXPECT_TRUE(f.list == 1 || std::string(f.target) == "zeltra.ini" ||
                    ReadFileText(ProductFile(f.target)) == ReadFileText(std::string("C:\\ZELTRA\\") + f.target)) << f.target;
}

TEST_F(QuietInstall, Dir32OverridesTheDefaultAndARecordedDirOverridesDir32)
{
    zeltraOptions = {"DIR32=C:\\zt\\dest\\from-dir32"};
    ASSERT_TRUE(Installed(Install()));
    EXPECT_EQ("C:\\zt\\dest\\from-dir32", WinIni("ZELTRA", "DEFDIR"));
    EXPECT_TRUE(FileExists("C:\\zt\\dest\\from-dir32\\zlclient.exe"));

    ResetInstallState(folders);
    WriteProfileStringA("ZELTRA", "DIR", "C:\\zt\\dest\\recorded");
    ASSERT_TRUE(Installed(Install()));
    EXPECT_EQ("C:\\zt\\dest\\recorded", WinIni("ZELTRA", "DEFDIR"));
    EXPECT_FALSE(DirExists("C:\\zt\\dest\\from-dir32"));
}

TEST_F(QuietInstall, UpgradeKeepsAnOldProductIniUntouched)
{
    std::string dest = "C:\\zt\\dest\\old";
    CreateDirectoryA("C:\\zt\\dest", NULL);
    CreateDirectoryA(dest.c_str(), NULL);
    const std::string old = "[MySites]\r\nFILENAME=mine.ini\r\n[Work]\r\nHOST=ftp.example.com\r\n[_config_]\r\nMAILADDR=me@example.com\r\n";
    WriteFileText(dest + "\\zeltra.ini", old);
    zeltraOptions = {"DIR32=" + dest};

    ASSERT_TRUE(Installed(Install()));
    EXPECT_EQ(old, ReadFileText(dest + "\\zeltra.ini"));
    EXPECT_FALSE(FileExists(dest + "\\original.ini"));
    EXPECT_FALSE(FileExists(dest + "\\sitesav.ini"));
}

// Site lists the user already has are never overwritten; missing ones are
// added next to them.
TEST_F(QuietInstall, ExistingSiteListsAreKept)
{
    std::string dest = "C:\\zt\\dest\\sites";
    CreateDirectoryA("C:\\zt\\dest", NULL);
    CreateDirectoryA(dest.c_str(), NULL);
    const std::string mine = "[My Server]\r\nHOST=ftp.mine.example\r\n";
    for (const char *list : {"sitesav.ini", "SitesGov.ini"})
        WriteFileText(dest + "\\" + list, mine);
    zeltraOptions = {"DIR32=" + dest};

    ASSERT_TRUE(Installed(Install()));
    for (const char *list : {"sitesav.ini", "SitesGov.ini"})
        EXPECT_EQ(mine, ReadFileText(dest + "\\" + list)) << list;
    EXPECT_EQ(ReadFileText(ProductFile("sitesarc.ini")), ReadFileText(dest + "\\sitesarc.ini"));
    EXPECT_TRUE(FileExists(dest + "\\zeltra.ini"));
}

// A replaced program in use asks for a restart; with ALLOWRBT the quiet run
// makes it (the Explorer interface, which asks for one too, is left out).
TEST_F(QuietInstall, AllowedRestartForAProgramInUseIsMade)
{
    std::string dest = "C:\\zt\\dest\\inuse";
    zeltraOptions = {"DIR32=" + dest};
    installOptions.push_back("EXPLORER=0");
    ASSERT_TRUE(Installed(Install()));
    DeleteFileA((temp + "\\setup.log").c_str());

    zt::Run client;
    client.exe = dest + "\\zlclient.exe";
    client.tempDir = FreshDir("client-temp");
    client.env = {{"ZELTRA_STAY_SECONDS", "120"}};
    Started running = Start(client);
    ASSERT_NE(nullptr, running.pi.hProcess);
    Sleep(1000);
    installOptions.push_back("ALLOWRBT=1");
    DWORD code = Install();
    TerminateProcess(running.pi.hProcess, 0);
    Wait(running, 5000);

    EXPECT_EQ(1641u, code);
    EXPECT_TRUE(FileExists(dest + "\\zlclient.bak"));
    EXPECT_TRUE(Contains(Log(), "Restarting Windows"));
}

TEST_F(QuietInstall, AnonymousLoginFallbackIsReplaced)
{
    std::string dest = "C:\\zt\\dest\\mail";
    CreateDirectoryA("C:\\zt\\dest", NULL);
    CreateDirectoryA(dest.c_str(), NULL);
    // original.ini present: the product INI itself is left as it is.
    WriteFileText(dest + "\\original.ini", "[Sites]\r\n");
    WriteFileText(dest + "\\zeltra.ini", "[_config_]\r\nMAILADDR=CALLER@ABSENT.example.com\r\n");
    zeltraOptions = {"DIR32=" + dest};

    ASSERT_TRUE(Installed(Install()));
    char value[128];
    GetPrivateProfileStringA("_config_", "MAILADDR", "", value, sizeof value, (dest + "\\zeltra.ini").c_str());
    EXPECT_STREQ("qrvnx65@", value);

    WriteFileText(dest + "\\zeltra.ini", "[_config_]\r\nVIEWER=notepad\r\n");
    ASSERT_TRUE(Installed(Install()));
    EXPECT_EQ(0u, GetPrivateProfileStringA("_config_", "MAILADDR", "", value, sizeof value, (dest + "\\zeltra.ini").c_str()));
}

TEST_F(QuietInstall, ARequiredFileThatCannotBePlacedFailsTheInstallation)
{
    std::string dest = "C:\\zt\\dest\\locked";
    CreateDirectoryA("C:\\zt\\dest", NULL);
    CreateDirectoryA(dest.c_str(), NULL);
    std::string help = dest + "\\zlcore32.hlp";
    WriteFileText(help, "old help");
    HANDLE lock = CreateFileA(help.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    zeltraOptions = {"DIR32=" + dest};

    EXPECT_EQ(1603u, Install());
    CloseHandle(lock);

    std::vector<std::string> log = Log();
    auto failed = std::find(log.begin(), log.end(), "Some portion of installation process failed.");
    ASSERT_NE(log.end(), failed);
    ASSERT_NE(log.end(), failed + 1);
    EXPECT_EQ("Failed to install required file zlcore32.hlp.", *(failed + 1));
    EXPECT_FALSE(FileExists(dest + "\\zlexpl32.dll"));   // later phases skipped
    EXPECT_FALSE(FileExists(dest + "\\zllink.exe"));
    EXPECT_EQ("\x01", WinIni("ZELTRA", "DEFDIR"));
}

TEST_F(QuietInstall, WindowsNT351GetsClassicAndUtilitiesOnly)
{
    std::string dest = "C:\\zt\\dest\\utils";
    zeltraOptions = {"DIR32=" + dest};
    // nV comes from the platform: Windows NT 3.51 offers classic and utilities only.
    SetWindowsVersion("nt351");
    ASSERT_TRUE(Installed(Install()));
    EXPECT_TRUE(FileExists(dest + "\\zlscript.exe"));
    EXPECT_TRUE(FileExists(dest + "\\zeltra.ini"));
    EXPECT_FALSE(FileExists(dest + "\\zlexpl32.dll"));
    EXPECT_TRUE(FileExists(dest + "\\zllink.exe"));
}

// What a deployment script reads: success, failure, cancellation and a
// needed restart, from Setup and from the uninstaller.
// The shell's group removed where no shell runs; then the same group made
// and removed there as a folder of shortcuts for every user.
TEST_F(QuietInstall, WithoutAShellTheGroupIsMadeAndRemovedAsShortcuts)
{
    ASSERT_EQ(3010u, Install());
    std::vector<std::string> byShell = Shortcuts(GroupFolder("ZELTRA Pro"));
    ASSERT_GE(byShell.size(), 10u);
    EXPECT_EQ(0u, RemoveWithoutShell());
    EXPECT_FALSE(DirExists(GroupFolder("ZELTRA Pro")));

    const std::string log = FreshDir("deploy") + "\\install.log";
    ASSERT_EQ(3010u, InstallWithoutShell(log));
    std::string common = CommonGroupFolder("ZELTRA Pro");
    EXPECT_EQ(byShell, Shortcuts(common));
    for (const std::string &item : Shortcuts(common))
        EXPECT_EQ(item.size() - strlen(kProgramFilesDest), item.rfind(kProgramFilesDest)) << item;
    EXPECT_TRUE(Contains(ReadLines(log), "Program group \"ZELTRA Pro\" made as a folder of shortcuts in " + common +
                                             " (no shell answered)."));
    EXPECT_EQ(0u, RemoveWithoutShell());
    EXPECT_FALSE(DirExists(common));
    EXPECT_FALSE(FileExists(std::string(kProgramFilesDest) + "\\zlclient.exe"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_EQ("\x01", WinIni("ZELTRA", "GROUPDIR"));
}

TEST_F(QuietInstall, ExitCodesTellWhatHappened)
{
    std::string dest = "C:\\zt\\dest\\codes";
    zeltraOptions = {"DIR32=" + dest};
    installOptions.push_back("EXPLORER=0");
    EXPECT_EQ(0u, Install());
    installOptions.pop_back();
    EXPECT_EQ(3010u, Install()) << "the Explorer interface waits for a restart";

    zt::Run client;
    client.exe = dest + "\\zlclient.exe";
    client.tempDir = FreshDir("client-temp");
    client.env = {{"ZELTRA_STAY_SECONDS", "120"}};
    Started running = Start(client);
    Sleep(1000);
    installOptions.push_back("EXPLORER=0");
    EXPECT_EQ(3010u, Install()) << "a program in use, no restart allowed";
    // The one in use is the old file now, set aside: the new one is started.
    TerminateProcess(running.pi.hProcess, 0);
    Wait(running, 5000);
    running = Start(client);
    Sleep(1000);
    std::string quiet;
    RegValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZELTRAPro",
             "QuietUninstallString", &quiet);
    zt::Run uninstall;
    uninstall.commandLine = quiet;
    uninstall.tempDir = temp;
    EXPECT_EQ(3010u, RunToEnd(uninstall)) << "the uninstaller, a program in use";
    TerminateProcess(running.pi.hProcess, 0);
    Wait(running, 5000);
    EXPECT_TRUE(WaitForNoProcess("zlrem32.exe", 30000));

    WriteFileText("C:\\zt\\blocked", "a file where the folder would go");
    zeltraOptions = {"DIR32=C:\\zt\\blocked\\ZELTRA"};
    EXPECT_EQ(1603u, Install()) << "a folder that cannot be made";
    DeleteFileA("C:\\zt\\blocked");

    // Interactive: Esc at the first question is the user's cancel.
    zt::Run run;
    run.tempDir = FreshDir("interactive-temp");
    Started setup = Start(run);
    HWND choice = WaitForDialog({"ZELTRA Pro Installation", 0, setup.pi.dwProcessId});
    EXPECT_TRUE(choice && TypeInto(choice, "key Escape"));
    EXPECT_EQ(1602u, Wait(setup, 30000));
}

// As winget runs it: the manifest's switches, no install.ini anywhere. The
// entry is the one the manifest says the list of programs will show.
TEST_F(QuietInstall, ManifestSwitchesInstallWithoutAnOptionsFile)
{
    const std::string manifest = ReadFileText(ExeDir() + "\\winget\\Marlquin.ZELTRAPro.installer.yaml");
    auto value = [&](const std::string &key, const char *token = "", const std::string &by = "") {
        size_t at = manifest.find(key + ": '"), end = manifest.find('\'', at + key.size() + 3);
        std::string v = at == std::string::npos ? "" : manifest.substr(at + key.size() + 3, end - at - key.size() - 3);
        return *token ? v.replace(v.find(token), strlen(token), by) : v;
    };
    const std::string log = FreshDir("deploy") + "\\deploy log.txt", dest = "C:\\zt\\dest\\by switch";
    args = value("Silent") + " " + value("Log", "<LOGPATH>", log) + " " + value("InstallLocation", "<INSTALLPATH>", dest) +
           " /group=\"ZELTRA Pro Deploy\"";
    withIni = false;
    EXPECT_EQ(3010u, Install()) << "quiet: no restart without ALLOWRBT";
    EXPECT_TRUE(FileExists(dest + "\\zlclient.exe"));
    EXPECT_EQ("ZELTRA Pro Deploy", WinIni("ZELTRA", "GROUP"));
    RemoveTree(GroupFolder("ZELTRA Pro Deploy"));
    std::vector<std::string> lines = ReadLines(log);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("Command line: " + args, lines.front());
    EXPECT_EQ("Exit code 3010", lines.back());
    EXPECT_FALSE(FileExists(temp + "\\setup.log"));
    for (const char *name : {"DisplayName", "Publisher", "DisplayVersion"}) {
        std::string written;
        RegValue(HKEY_LOCAL_MACHINE, kUninstallKey, name, &written);
        EXPECT_EQ(written, value(name)) << name;
    }
}

TEST_F(QuietInstall, SwitchWinsOverTheOptionsFile)
{
    zeltraOptions = {"DIR32=C:\\zt\\dest\\from-ini"};
    args = "/DIR:C:\\zt\\dest\\from-switch";
    ASSERT_TRUE(Installed(Install()));
    EXPECT_EQ("C:\\zt\\dest\\from-switch", WinIni("ZELTRA", "DEFDIR"));
    EXPECT_FALSE(DirExists("C:\\zt\\dest\\from-ini"));
    std::vector<std::string> log = Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ("Command line: " + args, log[0]);
    EXPECT_EQ("g_bSilent=1", log[1]);
}

// Refused with 1639 before anything is done: a log line when quiet, a
// message box otherwise.
TEST_F(QuietInstall, UnknownSwitchInstallsNothing)
{
    withIni = false;
    args = "/quiet /bogus";
    EXPECT_EQ(1639u, Install());
    EXPECT_FALSE(DirExists(kProgramFilesDest));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    std::vector<std::string> log = Log();
    EXPECT_TRUE(Contains(log, "Setup cannot use its command line: /bogus: unknown switch."));
    EXPECT_EQ("Exit code 1639", log.empty() ? "" : log.back());

    zt::Run run;
    run.commandLine = "\"" + SetupExe() + "\" /bogus";
    run.tempDir = temp;
    Started setup = Start(run);
    EXPECT_TRUE(AnswerWithKeys("/bogus: unknown switch", "key Return", setup.pi.dwProcessId));
    EXPECT_EQ(1639u, Wait(setup, 30000));
    EXPECT_FALSE(DirExists(kProgramFilesDest));
}

}  // namespace
