// Meshes drawn by a HAL device under a private Xvfb (Mesa's software rasteriser). The mesh
// covers known parts of the screen; which parts light up shows what was drawn.
#include <gtest/gtest.h>

#include <bit>
#include <vector>

#include "d3d9_test_device.h"
#include "d3d9_testing.h"
#include "mesh_test_support.h"

namespace {

using meshtest::makeMesh;
using meshtest::Ptr;

constexpr int kSize = 64;
// Opaque white as the float that shares its bits, for vertex arrays of floats.
const float kWhite = std::bit_cast<float>(0xFFFFFFFFu);

class MeshDrawing : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "mesh golden";
    RegisterClassA(&windowClass);
    window = CreateWindowExA(0, "mesh golden", "mesh", WS_POPUP | WS_VISIBLE, 0, 0, kSize, kSize, nullptr, nullptr,
                             nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS pp = d3d9test::windowedParameters(kSize, kSize, window);
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device), D3D_OK);
    // Untransformed positions are clip coordinates; white vertices draw white.
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
  }
  void TearDown() override {
    if (device) {
      device->SetStreamSource(0, nullptr, 0, 0);
      device->SetIndices(nullptr);
      EXPECT_EQ(device->Release(), 0u);
    }
    if (d3d) d3d->Release();
    if (window) DestroyWindow(window);
    UnregisterClassA("mesh golden", nullptr);
  }

  // Whether the pixel at clip coordinates (x, y) is lit.
  bool litAt(const std::vector<uint32_t>& pixels, float x, float y) const {
    const int column = static_cast<int>((x + 1) * kSize / 2), row = static_cast<int>((1 - y) * kSize / 2);
    return (pixels[row * kSize + column] & 0xFFFFFF) == 0xFFFFFF;
  }
  std::vector<uint32_t> draw(auto drawing) {
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    drawing();
    device->EndScene();
    std::vector<uint32_t> pixels;
    UINT w = 0, h = 0;
    EXPECT_EQ(d3d9ReadBackBuffer(device, pixels, &w, &h), D3D_OK);
    EXPECT_EQ(pixels.size(), size_t{kSize} * kSize);
    return pixels;
  }

  HWND window = nullptr;
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;
};

// A 2 x 2 grid of quads over the whole screen, white, two triangles per quad, quads in the
// order top-left, top-right, bottom-left, bottom-right.
struct Grid {
  std::vector<float> vertices;
  std::vector<DWORD> indices;
};
Grid grid() {
  Grid g;
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 3; ++column) {
      g.vertices.insert(g.vertices.end(), {column - 1.0f, 1.0f - row, 0.5f, kWhite});
    }
  for (DWORD row = 0; row < 2; ++row)
    for (DWORD column = 0; column < 2; ++column) {
      const DWORD tl = row * 3 + column;
      // Clockwise on screen: top-left, top-right, bottom-left; then the other half.
      g.indices.insert(g.indices.end(), {tl, tl + 1, tl + 3, tl + 3, tl + 1, tl + 4});
    }
  return g;
}

TEST_F(MeshDrawing, DrawSubsetDrawsExactlyTheTrianglesOfOneAttribute) {
  const Grid g = grid();
  // Unsorted ids, so subsets 1 and 2 each have two ranges; the bottom-right quad is split.
  auto mesh =
      makeMesh(device, D3DFVF_XYZ | D3DFVF_DIFFUSE, D3DXMESH_MANAGED, g.vertices, g.indices, {1, 1, 0, 0, 0, 0, 2, 1});
  ASSERT_TRUE(mesh);
  const struct {
    float x, y;
  } topLeft{-0.5f, 0.5f}, topRight{0.5f, 0.5f}, bottomLeft{-0.5f, -0.5f}, bottomRightUpper{0.3f, -0.3f},
      bottomRightLower{0.7f, -0.7f};
  auto pixels = draw([&] { EXPECT_EQ(mesh->DrawSubset(1), S_OK); });
  EXPECT_TRUE(litAt(pixels, topLeft.x, topLeft.y));
  EXPECT_FALSE(litAt(pixels, topRight.x, topRight.y));
  EXPECT_FALSE(litAt(pixels, bottomLeft.x, bottomLeft.y));
  EXPECT_FALSE(litAt(pixels, bottomRightUpper.x, bottomRightUpper.y));
  EXPECT_TRUE(litAt(pixels, bottomRightLower.x, bottomRightLower.y));

  pixels = draw([&] { EXPECT_EQ(mesh->DrawSubset(0), S_OK); });
  EXPECT_FALSE(litAt(pixels, topLeft.x, topLeft.y));
  EXPECT_TRUE(litAt(pixels, topRight.x, topRight.y));
  EXPECT_TRUE(litAt(pixels, bottomLeft.x, bottomLeft.y));
  EXPECT_FALSE(litAt(pixels, bottomRightUpper.x, bottomRightUpper.y));
  EXPECT_FALSE(litAt(pixels, bottomRightLower.x, bottomRightLower.y));

  pixels = draw([&] { EXPECT_EQ(mesh->DrawSubset(2), S_OK); });
  EXPECT_TRUE(litAt(pixels, bottomRightUpper.x, bottomRightUpper.y));
  EXPECT_FALSE(litAt(pixels, bottomRightLower.x, bottomRightLower.y));
  EXPECT_FALSE(litAt(pixels, topLeft.x, topLeft.y));
}

