#include "format.h"

#include <algorithm>
#include <cstring>

namespace d3d9 {

namespace {

constexpr TextureFormatInfo kTextureFormats[] = {
    {D3DFMT_A8R8G8B8, 4, false, true},  {D3DFMT_X8R8G8B8, 4, false, true},  {D3DFMT_R5G6B5, 2, false, true},
    {D3DFMT_X1R5G5B5, 2, false, false}, {D3DFMT_A1R5G5B5, 2, false, false}, {D3DFMT_A4R4G4B4, 2, false, false},
    {D3DFMT_X4R4G4B4, 2, false, false}, {D3DFMT_A8, 1, false, false},       {D3DFMT_L8, 1, false, false},
    {D3DFMT_A8L8, 2, false, false},     {D3DFMT_DXT1, 8, true, false},      {D3DFMT_DXT3, 16, true, false},
    {D3DFMT_DXT5, 16, true, false},
};

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

bool parseFvf(DWORD fvf, FvfLayout& layout) {
  layout = FvfLayout{};
  constexpr DWORD kKnown = D3DFVF_POSITION_MASK | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE | D3DFVF_SPECULAR |
                           D3DFVF_TEXCOUNT_MASK | 0xFFFF0000u;
  if ((fvf & ~kKnown) != 0) return false;
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
      layout.weightCount = 0;
      break;
    case D3DFVF_XYZB1:
      layout.weightCount = 1;
      break;
    case D3DFVF_XYZB2:
      layout.weightCount = 2;
      break;
    case D3DFVF_XYZB3:
      layout.weightCount = 3;
      break;
    case D3DFVF_XYZB4:
      layout.weightCount = 4;
      break;
    default:
      return false;  // pre-transformed or W positions, or none
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
