// The pixel converter on plain memory: exact values of chosen conversions, round trips
// through every convertible colour and luminance format, resampling filters, edges,
// colour key, palettes, dithering and DXT targets.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "d3dx9tex.h"
#include "pixel_conversion.h"
#include "pixel_format.h"

namespace {

using d3dx::PixelRegion;

template <typename T>
PixelRegion region(D3DFORMAT format, std::vector<T>& pixels, uint32_t width, uint32_t height,
                   const PALETTEENTRY* palette = nullptr) {
  return {format, pixels.data(), static_cast<uint32_t>(pixels.size() * sizeof(T) / height), width, height, palette};
}

std::vector<uint32_t> ramp(uint32_t w, uint32_t h) {
  std::vector<uint32_t> p(size_t{w} * h);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x)
      p[y * w + x] = (uint32_t{(x * 31 + y * 5) & 255} << 24) | ((x * 17) & 255) << 16 | ((y * 29) & 255) << 8 |
                     ((x * y * 3 + 7) & 255);
  return p;
}

int channel(uint32_t argb, int shift) { return static_cast<int>((argb >> shift) & 255); }

TEST(Conversion, ExactValuesOfChosenFormats) {
  std::vector<uint32_t> src = {0x00FF8040u};
  std::vector<uint16_t> r565(1);
  ASSERT_EQ(
      d3dx::convertPixels(region(D3DFMT_R5G6B5, r565, 1, 1), region(D3DFMT_X8R8G8B8, src, 1, 1), D3DX_FILTER_NONE, 0),
      S_OK);
  EXPECT_EQ(r565[0], 0xFC08);  // 31, 32, 8
  // R8G8B8 bytes are blue, green, red; X8 reads as opaque.
  std::vector<uint8_t> rgb = {0x10, 0x20, 0x30};
  std::vector<uint32_t> argb(1);
  ASSERT_EQ(
      d3dx::convertPixels(region(D3DFMT_A8R8G8B8, argb, 1, 1), region(D3DFMT_R8G8B8, rgb, 1, 1), D3DX_FILTER_NONE, 0),
      S_OK);
  EXPECT_EQ(argb[0], 0xFF302010u);
  // Luminance is written from weighted colour and read back into all three channels.
  std::vector<uint8_t> l8(1);
  src = {0xFF00FF00u};
  ASSERT_EQ(d3dx::convertPixels(region(D3DFMT_L8, l8, 1, 1), region(D3DFMT_A8R8G8B8, src, 1, 1), D3DX_FILTER_NONE, 0),
            S_OK);
  EXPECT_EQ(l8[0], 182);  // 0.7154 * 255
  // A16B16G16R16F holds halves: 1.0 is 0x3C00.
  std::vector<uint16_t> half(4);
  src = {0xFFFF0000u};
  ASSERT_EQ(d3dx::convertPixels(region(D3DFMT_A16B16G16R16F, half, 1, 1), region(D3DFMT_A8R8G8B8, src, 1, 1),
                                D3DX_FILTER_NONE, 0),
            S_OK);
  EXPECT_EQ(half, (std::vector<uint16_t>{0x3C00, 0, 0, 0x3C00}));

  // Depth comes from red and stencil from alpha, at their full widths (a 32-bit depth only
  // to the float channels' precision).
  src = {0x80ABCDEFu};
  std::vector<uint32_t> depth(1);
  for (const auto& [format, expected] : {std::pair{D3DFMT_D24S8, 0xABABAB80u}, std::pair{D3DFMT_D24X8, 0xABABABFFu}}) {
    ASSERT_EQ(d3dx::convertPixels(region(format, depth, 1, 1), region(D3DFMT_A8R8G8B8, src, 1, 1), D3DX_FILTER_NONE, 0),
              S_OK);
    EXPECT_EQ(depth[0], expected) << format;
  }
  ASSERT_EQ(
      d3dx::convertPixels(region(D3DFMT_D32, depth, 1, 1), region(D3DFMT_A8R8G8B8, src, 1, 1), D3DX_FILTER_NONE, 0),
      S_OK);
  EXPECT_NEAR(depth[0], 0xABABABABu, 256);
  src = {0xFFFFFFFFu};
  ASSERT_EQ(
      d3dx::convertPixels(region(D3DFMT_D32, depth, 1, 1), region(D3DFMT_A8R8G8B8, src, 1, 1), D3DX_FILTER_NONE, 0),
      S_OK);
  EXPECT_EQ(depth[0], 0xFFFFFFFFu);  // full depth does not carry out of the field

  // A1 packs one alpha bit per pixel, leftmost first, and leaves bits right of the region.
  src = {0xFF000000u, 0x00000000u, 0x7F000000u, 0x80000000u, 0xFFFFFFFFu, 0, 0, 0, 0xFF000000u, 0};
  std::vector<uint8_t> bits = {0x00, 0x3F};
  ASSERT_EQ(
      d3dx::convertPixels(region(D3DFMT_A1, bits, 10, 1), region(D3DFMT_A8R8G8B8, src, 10, 1), D3DX_FILTER_NONE, 0),
      S_OK);
  EXPECT_EQ(bits, (std::vector<uint8_t>{0b10011000, 0b10111111}));
  std::vector<uint32_t> back(10);
  ASSERT_EQ(
      d3dx::convertPixels(region(D3DFMT_A8R8G8B8, back, 10, 1), region(D3DFMT_A1, bits, 10, 1), D3DX_FILTER_NONE, 0),
      S_OK);
  EXPECT_EQ(back[0], 0xFF000000u);
  EXPECT_EQ(back[1], 0u);
}

