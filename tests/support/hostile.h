// Shared by the hostile-input and fault tests: what a run of setup.exe
// touched on disk, and the checks every such run must pass (no crash, no
// hang, nothing written outside the places it may write).
#ifndef ZELTRA_TESTS_HOSTILE_H
#define ZELTRA_TESTS_HOSTILE_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "install_state.h"
#include "shell/messages.h"

namespace zt {

// Exit code of a program that Wine ended on an unhandled exception.
const DWORD kCrashExit = 5;
// What Wait returns when the time-out ended the program.
const DWORD kHangExit = STILL_ACTIVE;

struct FileMark {
    bool folder = false;
    unsigned long long size = 0;
    FILETIME written{};
};
// Upper-case path -> what was there.
typedef std::map<std::string, FileMark> Snapshot;

// The places a run could reach: C:\ and the folders below it that matter
// (the Windows folder, Program Files, the Programs menu) one level deep,
// and the test area C:\zt all the way down.
Snapshot TakeSnapshot();

// Paths created, deleted or rewritten between the two snapshots that lie
// in none of the allowed places (folders or files; the folders leading to
// an allowed folder count as allowed too). Empty when the run stayed put.
std::vector<std::string> ChangedOutside(const Snapshot &before, const Snapshot &after,
                                        const std::vector<std::string> &allowed);

// The verdict on a run's exit code, for assertion messages.
std::string DescribeExit(DWORD code);

// Text of "n" characters: the pattern repeated and cut.
std::string Repeat(const std::string &pattern, size_t n);
// "C:\zt\dest\ddd...\ddd": a folder path of exactly n characters made of
// names no longer than 100 characters (n >= 12).
std::string FolderOfLength(size_t n);

// True when some line of lines contains part.
bool AnyLineHas(const std::vector<std::string> &lines, const std::string &part);

}  // namespace zt

#endif
