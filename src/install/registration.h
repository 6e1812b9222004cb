// The steps after the file phases: class and DLL registration, win.ini
// settings, program group and items, namespace entries, uninstall entry,
// browser keys and the queue scheduler.
#ifndef ZELTRA_INSTALL_REGISTRATION_H
#define ZELTRA_INSTALL_REGISTRATION_H

#include "install/steps.h"

// Runs the registration steps in order on the sequence's state.
void RunRegistrationSteps(SequenceContext &context);

// Loads destDir\dllName and calls its DllRegisterServer. Sets *result to the
// HRESULT and returns true when the export was called.
bool SelfRegisterDll(const char *destDir, const char *dllName, HRESULT *result);

// Dialog 307: where the Explorer-interface icon goes (sets g_iconLocation).
INT_PTR CALLBACK IconPlacementDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
