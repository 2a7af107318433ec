// Decoding of image files held in memory (BMP, PPM/PGM, DDS, JPEG, PNG, PFM, HDR, TGA, DIB)
// into pictures in Direct3D pixel formats. Used by the texture routines and tools; not part
// of the published interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "d3dximage.h"

namespace d3dx {

// One level of one face (or the whole volume of one level) of a decoded picture. Rows run
// top-down. Block-compressed formats keep their 4 x 4 blocks: `pitch` is then the bytes of
// one row of blocks.
struct DecodedImage {
  D3DFORMAT format = D3DFMT_UNKNOWN;
  const uint8_t* pixels = nullptr;  // first row; into `storage` or into the caller's file
  uint32_t pitch = 0;
  uint32_t slicePitch = 0;  // bytes from one depth slice to the next
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t depth = 1;
  RECT sourceRect{};                        // the whole picture: (0, 0, width, height)
  std::vector<PALETTEENTRY> palette;        // 256 entries (alpha in peFlags) for palette formats, else empty
  std::unique_ptr<uint8_t[]> storage;       // pixels the decoder made; null when they lie in the file
  std::unique_ptr<DecodedImage> nextLevel;  // next smaller mip level of this face
  std::unique_ptr<DecodedImage> nextFace;   // next cube face (its own level chain)

  // What the file declared (set on the first level of the first face).
  D3DXIMAGE_FILEFORMAT fileFormat = D3DXIFF_BMP;
  D3DRESOURCETYPE resourceType = D3DRTYPE_TEXTURE;

  uint32_t levelCount() const;
};

// Tries the decoders in the fixed order BMP, PPM, DDS, JPEG, PNG, PFM, HDR, TGA, DIB with
// the numeric locale set to "C". D3DERR_INVALIDCALL without data or size; S_OK without doing
// anything when neither pixels nor information are wanted; D3DXERR_INVALIDDATA when no
// decoder accepts the data; E_OUTOFMEMORY, or E_FAIL for a JPEG of an unusable component
// count. Pixels that can be used where they lie point into `data`, which must then outlive
// `image`. On failure `image` is left empty.
HRESULT decodeImage(const void* data, size_t size, bool wantPixels, D3DXIMAGE_INFO* info, DecodedImage& image);

}  // namespace d3dx
