// The product's uninstaller, zlrem32.exe: the removal Setup has, with a way
// in of its own for the system's list of programs and the group's item.
//
//   zlrem32.exe [-q] [-f <folder>] [-d <folder>] [-g <group>]
//
// -q removes quietly: no window, no question (the stored sites are kept),
// the log setup.log in the temporary folder. -f names the product's folder
// (-d, the destination, when -f is missing), -g the program group; the
// values are written without quotes, so -g takes the rest of the line.
// Without a folder the uninstaller removes the installation win.ini
// records, or else the one it lies in.
#ifndef ZELTRA_REMOVAL_UNINSTALLER_H
#define ZELTRA_REMOVAL_UNINSTALLER_H

#include <windows.h>

struct UninstallOptions {
    bool quiet;
    char folder[512];         // "" when none is given
    char group[256];          // "" when none is given
    // Set in the copy that runs from the temporary folder ("-copyof").
    bool isCopy;
    unsigned long resultPipe;
    unsigned long originalId;
    char original[512];
};

// False when a value does not fit or "-copyof" is incomplete.
bool ParseUninstallOptions(const char *line, UninstallOptions *options);

// The whole uninstaller; returns the exit code.
int RunUninstaller(HINSTANCE instance, const char *commandLine);

#endif
