#include "fileops/extract.h"

#include <lzexpand.h>
#include <string.h>

#include "install/catalogue.h"
#include "shell/paths.h"

// A loaded resource, released on every way out.
struct LoadedResource {
    HGLOBAL handle;
    explicit LoadedResource(HGLOBAL h) : handle(h) {}
    ~LoadedResource() { if (handle) FreeResource(handle); }
    LoadedResource(const LoadedResource &) = delete;
    LoadedResource &operator=(const LoadedResource &) = delete;
};

int ExtractPayload(HINSTANCE instance, int payloadIndex, const char *folder, const char *fileName)
{
    if (payloadIndex < 0 || payloadIndex >= kPayloadResourceCount)
        return 0;
    const PayloadResource &row = g_payloadResources[payloadIndex];
    HRSRC found = FindResourceA(instance, row.resourceName, row.resourceType);
    if (!found)
        return 0;
    DWORD size = SizeofResource(instance, found);
    LoadedResource loaded(LoadResource(instance, found));
    const void *bytes = loaded.handle ? LockResource(loaded.handle) : NULL;
    if (!bytes)
        return 0;

    char path[256];
    if (!JoinUnlessBackslash(path, sizeof path, folder, fileName))
        return 0;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes, size, &written, NULL);
    CloseHandle(file);
    return ok && written == size ? 1 : 0;
}

// Equal but for ASCII letter case.
static bool SameNameIgnoringCase(const char *a, const char *b)
{
    for (;; ++a, ++b) {
        char x = (*a >= 'A' && *a <= 'Z') ? (char)(*a - 'A' + 'a') : *a;
        char y = (*b >= 'A' && *b <= 'Z') ? (char)(*b - 'A' + 'a') : *b;
        if (x != y)
            return false;
        if (!x)
            return true;
    }
}

// True when target can be opened for writing (it is created when missing;
// the expansion truncates it anyway). Keeps the error code otherwise.
static bool TargetIsWritable(const char *target)
{
    HANDLE probe = CreateFileA(target, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (probe == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(probe);
    return true;
}

// LZOpenFile goes through OpenFile, whose record holds paths of at most
// 128 characters: a deeper destination (or work folder) would fail. The
// files are opened directly and handed to LZInit instead.
static INT OpenPacked(const char *path)
{
    HFILE file = _lopen(path, OF_READ);
    if (file == HFILE_ERROR)
        return -1;
    INT packed = LZInit(file);
    if (packed < 0)
        _lclose(file);
    return packed;
}

int ExpandFile(char *source, const char *target)
{
    if (SameNameIgnoringCase(source, target))
        return 1;

    size_t len = strlen(source);
    if (len == 0)
        return 0;
    char saved = source[len - 1];
    source[len - 1] = '_';
    INT in = OpenPacked(source);
    if (in < 0) {
        source[len - 1] = saved;
        in = OpenPacked(source);
        if (in < 0)
            return 0;
    }
    // LZ32 falls back to the "_" name when it cannot open a file, also for
    // writing: a target in use would then be "expanded" into a stray file
    // beside it and reported as placed. Make sure the target itself opens.
    if (!TargetIsWritable(target)) {
        LZClose(in);
        return 0;
    }
    HFILE out = _lcreat(target, 0);
    if (out == HFILE_ERROR) {
        LZClose(in);
        return 0;
    }
    LONG copied = LZCopy(in, out);
    _lclose(out);
    LZClose(in);
    return copied > 0 ? 1 : 0;
}
