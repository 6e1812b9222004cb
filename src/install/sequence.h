// The worker that installs the chosen components.
#ifndef ZELTRA_INSTALL_SEQUENCE_H
#define ZELTRA_INSTALL_SEQUENCE_H

#include <windows.h>

// Result flags
enum SequenceResult {
    kResultCompleted = 1,
    kResultItemCreated = 2,
    kResultClassRegistered = 4,
    kResultFailed = 8,
    kResultExplorerRegistered = 0x10000
};

const int kErrorTextSize = 256;

// State shared by the steps of one installation.
struct SequenceContext {
    const char *sourceDir;   // work folder, ending in "\"
    const char *destDir;
    DWORD mask;              // component bits, plus kComponentQuiet
    DWORD *flags;            // result flags, may be NULL
    HWND owner;
    HWND status;             // progress text control, may be NULL
    char *errorText;         // kErrorTextSize characters, may be NULL
    int ok;                  // running success value
};

// 1 success, 0 failure.
int RunInstallSequence(const char *sourceDir, const char *destDir, DWORD mask, DWORD *flags,
                       HWND owner, HWND status, char *errorText);

// Sets a progress text on the status control while it is a window.
void SetProgressText(HWND status, const char *text);

#endif
