// Memory layout of the texture formats this layer can create. Nothing here knows about
// OpenGL.
#pragma once

#include <cstddef>
#include <cstdint>

#include "d3d9types.h"

namespace d3d9 {

struct TextureFormatInfo {
  D3DFORMAT format;
  uint32_t blockBytes;  // bytes per pixel, or per 4 x 4 block when compressed
  bool compressed;      // DXT: stored and locked in 4 x 4 blocks
  bool gdiCompatible;   // GetDC can draw on it
};

// Null for formats that cannot be created as textures here.
const TextureFormatInfo* textureFormatInfo(D3DFORMAT format);

// Bytes per row (per row of blocks when compressed) of a level of the given width.
size_t levelPitch(const TextureFormatInfo& info, uint32_t width);
// Rows (rows of blocks when compressed) of a level of the given height.
uint32_t levelRows(const TextureFormatInfo& info, uint32_t height);
// Number of levels of a full chain down to 1 x 1.
uint32_t fullChainLevels(uint32_t width, uint32_t height);

// Where each element of a flexible-vertex-format vertex lies. Only what the fixed-function
// shader consumes is accepted: untransformed positions with 0..4 blend weights (floats),
// normal, point size, diffuse and specular colours, and up to 8 sets of 2D texture
// coordinates (the first is used).
struct FvfLayout {
  uint32_t size = 0;
  uint32_t weightCount = 0;
  int32_t normalOffset = -1;
  int32_t pointSizeOffset = -1;
  int32_t diffuseOffset = -1;
  int32_t specularOffset = -1;
  int32_t texCoordOffset = -1;
};
// False for formats outside that set.
bool parseFvf(DWORD fvf, FvfLayout& layout);

}  // namespace d3d9
