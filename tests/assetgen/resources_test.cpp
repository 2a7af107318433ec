// Formats of the generated pictures and meshes, read back independently of the writers.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <regex>

#include "art.h"
#include "canvas.h"
#include "generate.h"
#include "test_support.h"
#include "text.h"

namespace assetgen_test {
namespace {

const std::vector<uint8_t>& file(const std::string& name) {
  auto it = generated().find(name);
  if (it == generated().end()) {
    static const std::vector<uint8_t> empty;
    ADD_FAILURE() << name << " was not generated";
    return empty;
  }
  return it->second;
}

void expectBmp(const std::string& name, int size) {
  SCOPED_TRACE(name);
  const auto& b = file(name);
  ASSERT_GE(b.size(), 54u);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(le32(b, 2), b.size());
  EXPECT_EQ(le32(b, 10), 54u);
  EXPECT_EQ(le32(b, 14), 40u);
  EXPECT_EQ(static_cast<int32_t>(le32(b, 18)), size);
  EXPECT_EQ(static_cast<int32_t>(le32(b, 22)), size);  // positive: bottom-up
  EXPECT_EQ(le16(b, 26), 1);
  EXPECT_EQ(le16(b, 28), 24);
  EXPECT_EQ(le32(b, 30), 0u);
  EXPECT_EQ(le32(b, 38), 2834u);
  EXPECT_EQ(le32(b, 42), 2834u);
  EXPECT_EQ(b.size(), 54u + static_cast<size_t>(size) * size * 3);
}

void expectTga(const std::string& name, int size) {
  SCOPED_TRACE(name);
  const auto& b = file(name);
  ASSERT_EQ(b.size(), 18u + static_cast<size_t>(size) * size * 4 + 26u);
  EXPECT_EQ(b[0], 0);  // no image ID
  EXPECT_EQ(b[1], 0);  // no colour map
  EXPECT_EQ(b[2], 2);  // uncompressed true colour
  EXPECT_EQ(le16(b, 12), size);
  EXPECT_EQ(le16(b, 14), size);
  EXPECT_EQ(b[16], 32);
  EXPECT_EQ(b[17], 8);  // 8 alpha bits, bottom-up, left to right
  EXPECT_EQ(text({b.end() - 18, b.end()}), std::string("TRUEVISION-XFILE.") + '\0');
}

// Walks the JPEG markers up to the first scan.
void expectJpeg(const std::string& name) {
  SCOPED_TRACE(name);
  const auto& b = file(name);
  ASSERT_GT(b.size(), 4u);
  ASSERT_EQ(b[0], 0xFF);
  ASSERT_EQ(b[1], 0xD8);
  bool jfif = false, adobe = false, sof0 = false, restart = false;
  size_t at = 2;
  while (at + 4 <= b.size()) {
    ASSERT_EQ(b[at], 0xFF);
    uint8_t marker = b[at + 1];
    size_t len = (b[at + 2] << 8) | b[at + 3];
    ASSERT_LE(at + 2 + len, b.size());
    const uint8_t* seg = &b[at + 4];
    if (marker == 0xE0 && std::string(seg, seg + 5) == std::string("JFIF\0", 5)) {
      jfif = true;
      EXPECT_EQ(seg[5], 1);
      EXPECT_EQ(seg[6], 2);
    } else if (marker == 0xEE && std::string(seg, seg + 5) == "Adobe") {
      adobe = true;
    } else if (marker == 0xC0) {
      sof0 = true;
      EXPECT_EQ(seg[0], 8);
      EXPECT_EQ((seg[1] << 8) | seg[2], 512);
      EXPECT_EQ((seg[3] << 8) | seg[4], 512);
      ASSERT_EQ(seg[5], 3);
      for (int c = 0; c < 3; ++c) EXPECT_EQ(seg[6 + c * 3 + 1], 0x11) << "component " << c << " is subsampled";
    } else if (marker == 0xC1 || marker == 0xC2) {
      FAIL() << "not a baseline JPEG";
    } else if (marker == 0xDD) {
      restart = true;
      EXPECT_EQ((seg[0] << 8) | seg[1], 64);
    } else if (marker == 0xDA) {
      break;
    }
    at += 2 + len;
  }
  EXPECT_TRUE(jfif);
  EXPECT_TRUE(adobe);
  EXPECT_TRUE(sof0);
  EXPECT_TRUE(restart);
  EXPECT_EQ(b[b.size() - 2], 0xFF);
  EXPECT_EQ(b[b.size() - 1], 0xD9);
}

TEST(AssetgenPictures, FormatsAndSizes) {
  expectBmp("COAL_LOCO.BMP", 256);
  for (int k = 1; k <= 5; ++k) expectBmp("WAGON_" + std::to_string(k) + ".BMP", 256);
  expectBmp("WHEEL.BMP", 64);
  expectTga("FINAL_LAYER.TGA", 512);
  for (int k = 1; k <= 5; ++k) expectTga("SMOKE_" + std::to_string(k) + ".TGA", 64);
  expectJpeg("FINAL_BACK.JPG");
  expectJpeg("CREDZ.JPG");
}

TEST(AssetgenPictures, WagonsCarryTheCaptionRedInTheirUpperHalf) {
  // The caption paints RGB(151, 39, 39) into the wagons' 5-6-5 textures: each channel keeps its
  // top bits, and reads back with them repeated into the low ones.
  const auto expand = [](int value, int bits) {
    const int kept = value >> (8 - bits);
    return (kept << (8 - bits)) | (kept >> (2 * bits - 8));
  };
  const int red = expand(151, 5), green = expand(39, 6), blue = expand(39, 5);
  for (int k = 1; k <= 5; ++k) {
    const auto& b = file("WAGON_" + std::to_string(k) + ".BMP");
    ASSERT_EQ(b.size(), 54u + 256u * 256u * 3u);
    // Bottom-up rows: the picture's upper half is the file's second half.
    for (int row = 0; row < 128; ++row) {
      size_t fileRow = 255 - row;
      for (int x = 0; x < 256; ++x) {
        const uint8_t* p = &b[54 + (fileRow * 256 + x) * 3];
        ASSERT_TRUE(p[2] == red && p[1] == green && p[0] == blue) << "WAGON_" << k << " at " << x << "," << row;
      }
    }
  }
}

// The credits are seen through the plaque's opening (window x 46 to 468, y 165 to 337) with the
// icicles hanging into its top: the lettering must keep clear of both, fill the opening down to
// its lower part, and sit centred.
TEST(AssetgenPictures, CreditsLetteringFillsTheOpeningInsideItsEdges) {
  assetgen::TextRenderer text;
  ASSERT_TRUE(text.ok()) << text.error();
  const assetgen::Canvas credits = assetgen::paintCredits(text);
  ASSERT_EQ(credits.width(), 512);
  ASSERT_EQ(credits.height(), 512);
  // Gold and cream letters are far brighter in red than the night-blue sky and its snowflakes.
  int left = 512, right = -1, top = 512, bottom = -1, lettering = 0, lower = 0;
  for (int y = 0; y < 512; ++y) {
    for (int x = 0; x < 512; ++x) {
      if (credits.at(x, y).r < 0.45) continue;
      ++lettering;
      if (y >= 290) ++lower;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  ASSERT_GT(lettering, 2000) << "no lettering found";
  EXPECT_GE(top, 176) << "the icicles would hide the title";
  EXPECT_LE(bottom, 335);
  EXPECT_GE(left, 56);
  EXPECT_LE(right, 458);
  EXPECT_NEAR((left + right) / 2.0, 257.0, 12.0) << "the lines are centred on the opening";
  EXPECT_GT(lower, lettering / 5) << "the lower part of the opening is left empty";
}

// The puffs must show over the pale snow field (luminance about 225) as well as the night sky:
// a mid grey where dense, never so dark that they read as soot.
TEST(AssetgenPictures, SmokeIsGreyAndFadesOutAtTheEdges) {
  for (int k = 1; k <= 5; ++k) {
    SCOPED_TRACE("SMOKE_" + std::to_string(k));
    const auto& b = file("SMOKE_" + std::to_string(k) + ".TGA");
    ASSERT_EQ(b.size(), 18u + 64u * 64u * 4u + 26u);
    int opaque = 0;
    double luminanceSum = 0, darkest = 255;
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 64; ++x) {
        const uint8_t* p = &b[18 + (y * 64 + x) * 4];
        bool border = x == 0 || y == 0 || x == 63 || y == 63;
        if (border) {
          EXPECT_EQ(p[3], 0) << x << "," << y;
        }
        if (p[3] <= 128) continue;
        ++opaque;
        const double luminance = 0.299 * p[2] + 0.587 * p[1] + 0.114 * p[0];
        luminanceSum += luminance;
        darkest = std::min(darkest, luminance);
      }
    }
    ASSERT_GT(opaque, 200) << "too thin to see";
    EXPECT_LT(luminanceSum / opaque, 200) << "too white to show over the snow";
    EXPECT_GT(luminanceSum / opaque, 140) << "too dark to show over the night sky";
    EXPECT_GT(darkest, 80) << "reads as soot";
  }
}

TEST(AssetgenPictures, IconHasTheTenImagesAsDibsWithMasks) {
  const auto& b = file("kqdisk.ico");
  ASSERT_GE(b.size(), 6u + 160u);
  EXPECT_EQ(le16(b, 0), 0);
  EXPECT_EQ(le16(b, 2), 1);
  ASSERT_EQ(le16(b, 4), 10);
  const std::array<std::pair<int, int>, 10> expected = {
      {{128, 32}, {32, 32}, {16, 8}, {16, 24}, {16, 32}, {32, 8}, {32, 24}, {48, 8}, {48, 24}, {48, 32}}};
  for (int i = 0; i < 10; ++i) {
    SCOPED_TRACE(i);
    size_t e = 6 + 16 * i;
    auto [size, bits] = expected[i];
    EXPECT_EQ(b[e], size == 256 ? 0 : size);
    EXPECT_EQ(b[e + 1], size);
    EXPECT_EQ(le16(b, e + 6), bits);
    uint32_t bytes = le32(b, e + 8), offset = le32(b, e + 12);
    ASSERT_LE(static_cast<size_t>(offset) + bytes, b.size());
    EXPECT_EQ(le32(b, offset), 40u);
    EXPECT_EQ(static_cast<int32_t>(le32(b, offset + 4)), size);
    EXPECT_EQ(static_cast<int32_t>(le32(b, offset + 8)), 2 * size);
    EXPECT_EQ(le16(b, offset + 14), bits);
    size_t xorRow = ((size * bits / 8) + 3) & ~3u, andRow = ((size + 31) / 32) * 4;
    size_t palette = bits == 8 ? 1024 : 0;
    EXPECT_EQ(bytes, 40 + palette + (xorRow + andRow) * size);
  }
}

struct XFileFacts {
  std::string header;
  int templates = 0;
  std::vector<std::string> textures;  // TextureFilename strings in file order
  int frames = 0, animations = 0, animationSets = 0;
};

XFileFacts readX(const std::string& name) {
  XFileFacts f;
  const std::string s = text(file(name));
  f.header = s.substr(0, 16);
  const std::regex tmpl(R"(\ntemplate \w+ \{)"), tex("TextureFilename \\{\\s*\"([^\"]*)\";");
  f.templates = static_cast<int>(std::distance(std::sregex_iterator(s.begin(), s.end(), tmpl), std::sregex_iterator()));
  for (auto it = std::sregex_iterator(s.begin(), s.end(), tex); it != std::sregex_iterator(); ++it) {
    f.textures.push_back((*it)[1]);
  }
  const std::regex frame(R"(\n\s*Frame \w+ \{)"), anim(R"(\n\s*Animation \{)"), set(R"(\n\s*AnimationSet \{)");
  f.frames = static_cast<int>(std::distance(std::sregex_iterator(s.begin(), s.end(), frame), std::sregex_iterator()));
  f.animations =
      static_cast<int>(std::distance(std::sregex_iterator(s.begin(), s.end(), anim), std::sregex_iterator()));
  f.animationSets =
      static_cast<int>(std::distance(std::sregex_iterator(s.begin(), s.end(), set), std::sregex_iterator()));
  return f;
}

TEST(AssetgenMeshes, HeadersTemplatesAndMaterialOrder) {
  const char* buttons[] = {"BUT_PREV.X", "BUT_PLAY.X", "BUT_STOP.X", "BUT_NEXT.X",
                           "BUT_INFO.X", "BUT_TOP.X",  "BUT_MIN.X",  "BUT_QUIT.X"};
  for (const char* b : buttons) {
    XFileFacts f = readX(b);
    EXPECT_EQ(f.header, "xof 0302txt 0064") << b;
    EXPECT_EQ(f.templates, 21) << b;
    EXPECT_EQ(f.textures, std::vector<std::string>{"final_layer.tga"}) << b;
    // The second material is also referenced by name after the inline ones.
    EXPECT_NE(text(file(b)).find("{ ButtonLit }"), std::string::npos) << b;
  }
  XFileFacts credz = readX("CREDZ.X");
  EXPECT_EQ(credz.textures, std::vector<std::string>{"credz.jpg"});
  EXPECT_NE(text(file("CREDZ.X")).find("{ CreditsPicture }"), std::string::npos);
  XFileFacts planes = readX("PLANES.X");
  EXPECT_EQ(planes.templates, 21);
  EXPECT_EQ(planes.textures,
            (std::vector<std::string>{"wheel.ppm", "wagon.ppm", "coal_loco.ppm", "final_back.jpg", "final_layer.tga"}));
  XFileFacts cabs = readX("TRAIN_CABS.X");
  EXPECT_EQ(cabs.header, "xof 0302txt 0064");
  EXPECT_EQ(cabs.textures, (std::vector<std::string>{"WAGON_5.BMP", "WAGON_4.BMP", "WAGON_3.BMP", "WAGON_2.BMP",
                                                     "WAGON_1.BMP", "COAL_LOCO.BMP"}));
  XFileFacts wheels = readX("TRAIN_WHEELS.X");
  EXPECT_EQ(wheels.header, "xof 0302txt 0032");
  EXPECT_EQ(wheels.templates, 24);
  EXPECT_EQ(wheels.frames, 24);
  EXPECT_EQ(wheels.animationSets, 1);
  EXPECT_EQ(wheels.animations, 24);
  EXPECT_EQ(wheels.textures, std::vector<std::string>(24, "WHEEL.BMP"));
}

#ifdef KQ_ASSIMP
// What an independent reader makes of a mesh file.
std::map<std::string, std::string> assimpInfo(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::map<std::string, std::string> facts;
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "assetgen_assimp_check";
  std::filesystem::create_directories(dir);
  std::filesystem::path path = dir / name;
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return facts;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  std::string cmd = std::string(KQ_ASSIMP) + " info '" + path.string() + "' 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
  if (!pipe) return facts;
  char line[512];
  const std::regex kv(R"(^([A-Za-z ().]+):\s+(\S.*?)\s*$)");
  while (std::fgets(line, sizeof line, pipe.get())) {
    std::cmatch m;
    if (std::regex_match(line, m, kv)) facts.emplace(m[1], m[2]);
  }
  std::filesystem::remove(path);
  return facts;
}

std::map<std::string, std::string> assimpInfo(const std::string& name) { return assimpInfo(name, file(name)); }

TEST(AssetgenMeshes, AnIndependentReaderLoadsEveryMesh) {
  for (const char* b : {"BUT_PREV.X", "BUT_PLAY.X", "BUT_STOP.X", "BUT_NEXT.X", "BUT_INFO.X", "BUT_TOP.X", "BUT_MIN.X",
                        "BUT_QUIT.X", "CREDZ.X"}) {
    auto f = assimpInfo(b);
    EXPECT_EQ(f["Vertices"], "4") << b;
    EXPECT_EQ(f["Faces"], "2") << b;
    EXPECT_EQ(f["Primitive Types"], "triangles") << b;
  }
  auto planes = assimpInfo("PLANES.X");
  EXPECT_EQ(planes["Faces"], "8");  // four quads
  auto cabs = assimpInfo("TRAIN_CABS.X");
  EXPECT_EQ(cabs["Primitive Types"], "triangles");
  EXPECT_EQ(cabs["Materials"], "7");
  EXPECT_EQ(cabs["Animations"], "0");
  auto wheels = assimpInfo("TRAIN_WHEELS.X");
  EXPECT_EQ(wheels["Nodes"], "25");  // a root and the 24 frames
  EXPECT_EQ(wheels["Animations"], "1");
  EXPECT_EQ(wheels["Animation Channels"], "24");
  EXPECT_EQ(wheels["Primitive Types"], "triangles");
}

// The binary and compressed forms of every mesh read as their text form does.
TEST(AssetgenMeshes, AnIndependentReaderLoadsTheOtherXForms) {
  std::vector<assetgen::GeneratedFile> text;
  assetgen::generateMeshes(assetgen::XFormat::kText, text);
  for (auto format :
       {assetgen::XFormat::kBinary, assetgen::XFormat::kCompressedText, assetgen::XFormat::kCompressedBinary}) {
    std::vector<assetgen::GeneratedFile> other;
    assetgen::generateMeshes(format, other);
    ASSERT_EQ(other.size(), text.size());
    for (size_t i = 0; i < other.size(); ++i) {
      auto expected = assimpInfo(text[i].name, text[i].bytes);
      auto actual = assimpInfo(other[i].name, other[i].bytes);
      ASSERT_FALSE(expected["Vertices"].empty()) << text[i].name;
      for (const char* key : {"Nodes", "Meshes", "Vertices", "Faces", "Materials", "Animation Channels"}) {
        EXPECT_EQ(actual[key], expected[key]) << other[i].name << " " << key << " form " << static_cast<int>(format);
      }
    }
  }
}
#endif

}  // namespace
}  // namespace assetgen_test
