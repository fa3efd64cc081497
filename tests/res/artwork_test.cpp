// The artwork as the program holds it: read back through the resources with
// our own decoders, and compared with what the generator draws.
#include "artwork/pictures.h"
#include "res/artwork_files.h"
#include "framework/avi.h"
#include "res/embedded.h"
#include "framework/images.h"
#include "res/resource.h"
#include "res/resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const PaletteColor kBackground{242, 239, 230};
const PaletteColor kMagenta{255, 0, 255};
const PaletteColor kBlack{0, 0, 0};

struct Bytes {
    const BYTE* data = nullptr;
    DWORD size = 0;
};

Bytes resource(WORD id, LPCSTR type) {
    InstallResources();
    Bytes b;
    HRSRC r = FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), type);
    if (!r) return b;
    b.data = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, r)));
    b.size = SizeofResource(nullptr, r);
    return b;
}

IndexedImage bitmap(WORD id) {
    Bytes b = resource(id, RT_BITMAP);
    IndexedImage image;
    EXPECT_TRUE(b.data && DecodeDib(b.data, b.size, &image)) << "bitmap " << id;
    return image;
}

// The icon through its group directory, as LoadIcon finds it.
IndexedImage icon(WORD id, IconDirEntry* entry = nullptr) {
    Bytes group = resource(id, RT_GROUP_ICON);
    std::vector<IconDirEntry> entries;
    IndexedImage image;
    if (!group.data || !ReadGroupIconDirectory(group.data, group.size, &entries) || entries.size() != 1) {
        ADD_FAILURE() << "icon " << id << " has no directory of one image";
        return image;
    }
    Bytes dib = resource(entries[0].id, RT_ICON);
    EXPECT_EQ(dib.size, entries[0].bytes) << "icon " << id;
    EXPECT_TRUE(dib.data && DecodeIconImage(dib.data, dib.size, &image)) << "icon " << id;
    if (entry) *entry = entries[0];
    return image;
}

bool isGrey(PaletteColor c) { return c.r == c.g && c.g == c.b; }

// How far a colour is from grey.
int chroma(PaletteColor c) { return std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b}); }

// ---- bitmaps ----------------------------------------------------------------

const WORD kBitmaps[] = {IDB_BACKUP_ON, IDB_BACKUP_OFF, IDB_RESTORE_ON, IDB_RESTORE_OFF, IDB_QUIT};

TEST(Bitmaps, Are104By55WithA256ColourPaletteOnTheFlatBackground) {
    for (WORD id : kBitmaps) {
        SCOPED_TRACE("bitmap " + std::to_string(id));
        IndexedImage image = bitmap(id);
        ASSERT_EQ(image.width, 104);
        ASSERT_EQ(image.height, 55);
        EXPECT_EQ(image.bitCount, 8);
        EXPECT_EQ(image.compression, BI_RGB);
        EXPECT_EQ(image.palette.size(), 256u);
        // The picture keeps clear of a margin of background all round, and fills a fair part.
        size_t drawn = 0;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                bool margin = x < 2 || y < 2 || x >= image.width - 2 || y >= image.height - 2;
                if (margin) {
                    EXPECT_EQ(image.colorAt(x, y), kBackground) << x << "," << y;
                }
                drawn += !(image.colorAt(x, y) == kBackground);
            }
        EXPECT_GT(drawn, image.pixels.size() / 5);
    }
}

TEST(Bitmaps, ResourceIsTheBmpFileWithoutItsFileHeader) {
    for (const ArtworkFile& f : kArtworkFiles) {
        if (f.kind != ArtKind::Bitmap) continue;
        SCOPED_TRACE(f.name);
        const EmbeddedFile* file = FindEmbeddedFile(f.name);
        Bytes b = resource(f.id, RT_BITMAP);
        ASSERT_TRUE(file && b.data);
        ASSERT_EQ(b.size + 14, file->size);
        EXPECT_EQ(std::vector<BYTE>(b.data, b.data + b.size), std::vector<BYTE>(file->data + 14, file->data + file->size));
        IndexedImage fromFile;
        ASSERT_TRUE(DecodeBmpFile(file->data, file->size, &fromFile));
        EXPECT_EQ(fromFile.pixels, bitmap(f.id).pixels);
    }
}

