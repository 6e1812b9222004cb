// SZDD, the MS-DOS COMPRESS format: the header, and expansion between two
// byte streams. No platform and no allocation: setup.exe expands the payload
// with it, and the build's packer checks its own output with it.
#ifndef ZELTRA_FILEOPS_SZDD_H
#define ZELTRA_FILEOPS_SZDD_H

// The 14-byte header: the magic, the method 'A', the letter that "_" stands
// for in the file's name, and the expanded size (32 bits, little-endian).
const unsigned kSzddHeaderSize = 14;
const unsigned kSzddMagicSize = 8;
extern const unsigned char kSzddMagic[kSzddMagicSize];

// LZSS over a 4096-byte window that starts as spaces, written from 16 bytes
// before its end. A flag byte's set bit (lowest first) is a literal, a clear
// one a 2-byte match of 3 to 18 bytes at a window offset.
const unsigned kSzddWindowSize = 4096;
const unsigned kSzddFirstPosition = kSzddWindowSize - 16;
const unsigned kSzddMinMatch = 3;
const unsigned kSzddMaxMatch = 18;

void SzddPutHeader(unsigned char *header, char lastChar, unsigned expandedSize);

// Reads up to size bytes: the count read, 0 at the end, negative on error.
typedef int (*SzddRead)(void *source, unsigned char *buffer, unsigned size);
// Writes size bytes: false unless all were written.
typedef bool (*SzddWrite)(void *target, const unsigned char *bytes, unsigned size);

enum SzddResult {
    kSzddExpanded,        // an SZDD source, expanded
    kSzddCopied,          // any other source, copied unchanged
    kSzddReadFailed,
    kSzddWriteFailed,
    kSzddUnknownMethod,   // the SZDD magic with a method other than 'A'
    kSzddDamaged          // cut inside a token, or more or less than the header's size
};

const unsigned kSzddInputSize = 16384;
const unsigned kSzddOutputSize = 32768;

// The fixed buffers of one expansion, reused from file to file. The output
// buffer follows the window: a match copies from the bytes just before it.
struct SzddBuffers {
    unsigned char input[kSzddInputSize];
    unsigned char output[kSzddWindowSize + kSzddOutputSize];
};

// Expands an SZDD source onto target, or copies any other source unchanged;
// *written counts the bytes handed to write. Damaged data stops the
// expansion at the first token that does not fit, and nothing is written
// past the header's size; some of what came before may have been written.
SzddResult SzddExpand(SzddBuffers *buffers, SzddRead read, void *source, SzddWrite write, void *target,
                      unsigned *written);

#endif
