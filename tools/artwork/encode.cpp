// Palette choice and file writers.
#include "artwork/encode.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace art {
namespace {

uint32_t key(PaletteColor c) { return (uint32_t)c.r << 16 | (uint32_t)c.g << 8 | c.b; }

// Green weighs most, as the eye sees it.
long distance(PaletteColor a, int r, int g, int b) {
    long dr = a.r - r, dg = a.g - g, db = a.b - b;
    return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}

struct Entry {
    PaletteColor c;
    long count;
};

struct Box {
    std::vector<Entry> entries;
    int range(int channel) const {
        int lo = 255, hi = 0;
        for (const Entry& e : entries) {
            int v = channel == 0 ? e.c.r : channel == 1 ? e.c.g : e.c.b;
            lo = std::min(lo, v), hi = std::max(hi, v);
        }
        return hi - lo;
    }
    long weight() const {
        long w = 0;
        for (const Entry& e : entries) w += e.count;
        return w;
    }
};

int channelOf(PaletteColor c, int channel) { return channel == 0 ? c.r : channel == 1 ? c.g : c.b; }

std::vector<PaletteColor> medianCut(const std::vector<Entry>& colours, size_t k) {
    std::vector<Box> boxes{Box{colours}};
    while (boxes.size() < k) {
        // Split the box whose widest channel, weighted by its pixels, is largest.
        size_t best = boxes.size();
        double score = 0;
        int channel = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].entries.size() < 2) continue;
            for (int ch = 0; ch < 3; ++ch) {
                double s = (double)boxes[i].range(ch) * std::sqrt((double)boxes[i].weight());
                if (s > score) score = s, best = i, channel = ch;
            }
        }
        if (best == boxes.size()) break;
        std::vector<Entry> e = std::move(boxes[best].entries);
        std::stable_sort(e.begin(), e.end(), [channel](const Entry& a, const Entry& b) {
            return channelOf(a.c, channel) < channelOf(b.c, channel);
        });
        long total = 0, half = 0;
        for (const Entry& x : e) total += x.count;
        size_t cut = 1;
        for (size_t i = 0; i + 1 < e.size(); ++i) {
            half += e[i].count;
            cut = i + 1;
            if (2 * half >= total) break;
        }
        boxes[best].entries.assign(e.begin(), e.begin() + (long)cut);
        boxes.push_back(Box{std::vector<Entry>(e.begin() + (long)cut, e.end())});
    }
    std::vector<PaletteColor> out;
    for (const Box& b : boxes) {
        double r = 0, g = 0, bl = 0, w = 0;
        for (const Entry& e : b.entries) r += e.c.r * (double)e.count, g += e.c.g * (double)e.count,
                                         bl += e.c.b * (double)e.count, w += (double)e.count;
        out.push_back({(BYTE)(r / w + 0.5), (BYTE)(g / w + 0.5), (BYTE)(bl / w + 0.5)});
    }
    return out;
}

// The closest of palette[from, to).
size_t nearest(const std::vector<PaletteColor>& palette, size_t from, size_t to, PaletteColor c) {
    size_t best = from;
    long bestDistance = -1;
    for (size_t i = from; i < to; ++i) {
        long d = distance(palette[i], c.r, c.g, c.b);
        if (bestDistance < 0 || d < bestDistance) best = i, bestDistance = d;
    }
    return best;
}

void put16(std::vector<BYTE>& v, uint32_t x) {
    v.push_back((BYTE)(x & 0xFF));
    v.push_back((BYTE)(x >> 8 & 0xFF));
}
void put32(std::vector<BYTE>& v, uint32_t x) {
    put16(v, x & 0xFFFF);
    put16(v, x >> 16);
}
void putFourcc(std::vector<BYTE>& v, const char* s) {
    for (int i = 0; i < 4; ++i) v.push_back((BYTE)s[i]);
}
void set32(std::vector<BYTE>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = (BYTE)(x >> (8 * i) & 0xFF);
}

void putInfoHeader(std::vector<BYTE>& v, int width, int height, uint32_t compression, uint32_t imageSize,
                   uint32_t colors) {
    put32(v, 40);
    put32(v, (uint32_t)width);
    put32(v, (uint32_t)height);
    put16(v, 1);
    put16(v, 8);
    put32(v, compression);
    put32(v, imageSize);
    put32(v, 0);  // no resolution
    put32(v, 0);
    put32(v, colors);
    put32(v, 0);
}

void putPalette(std::vector<BYTE>& v, const std::vector<PaletteColor>& palette) {
    for (PaletteColor c : palette) {
        v.push_back(c.b);
        v.push_back(c.g);
        v.push_back(c.r);
        v.push_back(0);
    }
}

size_t stride(int width, int bits) { return (((size_t)width * bits + 31) / 32) * 4; }

