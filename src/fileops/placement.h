// Placing one payload file at its destination, with in-use replacement.
#ifndef ZELTRA_FILEOPS_PLACEMENT_H
#define ZELTRA_FILEOPS_PLACEMENT_H

#include <windows.h>

// Extracts payload row payloadIndex into workFolder (which ends in a
// separator) under g_szTempName and expands it onto destFolder\fileName.
// A program or library in use is replaced at the next start. With
// askOnFailure the user may retry. Returns 0 when placed (or scheduled),
// 1 on failure.
int PlaceFile(const char *workFolder, const char *fileName, const char *destFolder,
              HWND owner, HWND status, int payloadIndex, int askOnFailure);

// Stores a command line to run once at the next start (RunOnce on NT,
// RunServicesOnce otherwise) under the first free "MarlquinN". 1 on success.
int AddRunOnceCommand(const char *commandLine);

#endif
