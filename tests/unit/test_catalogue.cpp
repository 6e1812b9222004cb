#include <gtest/gtest.h>

#include <string>

#include "shell/catalogue.h"
#include "shell/messages.h"

namespace {

struct ListShape { const InstallList *list; int count; int first; };

const ListShape kShapes[] = {
    {&g_basePrimaryList, 4, 0}, {&g_explorerList, 6, 4}, {&g_utilitiesList, 20, 10},
    {&g_baseFurtherList, 11, 30}, {&g_siteListList, 9, 41}};

std::string Lower(std::string s)
{
    for (char &c : s)
        c = (char)tolower((unsigned char)c);
    return s;
}

// The run-time descriptions as the main window fills them.
void FillDescriptions()
{
    LoadMessage(10012, g_szDescHelp, sizeof g_szDescHelp);
    LoadMessage(10013, g_szDescNews, sizeof g_szDescNews);
    LoadMessage(10036, g_szDescExplorerHelp, sizeof g_szDescExplorerHelp);
    LoadMessage(10053, g_szDescIconLink, sizeof g_szDescIconLink);
    LoadMessage(10070, g_szDescUninstall, sizeof g_szDescUninstall);
}

}  // namespace

TEST(Catalogue, ListsCoverThePayloadInOrder)
{
    int next = 0;
    for (const ListShape &shape : kShapes) {
        EXPECT_EQ(shape.count, shape.list->count);
        EXPECT_EQ(shape.first, shape.list->firstPayload);
        EXPECT_EQ(next, shape.list->firstPayload) << "lists must follow one another";
        next += shape.list->count;
    }
    EXPECT_EQ(50, next);
    EXPECT_EQ(51, kPayloadResourceCount);
    EXPECT_STREQ("INSTINI", g_payloadResources[kPayloadInstallIni].resourceName);
    EXPECT_STREQ("Install.ini", g_payloadResources[kPayloadInstallIni].tempName);
    EXPECT_STREQ("INIFILE1", g_payloadResources[kPayloadProductIni].resourceName);
}

TEST(Catalogue, ResourceRowsMatchTheirTargets)
{
    for (const ListShape &shape : kShapes) {
        for (int i = 0; i < shape.list->count; ++i) {
            const PayloadResource &res = g_payloadResources[shape.first + i];
            std::string target = shape.list->rows[i].targetName;
            SCOPED_TRACE(target);
            EXPECT_STREQ("EXE", res.resourceType);
            EXPECT_STREQ(res.compressedName, res.tempName);
            EXPECT_EQ(Lower(target.substr(0, target.size() - 1) + "_"), Lower(res.compressedName));
        }
    }
}

TEST(Catalogue, FixedRowsOtherStepsName)
{
    EXPECT_STREQ("zlclient.exe", g_basePrimaryList.rows[kRowClient].targetName);
    EXPECT_STREQ("zlcore32.dll", g_basePrimaryList.rows[kRowCore].targetName);
    EXPECT_STREQ("zlexpl32.dll", g_explorerList.rows[kRowExplorerDll].targetName);
    EXPECT_STREQ("zlnsext.dll", g_explorerList.rows[kRowNsExt].targetName);
    EXPECT_STREQ("zlini.dll", g_explorerList.rows[kRowIniDll].targetName);
    EXPECT_STREQ("zlsched.exe", g_utilitiesList.rows[kRowScheduler].targetName);
    EXPECT_STREQ("zllink.exe", g_baseFurtherList.rows[kRowIconLink].targetName);
    EXPECT_STREQ("zlstub.dll", g_baseFurtherList.rows[kRowStub].targetName);
    EXPECT_STREQ("zlrem32.exe", g_baseFurtherList.rows[kRowUninstaller].targetName);
    EXPECT_STREQ("zllink.hlp", g_baseFurtherList.rows[kRowIconLinkHelp].targetName);
    EXPECT_STREQ("zeltra.ini", g_siteListList.rows[kRowProductIni].targetName);
    EXPECT_STREQ("sitesav.ini", g_siteListList.rows[kRowFirstSiteList].targetName);
}

TEST(Catalogue, OnlyTwoRowsHaveSourceNamesOfTheirOwn)
{
    int differing = 0;
    for (const ListShape &shape : kShapes)
        for (int i = 0; i < shape.list->count; ++i)
            if (strcmp(shape.list->rows[i].sourceName, shape.list->rows[i].targetName) != 0)
                ++differing;
    EXPECT_EQ(2, differing);
    EXPECT_STREQ("zlcore32.cnt", g_basePrimaryList.rows[2].sourceName);
    EXPECT_STREQ("ZlCore32.cnt", g_basePrimaryList.rows[2].targetName);
    EXPECT_STREQ("ZELTRA.IN_", g_siteListList.rows[kRowProductIni].sourceName);
    EXPECT_STREQ("zeltra.ini", g_siteListList.rows[kRowProductIni].targetName);
}

TEST(Catalogue, EveryIconRowHasADescription)
{
    FillDescriptions();
    int icons = 0;
    for (const ListShape &shape : kShapes) {
        for (int i = 0; i < shape.list->count; ++i) {
            const PayloadEntry &row = shape.list->rows[i];
            if (!row.iconFlag)
                continue;
            ++icons;
            EXPECT_NE('\0', row.description[0]) << row.targetName;
        }
    }
    EXPECT_EQ(15, icons);
    EXPECT_STREQ("ZELTRA Pro Help", g_basePrimaryList.rows[3].description);
    EXPECT_STREQ("ZELTRA Pro Release Notes", g_baseFurtherList.rows[3].description);
}

TEST(Catalogue, ResetClearsRunTimeFields)
{
    g_utilitiesList.rows[3].status = kStatusPlaced | kStatusFailed;
    g_utilitiesList.rows[3].placeResult = 1;
    ResetCatalogue();
    EXPECT_EQ(0u, g_utilitiesList.rows[3].status);
    EXPECT_EQ(0u, g_utilitiesList.rows[3].placeResult);
    EXPECT_EQ(1u, g_utilitiesList.rows[0].requiredFlag);
}
