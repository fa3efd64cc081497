// A reader for the animation clips: RIFF AVI files with one video stream
// of 8-bit frames, uncompressed or run-length encoded (BI_RLE8), as the
// animation control plays them.
#pragma once

#include "framework/images.h"

#include <cstddef>
#include <vector>

#define MAKEFOURCC(a, b, c, d) \
    ((DWORD)(BYTE)(a) | ((DWORD)(BYTE)(b) << 8) | ((DWORD)(BYTE)(c) << 16) | ((DWORD)(BYTE)(d) << 24))

struct AviFrame {
    size_t offset;  // of the frame's data within the file
    size_t size;
};

struct AviClip {
    // From the main header.
    DWORD microSecPerFrame = 0;
    DWORD totalFrames = 0;
    DWORD streams = 0;
    int width = 0;
    int height = 0;
    // From the one video stream.
    DWORD streamType = 0;  // 'vids'
    DWORD handler = 0;
    DWORD scale = 0;
    DWORD rate = 0;
    DWORD length = 0;
    int bitCount = 0;
    DWORD compression = 0;
    std::vector<PaletteColor> palette;
    // The video stream's data chunks in file order.
    std::vector<AviFrame> frames;
    bool hasAudio = false;
};

// Reads the headers and finds the frames; false when the file is not a
// RIFF AVI with exactly one 8-bit video stream or when a chunk does not fit.
bool ReadAvi(const BYTE* data, size_t size, AviClip* clip);

// Decodes one BI_RLE8 frame of a bottom-up bitmap into canvas (width * height
// indices, top row first). Pixels the stream skips (delta, early end of line
// or of bitmap) keep what canvas held, so consecutive frames may build on
// each other. False when a run leaves the bitmap or the stream is cut short.
bool DecodeRle8(const BYTE* data, size_t size, int width, int height, BYTE* canvas);

// Every frame of the clip, fully decoded, top row first. The canvas starts
// at index 0 and carries over from frame to frame.
bool DecodeAviFrames(const BYTE* data, size_t size, const AviClip& clip, std::vector<std::vector<BYTE>>* frames);
