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

// The target path with its program extension (".dll", else ".exe") replaced
// by newExtension: the ".bak" and ".new" twins of an in-use replacement.
// False for a file without such an extension.
bool AlternativePath(char *alt, size_t size, const char *target, const char *newExtension);

// The form of path used in a command run at the next start: its short form,
// or else the path itself; always quoted. False when it does not fit into
// size characters, or holds a "%" or a quote, which no quoting keeps from
// the interpreter: such a file is left for the user to replace or delete.
bool CommandPathOf(const char *path, char *dst, size_t size);
// The quoting alone: path in quotes; false for a "%" or a quote in it.
bool QuoteCommandPath(char *dst, size_t size, const char *path);

#endif
