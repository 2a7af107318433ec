// The program's twelve meshes in every form the reader takes, the built-in template blocks,
// damaged binary and compressed data, and files written by an independent tool.
#include <gtest/gtest.h>
#include <rmxftmpl.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "generate.h"
#include "xfile_test_support.h"

namespace xfile_test {
namespace {

using assetgen::XFormat;

const char* const kMeshNames[] = {"BUT_PREV.X", "BUT_PLAY.X", "BUT_STOP.X",   "BUT_NEXT.X",
                                  "BUT_INFO.X", "BUT_TOP.X",  "BUT_MIN.X",    "BUT_QUIT.X",
                                  "CREDZ.X",    "PLANES.X",   "TRAIN_CABS.X", "TRAIN_WHEELS.X"};

std::vector<assetgen::GeneratedFile> meshesIn(XFormat format) {
  std::vector<assetgen::GeneratedFile> files;
  assetgen::generateMeshes(format, files);
  return files;
}

ComPtr<ID3DXFile> fileWithBuiltIns() {
  ComPtr<ID3DXFile> file;
  D3DXFileCreate(file.receive());
  EXPECT_EQ(file->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES), S_OK);
  EXPECT_EQ(file->RegisterTemplates(XSKINEXP_TEMPLATES, std::strlen(XSKINEXP_TEMPLATES)), S_OK);
  EXPECT_EQ(file->RegisterTemplates(XEXTENSIONS_TEMPLATES, std::strlen(XEXTENSIONS_TEMPLATES)), S_OK);
  return file;
}

TEST(EmbeddedMeshes, EveryFormGivesTheSameTree) {
  ComPtr<ID3DXFile> file = fileWithBuiltIns();
  std::map<std::string, std::string> trees;
  for (const char* name : kMeshNames) {
    D3DXF_FILELOADRESOURCE res{nullptr, name, "X"};
    ComPtr<ID3DXFileEnumObject> e;
    ASSERT_EQ(file->CreateEnumObject(&res, D3DXF_FILELOAD_FROMRESOURCE, e.receive()), S_OK) << name;
    trees[name] = describe(e.get());
  }
  for (XFormat format : {XFormat::kBinary, XFormat::kCompressedText, XFormat::kCompressedBinary}) {
    for (const assetgen::GeneratedFile& f : meshesIn(format)) {
      ComPtr<ID3DXFileEnumObject> e;
      ASSERT_EQ(openMemory(file.get(), f.bytes.data(), f.bytes.size(), e), S_OK) << f.name;
      EXPECT_EQ(describe(e.get()), trees[f.name]) << f.name << " in form " << static_cast<int>(format);
    }
  }
  // What the hierarchy loader will walk: the wheels' Header, 24 frames and the animation set.
  D3DXF_FILELOADRESOURCE wheels{nullptr, "train_wheels.x", "X"};
  ComPtr<ID3DXFileEnumObject> e;
  ASSERT_EQ(file->CreateEnumObject(&wheels, D3DXF_FILELOAD_FROMRESOURCE, e.receive()), S_OK);
  SIZE_T n = 0;
  e->GetChildren(&n);
  ASSERT_EQ(n, 26u);
  auto frame = topLevel(e.get(), 1);
  EXPECT_EQ(nameOf(frame.get()), "wheel0");
  EXPECT_EQ(packed(child(frame.get(), 0).get()).size(), 64u);
  auto set = topLevel(e.get(), 25);
  set->GetChildren(&n);
  EXPECT_EQ(n, 24u);
  auto animation = child(set.get(), 23);
  auto target = child(animation.get(), 0);
  EXPECT_TRUE(target->IsReference());
  EXPECT_EQ(nameOf(target.get()), "wheel23");
  // Rotation keys: type, count, then per key time, 4 and four floats.
  EXPECT_EQ(packed(child(animation.get(), 1).get()).size(), 8u + 3 * 24);
}

TEST(BuiltInTemplates, BlocksRegisterAndGovernFilesWithoutDeclarations) {
  // The committed block is what the writer makes from the published declarations.
  const std::vector<uint8_t> block = assetgen::standardTemplates();
  EXPECT_EQ(std::vector<uint8_t>(D3DRM_XTEMPLATES, D3DRM_XTEMPLATES + D3DRM_XTEMPLATE_BYTES), block);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(D3DRM_XTEMPLATES), 16), "xof 0302bin 0064");

  ComPtr<ID3DXFile> file = fileWithBuiltIns();
  ComPtr<ID3DXFileEnumObject> e;
  ASSERT_EQ(openText(file.get(),
                     "xof 0303txt 0032\nBoolean { 1; }\nMeshFaceWraps { 2; 1;0;, 0;1;; }\n"
                     "AnimTicksPerSecond { 4800; }\nPMInfo { 0;; 3; 0; 0; 0;; 0;; }\n"
                     "SkinWeights { \"bone\"; 1; 7; 0.5; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }\n",
                     e),
            S_OK);
  SIZE_T n = 0;
  e->GetChildren(&n);
  ASSERT_EQ(n, 5u);
  EXPECT_EQ(packed(topLevel(e.get(), 0).get()), (std::vector<uint8_t>{1, 0, 0, 0}));  // DWORD truefalse
  EXPECT_EQ(packed(topLevel(e.get(), 1).get()).size(), 4u + 2 * 8);
  GUID type{};
  topLevel(e.get(), 2)->GetType(&type);
  EXPECT_EQ(type.Data1, 0x9E415A43u);
  EXPECT_EQ(packed(topLevel(e.get(), 4).get()).size(), 5u + 4 + 4 + 4 + 64);

  // Templates a file declared can be registered for later files.
  ComPtr<ID3DXFile> bare;
  D3DXFileCreate(bare.receive());
  ComPtr<ID3DXFileEnumObject> declared;
  ASSERT_EQ(openText(bare.get(), "xof 0302txt 0032\ntemplate T { <00000000-0000-0000-0000-000000000001> DWORD a; }",
                     declared),
            S_OK);
  EXPECT_EQ(openText(bare.get(), "xof 0302txt 0032\nT { 1; }", e), S_OK);
  e->GetChildren(&n);
  EXPECT_EQ(n, 0u);  // unknown yet: dropped
  ASSERT_EQ(bare->RegisterEnumTemplates(declared.get()), S_OK);
  ASSERT_EQ(openText(bare.get(), "xof 0302txt 0032\nT { 1; }", e), S_OK);
  e->GetChildren(&n);
  EXPECT_EQ(n, 1u);
}

