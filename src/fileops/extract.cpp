#include "fileops/extract.h"

#include <lzexpand.h>
#include <string.h>

#include "install/catalogue.h"
#include "shell/paths.h"
#include "shell/sysdll.h"

// A loaded resource, released on every way out.
struct LoadedResource {
    HGLOBAL handle;
    explicit LoadedResource(HGLOBAL h) : handle(h) {}
    ~LoadedResource() { if (handle) FreeResource(handle); }
    LoadedResource(const LoadedResource &) = delete;
    LoadedResource &operator=(const LoadedResource &) = delete;
};

// CRC-32 (the zip polynomial), as the build records it. A byte at a time
// through a table made on first use: a bit at a time, the check of a large
// payload cost as much as writing it.
static DWORD s_crcTable[256];

static void MakeCrcTable()
{
    for (DWORD n = 0; n < 256; ++n) {
        DWORD crc = n;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        s_crcTable[n] = crc;
    }
}

static DWORD Crc32(const BYTE *data, DWORD size)
{
    if (!s_crcTable[1])
        MakeCrcTable();
    DWORD crc = 0xFFFFFFFFu;
    for (DWORD i = 0; i < size; ++i)
        crc = (crc >> 8) ^ s_crcTable[(crc ^ data[i]) & 0xFFu];
    return ~crc;
}

static DWORD ReadLE32(const BYTE *p)
{
    return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24;
}

// The build's record of every payload resource (PAYLOADSUMS): 24-byte
// records of the name, NUL-padded to 16 bytes, then size and CRC-32.
const DWORD kSumNameSize = 16;
const DWORD kSumRecordSize = kSumNameSize + 8;

// True when the resource's bytes are exactly those the build recorded for
// resourceName. A resource without a record is never trusted.
static bool MatchesRecordedSum(HINSTANCE instance, const char *resourceName, const void *bytes, DWORD size)
{
    if (IS_INTRESOURCE(resourceName) || strlen(resourceName) >= kSumNameSize)
        return false;
    HRSRC found = FindResourceA(instance, "PAYLOADSUMS", RT_RCDATA);
    if (!found)
        return false;
    DWORD tableSize = SizeofResource(instance, found);
    LoadedResource loaded(LoadResource(instance, found));
    const BYTE *table = static_cast<const BYTE *>(loaded.handle ? LockResource(loaded.handle) : NULL);
    if (!table)
        return false;
    char name[kSumNameSize];
    memset(name, 0, sizeof name);
    memcpy(name, resourceName, strlen(resourceName));
    for (DWORD at = 0; at + kSumRecordSize <= tableSize; at += kSumRecordSize) {
        const BYTE *record = table + at;
        if (memcmp(record, name, kSumNameSize) != 0)
            continue;
        return ReadLE32(record + kSumNameSize) == size &&
               ReadLE32(record + kSumNameSize + 4) == Crc32(static_cast<const BYTE *>(bytes), size);
    }
    return false;
}

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
    // A damaged or altered payload writes nothing.
    if (!MatchesRecordedSum(instance, row.resourceName, bytes, size)) {
        SetLastError(ERROR_CRC);
        return 0;
    }

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

// LZ32's functions, from the system folder only.
struct Lz32 {
    decltype(&LZInit) init;
    decltype(&LZCopy) copy;
    decltype(&LZClose) close;
};

static bool LoadLz32(Lz32 *lz)
{
    lz->init = SystemFunction<decltype(&LZInit)>("lz32.dll", "LZInit");
    lz->copy = SystemFunction<decltype(&LZCopy)>("lz32.dll", "LZCopy");
    lz->close = SystemFunction<decltype(&LZClose)>("lz32.dll", "LZClose");
    return lz->init && lz->copy && lz->close;
}

// LZOpenFile goes through OpenFile, whose record holds paths of at most
// 128 characters: a deeper destination (or work folder) would fail. The
// files are opened directly and handed to LZInit instead.
static INT OpenPacked(const Lz32 &lz, const char *path)
{
    HFILE file = _lopen(path, OF_READ);
    if (file == HFILE_ERROR)
        return -1;
    INT packed = lz.init(file);
    if (packed < 0)
        _lclose(file);
    return packed;
}

int ExpandFile(char *source, const char *target)
{
    if (SameNameIgnoringCase(source, target))
        return 1;

    size_t len = strlen(source);
    Lz32 lz;
    if (len == 0 || !LoadLz32(&lz))
        return 0;
    char saved = source[len - 1];
    source[len - 1] = '_';
    INT in = OpenPacked(lz, source);
    if (in < 0) {
        source[len - 1] = saved;
        in = OpenPacked(lz, source);
        if (in < 0)
            return 0;
    }
    // LZ32 falls back to the "_" name when it cannot open a file, also for
    // writing: a target in use would then be "expanded" into a stray file
    // beside it and reported as placed. Make sure the target itself opens.
    if (!TargetIsWritable(target)) {
        lz.close(in);
        return 0;
    }
    HFILE out = _lcreat(target, 0);
    if (out == HFILE_ERROR) {
        lz.close(in);
        return 0;
    }
    LONG copied = lz.copy(in, out);
    _lclose(out);
    lz.close(in);
    return copied > 0 ? 1 : 0;
}
