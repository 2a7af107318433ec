// Where the elements of a flexible-vertex-format vertex lie.
#pragma once

#include <cstdint>
#include <optional>

#include <d3d9.h>

namespace d3dx {

struct FvfLayout {
  uint32_t size = 0;
  bool transformed = false;   // XYZRHW: screen positions
  uint32_t positionSize = 0;  // bytes of the position proper, blend weights not included
  uint32_t weightCount = 0;   // blend weights, right after x, y and z
  int32_t normal = -1;
  int32_t pointSize = -1;
  int32_t diffuse = -1;
  int32_t specular = -1;
  uint32_t texCount = 0;
  uint32_t texOffset[8] = {};
  uint32_t texFloats[8] = {};  // 1 to 4 coordinates per set
};

// Empty for formats without a position or with bits that mean nothing.
std::optional<FvfLayout> fvfLayout(DWORD fvf);

// Writes a vertex of format `to` from one of format `from`: the elements both formats hold
// are copied (as far as both have room: weights, texture coordinates), the rest is zero.
void copySharedElements(const FvfLayout& from, const BYTE* source, const FvfLayout& to, BYTE* destination);

}  // namespace d3dx
