// Undoing an installation in a folder.
#ifndef ZELTRA_REMOVAL_REMOVAL_WORKER_H
#define ZELTRA_REMOVAL_REMOVAL_WORKER_H

#include <windows.h>

int RemoveInstallation(const char *folder, int mask, char *errorText, HWND owner, HWND status);
void SetStatusText(HWND status, const char *text);
int DeleteInstalledFile(const char *path, char *errorText);
int DeleteRegistryTree(const char *keyPath, HKEY root);
int UnregisterBaseProduct();
int RemoveNamespaceKeys();
void SelfUnregisterDll(const char *folder, const char *dllName);

// The form of path used in a command run at the next start: its short form,
// or else the path itself (quoted when it has a blank). False when it does
// not fit into size characters.
bool CommandPathOf(const char *path, char *dst, size_t size);

// Puts value in place of the first "%s" of a string-table text (which is
// never used as a printf format). The result is cut to size.
void FillTextTemplate(char *dst, size_t size, const char *templ, const char *value);

#endif
