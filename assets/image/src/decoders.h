// The individual decoders behind decodeImage and what they share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "image_decoder.h"

namespace d3dx::image {

using Bytes = std::span<const uint8_t>;

// A decoder's answer when the data is not in its format (or is damaged): the next decoder
// is tried. S_OK means accepted; any failure code ends decoding with that result.
constexpr HRESULT kRejected = S_FALSE;

// Limits for pictures whose size the file does not vouch for with its own bytes.
constexpr uint32_t kMaxDimension = 32768;
constexpr uint64_t kMaxPictureBytes = uint64_t{1} << 30;

HRESULT decodeBmp(Bytes file, DecodedImage& image);
HRESULT decodePpm(Bytes file, DecodedImage& image);
HRESULT decodeDds(Bytes file, DecodedImage& image);
HRESULT decodeJpeg(Bytes file, DecodedImage& image);
HRESULT decodePng(Bytes file, DecodedImage& image);
HRESULT decodePfm(Bytes file, DecodedImage& image);
HRESULT decodeHdr(Bytes file, DecodedImage& image);
HRESULT decodeTga(Bytes file, DecodedImage& image);
HRESULT decodeDib(Bytes file, DecodedImage& image);

// Gives `image` a new, uninitialised top-down picture of the format and size, with rows of
// exactly the format's row size. kRejected when a dimension is 0 or beyond kMaxDimension or
// the picture would exceed kMaxPictureBytes; E_OUTOFMEMORY when it cannot be allocated.
HRESULT allocatePicture(DecodedImage& image, D3DFORMAT format, uint32_t width, uint32_t height);

// Points `image` at pixels that stay in the file.
void usePixelsInPlace(DecodedImage& image, D3DFORMAT format, const uint8_t* pixels, uint32_t pitch, uint32_t width,
                      uint32_t height);

inline uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline uint32_t be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline void putLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
inline void putFloat(uint8_t* p, float v) { std::memcpy(p, &v, sizeof v); }

// The palette every palette picture starts with: 256 entries of 255 in every byte.
inline void resetPalette(DecodedImage& image) { image.palette.assign(256, PALETTEENTRY{255, 255, 255, 255}); }

}  // namespace d3dx::image
