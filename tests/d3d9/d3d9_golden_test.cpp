// Rendering through a HAL device on a window of the window layer (Mesa's software
// rasteriser under a private Xvfb). Each expected colour is computed from the fixed-function
// formulas for the state being tested, never taken from an earlier run.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "d3d9.h"
#include "d3d9_test_device.h"
#include "d3d9_testing.h"

namespace {

constexpr int kSize = 64;

struct Rgb {
  int r, g, b;
};

Rgb rgbOf(uint32_t argb) {
  return {static_cast<int>((argb >> 16) & 0xFF), static_cast<int>((argb >> 8) & 0xFF), static_cast<int>(argb & 0xFF)};
}

// The server's depth (tests/support/with-xvfb --depth); the back buffer takes it.
int screenDepth() {
  const char* depth = std::getenv("KQ_SCREEN_DEPTH");
  return depth ? std::atoi(depth) : 24;
}

D3DFORMAT displayFormat() {
  switch (screenDepth()) {
    case 15:
      return D3DFMT_X1R5G5B5;
    case 16:
      return D3DFMT_R5G6B5;
    default:
      return D3DFMT_X8R8G8B8;
  }
}

// One step of a channel of that many bits, in 0..255: what storing a colour in a shallower
// back buffer may move it by, on top of the rasteriser's own error.
int channelStep(int bits) { return bits >= 8 ? 0 : (255 + (1 << bits) - 2) / ((1 << bits) - 1); }

::testing::AssertionResult near(uint32_t actual, Rgb expected, int tolerance = 2) {
  const Rgb a = rgbOf(actual);
  const bool shallow = displayFormat() != D3DFMT_X8R8G8B8;
  const int redBlue = tolerance + channelStep(shallow ? 5 : 8);
  const int green = tolerance + channelStep(displayFormat() == D3DFMT_R5G6B5 ? 6 : shallow ? 5 : 8);
  if (std::abs(a.r - expected.r) <= redBlue && std::abs(a.g - expected.g) <= green &&
      std::abs(a.b - expected.b) <= redBlue)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel (" << a.r << ", " << a.g << ", " << a.b << ") expected (" << expected.r
                                       << ", " << expected.g << ", " << expected.b << ")";
}

struct ColouredVertex {
  float x, y, z;
  D3DCOLOR colour;
};
constexpr DWORD kColouredFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

struct TexturedVertex {
  float x, y, z;
  float nx, ny, nz;
  float u, v;
};
constexpr DWORD kTexturedFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

// Asked before any device exists, the limits come from a context made just for the question.
TEST(Direct3D, HalCapsWithoutADeviceComeFromOpenGL) {
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(d3d, nullptr);
  D3DCAPS9 caps{};
  ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
  EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_HAL);
  EXPECT_GE(caps.MaxTextureWidth, 2048u);
  EXPECT_EQ(caps.MaxTextureWidth, caps.MaxTextureHeight);
  D3DDISPLAYMODE mode{};
  ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &mode), D3D_OK);
  EXPECT_EQ(mode.Width, 1024u);  // the test server's screen
  EXPECT_EQ(mode.Format, displayFormat());
  EXPECT_EQ(d3d->Release(), 0u);
}

