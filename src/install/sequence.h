// The worker that installs the chosen components.
#ifndef ZELTRA_INSTALL_SEQUENCE_H
#define ZELTRA_INSTALL_SEQUENCE_H

#include <windows.h>

#include "install/steps.h"

// 1 success, 0 failure.
int RunInstallSequence(const char *sourceDir, const char *destDir, DWORD mask, DWORD *flags,
                       HWND owner, HWND status, char *errorText);

#endif
