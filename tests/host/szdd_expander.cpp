// The program's SZDD expander (through the packer's check), built for the
// host, against libmspack: every packed payload file, then damaged, cut and
// lying copies of one of them.   szdd_expander MANIFEST WORK-DIR
#include <mspack.h>

#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>

#include "szdd_pack.h"

typedef std::vector<uint8_t> Bytes;

static Bytes Load(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

// libmspack's expansion, through files in work.
static bool Reference(const Bytes &packed, const std::string &work, Bytes *out)
{
    static msszdd_decompressor *mspack = mspack_create_szdd_decompressor(NULL);
    std::ofstream(work + "/in", std::ios::binary).write((const char *)packed.data(), packed.size());
    if (mspack->decompress(mspack, (work + "/in").c_str(), (work + "/out").c_str()) != MSPACK_ERR_OK)
        return false;
    *out = Load(work + "/out");
    return true;
}

int main(int argc, char **argv)
{
    std::ifstream manifest(argc == 3 ? argv[1] : "");
    std::string line, resource, mode, packedPath, rawPath, work = argc == 3 ? argv[2] : ".";
    int failures = 0, checked = 0;
    Bytes sample, ours, theirs;
    while (std::getline(manifest, line)) {
        std::istringstream(line) >> resource >> mode >> packedPath >> rawPath;
        if (mode != "szdd")
            continue;
        Bytes packed = Load(packedPath);
        if (!szdd::Unpack(packed, &ours) || !Reference(packed, work, &theirs) || ours != theirs || ours != Load(rawPath))
            printf("FAIL %s: the expansions differ\n", resource.c_str()), ++failures;
        ++checked;
        if (packed.size() > sample.size() && packed.size() < 30000)
            sample = packed;
    }
    // Bytes changed, the data cut, the header's size a little off: never
    // more than the header's size, and a success agrees with libmspack.
    std::mt19937 random(7);
    for (int round = 0; round < 3000 && !sample.empty(); ++round) {
        Bytes damaged = sample;
        for (int n = random() % 4; n >= 0; --n)
            damaged[kSzddHeaderSize + random() % (damaged.size() - kSzddHeaderSize)] = (uint8_t)random();
        if (round % 3 == 1)
            damaged.resize(kSzddHeaderSize + random() % (damaged.size() - kSzddHeaderSize));
        if (round % 3 == 2)
            damaged[10] = (uint8_t)(damaged[10] + (int)(random() % 5) - 2);
        unsigned size = damaged[10] | damaged[11] << 8 | damaged[12] << 16 | (unsigned)damaged[13] << 24;
        bool expanded = szdd::Unpack(damaged, &ours);
        if (ours.size() > size || (expanded && (!Reference(damaged, work, &theirs) || ours != theirs)))
            printf("FAIL damaged copy %d: %zu bytes of %u\n", round, ours.size(), size), ++failures;
    }
    printf("%d payload files expanded alike, %d failures\n", checked, failures);
    return failures || checked < 40 ? 1 : 0;
}
