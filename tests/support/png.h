// A minimal PNG writer (stored deflate blocks) for screenshots.
#ifndef ZELTRA_TESTS_PNG_H
#define ZELTRA_TESTS_PNG_H

#include <string>
#include <vector>

namespace zt {
// rgb: width * height * 3 bytes, top row first.
bool WritePng(const std::string &path, int width, int height, const std::vector<unsigned char> &rgb);
}

#endif
