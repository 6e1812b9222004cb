// The uninstaller's copy in the temporary folder. A running program cannot
// delete its own file, so the uninstaller started from the product's folder
// starts a copy of itself from a fresh folder of its own in the temporary
// folder and waits: the copy removes the product, hands the outcome back,
// and deletes the original once it has ended.
#ifndef ZELTRA_REMOVAL_UNINSTALLER_COPY_H
#define ZELTRA_REMOVAL_UNINSTALLER_COPY_H

#include <windows.h>

// The copy's side of the link, from its command line: the pipe the
// original reads the exit code from, the original's process and path.
struct CopyLink {
    HANDLE resultPipe;
    HANDLE original;          // NULL when it cannot be opened
    char originalPath[512];
};

// The original's side: copies this program into a new folder of workFolder,
// starts the copy with "-copyof <pipe> <process id> "<own path>"" before
// arguments, and waits for the exit code it hands back (or its own, should
// it end without one). False, with nothing left behind, when the copy
// cannot be made or started; the caller then removes in place.
bool RunFromTemporaryCopy(const char *workFolder, const char *arguments, int *exitCode);

// The copy's side: opens the original's process from its id.
void OpenOriginal(CopyLink *link, DWORD processId);

// Hands the exit code to the original and waits until it has ended.
void ReleaseOriginal(CopyLink *link, int exitCode);

// Deletes path at the next start of Windows: NT's delayed move, Windows
// 95/98's WININIT.INI. False where neither could be registered.
bool DeleteAtNextStart(const char *path);

// Deletes this program's own file and folder at the next start.
void ScheduleOwnDeletion();

// Deletes what earlier copies left in workFolder: a folder "~zlr<hex>.tmp"
// holding nothing but a copy of the uninstaller that no longer runs.
// Everything else stays.
void SweepUninstallerCopies(const char *workFolder);

#endif
