// Bringing the product INI and the site lists up to date.
#ifndef ZELTRA_FILEOPS_SITE_MERGE_H
#define ZELTRA_FILEOPS_SITE_MERGE_H

#include <windows.h>

// 1 to go on, 0 when a required site list failed or the user cancelled.
int MergeSiteList(const char *workFolder, const char *destFolder, int quiet,
                  HWND owner, HWND status, char *errorText);

// Writes the text template of payload row payloadIndex to target with every
// marker replaced. 0 when at least one line was written, -1 otherwise.
int ExpandIniTemplate(const char *workFolder, const char *target, const char *marker,
                      const char *replacement, int payloadIndex);

#endif
