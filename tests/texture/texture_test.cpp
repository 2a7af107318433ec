// Textures from the program's resources and from memory on NULLREF devices: formats,
// sizes, levels, upright content and box-filtered mip chains, the format choice, colour
// keys, staging, and every failure code with the out pointer left alone.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "d3d9_test_device.h"
#include "d3d9_testing.h"
#include "d3dx9tex.h"
#include "image_decoder.h"
#include "image_fixtures.h"

namespace {

class TextureTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(d3d9test::createNullRefDevice(64, 64, m_d3d, m_device), D3D_OK); }
  void TearDown() override {
    d3d9SetCapsOverride({});
    if (m_device) {
      EXPECT_EQ(m_device->Release(), 0u);
    }
    if (m_d3d) m_d3d->Release();
  }

  // The resource's bytes, as the program holds them.
  static std::vector<uint8_t> resourceBytes(const char* name) {
    HRSRC found = FindResourceA(nullptr, name, RT_RCDATA);
    const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
    return {bytes, bytes + SizeofResource(nullptr, found)};
  }

  IDirect3D9* m_d3d = nullptr;
  IDirect3DDevice9* m_device = nullptr;
};

struct Locked {
  Locked(IDirect3DTexture9* texture, UINT level) : texture(texture), level(level) {
    ok = SUCCEEDED(texture->LockRect(level, &rect, nullptr, D3DLOCK_READONLY));
  }
  ~Locked() {
    if (ok) texture->UnlockRect(level);
  }
  uint32_t pixel32(UINT x, UINT y) const {
    uint32_t v;
    std::memcpy(&v, static_cast<const uint8_t*>(rect.pBits) + y * rect.Pitch + 4 * x, 4);
    return v;
  }
  IDirect3DTexture9* texture;
  UINT level;
  D3DLOCKED_RECT rect{};
  bool ok = false;
};

TEST_F(TextureTest, SimpleFormKeepsPicturesUprightWithFullChains) {
  struct Expected {
    const char* name;
    D3DFORMAT format;
    UINT size, levels;
  };
  for (const Expected& e :
       {Expected{"final_layer.tga", D3DFMT_A8R8G8B8, 512, 10}, Expected{"SMOKE_2.TGA", D3DFMT_A8R8G8B8, 64, 7},
        Expected{"WAGON_1.BMP", D3DFMT_X8R8G8B8, 256, 9}, Expected{"credz.jpg", D3DFMT_X8R8G8B8, 512, 10}}) {
    SCOPED_TRACE(e.name);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromResourceA(m_device, nullptr, e.name, &texture), D3D_OK);
    D3DSURFACE_DESC desc;
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, e.format);
    EXPECT_EQ(desc.Width, e.size);
    EXPECT_EQ(desc.Height, e.size);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(texture->GetLevelCount(), e.levels);

    // Level 0 holds the decoded picture, alpha included (the X byte of X8R8G8B8 is unused).
    const auto file = resourceBytes(e.name);
    d3dx::DecodedImage picture;
    ASSERT_EQ(d3dx::decodeImage(file.data(), file.size(), true, nullptr, picture), S_OK);
    {
      Locked top(texture, 0);
      ASSERT_TRUE(top.ok);
      for (UINT y = 0; y < e.size; y += 37)
        for (UINT x = 0; x < e.size; x += 29) {
          const uint8_t* p = picture.pixels + y * picture.pitch;
          const uint32_t expected =
              picture.format == D3DFMT_R8G8B8
                  ? (uint32_t{p[3 * x + 2]} << 16) | (p[3 * x + 1] << 8) | p[3 * x]
                  : (uint32_t{p[4 * x + 3]} << 24) | (p[4 * x + 2] << 16) | (p[4 * x + 1] << 8) | p[4 * x];
          const uint32_t used = e.format == D3DFMT_X8R8G8B8 ? 0x00FFFFFFu : 0xFFFFFFFFu;
          ASSERT_EQ(top.pixel32(x, y) & used, expected & used) << x << "," << y;
        }
    }
    // Each level is the 2 x 2 average of the one above.
    for (UINT level = 1; level < e.levels; ++level) {
      Locked above(texture, level - 1), below(texture, level);
      const UINT size = e.size >> level;
      for (UINT y = 0; y < size; y += 5)
        for (UINT x = 0; x < size; x += 3)
          for (int shift : {24, 16, 8, 0}) {
            int sum = 0;
            for (UINT k = 0; k < 4; ++k) sum += (above.pixel32(2 * x + k % 2, 2 * y + k / 2) >> shift) & 255;
            ASSERT_NEAR(static_cast<double>((below.pixel32(x, y) >> shift) & 255), sum / 4.0, 0.51)
                << "level " << level << " at " << x << "," << y;
          }
    }
    texture->Release();
  }
}

