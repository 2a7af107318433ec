// The decoders: the program's pictures, every format against ImageMagick's own files and
// decoding (exact where the format is lossless), JPEG against libjpeg's fast integer
// transform, hand-made files where ImageMagick cannot write them, and damaged input.
#include <gtest/gtest.h>

#include <clocale>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "d3dx9tex.h"
#include "image_decoder.h"
#include "image_fixtures.h"
#include "pixel_conversion.h"

namespace {

using imagetest::imageMagick;
using imagetest::readFile;

std::vector<uint8_t> resource(const char* name) { return readFile(std::string(KQ_RESOURCE_DIR) + "/" + name); }

HRESULT decode(const std::vector<uint8_t>& file, d3dx::DecodedImage& image, D3DXIMAGE_INFO* info = nullptr) {
  return d3dx::decodeImage(file.data(), file.size(), true, info, image);
}

// ---- the program's pictures ------------------------------------------------------------

TEST(ProgramPictures, DecodeToTheirFormatsAndSizes) {
  struct Expected {
    const char* name;
    D3DFORMAT format;
    UINT size;
    D3DXIMAGE_FILEFORMAT fileFormat;
  };
  const Expected pictures[] = {
      {"FINAL_BACK.JPG", D3DFMT_X8R8G8B8, 512, D3DXIFF_JPG},  {"CREDZ.JPG", D3DFMT_X8R8G8B8, 512, D3DXIFF_JPG},
      {"FINAL_LAYER.TGA", D3DFMT_A8R8G8B8, 512, D3DXIFF_TGA}, {"SMOKE_3.TGA", D3DFMT_A8R8G8B8, 64, D3DXIFF_TGA},
      {"COAL_LOCO.BMP", D3DFMT_R8G8B8, 256, D3DXIFF_BMP},     {"WAGON_4.BMP", D3DFMT_R8G8B8, 256, D3DXIFF_BMP},
      {"WHEEL.BMP", D3DFMT_R8G8B8, 64, D3DXIFF_BMP},
  };
  for (const Expected& e : pictures) {
    SCOPED_TRACE(e.name);
    const auto file = resource(e.name);
    d3dx::DecodedImage image;
    D3DXIMAGE_INFO info;
    ASSERT_EQ(decode(file, image, &info), S_OK);
    EXPECT_EQ(image.format, e.format);
    EXPECT_EQ(info.Width, e.size);
    EXPECT_EQ(info.Height, e.size);
    EXPECT_EQ(info.MipLevels, 1u);
    EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
    EXPECT_EQ(info.ImageFileFormat, e.fileFormat);
    EXPECT_EQ(image.sourceRect.right, static_cast<LONG>(e.size));
  }
}

TEST(ProgramPictures, BottomUpRowsComeOutUpright) {
  // WHEEL.BMP: pitch 3 x width, the first row is the last one stored.
  const auto bmp = resource("WHEEL.BMP");
  d3dx::DecodedImage wheel;
  ASSERT_EQ(decode(bmp, wheel), S_OK);
  EXPECT_EQ(wheel.pitch, 3u * 64);
  const size_t pixelsAt = 14 + 40;
  EXPECT_EQ(std::memcmp(wheel.pixels, bmp.data() + pixelsAt + 63 * 192, 192), 0);
  EXPECT_EQ(std::memcmp(wheel.pixels + 63 * 192, bmp.data() + pixelsAt, 192), 0);
  EXPECT_NE(wheel.storage, nullptr);

  // SMOKE_1.TGA: rows reversed into a new buffer, alpha kept.
  const auto tga = resource("SMOKE_1.TGA");
  d3dx::DecodedImage smoke;
  ASSERT_EQ(decode(tga, smoke), S_OK);
  EXPECT_EQ(smoke.pitch, 4u * 64);
  EXPECT_EQ(std::memcmp(smoke.pixels, tga.data() + 18 + 63 * 256, 256), 0);
  bool translucent = false;
  for (uint32_t i = 0; i < 64 * 64; ++i) translucent |= smoke.pixels[4 * i + 3] != 255;
  EXPECT_TRUE(translucent);
}

// libjpeg's own decode with the fast integer transform, as 00RRGGBB words.
std::vector<uint32_t> libjpegFastDecode(const std::vector<uint8_t>& file, uint32_t& width, uint32_t& height) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, file.data(), file.size());
  jpeg_read_header(&cinfo, TRUE);
  cinfo.dct_method = JDCT_IFAST;
  jpeg_start_decompress(&cinfo);
  width = cinfo.output_width;
  height = cinfo.output_height;
  std::vector<uint32_t> pixels(size_t{width} * height);
  std::vector<JSAMPLE> row(size_t{width} * 3);
  for (uint32_t y = 0; y < height; ++y) {
    JSAMPROW rows = row.data();
    jpeg_read_scanlines(&cinfo, &rows, 1);
    for (uint32_t x = 0; x < width; ++x)
      pixels[size_t{y} * width + x] = (uint32_t{row[3 * x]} << 16) | (uint32_t{row[3 * x + 1]} << 8) | row[3 * x + 2];
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return pixels;
}

