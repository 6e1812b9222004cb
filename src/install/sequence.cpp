#include "install/sequence.h"

#include "fileops/placement.h"
#include "fileops/site_merge.h"
#include "install/registration.h"
#include "shell/catalogue.h"
#include "shell/options.h"
#include "shell/paths.h"
#include "shell/progress.h"
#include "shell/trace.h"

static void SetRequiredFileError(SequenceContext &c, const char *fileName)
{
    if (c.errorText)
        FormatText(c.errorText, kErrorTextSize, "Failed to install required file %s.", fileName);
}

// Places row i of a list. False when the list must stop: a required row
// failed, or the user pressed Cancel.
static bool PlaceRow(SequenceContext &c, const InstallList &list, int i)
{
    PayloadEntry &row = list.rows[i];
    int result = PlaceFile(c.sourceDir, row.targetName, c.destDir, c.owner, c.status,
                           list.firstPayload + i, int(row.requiredFlag));
    row.placeResult = DWORD(result);
    if (result == 0) {
        row.status |= kStatusPlaced;
    } else if (row.requiredFlag) {
        row.status |= kStatusFailed;
        SetRequiredFileError(c, row.sourceName);
        c.ok = 0;
        return false;
    }
    if (g_bCancel) {
        c.ok = 0;
        return false;
    }
    return true;
}

static void PlaceList(SequenceContext &c, const InstallList &list)
{
    for (int i = 0; i < list.count; ++i)
        if (!PlaceRow(c, list, i))
            return;
}

static bool TargetMissing(const char *destDir, const char *name)
{
    char path[MAX_PATH];
    return !JoinUnlessSeparator(path, sizeof path, destDir, name)
        || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES;
}

// The classic client: all of it when chosen, otherwise only the required files
// the other components need and the folder lacks.
static void PlaceBasePrimary(SequenceContext &c)
{
    const InstallList &list = g_basePrimaryList;
    bool baseChosen = (c.mask & kComponentClassic) != 0;
    for (int i = 0; i < list.count; ++i) {
        const PayloadEntry &row = list.rows[i];
        bool wanted = baseChosen || (row.requiredFlag && TargetMissing(c.destDir, row.targetName));
        if (wanted && !PlaceRow(c, list, i))
            return;
    }
}

// NT 3.x has no shell for the icon link: its files become optional extras.
static void DemoteIconLinkOnOldNT()
{
    if (!(g_bWinNT && g_nWinMajor < 4))
        return;
    const int rows[] = {kRowIconLink, kRowStub, kRowIconLinkHelp};
    for (int r : rows) {
        g_baseFurtherList.rows[r].iconFlag = 0;
        g_baseFurtherList.rows[r].requiredFlag = 0;
    }
}

int RunInstallSequence(const char *sourceDir, const char *destDir, DWORD mask, DWORD *flags,
                       HWND owner, HWND status, char *errorText)
{
    SequenceContext c = {sourceDir, destDir, mask, flags, owner, status, errorText, 1};
    if (flags)
        *flags = 0;
    if (errorText)
        errorText[0] = '\0';
    const DWORD components = kComponentClassic | kComponentExplorer | kComponentUtilities | kComponentBrowser;
    if (!(mask & components)) {
        if (errorText)
            CopyText(errorText, kErrorTextSize, "Nothing to do!");
        return 1;
    }

    ZL_MARK("files");
    PlaceBasePrimary(c);
    if (c.ok && (mask & kComponentExplorer))
        PlaceList(c, g_explorerList);
    if (c.ok && (mask & kComponentUtilities))
        PlaceList(c, g_utilitiesList);
    DemoteIconLinkOnOldNT();
    if (c.ok)
        PlaceList(c, g_baseFurtherList);
    if (c.ok && (mask & (kComponentClassic | kComponentExplorer))) {
        if (!MergeSiteList(sourceDir, destDir, (mask & kComponentQuiet) != 0, owner, status, errorText))
            c.ok = 0;
    }

    RunRegistrationSteps(c);

    if (flags)
        *flags |= c.ok ? kResultCompleted : kResultFailed;
    return c.ok;
}
