#include "pixel_conversion.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "d3dx9tex.h"
#include "dxt_codec.h"
#include "pixel_format.h"

namespace d3dx {

namespace {

struct Float4 {
  float r, g, b, a;
};

float halfToFloat(uint16_t h) {
  const uint32_t sign = (h >> 15) & 1, exponent = (h >> 10) & 31, mantissa = h & 1023;
  float value;
  if (exponent == 0)
    value = std::ldexp(static_cast<float>(mantissa), -24);
  else if (exponent == 31)
    value = mantissa ? NAN : INFINITY;
  else
    value = std::ldexp(static_cast<float>(mantissa | 1024), static_cast<int>(exponent) - 25);
  return sign ? -value : value;
}

uint16_t floatToHalf(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  const uint16_t sign = static_cast<uint16_t>((bits >> 16) & 0x8000);
  if (std::isnan(f)) return sign | 0x7E00;
  const float magnitude = std::fabs(f);
  if (magnitude >= 65520.0f) return sign | 0x7C00;
  if (magnitude < std::ldexp(1.0f, -24) / 2) return sign;
  int exponent;
  const float fraction = std::frexp(magnitude, &exponent);  // magnitude = fraction * 2^exponent
  if (exponent < -13) {                                     // subnormal half
    return sign | static_cast<uint16_t>(std::lrint(std::ldexp(magnitude, 24)));
  }
  uint32_t mantissa = static_cast<uint32_t>(std::lrint(std::ldexp(fraction, 11)));  // 1024..2048
  if (mantissa == 2048) {
    mantissa = 1024;
    ++exponent;
  }
  if (exponent + 14 >= 31) return sign | 0x7C00;
  return sign | static_cast<uint16_t>(((exponent + 14) << 10) | (mantissa & 1023));
}

uint64_t readWord(const uint8_t* p, uint32_t bytes) {
  uint64_t v = 0;
  for (uint32_t i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
  return v;
}

void writeWord(uint8_t* p, uint32_t bytes, uint64_t v) {
  for (uint32_t i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint64_t fieldMax(ChannelField f) { return (uint64_t{1} << f.bits) - 1; }

float unpackField(uint64_t word, ChannelField f, bool isSigned) {
  const uint64_t raw = (word >> f.shift) & fieldMax(f);
  if (!isSigned) return static_cast<float>(raw) / static_cast<float>(fieldMax(f));
  const int64_t half = int64_t{1} << (f.bits - 1);
  const int64_t value =
      static_cast<int64_t>(raw) >= half ? static_cast<int64_t>(raw) - 2 * half : static_cast<int64_t>(raw);
  return std::max(-1.0f, static_cast<float>(value) / static_cast<float>(half - 1));
}

// In double: a 32-bit field's maximum is not a float, and rounding it up would carry out
// of the field.
uint64_t packField(float v, ChannelField f, bool isSigned, float dither) {
  if (std::isnan(v)) v = 0;  // float sources may hold anything
  if (isSigned) {
    const double max = static_cast<double>((int64_t{1} << (f.bits - 1)) - 1);
    const int64_t value = std::lrint(std::clamp<double>(v, -1.0, 1.0) * max);
    return (static_cast<uint64_t>(value) & fieldMax(f)) << f.shift;
  }
  const double max = static_cast<double>(fieldMax(f));
  const double scaled = std::floor(std::clamp<double>(v, 0.0, 1.0) * max + 0.5 + dither);
  return static_cast<uint64_t>(std::clamp(scaled, 0.0, max)) << f.shift;
}

bool hasColour(const PixelFormatInfo& info) { return info.red.bits || info.green.bits || info.blue.bits; }

constexpr PALETTEENTRY kWhitePalette[256] = {
#define W4 \
  {255, 255, 255, 255}, {255, 255, 255, 255}, {255, 255, 255, 255}, { 255, 255, 255, 255 }
#define W16 W4, W4, W4, W4
    W16, W16, W16, W16, W16, W16, W16, W16, W16,
    W16, W16, W16, W16, W16, W16, W16
#undef W16
#undef W4
};

// ITU-R BT.601 video levels.
Float4 yuvToRgb(float y, float u, float v) {
  const float c = y * 255.0f - 16.0f, d = u * 255.0f - 128.0f, e = v * 255.0f - 128.0f;
  return {std::clamp((1.164f * c + 1.596f * e) / 255.0f, 0.0f, 1.0f),
          std::clamp((1.164f * c - 0.392f * d - 0.813f * e) / 255.0f, 0.0f, 1.0f),
          std::clamp((1.164f * c + 2.017f * d) / 255.0f, 0.0f, 1.0f), 1.0f};
}

void unpackRow(const PixelFormatInfo& info, const uint8_t* row, uint32_t width, const PALETTEENTRY* palette,
               Float4* out) {
  const uint32_t bytes = info.bitsPerPixel / 8;
  const float missing = hasColour(info) ? 1.0f : 0.0f;
  switch (info.encoding) {
    case PixelEncoding::Packed:
      for (uint32_t x = 0; x < width; ++x) {
        const uint64_t w = readWord(row + size_t{x} * bytes, bytes);
        const uint8_t s = info.signedChannels;
        out[x] = {info.red.bits ? unpackField(w, info.red, s & 1) : missing,
                  info.green.bits ? unpackField(w, info.green, s & 2) : missing,
                  info.blue.bits ? unpackField(w, info.blue, s & 4) : missing,
                  info.alpha.bits ? unpackField(w, info.alpha, s & 8) : 1.0f};
      }
      break;
    case PixelEncoding::Luminance:
      for (uint32_t x = 0; x < width; ++x) {
        const uint64_t w = readWord(row + size_t{x} * bytes, bytes);
        const float l = unpackField(w, info.red, false);
        out[x] = {l, l, l, info.alpha.bits ? unpackField(w, info.alpha, false) : 1.0f};
      }
      break;
    case PixelEncoding::Palette:
      for (uint32_t x = 0; x < width; ++x) {
        const PALETTEENTRY& e = palette[row[size_t{x} * bytes]];
        const uint8_t alpha = info.format == D3DFMT_A8P8 ? row[2 * size_t{x} + 1] : e.peFlags;
        out[x] = {e.peRed / 255.0f, e.peGreen / 255.0f, e.peBlue / 255.0f, alpha / 255.0f};
      }
      break;
    case PixelEncoding::Float:
      for (uint32_t x = 0; x < width; ++x) {
        const uint8_t* p = row + size_t{x} * bytes;
        auto read = [&](ChannelField f, float absent) {
          if (f.bits == 0) return absent;
          if (f.bits == 16) return halfToFloat(static_cast<uint16_t>(readWord(p + f.shift / 8, 2)));
          float v;
          std::memcpy(&v, p + f.shift / 8, 4);
          return v;
        };
        out[x] = {read(info.red, 1.0f), read(info.green, 1.0f), read(info.blue, 1.0f), read(info.alpha, 1.0f)};
      }
      break;
    case PixelEncoding::Cx:
      for (uint32_t x = 0; x < width; ++x) {
        const uint64_t w = readWord(row + size_t{x} * 2, 2);
        const float u = unpackField(w, info.red, true), v = unpackField(w, info.green, true);
        out[x] = {u, v, std::sqrt(std::max(0.0f, 1.0f - u * u - v * v)), 1.0f};
      }
      break;
    case PixelEncoding::Pairs:
      for (uint32_t x = 0; x < width; ++x) {
        const uint8_t* p = row + size_t{x / 2} * 4;
        const bool second = (x & 1) != 0;
        auto n = [](uint8_t v) { return v / 255.0f; };
        switch (info.format) {
          case D3DFMT_YUY2:
            out[x] = yuvToRgb(n(p[second ? 2 : 0]), n(p[1]), n(p[3]));
            break;
          case D3DFMT_UYVY:
            out[x] = yuvToRgb(n(p[second ? 3 : 1]), n(p[0]), n(p[2]));
            break;
          case D3DFMT_R8G8_B8G8:
            out[x] = {n(p[0]), n(p[second ? 3 : 1]), n(p[2]), 1.0f};
            break;
          default:
            out[x] = {n(p[1]), n(p[second ? 2 : 0]), n(p[3]), 1.0f};
            break;  // G8R8_G8B8
        }
      }
      break;
    case PixelEncoding::Bits:
      for (uint32_t x = 0; x < width; ++x) out[x] = {0, 0, 0, static_cast<float>((row[x / 8] >> (7 - x % 8)) & 1)};
      break;
    case PixelEncoding::Blocks:
    case PixelEncoding::None:
      break;
  }
}

// An ordered 4 x 4 dither, in fractions of the destination's last bit.
float ditherOffset(bool dither, uint32_t x, uint32_t y) {
  static constexpr uint8_t kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  return dither ? (kBayer[y & 3][x & 3] + 0.5f) / 16.0f - 0.5f : 0.0f;
}

uint8_t nearestPaletteIndex(const PALETTEENTRY* palette, const Float4& c, bool withAlpha) {
  uint32_t best = 0;
  float bestDistance = INFINITY;
  for (uint32_t i = 0; i < 256; ++i) {
    const float dr = c.r - palette[i].peRed / 255.0f, dg = c.g - palette[i].peGreen / 255.0f,
                db = c.b - palette[i].peBlue / 255.0f, da = withAlpha ? c.a - palette[i].peFlags / 255.0f : 0.0f;
    const float d = dr * dr + dg * dg + db * db + da * da;
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return static_cast<uint8_t>(best);
}

uint8_t toByte(float v) {
  return std::isnan(v) ? 0 : static_cast<uint8_t>(std::lrint(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

void packRow(const PixelFormatInfo& info, const Float4* in, uint32_t width, uint8_t* row, const PALETTEENTRY* palette,
             bool dither, uint32_t y) {
  const uint32_t bytes = info.bitsPerPixel / 8;
  switch (info.encoding) {
    case PixelEncoding::Packed:
      for (uint32_t x = 0; x < width; ++x) {
        const float d = ditherOffset(dither, x, y);
        const uint8_t s = info.signedChannels;
        uint64_t w = 0;
        if (info.red.bits) w |= packField(in[x].r, info.red, s & 1, d);
        if (info.green.bits) w |= packField(in[x].g, info.green, s & 2, d);
        if (info.blue.bits) w |= packField(in[x].b, info.blue, s & 4, d);
        if (info.alpha.bits) w |= packField(in[x].a, info.alpha, s & 8, d);
        if (info.extra.bits) w |= fieldMax(info.extra) << info.extra.shift;
        writeWord(row + size_t{x} * bytes, bytes, w);
      }
      break;
    case PixelEncoding::Luminance:
      for (uint32_t x = 0; x < width; ++x) {
        const float d = ditherOffset(dither, x, y);
        const float l = 0.2125f * in[x].r + 0.7154f * in[x].g + 0.0721f * in[x].b;
        uint64_t w = packField(l, info.red, false, d);
        if (info.alpha.bits) w |= packField(in[x].a, info.alpha, false, d);
        writeWord(row + size_t{x} * bytes, bytes, w);
      }
      break;
    case PixelEncoding::Palette:
      for (uint32_t x = 0; x < width; ++x) {
        const bool separateAlpha = info.format == D3DFMT_A8P8;
        row[size_t{x} * bytes] = nearestPaletteIndex(palette, in[x], !separateAlpha);
        if (separateAlpha) row[2 * size_t{x} + 1] = toByte(in[x].a);
      }
      break;
    case PixelEncoding::Float:
      for (uint32_t x = 0; x < width; ++x) {
        uint8_t* p = row + size_t{x} * bytes;
        auto write = [&](ChannelField f, float v) {
          if (f.bits == 16) writeWord(p + f.shift / 8, 2, floatToHalf(v));
          if (f.bits == 32) std::memcpy(p + f.shift / 8, &v, 4);
        };
        write(info.red, in[x].r);
        write(info.green, in[x].g);
        write(info.blue, in[x].b);
        write(info.alpha, in[x].a);
      }
      break;
    case PixelEncoding::Cx:
      for (uint32_t x = 0; x < width; ++x)
        writeWord(row + size_t{x} * 2, 2,
                  packField(in[x].r, info.red, true, 0) | packField(in[x].g, info.green, true, 0));
      break;
    case PixelEncoding::Pairs:
      for (uint32_t x = 0; x < width; x += 2) {
        const Float4& a = in[x];
        const Float4& b = in[std::min(x + 1, width - 1)];
        uint8_t* p = row + size_t{x / 2} * 4;
        auto luma = [](const Float4& c) {
          return toByte((16.0f + 65.481f * c.r + 128.553f * c.g + 24.966f * c.b) / 255.0f);
        };
        const float r = (a.r + b.r) / 2, g = (a.g + b.g) / 2, bl = (a.b + b.b) / 2;
        const uint8_t u = toByte((128.0f - 37.797f * r - 74.203f * g + 112.0f * bl) / 255.0f);
        const uint8_t v = toByte((128.0f + 112.0f * r - 93.786f * g - 18.214f * bl) / 255.0f);
        switch (info.format) {
          case D3DFMT_YUY2:
            p[0] = luma(a), p[1] = u, p[2] = luma(b), p[3] = v;
            break;
          case D3DFMT_UYVY:
            p[0] = u, p[1] = luma(a), p[2] = v, p[3] = luma(b);
            break;
          case D3DFMT_R8G8_B8G8:
            p[0] = toByte(r), p[1] = toByte(a.g), p[2] = toByte(bl), p[3] = toByte(b.g);
            break;
          default:
            p[0] = toByte(a.g), p[1] = toByte(r), p[2] = toByte(b.g), p[3] = toByte(bl);
            break;
        }
      }
      break;
    case PixelEncoding::Bits:
      // Bit by bit: the last byte may hold pixels right of the region.
      for (uint32_t x = 0; x < width; ++x) {
        const auto bit = static_cast<uint8_t>(0x80 >> (x % 8));
        if (packField(in[x].a, info.alpha, false, ditherOffset(dither, x, y)) != 0)
          row[x / 8] |= bit;
        else
          row[x / 8] &= static_cast<uint8_t>(~bit);
      }
      break;
    case PixelEncoding::Blocks:
    case PixelEncoding::None:
      break;
  }
}

uint32_t argbOf(const Float4& c) {
  return (uint32_t{toByte(c.a)} << 24) | (uint32_t{toByte(c.r)} << 16) | (uint32_t{toByte(c.g)} << 8) | toByte(c.b);
}

Float4 floatOf(uint32_t argb) {
  return {((argb >> 16) & 255) / 255.0f, ((argb >> 8) & 255) / 255.0f, (argb & 255) / 255.0f, (argb >> 24) / 255.0f};
}

// The region's pixels as floats, row by row.
void readRegion(const PixelFormatInfo& info, const PixelRegion& region, std::vector<Float4>& out) {
  const uint8_t* bits = static_cast<const uint8_t*>(region.bits);
  const PALETTEENTRY* palette = region.palette ? region.palette : kWhitePalette;
  if (info.encoding == PixelEncoding::Blocks) {
    std::vector<uint32_t> argb(size_t{region.width} * 4);
    const size_t rowBytes = formatRowBytes(info, region.width);
    for (uint32_t y0 = 0; y0 < region.height; y0 += 4) {
      const uint32_t rows = std::min(4u, region.height - y0);
      dxt::decode(info.format, {bits + size_t{y0 / 4} * region.pitch, rowBytes}, region.width, rows, argb);
      for (size_t i = 0; i < size_t{region.width} * rows; ++i) out[size_t{y0} * region.width + i] = floatOf(argb[i]);
    }
    return;
  }
  for (uint32_t y = 0; y < region.height; ++y)
    unpackRow(info, bits + size_t{y} * region.pitch, region.width, palette, out.data() + size_t{y} * region.width);
}

void writeRegion(const PixelFormatInfo& info, const PixelRegion& region, const std::vector<Float4>& in, bool dither) {
  uint8_t* bits = static_cast<uint8_t*>(region.bits);
  const PALETTEENTRY* palette = region.palette ? region.palette : kWhitePalette;
  if (info.encoding == PixelEncoding::Blocks) {
    std::vector<uint32_t> argb(size_t{region.width} * 4);
    const size_t rowBytes = formatRowBytes(info, region.width);
    for (uint32_t y0 = 0; y0 < region.height; y0 += 4) {
      const uint32_t rows = std::min(4u, region.height - y0);
      for (size_t i = 0; i < size_t{region.width} * rows; ++i) argb[i] = argbOf(in[size_t{y0} * region.width + i]);
      dxt::encode(info.format, argb, region.width, rows, {bits + size_t{y0 / 4} * region.pitch, rowBytes});
    }
    return;
  }
  for (uint32_t y = 0; y < region.height; ++y)
    packRow(info, in.data() + size_t{y} * region.width, region.width, bits + size_t{y} * region.pitch, palette, dither,
            y);
}

// ---- resampling ------------------------------------------------------------------------

struct Tap {
  uint32_t index;
  float weight;
};

uint32_t address(int64_t i, uint32_t n, bool mirror) {
  if (!mirror) {
    const int64_t m = i % static_cast<int64_t>(n);
    return static_cast<uint32_t>(m < 0 ? m + n : m);
  }
  const int64_t period = 2 * static_cast<int64_t>(n);
  int64_t m = i % period;
  if (m < 0) m += period;
  return static_cast<uint32_t>(m < n ? m : period - 1 - m);
}

// For each destination coordinate along one axis, the source samples and their weights.
std::vector<std::vector<Tap>> axisTaps(uint32_t srcN, uint32_t dstN, DWORD kind, bool mirror) {
  std::vector<std::vector<Tap>> taps(dstN);
  const double scale = static_cast<double>(srcN) / dstN;
  for (uint32_t i = 0; i < dstN; ++i) {
    const double centre = (i + 0.5) * scale;
    std::vector<Tap>& t = taps[i];
    if (kind == D3DX_FILTER_POINT || (kind == D3DX_FILTER_BOX && scale <= 1.0)) {
      t.push_back({std::min(static_cast<uint32_t>(centre), srcN - 1), 1.0f});
    } else if (kind == D3DX_FILTER_LINEAR || (kind == D3DX_FILTER_TRIANGLE && scale <= 1.0)) {
      const double c = centre - 0.5, first = std::floor(c);
      const float f = static_cast<float>(c - first);
      t.push_back({address(static_cast<int64_t>(first), srcN, mirror), 1.0f - f});
      t.push_back({address(static_cast<int64_t>(first) + 1, srcN, mirror), f});
    } else if (kind == D3DX_FILTER_BOX) {  // area average over the destination texel's footprint
      const double lo = i * scale, hi = (i + 1) * scale;
      for (int64_t j = static_cast<int64_t>(std::floor(lo)); j < hi; ++j) {
        const double cover = std::min<double>(hi, j + 1) - std::max<double>(lo, j);
        if (cover > 1e-9)
          t.push_back({std::min(static_cast<uint32_t>(j), srcN - 1), static_cast<float>(cover / scale)});
      }
    } else {  // TRIANGLE when shrinking: a tent as wide as the footprint on either side
      const double radius = scale;
      float total = 0;
      for (int64_t j = static_cast<int64_t>(std::floor(centre - radius));
           j <= static_cast<int64_t>(std::ceil(centre + radius)); ++j) {
        const double w = 1.0 - std::fabs(j + 0.5 - centre) / radius;
        if (w <= 0) continue;
        t.push_back({address(j, srcN, mirror), static_cast<float>(w)});
        total += static_cast<float>(w);
      }
      for (Tap& tap : t) tap.weight /= total;
    }
  }
  return taps;
}

void resample(const std::vector<Float4>& src, uint32_t sw, uint32_t sh, std::vector<Float4>& dst, uint32_t dw,
              uint32_t dh, DWORD filter) {
  const DWORD kind = filter & 0xFF;
  if (kind == D3DX_FILTER_NONE) {  // no scaling: what lies outside the source is transparent black
    for (uint32_t y = 0; y < dh; ++y)
      for (uint32_t x = 0; x < dw; ++x)
        dst[size_t{y} * dw + x] = x < sw && y < sh ? src[size_t{y} * sw + x] : Float4{0, 0, 0, 0};
    return;
  }
  const auto xTaps = axisTaps(sw, dw, kind, (filter & D3DX_FILTER_MIRROR_U) != 0);
  const auto yTaps = axisTaps(sh, dh, kind, (filter & D3DX_FILTER_MIRROR_V) != 0);
  std::vector<Float4> rows(size_t{dw} * sh);
  for (uint32_t y = 0; y < sh; ++y)
    for (uint32_t x = 0; x < dw; ++x) {
      Float4 sum{0, 0, 0, 0};
      for (const Tap& t : xTaps[x]) {
        const Float4& s = src[size_t{y} * sw + t.index];
        sum = {sum.r + s.r * t.weight, sum.g + s.g * t.weight, sum.b + s.b * t.weight, sum.a + s.a * t.weight};
      }
      rows[size_t{y} * dw + x] = sum;
    }
  for (uint32_t y = 0; y < dh; ++y)
    for (uint32_t x = 0; x < dw; ++x) {
      Float4 sum{0, 0, 0, 0};
      for (const Tap& t : yTaps[y]) {
        const Float4& s = rows[size_t{t.index} * dw + x];
        sum = {sum.r + s.r * t.weight, sum.g + s.g * t.weight, sum.b + s.b * t.weight, sum.a + s.a * t.weight};
      }
      dst[size_t{y} * dw + x] = sum;
    }
}

bool convertible(const PixelFormatInfo* info) { return info != nullptr && info->encoding != PixelEncoding::None; }

// Mip levels are made by halving with the box filter over and over: for unsigned integer
// layouts that is an exact integer average of 2 x 2 (or 2 x 1) fields, the value the float
// path arrives at too, only without the detour.
bool isExactHalving(uint32_t from, uint32_t to) { return from == 1 ? to == 1 : from % 2 == 0 && to == from / 2; }

// The fields a packed layout has, without the absent ones.
struct PresentFields {
  ChannelField field[5];
  uint32_t count = 0;
};

PresentFields presentFields(const PixelFormatInfo& info) {
  PresentFields present;
  for (const ChannelField f : {info.extra, info.alpha, info.red, info.green, info.blue})
    if (f.bits != 0) present.field[present.count++] = f;
  return present;
}

// The four bytes of a word in 16-bit lanes of a 64-bit one (bytes 0 and 2 low, 1 and 3
// high), so that four of them add up without carrying into each other; and back.
uint64_t spreadBytes(uint32_t w) { return (w & 0x00FF00FFu) | (uint64_t{w & 0xFF00FF00u} << 24); }
uint32_t gatherBytes(uint64_t v) { return static_cast<uint32_t>((v & 0x00FF00FFu) | ((v >> 24) & 0xFF00FF00u)); }

// Halving where every byte is a field of its own: each byte averaged, four at a time.
void halveBytes(const PixelRegion& destination, const PixelRegion& source) {
  const uint32_t stepX = source.width > 1 ? 8 : 4, stepY = source.height > 1 ? 2 : 1;
  const uint32_t right = stepX - 4;
  constexpr uint64_t kHalf = 0x0002000200020002u, kLanes = 0x00FF00FF00FF00FFu;
  auto load = [](const uint8_t* p) {
    uint32_t w;
    std::memcpy(&w, p, 4);
    return spreadBytes(w);
  };
  for (uint32_t y = 0; y < destination.height; ++y) {
    const uint8_t* top = static_cast<const uint8_t*>(source.bits) + size_t{y * stepY} * source.pitch;
    const uint8_t* bottom = top + (stepY - 1) * size_t{source.pitch};
    uint8_t* out = static_cast<uint8_t*>(destination.bits) + size_t{y} * destination.pitch;
    for (uint32_t x = 0; x < destination.width; ++x, top += stepX, bottom += stepX, out += 4) {
      const uint64_t sum = load(top) + load(top + right) + load(bottom) + load(bottom + right) + kHalf;
      const uint32_t average = gatherBytes((sum >> 2) & kLanes);
      std::memcpy(out, &average, 4);
    }
  }
}

template <uint32_t Bytes>
void halveFields(const PresentFields& present, const PixelRegion& destination, const PixelRegion& source) {
  const uint32_t stepX = source.width > 1 ? 2 : 1, stepY = source.height > 1 ? 2 : 1;
  const size_t right = (stepX - 1) * Bytes;
  for (uint32_t y = 0; y < destination.height; ++y) {
    const uint8_t* top = static_cast<const uint8_t*>(source.bits) + size_t{y * stepY} * source.pitch;
    const uint8_t* bottom = top + (stepY - 1) * size_t{source.pitch};
    uint8_t* out = static_cast<uint8_t*>(destination.bits) + size_t{y} * destination.pitch;
    for (uint32_t x = 0; x < destination.width; ++x, top += stepX * Bytes, bottom += stepX * Bytes, out += Bytes) {
      const uint64_t words[4] = {readWord(top, Bytes), readWord(top + right, Bytes), readWord(bottom, Bytes),
                                 readWord(bottom + right, Bytes)};
      uint64_t result = 0;
      for (uint32_t i = 0; i < present.count; ++i) {
        const ChannelField f = present.field[i];
        uint64_t sum = 0;
        for (const uint64_t w : words) sum += (w >> f.shift) & fieldMax(f);
        // An axis of length 1 samples the same texel twice: the sum is still of four.
        result |= ((sum + 2) / 4) << f.shift;
      }
      writeWord(out, Bytes, result);
    }
  }
}

bool halveWithBox(const PixelFormatInfo& info, const PixelRegion& destination, const PixelRegion& source) {
  if (info.encoding != PixelEncoding::Packed || info.signedChannels != 0 || info.bitsPerPixel % 8 != 0 ||
      !isExactHalving(source.width, destination.width) || !isExactHalving(source.height, destination.height))
    return false;
  const PresentFields present = presentFields(info);
  const bool byteFields = std::all_of(present.field, present.field + present.count,
                                      [](ChannelField f) { return f.bits == 8 && f.shift % 8 == 0; });
  switch (info.bitsPerPixel / 8) {
    case 1:
      halveFields<1>(present, destination, source);
      break;
    case 2:
      halveFields<2>(present, destination, source);
      break;
    case 3:
      halveFields<3>(present, destination, source);
      break;
    case 4:
      // Bytes not covered by a field are averaged too: they are padding either way.
      if (byteFields)
        halveBytes(destination, source);
      else
        halveFields<4>(present, destination, source);
      break;
    default:
      halveFields<8>(present, destination, source);
      break;
  }
  return true;
}

// The pictures of most files have 8-bit red, green and blue bytes; writing them into an
// unsigned integer layout of the same size needs no floats. Rounding (and the dither
// offset) are those of the float path, done in integers.
bool isByteColour(const PixelFormatInfo& info) {
  auto byteField = [](ChannelField f) { return f.bits == 8 && f.shift % 8 == 0; };
  return info.encoding == PixelEncoding::Packed && info.signedChannels == 0 &&
         (info.bitsPerPixel == 24 || info.bitsPerPixel == 32) && byteField(info.red) && byteField(info.green) &&
         byteField(info.blue) && (info.alpha.bits == 0 || byteField(info.alpha));
}

struct ByteTarget {
  ChannelField field;
  int sourceByte;  // -1: opaque alpha
};

template <uint32_t DstBytes>
void writeByteColour(const ByteTarget* targets, uint32_t count, uint32_t srcBytes, const PixelRegion& destination,
                     const PixelRegion& source, bool dither) {
  static constexpr uint8_t kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  for (uint32_t y = 0; y < source.height; ++y) {
    const uint8_t* in = static_cast<const uint8_t*>(source.bits) + size_t{y} * source.pitch;
    uint8_t* out = static_cast<uint8_t*>(destination.bits) + size_t{y} * destination.pitch;
    for (uint32_t x = 0; x < source.width; ++x, in += srcBytes, out += DstBytes) {
      const uint32_t twiceBayer = dither ? 2u * kBayer[y & 3][x & 3] + 1 : 16;  // 16: plain rounding
      uint32_t word = 0;
      for (uint32_t i = 0; i < count; ++i) {
        const ByteTarget& t = targets[i];
        const uint32_t c = t.sourceByte < 0 ? 255 : in[t.sourceByte];
        // An 8-bit field takes the byte as it is: the offset (under 1/2) never carries.
        if (t.field.bits == 8) {
          word |= c << t.field.shift;
          continue;
        }
        const uint32_t max = (1u << t.field.bits) - 1;
        word |= std::min(max, (32 * c * max + 255 * twiceBayer) / 8160) << t.field.shift;
      }
      writeWord(out, DstBytes, word);
    }
  }
}

bool convertByteColour(const PixelFormatInfo& dstInfo, const PixelRegion& destination, const PixelFormatInfo& srcInfo,
                       const PixelRegion& source, bool dither) {
  // Fields of up to 16 bits keep the integer rounding below within 32 bits.
  auto narrow = [](ChannelField f) { return f.bits <= 16; };
  if (!isByteColour(srcInfo) || dstInfo.encoding != PixelEncoding::Packed || dstInfo.signedChannels != 0 ||
      dstInfo.bitsPerPixel % 8 != 0 || dstInfo.bitsPerPixel > 32 || !narrow(dstInfo.red) || !narrow(dstInfo.green) ||
      !narrow(dstInfo.blue) || !narrow(dstInfo.alpha) || destination.width != source.width ||
      destination.height != source.height)
    return false;
  const ByteTarget all[] = {{dstInfo.red, srcInfo.red.shift / 8},
                            {dstInfo.green, srcInfo.green.shift / 8},
                            {dstInfo.blue, srcInfo.blue.shift / 8},
                            {dstInfo.alpha, srcInfo.alpha.bits ? srcInfo.alpha.shift / 8 : -1}};
  ByteTarget targets[4];
  uint32_t count = 0;
  for (const ByteTarget& t : all)
    if (t.field.bits != 0) targets[count++] = t;
  const uint32_t srcBytes = srcInfo.bitsPerPixel / 8;
  switch (dstInfo.bitsPerPixel / 8) {
    case 1:
      writeByteColour<1>(targets, count, srcBytes, destination, source, dither);
      break;
    case 2:
      writeByteColour<2>(targets, count, srcBytes, destination, source, dither);
      break;
    case 3:
      writeByteColour<3>(targets, count, srcBytes, destination, source, dither);
      break;
    default:
      writeByteColour<4>(targets, count, srcBytes, destination, source, dither);
      break;
  }
  return true;
}

}  // namespace

HRESULT convertPixels(const PixelRegion& destination, const PixelRegion& source, DWORD filter, D3DCOLOR colorKey) {
  const PixelFormatInfo* dstInfo = pixelFormatInfo(destination.format);
  const PixelFormatInfo* srcInfo = pixelFormatInfo(source.format);
  if (!convertible(dstInfo) || !convertible(srcInfo) || destination.bits == nullptr || source.bits == nullptr ||
      destination.width == 0 || destination.height == 0 || source.width == 0 || source.height == 0)
    return D3DERR_INVALIDCALL;
  if (filter == D3DX_DEFAULT) filter = D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER;
  if ((filter & 0xFF) < D3DX_FILTER_NONE || (filter & 0xFF) > D3DX_FILTER_BOX ||
      (filter & ~DWORD{0xFF | D3DX_FILTER_MIRROR | D3DX_FILTER_DITHER}) != 0)
    return D3DERR_INVALIDCALL;

  if (destination.format == source.format && destination.width == source.width && destination.height == source.height &&
      colorKey == 0) {
    const size_t rowBytes = formatRowBytes(*srcInfo, source.width);
    for (uint32_t y = 0; y < formatRows(*srcInfo, source.height); ++y)
      std::memcpy(static_cast<uint8_t*>(destination.bits) + size_t{y} * destination.pitch,
                  static_cast<const uint8_t*>(source.bits) + size_t{y} * source.pitch, rowBytes);
    return S_OK;
  }

  if (destination.format == source.format && colorKey == 0 && (filter & 0xFF) == D3DX_FILTER_BOX &&
      halveWithBox(*srcInfo, destination, source))
    return S_OK;
  if (colorKey == 0 && convertByteColour(*dstInfo, destination, *srcInfo, source, (filter & D3DX_FILTER_DITHER) != 0))
    return S_OK;

  try {
    std::vector<Float4> pixels(size_t{source.width} * source.height);
    readRegion(*srcInfo, source, pixels);
    if (colorKey != 0)
      for (Float4& p : pixels)
        if (argbOf(p) == colorKey) p = {0, 0, 0, 0};
    if (destination.width != source.width || destination.height != source.height) {
      std::vector<Float4> resized(size_t{destination.width} * destination.height);
      resample(pixels, source.width, source.height, resized, destination.width, destination.height, filter);
      pixels.swap(resized);
    }
    writeRegion(*dstInfo, destination, pixels, (filter & D3DX_FILTER_DITHER) != 0);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT pictureToRgba8(const DecodedImage& picture, std::vector<uint8_t>& rgba) {
  try {
    rgba.assign(size_t{picture.width} * picture.height * 4, 0);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  const PixelRegion source{picture.format, const_cast<uint8_t*>(picture.pixels),
                           picture.pitch,  picture.width,
                           picture.height, picture.palette.empty() ? nullptr : picture.palette.data()};
  const PixelRegion destination{D3DFMT_A8B8G8R8, rgba.data(),    picture.width * 4,
                                picture.width,   picture.height, nullptr};
  return convertPixels(destination, source, D3DX_FILTER_NONE, 0);
}

}  // namespace d3dx
