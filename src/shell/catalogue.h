// The payload catalogue: the embedded resources and the five install lists,
// linked by position.
#ifndef ZELTRA_SHELL_CATALOGUE_H
#define ZELTRA_SHELL_CATALOGUE_H

#include <windows.h>

struct PayloadResource {
    const char *resourceName;
    const char *resourceType;     // always "EXE"
    const char *compressedName;
    const char *tempName;         // same text as compressedName
};

// Row status bits
enum EntryStatus {
    kStatusPlaced = 1,
    kStatusItemCreated = 2,
    kStatusRegistered = 4,
    kStatusFailed = 8
};

struct PayloadEntry {
    const char *sourceName;
    const char *targetName;
    const char *description;      // program item title; "" without one
    DWORD iconFlag;
    DWORD requiredFlag;
    DWORD status;                 // EntryStatus bits, run time
    DWORD placeResult;            // last PlaceFile result, run time
};

struct InstallList {
    PayloadEntry *rows;
    int count;
    int firstPayload;
};

const int kPayloadResourceCount = 51;
const int kPayloadInstallIni = 50;
const int kPayloadProductIni = 41;

extern const PayloadResource g_payloadResources[kPayloadResourceCount];

// The install lists in phase order.
extern const InstallList g_basePrimaryList;
extern const InstallList g_explorerList;
extern const InstallList g_utilitiesList;
extern const InstallList g_baseFurtherList;
extern const InstallList g_siteListList;

// The same five, for what goes over every file of the product.
const int kInstallListCount = 5;
extern const InstallList *const g_installLists[kInstallListCount];

// Rows other parts name directly.
enum BasePrimaryRow { kRowClient = 0, kRowCore = 1 };
enum ExplorerRow { kRowExplorerDll = 0, kRowNsExt = 1, kRowIniDll = 2 };
enum UtilitiesRow { kRowScheduler = 14 };
enum BaseFurtherRow { kRowIconLink = 0, kRowStub = 1, kRowUninstaller = 2, kRowIconLinkHelp = 4 };
enum SiteListRow { kRowProductIni = 0, kRowFirstSiteList = 1 };

// Descriptions filled from the string table when the main window is created.
extern char g_szDescHelp[256];          // 10012
extern char g_szDescNews[256];          // 10013
extern char g_szDescUninstall[256];     // 10070
extern char g_szDescIconLink[256];      // 10053
extern char g_szDescExplorerHelp[256];  // 10036

// The uninstaller's file name, as the product's folder holds it.
const char *UninstallerName();

// Fills the descriptions above from the string table.
void LoadDescriptions();

// Puts every run-time field back to its start value (fresh process state).
void ResetCatalogue();

#endif
