// Writes the stand-in product's documents, sounds, site lists and product
// INI template into a folder: every carried catalogue row that is not a
// program or library. Deterministic; SCALE multiplies the documents' sizes.
//   docgen DIR [SCALE]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "szdd_pack.h"

struct Row { const char *resource, *target; int carried; };
static const Row kRows[] = {
#define ZL_DESC_MSG(n) ""
#define ZL_ROW(resource, compressed, source, target, description, icon, required, carried) \
    {resource, target, carried},
#include "shell/catalogue_rows.h"
#undef ZL_ROW
};

static int g_scale = 1;

// A small deterministic generator (the same bytes on every host).
struct Rng {
    uint32_t x;
    uint32_t next() { x ^= x << 13; x ^= x >> 17; x ^= x << 5; return x; }
    uint32_t below(uint32_t n) { return next() % n; }
};

static uint32_t Seed(const std::string &name)
{
    uint32_t h = 2166136261u;
    for (char c : name)
        h = (h ^ (uint8_t)c) * 16777619u;
    return h ? h : 1;
}

static const char *const kWords[] = {
    "the", "site", "remote", "local", "folder", "file", "transfer", "queue", "server", "connect",
    "upload", "download", "directory", "listing", "binary", "ASCII", "mode", "passive", "port",
    "firewall", "proxy", "password", "anonymous", "login", "session", "script", "schedule",
    "synchronize", "mirror", "compare", "toolbar", "window", "drag", "drop", "shortcut", "menu",
    "option", "select", "click", "button", "dialog", "profile", "host", "user", "account",
    "resume", "timeout", "retry", "log", "view", "rename", "delete", "permissions", "link",
    "ZELTRA", "Explorer", "to", "a", "of", "and", "in", "with", "from", "is", "you", "can"};
const int kWordCount = sizeof kWords / sizeof kWords[0];

static std::string Sentence(Rng &r)
{
    std::string s;
    int n = 5 + r.below(12);
    for (int i = 0; i < n; ++i) {
        std::string w = kWords[r.below(kWordCount)];
        if (i == 0)
            w[0] = (char)toupper(w[0]);
        s += (i ? " " : "") + w;
    }
    return s + ".";
}

static bool Write(const std::string &path, const std::string &data)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
    return fclose(f) == 0 && ok;
}

static void Put32(std::string &s, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s += (char)(v >> (8 * i));
}
static void Put16(std::string &s, uint16_t v) { s += (char)v; s += (char)(v >> 8); }

static std::string Title(const std::string &stem)
{
    static const struct { const char *stem, *title; } kTitles[] = {
        {"zlcore32", "ZELTRA Pro Help"}, {"zlns", "ZELTRA Pro Explorer Help"},
        {"zlscript", "ZELTRA Scripting Help"}, {"zlfind", "ZELTRA Find Help"},
        {"zlsync", "ZELTRA Synchronize Help"}, {"zlqueue", "ZELTRA Queue Help"}};
    for (auto &t : kTitles)
        if (stem == t.stem)
            return t.title;
    return "ZELTRA Help";
}

static std::string Lower(std::string s)
{
    for (char &c : s)
        c = (char)tolower(c);
    return s;
}

// Help file: the help-file magic and directory header, then topic blocks of
// packed records and phrase text.
static std::string HelpFile(const std::string &stem)
{
    Rng r{Seed(stem)};
    size_t size = (stem == "zlcore32" ? 190000 : 45000 + r.below(40000)) * g_scale;
    std::string body;
    int topic = 0;
    while (body.size() < size) {
        Put32(body, (uint32_t)body.size());             // block offset
        Put32(body, 0xffffffffu);
        Put32(body, (uint32_t)(topic * 0x4000 + r.below(0x4000)));
        for (int k = 0; k < 6; ++k)                     // record table
            Put16(body, (uint16_t)(r.below(16) == 0 ? r.next() : r.below(600)));
        body += "\x20\x02" + std::string(1, (char)r.below(256));
        std::string text = "idh_" + stem + "_" + std::to_string(topic) + '\0' + Sentence(r);
        for (int k = r.below(6); k >= 0; --k)
            text += ' ' + Sentence(r);
        body += text;
        body += '\0';
        ++topic;
    }
    std::string out;
    Put32(out, 0x00035F3F);            // magic
    Put32(out, 16 + (uint32_t)body.size());
    Put32(out, 0xffffffffu);
    Put32(out, 16 + (uint32_t)body.size());
    return out + body;
}

