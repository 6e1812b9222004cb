// The payload packer: SZDD output with a shortest-output parse.
//   szdd IN OUT [LASTCHAR]   pack IN (LASTCHAR: the letter "_" stands for)
//   szdd --cases DIR         write the edge inputs and their packed forms
#include <cstdio>
#include <cstdlib>
#include <string>

#include "szdd_pack.h"

static bool ReadAll(const std::string &path, std::vector<uint8_t> *data)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    uint8_t buffer[65536];
    size_t n;
    data->clear();
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        data->insert(data->end(), buffer, buffer + n);
    fclose(f);
    return true;
}

static bool WriteAll(const std::string &path, const std::vector<uint8_t> &data)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
    return fclose(f) == 0 && ok;
}

static bool PackChecked(const std::vector<uint8_t> &raw, char last, const std::string &out)
{
    std::vector<uint8_t> packed = szdd::Pack(raw, last), back;
    if (!szdd::Unpack(packed, &back) || back != raw) {
        fprintf(stderr, "szdd: internal check failed for %s\n", out.c_str());
        return false;
    }
    return WriteAll(out, packed);
}

static std::vector<uint8_t> Text(size_t size, uint32_t seed)
{
    static const char *words[] = {"the", "file", "transfer", "site", "remote", "folder", "queue",
                                  "server", "connect", "ZELTRA", "upload", "download", "list",
                                  "binary", "ASCII", "mode", "passive", "port", "directory", "a"};
    std::vector<uint8_t> text;
    uint32_t x = seed;
    while (text.size() < size) {
        x = x * 1103515245u + 12345u;
        const char *w = words[(x >> 16) % 20];
        text.insert(text.end(), w, w + strlen(w));
        text.push_back((x >> 8) % 11 == 0 ? '\n' : ' ');
    }
    text.resize(size);
    return text;
}

static int WriteCases(const std::string &dir)
{
    struct Case { const char *name; std::vector<uint8_t> data; };
    std::vector<Case> cases;
    cases.push_back({"empty", {}});
    cases.push_back({"one", {'x'}});
    cases.push_back({"space", {' '}});
    for (int n : {17, 18, 19}) {
        std::vector<uint8_t> d;
        for (int i = 0; i < n; ++i)
            d.push_back((uint8_t)('a' + i % 7));
        cases.push_back({n == 17 ? "len17" : n == 18 ? "len18" : "len19", d});
    }
    cases.push_back({"spaces", std::vector<uint8_t>(5000, ' ')});
    cases.push_back({"repeat", std::vector<uint8_t>(100000, 'Z')});
    cases.push_back({"zeros", std::vector<uint8_t>(70000, 0)});
    std::vector<uint8_t> random(300000);
    uint32_t x = 12345;
    for (auto &b : random) {
        x ^= x << 13; x ^= x >> 17; x ^= x << 5;
        b = (uint8_t)x;
    }
    cases.push_back({"random", random});
    cases.push_back({"text", Text(60000, 7)});
    std::vector<uint8_t> big = Text(1300000, 99);
    for (size_t i = 0; i < big.size(); i += 997)
        big[i] = (uint8_t)(i * 31);
    cases.push_back({"big", big});
    for (const Case &c : cases) {
        std::string base = dir + "/" + c.name;
        if (!WriteAll(base + ".raw", c.data) || !PackChecked(c.data, 'w', base + ".szdd"))
            return 1;
    }
    return 0;
}

int main(int argc, char **argv)
{
    if (argc == 3 && std::string(argv[1]) == "--cases")
        return WriteCases(argv[2]);
    if (argc < 3 || argc > 4) {
        fprintf(stderr, "usage: szdd IN OUT [LASTCHAR] | szdd --cases DIR\n");
        return 2;
    }
    std::vector<uint8_t> raw;
    if (!ReadAll(argv[1], &raw)) {
        fprintf(stderr, "szdd: cannot read %s\n", argv[1]);
        return 1;
    }
    std::string in = argv[1];
    char last = argc == 4 ? argv[3][0] : (in.empty() ? ' ' : in.back());
    return PackChecked(raw, last, argv[2]) ? 0 : 1;
}
