// SZDD (MS-DOS COMPRESS) packing with a shortest-output parse. Header-only so
// the command-line packer and the payload script generator share it.
#ifndef ZELTRA_TOOLS_SZDD_PACK_H
#define ZELTRA_TOOLS_SZDD_PACK_H

#include <cstdint>
#include <cstring>
#include <vector>

namespace szdd {

const int kWindow = 4096;
const int kStart = kWindow - 16;   // the expander's first write position
const int kMinMatch = 3;
const int kMaxMatch = 18;
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

    std::vector<uint8_t> out = {'S', 'Z', 'D', 'D', 0x88, 0xf0, 0x27, 0x33, 'A', (uint8_t)lastChar};
    for (int b = 0; b < 4; ++b)
        out.push_back((uint8_t)((uint64_t)n >> (8 * b)));
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

// The expander, for checking what we produce.
inline bool Unpack(const std::vector<uint8_t> &in, std::vector<uint8_t> *out)
{
    if (in.size() < 14 || memcmp(in.data(), "SZDD\x88\xf0\x27\x33", 8) != 0)
        return false;
    uint32_t size = in[10] | (in[11] << 8) | (in[12] << 16) | ((uint32_t)in[13] << 24);
    uint8_t window[kWindow];
    memset(window, ' ', sizeof window);
    int pos = kStart;
    size_t p = 14;
    out->clear();
    while (p < in.size()) {
        uint8_t flags = in[p++];
        for (int bit = 0; bit < 8 && p < in.size(); ++bit) {
            if (flags & (1 << bit)) {
                uint8_t c = in[p++];
                out->push_back(c);
                window[pos] = c;
                pos = (pos + 1) & (kWindow - 1);
            } else {
                if (p + 1 >= in.size())
                    return false;
                int slot = in[p] | ((in[p + 1] & 0xf0) << 4);
                int len = (in[p + 1] & 0x0f) + kMinMatch;
                p += 2;
                for (int k = 0; k < len; ++k) {
                    uint8_t c = window[(slot + k) & (kWindow - 1)];
                    out->push_back(c);
                    window[pos] = c;
                    pos = (pos + 1) & (kWindow - 1);
                }
            }
        }
    }
    return out->size() == size;
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
