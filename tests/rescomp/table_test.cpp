// Tables built by kq_add_resource_table from data/test_script.rc, searched through the
// window layer's resource functions; and the tool's behaviour on a faulty script.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <win32_layer.h>

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string dataFile(const char* name) { return readFile(std::string(KQ_TEST_DATA_DIR) + "/" + name); }

// The resource's bytes, or nullopt when it is not found.
std::optional<std::string> lookup(LPCSTR name, LPCSTR type) {
  HRSRC resource = FindResourceA(nullptr, name, type);
  if (!resource) return std::nullopt;
  HGLOBAL loaded = LoadResource(nullptr, resource);
  const DWORD size = SizeofResource(nullptr, resource);
  const auto* bytes = static_cast<const char*>(LockResource(loaded));
  if (!bytes && size) return std::nullopt;
  return std::string(bytes ? bytes : "", size);
}

uint16_t le16(const std::string& s, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8));
}
uint32_t le32(const std::string& s, size_t at) { return le16(s, at) | (static_cast<uint32_t>(le16(s, at + 2)) << 16); }

TEST(ResourceTable, BytesMatchTheirFiles) {
  const std::string blob = dataFile("blob.bin");
  const std::string mesh = dataFile("mesh.x");
  ASSERT_EQ(blob.size(), 773u);

  EXPECT_EQ(lookup(MAKEINTRESOURCEA(101), "BINARY"), blob) << "identifier through a header's #define";
  EXPECT_EQ(lookup(MAKEINTRESOURCEA(102), "BINARY"), std::string()) << "an empty file is an empty resource";
  EXPECT_EQ(lookup("train_cabs.x", "x"), mesh) << "names and types match without regard to case";
  EXPECT_EQ(lookup("final_layer.tga", RT_RCDATA), blob);
  EXPECT_EQ(lookup(MAKEINTRESOURCEA(0x200), "custom type"), mesh);
  EXPECT_EQ(lookup("Quote\"Name\\Tail", RT_RCDATA), mesh) << "a name that needs escaping in the table";
}

TEST(ResourceTable, LookupsThatMustFail) {
  EXPECT_EQ(lookup("train_cabs.x", "BINARY"), std::nullopt) << "right name, other type";
  EXPECT_EQ(lookup("train_cabs", "X"), std::nullopt);
  EXPECT_EQ(lookup("BROKEN", "DIALOG"), std::nullopt) << "inside an inactive #ifdef block";
  EXPECT_EQ(lookup(MAKEINTRESOURCEA(103), "BINARY"), std::nullopt);
}

TEST(ResourceTable, EveryResourceIsAligned) {
  ASSERT_EQ(kEmbeddedResourceCount, 10u);  // six statements, the icon adding three images
  for (size_t i = 0; i < kEmbeddedResourceCount; ++i)
    EXPECT_EQ(reinterpret_cast<uintptr_t>(kEmbeddedResources[i].data) % 16, 0u) << i;
}

TEST(ResourceTable, IconGroupListsItsImages) {
  const std::string ico = dataFile("test.ico");
  const auto group = lookup(MAKEINTRESOURCEA(126), RT_GROUP_ICON);
  ASSERT_TRUE(group);
  ASSERT_EQ(group->size(), 6u + 3u * 14u);
  EXPECT_EQ(le16(*group, 2), 1);
  ASSERT_EQ(le16(*group, 4), 3);
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const size_t entry = 6 + 14 * i;
    const uint16_t id = le16(*group, entry + 12);
    EXPECT_EQ(id, i + 1);
    const auto image = lookup(MAKEINTRESOURCEA(id), RT_ICON);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), le32(*group, entry + 8));
    EXPECT_EQ(*image, ico.substr(le32(ico, 6 + 16 * i + 12), le32(ico, 6 + 16 * i + 8)));
    EXPECT_EQ(group->at(entry), ico[6 + 16 * i]) << "width";
  }
  EXPECT_EQ(le16(*group, 6 + 6), 8) << "depth from the first image's bitmap header";
}

TEST(ResourceTable, DepfileNamesEveryInput) {
  const std::string depfile = readFile(KQ_TEST_DEPFILE);
  for (const char* name : {"test_script.rc", "test_ids.h", "blob.bin", "empty.bin", "mesh.x", "test.ico"})
    EXPECT_NE(depfile.find(std::string(KQ_TEST_DATA_DIR) + "/" + name), std::string::npos) << name;
}

// Runs the tool through the shell; returns its exit code and fills `output` (both streams).
int runTool(const std::string& arguments, std::string& output) {
  FILE* pipe = popen((std::string(KQ_RESCOMP_PATH) + " " + arguments + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buffer[512];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(RescompTool, FaultyScriptFailsWithPlaceAndWritesNothing) {
  const std::string out = std::string(KQ_TEST_OUTPUT_DIR) + "/faulty";
  for (const char* ext : {".s", ".cpp", ".d"}) std::filesystem::remove(out + ext);
  std::string output;
  const int code = runTool(
      "--asm " + out + ".s --table " + out + ".cpp --depfile " + out + ".d " + KQ_TEST_DATA_DIR + "/bad_script.rc",
      output);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(output, std::string(KQ_TEST_DATA_DIR) + "/bad_script.rc:4: error: cannot find file 'no_such_file.bin'\n");
  for (const char* ext : {".s", ".cpp", ".d"}) EXPECT_FALSE(std::filesystem::exists(out + ext)) << ext;

  output.clear();
  EXPECT_EQ(runTool("--asm " + out + ".s " + KQ_TEST_DATA_DIR + "/test_script.rc", output), 2) << "no --table";
  EXPECT_NE(output.find("usage: rescomp"), std::string::npos);
}

}  // namespace