TEST(Conversion, RoundTripsKeepEveryChannelToItsPrecision) {
  const uint32_t w = 16, h = 8;
  const auto source = ramp(w, h);
  for (const d3dx::PixelFormatInfo& info : d3dx::pixelFormatTable()) {
    if (info.kind != d3dx::FormatKind::Colour && info.kind != d3dx::FormatKind::Luminance &&
        info.kind != d3dx::FormatKind::Depth)
      continue;
    if (info.encoding == d3dx::PixelEncoding::None || info.encoding == d3dx::PixelEncoding::Pairs) continue;
    SCOPED_TRACE(info.name);
    std::vector<uint8_t> stored(size_t{d3dx::formatRowBytes(info, w)} * d3dx::formatRows(info, h));
    PixelRegion middle{info.format, stored.data(), d3dx::formatRowBytes(info, w), w, h, nullptr};
    auto src = source;
    ASSERT_EQ(d3dx::convertPixels(middle, region(D3DFMT_A8R8G8B8, src, w, h), D3DX_FILTER_NONE, 0), S_OK);
    std::vector<uint32_t> back(size_t{w} * h);
    ASSERT_EQ(d3dx::convertPixels(region(D3DFMT_A8R8G8B8, back, w, h), middle, D3DX_FILTER_NONE, 0), S_OK);
    const bool luminance = info.kind == d3dx::FormatKind::Luminance;
    const bool blocks = info.encoding == d3dx::PixelEncoding::Blocks;
    auto tolerance = [&](d3dx::ChannelField f) { return f.bits >= 8 ? 1 : (255 / ((1 << f.bits) - 1) + 1) / 2 + 1; };
    for (size_t i = 0; i < source.size(); ++i) {
      if (!luminance && !blocks) {
        if (info.red.bits) {
          ASSERT_LE(std::abs(channel(source[i], 16) - channel(back[i], 16)), tolerance(info.red)) << i;
        }
        if (info.green.bits) {
          ASSERT_LE(std::abs(channel(source[i], 8) - channel(back[i], 8)), tolerance(info.green)) << i;
        }
        if (info.blue.bits) {
          ASSERT_LE(std::abs(channel(source[i], 0) - channel(back[i], 0)), tolerance(info.blue)) << i;
        }
      }
      if (luminance) {
        EXPECT_EQ(channel(back[i], 16), channel(back[i], 8));
        EXPECT_EQ(channel(back[i], 0), channel(back[i], 8));
      }
      const int alpha = info.alpha.bits ? channel(source[i], 24) : 255;
      if (!blocks) {
        ASSERT_LE(std::abs(alpha - channel(back[i], 24)), info.alpha.bits ? tolerance(info.alpha) : 0) << i;
      }
    }
  }
}

