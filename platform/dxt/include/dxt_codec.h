// DXT1 to DXT5 (S3TC) blocks: decoding to 0xAARRGGBB pixels and a straightforward encoder.
// Levels are stored as rows of 4 x 4 blocks; a level narrower or lower than 4 still takes
// whole blocks. DXT2 and DXT4 hold colours premultiplied by alpha.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "d3d9types.h"

namespace dxt {

// 8 for DXT1, 16 for DXT2 to DXT5, 0 for any other format.
uint32_t blockBytes(D3DFORMAT format);
// Bytes of a whole level of the given size (0 for formats that are not DXT).
size_t levelBytes(D3DFORMAT format, uint32_t width, uint32_t height);

// Decodes a level into width * height pixels, top-down. Does nothing when the format is not
// DXT, the blocks are fewer than levelBytes or the pixels fewer than width * height.
void decode(D3DFORMAT format, std::span<const uint8_t> blocks, uint32_t width, uint32_t height,
            std::span<uint32_t> pixels);

// Encodes width * height pixels into a level; the same conditions as decode. End points
// are the corners of each block's colour box, texels take the nearest palette colour;
// DXT1 blocks with a texel of alpha below 128 use the three-colour mode with transparency.
void encode(D3DFORMAT format, std::span<const uint32_t> pixels, uint32_t width, uint32_t height,
            std::span<uint8_t> blocks);

}  // namespace dxt
