// AVI reader and RLE8 decoder.
#include "framework/avi.h"

#include <cstring>

namespace {

WORD u16(const BYTE* p) { return (WORD)(p[0] | p[1] << 8); }
DWORD u32(const BYTE* p) { return (DWORD)p[0] | (DWORD)p[1] << 8 | (DWORD)p[2] << 16 | (DWORD)p[3] << 24; }

constexpr DWORD kRiff = MAKEFOURCC('R', 'I', 'F', 'F');
constexpr DWORD kList = MAKEFOURCC('L', 'I', 'S', 'T');
constexpr DWORD kAvi = MAKEFOURCC('A', 'V', 'I', ' ');
constexpr DWORD kHdrl = MAKEFOURCC('h', 'd', 'r', 'l');
constexpr DWORD kAvih = MAKEFOURCC('a', 'v', 'i', 'h');
constexpr DWORD kStrl = MAKEFOURCC('s', 't', 'r', 'l');
constexpr DWORD kStrh = MAKEFOURCC('s', 't', 'r', 'h');
constexpr DWORD kStrf = MAKEFOURCC('s', 't', 'r', 'f');
constexpr DWORD kMovi = MAKEFOURCC('m', 'o', 'v', 'i');
constexpr DWORD kRec = MAKEFOURCC('r', 'e', 'c', ' ');
constexpr DWORD kVids = MAKEFOURCC('v', 'i', 'd', 's');
constexpr DWORD kAuds = MAKEFOURCC('a', 'u', 'd', 's');

struct Chunk {
    DWORD id;
    size_t data;  // offset of the payload
    size_t size;  // payload size, without the pad byte
    DWORD form;   // for RIFF and LIST: the list type
};

// The chunks between begin and end; false when one runs past end.
bool chunks(const BYTE* file, size_t begin, size_t end, std::vector<Chunk>* out) {
    out->clear();
    for (size_t p = begin; p < end;) {
        if (end - p < 8) return false;
        Chunk c{u32(file + p), p + 8, u32(file + p + 4), 0};
        if (c.size > end - c.data) return false;
        if (c.id == kList || c.id == kRiff) {
            if (c.size < 4) return false;
            c.form = u32(file + c.data);
        }
        out->push_back(c);
        p = c.data + c.size + (c.size & 1);
    }
    return true;
}

struct Stream {
    DWORD type = 0;
    DWORD handler = 0;
    DWORD scale = 0;
    DWORD rate = 0;
    DWORD length = 0;
    const BYTE* format = nullptr;
    size_t formatSize = 0;
};

bool readStream(const BYTE* file, const Chunk& strl, Stream* s) {
    std::vector<Chunk> parts;
    if (!chunks(file, strl.data + 4, strl.data + strl.size, &parts)) return false;
    bool header = false;
    for (const Chunk& c : parts) {
        if (c.id == kStrh) {
            if (c.size < 48) return false;
            const BYTE* h = file + c.data;
            s->type = u32(h);
            s->handler = u32(h + 4);
            s->scale = u32(h + 20);
            s->rate = u32(h + 24);
            s->length = u32(h + 32);
            header = true;
        } else if (c.id == kStrf) {
            s->format = file + c.data;
            s->formatSize = c.size;
        }
    }
    return header && s->format;
}

// Data chunks of stream 00 ("00dc", "00db"), also inside "rec " lists.
bool collectFrames(const BYTE* file, size_t begin, size_t end, std::vector<AviFrame>* frames) {
    std::vector<Chunk> parts;
    if (!chunks(file, begin, end, &parts)) return false;
    for (const Chunk& c : parts) {
        if (c.id == kList && c.form == kRec) {
            if (!collectFrames(file, c.data + 4, c.data + c.size, frames)) return false;
            continue;
        }
        const BYTE* id = file + c.data - 8;
        if (id[0] == '0' && id[1] == '0' && id[2] == 'd' && (id[3] == 'c' || id[3] == 'b'))
            frames->push_back({c.data, c.size});
    }
    return true;
}

}  // namespace