TEST(Conversion, FiltersAndEdges) {
  // BOX halves by averaging 2 x 2; POINT takes one texel of each footprint.
  std::vector<uint32_t> src = {0xFF000000u, 0xFF0000FFu, 0xFF00FF00u, 0xFF00FFFFu,
                               0xFF000000u, 0xFF0000FFu, 0xFF00FF00u, 0xFF00FFFFu};
  std::vector<uint32_t> dst(2);
  ASSERT_EQ(
      d3dx::convertPixels(region(D3DFMT_A8R8G8B8, dst, 2, 1), region(D3DFMT_A8R8G8B8, src, 4, 2), D3DX_FILTER_BOX, 0),
      S_OK);
  EXPECT_EQ(dst, (std::vector<uint32_t>{0xFF000080u, 0xFF00FF80u}));
  ASSERT_EQ(
      d3dx::convertPixels(region(D3DFMT_A8R8G8B8, dst, 2, 1), region(D3DFMT_A8R8G8B8, src, 4, 2), D3DX_FILTER_POINT, 0),
      S_OK);
  EXPECT_EQ(dst, (std::vector<uint32_t>{0xFF0000FFu, 0xFF00FFFFu}));

  // LINEAR magnification wraps at the edges unless told to mirror.
  std::vector<uint8_t> line = {0, 255};
  std::vector<uint8_t> wide(4);
  ASSERT_EQ(d3dx::convertPixels(region(D3DFMT_L8, wide, 4, 1), region(D3DFMT_L8, line, 2, 1), D3DX_FILTER_LINEAR, 0),
            S_OK);
  EXPECT_EQ(wide, (std::vector<uint8_t>{64, 64, 191, 191}));
  ASSERT_EQ(d3dx::convertPixels(region(D3DFMT_L8, wide, 4, 1), region(D3DFMT_L8, line, 2, 1),
                                D3DX_FILTER_LINEAR | D3DX_FILTER_MIRROR, 0),
            S_OK);
  EXPECT_EQ(wide, (std::vector<uint8_t>{0, 64, 191, 255}));

  // NONE does not scale: what lies outside the source is transparent black.
  std::vector<uint32_t> big(4, 0x12345678u);
  std::vector<uint32_t> one = {0xFFABCDEFu};
  ASSERT_EQ(
      d3dx::convertPixels(region(D3DFMT_A8R8G8B8, big, 2, 2), region(D3DFMT_A8R8G8B8, one, 1, 1), D3DX_FILTER_NONE, 0),
      S_OK);
  EXPECT_EQ(big, (std::vector<uint32_t>{0xFFABCDEFu, 0, 0, 0}));

  // TRIANGLE shrinking keeps a flat picture flat, and unknown filters are refused.
  std::vector<uint32_t> flat(9 * 7, 0xFF336699u), small(4 * 3);
  ASSERT_EQ(d3dx::convertPixels(region(D3DFMT_A8R8G8B8, small, 4, 3), region(D3DFMT_A8R8G8B8, flat, 9, 7),
                                D3DX_FILTER_TRIANGLE, 0),
            S_OK);
  for (uint32_t p : small) EXPECT_EQ(p, 0xFF336699u);
  EXPECT_EQ(d3dx::convertPixels(region(D3DFMT_A8R8G8B8, small, 4, 3), region(D3DFMT_A8R8G8B8, flat, 9, 7), 6, 0),
            D3DERR_INVALIDCALL);
  std::vector<uint32_t> unconvertible(1);
  for (D3DFORMAT format : {D3DFMT_D24FS8, D3DFMT_MULTI2_ARGB8})
    EXPECT_EQ(d3dx::convertPixels(region(format, unconvertible, 1, 1), region(D3DFMT_A8R8G8B8, one, 1, 1),
                                  D3DX_FILTER_NONE, 0),
              D3DERR_INVALIDCALL);
}

