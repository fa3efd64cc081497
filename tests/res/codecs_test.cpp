// The picture decoders on hand-made data: every RLE8 escape, broken input,
// and the encoder's output read back.
#include "artwork/encode.h"
#include "framework/avi.h"
#include "framework/images.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// ---- RLE8 ---------------------------------------------------------------------

TEST(Rle8, DecodesRunsAbsoluteRunsDeltasAndLineEnds) {
    // 6 x 3, bottom line first. Canvas starts as 9s so skipped pixels show.
    const BYTE stream[] = {
        3, 1, 0, 3, 2, 3, 4, 0,  // bottom: 1 1 1, absolute 2 3 4 (padded)
        0, 0,                    // end of line
        0, 2, 2, 0,              // skip two pixels of the middle line
        2, 5, 0, 0,              // 5 5, then the rest of the line is left alone
        0, 4, 6, 7, 8, 6,        // top: absolute of even length, no pad
        1, 7,                    // one pixel
        0, 1,                    // end of bitmap
        1, 1,                    // after the end: ignored
    };
    std::vector<BYTE> canvas(18, 9);
    ASSERT_TRUE(DecodeRle8(stream, sizeof stream, 6, 3, canvas.data()));
    const std::vector<BYTE> expected = {
        6, 7, 8, 6, 7, 9,  // top row
        9, 9, 5, 5, 9, 9,  // middle
        1, 1, 1, 2, 3, 4,  // bottom
    };
    EXPECT_EQ(canvas, expected);
}

TEST(Rle8, RefusesStreamsThatLeaveTheBitmapOrStopMidway) {
    struct Case {
        const char* what;
        std::vector<BYTE> stream;
    };
    const Case cases[] = {
        {"run past the end of the line", {5, 1}},
        {"run after a full line without a line end", {4, 1, 1, 1}},
        {"absolute run past the line", {0, 5, 1, 2, 3, 4, 5, 0}},
        {"absolute run cut short", {0, 3, 1, 2}},
        {"absolute run without its pad byte", {0, 3, 1, 2, 3}},
        {"delta past the right edge", {0, 2, 5, 0}},
        {"delta past the top", {0, 2, 0, 3}},
        {"delta cut short", {0, 2, 1}},
        {"odd byte at the end", {2, 1, 0}},
        {"pixels above the top line", {0, 0, 0, 0, 1, 1}},
    };
    for (const Case& c : cases) {
        std::vector<BYTE> canvas(8, 0);
        EXPECT_FALSE(DecodeRle8(c.stream.data(), c.stream.size(), 4, 2, canvas.data())) << c.what;
    }
}

TEST(Rle8, EncoderOutputDecodesToTheSamePixels) {
    std::mt19937 random(7);
    for (int width : {1, 2, 3, 7, 260, 300}) {
        for (int pattern = 0; pattern < 4; ++pattern) {
            const int height = 5;
            std::vector<BYTE> pixels((size_t)width * height);
            for (size_t i = 0; i < pixels.size(); ++i) {
                switch (pattern) {
                case 0: pixels[i] = 0; break;                                  // one long run per line
                case 1: pixels[i] = (BYTE)(random() % 256); break;             // noise: absolute runs
                case 2: pixels[i] = (BYTE)((i / 3) % 2 ? 4 : random() % 3); break;  // mixed
                case 3: pixels[i] = (BYTE)(i % 2); break;                      // alternating pairs
                }
            }
            std::vector<BYTE> stream = art::EncodeRle8(pixels.data(), width, height);
            std::vector<BYTE> canvas(pixels.size(), 0xEE);
            ASSERT_TRUE(DecodeRle8(stream.data(), stream.size(), width, height, canvas.data()))
                << width << " wide, pattern " << pattern;
            EXPECT_EQ(canvas, pixels) << width << " wide, pattern " << pattern;
        }
    }
}

// ---- bitmaps and icons -----------------------------------------------------------

IndexedImage sample(int width, int height) {
    IndexedImage image;
    image.width = width;
    image.height = height;
    image.bitCount = 8;
    for (int i = 0; i < 256; ++i) image.palette.push_back({(BYTE)i, (BYTE)(255 - i), (BYTE)(i / 2)});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.pixels.push_back((BYTE)(x * 7 + y * 31));
    return image;
}

