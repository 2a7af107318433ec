// Region data reader: never reads out of bounds, and what it accepts (with a consistent bounding
// rectangle) writes back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "region.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  std::string error;
  auto decoded = assetgen::decodeRegionData(bytes, &error);
  if (!decoded) return 0;
  if (decoded->rects.size() != decoded->count) std::abort();
  if (decoded->bound == assetgen::boundingRect(decoded->rects) && assetgen::encodeRegionData(decoded->rects) != bytes) {
    std::abort();
  }
  return 0;
}
