// Undoing an installation in a folder.
#ifndef ZELTRA_REMOVAL_REMOVAL_WORKER_H
#define ZELTRA_REMOVAL_REMOVAL_WORKER_H

#include <windows.h>

// group: the program group to clear; NULL for the one win.ini records.
// running: a file of the folder that the uninstaller still runs from (NULL
// for none); it is left for the uninstaller to delete once it has ended,
// rather than renamed and scheduled for a restart.
int RemoveInstallation(const char *folder, int mask, char *errorText, HWND owner, HWND status,
                       const char *group = NULL, const char *running = NULL);
void SetStatusText(HWND status, const char *text);
int DeleteInstalledFile(const char *path, char *errorText);
int DeleteRegistryTree(const char *keyPath, HKEY root);
int UnregisterBaseProduct();
int RemoveNamespaceKeys();
void SelfUnregisterDll(const char *folder, const char *dllName);

// The uninstall entry's InstallLocation; false, and folder untouched,
// without one.
bool EntryInstallLocation(char *folder, size_t size);

// True when a record's folder (win.ini DIR, the entry's location) is folder,
// or the record names none: only then does removing folder remove it.
bool RecordIsOf(const char *recorded, const char *folder);

// True for a folder that is not the product's own: a drive root, the
// Windows, system or temporary folder, the Program Files folder itself, a
// profile or shell folder, or one that holds any of these, in whichever
// form it is written ("\\?\C:\WINDOWS\", a short name); also a folder whose
// form cannot be told. Removal there deletes the catalogue's files only.
bool FolderIsShared(const char *folder);

// Puts value in place of the first "%s" of a string-table text (which is
// never used as a printf format). The result is cut to size.
void FillTextTemplate(char *dst, size_t size, const char *templ, const char *value);

#endif
