// Files for the image tests: reading, ImageMagick runs in a scratch folder, and small
// pictures written byte by byte where ImageMagick cannot write them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imagetest {

std::vector<uint8_t> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

// A scratch folder, removed with everything in it when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string path(const std::string& name) const { return m_path + "/" + name; }

 private:
  std::string m_path;
};

// Runs `convert` with the arguments; false when it fails.
bool imageMagick(const std::string& arguments);

// A 4-bit RLE BMP of the given indices (rows top-down, width <= 16, 16-colour palette of
// grey levels i * 17) with runs, a literal stretch, a delta and the end-of-bitmap escape.
std::vector<uint8_t> rle4Bmp(uint32_t width, uint32_t height, const std::vector<uint8_t>& indices);

// A DDS file: `format` is a FourCC (DXT1 to DXT5) or 0 for uncompressed 32-bit A8R8G8B8;
// `faces` 2 to 6 make a cube map of that many faces, `depth` > 1 a volume; `levels` mip levels of `payload` bytes
// each taken in order from the supplied data.
std::vector<uint8_t> ddsFile(uint32_t fourCc, uint32_t width, uint32_t height, uint32_t depth, uint32_t levels,
                             uint32_t faces, const std::vector<uint8_t>& payload);

}  // namespace imagetest
