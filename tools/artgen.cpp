// Draws the program's pictures: the product picture, the company logo and the
// application icon, as 256-colour Windows bitmaps and an icon file that
// carries 16-colour images too.
//   artgen OUTDIR
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Rgb { uint8_t r, g, b; };

// A 256- or 16-colour image: palette indices, bottom-up rows are written on output.
struct Image {
    int w, h;
    std::vector<uint8_t> px;
    std::vector<Rgb> palette;
    Image(int width, int height, size_t colours = 256)
        : w(width), h(height), px(size_t(width) * height, 0), palette(colours, Rgb{0, 0, 0}) {}
    int bits() const { return palette.size() == 16 ? 4 : 8; }
    void set(int x, int y, uint8_t c) { if (x >= 0 && y >= 0 && x < w && y < h) px[size_t(y) * w + x] = c; }
    void fill(int x0, int y0, int x1, int y1, uint8_t c) { for (int y = y0; y < y1; ++y) for (int x = x0; x < x1; ++x) set(x, y, c); }
};

// 5 x 7 capitals for the few words the pictures carry.
const char *glyph(char ch) {
    switch (ch) {
    case 'A': return " ### #   ##   #######   ##   ##   #";
    case 'E': return "######    #    #### #    #    #####";
    case 'I': return " ###   #    #    #    #    #   ### ";
    case 'L': return "#    #    #    #    #    #    #####";
    case 'M': return "#   ### ### # ##   ##   ##   ##   #";
    case 'N': return "#   ###  ## # ##  ###   ##   ##   #";
    case 'O': return " ### #   ##   ##   ##   ##   # ### ";
    case 'P': return "#### #   ##   ##### #    #    #    ";
    case 'Q': return " ### #   ##   ##   ## # ##  #  ## #";
    case 'R': return "#### #   ##   ##### # #  #  # #   #";
    case 'T': return "#####  #    #    #    #    #    #  ";
    case 'U': return "#   ##   ##   ##   ##   ##   # ### ";
    case 'Z': return "#####    #   #   #   #   #    #####";
    default:  return "                                   ";
    }
}

// A glyph one cell short shifts every row after the slip.
bool glyphs_whole() {
    for (const char *ch = "AEILMNOPQRTUZ"; *ch; ++ch)
        if (std::strlen(glyph(*ch)) != 35) { std::fprintf(stderr, "artgen: glyph %c is not 5 x 7\n", *ch); return false; }
    return true;
}

void text(Image &img, int x, int y, const char *s, int scale, uint8_t c) {
    for (; *s; ++s, x += 6 * scale) {
        const char *g = glyph(*s);
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 5; ++col)
                if (g[row * 5 + col] == '#') img.fill(x + col * scale, y + row * scale, x + (col + 1) * scale, y + (row + 1) * scale, c);
    }
}

// Palette: 0..127 a ramp from deep blue to teal, 128..191 greys, 192.. accents.
void standard_palette(Image &img) {
    for (int i = 0; i < 128; ++i)
        img.palette[i] = Rgb{uint8_t(10 + i / 4), uint8_t(30 + i), uint8_t(90 + i)};
    for (int i = 0; i < 64; ++i) {
        uint8_t v = uint8_t(i * 4);
        img.palette[128 + i] = Rgb{v, v, v};
    }
    img.palette[192] = Rgb{255, 255, 255};
    img.palette[193] = Rgb{255, 200, 40};   // gold
    img.palette[194] = Rgb{200, 30, 30};    // red
    img.palette[195] = Rgb{0, 128, 128};    // the window's teal
    img.palette[196] = Rgb{0, 0, 0};
}

void put16(std::vector<uint8_t> &b, unsigned v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); }
void put32(std::vector<uint8_t> &b, unsigned v) { put16(b, v & 0xffff); put16(b, v >> 16); }

