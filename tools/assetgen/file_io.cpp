#include "file_io.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace assetgen {
namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

bool writeBytes(const std::filesystem::path& path, const void* data, size_t size, std::string* error) {
  FilePtr f(std::fopen(path.c_str(), "wb"));
  if (!f) {
    if (error) *error = path.string() + ": " + std::strerror(errno);
    return false;
  }
  if (size != 0 && std::fwrite(data, 1, size, f.get()) != size) {
    if (error) *error = path.string() + ": write failed";
    return false;
  }
  if (std::fclose(f.release()) != 0) {
    if (error) *error = path.string() + ": close failed";
    return false;
  }
  return true;
}

}  // namespace

bool writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes, std::string* error) {
  return writeBytes(path, bytes.data(), bytes.size(), error);
}

bool writeFile(const std::filesystem::path& path, const std::string& text, std::string* error) {
  return writeBytes(path, text.data(), text.size(), error);
}

bool writePng(const std::filesystem::path& path, int width, int height, const std::vector<uint8_t>& rgba,
              std::string* error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGBA;
  if (!png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr)) {
    if (error) *error = path.string() + ": " + image.message;
    return false;
  }
  return true;
}

}  // namespace assetgen
