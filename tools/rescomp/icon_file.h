// Splits an .ico file into the pieces a resource compiler stores: one RT_ICON resource per
// image (a slice of the file) and the RT_GROUP_ICON directory that lists them by identifier.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rescomp {

struct IconImage {
  uint32_t offset = 0;  // within the .ico file
  uint32_t size = 0;
};

struct IconSplit {
  std::vector<IconImage> images;
  // GRPICONDIR: 6-byte header, then one 14-byte entry per image whose last field is the
  // RT_ICON identifier (firstId, firstId + 1, ...).
  std::vector<unsigned char> groupDirectory;
};

// Fails with a reason (returned in `error`) for anything that is not a well-formed icon
// file: wrong header, no images, directory or image data outside the file, or identifiers
// that would pass 65535.
std::optional<IconSplit> splitIconFile(std::string_view file, uint16_t firstId, std::string& error);

}  // namespace rescomp
