#include "shell/folders.h"

#include <windows.h>

#include <string.h>

#include "shell/paths.h"
#include "shell/sysdll.h"

static const size_t kFolderPathSize = 512;

bool WithoutDevicePrefix(char *path)
{
    static const char *const kPrefixes[] = {"\\\\?\\", "\\\\.\\", "\\??\\"};
    for (const char *prefix : kPrefixes) {
        size_t n = strlen(prefix);
        if (strncmp(path, prefix, n) != 0)
            continue;
        char *rest = path + n;
        if (SamePrefixIgnoringCase(rest, "UNC\\", 4)) {
            memmove(path + 2, rest + 4, strlen(rest + 4) + 1);
            return true;
        }
        char letter = char(rest[0] | 0x20);
        if (letter < 'a' || letter > 'z' || rest[1] != ':' || (rest[2] != '\\' && rest[2] != '\0'))
            return false;
        memmove(path, rest, strlen(rest) + 1);
        if (!path[2])
            CopyText(path + 2, 2, "\\");   // "C:" alone would be the drive's current folder
        return true;
    }
    return true;
}

bool ComparableFolder(const char *path, char *dst, size_t size)
{
    char plain[kFolderPathSize], full[kFolderPathSize];
    if (!CopyText(plain, sizeof plain, path))
        return false;
    // "/" is never the second byte of a double-byte character.
    for (char *p = plain; *p; ++p)
        if (*p == '/')
            *p = '\\';
    if (!WithoutDevicePrefix(plain))
        return false;
    DWORD n = GetFullPathNameA(plain, sizeof full, full, NULL);
    if (n == 0 || n >= sizeof full)
        return false;
    n = ShortPathName(full, dst, DWORD(size));
    if ((n == 0 || n >= size) && !CopyText(dst, size, full))
        return false;
    while (EndsWithSeparator(dst, false))
        dst[strlen(dst) - 1] = '\0';
    return dst[0] != '\0';
}

bool SamePath(const char *a, const char *b)
{
    char formA[kFolderPathSize], formB[kFolderPathSize];
    return ComparableFolder(a, formA, sizeof formA) && ComparableFolder(b, formB, sizeof formB) &&
           lstrcmpiA(formA, formB) == 0;
}

bool IsExistingFile(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForEachFound(const char *folder, const char *pattern, FoundEntry visit, const void *context)
{
    char search[kFolderPathSize];
    if (!JoinUnlessBackslash(search, sizeof search, folder, pattern))
        return false;
    WIN32_FIND_DATAA found;
    HANDLE handle = FindFirstFileA(search, &found);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    bool going = true;
    do {
        const char *n = found.cFileName;
        if (strcmp(n, ".") == 0 || strcmp(n, "..") == 0)
            continue;
        // The folder fitted the search above and a name fits MAX_PATH, so
        // every entry has a full path.
        char path[kFolderPathSize + MAX_PATH];
        if (JoinUnlessBackslash(path, sizeof path, folder, n))
            going = visit(path, found, context);
    } while (going && FindNextFileA(handle, &found));
    FindClose(handle);
    return going;
}

static bool IsTheOneFile(const char *, const WIN32_FIND_DATAA &found, const void *name)
{
    return !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           (lstrcmpiA(found.cFileName, static_cast<const char *>(name)) == 0 ||
            lstrcmpiA(found.cAlternateFileName, static_cast<const char *>(name)) == 0);
}

bool FolderHoldsOnly(const char *folder, const char *name)
{
    return ForEachFound(folder, "*.*", IsTheOneFile, name);
}