class HalDevice : public ::testing::Test {
 protected:
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
  }

  void SetUp() override {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = windowProc;
    windowClass.lpszClassName = "d3d9 golden";
    RegisterClassA(&windowClass);
    window = CreateWindowExA(0, "d3d9 golden", "d3d9", WS_POPUP | WS_VISIBLE, 0, 0, kSize, kSize, nullptr, nullptr,
                             nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    // Shaped like the program's window, with a cut-out bottom-left quarter: the shape limits
    // what the screen shows, never what the device draws or reads back.
    struct {
      RGNDATAHEADER header;
      RECT rects[2];
    } shape{{sizeof(RGNDATAHEADER), RDH_RECTANGLES, 2, sizeof(RECT) * 2, {0, 0, kSize, kSize}},
            {{0, 0, kSize, kSize / 2}, {kSize / 4, kSize / 2, kSize, kSize}}};
    HRGN region = ExtCreateRegion(nullptr, sizeof shape, reinterpret_cast<const RGNDATA*>(&shape));
    ASSERT_NE(region, nullptr);
    SetWindowRgn(window, region, FALSE);
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
    D3DPRESENT_PARAMETERS pp = d3d9test::windowedParameters(0, 0, window);
    pp.BackBufferFormat = mode.Format;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device), D3D_OK);
    ASSERT_EQ(pp.BackBufferWidth, static_cast<UINT>(kSize));
    ASSERT_EQ(pp.BackBufferHeight, static_cast<UINT>(kSize));
    // Untransformed positions are clip coordinates from here on; colours come unlit.
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
  }

  void TearDown() override {
    if (device) {
      EXPECT_EQ(device->Release(), 0u);
    }
    if (d3d) d3d->Release();
    if (window) DestroyWindow(window);
    UnregisterClassA("d3d9 golden", nullptr);
  }

  std::vector<uint32_t> frame() {
    std::vector<uint32_t> pixels;
    UINT w = 0, h = 0;
    EXPECT_EQ(d3d9ReadBackBuffer(device, pixels, &w, &h), D3D_OK);
    EXPECT_EQ(w, static_cast<UINT>(kSize));
    EXPECT_EQ(h, static_cast<UINT>(kSize));
    return pixels;
  }
  static uint32_t at(const std::vector<uint32_t>& pixels, int x, int y) { return pixels[y * kSize + x]; }

  void clear(D3DCOLOR colour) {
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0), D3D_OK);
  }

  // A rectangle in clip coordinates, wound clockwise on screen.
  void colouredQuad(float x0, float y0, float x1, float y1, float z, D3DCOLOR colour) {
    const ColouredVertex v[4] = {{x0, y1, z, colour}, {x1, y1, z, colour}, {x0, y0, z, colour}, {x1, y0, z, colour}};
    ASSERT_EQ(device->SetFVF(kColouredFvf), D3D_OK);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ColouredVertex)), D3D_OK);
  }

  void texturedQuad(float x0, float y0, float x1, float y1, float z) {
    const TexturedVertex v[4] = {{x0, y1, z, 0, 0, -1, 0, 0},
                                 {x1, y1, z, 0, 0, -1, 1, 0},
                                 {x0, y0, z, 0, 0, -1, 0, 1},
                                 {x1, y0, z, 0, 0, -1, 1, 1}};
    ASSERT_EQ(device->SetFVF(kTexturedFvf), D3D_OK);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TexturedVertex)), D3D_OK);
  }

  // A one-level managed texture whose memory `fill(bits, pitch)` writes through a lock.
  template <typename Fill>
  IDirect3DTexture9* filledTexture(UINT width, UINT height, D3DFORMAT format, Fill fill) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    if (texture == nullptr) return nullptr;
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    fill(static_cast<uint8_t*>(locked.pBits), locked.Pitch);
    texture->UnlockRect(0);
    return texture;
  }

  IDirect3DTexture9* solidTexture(D3DCOLOR argb) {
    return filledTexture(4, 4, D3DFMT_A8R8G8B8, [&](uint8_t* bits, INT pitch) {
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) reinterpret_cast<uint32_t*>(bits + y * pitch)[x] = argb;
    });
  }

  HWND window = nullptr;
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;
};

TEST_F(HalDevice, ClearFillsTheBackBufferAndCapsComeFromOpenGL) {
  clear(D3DCOLOR_XRGB(10, 200, 30));
  const auto pixels = frame();
  EXPECT_TRUE(near(at(pixels, 0, 0), {10, 200, 30}, 0));
  EXPECT_TRUE(near(at(pixels, 63, 63), {10, 200, 30}, 0));
  D3DCAPS9 caps{};
  ASSERT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
  EXPECT_GE(caps.MaxTextureWidth, 2048u);
  EXPECT_EQ(caps.MaxVertexBlendMatrices, 4u);
  EXPECT_GE(caps.MaxPointSize, 20.0f);
}