TEST(ProgramPictures, JpegsMatchLibjpegsFastIntegerDecode) {
  for (const char* name : {"FINAL_BACK.JPG", "CREDZ.JPG"}) {
    SCOPED_TRACE(name);
    const auto file = resource(name);
    uint32_t width = 0, height = 0;
    const auto expected = libjpegFastDecode(file, width, height);
    d3dx::DecodedImage image;
    ASSERT_EQ(decode(file, image), S_OK);
    ASSERT_EQ(image.width, width);
    ASSERT_EQ(image.pitch, 4 * width);
    EXPECT_EQ(std::memcmp(image.pixels, expected.data(), expected.size() * 4), 0);
  }
}

// ---- ImageMagick's files ---------------------------------------------------------------

class ImageMagickFiles : public ::testing::Test {
 protected:
  static constexpr uint32_t kWidth = 37, kHeight = 23;  // no dimension a multiple of 4

  void SetUp() override {
    // Ramps in every channel, alpha from 0.3 to 1 across.
    std::vector<uint8_t> rgba;
    for (uint32_t y = 0; y < kHeight; ++y)
      for (uint32_t x = 0; x < kWidth; ++x)
        rgba.insert(rgba.end(), {static_cast<uint8_t>(x * 7), static_cast<uint8_t>(y * 11),
                                 static_cast<uint8_t>((x + y) * 4), static_cast<uint8_t>(77 + x * 5)});
    imagetest::writeFile(m_dir.path("source.rgba"), rgba);
    ASSERT_TRUE(imageMagick("-size 37x23 -depth 8 rgba:" + m_dir.path("source.rgba") + " " + m_dir.path("source.png")));
  }

  // Writes the source through ImageMagick with `options` to `target` (a file name, maybe
  // with a coder prefix), then compares our decoding with ImageMagick's.
  void crossCheck(const std::string& target, const std::string& options, D3DFORMAT expectedFormat, int tolerance = 0,
                  const std::string& readOptions = "") {
    SCOPED_TRACE(target + " " + options);
    const std::string file = m_dir.path(target.substr(target.find(':') + 1));
    const std::string prefix = target.find(':') == std::string::npos ? "" : target.substr(0, target.find(':') + 1);
    ASSERT_TRUE(imageMagick(m_dir.path("source.png") + " " + options + " " + prefix + file));
    ASSERT_TRUE(imageMagick(file + " " + readOptions + " -depth 8 rgba:" + m_dir.path("expected.rgba")));
    const auto bytes = readFile(file);
    const auto expected = readFile(m_dir.path("expected.rgba"));
    d3dx::DecodedImage image;
    ASSERT_EQ(decode(bytes, image), S_OK);
    EXPECT_EQ(image.format, expectedFormat);
    ASSERT_EQ(image.width, kWidth);
    ASSERT_EQ(image.height, kHeight);
    std::vector<uint8_t> actual;
    ASSERT_EQ(d3dx::pictureToRgba8(image, actual), S_OK);
    ASSERT_EQ(actual.size(), expected.size());
    int worst = 0;
    size_t worstAt = 0;
    for (size_t i = 0; i < actual.size(); ++i) {
      const int d = std::abs(actual[i] - expected[i]);
      if (d > worst) worst = d, worstAt = i;
    }
    EXPECT_LE(worst, tolerance) << "byte " << worstAt << " (pixel " << worstAt / 4 << ")";

    // The same file cut short is rejected by every decoder (a text file may end in a
    // newline or two that nothing needs).
    for (size_t keep : {bytes.size() / 2, bytes.size() - 8}) {
      d3dx::DecodedImage cut;
      const std::vector<uint8_t> truncated(bytes.begin(), bytes.begin() + static_cast<long>(keep));
      EXPECT_EQ(decode(truncated, cut), D3DXERR_INVALIDDATA) << "kept " << keep;
    }
  }

