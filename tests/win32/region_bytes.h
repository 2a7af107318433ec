// Builds RGNDATA bytes, little-endian, with any header the test wants.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

struct RegionBytes {
  DWORD headerSize = 32;
  DWORD type = RDH_RECTANGLES;
  DWORD count = 0;
  DWORD arraySize = 0;
  RECT bound{};
  std::vector<RECT> rects;

  // Header fields follow the rectangles unless a test overrides them afterwards.
  static RegionBytes of(std::vector<RECT> rects) {
    RegionBytes r;
    r.rects = std::move(rects);
    r.count = static_cast<DWORD>(r.rects.size());
    r.arraySize = r.count * 16;
    if (!r.rects.empty()) {
      r.bound = r.rects.front();
      for (const RECT& x : r.rects) {
        r.bound.left = std::min(r.bound.left, x.left);
        r.bound.top = std::min(r.bound.top, x.top);
        r.bound.right = std::max(r.bound.right, x.right);
        r.bound.bottom = std::max(r.bound.bottom, x.bottom);
      }
    }
    return r;
  }

  std::vector<unsigned char> bytes() const {
    std::vector<unsigned char> out;
    auto put = [&out](int32_t v) {
      for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
    };
    put(static_cast<int32_t>(headerSize));
    put(static_cast<int32_t>(type));
    put(static_cast<int32_t>(count));
    put(static_cast<int32_t>(arraySize));
    for (LONG v : {bound.left, bound.top, bound.right, bound.bottom}) put(v);
    for (const RECT& r : rects)
      for (LONG v : {r.left, r.top, r.right, r.bottom}) put(v);
    return out;
  }
};

inline HRGN makeRegion(const std::vector<unsigned char>& bytes) {
  return ExtCreateRegion(nullptr, static_cast<DWORD>(bytes.size()), reinterpret_cast<const RGNDATA*>(bytes.data()));
}