void putRowsBottomUp(std::vector<BYTE>& v, const IndexedImage& image) {
    size_t pad = stride(image.width, 8) - (size_t)image.width;
    for (int y = image.height - 1; y >= 0; --y) {
        const BYTE* row = image.pixels.data() + (size_t)y * image.width;
        v.insert(v.end(), row, row + image.width);
        v.insert(v.end(), pad, 0);
    }
}

}  // namespace

Quantized Quantize(const std::vector<PaletteColor>& pixels, const std::vector<PaletteColor>& reserved,
                   size_t paletteSize) {
    std::map<uint32_t, long> histogram;
    std::map<uint32_t, size_t> reservedIndex;
    for (size_t i = 0; i < reserved.size(); ++i) reservedIndex.emplace(key(reserved[i]), i);
    for (PaletteColor c : pixels)
        if (!reservedIndex.count(key(c))) ++histogram[key(c)];
    std::vector<Entry> colours;
    for (auto [k, n] : histogram) colours.push_back({{(BYTE)(k >> 16), (BYTE)(k >> 8 & 0xFF), (BYTE)(k & 0xFF)}, n});

    const size_t free = paletteSize - reserved.size();
    std::vector<PaletteColor> chosen;
    if (colours.size() <= free) {
        for (const Entry& e : colours) chosen.push_back(e.c);
    } else {
        chosen = medianCut(colours, free);
        // k-means: move each colour to the mean of the pixels it draws.
        for (int round = 0; round < 10; ++round) {
            std::vector<double> sum(chosen.size() * 4, 0.0);
            for (const Entry& e : colours) {
                size_t i = nearest(chosen, 0, chosen.size(), e.c);
                sum[4 * i] += e.c.r * (double)e.count, sum[4 * i + 1] += e.c.g * (double)e.count;
                sum[4 * i + 2] += e.c.b * (double)e.count, sum[4 * i + 3] += (double)e.count;
            }
            for (size_t i = 0; i < chosen.size(); ++i)
                if (sum[4 * i + 3] > 0)
                    chosen[i] = {(BYTE)(sum[4 * i] / sum[4 * i + 3] + 0.5), (BYTE)(sum[4 * i + 1] / sum[4 * i + 3] + 0.5),
                                 (BYTE)(sum[4 * i + 2] / sum[4 * i + 3] + 0.5)};
        }
    }
    Quantized q;
    q.palette = reserved;
    q.palette.insert(q.palette.end(), chosen.begin(), chosen.end());
    const size_t firstFree = reserved.size();
    // Unused entries stay black.
    q.palette.resize(paletteSize, PaletteColor{0, 0, 0});
    std::map<uint32_t, BYTE> cache;
    for (PaletteColor c : pixels) {
        uint32_t k = key(c);
        auto r = reservedIndex.find(k);
        if (r != reservedIndex.end()) {
            q.indices.push_back((BYTE)r->second);
            continue;
        }
        auto hit = cache.find(k);
        if (hit == cache.end())
            hit = cache.emplace(k, (BYTE)nearest(q.palette, firstFree, firstFree + chosen.size(), c)).first;
        q.indices.push_back(hit->second);
    }
    return q;
}

std::vector<BYTE> EncodeBmpFile(const IndexedImage& image) {
    const uint32_t bits = 14 + 40 + 4 * (uint32_t)image.palette.size();
    const uint32_t imageSize = (uint32_t)(stride(image.width, 8) * image.height);
    std::vector<BYTE> v;
    v.push_back('B');
    v.push_back('M');
    put32(v, bits + imageSize);
    put32(v, 0);
    put32(v, bits);
    putInfoHeader(v, image.width, image.height, 0, imageSize, (uint32_t)image.palette.size());
    putPalette(v, image.palette);
    putRowsBottomUp(v, image);
    return v;
}

std::vector<BYTE> EncodeIcoFile(const IndexedImage& image) {
    const size_t xorBytes = stride(image.width, 8) * image.height;
    const size_t maskStride = stride(image.width, 1);
    const size_t andBytes = maskStride * image.height;
    std::vector<BYTE> dib;
    putInfoHeader(dib, image.width, 2 * image.height, 0, (uint32_t)(xorBytes + andBytes), 0);
    putPalette(dib, image.palette);
    putRowsBottomUp(dib, image);
    for (int y = image.height - 1; y >= 0; --y) {
        std::vector<BYTE> row(maskStride, 0);
        for (int x = 0; x < image.width; ++x)
            if (image.transparent[(size_t)y * image.width + x]) row[x / 8] |= (BYTE)(0x80 >> (x % 8));
        dib.insert(dib.end(), row.begin(), row.end());
    }
    std::vector<BYTE> v;
    put16(v, 0);
    put16(v, 1);  // icon
    put16(v, 1);  // one image
    v.push_back((BYTE)(image.width & 0xFF));
    v.push_back((BYTE)(image.height & 0xFF));
    v.push_back(0);  // 256 colours
    v.push_back(0);
    put16(v, 1);
    put16(v, 8);
    put32(v, (uint32_t)dib.size());
    put32(v, 22);
    v.insert(v.end(), dib.begin(), dib.end());
    return v;
}