  imagetest::ScratchDir m_dir;
};

TEST_F(ImageMagickFiles, Bmp) {
  crossCheck("BMP3:rgb24.bmp", "-alpha off -type truecolor", D3DFMT_R8G8B8);
  crossCheck("BMP3:pal8.bmp", "-alpha off -colors 200 -type palette -compress none", D3DFMT_P8);
  crossCheck("BMP3:pal4.bmp", "-alpha off -colors 16 -type palette", D3DFMT_P8);
  crossCheck("BMP3:pal1.bmp", "-alpha off -monochrome", D3DFMT_P8);
  crossCheck("BMP3:rle8.bmp", "-alpha off -colors 50 -type palette -compress rle", D3DFMT_P8);
  crossCheck("rgb565.bmp", "-alpha off -define bmp:subtype=RGB565", D3DFMT_R5G6B5, 1);
  crossCheck("argb32.bmp", "-define bmp:format=bmp4", D3DFMT_A8R8G8B8);
}

TEST_F(ImageMagickFiles, Tga) {
  // ImageMagick marks its TGA rows bottom-up; its own reading turns them upright only when
  // asked to honour the orientation.
  crossCheck("raw32.tga", "-compress none", D3DFMT_A8R8G8B8, 0, "-auto-orient");
  crossCheck("rle32.tga", "-compress rle", D3DFMT_A8R8G8B8, 0, "-auto-orient");
  crossCheck("rle24.tga", "-alpha off -compress rle", D3DFMT_R8G8B8, 0, "-auto-orient");
  crossCheck("grey.tga", "-alpha off -colorspace gray -compress none", D3DFMT_L8, 0, "-auto-orient");
  crossCheck("mapped.tga", "-alpha off -colors 30 -type palette", D3DFMT_P8, 0, "-auto-orient");
}

TEST_F(ImageMagickFiles, PortableMaps) {
  crossCheck("ascii.ppm", "-alpha off -compress none", D3DFMT_X8R8G8B8);
  crossCheck("binary.ppm", "-alpha off", D3DFMT_X8R8G8B8);
  crossCheck("deep.ppm", "-alpha off -depth 16", D3DFMT_A16B16G16R16);
  crossCheck("binary.pgm", "-alpha off -colorspace gray", D3DFMT_L8);
  crossCheck("ascii.pgm", "-alpha off -colorspace gray -compress none", D3DFMT_L8);
  crossCheck("deep.pgm", "-alpha off -colorspace gray -depth 16", D3DFMT_L16, 1);
  crossCheck("colour.pfm", "-alpha off", D3DFMT_A32B32G32R32F, 1);
  crossCheck("grey.pfm", "-alpha off -colorspace gray", D3DFMT_A32B32G32R32F, 1);
}

TEST_F(ImageMagickFiles, Hdr) {
  // Radiance files hold linear light; ImageMagick's reading is compared as stored.
  crossCheck("picture.hdr", "-alpha off", D3DFMT_A32B32G32R32F, 1, "-set colorspace sRGB");
}

TEST_F(ImageMagickFiles, Png) {
  crossCheck("rgba.png", "", D3DFMT_A8R8G8B8);
  crossCheck("rgb.png", "-alpha off -define png:color-type=2", D3DFMT_X8R8G8B8);
  crossCheck("PNG64:deep.png", "", D3DFMT_A16B16G16R16);
  crossCheck("grey.png", "-alpha off -colorspace gray -define png:color-type=0", D3DFMT_L8);
  crossCheck("greyalpha.png", "-colorspace gray -define png:color-type=4", D3DFMT_A8L8);
  crossCheck("PNG8:palette.png", "-colors 40", D3DFMT_P8);
  crossCheck("bilevel.png", "-alpha off -monochrome", D3DFMT_L8);
  crossCheck("interlaced.png", "-interlace PNG", D3DFMT_A8R8G8B8);
}

