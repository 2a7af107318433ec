#include "dxt_codec.h"

#include <algorithm>

namespace dxt {

namespace {

uint32_t channel(uint32_t argb, int shift) { return (argb >> shift) & 0xFF; }

uint32_t rgb565ToArgb(uint16_t c) {
  const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  return 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
}

uint16_t argbTo565(uint32_t argb) {
  const uint32_t r = (channel(argb, 16) * 31 + 127) / 255, g = (channel(argb, 8) * 63 + 127) / 255,
                 b = (channel(argb, 0) * 31 + 127) / 255;
  return static_cast<uint16_t>((r << 11) | (g << 5) | b);
}

bool isDxt(D3DFORMAT format) {
  return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 ||
         format == D3DFMT_DXT5;
}
bool explicitAlpha(D3DFORMAT format) { return format == D3DFMT_DXT2 || format == D3DFMT_DXT3; }
bool premultiplied(D3DFORMAT format) { return format == D3DFMT_DXT2 || format == D3DFMT_DXT4; }

// The four colours of a colour block; `threeColourMode` when DXT1's c0 <= c1 applies.
void colourPalette(uint16_t c0, uint16_t c1, bool threeColourMode, uint32_t palette[4]) {
  const uint32_t a = rgb565ToArgb(c0), b = rgb565ToArgb(c1);
  palette[0] = a;
  palette[1] = b;
  auto mix = [&](uint32_t wa, uint32_t wb, uint32_t div) {
    uint32_t out = 0xFF000000u;
    for (int shift : {16, 8, 0}) out |= ((channel(a, shift) * wa + channel(b, shift) * wb) / div) << shift;
    return out;
  };
  if (!threeColourMode) {
    palette[2] = mix(2, 1, 3);
    palette[3] = mix(1, 2, 3);
  } else {
    palette[2] = mix(1, 1, 2);
    palette[3] = 0x00000000u;  // transparent black
  }
}

void alphaPalette(uint32_t a0, uint32_t a1, uint8_t palette[8]) {
  palette[0] = static_cast<uint8_t>(a0);
  palette[1] = static_cast<uint8_t>(a1);
  if (a0 > a1) {
    for (uint32_t i = 1; i < 7; ++i) palette[i + 1] = static_cast<uint8_t>(((7 - i) * a0 + i * a1) / 7);
  } else {
    for (uint32_t i = 1; i < 5; ++i) palette[i + 1] = static_cast<uint8_t>(((5 - i) * a0 + i * a1) / 5);
    palette[6] = 0;
    palette[7] = 255;
  }
}

uint32_t distance(uint32_t x, uint32_t y) {
  uint32_t sum = 0;
  for (int shift : {16, 8, 0}) {
    const int d = static_cast<int>(channel(x, shift)) - static_cast<int>(channel(y, shift));
    sum += static_cast<uint32_t>(d * d);
  }
  return sum;
}

void decodeBlock(D3DFORMAT format, const uint8_t* block, uint32_t texels[16]) {
  const uint8_t* colourBlock = format == D3DFMT_DXT1 ? block : block + 8;
  const uint16_t c0 = static_cast<uint16_t>(colourBlock[0] | (colourBlock[1] << 8));
  const uint16_t c1 = static_cast<uint16_t>(colourBlock[2] | (colourBlock[3] << 8));
  uint32_t palette[4];
  colourPalette(c0, c1, format == D3DFMT_DXT1 && c0 <= c1, palette);
  const uint32_t indices = static_cast<uint32_t>(colourBlock[4]) | (colourBlock[5] << 8) | (colourBlock[6] << 16) |
                           (static_cast<uint32_t>(colourBlock[7]) << 24);
  uint8_t alphas[8] = {};
  uint64_t alphaBits = 0;
  if (format == D3DFMT_DXT4 || format == D3DFMT_DXT5) {
    alphaPalette(block[0], block[1], alphas);
    for (int i = 0; i < 6; ++i) alphaBits |= static_cast<uint64_t>(block[2 + i]) << (8 * i);
  }
  for (uint32_t t = 0; t < 16; ++t) {
    uint32_t argb = palette[(indices >> (2 * t)) & 3];
    if (format != D3DFMT_DXT1) {
      const uint32_t alpha =
          explicitAlpha(format) ? ((block[t / 2] >> (4 * (t & 1))) & 0xF) * 17 : alphas[(alphaBits >> (3 * t)) & 7];
      argb = (argb & 0x00FFFFFFu) | (alpha << 24);
      if (premultiplied(format)) {
        uint32_t out = argb & 0xFF000000u;
        for (int shift : {16, 8, 0})
          out |= (alpha == 0 ? 0 : std::min<uint32_t>(255, (channel(argb, shift) * 255 + alpha / 2) / alpha)) << shift;
        argb = out;
      }
    }
    texels[t] = argb;
  }
}

void encodeColours(const uint32_t texels[16], bool transparency, uint8_t* out) {
  uint32_t lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
  bool anyOpaque = false, anyTransparent = false;
  for (uint32_t t = 0; t < 16; ++t) {
    if (transparency && channel(texels[t], 24) < 128) {
      anyTransparent = true;
      continue;
    }
    anyOpaque = true;
    for (int c = 0; c < 3; ++c) {
      lo[c] = std::min(lo[c], channel(texels[t], 16 - 8 * c));
      hi[c] = std::max(hi[c], channel(texels[t], 16 - 8 * c));
    }
  }
  uint16_t c0 = 0, c1 = 0;
  if (anyOpaque) {
    c0 = argbTo565((hi[0] << 16) | (hi[1] << 8) | hi[2]);
    c1 = argbTo565((lo[0] << 16) | (lo[1] << 8) | lo[2]);
  }
  // Four-colour blocks need c0 > c1, three-colour ones c0 <= c1.
  if (anyTransparent ? c0 > c1 : c0 < c1) std::swap(c0, c1);
  const bool threeColour = c0 <= c1;
  uint32_t palette[4];
  colourPalette(c0, c1, threeColour, palette);
  uint32_t indices = 0;
  for (uint32_t t = 0; t < 16; ++t) {
    uint32_t best = 0;
    if (anyTransparent && channel(texels[t], 24) < 128) {
      best = 3;
    } else {
      uint32_t bestDistance = UINT32_MAX;
      for (uint32_t i = 0; i < (threeColour ? 3u : 4u); ++i) {
        const uint32_t d = distance(texels[t], palette[i]);
        if (d < bestDistance) {
          bestDistance = d;
          best = i;
        }
      }
    }
    indices |= best << (2 * t);
  }
  out[0] = static_cast<uint8_t>(c0);
  out[1] = static_cast<uint8_t>(c0 >> 8);
  out[2] = static_cast<uint8_t>(c1);
  out[3] = static_cast<uint8_t>(c1 >> 8);
  for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<uint8_t>(indices >> (8 * i));
}

void encodeInterpolatedAlpha(const uint32_t texels[16], uint8_t* out) {
  uint32_t lo = 255, hi = 0;
  for (uint32_t t = 0; t < 16; ++t) {
    lo = std::min(lo, channel(texels[t], 24));
    hi = std::max(hi, channel(texels[t], 24));
  }
  uint8_t palette[8];
  alphaPalette(hi, lo, palette);
  uint64_t bits = 0;
  for (uint32_t t = 0; t < 16; ++t) {
    const int a = static_cast<int>(channel(texels[t], 24));
    uint32_t best = 0;
    int bestDistance = 256;
    for (uint32_t i = 0; i < 8; ++i) {
      const int d = a > palette[i] ? a - palette[i] : palette[i] - a;
      if (d < bestDistance) {
        bestDistance = d;
        best = i;
      }
    }
    bits |= static_cast<uint64_t>(best) << (3 * t);
  }
  out[0] = static_cast<uint8_t>(hi);
  out[1] = static_cast<uint8_t>(lo);
  for (int i = 0; i < 6; ++i) out[2 + i] = static_cast<uint8_t>(bits >> (8 * i));
}

void encodeBlock(D3DFORMAT format, uint32_t texels[16], uint8_t* block) {
  if (premultiplied(format)) {
    for (uint32_t t = 0; t < 16; ++t) {
      const uint32_t alpha = channel(texels[t], 24);
      uint32_t out = texels[t] & 0xFF000000u;
      for (int shift : {16, 8, 0}) out |= ((channel(texels[t], shift) * alpha + 127) / 255) << shift;
      texels[t] = out;
    }
  }
  if (format == D3DFMT_DXT1) {
    encodeColours(texels, true, block);
    return;
  }
  if (explicitAlpha(format)) {
    for (uint32_t t = 0; t < 16; t += 2) {
      const uint32_t a0 = (channel(texels[t], 24) * 15 + 127) / 255, a1 = (channel(texels[t + 1], 24) * 15 + 127) / 255;
      block[t / 2] = static_cast<uint8_t>(a0 | (a1 << 4));
    }
  } else {
    encodeInterpolatedAlpha(texels, block);
  }
  encodeColours(texels, false, block + 8);
}

}  // namespace

uint32_t blockBytes(D3DFORMAT format) {
  if (!isDxt(format)) return 0;
  return format == D3DFMT_DXT1 ? 8 : 16;
}

size_t levelBytes(D3DFORMAT format, uint32_t width, uint32_t height) {
  const size_t blocksWide = std::max<uint32_t>(1, (width + 3) / 4),
               blocksHigh = std::max<uint32_t>(1, (height + 3) / 4);
  return blocksWide * blocksHigh * blockBytes(format);
}

void decode(D3DFORMAT format, std::span<const uint8_t> blocks, uint32_t width, uint32_t height,
            std::span<uint32_t> pixels) {
  if (!isDxt(format) || blocks.size() < levelBytes(format, width, height) ||
      pixels.size() < static_cast<size_t>(width) * height)
    return;
  const uint32_t bytes = blockBytes(format), blocksWide = std::max<uint32_t>(1, (width + 3) / 4);
  for (uint32_t y0 = 0; y0 < height; y0 += 4) {
    for (uint32_t x0 = 0; x0 < width; x0 += 4) {
      uint32_t texels[16];
      decodeBlock(format, blocks.data() + (static_cast<size_t>(y0 / 4) * blocksWide + x0 / 4) * bytes, texels);
      for (uint32_t t = 0; t < 16; ++t) {
        const uint32_t x = x0 + t % 4, y = y0 + t / 4;
        if (x < width && y < height) pixels[static_cast<size_t>(y) * width + x] = texels[t];
      }
    }
  }
}

void encode(D3DFORMAT format, std::span<const uint32_t> pixels, uint32_t width, uint32_t height,
            std::span<uint8_t> blocks) {
  if (!isDxt(format) || blocks.size() < levelBytes(format, width, height) ||
      pixels.size() < static_cast<size_t>(width) * height || width == 0 || height == 0)
    return;
  const uint32_t bytes = blockBytes(format), blocksWide = std::max<uint32_t>(1, (width + 3) / 4);
  for (uint32_t y0 = 0; y0 < height; y0 += 4) {
    for (uint32_t x0 = 0; x0 < width; x0 += 4) {
      // Texels beyond a small level repeat its last row and column.
      uint32_t texels[16];
      for (uint32_t t = 0; t < 16; ++t) {
        const uint32_t x = std::min(x0 + t % 4, width - 1), y = std::min(y0 + t / 4, height - 1);
        texels[t] = pixels[static_cast<size_t>(y) * width + x];
      }
      encodeBlock(format, texels, blocks.data() + (static_cast<size_t>(y0 / 4) * blocksWide + x0 / 4) * bytes);
    }
  }
}

}  // namespace dxt
