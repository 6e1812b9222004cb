// The program group as a folder of shortcuts, for where no shell answers the
// Program Manager commands, and the removal of the product's own shortcuts.
#ifndef ZELTRA_GROUPS_SHORTCUTS_H
#define ZELTRA_GROUPS_SHORTCUTS_H

#include <stddef.h>

// True when name can be one folder or file name as it stands: no path
// separator or wildcard, not "." or "..", no device name, no trailing dot
// or blank.
bool UsableAsFileName(const char *name);

// The folder of that name in the user's or the all-users Programs folder,
// as a shell makes for a group; false when there is none.
bool FoundGroupFolder(const char *group, char *dst, size_t size);

// Makes the items the group step asked for (g_programItems) as shortcuts in
// the group's folder: the all-users Programs folder on NT 4 and later, the
// one Programs folder on Windows 95 and 98. True when the folder was made;
// where receives it. Otherwise why says why no group could be made.
bool MakeShortcutGroup(const char *group, char *where, size_t whereSize, char *why, size_t whySize);

// Records in win.ini how the group was made ("shell" or "shortcuts") and in
// which folder (none: NULL), for the removal.
void RecordGroup(const char *how, const char *folder);

// True when the record says the group was made as a folder of shortcuts.
bool GroupMadeAsShortcuts();

// The group folder recorded in win.ini, when it is one folder inside a
// Programs folder (the user's or the all-users one); false otherwise.
bool RecordedGroupFolder(char *dst, size_t size);

// Deletes groupFolder\itemName.lnk when it points at a file of
// productFolder; a link of that name to anything else stays.
bool DeleteOwnShortcut(const char *groupFolder, const char *itemName, const char *productFolder);

#endif
