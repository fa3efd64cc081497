// Bitmap and icon readers. Every offset is checked against the data's size
// before it is read: the data may come from anywhere.
#include "framework/images.h"

#include "framework/avi.h"

#include <cstring>

namespace {

WORD u16(const BYTE* p) { return (WORD)(p[0] | p[1] << 8); }
DWORD u32(const BYTE* p) { return (DWORD)p[0] | (DWORD)p[1] << 8 | (DWORD)p[2] << 16 | (DWORD)p[3] << 24; }
int32_t s32(const BYTE* p) { return (int32_t)u32(p); }

constexpr size_t kInfoHeaderSize = 40;
constexpr int kMaxSide = 4096;

struct DibHeader {
    int width;
    int height;      // as stored: negative for top-down
    int bitCount;
    DWORD compression;
    DWORD imageSize;
    size_t colors;   // palette entries
    size_t bits;     // offset of the pixel data from the header's start
};

bool readHeader(const BYTE* data, size_t size, DibHeader* h) {
    if (!data || size < kInfoHeaderSize) return false;
    DWORD headerSize = u32(data);
    if (headerSize < kInfoHeaderSize || headerSize > size) return false;
    h->width = s32(data + 4);
    h->height = s32(data + 8);
    WORD planes = u16(data + 12);
    h->bitCount = u16(data + 14);
    h->compression = u32(data + 16);
    h->imageSize = u32(data + 20);
    DWORD used = u32(data + 32);
    if (planes != 1 || h->bitCount != 8) return false;
    if (h->width <= 0 || h->width > kMaxSide || h->height == 0 || h->height < -kMaxSide || h->height > kMaxSide)
        return false;
    h->colors = used ? used : 256;
    if (h->colors > 256) return false;
    h->bits = headerSize + 4 * h->colors;
    return h->bits <= size;
}

void readPalette(const BYTE* data, const DibHeader& h, std::vector<PaletteColor>* palette) {
    palette->clear();
    const BYTE* p = data + (h.bits - 4 * h.colors);
    for (size_t i = 0; i < h.colors; ++i, p += 4) palette->push_back({p[2], p[1], p[0]});  // stored B, G, R, 0
}

size_t stride(int width, int bits) { return (((size_t)width * bits + 31) / 32) * 4; }

// Rows of 8-bit indices, bottom-up unless topDown.
bool readRows(const BYTE* bits, size_t available, int width, int height, bool topDown, std::vector<BYTE>* pixels) {
    size_t rowBytes = stride(width, 8);
    if (rowBytes * height > available) return false;
    pixels->resize((size_t)width * height);
    for (int row = 0; row < height; ++row) {
        int y = topDown ? row : height - 1 - row;
        std::memcpy(pixels->data() + (size_t)y * width, bits + rowBytes * row, (size_t)width);
    }
    return true;
}

bool indicesFit(const IndexedImage& image) {
    for (BYTE i : image.pixels)
        if (i >= image.palette.size()) return false;
    return true;
}

bool readDirectory(const BYTE* data, size_t size, bool group, std::vector<IconDirEntry>* entries) {
    if (!data || size < 6 || u16(data) != 0 || u16(data + 2) != 1) return false;
    size_t count = u16(data + 4);
    size_t entrySize = group ? 14 : 16;
    if (6 + count * entrySize > size) return false;
    entries->clear();
    for (size_t i = 0; i < count; ++i) {
        const BYTE* e = data + 6 + i * entrySize;
        IconDirEntry entry;
        entry.width = e[0] ? e[0] : 256;
        entry.height = e[1] ? e[1] : 256;
        entry.colorCount = e[2];
        entry.planes = u16(e + 4);
        entry.bitCount = u16(e + 6);
        entry.bytes = u32(e + 8);
        if (group) {
            entry.id = u16(e + 12);
        } else {
            entry.offset = u32(e + 12);
            if (entry.offset > size || entry.bytes > size - entry.offset) return false;
        }
        entries->push_back(entry);
    }
    return true;
}

}  // namespace

