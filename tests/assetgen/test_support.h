// Shared helpers of the assetgen tests: the generated files (made once per run), the committed
// ones, and small readers for the formats.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace assetgen_test {

// Every file the generator makes, by name (generated once, on first use).
const std::map<std::string, std::vector<uint8_t>>& generated();

std::filesystem::path resourcesDir();
std::vector<uint8_t> readFile(const std::filesystem::path& p);
std::string text(const std::vector<uint8_t>& bytes);

uint16_t le16(const std::vector<uint8_t>& b, size_t at);
uint32_t le32(const std::vector<uint8_t>& b, size_t at);

}  // namespace assetgen_test
