#include "format.h"

#include <algorithm>
#include <cstring>

namespace d3d9 {

namespace {

constexpr TextureFormatInfo kTextureFormats[] = {
    {D3DFMT_A8R8G8B8, 4, false, true},  {D3DFMT_X8R8G8B8, 4, false, true}, {D3DFMT_R5G6B5, 2, false, true},
    {D3DFMT_X1R5G5B5, 2, false, false}, {D3DFMT_A1R5G5B5, 2, false, false}, {D3DFMT_A4R4G4B4, 2, false, false},
    {D3DFMT_X4R4G4B4, 2, false, false}, {D3DFMT_A8, 1, false, false},       {D3DFMT_L8, 1, false, false},
    {D3DFMT_A8L8, 2, false, false},     {D3DFMT_DXT1, 8, true, false},      {D3DFMT_DXT3, 16, true, false},
    {D3DFMT_DXT5, 16, true, false},
};

uint32_t rgb565ToArgb(uint16_t c) {
  const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  return 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
}

uint32_t channel(uint32_t argb, int shift) { return (argb >> shift) & 0xFF; }

// The four colours of a DXT colour block; 'punchThrough' allows DXT1's three-colour mode.
void blockPalette(const uint8_t* block, bool punchThrough, uint32_t palette[4]) {
  const uint16_t c0 = static_cast<uint16_t>(block[0] | (block[1] << 8));
  const uint16_t c1 = static_cast<uint16_t>(block[2] | (block[3] << 8));
  const uint32_t a = rgb565ToArgb(c0), b = rgb565ToArgb(c1);
  palette[0] = a;
  palette[1] = b;
  auto mix = [&](uint32_t wa, uint32_t wb, uint32_t div) {
    uint32_t out = 0xFF000000u;
    for (int shift : {16, 8, 0}) out |= ((channel(a, shift) * wa + channel(b, shift) * wb) / div) << shift;
    return out;
  };
  if (c0 > c1 || !punchThrough) {
    palette[2] = mix(2, 1, 3);
    palette[3] = mix(1, 2, 3);
  } else {
    palette[2] = mix(1, 1, 2);
    palette[3] = 0x00000000u;  // transparent black
  }
}

}  // namespace

const TextureFormatInfo* textureFormatInfo(D3DFORMAT format) {
  for (const TextureFormatInfo& info : kTextureFormats)
    if (info.format == format) return &info;
  return nullptr;
}

size_t levelPitch(const TextureFormatInfo& info, uint32_t width) {
  if (info.compressed) return static_cast<size_t>(std::max<uint32_t>(1, (width + 3) / 4)) * info.blockBytes;
  return static_cast<size_t>(width) * info.blockBytes;
}

uint32_t levelRows(const TextureFormatInfo& info, uint32_t height) {
  return info.compressed ? std::max<uint32_t>(1, (height + 3) / 4) : height;
}

uint32_t fullChainLevels(uint32_t width, uint32_t height) {
  uint32_t levels = 1;
  for (uint32_t size = std::max(width, height); size > 1; size >>= 1) ++levels;
  return levels;
}

void decodeDxt(D3DFORMAT format, std::span<const uint8_t> blocks, uint32_t width, uint32_t height,
               std::span<uint32_t> pixels) {
  const TextureFormatInfo* info = textureFormatInfo(format);
  if (info == nullptr || !info->compressed) return;
  const uint32_t blocksWide = std::max<uint32_t>(1, (width + 3) / 4);
  const uint32_t blocksHigh = std::max<uint32_t>(1, (height + 3) / 4);
  if (blocks.size() < static_cast<size_t>(blocksWide) * blocksHigh * info->blockBytes) return;
  if (pixels.size() < static_cast<size_t>(width) * height) return;

  for (uint32_t by = 0; by < blocksHigh; ++by) {
    for (uint32_t bx = 0; bx < blocksWide; ++bx) {
      const uint8_t* block = blocks.data() + (static_cast<size_t>(by) * blocksWide + bx) * info->blockBytes;
      const uint8_t* colourBlock = format == D3DFMT_DXT1 ? block : block + 8;
      uint32_t palette[4];
      blockPalette(colourBlock, format == D3DFMT_DXT1, palette);
      uint8_t alphaPalette[8] = {};
      if (format == D3DFMT_DXT5) {
        const uint32_t a0 = block[0], a1 = block[1];
        alphaPalette[0] = static_cast<uint8_t>(a0);
        alphaPalette[1] = static_cast<uint8_t>(a1);
        for (uint32_t i = 1; i < 7; ++i) {
          if (a0 > a1) {
            alphaPalette[i + 1] = static_cast<uint8_t>(((7 - i) * a0 + i * a1) / 7);
          } else if (i < 5) {
            alphaPalette[i + 1] = static_cast<uint8_t>(((5 - i) * a0 + i * a1) / 5);
          }
        }
        if (a0 <= a1) {
          alphaPalette[6] = 0;
          alphaPalette[7] = 255;
        }
      }
      uint64_t alphaBits = 0;
      if (format == D3DFMT_DXT5)
        for (int i = 0; i < 6; ++i) alphaBits |= static_cast<uint64_t>(block[2 + i]) << (8 * i);
      const uint32_t indices = static_cast<uint32_t>(colourBlock[4]) | (colourBlock[5] << 8) |
                               (colourBlock[6] << 16) | (static_cast<uint32_t>(colourBlock[7]) << 24);

      for (uint32_t py = 0; py < 4; ++py) {
        for (uint32_t px = 0; px < 4; ++px) {
          const uint32_t x = bx * 4 + px, y = by * 4 + py;
          if (x >= width || y >= height) continue;
          const uint32_t texel = py * 4 + px;
          uint32_t argb = palette[(indices >> (2 * texel)) & 3];
          if (format == D3DFMT_DXT3) {
            const uint32_t nibble = (block[texel / 2] >> (4 * (texel & 1))) & 0xF;
            argb = (argb & 0x00FFFFFFu) | ((nibble * 17) << 24);
          } else if (format == D3DFMT_DXT5) {
            const uint32_t alpha = alphaPalette[(alphaBits >> (3 * texel)) & 7];
            argb = (argb & 0x00FFFFFFu) | (alpha << 24);
          }
          pixels[static_cast<size_t>(y) * width + x] = argb;
        }
      }
    }
  }
}

bool parseFvf(DWORD fvf, FvfLayout& layout) {
  layout = FvfLayout{};
  constexpr DWORD kKnown = D3DFVF_POSITION_MASK | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE |
                           D3DFVF_SPECULAR | D3DFVF_TEXCOUNT_MASK | 0xFFFF0000u;
  if ((fvf & ~kKnown) != 0) return false;
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: layout.weightCount = 0; break;
    case D3DFVF_XYZB1: layout.weightCount = 1; break;
    case D3DFVF_XYZB2: layout.weightCount = 2; break;
    case D3DFVF_XYZB3: layout.weightCount = 3; break;
    case D3DFVF_XYZB4: layout.weightCount = 4; break;
    default: return false;  // pre-transformed or W positions, or none
  }
  uint32_t offset = 12 + 4 * layout.weightCount;
  if (fvf & D3DFVF_NORMAL) {
    layout.normalOffset = static_cast<int32_t>(offset);
    offset += 12;
  }
  if (fvf & D3DFVF_PSIZE) {
    layout.pointSizeOffset = static_cast<int32_t>(offset);
    offset += 4;
  }
  if (fvf & D3DFVF_DIFFUSE) {
    layout.diffuseOffset = static_cast<int32_t>(offset);
    offset += 4;
  }
  if (fvf & D3DFVF_SPECULAR) {
    layout.specularOffset = static_cast<int32_t>(offset);
    offset += 4;
  }
  const uint32_t texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (texCount > 8) return false;
  if ((fvf >> 16) != 0) return false;  // only 2D coordinate sets
  if (texCount > 0) layout.texCoordOffset = static_cast<int32_t>(offset);
  offset += 8 * texCount;
  layout.size = offset;
  return true;
}

}  // namespace d3d9