static std::string ContentsFile(const std::string &stem)
{
    Rng r{Seed(stem + ".cnt")};
    std::string s = ":Base " + stem + ".hlp>main\r\n:Title " + Title(stem) + "\r\n";
    int books = 6 + r.below(6) * g_scale;
    for (int b = 0; b < books; ++b) {
        s += "1 " + Sentence(r).substr(0, 30) + "\r\n";
        for (int t = 3 + r.below(8); t > 0; --t) {
            std::string topic = Sentence(r).substr(0, 40);
            if (topic.back() == '.')
                topic.pop_back();
            s += "2 " + topic + "=idh_" + stem + "_" + std::to_string(r.below(400)) + "\r\n";
        }
    }
    return s;
}

static std::string ReleaseNotes()
{
    Rng r{Seed("ZlNews")};
    std::string s = "ZELTRA Pro Release Notes\r\n========================\r\n\r\n";
    int versions = 24 * g_scale;
    for (int v = versions; v > 0; --v) {
        s += "Version 4." + std::to_string(v / 10) + "." + std::to_string(v % 10) + "\r\n";
        s += "-------------\r\n";
        for (int k = 4 + r.below(9); k > 0; --k)
            s += "  * " + Sentence(r) + "\r\n";
        s += "\r\n";
    }
    return s + "Thank you for using ZELTRA Pro.\r\n";
}

// A screenshot-like grey picture for the manual: a window with a title
// bar, buttons and lines of "text", as an ASCII-hex image stream.
static std::string Screenshot(Rng &r, int width, int height)
{
    std::vector<uint8_t> px(width * height, 192);
    auto box = [&](int x0, int y0, int x1, int y1, uint8_t v) {
        for (int y = std::max(0, y0); y < std::min(height, y1); ++y)
            for (int x = std::max(0, x0); x < std::min(width, x1); ++x)
                px[y * width + x] = v;
    };
    box(0, 0, width, 10, 96);                                   // title bar
    box(2, 12, width - 2, 14, 255);
    for (int b = 0, x = 4; b < 4; ++b, x += 34) {              // buttons
        box(x, 16, x + 30, 28, 255);
        box(x + 1, 17, x + 30, 28, 160);
        box(x + 1, 17, x + 29, 27, 208);
    }
    box(4, 32, width - 4, height - 4, 255);                     // list
    for (int line = 0, y = 35; y + 6 < height - 4; ++line, y += 9) {
        int x = 8 + (line % 3 == 0 ? 0 : 10);
        int end = x + 20 + (int)r.below(width - 60);
        while (x < end && x < width - 8) {
            int run = 2 + (int)r.below(5);
            box(x, y, x + run, y + 6, 0);
            x += run + 1 + (int)r.below(3);
        }
    }
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            hex += kHex[px[y * width + x] >> 4];
            hex += kHex[px[y * width + x] & 15];
            if (x % 40 == 39)
                hex += '\n';
        }
    }
    return hex + ">\n";
}

// PDF: a catalog, a font and the pages; each page has a content stream of
// plain text operators, a table and some line art, and a screenshot, so the
// file compresses like a real uncompressed manual.
static std::string Pdf(int pages)
{
    Rng r{Seed("zlcore32.pdf")};
    std::vector<std::string> objects;
    objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
    std::string kids;
    for (int p = 0; p < pages; ++p)
        kids += std::to_string(4 + 3 * p) + " 0 R ";
    objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
    objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    for (int p = 0; p < pages; ++p) {
        std::string stream = "BT /F1 16 Tf 72 740 Td (ZELTRA Pro Manual - page " + std::to_string(p + 1) + ") Tj ET\n";
        int y = 712;
        for (; y > 460; y -= 14)
            stream += "BT /F1 10 Tf 72 " + std::to_string(y) + " Td (" + Sentence(r) + ") Tj ET\n";
        for (int row = 0; row < 8; ++row, y -= 12) {              // a table of options
            static const int kColumns[] = {72, 180, 288, 396};
            for (int x : kColumns)
                stream += "BT /F1 9 Tf " + std::to_string(x) + " " + std::to_string(y) + " Td (" +
                          kWords[r.below(kWordCount)] + ") Tj ET\n";
            stream += "72 " + std::to_string(y - 3) + " m 540 " + std::to_string(y - 3) + " l S\n";
        }
        for (int k = 0; k < 10; ++k) {                             // a diagram
            char art[160];
            snprintf(art, sizeof art, "%u.%02u %u.%02u m %u.%02u %u.%02u l %u.%02u %u.%02u l S\n",
                     r.below(500), r.below(100), r.below(300), r.below(100), r.below(500),
                     r.below(100), r.below(300), r.below(100), r.below(500), r.below(100),
                     r.below(300), r.below(100));
            stream += art;
        }
        stream += "q 320 0 0 200 72 96 cm /Im1 Do Q\n";
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> /XObject << /Im1 " +
                          std::to_string(6 + 3 * p) + " 0 R >> >> /Contents " + std::to_string(5 + 3 * p) + " 0 R >>");
        objects.push_back("<< /Length " + std::to_string(stream.size()) + " >>\nstream\n" + stream + "endstream");
        std::string image = Screenshot(r, 160, 100);
        objects.push_back("<< /Type /XObject /Subtype /Image /Width 160 /Height 100 /ColorSpace /DeviceGray "
                          "/BitsPerComponent 8 /Filter /ASCIIHexDecode /Length " + std::to_string(image.size()) +
                          " >>\nstream\n" + image + "endstream");
    }
    std::string out = "%PDF-1.3\n%\xe2\xe3\xcf\xd3\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(out.size());
        out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    size_t xref = out.size();
    out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t off : offsets) {
        char line[32];
        snprintf(line, sizeof line, "%010zu 00000 n \n", off);
        out += line;
    }
    out += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return out;
}

