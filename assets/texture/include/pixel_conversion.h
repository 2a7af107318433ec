// The pixel converter behind D3DXLoadSurfaceFromMemory, usable on plain memory (tools and
// tests read decoded pictures through it). Not part of the published interface.
#pragma once

#include <cstdint>
#include <vector>

#include <d3d9.h>

#include "image_decoder.h"

namespace d3dx {

struct PixelRegion {
  D3DFORMAT format = D3DFMT_UNKNOWN;
  void* bits = nullptr;  // first row of the region (of blocks, for DXT formats)
  uint32_t pitch = 0;    // bytes from row to row (block row to block row)
  uint32_t width = 0;
  uint32_t height = 0;
  const PALETTEENTRY* palette = nullptr;  // 256 entries for palette formats; null: all 255
};

// Writes the source region into the destination region: a row copy when format and size
// agree and no colour key applies, otherwise through four float channels (colour key,
// resampling with the filter's low byte, MIRROR and DITHER flags). A non-zero colour key
// turns source pixels of that 0xAARRGGBB value transparent black. D3DERR_INVALIDCALL for
// unknown filters and formats that are not converted (depth formats and the like);
// E_OUTOFMEMORY when scratch space cannot be had.
HRESULT convertPixels(const PixelRegion& destination, const PixelRegion& source, DWORD filter, D3DCOLOR colorKey);

// The first level of a decoded picture as 8-bit R, G, B, A bytes, row 0 the top row,
// converted as a surface of D3DFMT_A8B8G8R8 would be filled.
HRESULT pictureToRgba8(const DecodedImage& picture, std::vector<uint8_t>& rgba);

}  // namespace d3dx
