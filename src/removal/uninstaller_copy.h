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

enum CopyOutcome {
    kCopyNotStarted,    // nothing left behind: the caller removes in place
    kCopyHandedBack,    // the copy's exit code came back
    kCopyGaveNothing    // the copy ended, or was ended, without one: 1603
};

// The original's side: copies this program into a new folder of workFolder
// (see MakeCopyFolder), starts the copy with "-copyof <pipe> <process id>
// "<own path>"" before arguments, and waits for the exit code it hands back.
CopyOutcome RunFromTemporaryCopy(const char *workFolder, const char *arguments, int *exitCode);

// The copy's side: opens the original's process from its id.
void OpenOriginal(CopyLink *link, DWORD processId);

// Hands the exit code to the original and waits until it has ended.
void ReleaseOriginal(CopyLink *link, int exitCode);

// Deletes path at the next start of Windows: NT's delayed move, Windows
// 95/98's WININIT.INI. False where neither could be registered.
bool DeleteAtNextStart(const char *path);

// True when nothing but its running image keeps path from being deleted
// once that has ended: no one else has it open to write, or on NT without
// delete sharing. Also true when it is gone.
bool NothingElseHolds(const char *path);

// Deletes this program's own file and folder at the next start, when it is
// a copy in a copy folder of workFolder; anywhere else nothing is scheduled.
void ScheduleOwnDeletion(const char *workFolder);

// One uninstaller at a time: a named mutex that exists while one runs.
// Made within waitMs, when no other uninstaller has it open: the handle to
// keep. NULL with busy set when another has; NULL with busy clear where the
// system has no named mutexes (Win32s).
HANDLE ClaimUninstaller(DWORD waitMs, bool *busy);

// The copy joins its original's claim: the handle to keep until it ends.
HANDLE KeepUninstallerClaim();

// Deletes what earlier copies left in workFolder: a folder "~zlr<hex>.tmp"
// holding nothing but a copy of the uninstaller that no longer runs.
// Everything else stays, and all of it while an uninstaller runs.
// claimHeld: the caller is the uninstaller holding the claim.
void SweepUninstallerCopies(const char *workFolder, bool claimHeld = false);

#endif
