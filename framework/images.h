// Readers for the program's pictures: 8-bit device-independent bitmaps (as
// an RT_BITMAP resource holds them, or as a .bmp file) and 8-bit icons (one
// RT_ICON image, an .ico file, or an RT_GROUP_ICON directory). Pure data in,
// pure data out, for the UI backend and the tests alike.
#pragma once

#include "platform/winapi.h"

#include <cstddef>
#include <vector>

#define BI_RGB 0u
#define BI_RLE8 1u

struct PaletteColor {
    BYTE r, g, b;
    bool operator==(const PaletteColor&) const = default;
};

struct IndexedImage {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    DWORD compression = BI_RGB;
    std::vector<PaletteColor> palette;  // the entries the image declares
    std::vector<BYTE> pixels;           // palette indices, width * height, top row first
    // Icons only: 1 where the AND mask shows the background, top row first.
    std::vector<BYTE> transparent;

    BYTE at(int x, int y) const { return pixels[(size_t)y * width + x]; }
    PaletteColor colorAt(int x, int y) const { return palette[at(x, y)]; }
};

// From the BITMAPINFOHEADER onward: 8 bits per pixel, BI_RGB or BI_RLE8,
// bottom-up or top-down. False on anything else or on data that does not fit.
bool DecodeDib(const BYTE* data, size_t size, IndexedImage* image);

// A .bmp file: the 14-byte BITMAPFILEHEADER, then a DIB as above.
bool DecodeBmpFile(const BYTE* data, size_t size, IndexedImage* image);

// One icon image: a DIB of twice the icon's height holding the colour
// bitmap followed by the 1-bit AND mask. 8 bits per pixel, BI_RGB.
bool DecodeIconImage(const BYTE* data, size_t size, IndexedImage* image);

// One entry of an icon directory. offset is where an .ico file keeps the
// image; id is the RT_ICON id an RT_GROUP_ICON directory names.
struct IconDirEntry {
    int width = 0;   // 0 in the directory means 256
    int height = 0;
    int colorCount = 0;
    int planes = 0;
    int bitCount = 0;
    DWORD bytes = 0;
    DWORD offset = 0;
    WORD id = 0;
};

// The directory of an .ico file (type 1); every image must lie in the file.
bool ReadIcoDirectory(const BYTE* data, size_t size, std::vector<IconDirEntry>* entries);
// The directory an RT_GROUP_ICON resource holds.
bool ReadGroupIconDirectory(const BYTE* data, size_t size, std::vector<IconDirEntry>* entries);
// Every image of an .ico file, in directory order.
bool DecodeIcoFile(const BYTE* data, size_t size, std::vector<IndexedImage>* images);
