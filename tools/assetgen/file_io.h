// Writing generated files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace assetgen {

// Writes the bytes to the path; false (with a reason) when it cannot.
bool writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes, std::string* error);
bool writeFile(const std::filesystem::path& path, const std::string& text, std::string* error);

// Writes an 8-bit RGBA picture (rows top to bottom) as PNG, for previews.
bool writePng(const std::filesystem::path& path, int width, int height, const std::vector<uint8_t>& rgba,
              std::string* error);

}  // namespace assetgen
