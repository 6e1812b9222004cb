// The work folder: the temporary folder, where Setup and the uninstaller
// keep their work files and the log.
#ifndef ZELTRA_SHELL_WORKFOLDER_H
#define ZELTRA_SHELL_WORKFOLDER_H

#include <windows.h>

// Reads the temporary folder into folder (size characters) without its one
// trailing separator (a drive root keeps its "\"). False when there is none
// or it does not fit.
bool GetWorkFolder(char *folder, DWORD size);

#endif
