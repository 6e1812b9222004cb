// SZDD (MS-DOS COMPRESS) packing with a shortest-output parse. Header-only so
// the command-line packer and the payload script generator share it; the
// format and the expander are the program's own (src/fileops/szdd.h).
#ifndef ZELTRA_TOOLS_SZDD_PACK_H
#define ZELTRA_TOOLS_SZDD_PACK_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fileops/szdd.h"

namespace szdd {

const int kWindow = kSzddWindowSize;
const int kMinMatch = kSzddMinMatch;
const int kMaxMatch = kSzddMaxMatch;
const int kMaxDistance = kWindow - 1;

// The expander's view: 4096 spaces, then the data. Position p of that
// stream sits in window slot (p - 16) mod 4096.
struct Stream {
    const std::vector<uint8_t> &data;
    uint8_t at(long p) const { return p < kWindow ? ' ' : data[p - kWindow]; }
};

struct Match {
    uint16_t length;   // 0: none
    uint16_t slot;     // window offset as the expander reads it
};

// Longest match for every data position. Candidates are the previous 4095
// stream positions; a match may run on into the bytes it produces.
inline std::vector<Match> FindMatches(const std::vector<uint8_t> &data)
{
    const long n = (long)data.size();
    Stream s{data};
    std::vector<Match> best(n, Match{0, 0});
    const int kHashBits = 16;
    std::vector<int32_t> head(1 << kHashBits, -1), prev(n, -1);
    auto hash = [&](long i) {
        return ((data[i] << 10) ^ (data[i + 1] << 5) ^ data[i + 2]) & ((1 << kHashBits) - 1);
    };
    auto extend = [&](long j, long i) {   // j: stream position, i: data position
        int limit = (int)std::min<long>(kMaxMatch, n - i);
        int k = 0;
        while (k < limit && s.at(j + k) == data[i + k])
            ++k;
        return k;
    };
    for (long i = 0; i < n; ++i) {
        Match m{0, 0};
        auto consider = [&](long j) {
            int k = extend(j, i);
            if (k >= kMinMatch && k > m.length) {
                m.length = (uint16_t)k;
                m.slot = (uint16_t)((j - 16) & (kWindow - 1));
            }
        };
        long cur = kWindow + i;
        // The initial spaces: one representative wholly inside them, and
        // the few positions whose match runs on into the data.
        if (i + 1 <= kWindow - kMaxMatch)
            consider(std::max<long>(i + 1, 0));
        for (long j = std::max<long>(i + 1, kWindow - kMaxMatch + 1); j < kWindow && m.length < kMaxMatch; ++j)
            consider(j);
        if (i + 2 < n) {
            int h = hash(i);
            for (long p = head[h]; p >= 0 && m.length < kMaxMatch; p = prev[p]) {
                long j = kWindow + p;
                if (cur - j > kMaxDistance)
                    break;
                consider(j);
            }
            prev[i] = head[h];
            head[h] = (int32_t)i;
        }
        best[i] = m;
    }
    return best;
}

// Shortest parse: 9 bits per literal, 17 per match (each token's flag bit
// included); any length from 3 up to the longest match is allowed.
inline std::vector<uint8_t> Pack(const std::vector<uint8_t> &data, char lastChar)
{
    const long n = (long)data.size();
    std::vector<Match> matches = FindMatches(data);
    std::vector<uint64_t> cost(n + 1, 0);
    std::vector<uint8_t> take(n, 0);   // 0 literal, else match length
    for (long i = n - 1; i >= 0; --i) {
        cost[i] = cost[i + 1] + 9;
        take[i] = 0;
        for (int len = kMinMatch; len <= matches[i].length; ++len) {
            uint64_t c = cost[i + len] + 17;
            if (c < cost[i] || (c == cost[i] && take[i] != 0)) {   // prefer longer on ties
                cost[i] = c;
                take[i] = (uint8_t)len;
            }
        }
    }

    std::vector<uint8_t> out(kSzddHeaderSize);
    SzddPutHeader(out.data(), lastChar, (unsigned)n);
    size_t flagAt = 0;
    int bit = 8;
    for (long i = 0; i < n;) {
        if (bit == 8) {
            flagAt = out.size();
            out.push_back(0);
            bit = 0;
        }
        if (take[i] == 0) {
            out[flagAt] |= (uint8_t)(1 << bit);
            out.push_back(data[i]);
            ++i;
        } else {
            int len = take[i];
            uint16_t slot = matches[i].slot;
            out.push_back((uint8_t)(slot & 0xff));
            out.push_back((uint8_t)(((slot >> 4) & 0xf0) | (len - kMinMatch)));
            i += len;
        }
        ++bit;
    }
    return out;
}

// The program's expander, for checking what we produce.
struct MemoryStream {
    const std::vector<uint8_t> *in;
    size_t at;
    std::vector<uint8_t> *out;
};

inline int ReadMemory(void *stream, unsigned char *buffer, unsigned size)
{
    MemoryStream *m = static_cast<MemoryStream *>(stream);
    size_t n = std::min<size_t>(size, m->in->size() - m->at);
    memcpy(buffer, m->in->data() + m->at, n);
    m->at += n;
    return (int)n;
}

inline bool WriteMemory(void *stream, const unsigned char *bytes, unsigned size)
{
    MemoryStream *m = static_cast<MemoryStream *>(stream);
    m->out->insert(m->out->end(), bytes, bytes + size);
    return true;
}

inline bool Unpack(const std::vector<uint8_t> &in, std::vector<uint8_t> *out)
{
    static SzddBuffers buffers;
    MemoryStream m{&in, 0, out};
    unsigned written = 0;
    out->clear();
    return SzddExpand(&buffers, ReadMemory, &m, WriteMemory, &m, &written) == kSzddExpanded;
}

inline uint32_t Crc32(const uint8_t *p, size_t n)
{
    uint32_t crc = 0xffffffffu;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

}  // namespace szdd

#endif