TEST_F(ImageMagickFiles, Dds) {
  crossCheck("plain.dds", "-define dds:compression=none", D3DFMT_A8R8G8B8);
  crossCheck("opaque.dds", "-alpha off -define dds:compression=none", D3DFMT_R8G8B8);
  crossCheck("dxt1.dds", "-alpha off -define dds:compression=dxt1", D3DFMT_DXT1);
  crossCheck("dxt5.dds", "-define dds:compression=dxt5", D3DFMT_DXT5);
}

TEST_F(ImageMagickFiles, JpegGreyAndCmyk) {
  crossCheck("grey.jpg", "-alpha off -colorspace gray", D3DFMT_L8, 1);
  ASSERT_TRUE(imageMagick(m_dir.path("source.png") + " -alpha off -colorspace CMYK " + m_dir.path("cmyk.jpg")));
  d3dx::DecodedImage image;
  EXPECT_EQ(decode(readFile(m_dir.path("cmyk.jpg")), image), E_FAIL);
}

// ---- files ImageMagick cannot write ----------------------------------------------------

TEST(HandMadeFiles, Rle4Bmp) {
  const uint32_t w = 11, h = 5;
  std::vector<uint8_t> indices(w * h);
  for (uint32_t i = 0; i < w * h; ++i) indices[i] = static_cast<uint8_t>(i % 7 < 3 ? 4 : (i * 5) % 16);
  const auto file = imagetest::rle4Bmp(w, h, indices);
  d3dx::DecodedImage image;
  ASSERT_EQ(decode(file, image), S_OK);
  ASSERT_EQ(image.format, D3DFMT_P8);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) ASSERT_EQ(image.pixels[y * image.pitch + x], indices[y * w + x]) << x << "," << y;
  EXPECT_EQ(image.palette[3].peRed, 51);
  EXPECT_EQ(image.palette[200].peFlags, 255);  // beyond the table: white
}

TEST(HandMadeFiles, DdsLevelsCubesAndVolumes) {
  // DXT3 with three levels (8x8, 4x4, 2x2): one, one and one... blocks of 4 x 4.
  std::vector<uint8_t> blocks(16 * (4 + 1 + 1));
  for (size_t i = 0; i < blocks.size(); ++i) blocks[i] = static_cast<uint8_t>(i * 13);
  d3dx::DecodedImage image;
  D3DXIMAGE_INFO info;
  auto file = imagetest::ddsFile(MAKEFOURCC('D', 'X', 'T', '3'), 8, 8, 1, 3, 1, blocks);
  ASSERT_EQ(decode(file, image, &info), S_OK);
  EXPECT_EQ(info.Format, D3DFMT_DXT3);
  EXPECT_EQ(info.MipLevels, 3u);
  ASSERT_NE(image.nextLevel, nullptr);
  EXPECT_EQ(image.nextLevel->width, 4u);
  EXPECT_EQ(image.nextLevel->pixels, file.data() + 128 + 64);  // used in place
  EXPECT_EQ(image.nextLevel->nextLevel->sourceRect.right, 2);
  file.pop_back();
  EXPECT_EQ(decode(file, image), D3DXERR_INVALIDDATA);

  // A cube map of six 2 x 2 faces, each with its own chain of one level.
  std::vector<uint8_t> faces(6 * 16);
  for (size_t i = 0; i < faces.size(); ++i) faces[i] = static_cast<uint8_t>(i);
  file = imagetest::ddsFile(0, 2, 2, 1, 1, 6, faces);
  ASSERT_EQ(decode(file, image, &info), S_OK);
  EXPECT_EQ(info.ResourceType, D3DRTYPE_CUBETEXTURE);
  uint32_t count = 0;
  for (const d3dx::DecodedImage* face = &image; face; face = face->nextFace.get(), ++count)
    EXPECT_EQ(face->pixels[0], count * 16);
  EXPECT_EQ(count, 6u);

  // A volume of 2 x 2 x 4 with two levels (2x2x4, 1x1x2).
  std::vector<uint8_t> volume(16 * 4 + 4 * 2);
  file = imagetest::ddsFile(0, 2, 2, 4, 2, 1, volume);
  ASSERT_EQ(decode(file, image, &info), S_OK);
  EXPECT_EQ(info.ResourceType, D3DRTYPE_VOLUMETEXTURE);
  EXPECT_EQ(info.Depth, 4u);
  EXPECT_EQ(image.slicePitch, 16u);
  EXPECT_EQ(image.nextLevel->depth, 2u);
}

