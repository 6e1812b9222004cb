// Writing an embedded payload resource to a file, and expanding it.
#ifndef ZELTRA_FILEOPS_EXTRACT_H
#define ZELTRA_FILEOPS_EXTRACT_H

#include <windows.h>

// Writes the bytes of payload row payloadIndex to folder\fileName.
// 1 when every byte was written, 0 otherwise. Nothing is written when the
// resource is missing or its size or CRC-32 differs from the build's record.
int ExtractPayload(HINSTANCE instance, int payloadIndex, const char *folder, const char *fileName);

// Expands (or copies) source onto target through LZ32. source must be a
// writable buffer: on return it names the file actually read, which ends in
// "_" when that variant existed. 1 on success (also when the two names are
// the same but for case), 0 on failure.
int ExpandFile(char *source, const char *target);

#endif