// Halving with BOX and writing 8-bit colour into packed layouts take integer paths; a colour
// key that matches nothing sends the same pixels through floats, which must agree exactly.
TEST(Conversion, IntegerPathsAgreeWithTheFloatPath) {
  constexpr D3DCOLOR kNoMatch = 0x01020304u;
  std::vector<uint8_t> noise(8 * 6 * 8);
  uint32_t state = 12345;
  for (uint8_t& b : noise) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(state >> 24);
  }
  auto converted = [&](D3DFORMAT dstFormat, uint32_t dw, uint32_t dh, D3DFORMAT srcFormat, uint32_t sw, uint32_t sh,
                       DWORD filter, D3DCOLOR key) {
    const d3dx::PixelFormatInfo& dst = *d3dx::pixelFormatInfo(dstFormat);
    const d3dx::PixelFormatInfo& src = *d3dx::pixelFormatInfo(srcFormat);
    std::vector<uint8_t> out(size_t{dw} * dh * dst.bitsPerPixel / 8, 0xEE);
    const PixelRegion destination{dstFormat, out.data(), dw * dst.bitsPerPixel / 8, dw, dh, nullptr};
    const PixelRegion source{srcFormat, noise.data(), sw * src.bitsPerPixel / 8, sw, sh, nullptr};
    EXPECT_EQ(d3dx::convertPixels(destination, source, filter, key), S_OK);
    return out;
  };
  struct Size {
    uint32_t sw, sh, dw, dh;
  };
  // The integer average rounds halves up; the float one may land either side of them.
  for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R8G8B8, D3DFMT_R5G6B5, D3DFMT_A4R4G4B4,
                           D3DFMT_A1R5G5B5, D3DFMT_A8, D3DFMT_A16B16G16R16}) {
    const d3dx::PixelFormatInfo& info = *d3dx::pixelFormatInfo(format);
    const uint32_t bytes = info.bitsPerPixel / 8;
    for (const Size& z : {Size{8, 6, 4, 3}, Size{4, 1, 2, 1}, Size{1, 6, 1, 3}}) {
      const auto exact = converted(format, z.dw, z.dh, format, z.sw, z.sh, D3DX_FILTER_BOX, 0);
      const auto floats = converted(format, z.dw, z.dh, format, z.sw, z.sh, D3DX_FILTER_BOX, kNoMatch);
      for (size_t at = 0; at < exact.size(); at += bytes) {
        uint64_t a = 0, b = 0;
        std::memcpy(&a, exact.data() + at, bytes);
        std::memcpy(&b, floats.data() + at, bytes);
        for (const d3dx::ChannelField f : {info.alpha, info.red, info.green, info.blue}) {
          const int64_t mask = (int64_t{1} << f.bits) - 1;
          EXPECT_LE(std::abs(static_cast<int64_t>(a >> f.shift & mask) - static_cast<int64_t>(b >> f.shift & mask)), 1)
              << info.name << " " << z.sw << "x" << z.sh << " byte " << at;
        }
      }
    }
  }
  for (D3DFORMAT src : {D3DFMT_R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_X8B8G8R8})
    for (D3DFORMAT dst : {D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8,
                          D3DFMT_R3G3B2, D3DFMT_A2R10G10B10})
      for (DWORD filter : {DWORD{D3DX_FILTER_NONE}, DWORD{D3DX_FILTER_NONE | D3DX_FILTER_DITHER}})
        EXPECT_EQ(converted(dst, 8, 6, src, 8, 6, filter, 0), converted(dst, 8, 6, src, 8, 6, filter, kNoMatch))
            << d3dx::pixelFormatInfo(src)->name << " to " << d3dx::pixelFormatInfo(dst)->name << " filter " << filter;
}

