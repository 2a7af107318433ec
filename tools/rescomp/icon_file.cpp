#include "icon_file.h"

namespace rescomp {
namespace {

constexpr size_t kIconDirSize = 6;
constexpr size_t kIconDirEntrySize = 16;
constexpr size_t kBitmapInfoHeaderSize = 40;

uint16_t le16(std::string_view s, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8));
}
uint32_t le32(std::string_view s, size_t at) {
  return static_cast<uint32_t>(le16(s, at)) | (static_cast<uint32_t>(le16(s, at + 2)) << 16);
}
void put16(std::vector<unsigned char>& out, uint16_t v) {
  out.push_back(static_cast<unsigned char>(v));
  out.push_back(static_cast<unsigned char>(v >> 8));
}
void put32(std::vector<unsigned char>& out, uint32_t v) {
  put16(out, static_cast<uint16_t>(v));
  put16(out, static_cast<uint16_t>(v >> 16));
}

}  // namespace

std::optional<IconSplit> splitIconFile(std::string_view file, uint16_t firstId, std::string& error) {
  if (file.size() < kIconDirSize) {
    error = "too short for an icon file";
    return std::nullopt;
  }
  if (le16(file, 0) != 0 || (le16(file, 2) != 1 && le16(file, 2) != 2)) {
    error = "not an icon file (bad header)";
    return std::nullopt;
  }
  if (le16(file, 2) == 2) {
    error = "a cursor file, not an icon file";
    return std::nullopt;
  }
  const size_t count = le16(file, 4);
  if (count == 0) {
    error = "icon file holds no images";
    return std::nullopt;
  }
  if (count > (file.size() - kIconDirSize) / kIconDirEntrySize) {
    error = "icon directory runs past the end of the file";
    return std::nullopt;
  }
  if (count - 1 > size_t{0xFFFF} - firstId) {
    error = "too many icon images: identifiers would pass 65535";
    return std::nullopt;
  }

  IconSplit split;
  put16(split.groupDirectory, 0);
  put16(split.groupDirectory, 1);
  put16(split.groupDirectory, static_cast<uint16_t>(count));
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = kIconDirSize + i * kIconDirEntrySize;
    const uint32_t bytes = le32(file, entry + 8);
    const uint32_t offset = le32(file, entry + 12);
    if (bytes == 0 || offset > file.size() || bytes > file.size() - offset) {
      error = "image " + std::to_string(i + 1) + " lies outside the icon file";
      return std::nullopt;
    }
    uint16_t planes = le16(file, entry + 4);
    uint16_t bitCount = le16(file, entry + 6);
    // Many icon files leave planes and depth at zero in the directory; the image's own
    // bitmap header is authoritative, as it is for the system's icon chooser. PNG images
    // have no such header and keep the directory's values.
    if (bytes >= kBitmapInfoHeaderSize && le32(file, offset) == kBitmapInfoHeaderSize) {
      planes = le16(file, offset + 12);
      bitCount = le16(file, offset + 14);
    }
    split.images.push_back({offset, bytes});
    split.groupDirectory.push_back(static_cast<unsigned char>(file[entry + 0]));  // width
    split.groupDirectory.push_back(static_cast<unsigned char>(file[entry + 1]));  // height
    split.groupDirectory.push_back(static_cast<unsigned char>(file[entry + 2]));  // colour count
    split.groupDirectory.push_back(0);                                            // reserved
    put16(split.groupDirectory, planes);
    put16(split.groupDirectory, bitCount);
    put32(split.groupDirectory, bytes);
    put16(split.groupDirectory, static_cast<uint16_t>(firstId + i));
  }
  return split;
}

}  // namespace rescomp