TEST_F(TextureTest, ExtendedFormMakesDynamic16BitTextures) {
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(D3DXCreateTextureFromResourceExA(m_device, nullptr, "wheel.bmp", D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                             D3DUSAGE_DYNAMIC, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, D3DX_DEFAULT,
                                             D3DX_DEFAULT, 0, nullptr, nullptr, &texture),
            D3D_OK);
  D3DSURFACE_DESC desc;
  texture->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Format, D3DFMT_R5G6B5);
  EXPECT_EQ(desc.Width, 64u);
  EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
  EXPECT_EQ(desc.Usage, static_cast<DWORD>(D3DUSAGE_DYNAMIC));
  EXPECT_EQ(texture->GetLevelCount(), 7u);
  // Dithered 5:6:5 stays within one step of the picture.
  const auto file = resourceBytes("WHEEL.BMP");
  d3dx::DecodedImage picture;
  ASSERT_EQ(d3dx::decodeImage(file.data(), file.size(), true, nullptr, picture), S_OK);
  D3DLOCKED_RECT rect;
  ASSERT_EQ(texture->LockRect(0, &rect, nullptr, D3DLOCK_READONLY), D3D_OK);
  for (UINT y = 0; y < 64; ++y)
    for (UINT x = 0; x < 64; ++x) {
      uint16_t v;
      std::memcpy(&v, static_cast<const uint8_t*>(rect.pBits) + y * rect.Pitch + 2 * x, 2);
      const uint8_t* p = picture.pixels + y * picture.pitch + 3 * x;
      ASSERT_NEAR(((v >> 11) & 31) * 255.0 / 31, p[2], 255.0 / 31 + 0.5);
      ASSERT_NEAR(((v >> 5) & 63) * 255.0 / 63, p[1], 255.0 / 63 + 0.5);
      ASSERT_NEAR((v & 31) * 255.0 / 31, p[0], 255.0 / 31 + 0.5);
    }
  texture->UnlockRect(0);
  texture->Release();
}

TEST_F(TextureTest, DefaultPoolTexturesAreFilledThroughStaging) {
  const auto file = resourceBytes("SMOKE_4.TGA");
  IDirect3DTexture9* texture = nullptr;
  D3DXIMAGE_INFO info{};
  ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(m_device, file.data(), static_cast<UINT>(file.size()), D3DX_DEFAULT,
                                                D3DX_DEFAULT, 3, 0, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, D3DX_DEFAULT,
                                                D3DX_DEFAULT, 0, &info, nullptr, &texture),
            D3D_OK);
  EXPECT_EQ(texture->GetLevelCount(), 3u);
  EXPECT_EQ(info.ImageFileFormat, D3DXIFF_TGA);
  EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8);
  D3DLOCKED_RECT rect;
  EXPECT_EQ(texture->LockRect(0, &rect, nullptr, 0), D3DERR_INVALIDCALL);  // lives on the device
  texture->Release();
}

