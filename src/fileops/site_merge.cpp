#include "fileops/site_merge.h"

#include <stdio.h>
#include <string.h>

#include <string>

#include "fileops/extract.h"
#include "fileops/placement.h"
#include "flow/choice_dialogs.h"
#include "install/catalogue.h"
#include "install/sequence.h"
#include "resource.h"
#include "shell/messages.h"
#include "shell/paths.h"
#include "shell/startup.h"

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

// Reads one whole line (without its end), however long. False at the end.
static bool ReadWholeLine(FILE *in, std::string *line)
{
    line->clear();
    char piece[512];
    while (fgets(piece, sizeof piece, in)) {
        size_t len = strlen(piece);
        if (len > 0 && piece[len - 1] == '\n') {
            line->append(piece, len - 1);
            return true;
        }
        line->append(piece, len);
    }
    return !line->empty();
}

static std::string ReplaceAll(const std::string &text, const char *marker, const char *replacement)
{
    std::string out;
    size_t markerLen = strlen(marker), from = 0, at;
    if (markerLen == 0)
        return text;
    while ((at = text.find(marker, from)) != std::string::npos) {
        out.append(text, from, at - from);
        out += replacement;
        from = at + markerLen;
    }
    out.append(text, from, std::string::npos);
    return out;
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
    FILE *in = fopen(work, "rt");
    FILE *out = in ? fopen(target, "wt") : NULL;
    if (in && out) {
        // Lines are kept whole: a cut path would point at the wrong file.
        std::string line;
        while (ReadWholeLine(in, &line)) {
            std::string expanded = ReplaceAll(line, marker, replacement);
            if (fprintf(out, "%s\n", expanded.c_str()) >= 0)
                result = 0;
        }
    }
    if (out && fclose(out) != 0)
        result = -1;
    if (in)
        fclose(in);
    DeleteFileA(work);
    return result;
}
