// The program's artwork, drawn from shapes: what each icon, bitmap and clip
// shows, and how it becomes the file that res/art holds.
#pragma once

#include "artwork/encode.h"
#include "res/artwork_files.h"

#include <vector>

namespace art {

// Background of the button bitmaps, and of the clips where they are
// transparent.
inline constexpr PaletteColor kBitmapBackground{242, 239, 230};
inline constexpr PaletteColor kClipBackground{255, 0, 255};
inline constexpr int kClipWidth = 260;
inline constexpr int kClipHeight = 40;
inline constexpr int kClipFrames = 17;
inline constexpr unsigned kClipMicroSecPerFrame = 100000;
inline constexpr size_t kClipColors = 179;

// The pictures before they are written to a file.
IndexedImage BuildIcon(unsigned short id);
IndexedImage BuildBitmap(unsigned short id);
Clip BuildClip(unsigned short id);

// The bytes of the file res/art holds for this entry.
std::vector<BYTE> BuildArtworkFile(const ArtworkFile& file);

}  // namespace art
