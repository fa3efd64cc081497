// From painted layers to the files the program ships: palette choice, and
// the .bmp, .ico and RLE8 .avi writers.
#pragma once

#include "framework/images.h"

#include <cstdint>
#include <vector>

namespace art {

struct Quantized {
    std::vector<PaletteColor> palette;  // exactly the size asked for
    std::vector<BYTE> indices;          // one per pixel given
};

// Chooses a palette of paletteSize entries, the reserved colours first, and
// maps every pixel to it: a pixel equal to a reserved colour takes that
// entry, any other the nearest of the chosen colours (median cut, refined
// by a few rounds of k-means). Deterministic.
Quantized Quantize(const std::vector<PaletteColor>& pixels, const std::vector<PaletteColor>& reserved,
                   size_t paletteSize);

// An 8-bit bottom-up .bmp with the whole palette.
std::vector<BYTE> EncodeBmpFile(const IndexedImage& image);

// An .ico file of one 8-bit image; image.transparent gives the AND mask and
// the colour bits of those pixels must be index 0 (black).
std::vector<BYTE> EncodeIcoFile(const IndexedImage& image);

// One bottom-up BI_RLE8 frame of a top-down image, every pixel written:
// repeated indices as runs, the rest in absolute runs, each line closed by
// an end-of-line mark and the frame by end-of-bitmap.
std::vector<BYTE> EncodeRle8(const BYTE* pixels, int width, int height);

struct Clip {
    int width = 0;
    int height = 0;
    uint32_t microSecPerFrame = 0;
    std::vector<PaletteColor> palette;
    std::vector<std::vector<BYTE>> frames;  // top row first
};

// A RIFF AVI with one 'vids' stream of key frames in BI_RLE8 and an index.
std::vector<BYTE> EncodeAvi(const Clip& clip);

}  // namespace art