// BITMAPINFOHEADER, palette and bottom-up pixel rows padded to 4 bytes
// (two pixels a byte, the first in the high half, at 16 colours).
std::vector<uint8_t> dib(const Image &img, bool icon) {
    std::vector<uint8_t> b;
    int bits = img.bits();
    int stride = ((img.w * bits + 31) / 32) * 4;
    int maskStride = ((img.w + 31) / 32) * 4;
    put32(b, 40); put32(b, unsigned(img.w)); put32(b, unsigned(icon ? img.h * 2 : img.h));
    put16(b, 1); put16(b, unsigned(bits)); put32(b, 0);
    put32(b, unsigned(stride * img.h + (icon ? maskStride * img.h : 0)));
    put32(b, 2835); put32(b, 2835); put32(b, unsigned(img.palette.size())); put32(b, 0);
    for (const Rgb &c : img.palette) { b.push_back(c.b); b.push_back(c.g); b.push_back(c.r); b.push_back(0); }
    for (int y = img.h - 1; y >= 0; --y) {
        std::vector<uint8_t> row(size_t(stride), 0);
        for (int x = 0; x < img.w; ++x) {
            uint8_t c = img.px[size_t(y) * img.w + x];
            if (bits == 8) row[size_t(x)] = c;
            else row[size_t(x / 2)] |= uint8_t((c & 15) << (x % 2 ? 0 : 4));
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    if (icon)
        b.insert(b.end(), size_t(maskStride) * img.h, 0);  // opaque
    return b;
}

bool write_file(const std::string &path, const std::vector<uint8_t> &data) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) { std::perror(path.c_str()); return false; }
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

// One row in RLE8: runs as (count, index), other stretches of three or more
// pixels in absolute mode (0, count, pixels, padded to a word), then the
// end-of-line mark.
void rle8_row(std::vector<uint8_t> &b, const uint8_t *row, int w) {
    auto run_at = [&](int x) { int n = 1; while (x + n < w && n < 255 && row[x + n] == row[x]) ++n; return n; };
    for (int x = 0; x < w;) {
        int run = run_at(x);
        if (run >= 2) { b.push_back(uint8_t(run)); b.push_back(row[x]); x += run; continue; }
        int end = x;
        while (end < w && end - x < 255 && run_at(end) < 3) ++end;
        int n = end - x;
        if (n < 3) { for (; x < end; ++x) { b.push_back(1); b.push_back(row[x]); } continue; }
        b.push_back(0); b.push_back(uint8_t(n));
        b.insert(b.end(), row + x, row + end);
        if (n & 1) b.push_back(0);
        x = end;
    }
    b.push_back(0); b.push_back(0);
}

// The picture RLE8-compressed where that is smaller (the program's size is
// mostly its pictures), else as plain rows.
bool write_bmp(const std::string &path, const Image &img) {
    std::vector<uint8_t> body = dib(img, false), file;
    std::vector<uint8_t> rle;
    for (int y = img.h - 1; y >= 0; --y) rle8_row(rle, &img.px[size_t(y) * img.w], img.w);
    rle.push_back(0); rle.push_back(1);
    size_t pixels = 40 + 256 * 4;
    if (rle.size() < body.size() - pixels) {
        body.resize(pixels);
        body.insert(body.end(), rle.begin(), rle.end());
        body[16] = 1;   // biCompression = BI_RLE8
        for (int i = 0; i < 4; ++i) body[20 + i] = uint8_t(rle.size() >> (8 * i));   // biSizeImage
    }
    file.push_back('B'); file.push_back('M');
    put32(file, unsigned(14 + body.size())); put32(file, 0); put32(file, 14 + 40 + 256 * 4);
    file.insert(file.end(), body.begin(), body.end());
    return write_file(path, file);
}

bool write_ico(const std::string &path, const std::vector<Image> &images) {
    std::vector<uint8_t> file, bodies;
    put16(file, 0); put16(file, 1); put16(file, unsigned(images.size()));
    unsigned offset = unsigned(6 + 16 * images.size());
    for (const Image &img : images) {
        std::vector<uint8_t> body = dib(img, true);
        file.push_back(uint8_t(img.w)); file.push_back(uint8_t(img.h));
        file.push_back(uint8_t(img.bits() == 4 ? 16 : 0)); file.push_back(0);
        put16(file, 1); put16(file, unsigned(img.bits())); put32(file, unsigned(body.size())); put32(file, offset);
        offset += unsigned(body.size());
        bodies.insert(bodies.end(), body.begin(), body.end());
    }
    file.insert(file.end(), bodies.begin(), bodies.end());
    return write_file(path, file);
}

// The product picture: a blue-to-teal band, the name in white, a gold underline.
Image product_picture() {
    Image img(153, 46);
    standard_palette(img);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x)
            img.set(x, y, uint8_t((x * 100 / img.w + y * 27 / img.h) & 127));
    img.fill(0, 0, img.w, 2, 192); img.fill(0, img.h - 2, img.w, img.h, 196);
    text(img, 8, 9, "ZELTRA", 3, 192);
    text(img, 118, 24, "PRO", 1, 193);
    img.fill(8, 35, 112, 37, 193);
    return img;
}

// The company logo: a grey tile with a red-and-gold emblem and the name below.
Image company_logo() {
    Image img(151, 118);
    standard_palette(img);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x)
            img.set(x, y, uint8_t(128 + 44 + (y * 16 / img.h)));
    const double cx = 75, cy = 46;
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            double d = std::hypot(x - cx, y - cy);
            if (d < 34) img.set(x, y, d < 26 ? 194 : 193);
        }
    text(img, 61, 32, "M", 4, 192);
    text(img, 19, 92, "MARLQUIN", 2, 196);
    return img;
}

// The 16 colours every VGA display shows, in the order of the Windows palette.
void vga_palette(Image &img) {
    static const Rgb vga[16] = {{0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128}, {128, 0, 128},
                                {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},
                                {255, 255, 0}, {0, 0, 255}, {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    img.palette.assign(vga, vga + 16);
}

// A white Z on a blue tile framed in teal; at 16 colours the tile is navy,
// which the shells of 16-colour displays draw without dithering.
Image app_icon(int size, size_t colours) {
    Image img(size, size, colours);
    bool vga = colours == 16;
    if (vga) vga_palette(img); else standard_palette(img);
    img.fill(0, 0, size, size, vga ? 6 : 195);
    int m = size / 8;
    img.fill(m, m, size - m, size - m, vga ? 4 : 40);
    int s = size / 16 > 0 ? size / 16 : 1;
    text(img, (size - 5 * s * 2) / 2, (size - 7 * s * 2) / 2, "Z", 2 * s, vga ? 15 : 192);
    return img;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) { std::fprintf(stderr, "usage: artgen OUTDIR\n"); return 2; }
    std::string dir = argv[1];
    bool ok = glyphs_whole()
           && write_bmp(dir + "/zt_bmp.bmp", product_picture())
           && write_bmp(dir + "/marlquin.bmp", company_logo())
           && write_ico(dir + "/app.ico", {app_icon(32, 256), app_icon(16, 256), app_icon(32, 16), app_icon(16, 16)});
    return ok ? 0 : 1;
}