static size_t PackedSize(const std::string &s)
{
    return szdd::Pack(std::vector<uint8_t>(s.begin(), s.end()), 'f').size();
}

// The manual is the largest resource: just under 1 MB once packed (times
// the scale). Packing is near-linear in pages (4 KB window), so two rounds
// of proportion and a few single steps find the page count.
static std::string Manual()
{
    const size_t target = 1040000u * g_scale;
    int pages = 100;
    for (int round = 0; round < 2; ++round)
        pages = (int)((double)pages * target / PackedSize(Pdf(pages)));
    std::string pdf = Pdf(pages);
    while (PackedSize(pdf) > target && pages > 1)
        pdf = Pdf(--pages);
    return pdf;
}

static std::string Wave(const std::string &stem)
{
    const int rate = 22050;
    struct Note { double hz, seconds; };
    static const Note kConnect[] = {{880, 0.18}, {1320, 0.30}, {0, 0}};
    static const Note kError[] = {{220, 0.25}, {196, 0.35}, {0, 0}};
    static const Note kDone[] = {{523.25, 0.16}, {659.25, 0.16}, {783.99, 0.40}, {0, 0}};
    const Note *notes = stem == "zlconn" ? kConnect : stem == "zlerr" ? kError : kDone;
    std::string pcm;
    for (const Note *note = notes; note->hz > 0; ++note) {
        const Note &n = *note;
        int count = (int)(n.seconds * rate);
        for (int i = 0; i < count; ++i) {
            double t = (double)i / rate;
            double env = std::min(1.0, std::min(t / 0.01, (n.seconds - t) / 0.04));
            double v = std::sin(2 * M_PI * n.hz * t) + 0.3 * std::sin(4 * M_PI * n.hz * t);
            Put16(pcm, (uint16_t)(int16_t)std::lround(v * env * 9000));
        }
    }
    std::string out = "RIFF";
    Put32(out, 36 + (uint32_t)pcm.size());
    out += "WAVEfmt ";
    Put32(out, 16);
    Put16(out, 1);          // PCM
    Put16(out, 1);          // mono
    Put32(out, rate);
    Put32(out, rate * 2);
    Put16(out, 2);
    Put16(out, 16);
    out += "data";
    Put32(out, (uint32_t)pcm.size());
    return out + pcm;
}

// The product INI template: sections naming the site lists, "$$" standing
// for the destination folder.
static std::string ProductIniTemplate()
{
    static const char *const kLines[] = {
        "[MySites]", "FILENAME=$$\\original.ini", "[Hardware]", "FILENAME=$$\\SitesHw.ini",
        "[Online Services]", "FILENAME=$$\\SitesOl.ini", "[Anti-Virus]", "FILENAME=$$\\SitesAv.ini",
        "[Games]", "FILENAME=$$\\SitesGam.ini", "[Marlquin]", "FILENAME=$$\\SitesCo.ini",
        "[Archives and Mirrors]", "FILENAME=$$\\SitesArc.ini", "[Software]", "FILENAME=$$\\SitesSw.ini",
        "[US Government]", "FILENAME=$$\\SitesGov.ini", "[_config_]", "VIEWER=notepad",
        "AUTOSTART=1", "MAILADDR=qrvnx65@", "shist0=/marlquin/marlquin"};
    std::string s;
    for (const char *line : kLines)
        s += std::string(line) + "\r\n";
    return s;
}

// Site lists: one section per site, in the product's own keys.
struct Site { const char *title, *host, *dir; };
struct SiteList { const char *file, *group; std::vector<Site> sites; };

