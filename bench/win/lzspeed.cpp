// Expansion throughput: the SZDD file through LZ32 (LZOpenFile/LZCopy, as
// the installer once expanded) and through setup.exe's own expander
// (ExpandExactFile of the core library), against a plain CopyFile of the
// expanded result, the limit for writing that many bytes. Best of N rounds.
//   lzspeed.exe PACKED_FILE WORK_FOLDER [ROUNDS]
// Prints: expanded_bytes lz_seconds copy_seconds own_seconds
#include <windows.h>
#include <lzexpand.h>
#include <stdio.h>
#include <stdlib.h>

#include "fileops/extract.h"

static double Now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(f.QuadPart);
}

static LONG Expand(const char *packed, const char *target)
{
    OFSTRUCT of;
    INT in = LZOpenFileA(const_cast<char *>(packed), &of, OF_READ);
    if (in < 0)
        return -1;
    INT out = LZOpenFileA(const_cast<char *>(target), &of, OF_CREATE | OF_WRITE);
    if (out < 0) {
        LZClose(in);
        return -1;
    }
    LONG n = LZCopy(in, out);
    LZClose(out);
    LZClose(in);
    return n;
}

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    int rounds = argc > 3 ? atoi(argv[3]) : 5;
    char expanded[MAX_PATH], copied[MAX_PATH], own[MAX_PATH];
    snprintf(expanded, sizeof expanded, "%s\\expanded.bin", argv[2]);
    snprintf(copied, sizeof copied, "%s\\copied.bin", argv[2]);
    snprintf(own, sizeof own, "%s\\own.bin", argv[2]);
    double bestLz = 1e9, bestCopy = 1e9, bestOwn = 1e9;
    LONG size = 0;
    for (int r = 0; r < rounds; ++r) {
        DeleteFileA(expanded);
        double t0 = Now();
        size = Expand(argv[1], expanded);
        double t1 = Now();
        if (size <= 0)
            return 1;
        if (t1 - t0 < bestLz)
            bestLz = t1 - t0;
        DeleteFileA(copied);
        t0 = Now();
        if (!CopyFileA(expanded, copied, FALSE))
            return 1;
        t1 = Now();
        if (t1 - t0 < bestCopy)
            bestCopy = t1 - t0;
        DeleteFileA(own);
        t0 = Now();
        if (!ExpandExactFile(argv[1], own))
            return 1;
        t1 = Now();
        if (t1 - t0 < bestOwn)
            bestOwn = t1 - t0;
    }
    WIN32_FILE_ATTRIBUTE_DATA a, b;
    if (!GetFileAttributesExA(expanded, GetFileExInfoStandard, &a) || !GetFileAttributesExA(own, GetFileExInfoStandard, &b) ||
        a.nFileSizeLow != b.nFileSizeLow)
        return 1;
    DeleteFileA(expanded);
    DeleteFileA(copied);
    DeleteFileA(own);
    printf("%ld %.6f %.6f %.6f\n", (long)size, bestLz, bestCopy, bestOwn);
    return 0;
}