TEST_F(HalDevice, ModulatesTextureWithTheLitColour) {
  const D3DCOLOR texel = D3DCOLOR_ARGB(255, 200, 100, 40);
  IDirect3DTexture9* texture = solidTexture(texel);
  D3DMATERIAL9 material{};
  material.Diffuse = {1, 1, 1, 1};
  material.Ambient = {1, 1, 1, 1};
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {0.5f, 0.25f, 1.0f, 1.0f};
  light.Direction = {0, 0, 1};  // straight at the quad, whose normal faces the viewer
  ASSERT_EQ(device->SetMaterial(&material), D3D_OK);
  ASSERT_EQ(device->SetLight(0, &light), D3D_OK);
  ASSERT_EQ(device->LightEnable(0, TRUE), D3D_OK);
  device->SetRenderState(D3DRS_LIGHTING, TRUE);
  device->SetRenderState(D3DRS_AMBIENT, D3DCOLOR_XRGB(64, 64, 64));
  device->SetTexture(0, texture);
  clear(0);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  texturedQuad(-1, -1, 1, 1, 0.5f);
  device->EndScene();
  // lit = ambient light x material ambient + light diffuse x (N.L = 1); pixel = texel x lit.
  auto expected = [](int texelChannel, float diffuse) {
    const float lit = std::min(1.0f, 64.0f / 255.0f + diffuse);
    return static_cast<int>(std::lround(texelChannel * lit));
  };
  const auto pixels = frame();
  EXPECT_TRUE(near(at(pixels, 32, 32), {expected(200, 0.5f), expected(100, 0.25f), expected(40, 1.0f)}));
  device->SetTexture(0, nullptr);
  texture->Release();
}

TEST_F(HalDevice, AlphaTestAt127KeepsAlpha127AndDiscards126) {
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHAREF, 127);
  device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  clear(D3DCOLOR_XRGB(0, 0, 255));
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  colouredQuad(-1, -1, 0, 1, 0.5f, D3DCOLOR_ARGB(126, 255, 0, 0));
  colouredQuad(0, -1, 1, 1, 0.5f, D3DCOLOR_ARGB(127, 255, 0, 0));
  device->EndScene();
  const auto pixels = frame();
  EXPECT_TRUE(near(at(pixels, 16, 32), {0, 0, 255}, 0));
  EXPECT_TRUE(near(at(pixels, 48, 32), {255, 0, 0}, 0));
}

TEST_F(HalDevice, SourceAlphaBlending) {
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  clear(D3DCOLOR_XRGB(0, 0, 255));
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  colouredQuad(-1, -1, 1, 1, 0.5f, D3DCOLOR_ARGB(128, 255, 0, 0));
  device->EndScene();
  const float a = 128.0f / 255.0f;
  EXPECT_TRUE(near(at(frame(), 20, 20),
                   {static_cast<int>(std::lround(255 * a)), 0, static_cast<int>(std::lround(255 * (1 - a)))}));
}

TEST_F(HalDevice, TextureFactorAlphaFadesATexture) {
  IDirect3DTexture9* texture = solidTexture(D3DCOLOR_ARGB(255, 192, 96, 240));
  device->SetTexture(0, texture);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_TFACTOR);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  for (int factor : {0, 128, 255}) {
    device->SetRenderState(D3DRS_TEXTUREFACTOR, D3DCOLOR_ARGB(factor, 0, 0, 0));
    clear(0);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    texturedQuad(-1, -1, 1, 1, 0.5f);
    device->EndScene();
    const float a = factor / 255.0f;
    EXPECT_TRUE(
        near(at(frame(), 32, 32), {static_cast<int>(std::lround(192 * a)), static_cast<int>(std::lround(96 * a)),
                                   static_cast<int>(std::lround(240 * a))}))
        << "factor " << factor;
  }
  device->SetTexture(0, nullptr);
  texture->Release();
}