TEST(Dib, ReadsBackWhatTheWriterWrote) {
    // Widths with and without row padding.
    for (int width : {4, 5, 7}) {
        IndexedImage image = sample(width, 3);
        std::vector<BYTE> file = art::EncodeBmpFile(image);
        IndexedImage back;
        ASSERT_TRUE(DecodeBmpFile(file.data(), file.size(), &back)) << width;
        EXPECT_EQ(back.pixels, image.pixels) << width;
        EXPECT_EQ(back.palette, image.palette) << width;
        // The same DIB stored top-down (negative height) reads the same.
        std::vector<BYTE> dib(file.begin() + 14, file.end());
        int32_t negative = -3;
        for (int i = 0; i < 4; ++i) dib[8 + i] = (BYTE)((uint32_t)negative >> (8 * i));
        size_t stride = ((size_t)width + 3) & ~(size_t)3, bits = 40 + 1024;
        std::vector<BYTE> flipped(dib.begin(), dib.begin() + (long)bits);
        for (int row = 2; row >= 0; --row)
            flipped.insert(flipped.end(), dib.begin() + (long)(bits + row * stride),
                           dib.begin() + (long)(bits + (row + 1) * stride));
        ASSERT_TRUE(DecodeDib(flipped.data(), flipped.size(), &back)) << width;
        EXPECT_EQ(back.pixels, image.pixels) << width;
    }
}

TEST(Dib, RefusesOtherDepthsAndCutData) {
    std::vector<BYTE> file = art::EncodeBmpFile(sample(8, 4));
    std::vector<BYTE> dib(file.begin() + 14, file.end());
    IndexedImage image;
    for (size_t cut : {(size_t)0, (size_t)39, (size_t)40 + 1023, dib.size() - 1}) {
        EXPECT_FALSE(DecodeDib(dib.data(), cut, &image)) << cut;
        EXPECT_FALSE(DecodeBmpFile(file.data(), cut + 14, &image)) << cut;
    }
    std::vector<BYTE> fourBit = dib;
    fourBit[14] = 4;
    EXPECT_FALSE(DecodeDib(fourBit.data(), fourBit.size(), &image));
    std::vector<BYTE> badFile = file;
    badFile[0] = 'X';
    EXPECT_FALSE(DecodeBmpFile(badFile.data(), badFile.size(), &image));
}

TEST(Ico, ReadsColoursAndMaskBack) {
    IndexedImage image = sample(32, 32);
    image.transparent.resize(image.pixels.size());
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if ((x - 16) * (x - 16) + (y - 16) * (y - 16) > 200) {
                image.transparent[(size_t)y * 32 + x] = 1;
                image.pixels[(size_t)y * 32 + x] = 0;
            }
    std::vector<BYTE> file = art::EncodeIcoFile(image);
    std::vector<IndexedImage> back;
    ASSERT_TRUE(DecodeIcoFile(file.data(), file.size(), &back));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].pixels, image.pixels);
    EXPECT_EQ(back[0].transparent, image.transparent);
    // A directory that points past the end of the file is refused.
    std::vector<BYTE> cut(file.begin(), file.end() - 1);
    EXPECT_FALSE(DecodeIcoFile(cut.data(), cut.size(), &back));
}

// ---- AVI --------------------------------------------------------------------

TEST(Avi, RefusesCutFiles) {
    art::Clip clip;
    clip.width = 8;
    clip.height = 2;
    clip.microSecPerFrame = 100000;
    clip.palette = {{255, 0, 255}, {1, 2, 3}};
    clip.frames = {std::vector<BYTE>(16, 0), std::vector<BYTE>(16, 1)};
    std::vector<BYTE> file = art::EncodeAvi(clip);
    AviClip read;
    std::vector<std::vector<BYTE>> frames;
    ASSERT_TRUE(ReadAvi(file.data(), file.size(), &read));
    ASSERT_TRUE(DecodeAviFrames(file.data(), file.size(), read, &frames));
    EXPECT_EQ(frames, clip.frames);
    for (size_t cut : {(size_t)11, (size_t)100, file.size() / 2, file.size() - 1})
        EXPECT_FALSE(ReadAvi(file.data(), cut, &read)) << cut;
}

}  // namespace
