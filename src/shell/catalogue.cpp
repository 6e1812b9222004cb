#include "shell/catalogue.h"

#include "resource.h"
#include "shell/messages.h"

char g_szDescHelp[256];
char g_szDescNews[256];
char g_szDescUninstall[256];
char g_szDescIconLink[256];
char g_szDescExplorerHelp[256];

#define ZL_DESC_MSG(n) ZL_DESC_##n
#define ZL_DESC_10012 g_szDescHelp
#define ZL_DESC_10013 g_szDescNews
#define ZL_DESC_10036 g_szDescExplorerHelp
#define ZL_DESC_10053 g_szDescIconLink
#define ZL_DESC_10070 g_szDescUninstall

const PayloadResource g_payloadResources[kPayloadResourceCount] = {
#define ZL_ROW(resource, compressed, source, target, description, icon, required, carried) \
    {resource, "EXE", compressed, compressed},
#include "shell/catalogue_rows.h"
#undef ZL_ROW
    {"INSTINI", "EXE", "Install.ini", "Install.ini"},
};

static const PayloadEntry kInitialRows[] = {
#define ZL_ROW(resource, compressed, source, target, description, icon, required, carried) \
    {source, target, description, icon, required, 0, 0},
#include "shell/catalogue_rows.h"
#undef ZL_ROW
};

static const int kRowCount = sizeof kInitialRows / sizeof kInitialRows[0];
static_assert(kRowCount == kPayloadResourceCount - 1, "one install-list row per payload but the options file");

static PayloadEntry s_rows[kRowCount] = {
#define ZL_ROW(resource, compressed, source, target, description, icon, required, carried) \
    {source, target, description, icon, required, 0, 0},
#include "shell/catalogue_rows.h"
#undef ZL_ROW
};

const InstallList g_basePrimaryList = {s_rows + 0, 4, 0};
const InstallList g_explorerList = {s_rows + 4, 6, 4};
const InstallList g_utilitiesList = {s_rows + 10, 20, 10};
const InstallList g_baseFurtherList = {s_rows + 30, 11, 30};
const InstallList g_siteListList = {s_rows + 41, 9, 41};

const InstallList *const g_installLists[kInstallListCount] = {&g_basePrimaryList, &g_explorerList, &g_utilitiesList,
                                                              &g_baseFurtherList, &g_siteListList};

void ResetCatalogue()
{
    for (int i = 0; i < kRowCount; ++i)
        s_rows[i] = kInitialRows[i];
}

const char *UninstallerName() { return g_baseFurtherList.rows[kRowUninstaller].targetName; }

void LoadDescriptions()
{
    LoadMessage(MSG_DESC_HELP, g_szDescHelp, sizeof g_szDescHelp);
    LoadMessage(MSG_DESC_NEWS, g_szDescNews, sizeof g_szDescNews);
    LoadMessage(MSG_DESC_UNINSTALL, g_szDescUninstall, sizeof g_szDescUninstall);
    LoadMessage(MSG_DESC_ICON_LINK, g_szDescIconLink, sizeof g_szDescIconLink);
    LoadMessage(MSG_DESC_EXPLORER_HELP, g_szDescExplorerHelp, sizeof g_szDescExplorerHelp);
}
