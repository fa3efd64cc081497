// PNG: signature, IHDR, IDAT (filter 0 on every row), IEND.
#include "png.h"

#include <cstdio>
#include <zlib.h>

RgbImage::RgbImage(int w, int h, uint8_t r, uint8_t g, uint8_t b) : width(w), height(h), rgb((size_t)w * h * 3) {
    for (size_t i = 0; i < rgb.size(); i += 3) rgb[i] = r, rgb[i + 1] = g, rgb[i + 2] = b;
}

void RgbImage::set(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    uint8_t* p = &rgb[((size_t)y * width + x) * 3];
    p[0] = r, p[1] = g, p[2] = b;
}

namespace {

void be32(std::vector<uint8_t>& v, uint32_t x) {
    for (int s = 24; s >= 0; s -= 8) v.push_back((uint8_t)(x >> s));
}

void chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    be32(out, (uint32_t)data.size());
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    be32(out, (uint32_t)crc32(0, body.data(), (uInt)body.size()));
}

}  // namespace

bool WritePng(const std::string& path, const RgbImage& image) {
    std::vector<uint8_t> raw;
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);
        const uint8_t* row = &image.rgb[(size_t)y * image.width * 3];
        raw.insert(raw.end(), row, row + (size_t)image.width * 3);
    }
    uLongf packedSize = compressBound((uLong)raw.size());
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), (uLong)raw.size(), 9) != Z_OK) return false;
    packed.resize(packedSize);

    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    be32(header, (uint32_t)image.width);
    be32(header, (uint32_t)image.height);
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, no filter choice, no interlace
    chunk(out, "IHDR", header);
    chunk(out, "IDAT", packed);
    chunk(out, "IEND", {});
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && ok;
}
