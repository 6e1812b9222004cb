// Builds the payload: packs every carried catalogue row and writes the
// resource script that embeds them, straight from the catalogue table, so
// the two cannot drift apart.
//   payloadrc STANDIN-DIR OVERRIDE-DIR|- OUT-DIR [INSTALL-INI]
// With INSTALL-INI the options file is carried too, as the plain resource
// INSTINI with its record like every other.
// Writes into OUT-DIR: <resource>.szdd (or .txt for the plain INI template),
// payload.rc, payload_sums.h (size and CRC-32 of each stored resource) and
// manifest.txt ("resource szdd|plain stored-path raw-path" per line).
// The sums also go into setup.exe as the RCDATA resource PAYLOADSUMS
// (payload_sums.bin), which the program checks before it writes a resource
// out: one 24-byte record per resource, its name NUL-padded to 16 bytes,
// then its size and CRC-32 as little-endian 32-bit numbers.
#include <cstdio>
#include <string>
#include <dirent.h>
#include <map>
#include <sys/stat.h>

#include "szdd_pack.h"

struct Row { const char *resource, *target; int carried; };
static const Row kRows[] = {
#define ZL_DESC_MSG(n) ""
#define ZL_ROW(resource, compressed, source, target, description, icon, required, carried) \
    {resource, target, carried},
#include "shell/catalogue_rows.h"
#undef ZL_ROW
};

static void AppendLE32(std::string *out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out->push_back(char((value >> (8 * i)) & 0xFF));
}

const size_t kSumNameSize = 16;

// Stored as plain text: read line by line by the INI merge, never expanded.
static const char kPlainResource[] = "INIFILE1";

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

static bool WriteAll(const std::string &path, const std::string &text)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    return fclose(f) == 0 && ok;
}

static std::string Lower(std::string s)
{
    for (char &c : s)
        c = (char)tolower((unsigned char)c);
    return s;
}

// The files of a folder by lower-case name: Windows names ignore case.
static std::map<std::string, std::string> FilesByName(const std::string &dir)
{
    std::map<std::string, std::string> files;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return files;
    while (dirent *e = readdir(d)) {
        std::string path = dir + "/" + e->d_name;
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            files[Lower(e->d_name)] = path;
    }
    closedir(d);
    return files;
}

// A real product folder must hold every carried file: says what is missing
// (all of it, then fails), which names differ from the catalogue's only in
// letter case, and what the folder has that the payload leaves out.
static bool CheckProductFolder(const std::string &dir, const std::map<std::string, std::string> &files)
{
    bool ok = true;
    std::map<std::string, bool> taken;
    std::string missing;
    for (const Row &row : kRows) {
        if (!row.carried)
            continue;
        auto found = files.find(Lower(row.target));
        if (found == files.end()) {
            missing += std::string("  ") + row.target + "\n";
            continue;
        }
        taken[found->first] = true;
        std::string name = found->second.substr(found->second.rfind('/') + 1);
        if (name != row.target)
            fprintf(stderr, "payloadrc: %s stands for %s (the names differ only in letter case); it installs as %s\n",
                    name.c_str(), row.target, row.target);
    }
    if (!missing.empty()) {
        fprintf(stderr, "payloadrc: %s lacks files the payload carries:\n%s", dir.c_str(), missing.c_str());
        ok = false;
    }
    DIR *d = opendir(dir.c_str());
    if (!d) {
        fprintf(stderr, "payloadrc: cannot read the folder %s\n", dir.c_str());
        return false;
    }
    std::map<std::string, std::string> seen;   // lower-case name -> name
    while (dirent *e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        auto twin = seen.find(Lower(name));
        if (twin != seen.end()) {
            fprintf(stderr, "payloadrc: %s and %s name the same file on Windows; keep one\n",
                    twin->second.c_str(), name.c_str());
            ok = false;
        }
        seen[Lower(name)] = name;
    }
    closedir(d);
    for (const auto &entry : seen) {
        if (taken.count(entry.first))
            continue;
        struct stat st;
        bool isFile = stat((dir + "/" + entry.second).c_str(), &st) == 0 && S_ISREG(st.st_mode);
        fprintf(stderr, "payloadrc: left out (%s): %s\n",
                isFile ? "the payload does not carry it" : "not a file", entry.second.c_str());
    }
    return ok;
}