// The off pictures are the on pictures in grey: the same shape, no colour
// beyond the background's own tint, which their smoothed edges take on.
TEST(Bitmaps, OffVariantsAreTheOnPicturesInGrey) {
    const WORD pairs[][2] = {{IDB_BACKUP_ON, IDB_BACKUP_OFF}, {IDB_RESTORE_ON, IDB_RESTORE_OFF}};
    for (auto [on, off] : pairs) {
        SCOPED_TRACE("bitmaps " + std::to_string(on) + "/" + std::to_string(off));
        IndexedImage colour = bitmap(on), grey = bitmap(off);
        ASSERT_EQ(colour.pixels.size(), grey.pixels.size());
        size_t coloured = 0;
        for (int y = 0; y < colour.height; ++y)
            for (int x = 0; x < colour.width; ++x) {
                PaletteColor c = colour.colorAt(x, y), g = grey.colorAt(x, y);
                EXPECT_EQ(c == kBackground, g == kBackground) << x << "," << y;
                EXPECT_LE(chroma(g), chroma(kBackground)) << x << "," << y;
                coloured += chroma(c) > 60;
            }
        EXPECT_GT(coloured, colour.pixels.size() / 10);
    }
}

TEST(Bitmaps, QuitSignIsMostlyGreenAndCentred) {
    IndexedImage image = bitmap(IDB_QUIT);
    size_t green = 0;
    double sumX = 0, sumY = 0, n = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            PaletteColor c = image.colorAt(x, y);
            if (c == kBackground) continue;
            sumX += x, sumY += y, ++n;
            green += c.g > c.r + 40 && c.g > c.b + 20;
        }
    ASSERT_GT(n, 0);
    EXPECT_GT(green, (size_t)(n / 2));
    EXPECT_NEAR(sumX / n, (image.width - 1) / 2.0, 3.0);
    EXPECT_NEAR(sumY / n, (image.height - 1) / 2.0, 3.0);
}

// ---- icons ------------------------------------------------------------------

struct IconCase {
    WORD id;
    int size;
};
const IconCase kIcons[] = {
    {IDI_APP, 48}, {IDI_BROWSE, 32}, {IDI_BROWSE_BUSY, 32}, {IDI_REFRESH, 32}, {IDI_REFRESH_BUSY, 32},
};

TEST(Icons, AreOneImageOf256ColoursWithAMask) {
    for (const IconCase& c : kIcons) {
        SCOPED_TRACE("icon " + std::to_string(c.id));
        IconDirEntry entry;
        IndexedImage image = icon(c.id, &entry);
        EXPECT_EQ(entry.width, c.size);
        EXPECT_EQ(entry.height, c.size);
        EXPECT_EQ(entry.bitCount, 8);
        EXPECT_EQ(entry.colorCount, 0);  // 256
        EXPECT_EQ(entry.planes, 1);
        ASSERT_EQ(image.width, c.size);
        ASSERT_EQ(image.height, c.size);
        EXPECT_EQ(image.bitCount, 8);
        EXPECT_EQ(image.palette.size(), 256u);
        // Corners show the background; where the mask does, the colour bits are black.
        for (auto [x, y] : {std::pair{0, 0}, {c.size - 1, 0}, {0, c.size - 1}, {c.size - 1, c.size - 1}})
            EXPECT_TRUE(image.transparent[(size_t)y * c.size + x]) << x << "," << y;
        size_t opaque = 0;
        for (size_t i = 0; i < image.pixels.size(); ++i) {
            if (image.transparent[i]) {
                EXPECT_EQ(image.palette[image.pixels[i]], kBlack) << i;
            }
            opaque += !image.transparent[i];
        }
        EXPECT_GT(opaque, image.pixels.size() / 3);
    }
}

TEST(Icons, BusyVariantsAreTheSamePicturesInGrey) {
    const WORD pairs[][2] = {{IDI_BROWSE, IDI_BROWSE_BUSY}, {IDI_REFRESH, IDI_REFRESH_BUSY}};
    for (auto [normal, busy] : pairs) {
        SCOPED_TRACE("icons " + std::to_string(normal) + "/" + std::to_string(busy));
        IndexedImage colour = icon(normal), grey = icon(busy);
        EXPECT_EQ(colour.transparent, grey.transparent);
        size_t coloured = 0;
        for (size_t i = 0; i < grey.pixels.size(); ++i) {
            if (grey.transparent[i]) continue;
            EXPECT_TRUE(isGrey(grey.palette[grey.pixels[i]])) << i;
            coloured += !isGrey(colour.palette[colour.pixels[i]]);
        }
        EXPECT_GT(coloured, colour.pixels.size() / 5);
    }
}

