// corvane-contact-sheet: pictures of the artwork as the program holds it,
// read back through the resources and our own decoders.
//   contact_sheet.png         every icon and bitmap at 1x (bitmaps on a
//                             button-sized face), then at 4x
//   animation_frames.png      every frame of both clips at 2x, the magenta
//                             background shown as the dialog shows it
//   animation_frames_raw.png  the same frames at 1x as stored
//   animation_zoom.png        first, middle and last frames at 4x
#include "png.h"
#include "res/artwork_files.h"
#include "framework/avi.h"
#include "framework/images.h"
#include "res/resources.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const uint8_t kFace[3] = {236, 236, 236};
const uint8_t kSheet[3] = {200, 204, 210};

// Digits 3 x 5, one row per nibble of bits, for the ids under each picture.
const uint16_t kDigits[10] = {0x7B6F, 0x2C97, 0x73E7, 0x73CF, 0x5BC9, 0x79CF, 0x79EF, 0x7249, 0x7BEF, 0x7BCF};

void number(RgbImage& img, int x, int y, unsigned value, int scale = 2) {
    std::string s = std::to_string(value);
    for (char ch : s) {
        uint16_t bits = kDigits[ch - '0'];
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 3; ++c)
                if (bits >> (14 - (r * 3 + c)) & 1)
                    for (int dy = 0; dy < scale; ++dy)
                        for (int dx = 0; dx < scale; ++dx) img.set(x + c * scale + dx, y + r * scale + dy, 30, 30, 40);
        x += 4 * scale;
    }
}

void rect(RgbImage& img, int x, int y, int w, int h, const uint8_t c[3]) {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) img.set(x + i, y + j, c[0], c[1], c[2]);
}

// A raised push button face, as a picture button shows its image.
void button(RgbImage& img, int x, int y, int w, int h) {
    rect(img, x, y, w, h, kFace);
    for (int i = 0; i < w; ++i) img.set(x + i, y, 255, 255, 255), img.set(x + i, y + h - 1, 100, 100, 100);
    for (int j = 0; j < h; ++j) img.set(x, y + j, 255, 255, 255), img.set(x + w - 1, y + j, 100, 100, 100);
}

void blit(RgbImage& img, const IndexedImage& pic, int x, int y, int scale) {
    for (int py = 0; py < pic.height; ++py)
        for (int px = 0; px < pic.width; ++px) {
            size_t i = (size_t)py * pic.width + px;
            if (!pic.transparent.empty() && pic.transparent[i]) continue;
            PaletteColor c = pic.palette[pic.pixels[i]];
            for (int dy = 0; dy < scale; ++dy)
                for (int dx = 0; dx < scale; ++dx) img.set(x + px * scale + dx, y + py * scale + dy, c.r, c.g, c.b);
        }
}

const BYTE* resource(WORD id, LPCSTR type, DWORD* size) {
    HRSRC r = FindResourceA(nullptr, MAKEINTRESOURCEA(id), type);
    if (!r) return nullptr;
    *size = SizeofResource(nullptr, r);
    return static_cast<const BYTE*>(LockResource(LoadResource(nullptr, r)));
}

bool loadIcon(WORD id, IndexedImage* image) {
    DWORD size = 0;
    const BYTE* group = resource(id, RT_GROUP_ICON, &size);
    std::vector<IconDirEntry> entries;
    if (!group || !ReadGroupIconDirectory(group, size, &entries) || entries.empty()) return false;
    const BYTE* dib = resource(entries[0].id, RT_ICON, &size);
    return dib && DecodeIconImage(dib, size, image);
}

bool loadBitmap(WORD id, IndexedImage* image) {
    DWORD size = 0;
    const BYTE* dib = resource(id, RT_BITMAP, &size);
    return dib && DecodeDib(dib, size, image);
}

