// What an installation leaves on the machine, for end-to-end tests: where to
// look, and how to put the machine back as it was.
#ifndef ZELTRA_TESTS_INSTALL_STATE_H
#define ZELTRA_TESTS_INSTALL_STATE_H

#include <string>
#include <vector>

namespace zt {

extern const char *const kClassKey;            // HKCR CLSID\{...}\InProcServer32
extern const char *const kUninstallKey;        // HKLM
std::string NamespaceKey(bool desktop, const char *clsid);

// "C:\Program Files\ZELTRA Pro" and the like, as setup.exe computes it for
// the current Windows version.
std::string ProgramsMenuFolder();
std::string GroupFolder(const std::string &group);
// The all-users Programs folder, where a group goes without a shell.
std::string CommonGroupFolder(const std::string &group);
// A shortcut's target and working folder, read through the link interface.
bool ReadShortcut(const std::string &path, std::string *target, std::string *folder);

// Files of the stand-in product as the build made them.
std::string ProductFile(const std::string &targetName);

// The call log the stand-in programs and DLLs append to.
std::string CallLogPath();
std::vector<std::string> CallLog();

// A run that did what it was asked: 0, or 3010 when it waits for a restart
// (a file in use, the Explorer interface).
bool Installed(unsigned long code);

// Removes everything an installation or removal may have written.
void ResetInstallState(const std::vector<std::string> &folders);

// Writes an install.ini with the given lines under [INSTALL] (and optional
// [ZELTRA] lines) into folder.
void WriteInstallIni(const std::string &folder, const std::vector<std::string> &installLines,
                     const std::vector<std::string> &zeltraLines = {});

}  // namespace zt

#endif