TEST_F(HalDevice, PointSpriteCoversItsSizeInPixelsWithTheTextureUpright) {
  IDirect3DTexture9* texture = filledTexture(2, 2, D3DFMT_X8R8G8B8, [](uint8_t* bits, INT pitch) {
    auto* row0 = reinterpret_cast<uint32_t*>(bits);
    auto* row1 = reinterpret_cast<uint32_t*>(bits + pitch);
    row0[0] = 0xFFFF0000u;  // top left red
    row0[1] = 0xFF00FF00u;  // top right green
    row1[0] = 0xFF0000FFu;  // bottom left blue
    row1[1] = 0xFFFFFFFFu;  // bottom right white
  });
  ASSERT_NE(texture, nullptr);
  device->SetTexture(0, texture);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
  device->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
  const float size = 20.0f;
  device->SetRenderState(D3DRS_POINTSIZE, std::bit_cast<DWORD>(size));
  clear(0);
  // Screen position (31.5, 31.5): the sprite spans 21.5 .. 41.5, i.e. pixels 22 .. 41.
  const float point[3] = {31.5f / 32.0f - 1.0f, 1.0f - 31.5f / 32.0f, 0.5f};
  ASSERT_EQ(device->SetFVF(D3DFVF_XYZ), D3D_OK);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, point, 12), D3D_OK);
  device->EndScene();
  const auto pixels = frame();
  int covered = 0;
  for (uint32_t p : pixels) covered += (p & 0xFFFFFF) != 0;
  EXPECT_EQ(covered, 400);
  EXPECT_TRUE(near(at(pixels, 22, 22), {255, 0, 0}, 0));
  EXPECT_TRUE(near(at(pixels, 41, 22), {0, 255, 0}, 0));
  EXPECT_TRUE(near(at(pixels, 22, 41), {0, 0, 255}, 0));
  EXPECT_TRUE(near(at(pixels, 41, 41), {255, 255, 255}, 0));
  EXPECT_TRUE(near(at(pixels, 21, 30), {0, 0, 0}, 0));
  EXPECT_TRUE(near(at(pixels, 42, 30), {0, 0, 0}, 0));
  EXPECT_TRUE(near(at(pixels, 30, 21), {0, 0, 0}, 0));
  EXPECT_TRUE(near(at(pixels, 30, 42), {0, 0, 0}, 0));
  device->SetTexture(0, nullptr);
  texture->Release();
}

TEST_F(HalDevice, CounterClockwiseTrianglesAreCulledByDefault) {
  // Left: counter-clockwise on screen (red); right: clockwise (green).
  const ColouredVertex ccw[3] = {{-1, 1, 0.5f, 0xFFFF0000u}, {-1, -1, 0.5f, 0xFFFF0000u}, {0, 1, 0.5f, 0xFFFF0000u}};
  const ColouredVertex cw[3] = {{0, 1, 0.5f, 0xFF00FF00u}, {1, 1, 0.5f, 0xFF00FF00u}, {0, -1, 0.5f, 0xFF00FF00u}};
  device->SetFVF(kColouredFvf);
  for (DWORD cull : {static_cast<DWORD>(D3DCULL_CCW), static_cast<DWORD>(D3DCULL_NONE)}) {
    device->SetRenderState(D3DRS_CULLMODE, cull);
    clear(0);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, ccw, sizeof(ColouredVertex));
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cw, sizeof(ColouredVertex));
    device->EndScene();
    const auto pixels = frame();
    EXPECT_TRUE(near(at(pixels, 36, 8), {0, 255, 0}, 0));
    if (cull == D3DCULL_CCW)
      EXPECT_TRUE(near(at(pixels, 8, 8), {0, 0, 0}, 0));
    else
      EXPECT_TRUE(near(at(pixels, 8, 8), {255, 0, 0}, 0));
  }
}

TEST_F(HalDevice, DepthTestWithoutDepthWrites) {
  clear(0);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  // Near quad without depth writes: a farther quad drawn later still passes.
  device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  colouredQuad(-1, -1, 0, 1, 0.3f, 0xFF00FF00u);
  device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  colouredQuad(-1, -1, 0, 1, 0.6f, 0xFFFF0000u);
  // With depth writes the near quad hides the far one.
  colouredQuad(0, -1, 1, 1, 0.3f, 0xFF0000FFu);
  colouredQuad(0, -1, 1, 1, 0.6f, 0xFFFF0000u);
  device->EndScene();
  const auto pixels = frame();
  EXPECT_TRUE(near(at(pixels, 16, 32), {255, 0, 0}, 0));
  EXPECT_TRUE(near(at(pixels, 48, 32), {0, 0, 255}, 0));
}

