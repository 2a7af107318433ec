#include "image_fixtures.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace imagetest {

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "imagetest.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
  m_path = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

bool imageMagick(const std::string& arguments) {
  return std::system(("convert " + arguments + " 2>/dev/null").c_str()) == 0;
}

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

}  // namespace

std::vector<uint8_t> rle4Bmp(uint32_t width, uint32_t height, const std::vector<uint8_t>& indices) {
  std::vector<uint8_t> data;
  for (uint32_t fileRow = 0; fileRow < height; ++fileRow) {
    const uint8_t* row = indices.data() + (height - 1 - fileRow) * width;
    uint32_t x = 0;
    // Leading equal pixels as a run, the rest as one literal stretch.
    uint32_t run = 1;
    while (run < width && row[run] == row[0]) ++run;
    data.push_back(static_cast<uint8_t>(run));
    data.push_back(static_cast<uint8_t>(row[0] << 4 | row[0]));
    x = run;
    const uint32_t rest = width - x;
    if (rest >= 3) {
      data.push_back(0);
      data.push_back(static_cast<uint8_t>(rest));
      const size_t start = data.size();
      for (uint32_t i = 0; i < rest; i += 2)
        data.push_back(static_cast<uint8_t>(row[x + i] << 4 | (i + 1 < rest ? row[x + i + 1] : 0)));
      if ((data.size() - start) % 2) data.push_back(0);
    } else {
      for (uint32_t i = 0; i < rest; ++i) {
        data.push_back(1);
        data.push_back(static_cast<uint8_t>(row[x + i] << 4));
      }
    }
    data.push_back(0);
    data.push_back(fileRow + 1 == height ? 1 : 0);
  }
  std::vector<uint8_t> file = {'B', 'M'};
  const uint32_t offset = 14 + 40 + 16 * 4;
  put32(file, offset + static_cast<uint32_t>(data.size()));
  put32(file, 0);
  put32(file, offset);
  put32(file, 40);
  put32(file, width);
  put32(file, height);
  put16(file, 1);
  put16(file, 4);
  put32(file, 2);  // RLE4
  put32(file, static_cast<uint32_t>(data.size()));
  put32(file, 2835);
  put32(file, 2835);
  put32(file, 16);
  put32(file, 0);
  for (uint32_t i = 0; i < 16; ++i) put32(file, (i * 17) * 0x010101u);
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

std::vector<uint8_t> ddsFile(uint32_t fourCc, uint32_t width, uint32_t height, uint32_t depth, uint32_t levels,
                             uint32_t faces, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> file = {'D', 'D', 'S', ' '};
  put32(file, 124);
  put32(file, 0x1007 | 0x20000 | (depth > 1 ? 0x800000 : 0));  // caps, height, width, format, mip count, depth
  put32(file, height);
  put32(file, width);
  put32(file, 0);
  put32(file, depth);
  put32(file, levels);
  for (int i = 0; i < 11; ++i) put32(file, 0);
  put32(file, 32);  // pixel format
  if (fourCc != 0) {
    put32(file, 0x4);
    put32(file, fourCc);
    for (int i = 0; i < 5; ++i) put32(file, 0);
  } else {
    put32(file, 0x41);  // RGB with alpha
    put32(file, 0);
    put32(file, 32);
    put32(file, 0xFF0000);
    put32(file, 0xFF00);
    put32(file, 0xFF);
    put32(file, 0xFF000000u);
  }
  put32(file, 0x1000 | (levels > 1 ? 0x400008 : 0));
  put32(file, (faces > 1 ? 0x200 | (0xFC00u >> (6 - faces) & 0xFC00u) : 0) | (depth > 1 ? 0x200000 : 0));
  for (int i = 0; i < 3; ++i) put32(file, 0);
  file.insert(file.end(), payload.begin(), payload.end());
  return file;
}

}  // namespace imagetest