TEST_F(TextureTest, FormatChoiceAndRequirements) {
  auto choose = [&](D3DFORMAT format) {
    UINT w = 64, h = 64, levels = 0;
    return SUCCEEDED(D3DXCheckTextureRequirements(m_device, &w, &h, &levels, 0, &format, D3DPOOL_MANAGED))
               ? format
               : D3DFMT_UNKNOWN;
  };
  // The device here makes A8R8G8B8, X8R8G8B8, R5G6B5, X1R5G5B5, A1R5G5B5, A4R4G4B4,
  // X4R4G4B4, A8, L8, A8L8 and DXT1/3/5.
  EXPECT_EQ(choose(D3DFMT_R5G6B5), D3DFMT_R5G6B5);
  EXPECT_EQ(choose(D3DFMT_R8G8B8), D3DFMT_X8R8G8B8);
  EXPECT_EQ(choose(D3DFMT_A2R10G10B10), D3DFMT_A8R8G8B8);
  EXPECT_EQ(choose(D3DFMT_L16), D3DFMT_L8);  // fewer bits win the tie with X8R8G8B8
  EXPECT_EQ(choose(D3DFMT_P8), D3DFMT_A8R8G8B8);
  EXPECT_EQ(choose(D3DFMT_R3G3B2), D3DFMT_X4R4G4B4);  // 1 + 1 + 2 bits more beats R5G6B5's 2 + 3 + 3
  EXPECT_EQ(choose(D3DFMT_A8R3G3B2), D3DFMT_A8R8G8B8);
  EXPECT_EQ(choose(D3DFMT_V8U8), D3DFMT_UNKNOWN);  // nothing signed stands in

  UINT w = 0, h = D3DX_DEFAULT, levels = 5;
  D3DFORMAT format = D3DFMT_DXT1;
  ASSERT_EQ(D3DXCheckTextureRequirements(m_device, &w, &h, &levels, 0, &format, D3DPOOL_MANAGED), D3D_OK);
  EXPECT_EQ(w, 4u);  // 0 becomes 1, the missing height follows, DXT rounds up to 4
  EXPECT_EQ(h, 4u);
  EXPECT_EQ(levels, 3u);
  d3d9SetCapsOverride([](D3DCAPS9& caps) {
    caps.TextureCaps |= D3DPTEXTURECAPS_POW2;
    caps.MaxTextureAspectRatio = 2;
  });
  w = 100, h = 10, levels = 0, format = D3DFMT_A8R8G8B8;
  ASSERT_EQ(D3DXCheckTextureRequirements(m_device, &w, &h, &levels, 0, &format, D3DPOOL_MANAGED), D3D_OK);
  EXPECT_EQ(w, 128u);
  EXPECT_EQ(h, 64u);  // 50 for the aspect ratio, then a power of two
  EXPECT_EQ(levels, 8u);
  EXPECT_EQ(D3DXCheckTextureRequirements(m_device, &w, &h, &levels, 0x80000000u, &format, D3DPOOL_MANAGED),
            D3DERR_INVALIDCALL);
}

TEST_F(TextureTest, ColourKeyAddsAnAlphaChannel) {
  // A 2 x 1 24-bit BMP: one pixel the key colour.
  std::vector<uint8_t> bmp = {'B', 'M', 62, 0, 0, 0, 0, 0,  0, 0, 54, 0, 0,    0, 40, 0,    0,    0,    2, 0, 0,
                              0,   1,   0,  0, 0, 1, 0, 24, 0, 0, 0,  0, 0,    8, 0,  0,    0,    0,    0, 0, 0,
                              0,   0,   0,  0, 0, 0, 0, 0,  0, 0, 0,  0, 0xFF, 0, 0,  0x10, 0x20, 0x30, 0, 0};
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(
      D3DXCreateTextureFromFileInMemoryEx(m_device, bmp.data(), static_cast<UINT>(bmp.size()), D3DX_DEFAULT_NONPOW2,
                                          D3DX_DEFAULT_NONPOW2, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_NONE,
                                          D3DX_DEFAULT, 0xFF0000FFu, nullptr, nullptr, &texture),
      D3D_OK);
  D3DSURFACE_DESC desc;
  texture->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
  {
    Locked top(texture, 0);
    EXPECT_EQ(top.pixel32(0, 0), 0u);
    EXPECT_EQ(top.pixel32(1, 0), 0xFF302010u);
  }
  texture->Release();
}