TEST_F(HalDevice, ClearIgnoresTheWriteMasksThatStillHoldForDrawsAfterIt) {
  // A draw with colour writes off leaves the colour alone but writes depth 0.5.
  device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
  clear(D3DCOLOR_XRGB(0, 0, 255));
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  colouredQuad(-1, -1, 1, 1, 0.5f, 0xFFFF0000u);
  device->EndScene();
  EXPECT_TRUE(near(at(frame(), 32, 32), {0, 0, 255}, 0));
  // The clear writes colour anyway, and resets the depth: a quad at 0.7 passes afterwards,
  // and with depth writes off a farther one drawn later passes too.
  clear(D3DCOLOR_XRGB(0, 255, 0));
  EXPECT_TRUE(near(at(frame(), 32, 32), {0, 255, 0}, 0));
  device->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
  device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  colouredQuad(-1, -1, 0, 1, 0.7f, 0xFFFF0000u);
  colouredQuad(-1, -1, 0, 1, 0.9f, 0xFFFFFF00u);
  device->EndScene();
  EXPECT_TRUE(near(at(frame(), 16, 32), {255, 255, 0}, 0));
  // Depth 0.3 written, then a depth-only clear while depth writes are off again: it still
  // clears, and the draws after it still leave the depth alone.
  device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  colouredQuad(0, -1, 1, 1, 0.3f, 0xFFFFFFFFu);
  device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  colouredQuad(0, -1, 1, 1, 0.2f, 0xFF00FFFFu);
  device->EndScene();
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  colouredQuad(0, -1, 1, 1, 0.5f, 0xFFFF00FFu);
  colouredQuad(0, -1, 1, 1, 0.6f, 0xFF808080u);
  device->EndScene();
  EXPECT_TRUE(near(at(frame(), 48, 32), {128, 128, 128}, 0));
}

TEST_F(HalDevice, PerspectiveDepthRunsFromTheNearToTheFarPlane) {
  // Left-handed perspective, 90 degrees vertical, near 1, far 20000 (row-vector form).
  const float zn = 1.0f, zf = 20000.0f;
  D3DMATRIX projection{};
  projection._11 = 1.0f;
  projection._22 = 1.0f;
  projection._33 = zf / (zf - zn);
  projection._34 = 1.0f;
  projection._43 = -zn * zf / (zf - zn);
  ASSERT_EQ(device->SetTransform(D3DTS_PROJECTION, &projection), D3D_OK);
  // A quad at view depth z spanning twice the visible half-size covers the whole window.
  auto quadAt = [&](float z, D3DCOLOR colour) { colouredQuad(-2 * z, -2 * z, 2 * z, 2 * z, z, colour); };
  clear(D3DCOLOR_XRGB(1, 2, 3));
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  quadAt(0.75f, 0xFFFF0000u);     // in front of the near plane: clipped
  quadAt(25000.0f, 0xFF0000FFu);  // beyond the far plane: clipped
  device->EndScene();
  EXPECT_TRUE(near(at(frame(), 32, 32), {1, 2, 3}, 0));

  clear(0);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  quadAt(100.0f, 0xFFFFFF00u);
  quadAt(1.5f, 0xFF00FF00u);      // nearer: drawn over the first
  quadAt(50.0f, 0xFFFF00FFu);     // between them, drawn last: hidden
  quadAt(19000.0f, 0xFF0000FFu);  // far but inside the frustum: hidden as well
  device->EndScene();
  EXPECT_TRUE(near(at(frame(), 32, 32), {0, 255, 0}, 0));
}

TEST_F(HalDevice, PointLightAttenuationAndRange) {
  // A quad whose four corners are equally far from the light, so the lit colour is uniform.
  struct LitVertex {
    float x, y, z, nx, ny, nz;
  };
  const LitVertex quad[4] = {
      {-1, 1, 0.5f, 0, 0, -1}, {1, 1, 0.5f, 0, 0, -1}, {-1, -1, 0.5f, 0, 0, -1}, {1, -1, 0.5f, 0, 0, -1}};
  D3DMATERIAL9 material{};
  material.Diffuse = {1, 1, 1, 1};
  device->SetMaterial(&material);
  device->SetRenderState(D3DRS_LIGHTING, TRUE);
  device->SetRenderState(D3DRS_AMBIENT, 0);
  device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
  struct Case {
    float a0, a1, a2, range;
  };
  const float depth = 2.0f;  // light 2 units in front of the quad's plane, on its axis
  const float distance = std::sqrt(2.0f + depth * depth);
  for (const Case& c :
       {Case{0.0f, 0.5f, 0.0f, 100.0f}, Case{1.0f, 0.0f, 0.25f, 100.0f}, Case{1.0f, 0.0f, 0.0f, distance - 0.05f}}) {
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = {1, 1, 1, 1};
    light.Position = {0, 0, 0.5f - depth};
    light.Range = c.range;
    light.Attenuation0 = c.a0;
    light.Attenuation1 = c.a1;
    light.Attenuation2 = c.a2;
    ASSERT_EQ(device->SetLight(0, &light), D3D_OK);
    ASSERT_EQ(device->LightEnable(0, TRUE), D3D_OK);
    clear(D3DCOLOR_XRGB(9, 9, 9));
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(LitVertex)), D3D_OK);
    device->EndScene();
    const float nDotL = depth / distance;
    const float attenuation = 1.0f / (c.a0 + c.a1 * distance + c.a2 * distance * distance);
    const int expected =
        distance > c.range ? 0 : static_cast<int>(std::lround(255 * std::min(1.0f, nDotL * attenuation)));
    EXPECT_TRUE(near(at(frame(), 32, 32), {expected, expected, expected}))
        << "attenuation " << c.a0 << " " << c.a1 << " " << c.a2;
  }
}

