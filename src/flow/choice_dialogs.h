// The dialogs through which the user steers the installation, and the
// modeless status dialog.
#ifndef ZELTRA_FLOW_CHOICE_DIALOGS_H
#define ZELTRA_FLOW_CHOICE_DIALOGS_H

#include <windows.h>

// Set by the status dialog's Cancel button; never cleared.
extern int g_bCancel;

#endif
