// Window region data in the RGNDATA layout: a 32-byte header and rectangles in bands.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace assetgen {

struct RegionRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;   // exclusive
  int32_t bottom = 0;  // exclusive
  bool operator==(const RegionRect&) const = default;
};

// Turns a pixel mask into banded rectangles: runs of each row become rectangles, and
// consecutive rows with identical runs share one band, sorted by top, then left.
std::vector<RegionRect> bandRegion(int width, int height, const std::function<bool(int x, int y)>& inside);

// The union of the rectangles; all zero when there are none.
RegionRect boundingRect(const std::vector<RegionRect>& rects);

std::vector<uint8_t> encodeRegionData(const std::vector<RegionRect>& rects);

struct DecodedRegion {
  uint32_t headerSize = 0;
  uint32_t type = 0;
  uint32_t count = 0;
  uint32_t rectBytes = 0;
  RegionRect bound;
  std::vector<RegionRect> rects;
};

// Reads region data back; nullopt (with a reason) when the header and body disagree.
std::optional<DecodedRegion> decodeRegionData(const std::vector<uint8_t>& bytes, std::string* error);

// The window outline's region, from the shared mask.
std::vector<RegionRect> outlineRegion();

}  // namespace assetgen