TEST_F(HalDevice, LightsAndNormalsFollowTheViewTransform) {
  // The view turns 90 degrees about y: world (x, y, z) lands at view (z, y, -x). The quad,
  // its normal and the light are placed in the world where the previous test had them in
  // view space, so the lit colour must come out the same.
  D3DMATRIX view{};
  view._13 = -1.0f;
  view._22 = 1.0f;
  view._31 = 1.0f;
  view._44 = 1.0f;
  ASSERT_EQ(device->SetTransform(D3DTS_VIEW, &view), D3D_OK);
  struct LitVertex {
    float x, y, z, nx, ny, nz;
  };
  auto world = [](float vx, float vy, float vz) { return LitVertex{-vz, vy, vx, 1, 0, 0}; };
  const LitVertex quad[4] = {world(-1, 1, 0.5f), world(1, 1, 0.5f), world(-1, -1, 0.5f), world(1, -1, 0.5f)};
  D3DMATERIAL9 material{};
  material.Diffuse = {1, 1, 1, 1};
  device->SetMaterial(&material);
  device->SetRenderState(D3DRS_LIGHTING, TRUE);
  device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_POINT;
  light.Diffuse = {1, 1, 1, 1};
  light.Position = {1.5f, 0, 0};  // view (0, 0, -1.5)
  light.Range = 100.0f;
  light.Attenuation1 = 0.5f;
  ASSERT_EQ(device->SetLight(0, &light), D3D_OK);
  ASSERT_EQ(device->LightEnable(0, TRUE), D3D_OK);
  clear(0);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(LitVertex)), D3D_OK);
  device->EndScene();
  const float distance = std::sqrt(2.0f + 4.0f), nDotL = 2.0f / distance, attenuation = 1.0f / (0.5f * distance);
  const int expected = static_cast<int>(std::lround(255 * nDotL * attenuation));
  EXPECT_TRUE(near(at(frame(), 32, 32), {expected, expected, expected}));
}

TEST_F(HalDevice, VertexBlendingWithTwoMatricesAndWeights) {
  struct BlendVertex {
    float x, y, z, weight;
    D3DCOLOR colour;
  };
  D3DMATRIX world0{}, world1{};
  world0._11 = world0._22 = world0._33 = world0._44 = 1.0f;
  world1 = world0;
  world0._41 = 0.8f;  // translations along x
  world1._41 = -0.3f;
  device->SetTransform(D3DTS_WORLDMATRIX(0), &world0);
  device->SetTransform(D3DTS_WORLDMATRIX(1), &world1);
  ASSERT_EQ(device->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_1WEIGHTS), D3D_OK);
  ASSERT_EQ(device->SetFVF(D3DFVF_XYZB1 | D3DFVF_DIFFUSE), D3D_OK);
  const float w = 0.25f, half = 0.11f;
  const BlendVertex quad[4] = {{-half, 0.5f, 0.5f, w, 0xFFFFFFFFu},
                               {half, 0.5f, 0.5f, w, 0xFFFFFFFFu},
                               {-half, -0.5f, 0.5f, w, 0xFFFFFFFFu},
                               {half, -0.5f, 0.5f, w, 0xFFFFFFFFu}};
  clear(0);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(BlendVertex)), D3D_OK);
  device->EndScene();
  // Shift = 0.25 x 0.8 + 0.75 x -0.3 = -0.025: clip x -0.135 .. 0.085, screen 27.68 .. 34.72.
  const float shift = w * 0.8f + (1 - w) * -0.3f;
  const float left = (-half + shift + 1) * 32, right = (half + shift + 1) * 32;
  const auto pixels = frame();
  for (int x = 20; x < 44; ++x) {
    const bool inside = x >= left && x < right;
    EXPECT_TRUE(near(at(pixels, x, 32), inside ? Rgb{255, 255, 255} : Rgb{0, 0, 0}, 0)) << "x " << x;
  }
}

