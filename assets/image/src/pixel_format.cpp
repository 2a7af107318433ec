#include "pixel_format.h"

namespace d3dx {

namespace {

using K = FormatKind;
using E = PixelEncoding;

constexpr ChannelField kNone{0, 0};
constexpr ChannelField f(uint8_t shift, uint8_t bits) { return {shift, bits}; }

// Luminance rows report the luminance size as red, green and blue (for the format choice)
// and read it from `red`.
constexpr PixelFormatInfo lum(D3DFORMAT format, uint8_t bpp, uint8_t lumBits, ChannelField alpha, const char* name) {
  return {format,        K::Luminance,  bpp,  kNone,        alpha, f(0, lumBits),
          f(0, lumBits), f(0, lumBits), true, E::Luminance, 0,     name};
}

constexpr PixelFormatInfo kFormats[] = {
    // format, kind, bpp, extra, alpha, red, green, blue, substitute, encoding, signed, name
    {D3DFMT_R8G8B8, K::Colour, 24, kNone, kNone, f(16, 8), f(8, 8), f(0, 8), false, E::Packed, 0, "D3DFMT_R8G8B8"},
    {D3DFMT_A8R8G8B8, K::Colour, 32, kNone, f(24, 8), f(16, 8), f(8, 8), f(0, 8), true, E::Packed, 0,
     "D3DFMT_A8R8G8B8"},
    {D3DFMT_X8R8G8B8, K::Colour, 32, kNone, kNone, f(16, 8), f(8, 8), f(0, 8), true, E::Packed, 0, "D3DFMT_X8R8G8B8"},
    {D3DFMT_R5G6B5, K::Colour, 16, kNone, kNone, f(11, 5), f(5, 6), f(0, 5), true, E::Packed, 0, "D3DFMT_R5G6B5"},
    {D3DFMT_X1R5G5B5, K::Colour, 16, kNone, kNone, f(10, 5), f(5, 5), f(0, 5), true, E::Packed, 0, "D3DFMT_X1R5G5B5"},
    {D3DFMT_A1R5G5B5, K::Colour, 16, kNone, f(15, 1), f(10, 5), f(5, 5), f(0, 5), true, E::Packed, 0,
     "D3DFMT_A1R5G5B5"},
    {D3DFMT_A4R4G4B4, K::Colour, 16, kNone, f(12, 4), f(8, 4), f(4, 4), f(0, 4), true, E::Packed, 0, "D3DFMT_A4R4G4B4"},
    {D3DFMT_R3G3B2, K::Colour, 8, kNone, kNone, f(5, 3), f(2, 3), f(0, 2), true, E::Packed, 0, "D3DFMT_R3G3B2"},
    {D3DFMT_A8, K::Colour, 8, kNone, f(0, 8), kNone, kNone, kNone, true, E::Packed, 0, "D3DFMT_A8"},
    {D3DFMT_A8R3G3B2, K::Colour, 16, kNone, f(8, 8), f(5, 3), f(2, 3), f(0, 2), true, E::Packed, 0, "D3DFMT_A8R3G3B2"},
    {D3DFMT_X4R4G4B4, K::Colour, 16, kNone, kNone, f(8, 4), f(4, 4), f(0, 4), true, E::Packed, 0, "D3DFMT_X4R4G4B4"},
    {D3DFMT_A2B10G10R10, K::Colour, 32, kNone, f(30, 2), f(0, 10), f(10, 10), f(20, 10), true, E::Packed, 0,
     "D3DFMT_A2B10G10R10"},
    {D3DFMT_A8B8G8R8, K::Colour, 32, kNone, f(24, 8), f(0, 8), f(8, 8), f(16, 8), true, E::Packed, 0,
     "D3DFMT_A8B8G8R8"},
    {D3DFMT_X8B8G8R8, K::Colour, 32, kNone, kNone, f(0, 8), f(8, 8), f(16, 8), true, E::Packed, 0, "D3DFMT_X8B8G8R8"},
    {D3DFMT_G16R16, K::Colour, 32, kNone, kNone, f(0, 16), f(16, 16), kNone, true, E::Packed, 0, "D3DFMT_G16R16"},
    {D3DFMT_A2R10G10B10, K::Colour, 32, kNone, f(30, 2), f(20, 10), f(10, 10), f(0, 10), true, E::Packed, 0,
     "D3DFMT_A2R10G10B10"},
    {D3DFMT_A16B16G16R16, K::Colour, 64, kNone, f(48, 16), f(0, 16), f(16, 16), f(32, 16), true, E::Packed, 0,
     "D3DFMT_A16B16G16R16"},
    {D3DFMT_A8P8, K::Palette, 16, kNone, f(8, 8), f(0, 8), f(0, 8), f(0, 8), true, E::Palette, 0, "D3DFMT_A8P8"},
    {D3DFMT_P8, K::Palette, 8, kNone, f(0, 8), f(0, 8), f(0, 8), f(0, 8), true, E::Palette, 0, "D3DFMT_P8"},
    lum(D3DFMT_L8, 8, 8, kNone, "D3DFMT_L8"),
    lum(D3DFMT_A8L8, 16, 8, f(8, 8), "D3DFMT_A8L8"),
    lum(D3DFMT_A4L4, 8, 4, f(4, 4), "D3DFMT_A4L4"),
    lum(D3DFMT_L16, 16, 16, kNone, "D3DFMT_L16"),
    {D3DFMT_V8U8, K::Signed, 16, kNone, kNone, f(0, 8), f(8, 8), kNone, true, E::Packed, 0b0011, "D3DFMT_V8U8"},
    {D3DFMT_L6V5U5, K::Signed, 16, kNone, kNone, f(0, 5), f(5, 5), f(10, 6), true, E::Packed, 0b0011, "D3DFMT_L6V5U5"},
    {D3DFMT_X8L8V8U8, K::Signed, 32, f(24, 8), kNone, f(0, 8), f(8, 8), f(16, 8), true, E::Packed, 0b0011,
     "D3DFMT_X8L8V8U8"},
    {D3DFMT_Q8W8V8U8, K::Signed, 32, kNone, f(24, 8), f(0, 8), f(8, 8), f(16, 8), true, E::Packed, 0b1111,
     "D3DFMT_Q8W8V8U8"},
    {D3DFMT_V16U16, K::Signed, 32, kNone, kNone, f(0, 16), f(16, 16), kNone, true, E::Packed, 0b0011, "D3DFMT_V16U16"},
    {D3DFMT_A2W10V10U10, K::Signed, 32, kNone, f(30, 2), f(0, 10), f(10, 10), f(20, 10), true, E::Packed, 0b0111,
     "D3DFMT_A2W10V10U10"},
    {D3DFMT_Q16W16V16U16, K::Signed, 64, kNone, f(48, 16), f(0, 16), f(16, 16), f(32, 16), true, E::Packed, 0b1111,
     "D3DFMT_Q16W16V16U16"},
    {D3DFMT_CxV8U8, K::Signed, 16, kNone, kNone, f(0, 8), f(8, 8), kNone, true, E::Cx, 0b0011, "D3DFMT_CxV8U8"},
    {D3DFMT_UYVY, K::Colour, 16, kNone, kNone, f(0, 8), f(0, 8), f(0, 8), false, E::Pairs, 0, "D3DFMT_UYVY"},
    {D3DFMT_YUY2, K::Colour, 16, kNone, kNone, f(0, 8), f(0, 8), f(0, 8), false, E::Pairs, 0, "D3DFMT_YUY2"},
    {D3DFMT_R8G8_B8G8, K::Colour, 16, kNone, kNone, f(0, 8), f(0, 8), f(0, 8), false, E::Pairs, 0, "D3DFMT_R8G8_B8G8"},
    {D3DFMT_G8R8_G8B8, K::Colour, 16, kNone, kNone, f(0, 8), f(0, 8), f(0, 8), false, E::Pairs, 0, "D3DFMT_G8R8_G8B8"},
    {D3DFMT_DXT1, K::Colour, 4, kNone, f(0, 1), f(0, 5), f(0, 6), f(0, 5), false, E::Blocks, 0, "D3DFMT_DXT1"},
    {D3DFMT_DXT2, K::Colour, 8, kNone, f(0, 4), f(0, 5), f(0, 6), f(0, 5), false, E::Blocks, 0, "D3DFMT_DXT2"},
    {D3DFMT_DXT3, K::Colour, 8, kNone, f(0, 4), f(0, 5), f(0, 6), f(0, 5), false, E::Blocks, 0, "D3DFMT_DXT3"},
    {D3DFMT_DXT4, K::Colour, 8, kNone, f(0, 8), f(0, 5), f(0, 6), f(0, 5), false, E::Blocks, 0, "D3DFMT_DXT4"},
    {D3DFMT_DXT5, K::Colour, 8, kNone, f(0, 8), f(0, 5), f(0, 6), f(0, 5), false, E::Blocks, 0, "D3DFMT_DXT5"},
    // Depth rows keep the depth size in red and the stencil size in alpha.
    {D3DFMT_D16_LOCKABLE, K::Depth, 16, kNone, kNone, f(0, 16), kNone, kNone, true, E::Packed, 0,
     "D3DFMT_D16_LOCKABLE"},
    {D3DFMT_D32, K::Depth, 32, kNone, kNone, f(0, 32), kNone, kNone, true, E::Packed, 0, "D3DFMT_D32"},
    {D3DFMT_D15S1, K::Depth, 16, kNone, f(0, 1), f(1, 15), kNone, kNone, true, E::Packed, 0, "D3DFMT_D15S1"},
    {D3DFMT_D24S8, K::Depth, 32, kNone, f(0, 8), f(8, 24), kNone, kNone, true, E::Packed, 0, "D3DFMT_D24S8"},
    {D3DFMT_D24X8, K::Depth, 32, f(0, 8), kNone, f(8, 24), kNone, kNone, true, E::Packed, 0, "D3DFMT_D24X8"},
    {D3DFMT_D24X4S4, K::Depth, 32, f(4, 4), f(0, 4), f(8, 24), kNone, kNone, true, E::Packed, 0, "D3DFMT_D24X4S4"},
    {D3DFMT_D16, K::Depth, 16, kNone, kNone, f(0, 16), kNone, kNone, true, E::Packed, 0, "D3DFMT_D16"},
    {D3DFMT_D32F_LOCKABLE, K::Depth, 32, kNone, kNone, f(0, 32), kNone, kNone, true, E::Float, 0,
     "D3DFMT_D32F_LOCKABLE"},
    {D3DFMT_D24FS8, K::Depth, 32, kNone, f(0, 8), f(8, 24), kNone, kNone, true, E::None, 0, "D3DFMT_D24FS8"},
    {D3DFMT_R16F, K::Colour, 16, kNone, kNone, f(0, 16), kNone, kNone, true, E::Float, 0, "D3DFMT_R16F"},
    {D3DFMT_G16R16F, K::Colour, 32, kNone, kNone, f(0, 16), f(16, 16), kNone, true, E::Float, 0, "D3DFMT_G16R16F"},
    {D3DFMT_A16B16G16R16F, K::Colour, 64, kNone, f(48, 16), f(0, 16), f(16, 16), f(32, 16), true, E::Float, 0,
     "D3DFMT_A16B16G16R16F"},
    {D3DFMT_R32F, K::Colour, 32, kNone, kNone, f(0, 32), kNone, kNone, true, E::Float, 0, "D3DFMT_R32F"},
    {D3DFMT_G32R32F, K::Colour, 64, kNone, kNone, f(0, 32), f(32, 32), kNone, true, E::Float, 0, "D3DFMT_G32R32F"},
    {D3DFMT_A32B32G32R32F, K::Colour, 128, kNone, f(96, 32), f(0, 32), f(32, 32), f(64, 32), true, E::Float, 0,
     "D3DFMT_A32B32G32R32F"},
    {D3DFMT_MULTI2_ARGB8, K::Colour, 32, kNone, f(24, 8), f(16, 8), f(8, 8), f(0, 8), false, E::None, 0,
     "D3DFMT_MULTI2_ARGB8"},
    {D3DFMT_A1, K::Colour, 1, kNone, f(0, 1), kNone, kNone, kNone, false, E::Bits, 0, "D3DFMT_A1"},
};
static_assert(std::size(kFormats) == 57);

}  // namespace

std::span<const PixelFormatInfo> pixelFormatTable() { return kFormats; }

const PixelFormatInfo* pixelFormatInfo(D3DFORMAT format) {
  for (const PixelFormatInfo& info : kFormats)
    if (info.format == format) return &info;
  return nullptr;
}

uint32_t formatRowBytes(const PixelFormatInfo& info, uint32_t width) {
  if (info.encoding == PixelEncoding::Blocks) {
    const uint32_t blockBytes = info.format == D3DFMT_DXT1 ? 8 : 16;
    return ((width + 3) / 4 == 0 ? 1 : (width + 3) / 4) * blockBytes;
  }
  if (info.encoding == PixelEncoding::Pairs) return (width + 1) / 2 * 4;
  return static_cast<uint32_t>((static_cast<uint64_t>(width) * info.bitsPerPixel + 7) / 8);
}

uint32_t formatRows(const PixelFormatInfo& info, uint32_t height) {
  if (info.encoding != PixelEncoding::Blocks) return height;
  return (height + 3) / 4 == 0 ? 1 : (height + 3) / 4;
}

}  // namespace d3dx
