#include "fvf_layout.h"

#include <algorithm>
#include <cstring>

#include <d3dx9mesh.h>

namespace d3dx {

std::optional<FvfLayout> fvfLayout(DWORD fvf) {
  constexpr DWORD kKnown = D3DFVF_POSITION_MASK | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE | D3DFVF_SPECULAR |
                           D3DFVF_TEXCOUNT_MASK | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR | 0xFFFF0000u;
  if ((fvf & ~kKnown) != 0) return std::nullopt;
  FvfLayout layout;
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
      layout.positionSize = 12;
      break;
    case D3DFVF_XYZRHW:
      layout.positionSize = 16;
      layout.transformed = true;
      break;
    case D3DFVF_XYZW:
      layout.positionSize = 16;
      break;
    case D3DFVF_XYZB1:
    case D3DFVF_XYZB2:
    case D3DFVF_XYZB3:
    case D3DFVF_XYZB4:
    case D3DFVF_XYZB5:
      layout.positionSize = 12;
      layout.weightCount = ((fvf & D3DFVF_POSITION_MASK) - D3DFVF_XYZRHW) / 2;
      break;
    default:
      return std::nullopt;
  }
  const bool lastBetaIndices = (fvf & (D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR)) != 0;
  if (lastBetaIndices && layout.weightCount == 0) return std::nullopt;
  uint32_t offset = layout.positionSize + 4 * layout.weightCount;
  auto place = [&offset](int32_t& element, uint32_t bytes) {
    element = static_cast<int32_t>(offset);
    offset += bytes;
  };
  if (fvf & D3DFVF_NORMAL) place(layout.normal, 12);
  if (fvf & D3DFVF_PSIZE) place(layout.pointSize, 4);
  if (fvf & D3DFVF_DIFFUSE) place(layout.diffuse, 4);
  if (fvf & D3DFVF_SPECULAR) place(layout.specular, 4);
  layout.texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (layout.texCount > 8) return std::nullopt;
  for (uint32_t i = 0; i < layout.texCount; ++i) {
    static constexpr uint32_t kFloatsBySizeCode[4] = {2, 3, 4, 1};
    layout.texFloats[i] = kFloatsBySizeCode[(fvf >> (16 + 2 * i)) & 3];
    layout.texOffset[i] = offset;
    offset += 4 * layout.texFloats[i];
  }
  layout.size = offset;
  return layout;
}

void copySharedElements(const FvfLayout& from, const BYTE* source, const FvfLayout& to, BYTE* destination) {
  std::memset(destination, 0, to.size);
  if (from.transformed == to.transformed) {
    std::memcpy(destination, source, std::min(from.positionSize, to.positionSize));
    // Weights follow x, y and z; only the untransformed three-float positions carry them.
    const uint32_t weights = std::min(from.weightCount, to.weightCount);
    std::memcpy(destination + to.positionSize, source + from.positionSize, 4 * weights);
  }
  auto element = [&](int32_t fromOffset, int32_t toOffset, uint32_t bytes) {
    if (fromOffset >= 0 && toOffset >= 0) std::memcpy(destination + toOffset, source + fromOffset, bytes);
  };
  element(from.normal, to.normal, 12);
  element(from.pointSize, to.pointSize, 4);
  element(from.diffuse, to.diffuse, 4);
  element(from.specular, to.specular, 4);
  for (uint32_t i = 0; i < std::min(from.texCount, to.texCount); ++i)
    std::memcpy(destination + to.texOffset[i], source + from.texOffset[i],
                4 * std::min(from.texFloats[i], to.texFloats[i]));
}

}  // namespace d3dx

extern "C" UINT WINAPI D3DXGetFVFVertexSize(DWORD fvf) {
  const auto layout = d3dx::fvfLayout(fvf);
  return layout ? layout->size : 0;
}