TEST(DamagedData, EveryTruncationAndCorruptionFailsCleanly) {
  ComPtr<ID3DXFile> file = fileWithBuiltIns();
  for (XFormat format : {XFormat::kBinary, XFormat::kCompressedBinary, XFormat::kCompressedText}) {
    const std::vector<uint8_t> bytes = meshesIn(format)[1].bytes;  // a button
    ComPtr<ID3DXFileEnumObject> e;
    ASSERT_EQ(openMemory(file.get(), bytes.data(), bytes.size(), e), S_OK);
    for (size_t n = 16; n < bytes.size(); n += (format == XFormat::kBinary ? 1 : 7)) {
      const HRESULT hr = openMemory(file.get(), bytes.data(), n, e);
      // Cutting a binary file between two objects leaves a shorter valid file.
      if (hr == S_OK && format == XFormat::kBinary) continue;
      EXPECT_EQ(hr, D3DXFERR_PARSEERROR) << "form " << static_cast<int>(format) << ", " << n << " bytes";
      EXPECT_FALSE(e);
    }
    for (size_t at = 20; at < bytes.size(); at += 13) {
      std::vector<uint8_t> damaged = bytes;
      damaged[at] ^= 0x5A;
      // Raw deflate has no checksum, so some damage reads as other valid data.
      const HRESULT hr = openMemory(file.get(), damaged.data(), damaged.size(), e);
      EXPECT_TRUE(hr == S_OK || hr == D3DXFERR_PARSEERROR || hr == D3DXFERR_BADDATAREFERENCE) << at;
    }
    if (format == XFormat::kBinary) continue;
    // The block frame: a size over 32768, a wrong signature, a block that inflates short.
    for (auto [at, value] : {std::pair<size_t, uint8_t>{21, 0x90}, {24, 'X'}, {20, 0x00}}) {
      std::vector<uint8_t> damaged = bytes;
      damaged[at] = value;
      EXPECT_EQ(openMemory(file.get(), damaged.data(), damaged.size(), e), D3DXFERR_PARSEERROR) << at;
    }
  }
  // A float list whose count runs past the data.
  std::vector<uint8_t> bin = {'x', 'o', 'f', ' ', '0', '3', '0', '2', 'b', 'i', 'n', ' ', '0', '0', '3', '2'};
  for (uint16_t t : {uint16_t{1}}) append(bin, t);
  append<uint32_t>(bin, 6);
  for (char c : std::string("Vector")) bin.push_back(static_cast<uint8_t>(c));
  append<uint16_t>(bin, 10);
  append<uint16_t>(bin, 7);
  append<uint32_t>(bin, 0x40000000);
  append(bin, 1.0f);
  ComPtr<ID3DXFileEnumObject> e;
  EXPECT_EQ(openMemory(file.get(), bin.data(), bin.size(), e), D3DXFERR_PARSEERROR);
}

