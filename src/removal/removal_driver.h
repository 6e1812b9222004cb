// Removal: from the recorded installation to the final message.
#ifndef ZELTRA_REMOVAL_REMOVAL_DRIVER_H
#define ZELTRA_REMOVAL_REMOVAL_DRIVER_H

#include <windows.h>

#include <stddef.h>

// Setup's way in: removes the installation win.ini records. Always 0; the
// outcome goes to g_nExitCode.
int RunRemoval(HWND owner, int offered, int allowed);

// The folder of the installation win.ini records (DIR, with INSTOPTS set).
bool RecordedInstallation(char *folder, size_t size);

// "Insufficient information available to remove this application."
void ReportNoInstallation(HWND owner);

// The removal of the product in folder, from the status dialog to the last
// message; group and running as for RemoveInstallation. With running set,
// the outcome told is the one the folder has once that file is gone too.
// Returns the exit code; with a restart wanted g_bRebootNeeded stays set.
int RemoveProduct(HWND owner, const char *folder, const char *group, const char *running);

// Registers the folder's removal for the next start.
void ScheduleFolderRemoval(const char *folder);

#endif
