// Folders: the one form in which two spellings of one compare equal, and
// what a folder holds.
#ifndef ZELTRA_SHELL_FOLDERS_H
#define ZELTRA_SHELL_FOLDERS_H

#include <stddef.h>

#include <windows.h>

// The device forms name what the plain form names: "\\?\C:\x", "\\.\C:\x"
// and "\??\C:\x" are "C:\x", "\\?\UNC\srv\x" is "\\srv\x". Strips the prefix
// in place. False for any other device path ("\\?\Volume{...}\x",
// "\\.\pipe\x"): no text names the same folder, so no comparison can place it.
bool WithoutDevicePrefix(char *path);

// path in the form folders are compared in: without a device prefix, full,
// with backslashes, in its short form where it has one, without a trailing
// backslash ("C:" for a root). False when it cannot be brought to that form.
bool ComparableFolder(const char *path, char *dst, size_t size);

// True when a and b name the same place: equal in the form above.
bool SamePath(const char *a, const char *b);

// True when path names a file that exists; a folder of that name is none.
bool IsExistingFile(const char *path);

// Called with the full path of each entry found; false ends the search.
typedef bool (*FoundEntry)(const char *path, const WIN32_FIND_DATAA &found, const void *context);

// Calls visit for each entry of folder that pattern ("*.*", "ZLT*.tmp")
// matches, "." and ".." left out. False when folder cannot be searched or
// visit ended the search.
bool ForEachFound(const char *folder, const char *pattern, FoundEntry visit, const void *context);

// True when folder holds nothing but a file named name (by its long or its
// short name); also when it is empty. False when it cannot be read.
bool FolderHoldsOnly(const char *folder, const char *name);

#endif