TEST_F(HalDevice, SixteenBitTextureFilledThroughGdiAppearsInTheNextFrame) {
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(device->CreateTexture(8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, &texture, nullptr),
            D3D_OK);
  device->SetTexture(0, texture);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  IDirect3DSurface9* surface = nullptr;
  ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
  for (COLORREF fill : {RGB(0, 255, 0), RGB(255, 0, 0)}) {
    HDC dc = nullptr;
    ASSERT_EQ(surface->GetDC(&dc), D3D_OK);
    HBRUSH brush = CreateSolidBrush(fill);
    RECT all{0, 0, 8, 8};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    ASSERT_EQ(surface->ReleaseDC(dc), D3D_OK);
    clear(0);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    texturedQuad(-1, -1, 1, 1, 0.5f);
    device->EndScene();
    EXPECT_TRUE(near(at(frame(), 32, 32), {GetRValue(fill), GetGValue(fill), GetBValue(fill)}, 0));
    device->Present(nullptr, nullptr, nullptr, nullptr);
  }
  surface->Release();
  device->SetTexture(0, nullptr);
  texture->Release();
}

TEST_F(HalDevice, DrawsFromBuffersHonourBaseVertexStartIndexAndStreamOffset) {
  // Vertices 0..3: a red quad on the left; 4..7: a green quad on the right; after a 16-byte
  // lead-in that the stream offset skips.
  const ColouredVertex quads[8] = {{-1, 1, 0.5f, 0xFFFF0000u}, {0, 1, 0.5f, 0xFFFF0000u}, {-1, -1, 0.5f, 0xFFFF0000u},
                                   {0, -1, 0.5f, 0xFFFF0000u}, {0, 1, 0.5f, 0xFF00FF00u}, {1, 1, 0.5f, 0xFF00FF00u},
                                   {0, -1, 0.5f, 0xFF00FF00u}, {1, -1, 0.5f, 0xFF00FF00u}};
  IDirect3DVertexBuffer9* vb = nullptr;
  IDirect3DIndexBuffer9* ib = nullptr;
  ASSERT_EQ(
      device->CreateVertexBuffer(16 + sizeof quads, D3DUSAGE_WRITEONLY, kColouredFvf, D3DPOOL_MANAGED, &vb, nullptr),
      D3D_OK);
  ASSERT_EQ(device->CreateIndexBuffer(12 * sizeof(uint16_t), 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
  void* data = nullptr;
  ASSERT_EQ(vb->Lock(16, 0, &data, 0), D3D_OK);
  std::memcpy(data, quads, sizeof quads);
  vb->Unlock();
  const uint16_t indices[12] = {9, 9, 9, 9, 9, 9, 0, 1, 2, 2, 1, 3};  // the first six are never drawn
  ASSERT_EQ(ib->Lock(0, 0, &data, 0), D3D_OK);
  std::memcpy(data, indices, sizeof indices);
  ib->Unlock();
  device->SetFVF(kColouredFvf);
  device->SetStreamSource(0, vb, 16, sizeof(ColouredVertex));
  device->SetIndices(ib);
  clear(0);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 6, 2), D3D_OK);
  device->EndScene();
  auto pixels = frame();
  EXPECT_TRUE(near(at(pixels, 16, 32), {0, 0, 0}, 0));
  EXPECT_TRUE(near(at(pixels, 48, 32), {0, 255, 0}, 0));
  clear(0);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
  device->EndScene();
  pixels = frame();
  EXPECT_TRUE(near(at(pixels, 16, 32), {255, 0, 0}, 0));
  EXPECT_TRUE(near(at(pixels, 48, 32), {0, 0, 0}, 0));
  device->SetStreamSource(0, nullptr, 0, 0);
  device->SetIndices(nullptr);
  ib->Release();
  vb->Release();
}

