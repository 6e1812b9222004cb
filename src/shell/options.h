// Install options from install.ini and the platform this run is on.
#ifndef ZELTRA_SHELL_OPTIONS_H
#define ZELTRA_SHELL_OPTIONS_H

#include <windows.h>

// The platform globals DetectPlatform sets.
#include "shell/sysdll.h"

// Component mask bits (nV, nM and the components dialog's result).
enum ComponentBits {
    kComponentClassic   = 1,
    kComponentExplorer  = 2,
    kComponentUtilities = 4,
    kComponentBrowser   = 8,
    kComponentQuiet     = 0x10000000  // added for the installation sequence only
};

extern char IniFileName[261];     // the options file found, or empty
extern int g_bAllowReboot;
extern int g_bNoRestart;          // /norestart: not even asked about
extern int g_bSilent;
extern int g_bNoPass;
extern int gbInstallBonusPack;
extern int g_iconLocation;        // 0 desktop, 1 "My Computer"
extern int g_bExplore;
extern char g_szLine1[256];
extern char g_szLine2[256];
extern int nV;                    // components offered and preselected
extern int nM;                    // components that may be chosen

// Finds install.ini (the /ini file, else the temporary folder's, else the
// one beside the program), sets the option flags from its [INSTALL]
// section and then from the command line's switches, which win.
void ReadInstallOptions();

// [ZELTRA] DIR32 or GROUP32: the command line's /dir or /group, else
// install.ini's, else fallback.
void ReadPlacementOption(const char *key, const char *fallback, char *value, DWORD size);

// Sets g_nWinMajor, g_nWinMinor, g_bWinNT, nV and nM.
void DetectPlatform();

// The two comparison rules of the options file.
bool OptionIsTrue(const char *value);   // "TRUE" (any case) or "1"
bool OptionIsFalse(const char *value);  // "FALSE" (any case) or "0"

// The masks for a platform; used by DetectPlatform.
void ComputeComponentMasks(bool isNT, int major, int minor, bool bonus, bool explore,
                           int *offered, int *allowed);

#endif