bool DecodeDib(const BYTE* data, size_t size, IndexedImage* image) {
    DibHeader h;
    if (!image || !readHeader(data, size, &h)) return false;
    const bool topDown = h.height < 0;
    const int height = topDown ? -h.height : h.height;
    IndexedImage out;
    out.width = h.width;
    out.height = height;
    out.bitCount = h.bitCount;
    out.compression = h.compression;
    readPalette(data, h, &out.palette);
    if (h.compression == BI_RGB) {
        if (!readRows(data + h.bits, size - h.bits, h.width, height, topDown, &out.pixels)) return false;
    } else if (h.compression == BI_RLE8 && !topDown) {
        // The header's image size, when given, bounds the stream.
        size_t length = size - h.bits;
        if (h.imageSize && h.imageSize < length) length = h.imageSize;
        out.pixels.assign((size_t)h.width * height, 0);
        if (!DecodeRle8(data + h.bits, length, h.width, height, out.pixels.data())) return false;
    } else {
        return false;
    }
    if (!indicesFit(out)) return false;
    *image = std::move(out);
    return true;
}

bool DecodeBmpFile(const BYTE* data, size_t size, IndexedImage* image) {
    if (!data || size < 14 || data[0] != 'B' || data[1] != 'M') return false;
    DWORD fileSize = u32(data + 2);
    DWORD bitsOffset = u32(data + 10);
    if (fileSize > size || fileSize < 14 + kInfoHeaderSize) return false;
    // The file header's offset must agree with the palette's end.
    DibHeader h;
    if (!readHeader(data + 14, fileSize - 14, &h) || bitsOffset != 14 + h.bits) return false;
    return DecodeDib(data + 14, fileSize - 14, image);
}

bool DecodeIconImage(const BYTE* data, size_t size, IndexedImage* image) {
    DibHeader h;
    if (!image || !readHeader(data, size, &h) || h.compression != BI_RGB || h.height <= 0 || h.height % 2)
        return false;
    const int height = h.height / 2;
    IndexedImage out;
    out.width = h.width;
    out.height = height;
    out.bitCount = h.bitCount;
    out.compression = BI_RGB;
    readPalette(data, h, &out.palette);
    if (!readRows(data + h.bits, size - h.bits, h.width, height, false, &out.pixels)) return false;
    size_t colorBytes = stride(h.width, 8) * height;
    size_t maskStride = stride(h.width, 1);
    const BYTE* mask = data + h.bits + colorBytes;
    if (maskStride * height > size - h.bits - colorBytes) return false;
    out.transparent.resize((size_t)h.width * height);
    for (int row = 0; row < height; ++row) {
        int y = height - 1 - row;
        for (int x = 0; x < h.width; ++x)
            out.transparent[(size_t)y * h.width + x] = (mask[maskStride * row + x / 8] >> (7 - x % 8)) & 1;
    }
    if (!indicesFit(out)) return false;
    *image = std::move(out);
    return true;
}

bool ReadIcoDirectory(const BYTE* data, size_t size, std::vector<IconDirEntry>* entries) {
    return entries && readDirectory(data, size, false, entries);
}

bool ReadGroupIconDirectory(const BYTE* data, size_t size, std::vector<IconDirEntry>* entries) {
    return entries && readDirectory(data, size, true, entries);
}

bool DecodeIcoFile(const BYTE* data, size_t size, std::vector<IndexedImage>* images) {
    std::vector<IconDirEntry> entries;
    if (!images || !ReadIcoDirectory(data, size, &entries)) return false;
    std::vector<IndexedImage> out;
    for (const IconDirEntry& e : entries) {
        IndexedImage image;
        if (!DecodeIconImage(data + e.offset, e.bytes, &image)) return false;
        if (image.width != e.width || image.height != e.height) return false;
        out.push_back(std::move(image));
    }
    *images = std::move(out);
    return true;
}