static const SiteList kSiteLists[] = {
    {"sitesav.ini", "Anti-Virus", {
        {"Virus Bulletin Archive", "ftp.virusbtn.example.com", "/pub/updates"},
        {"Antivirus Signatures Mirror", "ftp.avmirror.example.net", "/signatures"},
        {"University Security Archive", "ftp.security.example.edu", "/pub/security/virus"}}},
    {"sitesarc.ini", "Archives and Mirrors", {
        {"Simtel Mirror", "ftp.simtel.example.net", "/pub/simtelnet"},
        {"Finnish University Archive", "ftp.funet.example.fi", "/pub"},
        {"Sunsite Archive", "sunsite.example.edu", "/pub/Linux"},
        {"CPAN Mirror", "ftp.cpan.example.org", "/pub/CPAN"},
        {"GNU Software", "ftp.gnu.example.org", "/gnu"}}},
    {"sitesgam.ini", "Games", {
        {"Game Demos", "ftp.gamedemos.example.com", "/pub/demos"},
        {"Game Patches", "ftp.patches.example.net", "/patches"},
        {"Classic Games Archive", "ftp.classicgames.example.org", "/pub/games"}}},
    {"siteshw.ini", "Hardware", {
        {"Display Drivers", "ftp.videocard.example.com", "/drivers/win95"},
        {"Modem Firmware", "ftp.modem.example.com", "/pub/firmware"},
        {"Printer Drivers", "ftp.printers.example.com", "/drivers"},
        {"Sound Card Drivers", "ftp.soundcard.example.com", "/pub/drivers"}}},
    {"sitesco.ini", "Marlquin", {
        {"Marlquin Updates", "ftp.marlquin.example.com", "/pub/zeltra"},
        {"Marlquin Support", "ftp.marlquin.example.com", "/support"}}},
    {"sitesol.ini", "Online Services", {
        {"Online Service Software", "ftp.online.example.com", "/pub/software"},
        {"Internet Provider Tools", "ftp.provider.example.net", "/tools"}}},
    {"sitessw.ini", "Software", {
        {"Shareware Library", "ftp.shareware.example.com", "/pub/win95"},
        {"Windows Utilities", "ftp.winutils.example.com", "/utilities"},
        {"Internet Tools", "ftp.inettools.example.org", "/pub/internet"},
        {"Freeware Collection", "ftp.freeware.example.net", "/freeware"}}},
    {"sitesgov.ini", "US Government", {
        {"Census Data", "ftp.census.example.gov", "/pub"},
        {"Weather Service", "ftp.weather.example.gov", "/data"},
        {"Space Agency Images", "ftp.space.example.gov", "/pub/images"}}},
};

static std::string SiteListFile(const SiteList &list)
{
    std::string s = "; ZELTRA Pro site list: " + std::string(list.group) + "\r\n";
    for (const Site &site : list.sites) {
        s += "\r\n[" + std::string(site.title) + "]\r\n";
        s += "HOST=" + std::string(site.host) + "\r\n";
        s += "UID=anonymous\r\nPWD=\r\nSAVEPWD=0\r\n";
        s += "RDIR=" + std::string(site.dir) + "\r\n";
        s += "LDIR=\r\nPORT=21\r\nHOSTTYPE=0\r\nPASV=1\r\n";
    }
    return s;
}

static bool Generate(const std::string &dir, const std::string &target)
{
    std::string lower = Lower(target);
    size_t dot = lower.rfind('.');
    std::string stem = lower.substr(0, dot), ext = lower.substr(dot + 1);
    std::string data;
    if (ext == "exe" || ext == "dll")
        return true;                    // built by the cross compiler
    if (ext == "hlp")
        data = HelpFile(stem);
    else if (ext == "cnt")
        data = ContentsFile(stem);
    else if (ext == "txt")
        data = ReleaseNotes();
    else if (ext == "pdf")
        data = Manual();
    else if (ext == "wav")
        data = Wave(stem);
    else if (lower == "zeltra.ini")
        data = ProductIniTemplate();
    else {
        for (const SiteList &list : kSiteLists)
            if (lower == list.file)
                data = SiteListFile(list);
        if (data.empty()) {
            fprintf(stderr, "docgen: nothing to write for %s\n", target.c_str());
            return false;
        }
    }
    return Write(dir + "/" + target, data);
}

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: docgen DIR [SCALE]\n");
        return 2;
    }
    if (argc == 3)
        g_scale = std::max(1, atoi(argv[2]));
    for (const Row &row : kRows)
        if (row.carried && !Generate(argv[1], row.target)) {
            fprintf(stderr, "docgen: cannot write %s\n", row.target);
            return 1;
        }
    return 0;
}
