// The program's twelve meshes give the frames, containers, materials and animation that the
// scene is built on.
#include "hierarchy_test_support.h"

namespace hierarchytest {
namespace {

std::pair<const void*, DWORD> resource(const char* name) {
  HRSRC found = FindResourceA(nullptr, name, "X");
  if (found == nullptr) return {nullptr, 0};
  return {LockResource(LoadResource(nullptr, found)), SizeofResource(nullptr, found)};
}

using Textures = std::vector<std::optional<std::string>>;

class EmbeddedMeshes : public LoaderTest {
 protected:
  // One unnamed root with one container and no controller.
  Container* loadSingleMesh(const char* name) {
    const auto [data, size] = resource(name);
    EXPECT_EQ(load(data, size), S_OK) << name;
    if (!root) return nullptr;
    EXPECT_EQ(root->Name, nullptr);
    EXPECT_EQ(root->pFrameSibling, nullptr);
    EXPECT_EQ(root->pFrameFirstChild, nullptr);
    EXPECT_FALSE(controller);
    Container* c = containerOf(root);
    EXPECT_NE(c, nullptr);
    if (c == nullptr) return nullptr;
    EXPECT_EQ(c->pNextMeshContainer, nullptr);
    EXPECT_EQ(c->MeshData.Type, D3DXMESHTYPE_MESH);
    EXPECT_EQ(c->MeshData.pMesh->GetFVF(), DWORD{D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1});
    EXPECT_EQ(c->pSkinInfo, nullptr);
    return c;
  }
};

TEST_F(EmbeddedMeshes, ButtonsAndCreditsAreOneTexturedQuad) {
  const char* const names[] = {"BUT_PREV.X", "BUT_PLAY.X", "BUT_STOP.X", "BUT_NEXT.X", "BUT_INFO.X",
                               "BUT_TOP.X",  "BUT_MIN.X",  "BUT_QUIT.X", "CREDZ.X"};
  for (const char* name : names) {
    Container* c = loadSingleMesh(name);
    ASSERT_NE(c, nullptr) << name;
    EXPECT_EQ(c->MeshData.pMesh->GetNumVertices(), 4u) << name;
    EXPECT_EQ(c->MeshData.pMesh->GetNumFaces(), 2u) << name;
    const std::string picture = std::string(name) == "CREDZ.X" ? "credz.jpg" : "final_layer.tga";
    EXPECT_EQ(c->textures, (Textures{std::nullopt, picture})) << name;
    EXPECT_EQ(facesPerAttribute(c->MeshData.pMesh), (std::vector<DWORD>{0, 2})) << name;
  }
}

TEST_F(EmbeddedMeshes, PlanesNameSixMaterials) {
  Container* c = loadSingleMesh("PLANES.X");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->MeshData.pMesh->GetNumVertices(), 16u);
  EXPECT_EQ(c->MeshData.pMesh->GetNumFaces(), 8u);
  EXPECT_EQ(c->textures,
            (Textures{std::nullopt, "wheel.ppm", "wagon.ppm", "coal_loco.ppm", "final_back.jpg", "final_layer.tga"}));
  EXPECT_EQ(facesPerAttribute(c->MeshData.pMesh), (std::vector<DWORD>{0, 0, 0, 0, 2, 6}));
}

TEST_F(EmbeddedMeshes, TrainCabsCarryTheWagonPictures) {
  Container* c = loadSingleMesh("TRAIN_CABS.X");
  ASSERT_NE(c, nullptr);
  // The counts of the committed art (assimp reads the same file as 2888 vertices and 1706
  // triangles).
  EXPECT_EQ(c->MeshData.pMesh->GetNumVertices(), 2888u);
  EXPECT_EQ(c->MeshData.pMesh->GetNumFaces(), 1706u);
  EXPECT_EQ(c->textures, (Textures{std::nullopt, "WAGON_5.BMP", "WAGON_4.BMP", "WAGON_3.BMP", "WAGON_2.BMP",
                                   "WAGON_1.BMP", "COAL_LOCO.BMP"}));
  // Every triangle has its three neighbour slots, and neighbours point back.
  const DWORD faces = c->MeshData.pMesh->GetNumFaces();
  ASSERT_EQ(c->adjacency.size(), faces * 3);
  for (DWORD f = 0; f < faces; ++f)
    for (DWORD e = 0; e < 3; ++e) {
      const DWORD n = c->adjacency[f * 3 + e];
      if (n == 0xFFFFFFFF) continue;
      ASSERT_LT(n, faces);
      EXPECT_TRUE(c->adjacency[n * 3] == f || c->adjacency[n * 3 + 1] == f || c->adjacency[n * 3 + 2] == f);
    }
}

TEST_F(EmbeddedMeshes, WheelsAreTwentyFourAnimatedFrames) {
  const auto [data, size] = resource("TRAIN_WHEELS.X");
  ASSERT_EQ(load(data, size), S_OK);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->Name, nullptr);
  EXPECT_EQ(root->pMeshContainer, nullptr);
  std::vector<LPD3DXFRAME> wheels;
  for (LPD3DXFRAME f = root->pFrameFirstChild; f; f = f->pFrameSibling) wheels.push_back(f);
  ASSERT_EQ(wheels.size(), 24u);
  int large = 0;
  for (LPD3DXFRAME f : wheels) {
    ASSERT_NE(f->Name, nullptr);
    EXPECT_EQ(D3DXFrameFind(root, f->Name), f);
    EXPECT_EQ(f->pFrameFirstChild, nullptr);
    Container* c = containerOf(f);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->pNextMeshContainer, nullptr);
    EXPECT_EQ(c->textures, (Textures{"WHEEL.BMP"}));
    const DWORD vertices = c->MeshData.pMesh->GetNumVertices(), faces = c->MeshData.pMesh->GetNumFaces();
    // 23 small wheels and the locomotive's driving wheel, as the committed art has them.
    EXPECT_TRUE((vertices == 150 && faces == 136) || (vertices == 214 && faces == 200)) << vertices << " " << faces;
    large += vertices == 214;
    // Each wheel sits somewhere off the origin.
    EXPECT_NE(f->TransformationMatrix(3, 0), 0.0f);
  }
  EXPECT_EQ(large, 1);

  ASSERT_TRUE(controller);
  EXPECT_EQ(controller->GetMaxNumAnimationOutputs(), 24u);
  EXPECT_EQ(controller->GetNumAnimationSets(), 1u);
  EXPECT_EQ(controller->GetMaxNumTracks(), 2u);
  EXPECT_EQ(controller->GetMaxNumEvents(), 30u);
  ComPtr<ID3DXAnimationSet> set;
  ASSERT_EQ(controller->GetTrackAnimationSet(0, set.receive()), S_OK);
  ASSERT_TRUE(set);
  EXPECT_EQ(set->GetNumAnimations(), 24u);
  EXPECT_DOUBLE_EQ(set->GetPeriod(), 30.0 / 4800.0);
  ComPtr<ID3DXKeyframedAnimationSet> keyframed;
  ASSERT_EQ(set->QueryInterface(IID_ID3DXKeyframedAnimationSet, reinterpret_cast<void**>(keyframed.receive())), S_OK);
  EXPECT_EQ(keyframed->GetSourceTicksPerSecond(), 4800.0);
  for (UINT a = 0; a < 24; ++a) {
    LPCSTR name = nullptr;
    ASSERT_EQ(set->GetAnimationNameByIndex(a, &name), S_OK);
    EXPECT_NE(D3DXFrameFind(root, name), nullptr) << name;
    EXPECT_EQ(keyframed->GetNumRotationKeys(a), 3u);
    EXPECT_EQ(keyframed->GetNumScaleKeys(a), 1u);
    EXPECT_EQ(keyframed->GetNumTranslationKeys(a), 1u);
  }
  D3DXTRACK_DESC track{};
  ASSERT_EQ(controller->GetTrackDesc(0, &track), S_OK);
  EXPECT_EQ(track.Speed, 1.0f);
  EXPECT_EQ(track.Weight, 1.0f);
  EXPECT_TRUE(track.Enable);

  // Advancing writes the wheels' matrices: a quarter of the period on, each wheel has turned.
  const D3DXMATRIX before = wheels[0]->TransformationMatrix;
  ASSERT_EQ(controller->AdvanceTime(30.0 / 4800.0 / 4, nullptr), S_OK);
  EXPECT_NE(std::memcmp(&before, &wheels[0]->TransformationMatrix, sizeof before), 0);
}

}  // namespace
}  // namespace hierarchytest