bool loadClip(WORD id, AviClip* clip, std::vector<std::vector<BYTE>>* frames) {
    DWORD size = 0;
    const BYTE* data = resource(id, "AVI", &size);
    return data && ReadAvi(data, size, clip) && DecodeAviFrames(data, size, *clip, frames);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    InstallResources();

    std::vector<std::pair<WORD, IndexedImage>> icons, bitmaps;
    for (const ArtworkFile& f : kArtworkFiles) {
        IndexedImage image;
        if (f.kind == ArtKind::Icon) {
            if (!loadIcon(f.id, &image)) return std::fprintf(stderr, "icon %u does not load\n", f.id), 1;
            icons.emplace_back(f.id, image);
        } else if (f.kind == ArtKind::Bitmap) {
            if (!loadBitmap(f.id, &image)) return std::fprintf(stderr, "bitmap %u does not load\n", f.id), 1;
            bitmaps.emplace_back(f.id, image);
        }
    }

    // The sheet: a band at 1x, the icons at 4x, the bitmaps at 4x in two columns.
    const int gap = 16, label = 16;
    RgbImage sheet(2 * 416 + 3 * gap, 1084, kSheet[0], kSheet[1], kSheet[2]);
    int x = gap, y = gap;
    for (auto& [id, image] : icons) {
        rect(sheet, x - 4, y - 4, image.width + 8, image.height + 8, kFace);
        blit(sheet, image, x, y, 1);
        number(sheet, x, y + 48 + 8, id);
        x += image.width + gap;
    }
    for (auto& [id, image] : bitmaps) {
        if (x + 110 > sheet.width) x = gap, y += 48 + label + gap;
        button(sheet, x - 1, y - 1, 106, 57);
        blit(sheet, image, x, y, 1);
        number(sheet, x, y + 58, id);
        x += 106 + gap;
    }
    y += 60 + label + gap;
    x = gap;
    for (auto& [id, image] : icons) {
        rect(sheet, x, y, image.width * 4, image.height * 4, kFace);
        blit(sheet, image, x, y, 4);
        number(sheet, x, y + 192 + 4, id);
        x += image.width * 4 + gap;
    }
    y += 192 + label + gap;
    for (size_t i = 0; i < bitmaps.size(); ++i) {
        int bx = gap + (int)(i % 2) * (416 + gap), by = y + (int)(i / 2) * (220 + label + 4);
        blit(sheet, bitmaps[i].second, bx, by, 4);
        number(sheet, bx, by + 222, bitmaps[i].first);
    }
    bool ok = WritePng(folder + "/contact_sheet.png", sheet);

    // The clips, side by side, one frame a row.
    std::vector<std::pair<AviClip, std::vector<std::vector<BYTE>>>> clips;
    for (const ArtworkFile& f : kArtworkFiles) {
        if (f.kind != ArtKind::Clip) continue;
        AviClip clip;
        std::vector<std::vector<BYTE>> frames;
        if (!loadClip(f.id, &clip, &frames)) return std::fprintf(stderr, "clip %u does not load\n", f.id), 1;
        clips.emplace_back(clip, frames);
    }
    for (int scale : {2, 1}) {
        const bool raw = scale == 1;
        int fw = 260 * scale, fh = 40 * scale, rows = (int)clips[0].second.size();
        RgbImage strip((int)clips.size() * (fw + gap) + gap, rows * (fh + 4) + 2 * gap, kSheet[0], kSheet[1], kSheet[2]);
        for (size_t c = 0; c < clips.size(); ++c) {
            const AviClip& clip = clips[c].first;
            for (int f = 0; f < (int)clips[c].second.size(); ++f) {
                IndexedImage frame;
                frame.width = clip.width;
                frame.height = clip.height;
                frame.palette = clip.palette;
                frame.pixels = clips[c].second[f];
                if (!raw) {
                    // Transparent where the animation control lets the dialog through.
                    frame.transparent.resize(frame.pixels.size());
                    for (size_t i = 0; i < frame.pixels.size(); ++i)
                        frame.transparent[i] = frame.palette[frame.pixels[i]] == PaletteColor{255, 0, 255};
                }
                int fx = gap + (int)c * (fw + gap), fy = gap + f * (fh + 4);
                rect(strip, fx, fy, fw, fh, kFace);
                blit(strip, frame, fx, fy, scale);
            }
        }
        ok = WritePng(folder + (raw ? "/animation_frames_raw.png" : "/animation_frames.png"), strip) && ok;
    }
    // A closer look at the first, middle and last frames.
    {
        const int scale = 4, fw = 260 * scale, fh = 40 * scale;
        RgbImage zoom(fw + 2 * gap, (int)clips.size() * 3 * (fh + gap) + gap, kSheet[0], kSheet[1], kSheet[2]);
        int row = 0;
        for (auto& [clip, frames] : clips)
            for (size_t f : {(size_t)0, frames.size() / 2, frames.size() - 1}) {
                IndexedImage frame;
                frame.width = clip.width;
                frame.height = clip.height;
                frame.palette = clip.palette;
                frame.pixels = frames[f];
                frame.transparent.resize(frame.pixels.size());
                for (size_t i = 0; i < frame.pixels.size(); ++i)
                    frame.transparent[i] = frame.palette[frame.pixels[i]] == PaletteColor{255, 0, 255};
                int fy = gap + row++ * (fh + gap);
                rect(zoom, gap, fy, fw, fh, kFace);
                blit(zoom, frame, gap, fy, scale);
            }
        ok = WritePng(folder + "/animation_zoom.png", zoom) && ok;
    }
    if (!ok) std::fprintf(stderr, "cannot write the pictures into %s\n", folder.c_str());
    return ok ? 0 : 1;
}
