// Hand-written X data: mesh contents, materials, animation keys, the frame operations, and
// every failure with the allocator's calls balanced.
#include <cmath>

#include "hierarchy_test_support.h"

namespace hierarchytest {
namespace {

const std::string kHeader = "xof 0303txt 0032\n";

std::vector<DWORD> indices(ID3DXMesh* mesh) {
  std::vector<DWORD> out;
  void* data = nullptr;
  if (FAILED(mesh->LockIndexBuffer(D3DLOCK_READONLY, &data))) return out;
  for (DWORD i = 0; i < mesh->GetNumFaces() * 3; ++i) out.push_back(static_cast<uint16_t*>(data)[i]);
  mesh->UnlockIndexBuffer();
  return out;
}

std::vector<float> vertexFloats(ID3DXMesh* mesh) {
  void* data = nullptr;
  if (FAILED(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data))) return {};
  const float* f = static_cast<const float*>(data);
  std::vector<float> out(f, f + mesh->GetNumVertices() * mesh->GetNumBytesPerVertex() / 4);
  mesh->UnlockVertexBuffer();
  return out;
}

TEST_F(LoaderTest, PolygonsBecomeFansAndKeepTheirMaterial) {
  ASSERT_EQ(load(kHeader +
                 "Material shared { 0;0;1;1;; 5; 1;1;1;; 0;0;0;; }\n"
                 "Mesh shape { 5; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;, 2;2;0;;\n"
                 "  3; 4;0,1,2,3;, 3;1,4,2;, 3;0,1,4;;\n"
                 "  MeshMaterialList { 2; 2; 1, 0;;\n"
                 "    Material { 1;0;0;0.5;; 20; 0.5;0.5;0.5;; 0.25;0.25;0.25;; TextureFilename { \"red.bmp\"; } }\n"
                 "    {shared} } }\n"),
            S_OK);
  Container* c = containerOf(root);
  ASSERT_NE(c, nullptr);
  ASSERT_NE(c->Name, nullptr);
  EXPECT_STREQ(c->Name, "shape");
  ID3DXMesh* mesh = c->MeshData.pMesh;
  EXPECT_EQ(mesh->GetFVF(), DWORD{D3DFVF_XYZ});
  EXPECT_EQ(indices(mesh), (std::vector<DWORD>{0, 1, 2, 0, 2, 3, 1, 4, 2, 0, 1, 4}));
  // The quad's two triangles take its material; the face beyond the list takes material 0.
  DWORD* ids = nullptr;
  ASSERT_EQ(mesh->LockAttributeBuffer(D3DLOCK_READONLY, &ids), S_OK);
  EXPECT_EQ(std::vector<DWORD>(ids, ids + 4), (std::vector<DWORD>{1, 1, 0, 0}));
  mesh->UnlockAttributeBuffer();
  ASSERT_EQ(c->NumMaterials, 2u);
  const D3DMATERIAL9& red = c->materials[0].MatD3D;
  EXPECT_EQ(red.Diffuse.a, 0.5f);
  EXPECT_EQ(red.Power, 20.0f);
  EXPECT_EQ(red.Specular.a, 1.0f);
  EXPECT_EQ(red.Emissive.r, 0.25f);
  EXPECT_EQ(red.Ambient.r, 0.0f);
  EXPECT_EQ(red.Ambient.a, 1.0f);
  EXPECT_EQ(c->materials[1].MatD3D.Diffuse.b, 1.0f);  // the referenced material
  EXPECT_EQ(c->textures, (std::vector<std::optional<std::string>>{"red.bmp", std::nullopt}));
  EXPECT_EQ(c->effectParameters[0], (std::vector<std::string>{"Diffuse", "Power", "Specular", "Emissive", "Texture"}));
  EXPECT_EQ(c->effectParameters[1].size(), 4u);
  // The quad's diagonal joins its two triangles; the third face shares edge 0-1 with it.
  EXPECT_EQ(c->adjacency[0], 3u);
  EXPECT_EQ(c->adjacency[2], 1u);
  EXPECT_EQ(c->adjacency[3 + 2], 0xFFFFFFFFu);
}

TEST_F(LoaderTest, CornersWithDifferentNormalsGetTheirOwnVertices) {
  // Two triangles folded along the edge 0-2: each face lists its own normal for the shared
  // corners, so vertices 0 and 2 are split; the texture coordinates and colours follow.
  ASSERT_EQ(load(kHeader + "Mesh { 4; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;1;; 2; 3;0,1,2;, 3;0,2,3;;\n"
                           "  MeshNormals { 2; 0;0;-1;, -1;0;0;; 2; 3;0,0,0;, 3;1,1,1;; }\n"
                           "  MeshTextureCoords { 4; 0;0;, 1;0;, 1;1;, 0;1;; }\n"
                           "  MeshVertexColors { 1; 2; 1;0;0;1;;; } }\n"),
            S_OK);
  ID3DXMesh* mesh = containerOf(root)->MeshData.pMesh;
  ASSERT_EQ(mesh->GetFVF(), DWORD{D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1});
  ASSERT_EQ(mesh->GetNumVertices(), 6u);
  EXPECT_EQ(indices(mesh), (std::vector<DWORD>{0, 1, 2, 4, 5, 3}));
  const std::vector<float> v = vertexFloats(mesh);
  auto at = [&](DWORD vertex, int word) { return v[vertex * 9 + word]; };
  auto color = [&](DWORD vertex) {
    DWORD c;
    std::memcpy(&c, &v[vertex * 9 + 6], 4);
    return c;
  };
  EXPECT_EQ(at(0, 5), -1.0f);  // first face's normal
  EXPECT_EQ(at(4, 3), -1.0f);  // the copy of vertex 0 with the second face's normal
  EXPECT_EQ(at(4, 0), 0.0f);
  EXPECT_EQ(at(5, 0), 1.0f);  // the copy of vertex 2 keeps its position, uv and colour
  EXPECT_EQ(at(5, 1), 1.0f);
  EXPECT_EQ(at(5, 7), 1.0f);
  EXPECT_EQ(at(5, 8), 1.0f);
  EXPECT_EQ(color(5), 0xFFFF0000u);
  EXPECT_EQ(color(1), 0xFFFFFFFFu);  // not listed: white
  // The copies still join the two faces along their shared edge.
  EXPECT_EQ(containerOf(root)->adjacency[2], 1u);
}

TEST_F(LoaderTest, FvfDataAddsTextureSetsAfterTheFirst) {
  ASSERT_EQ(
      load(kHeader + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
                     "  MeshTextureCoords { 3; 0;0;, 1;0;, 0;1;; }\n"
                     "  FVFData { 256; 6; 1065353216, 0, 1073741824, 0, 1077936128, 0; } }\n"),  // TEX1: u = 1, 2, 3
      S_OK);
  ID3DXMesh* mesh = containerOf(root)->MeshData.pMesh;
  ASSERT_EQ(mesh->GetFVF(), DWORD{D3DFVF_XYZ | D3DFVF_TEX2});
  const std::vector<float> v = vertexFloats(mesh);
  EXPECT_EQ(v[7 * 1 + 3], 1.0f);  // vertex 1: first set from MeshTextureCoords
  EXPECT_EQ(v[7 * 1 + 5], 2.0f);  // second set from FVFData
  EXPECT_EQ(v[7 * 2 + 5], 3.0f);
}

TEST_F(LoaderTest, FramesNestWithTheirMatricesAndFindIsExact) {
  ASSERT_EQ(load(kHeader + "Frame Body { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 5,6,7,1;; }\n"
                           "  Frame Arm { Frame Hand { } } Frame Leg { } }\n"
                           "Frame body { }\n"),
            S_OK);
  EXPECT_EQ(root->Name, nullptr);  // two top-level frames: an unnamed root above them
  LPD3DXFRAME body = D3DXFrameFind(root, "Body");
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(body, root->pFrameFirstChild);
  EXPECT_EQ(body->TransformationMatrix(3, 1), 6.0f);
  EXPECT_STREQ(body->pFrameFirstChild->Name, "Arm");
  EXPECT_STREQ(body->pFrameFirstChild->pFrameSibling->Name, "Leg");
  EXPECT_STREQ(D3DXFrameFind(root, "body")->Name, "body");
  EXPECT_EQ(D3DXFrameFind(root, "BODY"), nullptr);
  EXPECT_EQ(D3DXFrameFind(root, "Hand"), body->pFrameFirstChild->pFrameFirstChild);
  EXPECT_EQ(D3DXFrameFind(root, nullptr), root);
  EXPECT_EQ(D3DXFrameAppendChild(nullptr, root), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXFrameAppendChild(root, nullptr), D3DERR_INVALIDCALL);
  EXPECT_FALSE(controller);  // named frames but no animation
}

const std::string kTwoFrames = kHeader + "Frame A { } Frame B { }\n";

std::string positionKey(const char* frame, int time, float x) {
  return std::string("Animation { {") + frame + "} AnimationKey { 2; 1; " + std::to_string(time) + "; 3; " +
         std::to_string(x) + ",0,0;;; } }\n";
}

TEST_F(LoaderTest, AnimationSetsTakeTheRateInForceWhenRead) {
  ASSERT_EQ(
      load(kTwoFrames + "AnimationSet first { " + positionKey("A", 48, 1.0f) + " }\n" + "AnimTicksPerSecond { 24; }\n" +
           "AnimationSet second { " + positionKey("B", 48, 2.0f) + positionKey("A", 24, 3.0f) + " }\n"),
      S_OK);
  ASSERT_TRUE(controller);
  EXPECT_EQ(controller->GetMaxNumAnimationOutputs(), 2u);
  EXPECT_EQ(controller->GetNumAnimationSets(), 2u);
  ComPtr<ID3DXAnimationSet> first, second, playing;
  ASSERT_EQ(controller->GetAnimationSetByName("first", first.receive()), S_OK);
  ASSERT_EQ(controller->GetAnimationSetByName("second", second.receive()), S_OK);
  EXPECT_DOUBLE_EQ(first->GetPeriod(), 48.0 / 4800.0);
  EXPECT_DOUBLE_EQ(second->GetPeriod(), 2.0);
  ASSERT_EQ(controller->GetTrackAnimationSet(0, playing.receive()), S_OK);
  EXPECT_EQ(playing.get(), second.get());  // the file's last set plays
  ASSERT_EQ(controller->AdvanceTime(0.0, nullptr), S_OK);
  EXPECT_EQ(D3DXFrameFind(root, "B")->TransformationMatrix(3, 0), 2.0f);
  EXPECT_EQ(D3DXFrameFind(root, "A")->TransformationMatrix(3, 0), 3.0f);
}

TEST_F(LoaderTest, FaultyAnimationsAreDroppedFromTheirSet) {
  ASSERT_EQ(
      load(kTwoFrames + "AnimationSet s {\n" + "Animation { AnimationKey { 2; 1; 0; 3; 1,0,0;;; } }\n" +  // no frame
           "Animation { {A} {B} AnimationKey { 2; 1; 0; 3; 1,0,0;;; } }\n" +                              // two frames
           "Animation { {A} }\n" +                                                                        // no key
           "Animation { {A} AnimationKey { 2; 1; 0; 3; 1,0,0;;; }\n"
           "  AnimationKey { 2; 1; 5; 3; 1,0,0;;; } }\n" +  // two position blocks
           positionKey("B", 10, 4.0f) +
           "}\n"),
      S_OK);
  ComPtr<ID3DXAnimationSet> set;
  ASSERT_EQ(controller->GetAnimationSet(0, set.receive()), S_OK);
  ASSERT_EQ(set->GetNumAnimations(), 1u);
  LPCSTR name = nullptr;
  set->GetAnimationNameByIndex(0, &name);
  EXPECT_STREQ(name, "B");

  // A set left with no animation makes no controller.
  ASSERT_EQ(load(kTwoFrames + "AnimationSet s { Animation { AnimationKey { 2; 1; 0; 3; 1,0,0;;; } } }\n"), S_OK);
  EXPECT_FALSE(controller);
}

// A key matrix comes back from the controller as the same matrix, for a plain, a mirroring
// and a flattening transform.
TEST_F(LoaderTest, MatrixKeysAreSplitIntoScaleRotationAndTranslation) {
  D3DXMATRIX s, r, t, m, sr;
  D3DXMatrixRotationY(&r, 0.7f);
  D3DXMatrixTranslation(&t, 1.0f, -2.0f, 3.0f);
  for (const D3DXVECTOR3 scale : {D3DXVECTOR3(2, 3, 4), D3DXVECTOR3(-1, 1, 2), D3DXVECTOR3(1, 0, 2)}) {
    D3DXMatrixScaling(&s, scale.x, scale.y, scale.z);
    D3DXMatrixMultiply(&sr, &s, &r);
    D3DXMatrixMultiply(&m, &sr, &t);
    std::string values;
    for (int i = 0; i < 16; ++i) values += std::to_string(m.m[i / 4][i % 4]) + (i < 15 ? "," : "");
    ASSERT_EQ(load(kTwoFrames + "AnimationSet { Animation { {A} AnimationKey { 4; 2; 0; 16; " + values +
                   ";;, 30; 16; " + values + ";;; } } }\n"),
              S_OK);
    ASSERT_TRUE(controller);
    ASSERT_EQ(controller->AdvanceTime(0.0, nullptr), S_OK);
    const D3DXMATRIX& out = D3DXFrameFind(root, "A")->TransformationMatrix;
    for (int i = 0; i < 16; ++i)
      EXPECT_NEAR(out.m[i / 4][i % 4], m.m[i / 4][i % 4], 1e-4)
          << "element " << i << " for scale " << scale.x << "," << scale.y << "," << scale.z;
  }
}

class CountingUserData : public ID3DXLoadUserData {
 public:
  int topLevel = 0, frameChildren = 0, meshChildren = 0;
  HRESULT result = S_OK;
  HRESULT STDMETHODCALLTYPE LoadTopLevelData(LPD3DXFILEDATA) override { return ++topLevel, result; }
  HRESULT STDMETHODCALLTYPE LoadFrameChildData(LPD3DXFRAME, LPD3DXFILEDATA) override { return ++frameChildren, result; }
  HRESULT STDMETHODCALLTYPE LoadMeshChildData(LPD3DXMESHCONTAINER, LPD3DXFILEDATA) override {
    return ++meshChildren, result;
  }
};

TEST_F(LoaderTest, UnknownObjectsGoToTheUserDataLoader) {
  // The mesh's unknown child comes first, then the frame's, then the top level's.
  const std::string text = kHeader +
                           "Frame F { Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
                           "  Header { 1; 0; 1; } XSkinMeshHeader { 1; 1; 0; } } Header { 1; 0; 1; } }\n"
                           "Header { 1; 0; 1; }\n";
  for (HRESULT result : {S_OK, E_NOTIMPL}) {
    CountingUserData user;
    user.result = result;
    if (root) D3DXFrameDestroy(root, &allocator);
    root = nullptr;
    EXPECT_EQ(D3DXLoadMeshHierarchyFromXInMemory(text.data(), static_cast<DWORD>(text.size()), D3DXMESH_MANAGED, device,
                                                 &allocator, &user, &root, nullptr),
              result);
    EXPECT_EQ(user.meshChildren, 1);
    EXPECT_EQ(user.frameChildren, result == S_OK ? 1 : 0);
    EXPECT_EQ(user.topLevel, result == S_OK ? 1 : 0);
    if (FAILED(result)) {
      EXPECT_TRUE(allocator.balanced());  // the container made before the refusal is freed
    }
  }
}

TEST_F(LoaderTest, EmptyMeshesMakeNoContainer) {
  ASSERT_EQ(load(kHeader + "Frame F { Mesh { 0;; 0;; } }\n"), S_OK);
  EXPECT_EQ(root->pMeshContainer, nullptr);
  EXPECT_EQ(allocator.containersMade, 0);
}

// Every failure hands nothing out and frees, through the allocator, all it had made.
TEST_F(LoaderTest, FailuresLeaveNothingBehind) {
  const std::string triangle = "3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;";
  const std::string materialList = "MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } }";
  const struct {
    std::string body;
    HRESULT expected;
  } cases[] = {
      {"", E_FAIL},  // no frame
      {"Header { 1; 0; 1; }", E_FAIL},
      {"Frame { Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,3;; } }", E_FAIL},  // index = vertex count
      {"Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 2;0,1;; }", E_FAIL},              // two-cornered face
      {"Frame { Frame { Mesh { " + triangle + " MeshTextureCoords { 2; 0;0;, 1;1;; } } } }", E_FAIL},
      {"Frame A { } Mesh { " + triangle + " MeshNormals { 1; 0;0;1;; 1; 4;0,0,0,0;; } }", E_FAIL},
      {"Mesh { " + triangle + " MeshNormals { 1; 0;0;1;; 1; 3;0,0,1;; } }", E_FAIL},
      {"Mesh { " + triangle + " MeshMaterialList { 1; 1; 1;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }", E_FAIL},
      {"Mesh { " + triangle + " MeshMaterialList { 2; 1; 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }", E_FAIL},
      {"template LongName { <A42790E1-7810-11cf-8F52-0040333594A3> STRING filename; DWORD more; }\n"
       "Mesh { " +
           triangle +
           " MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;;\n"
           "  LongName { \"a.bmp\"; 0; } } } }",
       E_FAIL},
      {"template Material { <3D82AB4D-62DA-11cf-AB39-0020AF71E433> ColorRGBA faceColor; [...] }\n"
       "Mesh { " +
           triangle + " MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; } } }",
       E_FAIL},
      {"Frame { Mesh { " + triangle + " SkinWeights { \"bone\"; 1; 3; 1.0; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; } } }",
       E_FAIL},
      {"Frame { PatchMesh { 0;; 0;; } }", E_NOTIMPL},
      {"Frame { Frame { } ", D3DXFERR_PARSEERROR},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(load(kHeader + c.body + "\n"), c.expected) << c.body;
    EXPECT_EQ(root, nullptr) << c.body;
    EXPECT_TRUE(allocator.balanced()) << c.body;
  }
  EXPECT_EQ(load(kHeader + "Mesh { " + triangle + " " + materialList + " }"), S_OK);  // the good form of the above

  // Bad arguments.
  const std::string good = kHeader + "Frame { }";
  EXPECT_EQ(D3DXLoadMeshHierarchyFromXInMemory(nullptr, 10, 0, device, &allocator, nullptr, &root, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXLoadMeshHierarchyFromXInMemory(good.data(), 0, 0, device, &allocator, nullptr, &root, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXLoadMeshHierarchyFromXInMemory(good.data(), 20, 0, nullptr, &allocator, nullptr, &root, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXLoadMeshHierarchyFromXInMemory(good.data(), 20, 0, device, nullptr, nullptr, &root, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXLoadMeshHierarchyFromXInMemory(good.data(), 20, 0, device, &allocator, nullptr, nullptr, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXFrameDestroy(nullptr, &allocator), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXFrameRegisterNamedMatrices(nullptr, nullptr), D3DERR_INVALIDCALL);
}

// An allocator that refuses its n-th frame or container at every point of a load with
// nested frames, meshes and animation.
TEST_F(LoaderTest, AllocatorFailuresEndTheLoadWithTheirCode) {
  const std::string text = kHeader + "Frame A { Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n" +
                           "  Frame B { Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; } } }\n" +
                           "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n" + "AnimationSet { " +
                           positionKey("B", 10, 1.0f) + " }\n";
  for (int call = 0; call < 6; ++call) {
    for (bool frames : {true, false}) {
      RecordingAllocator failing;
      (frames ? failing.failFrameCall : failing.failContainerCall) = call;
      failing.failure = E_NOTIMPL;
      LPD3DXFRAME tree = nullptr;
      ComPtr<ID3DXAnimationController> animation;
      const HRESULT hr =
          D3DXLoadMeshHierarchyFromXInMemory(text.data(), static_cast<DWORD>(text.size()), D3DXMESH_MANAGED, device,
                                             &failing, nullptr, &tree, animation.receive());
      const int available = frames ? 4 : 3;  // A, B, the mesh's frame, the root / three meshes
      if (call < available) {
        EXPECT_EQ(hr, E_NOTIMPL) << call;
        EXPECT_EQ(tree, nullptr);
        EXPECT_FALSE(animation);
      } else {
        ASSERT_EQ(hr, S_OK) << call;
        EXPECT_TRUE(animation);
        animation.reset();
        EXPECT_EQ(D3DXFrameDestroy(tree, &failing), S_OK);
      }
      EXPECT_TRUE(failing.balanced()) << call << (frames ? " frame" : " container");
    }
  }
}

}  // namespace
}  // namespace hierarchytest
