// The skinned path on a real device under Xvfb: a model with one, two and three bones per
// face, and a second skinned mesh later in the same frame's chain, drawn with additive
// blending so that a combination drawn twice shows twice as bright. The device blends all,
// some or none of the combinations itself; the picture must not change.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "d3d9_testing.h"
#include "skinned_mesh.h"
#include "win32_layer.h"

namespace {

// Positions are clip coordinates (every transform but the bones' is identity). Bones B1 and
// B2 lift by 0.3; B0 stays. Quad A (material 0) hangs on B0 alone, B (material 1) on B0 and
// B1 by halves, C (material 2) on all three by thirds; quad D, in a second mesh of the same
// frame, on B1 alone. So A stays, B rises 0.15, C 0.2 and D 0.3.
std::string quad(float left, float right) {
  const std::string l = std::to_string(left), r = std::to_string(right);
  return l + ";-0.15;0.5;, " + r + ";-0.15;0.5;, " + r + ";0.15;0.5;, " + l + ";0.15;0.5;";
}

const std::string kMaterial = "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }";

const std::string kModel =
    "xof 0303txt 0032\n"
    "Frame Body {\n"
    " Mesh Quads { 12; " +
    quad(-0.9f, -0.6f) + ", " + quad(-0.5f, -0.2f) + ", " + quad(-0.1f, 0.2f) +
    ";\n"
    "  6; 3;0,1,2;, 3;0,2,3;, 3;4,5,6;, 3;4,6,7;, 3;8,9,10;, 3;8,10,11;;\n"
    "  MeshMaterialList { 3; 6; 0,0,1,1,2,2;; " +
    kMaterial + " " + kMaterial + " " + kMaterial +
    " }\n"
    "  XSkinMeshHeader { 3; 3; 3; }\n"
    "  SkinWeights { \"B0\"; 12; 0,1,2,3,4,5,6,7,8,9,10,11; "
    "1,1,1,1,0.5,0.5,0.5,0.5,0.3333333,0.3333333,0.3333333,0.3333333;"
    " 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }\n"
    "  SkinWeights { \"B1\"; 8; 4,5,6,7,8,9,10,11; 0.5,0.5,0.5,0.5,0.3333333,0.3333333,0.3333333,0.3333333;"
    " 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }\n"
    "  SkinWeights { \"B2\"; 4; 8,9,10,11; 0.3333334,0.3333334,0.3333334,0.3333334;"
    " 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }\n"
    " }\n"
    " Mesh Later { 4; " +
    quad(0.4f, 0.7f) +
    ";\n"
    "  2; 3;0,1,2;, 3;0,2,3;;\n"
    "  MeshMaterialList { 1; 2; 0,0;; " +
    kMaterial +
    " }\n"
    "  XSkinMeshHeader { 1; 1; 1; }\n"
    "  SkinWeights { \"B1\"; 4; 0,1,2,3; 1,1,1,1; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }\n"
    " }\n"
    "}\n"
    "Frame B0 { }\n"
    "Frame B1 { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0.3,0,1;; } }\n"
    "Frame B2 { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0.3,0,1;; } }\n";

}  // namespace

// The test program's resources: the model alone.
extern "C" const EmbeddedResource kEmbeddedResources[] = {
    {{"X", 0},
     {"SKINNED.X", 0},
     reinterpret_cast<const unsigned char*>(kModel.data()),
     static_cast<DWORD>(kModel.size())},
};
extern "C" const size_t kEmbeddedResourceCount = 1;

namespace {

constexpr int kSize = 200;

LRESULT CALLBACK plainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

class SkinningTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = plainWindowProc;
    windowClass.lpszClassName = "skinning test";
    RegisterClassA(&windowClass);
  }

  void SetUp() override {
    window = CreateWindowExA(0, "skinning test", "", WS_POPUP | WS_VISIBLE, 0, 0, kSize, kSize, nullptr, nullptr,
                             nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS parameters{};
    parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.Windowed = TRUE;
    parameters.hDeviceWindow = window;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device),
              D3D_OK);
  }

  void TearDown() override {
    d3d9SetCapsOverride({});
    if (device) device->Release();
    if (d3d) d3d->Release();
    DestroyWindow(window);
  }

  // Draws the model once, each draw adding 0x40 to every channel it covers.
  std::vector<uint32_t> drawModel() {
    SkinnedMesh model(device);
    EXPECT_EQ(model.load("skinned.x", false), S_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    device->BeginScene();
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0x40404040);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
    EXPECT_EQ(model.render(nullptr, 0.0, nullptr), S_OK);
    DWORD blend = 99;
    device->GetRenderState(D3DRS_VERTEXBLEND, &blend);
    EXPECT_EQ(blend, DWORD{D3DVBF_DISABLE});
    device->EndScene();
    std::vector<uint32_t> pixels;
    UINT width = 0, height = 0;
    EXPECT_EQ(d3d9ReadBackBuffer(device, pixels, &width, &height), D3D_OK);
    model.release();
    return pixels;
  }

  HWND window = nullptr;
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;
};

// The pixel at clip coordinates (x, y), colour bits only.
uint32_t at(const std::vector<uint32_t>& pixels, float x, float y) {
  const int column = static_cast<int>((x + 1.0f) / 2.0f * kSize);
  const int row = static_cast<int>((1.0f - y) / 2.0f * kSize);
  return pixels[row * kSize + column] & 0xFFFFFF;
}

// Where each quad must be after blending, and where it would be had its bones been lost.
void expectPosedOnce(const std::vector<uint32_t>& pixels) {
  ASSERT_EQ(pixels.size(), static_cast<size_t>(kSize * kSize));
  constexpr uint32_t once = 0x404040;
  struct Probe {
    const char* quad;
    float x, lit, dark;
  };
  for (const Probe& probe : {Probe{"A", -0.75f, 0.0f, 0.25f}, Probe{"B", -0.35f, 0.25f, -0.1f},
                             Probe{"C", 0.05f, 0.3f, -0.1f}, Probe{"D", 0.55f, 0.4f, -0.1f}}) {
    EXPECT_EQ(at(pixels, probe.x, probe.lit), once) << probe.quad;
    EXPECT_EQ(at(pixels, probe.x, probe.dark), 0u) << probe.quad;
  }
  for (uint32_t pixel : pixels) ASSERT_TRUE((pixel & 0xFFFFFF) == 0 || (pixel & 0xFFFFFF) == once) << std::hex << pixel;
}

TEST_F(SkinningTest, DeviceBlendsEveryCombination) {
  const std::vector<uint32_t> pixels = drawModel();
  expectPosedOnce(pixels);
}

TEST_F(SkinningTest, CombinationsBeyondTheDeviceGoToTheSoftwarePassOnce) {
  const std::vector<uint32_t> reference = drawModel();
  // Two matrices: the three-bone quad moves to the software pass. None: everything does.
  for (DWORD matrices : {2u, 0u}) {
    d3d9SetCapsOverride([matrices](D3DCAPS9& caps) { caps.MaxVertexBlendMatrices = matrices; });
    const std::vector<uint32_t> pixels = drawModel();
    expectPosedOnce(pixels);
    EXPECT_TRUE(pixels == reference) << matrices << " matrices";
  }
}

}  // namespace