TEST_F(TextureTest, FailuresLeaveTheOutPointerAlone) {
  IDirect3DTexture9* const untouched = reinterpret_cast<IDirect3DTexture9*>(uintptr_t{0x1234});
  IDirect3DTexture9* texture = untouched;
  EXPECT_EQ(D3DXCreateTextureFromResourceA(m_device, nullptr, "wheel.ppm", &texture), D3DXERR_INVALIDDATA);
  EXPECT_EQ(D3DXCreateTextureFromResourceA(nullptr, nullptr, "WHEEL.BMP", &texture), D3DERR_INVALIDCALL);
  const auto file = resourceBytes("WHEEL.BMP");
  auto create = [&](const void* data, UINT size, UINT width, DWORD usage, D3DFORMAT format, D3DPOOL pool) {
    return D3DXCreateTextureFromFileInMemoryEx(m_device, data, size, width, D3DX_DEFAULT, D3DX_DEFAULT, usage, format,
                                               pool, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &texture);
  };
  const UINT size = static_cast<UINT>(file.size());
  EXPECT_EQ(create(nullptr, size, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED), D3DERR_INVALIDCALL);
  EXPECT_EQ(create(file.data(), 0, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED), D3DERR_INVALIDCALL);
  EXPECT_EQ(create(file.data(), size, D3DX_DEFAULT, 0x40000000u, D3DFMT_UNKNOWN, D3DPOOL_MANAGED), D3DERR_INVALIDCALL);
  EXPECT_EQ(create(file.data(), size, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, static_cast<D3DPOOL>(9)), D3DERR_INVALIDCALL);
  EXPECT_EQ(create(file.data(), 40, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED), D3DXERR_INVALIDDATA);
  EXPECT_EQ(create(file.data(), size, D3DX_DEFAULT, 0, D3DFMT_V8U8, D3DPOOL_MANAGED), D3DERR_NOTAVAILABLE);
  // A width from the file that the device must round to a power of two.
  d3d9SetCapsOverride([](D3DCAPS9& caps) { caps.TextureCaps |= D3DPTEXTURECAPS_POW2; });
  const uint8_t odd[] = {'P', '5', ' ', '3', ' ', '1', ' ', '2', '5', '5', '\n', 1, 2, 3};
  EXPECT_EQ(create(odd, sizeof odd, D3DX_FROM_FILE, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED), D3DERR_NOTAVAILABLE);
  // A palette picture asked to keep its format from the file.
  const uint8_t mapped[] = {0, 1, 1, 0, 0, 2, 0, 24, 0, 0, 0, 0, 1, 0, 1, 0, 8, 0x20, 1, 2, 3, 4, 5, 6, 0};
  EXPECT_EQ(create(mapped, sizeof mapped, D3DX_DEFAULT, 0, D3DFMT_FROM_FILE, D3DPOOL_MANAGED), D3DERR_INVALIDCALL);
  EXPECT_EQ(texture, untouched);
  // The same palette picture with an unknown format becomes X8R8G8B8.
  ASSERT_EQ(create(mapped, sizeof mapped, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED), D3D_OK);
  D3DSURFACE_DESC desc;
  texture->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
  texture->Release();
}

// A plain texture from a cube map holds its first face; a cube map without all six faces
// is refused.
TEST_F(TextureTest, CubeFilesGiveTheirFirstFaceAndNeedAllSix) {
  std::vector<uint8_t> faces(6 * 4 * 4 * 4);
  for (size_t i = 0; i < faces.size(); ++i) faces[i] = static_cast<uint8_t>(i / 64 + 1);  // face n: bytes n + 1
  IDirect3DTexture9* texture = nullptr;
  auto create = [&](const std::vector<uint8_t>& file) {
    return D3DXCreateTextureFromFileInMemoryEx(m_device, file.data(), static_cast<UINT>(file.size()), D3DX_DEFAULT,
                                               D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                               D3DX_DEFAULT, 0, nullptr, nullptr, &texture);
  };
  ASSERT_EQ(create(imagetest::ddsFile(0, 4, 4, 1, 1, 6, faces)), D3D_OK);
  {
    Locked level(texture, 0);
    ASSERT_TRUE(level.ok);
    EXPECT_EQ(level.pixel32(3, 3), 0x01010101u);
  }
  texture->Release();
  texture = nullptr;
  faces.resize(5 * 64);
  EXPECT_EQ(create(imagetest::ddsFile(0, 4, 4, 1, 1, 5, faces)), E_FAIL);
  EXPECT_EQ(texture, nullptr);
}

TEST_F(TextureTest, LoadingTheSameNameTwiceGivesTwoTextures) {
  IDirect3DTexture9 *a = nullptr, *b = nullptr;
  ASSERT_EQ(D3DXCreateTextureFromResourceA(m_device, nullptr, "WHEEL.BMP", &a), D3D_OK);
  ASSERT_EQ(D3DXCreateTextureFromResourceA(m_device, nullptr, "WHEEL.BMP", &b), D3D_OK);
  EXPECT_NE(a, b);
  EXPECT_EQ(a->Release(), 0u);
  EXPECT_EQ(b->Release(), 0u);
}

}  // namespace
