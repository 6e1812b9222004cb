#include "shell/options.h"

#include <string.h>

#include "shell/cmdline.h"
#include "shell/folders.h"
#include "shell/messages.h"
#include "shell/paths.h"
#include "shell/sysdll.h"
#include "shell/window.h"

char IniFileName[261];
int g_bAllowReboot = 0;
int g_bNoRestart = 0;
int g_bSilent = 0;
int g_bNoPass = 0;
int gbInstallBonusPack = 1;
int g_iconLocation = 0;
int g_bExplore = 1;
char g_szLine1[256];
char g_szLine2[256];
int nV = 0;
int nM = 0;

bool OptionIsTrue(const char *value)
{
    return lstrcmpiA(value, "TRUE") == 0 || strcmp(value, "1") == 0;
}

bool OptionIsFalse(const char *value)
{
    return lstrcmpiA(value, "FALSE") == 0 || strcmp(value, "0") == 0;
}

static void LocateOptionsFile()
{
    IniFileName[0] = '\0';
    if (g_switches.given & kSwitchIni) {
        CopyText(IniFileName, sizeof IniFileName, g_switches.ini);
        return;
    }
    char folder[261];
    DWORD n = GetCurrentDirectoryA(sizeof folder, folder);
    if (n == 0 || n >= sizeof folder)
        return;
    // At a drive root the current folder already ends in "\".
    if (JoinUnlessBackslash(IniFileName, sizeof IniFileName, folder, "install.ini") && IsExistingFile(IniFileName))
        return;
    IniFileName[0] = '\0';

    char program[261];
    n = GetModuleFileNameA(g_hInstance, program, sizeof program);
    if (n == 0 || n >= sizeof program)
        return;
    char *slash = LastSeparator(program, false);
    if (!slash)
        return;
    *slash = '\0';
    if (!JoinAlways(IniFileName, sizeof IniFileName, program, "install.ini") || !IsExistingFile(IniFileName))
        IniFileName[0] = '\0';
}

static void ReadOption(const char *key, const char *fallback, char *value, DWORD size)
{
    GetPrivateProfileStringA("INSTALL", key, fallback, value, size, IniFileName);
}

static void UseNoFileDefaults()
{
    g_bLogging = 0;
    g_bAllowReboot = 1;
    g_bSilent = 0;
    g_bNoPass = 0;
    g_bExplore = 1;
    gbInstallBonusPack = 1;
    g_iconLocation = 0;
    g_szLine1[0] = '\0';
    g_szLine2[0] = '\0';
}

static void ReadOptionsFile()
{
    char value[261];
    ReadOption("LOGGING", "FALSE", value, sizeof value);
    g_bLogging = OptionIsFalse(value) ? 0 : 1;
    ReadOption("ALLOWRBT", "FALSE", value, sizeof value);
    g_bAllowReboot = OptionIsTrue(value) ? 1 : 0;
    ReadOption("QUIET", "FALSE", value, sizeof value);
    g_bSilent = OptionIsTrue(value) ? 1 : 0;
    ReadOption("NOPASSWORD", "FALSE", value, sizeof value);
    g_bNoPass = OptionIsTrue(value) ? 1 : 0;
    ReadOption("BONUS", "TRUE", value, sizeof value);
    gbInstallBonusPack = OptionIsTrue(value) ? 1 : 0;
    ReadOption("DESKTOP", "TRUE", value, sizeof value);
    g_iconLocation = OptionIsTrue(value) ? 0 : 1;
    ReadOption("EXPLORER", "TRUE", value, sizeof value);
    g_bExplore = OptionIsFalse(value) ? 0 : 1;
    ReadOption("LINE1", "", g_szLine1, sizeof g_szLine1);
    ReadOption("LINE2", "", g_szLine2, sizeof g_szLine2);
}

// The switches win over the file. A quiet run restarts only when the file
// allows it, also when there is no file.
static void ApplySwitches()
{
    const unsigned given = g_switches.given;
    if (given & kSwitchQuiet) {
        if (!IniFileName[0])
            g_bAllowReboot = 0;
        g_bSilent = 1;
        g_bLogging = 1;
    }
    g_bNoRestart = (given & kSwitchNoRestart) ? 1 : 0;
    if (g_bNoRestart)
        g_bAllowReboot = 0;
    CopyText(g_szLogFile, sizeof g_szLogFile, (given & kSwitchLog) ? g_switches.log : "setup.log");
    if (given & kSwitchLog)
        g_bLogging = 1;
}

void ReadInstallOptions()
{
    LocateOptionsFile();
    if (IniFileName[0] == '\0' || !IsExistingFile(IniFileName)) {
        IniFileName[0] = '\0';
        UseNoFileDefaults();
    } else {
        ReadOptionsFile();
    }
    ApplySwitches();
    if (g_switches.shown[0])
        LogFormat("Command line: %s", g_switches.shown);
    // Without a file and without switches nothing is logged: logging is off.
    LogFormat("g_bSilent=%d", g_bSilent);
    LogFormat("g_bNoPass=%d", g_bNoPass);
    LogFormat("gbInstallBonusPack=%d", gbInstallBonusPack);
    LogFormat("g_iconLocation=%d", g_iconLocation);
    LogFormat("g_bExplore=%d", g_bExplore);
    LogFormat("g_szLine1=\"%s\"", g_szLine1);
    LogFormat("g_szLine2=\"%s\"", g_szLine2);
}

void ReadPlacementOption(const char *key, const char *fallback, char *value, DWORD size)
{
    const bool dir = lstrcmpiA(key, "DIR32") == 0;
    if (g_switches.given & (dir ? kSwitchDir : kSwitchGroup))
        CopyText(value, size, dir ? g_switches.dir : g_switches.group);
    else if (IniFileName[0])
        GetPrivateProfileStringA("ZELTRA", key, fallback, value, size, IniFileName);
    else
        CopyText(value, size, fallback);
}

void ComputeComponentMasks(bool isNT, int major, int minor, bool bonus, bool explore,
                           int *offered, int *allowed)
{
    const int full = kComponentClassic | kComponentBrowser
                   | (bonus ? kComponentUtilities : 0) | (explore ? kComponentExplorer : 0);
    if (isNT && major < 4) {
        *allowed = kComponentClassic | kComponentUtilities;
        *offered = kComponentClassic | kComponentUtilities;
    } else if (!isNT && major < 4 && minor < 50) {
        *allowed = kComponentClassic | kComponentExplorer;
        *offered = kComponentClassic;
    } else {
        *allowed = kComponentClassic | kComponentExplorer | kComponentUtilities | kComponentBrowser;
        *offered = full;
    }
}

void DetectPlatform()
{
    DWORD version = GetVersion();
    g_nWinMajor = LOBYTE(LOWORD(version));
    g_nWinMinor = HIBYTE(LOWORD(version));

    char os[256];
    DWORD n = GetEnvironmentVariableA("OS", os, sizeof os);
    g_bWinNT = (n > 0 && n < sizeof os && strstr(os, "NT") != NULL) ? 1 : 0;

    ComputeComponentMasks(g_bWinNT != 0, g_nWinMajor, g_nWinMinor,
                          gbInstallBonusPack != 0, g_bExplore != 0, &nV, &nM);
}