bool ReadAvi(const BYTE* data, size_t size, AviClip* clip) {
    if (!data || !clip || size < 12 || u32(data) != kRiff || u32(data + 8) != kAvi) return false;
    size_t riffEnd = 8 + (size_t)u32(data + 4);
    if (riffEnd > size) return false;
    std::vector<Chunk> top;
    if (!chunks(data, 12, riffEnd, &top)) return false;

    AviClip out;
    bool mainHeader = false, movi = false;
    std::vector<Stream> streams;
    for (const Chunk& c : top) {
        if (c.id == kList && c.form == kHdrl) {
            std::vector<Chunk> parts;
            if (!chunks(data, c.data + 4, c.data + c.size, &parts)) return false;
            for (const Chunk& p : parts) {
                if (p.id == kAvih) {
                    if (p.size < 40) return false;
                    const BYTE* h = data + p.data;
                    out.microSecPerFrame = u32(h);
                    out.totalFrames = u32(h + 16);
                    out.streams = u32(h + 24);
                    out.width = (int)u32(h + 32);
                    out.height = (int)u32(h + 36);
                    mainHeader = true;
                } else if (p.id == kList && p.form == kStrl) {
                    Stream s;
                    if (!readStream(data, p, &s)) return false;
                    streams.push_back(s);
                }
            }
        } else if (c.id == kList && c.form == kMovi) {
            if (!collectFrames(data, c.data + 4, c.data + c.size, &out.frames)) return false;
            movi = true;
        }
    }
    if (!mainHeader || !movi) return false;

    // The first stream must be the video; an audio stream is noted, nothing more.
    int video = 0;
    for (const Stream& s : streams) {
        if (s.type == kVids) ++video;
        if (s.type == kAuds) out.hasAudio = true;
    }
    if (video != 1 || streams.empty() || streams[0].type != kVids) return false;
    const Stream& v = streams[0];
    if (v.formatSize < 40) return false;
    const BYTE* f = v.format;
    DWORD headerSize = u32(f);
    if (headerSize < 40 || headerSize > v.formatSize) return false;
    out.streamType = v.type;
    out.handler = v.handler;
    out.scale = v.scale;
    out.rate = v.rate;
    out.length = v.length;
    out.bitCount = u16(f + 14);
    out.compression = u32(f + 16);
    if (out.bitCount != 8 || (int)u32(f + 4) != out.width || (int)u32(f + 8) != out.height) return false;
    if (out.width <= 0 || out.height <= 0 || out.width > 4096 || out.height > 4096) return false;
    DWORD used = u32(f + 32);
    size_t colors = used ? used : 256;
    if (colors > 256 || headerSize + 4 * colors > v.formatSize) return false;
    for (size_t i = 0; i < colors; ++i) {
        const BYTE* q = f + headerSize + 4 * i;
        out.palette.push_back({q[2], q[1], q[0]});
    }
    *clip = std::move(out);
    return true;
}

bool DecodeRle8(const BYTE* data, size_t size, int width, int height, BYTE* canvas) {
    if (!canvas || width <= 0 || height <= 0 || (!data && size)) return false;
    // x, y count from the bottom-left pixel, as the stream does.
    int x = 0, y = 0;
    auto put = [&](BYTE index) { canvas[(size_t)(height - 1 - y) * width + x++] = index; };
    size_t p = 0;
    while (p < size) {
        if (size - p < 2) return false;
        BYTE count = data[p], value = data[p + 1];
        p += 2;
        if (count > 0) {
            if (y >= height || x + count > width) return false;
            for (int i = 0; i < count; ++i) put(value);
        } else if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of bitmap
            return true;
        } else if (value == 2) {  // delta: move right and up
            if (size - p < 2) return false;
            x += data[p];
            y += data[p + 1];
            p += 2;
            if (x > width || y > height) return false;
        } else {  // absolute run of value pixels, padded to a 16-bit boundary
            size_t run = value, padded = run + (run & 1);
            if (size - p < padded || y >= height || x + (int)run > width) return false;
            for (size_t i = 0; i < run; ++i) put(data[p + i]);
            p += padded;
        }
    }
    return true;  // a stream may end without the end-of-bitmap mark
}

bool DecodeAviFrames(const BYTE* data, size_t size, const AviClip& clip, std::vector<std::vector<BYTE>>* frames) {
    if (!data || !frames || clip.width <= 0 || clip.height <= 0) return false;
    const size_t pixels = (size_t)clip.width * clip.height;
    std::vector<BYTE> canvas(pixels, 0);
    std::vector<std::vector<BYTE>> out;
    for (const AviFrame& f : clip.frames) {
        if (f.offset > size || f.size > size - f.offset) return false;
        const BYTE* bits = data + f.offset;
        if (clip.compression == BI_RLE8) {
            if (!DecodeRle8(bits, f.size, clip.width, clip.height, canvas.data())) return false;
        } else if (clip.compression == BI_RGB) {
            size_t rowBytes = ((size_t)clip.width + 3) & ~(size_t)3;
            if (f.size < rowBytes * clip.height) return false;
            for (int row = 0; row < clip.height; ++row)
                std::memcpy(canvas.data() + (size_t)(clip.height - 1 - row) * clip.width, bits + rowBytes * row,
                            (size_t)clip.width);
        } else {
            return false;
        }
        for (BYTE i : canvas)
            if (i >= clip.palette.size()) return false;
        out.push_back(canvas);
    }
    *frames = std::move(out);
    return true;
}