TEST_F(MeshDrawing, BlendedMeshFollowsItsTwoBones) {
  // A bar 0.2 wide from y = -0.8 to 0.8 in four rows of quads. Bone 0 holds the bottom, bone 1
  // the top, the middle row of vertices is shared half and half; the lower half is material 0,
  // the upper material 1, so the conversion makes two combinations.
  std::vector<float> vertices;
  for (int row = 0; row <= 4; ++row)
    for (float x : {-0.1f, 0.1f}) vertices.insert(vertices.end(), {x, 0.8f - 0.4f * row, 0.5f, kWhite});
  std::vector<DWORD> indices;
  for (DWORD row = 0; row < 4; ++row) {
    const DWORD tl = row * 2;
    indices.insert(indices.end(), {tl, tl + 1, tl + 2, tl + 2, tl + 1, tl + 3});
  }
  auto mesh =
      makeMesh(device, D3DFVF_XYZ | D3DFVF_DIFFUSE, D3DXMESH_MANAGED, vertices, indices, {1, 1, 1, 1, 0, 0, 0, 0});
  ASSERT_TRUE(mesh);
  Ptr<ID3DXSkinInfo> skin;
  ASSERT_EQ(D3DXCreateSkinInfoFVF(10, D3DFVF_XYZ | D3DFVF_DIFFUSE, 2, skin.receive()), S_OK);
  const DWORD lower[] = {4, 5, 6, 7, 8, 9}, upper[] = {0, 1, 2, 3, 4, 5};
  const float lowerWeights[] = {0.5f, 0.5f, 1, 1, 1, 1}, upperWeights[] = {1, 1, 1, 1, 0.5f, 0.5f};
  ASSERT_EQ(skin->SetBoneInfluence(0, 6, lower, lowerWeights), S_OK);
  ASSERT_EQ(skin->SetBoneInfluence(1, 6, upper, upperWeights), S_OK);
  // Bone 1 rests 0.8 up, so its offset takes mesh space to the bone's space; its pose moves it
  // 0.4 to the right of that rest. The skin's matrix for it is offset x pose.
  D3DXMATRIX offset, pose, skinning[2];
  D3DXMatrixTranslation(&offset, 0, -0.8f, 0);
  D3DXMatrixTranslation(&pose, 0.4f, 0.8f, 0);
  ASSERT_EQ(skin->SetBoneOffsetMatrix(1, &offset), S_OK);
  D3DXMatrixIdentity(&skinning[0]);
  D3DXMatrixMultiply(&skinning[1], skin->GetBoneOffsetMatrix(1), &pose);

  Ptr<ID3DXMesh> blended;
  Ptr<ID3DXBuffer> combinations;
  DWORD maxInfluences = 0, count = 0;
  ASSERT_EQ(
      skin->ConvertToBlendedMesh(mesh.get(), D3DXMESH_MANAGED | D3DXMESHOPT_VERTEXCACHE, nullptr, nullptr, nullptr,
                                 nullptr, &maxInfluences, &count, combinations.receive(), blended.receive()),
      S_OK);
  ASSERT_EQ(maxInfluences, 2u);
  ASSERT_EQ(count, 2u);
  const auto* table = static_cast<const D3DXBONECOMBINATION*>(combinations->GetBufferPointer());
  auto pixels = draw([&] {
    for (DWORD k = 0; k < count; ++k) {
      DWORD used = 0;
      for (DWORD j = 0; j < maxInfluences; ++j)
        if (table[k].BoneId[j] != 0xFFFFFFFF) {
          device->SetTransform(D3DTS_WORLDMATRIX(j), &skinning[table[k].BoneId[j]]);
          used = j + 1;
        }
      device->SetRenderState(D3DRS_VERTEXBLEND, used > 0 ? used - 1 : 0);
      EXPECT_EQ(blended->DrawSubset(k), S_OK);
    }
    device->SetRenderState(D3DRS_VERTEXBLEND, 0);
  });
  // Bottom row in place, top row 0.4 to the right, the middle row (half of each) 0.2.
  EXPECT_TRUE(litAt(pixels, 0.0f, -0.7f));
  EXPECT_FALSE(litAt(pixels, 0.3f, -0.7f));
  EXPECT_TRUE(litAt(pixels, 0.4f, 0.7f));
  EXPECT_FALSE(litAt(pixels, 0.0f, 0.7f));
  EXPECT_TRUE(litAt(pixels, 0.2f, 0.02f));
  EXPECT_FALSE(litAt(pixels, -0.05f, 0.02f));
  EXPECT_FALSE(litAt(pixels, 0.35f, 0.02f));
}

}  // namespace
