// The generator's output against the committed resources and the resource script.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>

#include "generate.h"
#include "test_support.h"

namespace assetgen_test {

const std::map<std::string, std::vector<uint8_t>>& generated() {
  static const std::map<std::string, std::vector<uint8_t>> files = [] {
    std::vector<assetgen::GeneratedFile> list;
    std::string error;
    std::map<std::string, std::vector<uint8_t>> m;
    if (!assetgen::generateResources(list, &error)) {
      ADD_FAILURE() << error;
      return m;
    }
    for (auto& f : list) m[f.name] = std::move(f.bytes);
    return m;
  }();
  return files;
}

std::filesystem::path resourcesDir() { return std::filesystem::path("..") / ".." / "resources"; }

std::vector<uint8_t> readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string text(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}
uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
  return le16(b, at) | (static_cast<uint32_t>(le16(b, at + 2)) << 16);
}

namespace {

struct ScriptEntry {
  std::string name, type, file;
};

std::vector<ScriptEntry> scriptEntries() {
  std::ifstream in(resourcesDir() / "resources.rc");
  std::vector<ScriptEntry> entries;
  std::string line;
  const std::regex entry(R"(^\s*(\S+)\s+(\S+)\s+\"([^\"]+)\"\s*$)");
  while (std::getline(in, line)) {
    std::smatch m;
    if (std::regex_match(line, m, entry)) entries.push_back({m[1], m[2], m[3]});
  }
  return entries;
}

TEST(AssetgenOutput, CommittedResourcesAreExactlyWhatTheGeneratorMakes) {
  ASSERT_FALSE(generated().empty());
  for (const auto& [name, bytes] : generated()) {
    std::vector<uint8_t> committed = readFile(resourcesDir() / name);
    ASSERT_FALSE(committed.empty()) << name << " is not committed";
    EXPECT_EQ(committed.size(), bytes.size()) << name;
    EXPECT_TRUE(committed == bytes) << name << " differs from the generator's output; run assetgen resources/";
  }
}

TEST(AssetgenOutput, GenerationIsDeterministic) {
  std::vector<assetgen::GeneratedFile> again;
  std::string error;
  ASSERT_TRUE(assetgen::generateResources(again, &error)) << error;
  ASSERT_EQ(again.size(), generated().size());
  for (const auto& f : again) EXPECT_TRUE(f.bytes == generated().at(f.name)) << f.name;
}

TEST(AssetgenOutput, ScriptBindsEveryResourceUnderItsNameAndType) {
  const std::vector<ScriptEntry> entries = scriptEntries();
  std::map<std::string, ScriptEntry> byName;
  for (const auto& e : entries) {
    EXPECT_TRUE(byName.emplace(e.name, e).second) << "duplicate " << e.name;
  }
  const std::set<std::string> meshes = {"BUT_PREV.X", "BUT_PLAY.X", "BUT_STOP.X",   "BUT_NEXT.X",
                                        "BUT_INFO.X", "BUT_TOP.X",  "BUT_MIN.X",    "BUT_QUIT.X",
                                        "CREDZ.X",    "PLANES.X",   "TRAIN_CABS.X", "TRAIN_WHEELS.X"};
  const std::set<std::string> pictures = {"FINAL_BACK.JPG", "CREDZ.JPG",   "FINAL_LAYER.TGA", "SMOKE_1.TGA",
                                          "SMOKE_2.TGA",    "SMOKE_3.TGA", "SMOKE_4.TGA",     "SMOKE_5.TGA",
                                          "COAL_LOCO.BMP",  "WAGON_1.BMP", "WAGON_2.BMP",     "WAGON_3.BMP",
                                          "WAGON_4.BMP",    "WAGON_5.BMP", "WHEEL.BMP"};
  for (const auto& n : meshes) {
    ASSERT_TRUE(byName.count(n)) << n;
    EXPECT_EQ(byName[n].type, "X") << n;
    EXPECT_EQ(byName[n].file, n);
  }
  for (const auto& n : pictures) {
    ASSERT_TRUE(byName.count(n)) << n;
    EXPECT_EQ(byName[n].type, "RCDATA") << n;
    EXPECT_EQ(byName[n].file, n);
  }
  ASSERT_TRUE(byName.count("IDR_REGION"));
  EXPECT_EQ(byName["IDR_REGION"].type, "BINARY");
  EXPECT_EQ(byName["IDR_REGION"].file, "region.bin");
  ASSERT_TRUE(byName.count("IDI_KQDISK"));
  EXPECT_EQ(byName["IDI_KQDISK"].type, "ICON");
  // Every file the script names is one the generator makes, and the other way round.
  std::set<std::string> scripted;
  for (const auto& e : entries) scripted.insert(e.file);
  std::set<std::string> made;
  for (const auto& [name, bytes] : generated()) made.insert(name);
  EXPECT_EQ(scripted, made);
}

}  // namespace
}  // namespace assetgen_test