int main(int argc, char **argv)
{
    if (argc != 4 && argc != 5) {
        fprintf(stderr, "usage: payloadrc STANDIN-DIR OVERRIDE-DIR|- OUT-DIR [INSTALL-INI]\n");
        return 2;
    }
    std::string standin = argv[1], override = argv[2], out = argv[3];
    std::string rc = "// The payload, generated from the catalogue by payloadrc. Do not edit.\n"
                     "LANGUAGE 0x09, 0x01  // LANG_ENGLISH, SUBLANG_ENGLISH_US (1033)\n\n";
    std::string sums = "// Size and CRC-32 of every stored payload resource; generated.\n"
                       "struct PayloadSum { const char *resource; unsigned long size; unsigned long crc32; };\n"
                       "static const PayloadSum kPayloadSums[] = {\n";
    std::string manifest, sumsTable;
    std::map<std::string, std::string> real;
    if (override != "-") {
        real = FilesByName(override);
        if (!CheckProductFolder(override, real))
            return 1;
    }
    unsigned long long rawTotal = 0, packedTotal = 0;
    for (const Row &row : kRows) {
        if (!row.carried)
            continue;
        std::string raw = standin + "/" + row.target;
        auto found = real.find(Lower(row.target));
        if (found != real.end())
            raw = found->second;
        std::vector<uint8_t> data;
        if (!ReadAll(raw, &data)) {
            fprintf(stderr, "payloadrc: cannot read %s\n", raw.c_str());
            return 1;
        }
        bool plain = std::string(row.resource) == kPlainResource;
        std::vector<uint8_t> stored = plain ? data : szdd::Pack(data, row.target[strlen(row.target) - 1]);
        std::vector<uint8_t> check;
        if (!plain && (!szdd::Unpack(stored, &check) || check != data)) {
            fprintf(stderr, "payloadrc: packing %s does not round-trip\n", raw.c_str());
            return 1;
        }
        std::string path = out + "/" + row.resource + (plain ? ".txt" : ".szdd");
        if (!WriteAll(path, std::string(stored.begin(), stored.end()))) {
            fprintf(stderr, "payloadrc: cannot write %s\n", path.c_str());
            return 1;
        }
        rc += std::string(row.resource) + " EXE \"" + path + "\"\n";
        char line[160];
        snprintf(line, sizeof line, "    {\"%s\", %zuUL, 0x%08xUL},\n", row.resource, stored.size(),
                 szdd::Crc32(stored.data(), stored.size()));
        sums += line;
        std::string name = row.resource;
        if (name.size() >= kSumNameSize || stored.size() > 0xFFFFFFFFu) {
            fprintf(stderr, "payloadrc: %s does not fit the sums table\n", row.resource);
            return 1;
        }
        name.resize(kSumNameSize, '\0');
        sumsTable += name;
        AppendLE32(&sumsTable, uint32_t(stored.size()));
        AppendLE32(&sumsTable, szdd::Crc32(stored.data(), stored.size()));
        manifest += std::string(row.resource) + (plain ? " plain " : " szdd ") + path + " " + raw + "\n";
        if (!plain) {
            rawTotal += data.size();
            packedTotal += stored.size();
        }
    }
    if (argc == 5) {
        std::vector<uint8_t> ini;
        std::string path = out + "/Install.ini";
        if (!ReadAll(argv[4], &ini) || !WriteAll(path, std::string(ini.begin(), ini.end()))) {
            fprintf(stderr, "payloadrc: cannot carry %s\n", argv[4]);
            return 1;
        }
        uint32_t crc = szdd::Crc32(ini.data(), ini.size());
        rc += "INSTINI EXE \"" + path + "\"\n";
        char line[160];
        snprintf(line, sizeof line, "    {\"INSTINI\", %zuUL, 0x%08xUL},\n", ini.size(), crc);
        sums += line;
        sumsTable += std::string("INSTINI").append(kSumNameSize - 7, '\0');
        AppendLE32(&sumsTable, uint32_t(ini.size()));
        AppendLE32(&sumsTable, crc);
        manifest += "INSTINI plain " + path + " " + argv[4] + "\n";
    }
    sums += "};\n";
    rc += "\nPAYLOADSUMS RCDATA \"" + out + "/payload_sums.bin\"\n";
    char totals[200];
    snprintf(totals, sizeof totals, "packed resources: %llu bytes raw, %llu bytes packed\n", rawTotal, packedTotal);
    fputs(totals, stdout);
    if (!WriteAll(out + "/payload.rc", rc) || !WriteAll(out + "/payload_sums.h", sums) ||
        !WriteAll(out + "/manifest.txt", manifest) || !WriteAll(out + "/payload_sums.bin", sumsTable))
        return 1;
    return 0;
}
