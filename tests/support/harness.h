// Test harness: runs setup.exe in the Wine prefix under chosen conditions and
// inspects the machine afterwards through the Win32 API.
#ifndef ZELTRA_TESTS_HARNESS_H
#define ZELTRA_TESTS_HARNESS_H

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace zt {

// Folder of the running test program (the build folder), without "\".
std::string ExeDir();
// build\setup.exe, or the image ZT_SETUP_EXE names
std::string SetupExe();
// A fresh, empty scratch folder C:\zt\<name>.
std::string FreshDir(const std::string &name);

// Files
bool FileExists(const std::string &path);
bool DirExists(const std::string &path);
std::string ReadFileText(const std::string &path);
bool WriteFileText(const std::string &path, const std::string &text);
bool CopyFileTo(const std::string &from, const std::string &to);
void RemoveTree(const std::string &path);
std::vector<std::string> ListDir(const std::string &folder);
std::vector<std::string> ReadLines(const std::string &path);

// The build's record of a payload resource in PAYLOADSUMS: the name in 16
// bytes, then its size and CRC-32 (the zip polynomial), little-endian.
std::string PayloadSumsRecord(const char *name, const std::string &bytes);

// win.ini
std::string WinIni(const char *section, const char *key, const char *fallback = "\x01");
void ClearWinIniSection(const char *section);

// Registry (the native view of this prefix)
bool RegKeyExists(HKEY root, const std::string &key);
bool RegValue(HKEY root, const std::string &key, const char *name, std::string *data, DWORD *type = NULL, DWORD *bytes = NULL);
void RegDeleteTreeAll(HKEY root, const std::string &key);
void RegSetText(HKEY root, const std::string &key, const char *name, const std::string &data);

// The Windows version Wine reports to new processes: "win31", "win95",
// "win98", "nt351", "nt40", or "" for Wine's default.
void SetWindowsVersion(const std::string &version);

struct Run {
    std::string exe;                 // default: SetupExe()
    std::string commandLine;         // run as it stands instead of exe (found on the path)
    std::string tempDir;             // TMP and TEMP of the child; default: a fresh folder
    std::wstring wideTempDir;        // instead, one the code page cannot hold (a wide environment)
    bool withOS = true;              // keep the OS variable (Windows NT family)
    std::vector<std::pair<std::string, std::string>> env;  // extra variables
    DWORD timeoutMs = 120000;
    bool noShell = false;            // in a window station where no shell runs
};

struct Started {
    PROCESS_INFORMATION pi{};
    std::string tempDir;
};

// Starts the program and returns at once.
Started Start(Run run);
// Waits for it; returns its exit code, or STILL_ACTIVE after a time-out (the
// process is then ended).
DWORD Wait(Started &started, DWORD timeoutMs);
// Start and Wait.
DWORD RunToEnd(Run run, std::string *tempDirOut = NULL);

// A running process whose file is named exeName ("zlrem32.exe"), other
// than except, or 0.
DWORD ProcessIdOf(const std::string &exeName, DWORD except = 0);
// Waits until no process of that name runs; false after the time-out.
bool WaitForNoProcess(const std::string &exeName, DWORD timeoutMs);

// Closes the folder windows (of other processes) whose title contains name:
// the Program Manager server opens one for each group it creates or shows,
// perhaps a moment later: it keeps closing them for waitMs.
void CloseFolderWindows(const std::string &name, DWORD waitMs = 0);

// Saves a part of the screen (screen coordinates), or all of it, as a PNG
// (none for an empty path); pixels, when given, receives it as RGB.
bool SaveScreenArea(const RECT &area, const std::string &pngPath, std::vector<unsigned char> *pixels = NULL);
bool SaveScreenshot(const std::string &pngPath);

}  // namespace zt

#endif