TEST(Icons, FolderIsLightBlue) {
    IndexedImage image = icon(IDI_BROWSE);
    size_t blue = 0, opaque = 0;
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        if (image.transparent[i]) continue;
        PaletteColor c = image.palette[image.pixels[i]];
        ++opaque;
        blue += c.b > c.r + 40 && c.b > 150;
    }
    EXPECT_GT(blue, opaque / 2);
}

// ---- clips ------------------------------------------------------------------

const WORD kClips[] = {IDR_AVI_BACKUP, IDR_AVI_RESTORE};

TEST(Clips, Are17Rle8FramesOf260By40At10PerSecondOnMagenta) {
    for (WORD id : kClips) {
        SCOPED_TRACE("clip " + std::to_string(id));
        Bytes b = resource(id, "AVI");
        AviClip clip;
        ASSERT_TRUE(b.data && ReadAvi(b.data, b.size, &clip));
        EXPECT_EQ(clip.width, 260);
        EXPECT_EQ(clip.height, 40);
        EXPECT_EQ(clip.totalFrames, 17u);
        EXPECT_EQ(clip.length, 17u);
        EXPECT_EQ(clip.frames.size(), 17u);
        EXPECT_EQ(clip.microSecPerFrame, 100000u);
        EXPECT_EQ(clip.rate / clip.scale, 10u);
        EXPECT_EQ(clip.streams, 1u);
        EXPECT_EQ(clip.streamType, MAKEFOURCC('v', 'i', 'd', 's'));
        EXPECT_FALSE(clip.hasAudio);
        EXPECT_EQ(clip.bitCount, 8);
        EXPECT_EQ(clip.compression, BI_RLE8);
        EXPECT_EQ(clip.palette.size(), 179u);
        std::vector<std::vector<BYTE>> frames;
        ASSERT_TRUE(DecodeAviFrames(b.data, b.size, clip, &frames));
        for (size_t f = 0; f < frames.size(); ++f) {
            size_t magenta = 0;
            for (BYTE i : frames[f]) magenta += clip.palette[i] == kMagenta;
            // Mostly background, with the picture drawn on it.
            EXPECT_GT(magenta, frames[f].size() / 2) << "frame " << f;
            EXPECT_LT(magenta, frames[f].size() * 19 / 20) << "frame " << f;
            for (size_t corner : {(size_t)0, (size_t)259, (size_t)260 * 39, (size_t)260 * 40 - 1})
                EXPECT_EQ(clip.palette[frames[f][corner]], kMagenta) << "frame " << f;
        }
        // The sheet moves: no two frames alike.
        for (size_t f = 1; f < frames.size(); ++f) EXPECT_NE(frames[f], frames[f - 1]) << "frame " << f;
    }
}

// ---- the generator ---------------------------------------------------------------

TEST(Generator, ReproducesEveryEmbeddedFileByteForByte) {
    for (const ArtworkFile& f : kArtworkFiles) {
        SCOPED_TRACE(f.name);
        const EmbeddedFile* file = FindEmbeddedFile(f.name);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(art::BuildArtworkFile(f), std::vector<BYTE>(file->data, file->data + file->size));
    }
}

TEST(Generator, Rle8DecoderGivesBackTheDrawnFrames) {
    for (WORD id : kClips) {
        SCOPED_TRACE("clip " + std::to_string(id));
        art::Clip drawn = art::BuildClip(id);
        Bytes b = resource(id, "AVI");
        AviClip clip;
        std::vector<std::vector<BYTE>> frames;
        ASSERT_TRUE(b.data && ReadAvi(b.data, b.size, &clip) && DecodeAviFrames(b.data, b.size, clip, &frames));
        EXPECT_EQ(clip.palette, drawn.palette);
        ASSERT_EQ(frames.size(), drawn.frames.size());
        for (size_t f = 0; f < frames.size(); ++f) EXPECT_EQ(frames[f], drawn.frames[f]) << "frame " << f;
    }
}

}  // namespace