TEST(Conversion, ColourKeyPalettesAndDither) {
  std::vector<uint8_t> indices = {0, 1, 2, 1};
  PALETTEENTRY palette[256] = {};
  palette[0] = {255, 0, 0, 255};
  palette[1] = {0, 255, 0, 128};
  palette[2] = {0, 0, 255, 255};
  std::vector<uint32_t> out(4);
  // Keyed (opaque blue) source pixels become transparent black.
  ASSERT_EQ(d3dx::convertPixels(region(D3DFMT_A8R8G8B8, out, 4, 1), region(D3DFMT_P8, indices, 4, 1, palette),
                                D3DX_FILTER_NONE, 0xFF0000FFu),
            S_OK);
  EXPECT_EQ(out, (std::vector<uint32_t>{0xFFFF0000u, 0x8000FF00u, 0, 0x8000FF00u}));
  // Writing a palette format picks the nearest entry.
  std::vector<uint32_t> colours = {0xFF0000F0u, 0xFFF01010u};
  std::vector<uint8_t> picked(2);
  ASSERT_EQ(d3dx::convertPixels(region(D3DFMT_P8, picked, 2, 1, palette), region(D3DFMT_A8R8G8B8, colours, 2, 1),
                                D3DX_FILTER_NONE, 0),
            S_OK);
  EXPECT_EQ(picked, (std::vector<uint8_t>{2, 0}));

  // A flat grey between two 5-bit steps: dithering mixes both steps so that the average
  // comes closer to the grey than plain rounding does.
  std::vector<uint32_t> grey(16 * 16, 0xFF848484u);
  std::vector<uint16_t> plain(16 * 16), dithered(16 * 16);
  ASSERT_EQ(d3dx::convertPixels(region(D3DFMT_X1R5G5B5, plain, 16, 16), region(D3DFMT_A8R8G8B8, grey, 16, 16),
                                D3DX_FILTER_POINT, 0),
            S_OK);
  ASSERT_EQ(d3dx::convertPixels(region(D3DFMT_X1R5G5B5, dithered, 16, 16), region(D3DFMT_A8R8G8B8, grey, 16, 16),
                                D3DX_FILTER_POINT | D3DX_FILTER_DITHER, 0),
            S_OK);
  auto meanRed = [](const std::vector<uint16_t>& p) {
    double sum = 0;
    for (uint16_t v : p) sum += ((v >> 10) & 31) * 255.0 / 31.0;
    return sum / static_cast<double>(p.size());
  };
  EXPECT_LT(std::fabs(meanRed(dithered) - 132.0), std::fabs(meanRed(plain) - 132.0));
}

TEST(Conversion, BlockTargetsAndSources) {
  // A gentle 6 x 5 gradient into DXT5 blocks (two by two) and back.
  std::vector<uint32_t> source(6 * 5);
  for (uint32_t y = 0; y < 5; ++y)
    for (uint32_t x = 0; x < 6; ++x) source[y * 6 + x] = ((x + y) * 10) << 24 | (x * 8) << 16 | (y * 8) << 8 | 0x40;
  std::vector<uint8_t> blocks(4 * 16);
  auto src = source;
  const PixelRegion dxt{D3DFMT_DXT5, blocks.data(), 32, 6, 5, nullptr};
  ASSERT_EQ(d3dx::convertPixels(dxt, region(D3DFMT_A8R8G8B8, src, 6, 5), D3DX_FILTER_NONE, 0), S_OK);
  std::vector<uint32_t> back(6 * 5);
  ASSERT_EQ(d3dx::convertPixels(region(D3DFMT_A8R8G8B8, back, 6, 5), dxt, D3DX_FILTER_NONE, 0), S_OK);
  for (size_t i = 0; i < back.size(); ++i)
    for (int shift : {24, 16, 8, 0})
      ASSERT_LE(std::abs(channel(source[i], shift) - channel(back[i], shift)), 16) << i;  // the codec's bound
}

}  // namespace
