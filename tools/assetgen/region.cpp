#include "region.h"

#include <algorithm>

#include "byte_writer.h"
#include "outline.h"

namespace assetgen {

std::vector<RegionRect> bandRegion(int width, int height, const std::function<bool(int x, int y)>& inside) {
  std::vector<RegionRect> rects;
  std::vector<std::pair<int, int>> previousRuns;
  size_t bandStart = 0;  // index of the first rectangle of the open band
  for (int y = 0; y < height; ++y) {
    std::vector<std::pair<int, int>> runs;
    for (int x = 0; x < width;) {
      if (!inside(x, y)) {
        ++x;
        continue;
      }
      int start = x;
      while (x < width && inside(x, y)) ++x;
      runs.emplace_back(start, x);
    }
    if (!runs.empty() && runs == previousRuns && rects.size() > bandStart && rects.back().bottom == y) {
      for (size_t i = bandStart; i < rects.size(); ++i) rects[i].bottom = y + 1;
    } else {
      bandStart = rects.size();
      for (auto [l, r] : runs) rects.push_back({l, y, r, y + 1});
    }
    previousRuns = std::move(runs);
  }
  return rects;
}

RegionRect boundingRect(const std::vector<RegionRect>& rects) {
  if (rects.empty()) return {};
  RegionRect b = rects.front();
  for (const RegionRect& r : rects) {
    b.left = std::min(b.left, r.left);
    b.top = std::min(b.top, r.top);
    b.right = std::max(b.right, r.right);
    b.bottom = std::max(b.bottom, r.bottom);
  }
  return b;
}

std::vector<uint8_t> encodeRegionData(const std::vector<RegionRect>& rects) {
  ByteWriter w;
  RegionRect bound = boundingRect(rects);
  w.u32(32);
  w.u32(1);  // RDH_RECTANGLES
  w.u32(static_cast<uint32_t>(rects.size()));
  w.u32(static_cast<uint32_t>(rects.size() * 16));
  auto put = [&](const RegionRect& r) {
    w.i32(r.left);
    w.i32(r.top);
    w.i32(r.right);
    w.i32(r.bottom);
  };
  put(bound);
  for (const RegionRect& r : rects) put(r);
  return w.take();
}

std::optional<DecodedRegion> decodeRegionData(const std::vector<uint8_t>& bytes, std::string* error) {
  auto fail = [&](const char* why) -> std::optional<DecodedRegion> {
    if (error) *error = why;
    return std::nullopt;
  };
  ByteReader r(bytes);
  DecodedRegion d;
  if (!r.u32(d.headerSize) || !r.u32(d.type) || !r.u32(d.count) || !r.u32(d.rectBytes)) {
    return fail("region data shorter than its header");
  }
  auto readRect = [&](RegionRect& rc) {
    return r.i32(rc.left) && r.i32(rc.top) && r.i32(rc.right) && r.i32(rc.bottom);
  };
  if (!readRect(d.bound)) return fail("region data shorter than its header");
  if (d.headerSize != 32 || d.type != 1) return fail("unexpected header size or type");
  if (d.rectBytes / 16 != d.count || d.rectBytes % 16 != 0) return fail("rectangle count and size disagree");
  if (r.remaining() != d.rectBytes) return fail("body length differs from the header's size");
  d.rects.resize(d.count);
  for (RegionRect& rc : d.rects) {
    if (!readRect(rc)) return fail("truncated rectangle");
  }
  return d;
}

std::vector<RegionRect> outlineRegion() {
  const std::vector<uint8_t> coverage = outlineCoverageMap();
  return bandRegion(kWindowSize, kWindowSize,
                    [&](int x, int y) { return coverageInside(coverage[static_cast<size_t>(y) * kWindowSize + x]); });
}

}  // namespace assetgen
