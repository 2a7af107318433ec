// The pixel formats the asset library knows: their kind, channel sizes and memory layout.
// Shared by the image decoders (which report pictures in these formats) and the texture
// routines (which choose device formats and convert between them).
#pragma once

#include <cstdint>
#include <span>

#include <d3d9.h>

namespace d3dx {

enum class FormatKind : uint8_t { Colour = 0, Palette = 1, Luminance = 2, Signed = 3, Depth = 4 };

// How a pixel's channels are stored.
enum class PixelEncoding : uint8_t {
  Packed,     // integer fields of one little-endian word of up to 64 bits (see signedChannels)
  Float,      // consecutive 16- or 32-bit floats, red first
  Palette,    // an 8-bit index (A8P8: with an 8-bit alpha above it)
  Luminance,  // one unsigned luminance field in `red`, optionally alpha
  Cx,         // signed U and V; the third component is computed from them
  Pairs,      // two pixels share 32 bits (YUY2, UYVY, R8G8_B8G8, G8R8_G8B8)
  Blocks,     // 4 x 4 blocks (DXT1 to DXT5)
  Bits,       // one bit per pixel, the leftmost in the top bit of each byte (A1)
  None,       // never converted: MULTI2_ARGB8 has no single-surface layout, and the 20e4
              // float depth of D24FS8 has no published exponent bias
};

struct ChannelField {
  uint8_t shift;  // bit position in the pixel (Float: bit offset of the value)
  uint8_t bits;
};

struct PixelFormatInfo {
  D3DFORMAT format;
  FormatKind kind;
  uint8_t bitsPerPixel;
  // extra (X, or the second depth field), alpha, red, green, blue; for signed formats U, V
  // and W (or L) sit in red, green and blue and Q in alpha; for luminance formats red,
  // green and blue each give the luminance size.
  ChannelField extra, alpha, red, green, blue;
  bool substitute;  // may be chosen in place of a format the device lacks
  PixelEncoding encoding;
  uint8_t signedChannels;  // Packed: bit 0 red, 1 green, 2 blue, 3 alpha hold signed values
  const char* name;        // "D3DFMT_A8R8G8B8"
};

// Every row, in the order the device format choice walks them.
std::span<const PixelFormatInfo> pixelFormatTable();
// Null for formats not in the table.
const PixelFormatInfo* pixelFormatInfo(D3DFORMAT format);

// Bytes of one row of `width` pixels (of blocks of 4 rows for block formats); rows (of
// blocks) in `height`. Dimensions up to 65535 cannot overflow.
uint32_t formatRowBytes(const PixelFormatInfo& info, uint32_t width);
uint32_t formatRows(const PixelFormatInfo& info, uint32_t height);

}  // namespace d3dx