std::vector<BYTE> EncodeRle8(const BYTE* pixels, int width, int height) {
    std::vector<BYTE> v;
    for (int y = height - 1; y >= 0; --y) {
        const BYTE* row = pixels + (size_t)y * width;
        int x = 0;
        while (x < width) {
            int run = 1;
            while (x + run < width && run < 255 && row[x + run] == row[x]) ++run;
            if (run >= 3 || width - x < 3) {
                v.push_back((BYTE)run);
                v.push_back(row[x]);
                x += run;
                continue;
            }
            // Gather pixels up to the next run of three.
            int n = 0;
            while (x + n < width && n < 255) {
                if (x + n + 2 < width && row[x + n] == row[x + n + 1] && row[x + n] == row[x + n + 2]) break;
                ++n;
            }
            if (n < 3) {
                for (int i = 0; i < n; ++i) {
                    v.push_back(1);
                    v.push_back(row[x + i]);
                }
            } else {
                v.push_back(0);
                v.push_back((BYTE)n);
                v.insert(v.end(), row + x, row + x + n);
                if (n & 1) v.push_back(0);
            }
            x += n;
        }
        v.push_back(0);
        v.push_back(y ? 0 : 1);  // end of line, or of the bitmap after the top line
    }
    return v;
}

std::vector<BYTE> EncodeAvi(const Clip& clip) {
    std::vector<std::vector<BYTE>> encoded;
    size_t largest = 0;
    for (const std::vector<BYTE>& f : clip.frames) {
        encoded.push_back(EncodeRle8(f.data(), clip.width, clip.height));
        largest = std::max(largest, encoded.back().size());
    }
    const uint32_t frames = (uint32_t)clip.frames.size();
    const uint32_t colors = (uint32_t)clip.palette.size();
    const uint32_t perSecond = 1000000 / clip.microSecPerFrame;

    std::vector<BYTE> v;
    putFourcc(v, "RIFF");
    put32(v, 0);
    putFourcc(v, "AVI ");

    putFourcc(v, "LIST");
    size_t hdrl = v.size();
    put32(v, 0);
    putFourcc(v, "hdrl");
    putFourcc(v, "avih");
    put32(v, 56);
    put32(v, clip.microSecPerFrame);
    put32(v, (uint32_t)largest * perSecond);  // max bytes per second
    put32(v, 0);                              // padding granularity
    put32(v, 0x10);                           // AVIF_HASINDEX
    put32(v, frames);
    put32(v, 0);  // initial frames
    put32(v, 1);  // streams
    put32(v, (uint32_t)largest);
    put32(v, (uint32_t)clip.width);
    put32(v, (uint32_t)clip.height);
    for (int i = 0; i < 4; ++i) put32(v, 0);

    putFourcc(v, "LIST");
    size_t strl = v.size();
    put32(v, 0);
    putFourcc(v, "strl");
    putFourcc(v, "strh");
    put32(v, 56);
    putFourcc(v, "vids");
    putFourcc(v, "mrle");
    put32(v, 0);  // flags
    put16(v, 0);  // priority
    put16(v, 0);  // language
    put32(v, 0);  // initial frames
    put32(v, 1);  // scale
    put32(v, perSecond);
    put32(v, 0);  // start
    put32(v, frames);
    put32(v, (uint32_t)largest);
    put32(v, 0xFFFFFFFFu);  // default quality
    put32(v, 0);            // sample size: varies
    put16(v, 0);
    put16(v, 0);
    put16(v, (uint32_t)clip.width);
    put16(v, (uint32_t)clip.height);
    putFourcc(v, "strf");
    put32(v, 40 + 4 * colors);
    putInfoHeader(v, clip.width, clip.height, 1, (uint32_t)(stride(clip.width, 8) * clip.height), colors);
    putPalette(v, clip.palette);
    set32(v, strl, (uint32_t)(v.size() - strl - 4));
    set32(v, hdrl, (uint32_t)(v.size() - hdrl - 4));

    putFourcc(v, "LIST");
    size_t movi = v.size();
    put32(v, 0);
    putFourcc(v, "movi");
    std::vector<uint32_t> offsets;
    for (const std::vector<BYTE>& f : encoded) {
        offsets.push_back((uint32_t)(v.size() - (movi + 4)));  // from the 'movi' mark
        putFourcc(v, "00dc");
        put32(v, (uint32_t)f.size());
        v.insert(v.end(), f.begin(), f.end());
        if (f.size() & 1) v.push_back(0);
    }
    set32(v, movi, (uint32_t)(v.size() - movi - 4));

    putFourcc(v, "idx1");
    put32(v, 16 * frames);
    for (size_t i = 0; i < encoded.size(); ++i) {
        putFourcc(v, "00dc");
        put32(v, 0x10);  // AVIIF_KEYFRAME
        put32(v, offsets[i]);
        put32(v, (uint32_t)encoded[i].size());
    }
    set32(v, 4, (uint32_t)(v.size() - 8));
    return v;
}

}  // namespace art
