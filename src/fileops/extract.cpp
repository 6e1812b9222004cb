#include "fileops/extract.h"

#include <string.h>

#include "fileops/szdd.h"
#include "shell/catalogue.h"
#include "shell/paths.h"

char g_szTempName[261];

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

// An open file handle, closed on every way out.
struct FileHandle {
    HANDLE handle;
    explicit FileHandle(HANDLE h) : handle(h) {}
    ~FileHandle() { if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle); }
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
};

static HANDLE OpenForReading(const char *path)
{
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
}

static int ReadFromFile(void *file, unsigned char *buffer, unsigned size)
{
    DWORD got = 0;
    return ReadFile(static_cast<HANDLE>(file), buffer, size, &got, NULL) ? int(got) : -1;
}

static bool WriteToFile(void *file, const unsigned char *bytes, unsigned size)
{
    DWORD put = 0;
    return WriteFile(static_cast<HANDLE>(file), bytes, size, &put, NULL) && put == size;
}

// The expansion's buffers, one set for the whole run: files are placed one
// at a time, and nothing is allocated per file.
static SzddBuffers s_szdd;

// Expands the opened source onto target (created, or truncated). A failed
// expansion leaves the partial target, as a failed write does.
static int ExpandOpened(HANDLE source, const char *target)
{
    FileHandle out(CreateFileA(target, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, NULL));
    if (out.handle == INVALID_HANDLE_VALUE)
        return 0;
    unsigned written = 0;
    SzddResult result = SzddExpand(&s_szdd, ReadFromFile, source, WriteToFile, out.handle, &written);
    if (result == kSzddDamaged || result == kSzddUnknownMethod)
        SetLastError(ERROR_INVALID_DATA);
    else if (result != kSzddReadFailed && result != kSzddWriteFailed && written == 0)
        SetLastError(ERROR_HANDLE_EOF);   // an empty result counts as a failure
    return (result == kSzddExpanded || result == kSzddCopied) && written > 0 ? 1 : 0;
}

int ExpandExactFile(const char *source, const char *target)
{
    if (SameNameIgnoringCase(source, target))
        return 1;
    FileHandle in(OpenForReading(source));
    return in.handle == INVALID_HANDLE_VALUE ? 0 : ExpandOpened(in.handle, target);
}

int ExpandFile(char *source, const char *target)
{
    if (SameNameIgnoringCase(source, target))
        return 1;
    size_t len = strlen(source);
    if (len == 0)
        return 0;
    // The conventional name of a packed file comes first.
    char saved = source[len - 1];
    source[len - 1] = '_';
    FileHandle in(OpenForReading(source));
    if (in.handle == INVALID_HANDLE_VALUE) {
        source[len - 1] = saved;
        in.handle = OpenForReading(source);
        if (in.handle == INVALID_HANDLE_VALUE)
            return 0;
    }
    return ExpandOpened(in.handle, target);
}