// ---- Edge cases ------------------------------------------------------------------------

std::vector<uint8_t> bmp32(bool anyAlpha, uint32_t headerSize = 40, uint32_t compression = 0) {
  std::vector<uint8_t> file(14 + headerSize + 2 * 2 * 4, 0);
  file[0] = 'B';
  file[1] = 'M';
  file[2] = static_cast<uint8_t>(file.size());
  file[14] = static_cast<uint8_t>(headerSize);
  file[18] = 2;
  file[22] = 2;
  file[26] = 1;
  file[28] = 32;
  file[30] = static_cast<uint8_t>(compression);
  for (size_t i = 14 + headerSize; i < file.size(); ++i) file[i] = static_cast<uint8_t>(0x40 + i);
  for (size_t p = 14 + headerSize + 3; p < file.size(); p += 4) file[p] = 0;
  if (anyAlpha) file[file.size() - 1] = 9;
  return file;
}

TEST(EdgeCases, BmpRules) {
  d3dx::DecodedImage image;
  ASSERT_EQ(decode(bmp32(false), image), S_OK);
  EXPECT_EQ(image.format, D3DFMT_X8R8G8B8);
  ASSERT_EQ(decode(bmp32(true), image), S_OK);
  EXPECT_EQ(image.format, D3DFMT_A8R8G8B8);
  // Bit fields need a header of at least 52 bytes.
  EXPECT_EQ(decode(bmp32(false, 40, 3), image), D3DXERR_INVALIDDATA);
  // A recorded file size beyond the buffer: not a BMP, and nothing else takes it either.
  auto wheel = resource("WHEEL.BMP");
  wheel.pop_back();
  EXPECT_EQ(decode(wheel, image), D3DXERR_INVALIDDATA);
  EXPECT_EQ(image.pixels, nullptr);
}

std::vector<uint8_t> tgaHeader(uint32_t type, uint32_t bits, uint32_t width, uint32_t height, uint32_t descriptor) {
  return {0,
          0,
          static_cast<uint8_t>(type),
          0,
          0,
          0,
          0,
          0,
          0,
          0,
          0,
          0,
          static_cast<uint8_t>(width),
          static_cast<uint8_t>(width >> 8),
          static_cast<uint8_t>(height),
          static_cast<uint8_t>(height >> 8),
          static_cast<uint8_t>(bits),
          static_cast<uint8_t>(descriptor)};
}

