// Writing an embedded payload resource to a file, and expanding it.
#ifndef ZELTRA_FILEOPS_EXTRACT_H
#define ZELTRA_FILEOPS_EXTRACT_H

#include <windows.h>

// The scratch file name (no folder) in the temporary folder under which
// every payload row is extracted; set at start-up.
extern char g_szTempName[261];

// Writes the bytes of payload row payloadIndex to folder\fileName.
// 1 when every byte was written, 0 otherwise. Nothing is written when the
// resource is missing or its size or CRC-32 differs from the build's record.
int ExtractPayload(HINSTANCE instance, int payloadIndex, const char *folder, const char *fileName);

// Expands an SZDD source onto target, or copies any other source unchanged,
// as Windows' LZ library does. source must be a writable buffer: the file
// read is its name with the last letter changed to "_" when that exists, and
// on return source names the file actually read. 1 on success (also when
// the two names are the same but for case), 0 on failure: no source, a
// target that cannot be written, an empty result, damaged SZDD data.
int ExpandFile(char *source, const char *target);

// The same for exactly the file source names, never a "_" twin of it: for
// a file the program has just written and checked.
int ExpandExactFile(const char *source, const char *target);

#endif
