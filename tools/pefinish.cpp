// Finishes a linked PE image in place: every section's raw size rounded up to
// the file alignment (the linker leaves the last one short), then the
// checksum that the loader of NT checks for drivers and tools like
// osslsigncode report. Run after linking and before signing; running it
// again changes nothing.
//   pefinish IMAGE
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

uint32_t get(const std::vector<uint8_t> &b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + size_t(i)];
    return v;
}

void put32(std::vector<uint8_t> &b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

bool fail(const std::string &image, const char *why) {
    std::fprintf(stderr, "pefinish: %s: %s\n", image.c_str(), why);
    return false;
}

// The sum of the 16-bit words with the carries folded back in, the
// checksum field counted as zero, plus the file's length.
uint32_t checksum(const std::vector<uint8_t> &b, size_t field) {
    uint64_t sum = 0;
    for (size_t i = 0; i < b.size(); i += 2) {
        if (i == field || i == field + 2) continue;
        sum += b[i] | (i + 1 < b.size() ? uint32_t(b[i + 1]) << 8 : 0);
        sum = (sum & 0xffff) + (sum >> 16);
    }
    sum = (sum & 0xffff) + (sum >> 16);
    return uint32_t(sum + b.size());
}

bool finish(const std::string &image, std::vector<uint8_t> &b) {
    if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') return fail(image, "not an MZ image");
    size_t pe = get(b, 0x3c, 4);
    if (pe + 24 > b.size() || get(b, pe, 4) != 0x4550) return fail(image, "no PE header");
    size_t sections = get(b, pe + 6, 2), optSize = get(b, pe + 20, 2), opt = pe + 24;
    if (opt + optSize > b.size() || optSize < 96) return fail(image, "optional header cut short");
    uint32_t magic = get(b, opt, 2);
    size_t dirs = opt + (magic == 0x20b ? 112 : 96);
    if (magic != 0x10b && magic != 0x20b) return fail(image, "unknown optional header");
    // A certificate table covers the raw data and the checksum: too late.
    if (dirs + 5 * 8 <= opt + optSize && get(b, dirs + 4 * 8 + 4, 4) != 0)
        return fail(image, "already signed");
    uint32_t align = get(b, opt + 36, 4);
    if (align < 512 || (align & (align - 1))) return fail(image, "odd file alignment");
    size_t table = opt + optSize;
    if (table + sections * 40 > b.size()) return fail(image, "section table cut short");
    for (size_t i = 0; i < sections; ++i) {
        size_t h = table + i * 40;
        uint32_t raw = get(b, h + 16, 4), at = get(b, h + 20, 4);
        uint32_t rounded = (raw + align - 1) & ~(align - 1);
        if (raw == 0 || rounded == raw) continue;
        if (size_t(at) + raw > b.size()) return fail(image, "section data beyond the end");
        // Only padding may follow within the rounded size: zeros or the end.
        for (size_t p = size_t(at) + raw; p < size_t(at) + rounded && p < b.size(); ++p)
            if (b[p]) return fail(image, "data after a section within its alignment");
        for (size_t j = 0; j < sections; ++j) {
            uint32_t other = get(b, table + j * 40 + 20, 4);
            if (j != i && get(b, table + j * 40 + 16, 4) && other > at && other < at + rounded)
                return fail(image, "sections overlap once aligned");
        }
        if (b.size() < size_t(at) + rounded) b.resize(size_t(at) + rounded, 0);
        put32(b, h + 16, rounded);
    }
    put32(b, opt + 64, checksum(b, opt + 64));
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) { std::fprintf(stderr, "usage: pefinish IMAGE\n"); return 2; }
    std::string image = argv[1];
    std::vector<uint8_t> b;
    FILE *f = std::fopen(image.c_str(), "rb");
    if (!f) { std::perror(image.c_str()); return 1; }
    uint8_t chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) b.insert(b.end(), chunk, chunk + n);
    bool readOk = !std::ferror(f);
    std::fclose(f);
    if (!readOk || !finish(image, b)) return 1;
    f = std::fopen(image.c_str(), "wb");
    if (!f) { std::perror(image.c_str()); return 1; }
    bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    if (std::fclose(f) != 0 || !ok) { std::perror(image.c_str()); return 1; }
    return 0;
}
