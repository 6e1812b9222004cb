#include "fileops/szdd.h"

#include <string.h>

const unsigned char kSzddMagic[kSzddMagicSize] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};

void SzddPutHeader(unsigned char *header, char lastChar, unsigned expandedSize)
{
    memcpy(header, kSzddMagic, kSzddMagicSize);
    header[8] = 'A';
    header[9] = static_cast<unsigned char>(lastChar);
    for (unsigned i = 0; i < 4; ++i)
        header[10 + i] = static_cast<unsigned char>(expandedSize >> (8 * i));
}

// The most one flag byte and its eight tokens read, and write.
static const unsigned kGroupIn = 1 + 8 * 2;
static const unsigned kGroupOut = 8 * kSzddMaxMatch;
static const unsigned kWindowMask = kSzddWindowSize - 1;

static_assert(kSzddInputSize >= kSzddHeaderSize + kGroupIn, "the header and a group fit into the input");
// A flush moves the window's 4096 bytes down from behind the flushed ones:
// never overlapping.
static_assert(kSzddOutputSize >= kSzddWindowSize + kGroupOut + 3, "a flush never overlaps the window");

struct Expansion {
    SzddBuffers *buffers;
    SzddRead read;
    void *source;
    SzddWrite write;
    void *target;
    unsigned at, end;   // the unread input: input[at, end)
    bool ended;         // the source has nothing more
    unsigned written;
};

// Tops the input up to a whole group, unless the source ends first.
static bool Refill(Expansion *e)
{
    unsigned char *input = e->buffers->input;
    unsigned left = e->end - e->at;
    memmove(input, input + e->at, left);
    e->at = 0;
    e->end = left;
    while (!e->ended && e->end < kGroupIn) {
        unsigned room = kSzddInputSize - e->end;
        int got = e->read(e->source, input + e->end, room);
        if (got < 0 || unsigned(got) > room)
            return false;
        if (got == 0)
            e->ended = true;
        e->end += unsigned(got);
    }
    return true;
}

static bool Put(Expansion *e, const unsigned char *bytes, unsigned size)
{
    if (size && !e->write(e->target, bytes, size))
        return false;
    e->written += size;
    return true;
}

static SzddResult Copy(Expansion *e)
{
    unsigned char *input = e->buffers->input;
    if (!Put(e, input + e->at, e->end - e->at))
        return kSzddWriteFailed;
    while (!e->ended) {
        int got = e->read(e->source, input, kSzddInputSize);
        if (got < 0 || unsigned(got) > kSzddInputSize)
            return kSzddReadFailed;
        if (got == 0)
            e->ended = true;
        else if (!Put(e, input, unsigned(got)))
            return kSzddWriteFailed;
    }
    return kSzddCopied;
}

// The output buffer holds the window, then the bytes not yet written; the
// window slot of output[i] is (base + i) mod 4096.
static SzddResult Expand(Expansion *e, unsigned expandedSize)
{
    unsigned char *const out = e->buffers->output;
    // Room for a group, and the three bytes a match may write beyond itself.
    unsigned char *const flushAt = out + sizeof e->buffers->output - kGroupOut - 3;
    const unsigned char *const input = e->buffers->input;
    memset(out, ' ', kSzddWindowSize);
    unsigned char *o = out + kSzddWindowSize;
    unsigned base = kSzddFirstPosition;   // output[4096]'s slot too: 4096 is 0 mod 4096
    unsigned left = expandedSize;         // what the header still promises

    for (;;) {
        if (e->end - e->at < kGroupIn && !Refill(e))
            return kSzddReadFailed;
        if (e->at == e->end)
            break;
        if (o > flushAt) {
            if (!Put(e, out + kSzddWindowSize, unsigned(o - out) - kSzddWindowSize))
                return kSzddWriteFailed;
            base += unsigned(o - out);
            memcpy(out, o - kSzddWindowSize, kSzddWindowSize);
            o = out + kSzddWindowSize;
        }
        const unsigned char *p = input + e->at;
        const unsigned char *const end = input + e->end;
        unsigned flags = *p++;
        if (unsigned(end - p) >= kGroupIn - 1 && left >= kGroupOut) {
            // A whole group fits on both sides: no checks per token.
            unsigned char *const start = o;
            for (unsigned bit = 0; bit < 8; ++bit, flags >>= 1) {
                if (flags & 1) {
                    *o++ = *p++;
                    continue;
                }
                unsigned slot = p[0] | (p[1] & 0xF0u) << 4;
                unsigned length = (p[1] & 0x0Fu) + kSzddMinMatch;
                p += 2;
                unsigned distance = (base + unsigned(o - out) - slot) & kWindowMask;
                if (!distance)
                    distance = kSzddWindowSize;
                const unsigned char *from = o - distance;
                unsigned char *to = o;
                o += length;
                // Four bytes at a time, up to three beyond the match, which
                // the next token overwrites.
                if (distance >= 4) {
                    // Each four is read after the bytes it repeats were written.
                    do {
                        memcpy(to, from, 4);
                        to += 4;
                        from += 4;
                    } while (to < o);
                } else if (distance != 3) {
                    // A run of one byte or of a pair: the same four throughout.
                    const unsigned char four[4] = {from[0], from[distance - 1], from[0], from[distance - 1]};
                    do {
                        memcpy(to, four, 4);
                        to += 4;
                    } while (to < o);
                } else {
                    do
                        *to++ = *from++;
                    while (to < o);
                }
            }
            left -= unsigned(o - start);
        } else {
            for (unsigned bit = 0; bit < 8 && p < end; ++bit, flags >>= 1) {
                if (flags & 1) {
                    if (!left)
                        return kSzddDamaged;
                    *o++ = *p++;
                    --left;
                    continue;
                }
                if (end - p < 2)
                    return kSzddDamaged;
                unsigned slot = p[0] | (p[1] & 0xF0u) << 4;
                unsigned length = (p[1] & 0x0Fu) + kSzddMinMatch;
                p += 2;
                if (length > left)
                    return kSzddDamaged;
                left -= length;
                unsigned distance = (base + unsigned(o - out) - slot) & kWindowMask;
                const unsigned char *from = o - (distance ? distance : kSzddWindowSize);
                do
                    *o++ = *from++;
                while (--length);
            }
        }
        e->at = unsigned(p - input);
    }
    if (!Put(e, out + kSzddWindowSize, unsigned(o - out) - kSzddWindowSize))
        return kSzddWriteFailed;
    return left ? kSzddDamaged : kSzddExpanded;
}

SzddResult SzddExpand(SzddBuffers *buffers, SzddRead read, void *source, SzddWrite write, void *target,
                      unsigned *written)
{
    Expansion e = {buffers, read, source, write, target, 0, 0, false, 0};
    SzddResult result = kSzddReadFailed;
    if (Refill(&e)) {
        const unsigned char *header = buffers->input;
        if (e.end < kSzddHeaderSize || memcmp(header, kSzddMagic, kSzddMagicSize) != 0) {
            result = Copy(&e);
        } else if (header[8] != 'A') {
            result = kSzddUnknownMethod;
        } else {
            unsigned size = header[10] | header[11] << 8 | header[12] << 16 | unsigned(header[13]) << 24;
            e.at = kSzddHeaderSize;
            result = Expand(&e, size);
        }
    }
    *written = e.written;
    return result;
}
