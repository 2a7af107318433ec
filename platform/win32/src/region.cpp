// Regions built from rectangle lists: the window outline is one. The data comes from the
// program's resources or from anywhere else, so it is checked completely before use.
#include <cstring>
#include <limits>

#include "gdi_internal.h"
#include "handle_table.h"

namespace win32 {
namespace {

constexpr size_t kHeaderSize = 32;
constexpr size_t kRectSize = 16;
// Far more than any outline needs; keeps a forged count from asking for gigabytes.
constexpr uint64_t kMaxRects = 1u << 20;

int32_t readLong(const unsigned char* p) {
  uint32_t v = uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
  int32_t s;
  std::memcpy(&s, &v, sizeof s);
  return s;
}

RECT readRect(const unsigned char* p) { return RECT{readLong(p), readLong(p + 4), readLong(p + 8), readLong(p + 12)}; }

bool isEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

}  // namespace

std::optional<RegionData> parseRegionData(const void* bytes, size_t size) {
  if (!bytes || size < kHeaderSize) return std::nullopt;
  const auto* p = static_cast<const unsigned char*>(bytes);
  const uint32_t headerSize = static_cast<uint32_t>(readLong(p));
  const uint32_t type = static_cast<uint32_t>(readLong(p + 4));
  const uint64_t count = static_cast<uint32_t>(readLong(p + 8));
  const uint64_t arraySize = static_cast<uint32_t>(readLong(p + 12));
  RegionData region;
  region.bound = readRect(p + 16);
  if (headerSize != kHeaderSize || type != RDH_RECTANGLES) return std::nullopt;
  if (count > kMaxRects || count * kRectSize != arraySize) return std::nullopt;
  if (arraySize > size - kHeaderSize) return std::nullopt;

  if (count == 0) {
    if (!isEmpty(region.bound)) return std::nullopt;
    region.bound = RECT{0, 0, 0, 0};
    return region;
  }
  region.rects.reserve(static_cast<size_t>(count));
  RECT unionBox{std::numeric_limits<LONG>::max(), std::numeric_limits<LONG>::max(), std::numeric_limits<LONG>::min(),
                std::numeric_limits<LONG>::min()};
  const unsigned char* cursor = p + kHeaderSize;
  for (uint64_t i = 0; i < count; ++i, cursor += kRectSize) {
    const RECT r = readRect(cursor);
    if (isEmpty(r)) return std::nullopt;
    if (r.left < region.bound.left || r.top < region.bound.top || r.right > region.bound.right ||
        r.bottom > region.bound.bottom)
      return std::nullopt;
    if (!region.rects.empty()) {
      const RECT& prev = region.rects.back();
      if (r.top == prev.top) {
        // Same band: same height, left to right, no overlap.
        if (r.bottom != prev.bottom || r.left < prev.right) return std::nullopt;
      } else if (r.top < prev.bottom) {
        // A new band must start below the previous one (which also orders the tops).
        return std::nullopt;
      }
    }
    unionBox.left = std::min(unionBox.left, r.left);
    unionBox.top = std::min(unionBox.top, r.top);
    unionBox.right = std::max(unionBox.right, r.right);
    unionBox.bottom = std::max(unionBox.bottom, r.bottom);
    region.rects.push_back(r);
  }
  if (unionBox.left != region.bound.left || unionBox.top != region.bound.top || unionBox.right != region.bound.right ||
      unionBox.bottom != region.bound.bottom)
    return std::nullopt;
  return region;
}

}  // namespace win32

using namespace win32;

extern "C" {

HRGN WINAPI ExtCreateRegion(const XFORM* transform, DWORD count, const RGNDATA* data) {
  // Only untransformed rectangle lists are used here; a transform is not supported.
  if (transform) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto parsed = parseRegionData(data, count);
  if (!parsed) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto region = std::make_shared<GdiObject>();
  region->kind = GdiKind::Region;
  region->rects = std::move(parsed->rects);
  region->bound = parsed->bound;
  return addGdiObject(std::move(region));
}

BOOL WINAPI PtInRegion(HRGN handle, int x, int y) {
  auto region = findGdiObject(handle);
  if (!region || region->kind != GdiKind::Region) return FALSE;
  for (const RECT& r : region->rects) {
    if (r.top > y) break;  // bands are sorted by top
    if (y < r.bottom && x >= r.left && x < r.right) return TRUE;
  }
  return FALSE;
}

int WINAPI GetRgnBox(HRGN handle, LPRECT rect) {
  auto region = findGdiObject(handle);
  if (!region || region->kind != GdiKind::Region || !rect) return ERROR;
  *rect = region->bound;
  if (region->rects.empty()) return NULLREGION;
  return region->rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

}  // extern "C"
