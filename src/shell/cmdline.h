// setup.exe's switches, in the forms deployment tools pass them.
#ifndef ZELTRA_SHELL_CMDLINE_H
#define ZELTRA_SHELL_CMDLINE_H

#include <windows.h>

enum SwitchBits {
    kSwitchQuiet = 1,
    kSwitchNoRestart = 2,
    kSwitchLog = 4,
    kSwitchDir = 8,
    kSwitchGroup = 16,
    kSwitchIni = 32,
    kSwitchUsage = 64
};

// Why a command line is refused. The order is that of the reasons' texts.
enum SwitchError {
    kSwitchOk = 0,
    kSwitchUnknown,
    kSwitchNeedsValue,
    kSwitchTakesNoValue,
    kSwitchTooLong,
    kSwitchUnusable,
    kSwitchOpenQuote,
    kSwitchRepeated,
    kSwitchNoFile,
    kSwitchNotWritable
};

struct SetupSwitches {
    unsigned given;          // SwitchBits
    char log[MAX_PATH];      // paths are full, against the folder Setup started in
    char dir[MAX_PATH];
    char ini[MAX_PATH];
    char group[255];         // as GROUP32: Program Manager takes up to 254
    SwitchError error;       // the first fault; the other switches are read all the same
    char refused[160];       // the word it concerns, cut, control characters as '?'
    char shown[512];         // the arguments for the log, likewise
};

extern SetupSwitches g_switches;

// Reads args, the command line after the program's name. False when it
// is refused (out->error, out->refused).
bool ParseSetupSwitches(const char *args, SetupSwitches *out);

// Parses the program's arguments into g_switches and checks the files they
// name: the /ini file must exist and the /log file take a line (one that
// does not is dropped, and the log stays in the work folder).
void ReadCommandLine(const char *args);

// When the command line asks for the usage or was refused: shows that (a
// message box, or when quiet the log) and returns true with the exit
// code; false when the run goes on.
bool AnswerCommandLine(bool quiet, int *exitCode);

#endif