#ifdef KQ_ASSIMP
std::string run(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>&1").c_str(), "r"), pclose);
  std::string out;
  char buf[512];
  while (pipe && std::fgets(buf, sizeof buf, pipe.get())) out += buf;
  return out;
}

// Files that assimp wrote from scenes of its own reading: a quad from an OBJ file and the
// wheels read from our binary form.
TEST(IndependentFiles, ExportsOfAnotherToolAreRead) {
  const auto dir = std::filesystem::temp_directory_path() / ("xfile_assimp_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "quad.obj") << "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n";
  {
    const std::vector<uint8_t> wheels = meshesIn(XFormat::kBinary).back().bytes;
    std::ofstream(dir / "wheels.x", std::ios::binary)
        .write(reinterpret_cast<const char*>(wheels.data()), wheels.size());
  }
  ComPtr<ID3DXFile> file = fileWithBuiltIns();
  for (const char* source : {"quad.obj", "wheels.x"}) {
    const std::string out = (dir / (std::string(source) + ".out.x")).string();
    run(std::string(KQ_ASSIMP) + " export '" + (dir / source).string() + "' '" + out + "' -fx");
    ComPtr<ID3DXFileEnumObject> e;
    ASSERT_EQ(file->CreateEnumObject(out.c_str(), D3DXF_FILELOAD_FROMFILE, e.receive()), S_OK) << source;
    ComPtr<ID3DXFileData> root;
    ASSERT_EQ(e->GetChild(0, root.receive()), S_OK);
    // Find the first Mesh anywhere below and check its vertex count.
    std::vector<ComPtr<ID3DXFileData>> stack{root};
    uint32_t vertices = 0;
    int meshes = 0;
    while (!stack.empty()) {
      ComPtr<ID3DXFileData> d = stack.back();
      stack.pop_back();
      GUID type{};
      d->GetType(&type);
      if (type.Data1 == 0x3D82AB44u) {
        const std::vector<uint8_t> data = packed(d.get());
        ASSERT_GE(data.size(), 4u);
        std::memcpy(&vertices, data.data(), 4);
        ++meshes;
      }
      SIZE_T n = 0;
      d->GetChildren(&n);
      for (SIZE_T i = 0; i < n; ++i) stack.push_back(child(d.get(), i));
    }
    if (std::string(source) == "quad.obj") {
      EXPECT_EQ(meshes, 1);
      EXPECT_EQ(vertices, 4u);
    } else {
      EXPECT_EQ(meshes, 24);
    }
  }
  std::filesystem::remove_all(dir);
}
#endif

}  // namespace
}  // namespace xfile_test
