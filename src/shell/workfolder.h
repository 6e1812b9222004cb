// The work folder: the temporary folder, where Setup and the uninstaller
// keep their work files and the log.
#ifndef ZELTRA_SHELL_WORKFOLDER_H
#define ZELTRA_SHELL_WORKFOLDER_H

#include <windows.h>

// Where the work folder was found, first to last.
enum WorkFolderSource {
    kWorkFolderTemp,          // the temporary folder
    kWorkFolderShortTemp,     // its short name: the code page cannot hold the long one
    kWorkFolderWindowsTemp,   // TEMP in the Windows folder
    kWorkFolderProgram        // the program's own folder
};

// Reads the work folder into folder (size characters) without its one
// trailing separator (a drive root keeps its "\"): the temporary folder
// when it exists under its ANSI name; otherwise its short name read through
// the wide calls, where the system has them and that name converts exactly;
// otherwise TEMP in the Windows folder, then the program's own folder, each
// when it exists. False when none fits. source, when given, says which.
bool GetWorkFolder(char *folder, DWORD size, WorkFolderSource *source = NULL);

#endif
