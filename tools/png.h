// A minimal PNG writer: 8-bit RGB, one IDAT compressed with zlib.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // 3 bytes per pixel, top row first

    RgbImage(int w, int h, uint8_t r, uint8_t g, uint8_t b);
    void set(int x, int y, uint8_t r, uint8_t g, uint8_t b);
};

bool WritePng(const std::string& path, const RgbImage& image);
