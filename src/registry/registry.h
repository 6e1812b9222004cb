// Small registry operations and the entries an installation writes.
#ifndef ZELTRA_REGISTRY_REGISTRY_H
#define ZELTRA_REGISTRY_REGISTRY_H

#include <windows.h>

// Class of the base product (in-process server), and the two namespace
// classes: the Explorer interface and the icon link.
#define ZL_CLASS_BASE      "{7C3E2A91-5B04-4D8F-9A61-2E5F8C0B3D10}"
#define ZL_CLASS_EXPLORER  "{7c3e2a91-5b04-4d8f-9a61-2e5f8c0b3d01}"
#define ZL_CLASS_ICON_LINK "{7c3e2a91-5b04-4d8f-9a61-2e5f8c0b3d0a}"
#define ZL_KEY_DESKTOP_NAMESPACE    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\Namespace\\%s"
#define ZL_KEY_MYCOMPUTER_NAMESPACE "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MyComputer\\Namespace\\%s"
#define ZL_KEY_UNINSTALL   "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZELTRAPro"

// Registers serverPath as InProcServer32 of the base class. 1 when written.
int RegisterServerPath(const char *serverPath);

// Creates root\keyPath[\subKey] and sets valueName (NULL: default) to value.
// 1 when the value was written; 0 without a value or on failure.
int WriteRegistryString(HKEY root, const char *keyPath, const char *subKey,
                        const char *valueName, const char *value);

// Reads valueName (NULL: default) of root\keyPath into buffer. 1 when read;
// a missing key leaves the buffer untouched, a missing value copies
// defaultText (when given).
int ReadRegistryString(HKEY root, const char *keyPath, const char *valueName,
                       const char *defaultText, char *buffer, DWORD bufferSize);

// True, with one line in the log, where a step that writes outside
// HKEY_CLASSES_ROOT is skipped: under Win32s, whose registry is that of
// Windows 3.1, that root alone. step names it ("Uninstall entry").
bool SkippedWithoutMachineKeys(const char *step);

// 1 when folder\fileName can be opened for reading.
int FileIsReadable(const char *folder, const char *fileName);

#endif
