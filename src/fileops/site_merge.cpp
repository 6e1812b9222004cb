#include "fileops/site_merge.h"

#include <string.h>

#include "fileops/extract.h"
#include "fileops/placement.h"
#include "resource.h"
#include "shell/catalogue.h"
#include "shell/messages.h"
#include "shell/paths.h"
#include "shell/progress.h"
#include "shell/textfile.h"
#include "shell/window.h"

static const char kProductIni[] = "zeltra.ini";
static const char kOriginalIni[] = "original.ini";

static bool ExistsIn(const char *folder, const char *name)
{
    char path[MAX_PATH];
    return JoinAlways(path, sizeof path, folder, name)
        && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// Asks whether the old product INI may become original.ini.
static bool AskToAddSites(HWND owner)
{
    char text[512], caption[256];
    LoadMessage(MSG_ADD_SITES, text, sizeof text);
    LoadMessage(MSG_SITES_CAPTION, caption, sizeof caption);
    return MessageBoxA(owner, text, caption, MB_ICONQUESTION | MB_YESNO) == IDYES;
}

// Keeps the user's old product INI as original.ini, without the section that
// the new index uses to point at it.
static bool KeepOldProductIni(const char *dest)
{
    char from[MAX_PATH], to[MAX_PATH];
    if (!JoinAlways(from, sizeof from, dest, kProductIni) || !JoinAlways(to, sizeof to, dest, kOriginalIni))
        return false;
    if (!MoveFileA(from, to))
        return false;
    WritePrivateProfileStringA("MySites", NULL, NULL, to);
    return true;
}

// Whether a new product INI is to be written.
static bool ShouldWriteProductIni(const char *dest, int quiet, HWND owner)
{
    if (!ExistsIn(dest, kProductIni))
        return true;
    if (ExistsIn(dest, kOriginalIni))
        return false;
    if (ExistsIn(dest, g_siteListList.rows[kRowFirstSiteList].sourceName))
        return false;
    if (quiet || !AskToAddSites(owner))
        return false;
    return KeepOldProductIni(dest);
}

int MergeSiteList(const char *workFolder, const char *destFolder, int quiet,
                  HWND owner, HWND status, char *errorText)
{
    if (!ShouldWriteProductIni(destFolder, quiet, owner))
        return 1;

    char target[MAX_PATH];
    if (!JoinAlways(target, sizeof target, destFolder, kProductIni)
        || ExpandIniTemplate(workFolder, target, "$$", destFolder, kPayloadProductIni) != 0) {
        if (errorText)
            CopyText(errorText, kErrorTextSize, "Failed to install INI files.");
        return 1;
    }

    const InstallList &list = g_siteListList;
    for (int i = kRowFirstSiteList; i < list.count; ++i) {
        PayloadEntry &row = list.rows[i];
        if (!ExistsIn(destFolder, row.sourceName)) {
            row.placeResult = DWORD(PlaceFile(workFolder, row.targetName, destFolder, owner, status,
                                              list.firstPayload + i, int(row.requiredFlag)));
            if (row.placeResult == 0) {
                row.status |= kStatusPlaced;
            } else if (row.requiredFlag) {
                row.status |= kStatusFailed;
                if (errorText)
                    FormatText(errorText, kErrorTextSize, "Failed to install required file %s.", row.sourceName);
                return 0;
            }
        }
        if (g_bCancel)
            return 0;
    }
    return 1;
}

// Writes one line of the template with every marker replaced.
static void PutExpandedLine(TextWriter *out, const char *line, size_t length, const char *marker,
                            const char *replacement)
{
    size_t markerLen = strlen(marker), from = 0;
    for (size_t i = 0; markerLen && i + markerLen <= length;) {
        if (memcmp(line + i, marker, markerLen) == 0) {
            PutText(out, line + from, i - from);
            PutText(out, replacement, strlen(replacement));
            i += markerLen;
            from = i;
        } else {
            ++i;
        }
    }
    PutText(out, line + from, length - from);
    PutText(out, "\r\n", 2);
}

int ExpandIniTemplate(const char *workFolder, const char *target, const char *marker,
                      const char *replacement, int payloadIndex)
{
    char work[261];
    if (!JoinUnlessBackslash(work, sizeof work, workFolder, g_szTempName))
        return -1;
    if (!ExtractPayload(g_hInstance, payloadIndex, workFolder, g_szTempName))
        return -1;

    int result = -1;
    DWORD size = 0;
    char *text = ReadWholeFile(work, &size);
    TextWriter out;
    if (text && OpenTextWriter(&out, target, false)) {
        // Lines are kept whole, however long: a cut path would point at the
        // wrong file. Each ends in CR LF, whatever it ended in before.
        const char *end = text + size;
        bool wroteLine = false;
        for (const char *line = text; line < end;) {
            const char *next = line;
            while (next < end && *next != '\n')
                ++next;
            const char *lineEnd = next;
            if (next < end && lineEnd > line && lineEnd[-1] == '\r')
                --lineEnd;
            PutExpandedLine(&out, line, size_t(lineEnd - line), marker, replacement);
            wroteLine = true;
            line = next < end ? next + 1 : end;
        }
        if (CloseTextWriter(&out) && wroteLine)
            result = 0;
    }
    FreeFileText(text);
    DeleteFileA(work);
    return result;
}