TEST_F(HalDevice, EveryTextureFormatSamplesAsItsChannelsSay) {
  struct Case {
    D3DFORMAT format;
    uint32_t texel;  // little-endian bytes of one texel
    Rgb colour;
    int alpha;
  };
  auto five = [](int v) { return static_cast<int>(std::lround(v * 255.0 / 31)); };
  auto six = [](int v) { return static_cast<int>(std::lround(v * 255.0 / 63)); };
  const Case cases[] = {
      {D3DFMT_A8R8G8B8, 0x80C04020u, {192, 64, 32}, 128},
      {D3DFMT_X8R8G8B8, 0x00C04020u, {192, 64, 32}, 255},
      {D3DFMT_R5G6B5, (10u << 11) | (40u << 5) | 20u, {five(10), six(40), five(20)}, 255},
      {D3DFMT_X1R5G5B5, (31u << 10) | (3u << 5), {255, five(3), 0}, 255},
      {D3DFMT_A1R5G5B5, (31u << 5) | 7u, {0, 255, five(7)}, 0},
      {D3DFMT_A4R4G4B4, 0x8F40u, {255, 68, 0}, 136},
      {D3DFMT_X4R4G4B4, 0x0F40u, {255, 68, 0}, 255},
      {D3DFMT_A8, 0x80u, {0, 0, 0}, 128},
      {D3DFMT_L8, 0x40u, {64, 64, 64}, 255},
      {D3DFMT_A8L8, 0x8040u, {64, 64, 64}, 128},
  };
  for (const Case& c : cases) {
    IDirect3DTexture9* texture = filledTexture(4, 4, c.format, [&](uint8_t* bits, INT pitch) {
      const int bytes = pitch / 4;
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) std::memcpy(bits + y * pitch + x * bytes, &c.texel, bytes);
    });
    ASSERT_NE(texture, nullptr);
    device->SetTexture(0, texture);
    for (DWORD argument :
         {static_cast<DWORD>(D3DTA_TEXTURE), static_cast<DWORD>(D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE)}) {
      device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
      device->SetTextureStageState(0, D3DTSS_COLORARG1, argument);
      clear(0);
      ASSERT_EQ(device->BeginScene(), D3D_OK);
      texturedQuad(-1, -1, 1, 1, 0.5f);
      device->EndScene();
      const Rgb expected = argument == D3DTA_TEXTURE ? c.colour : Rgb{c.alpha, c.alpha, c.alpha};
      EXPECT_TRUE(near(at(frame(), 32, 32), expected, 1)) << "format " << c.format << " argument " << argument;
    }
    device->SetTexture(0, nullptr);
    texture->Release();
  }
}

TEST_F(HalDevice, CompressedTexturesDrawTheirDecodedTexels) {
  // One DXT1 block per 4 x 4: end points red and blue, texel column i using index i.
  const uint8_t block[8] = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0xE4, 0xE4, 0xE4};
  IDirect3DTexture9* texture =
      filledTexture(4, 4, D3DFMT_DXT1, [&](uint8_t* bits, INT) { std::memcpy(bits, block, sizeof block); });
  ASSERT_NE(texture, nullptr);
  device->SetTexture(0, texture);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  clear(0);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  texturedQuad(-1, -1, 1, 1, 0.5f);
  device->EndScene();
  const auto pixels = frame();
  // Columns of 16 pixels per texel: red, blue, two thirds red, one third red.
  EXPECT_TRUE(near(at(pixels, 8, 8), {255, 0, 0}, 1));
  EXPECT_TRUE(near(at(pixels, 24, 8), {0, 0, 255}, 1));
  EXPECT_TRUE(near(at(pixels, 40, 8), {170, 0, 85}, 2));
  EXPECT_TRUE(near(at(pixels, 56, 8), {85, 0, 170}, 2));
  device->SetTexture(0, nullptr);
  texture->Release();
}

TEST_F(HalDevice, PresentWaitsForTheDisplayRefresh) {
  D3DDISPLAYMODE mode{};
  ASSERT_EQ(device->GetDisplayMode(0, &mode), D3D_OK);
  const double period = 1.0 / (mode.RefreshRate ? mode.RefreshRate : 60);
  const auto start = std::chrono::steady_clock::now();
  constexpr int kFrames = 30;
  for (int i = 0; i < kFrames; ++i) {
    clear(0);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  }
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // The first presents are measured unpaced at most at half a refresh each.
  EXPECT_GE(elapsed, period * (kFrames - 12) * 0.9);
}

}  // namespace
