// What the steps of one installation share: their state and the result
// flags they set.
#ifndef ZELTRA_INSTALL_STEPS_H
#define ZELTRA_INSTALL_STEPS_H

#include <windows.h>

// Result flags
enum SequenceResult {
    kResultCompleted = 1,
    kResultItemCreated = 2,
    kResultClassRegistered = 4,
    kResultFailed = 8,
    kResultExplorerRegistered = 0x10000
};

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

#endif