TEST(EdgeCases, TgaRules) {
  d3dx::DecodedImage image;
  auto file = tgaHeader(2, 16, 2, 1, 0x20);
  file.insert(file.end(), {0x1F, 0x7C, 0xE0, 0x03});
  ASSERT_EQ(decode(file, image), S_OK);
  EXPECT_EQ(image.format, D3DFMT_X1R5G5B5);   // no alpha bit set anywhere
  EXPECT_EQ(image.pixels, file.data() + 18);  // top-down and raw: used in place
  file[19] |= 0x80;
  ASSERT_EQ(decode(file, image), S_OK);
  EXPECT_EQ(image.format, D3DFMT_A1R5G5B5);
  file = tgaHeader(2, 32, 0, 1, 0);
  file.resize(64);
  EXPECT_EQ(decode(file, image), D3DXERR_INVALIDDATA);  // width 0

  // Raw rows stored bottom-up and right to left come out upright and left to right.
  file = tgaHeader(3, 8, 3, 2, 0x10);
  file.insert(file.end(), {1, 2, 3, 4, 5, 6});
  ASSERT_EQ(decode(file, image), S_OK);
  EXPECT_EQ(std::vector<uint8_t>(image.pixels, image.pixels + 6), (std::vector<uint8_t>{6, 5, 4, 3, 2, 1}));

  // Run-length packets carry on across row ends; what runs past the last pixel is dropped.
  file = tgaHeader(11, 8, 3, 2, 0x20);
  file.insert(file.end(), {0x83, 7, 0x01, 8, 9, 0x81, 5});  // run of 4, raw 2, run of 2 (one too many)
  ASSERT_EQ(decode(file, image), S_OK);
  EXPECT_EQ(std::vector<uint8_t>(image.pixels, image.pixels + 6), (std::vector<uint8_t>{7, 7, 7, 7, 8, 9}));
  file.resize(file.size() - 3);  // the last packets missing
  EXPECT_EQ(decode(file, image), D3DXERR_INVALIDDATA);

  // Claims that would need more than the picture limit are refused before allocating.
  file = tgaHeader(10, 32, 65535, 65535, 0);
  file.insert(file.end(), {0xFF, 1, 2, 3, 4});
  EXPECT_EQ(decode(file, image), D3DXERR_INVALIDDATA);
}

TEST(EdgeCases, JpegReadingPastTheEnd) {
  // A segment whose length runs far past the data: the skip stops at the end, the next
  // read fails, and the file is rejected.
  const std::vector<uint8_t> file = {0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xF0, 'E', 'x', 'i', 'f'};
  d3dx::DecodedImage image;
  EXPECT_EQ(decode(file, image), D3DXERR_INVALIDDATA);
  const auto jpeg = resource("CREDZ.JPG");
  for (size_t keep : {size_t{2}, size_t{600}, jpeg.size() - 2}) {
    const std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + static_cast<long>(keep));
    EXPECT_EQ(decode(cut, image), D3DXERR_INVALIDDATA) << keep;
  }
}

TEST(EdgeCases, PortableMapsVouchForTheirPixels) {
  d3dx::DecodedImage image;
  const std::string huge = "P6\n30000 30000\n255\n0123456789";
  EXPECT_EQ(decode({huge.begin(), huge.end()}, image), D3DXERR_INVALIDDATA);
  const std::string overflow = "P2 2 1 10 3 11";  // a sample above the maximum
  EXPECT_EQ(decode({overflow.begin(), overflow.end()}, image), D3DXERR_INVALIDDATA);
  const std::string plain = "P5 2 2 255\n\x01\x02\x03\x04";
  const std::vector<uint8_t> bytes(plain.begin(), plain.end());
  ASSERT_EQ(decode(bytes, image), S_OK);
  EXPECT_EQ(image.format, D3DFMT_L8);
  EXPECT_EQ(image.pixels, bytes.data() + bytes.size() - 4);
}

TEST(EdgeCases, CallsAndLocale) {
  d3dx::DecodedImage image;
  const auto bmp = resource("WHEEL.BMP");
  EXPECT_EQ(d3dx::decodeImage(nullptr, 10, true, nullptr, image), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3dx::decodeImage(bmp.data(), 0, true, nullptr, image), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3dx::decodeImage(bmp.data(), bmp.size(), false, nullptr, image), S_OK);
  EXPECT_EQ(image.pixels, nullptr);
  D3DXIMAGE_INFO info{};
  EXPECT_EQ(d3dx::decodeImage(bmp.data(), bmp.size(), false, &info, image), S_OK);
  EXPECT_EQ(info.Width, 64u);
  EXPECT_EQ(image.pixels, nullptr);

  // The numeric locale is "C" while decoding and is restored afterwards.
  if (std::setlocale(LC_NUMERIC, "C.UTF-8") != nullptr) {
    const char pfm[] = "Pf\n1 1\n-1.0\n\x00\x00\x80\x3F";
    ASSERT_EQ(decode({pfm, pfm + sizeof pfm - 1}, image), S_OK);
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C.UTF-8");
    std::setlocale(LC_NUMERIC, "C");
  }
}

}  // namespace
