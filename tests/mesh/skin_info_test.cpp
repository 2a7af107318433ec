// Skin information and the conversion to vertex-blended meshes, on a NULLREF device.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "d3d9_test_device.h"
#include "mesh_test_support.h"

namespace {

using meshtest::attributeTable;
using meshtest::makeMesh;
using meshtest::Ptr;
using meshtest::sameRange;

constexpr DWORD kEmpty = 0xFFFFFFFF;

using SkinTest = meshtest::DeviceTest;

Ptr<ID3DXSkinInfo> makeSkin(DWORD vertices, DWORD fvf, DWORD bones) {
  Ptr<ID3DXSkinInfo> skin;
  EXPECT_EQ(D3DXCreateSkinInfoFVF(vertices, fvf, bones, skin.receive()), S_OK);
  return skin;
}

D3DXMATRIX translation(float x, float y, float z) {
  D3DXMATRIX m;
  D3DXMatrixTranslation(&m, x, y, z);
  return m;
}

TEST(SkinInfo, BonesKeepTheirOwnCopiesOfNamesAndOffsets) {
  auto skin = makeSkin(4, D3DFVF_XYZ, 2);
  EXPECT_EQ(skin->GetNumBones(), 2u);
  EXPECT_EQ(skin->GetFVF(), DWORD{D3DFVF_XYZ});
  EXPECT_EQ(skin->GetBoneName(0), nullptr);
  char name[] = "upper_arm";
  ASSERT_EQ(skin->SetBoneName(1, name), S_OK);
  name[0] = 'X';
  EXPECT_STREQ(skin->GetBoneName(1), "upper_arm");
  EXPECT_EQ(skin->GetBoneName(2), nullptr);
  EXPECT_EQ(skin->SetBoneName(2, "x"), D3DERR_INVALIDCALL);
  EXPECT_EQ(skin->SetBoneName(0, nullptr), D3DERR_INVALIDCALL);

  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  ASSERT_NE(skin->GetBoneOffsetMatrix(0), nullptr);
  EXPECT_EQ(std::memcmp(skin->GetBoneOffsetMatrix(0), &identity, sizeof identity), 0);
  const D3DXMATRIX offset = translation(1, 2, 3);
  ASSERT_EQ(skin->SetBoneOffsetMatrix(1, &offset), S_OK);
  EXPECT_EQ(std::memcmp(skin->GetBoneOffsetMatrix(1), &offset, sizeof offset), 0);
  EXPECT_EQ(skin->GetBoneOffsetMatrix(2), nullptr);

  Ptr<ID3DXSkinInfo> copy;
  ASSERT_EQ(skin->Clone(copy.receive()), S_OK);
  skin->SetBoneName(1, "changed");
  EXPECT_STREQ(copy->GetBoneName(1), "upper_arm");
  EXPECT_EQ(std::memcmp(copy->GetBoneOffsetMatrix(1), &offset, sizeof offset), 0);

  EXPECT_EQ(D3DXCreateSkinInfoFVF(4, D3DFVF_XYZRHW, 2, copy.receive()), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateSkinInfoFVF(4, D3DFVF_XYZ, 2, nullptr), D3DERR_INVALIDCALL);
}

TEST(SkinInfo, InfluencesAreCheckedCountedAndRemapped) {
  auto skin = makeSkin(4, D3DFVF_XYZ, 3);
  const DWORD v0[] = {0, 1, 2};
  const float w0[] = {1.0f, 0.5f, 0.05f};
  const DWORD v1[] = {1, 3};
  const float w1[] = {0.5f, 1.0f};
  const DWORD v2[] = {2};
  const float w2[] = {0.95f};
  ASSERT_EQ(skin->SetBoneInfluence(0, 3, v0, w0), S_OK);
  ASSERT_EQ(skin->SetBoneInfluence(1, 2, v1, w1), S_OK);
  ASSERT_EQ(skin->SetBoneInfluence(2, 1, v2, w2), S_OK);
  // A vertex past the mesh is refused and the bone keeps what it had.
  const DWORD outside[] = {0, 4};
  EXPECT_EQ(skin->SetBoneInfluence(1, 2, outside, w1), D3DERR_INVALIDCALL);
  EXPECT_EQ(skin->SetBoneInfluence(3, 1, v2, w2), D3DERR_INVALIDCALL);
  EXPECT_EQ(skin->GetNumBoneInfluences(1), 2u);
  DWORD vertices[2];
  float weights[2];
  ASSERT_EQ(skin->GetBoneInfluence(1, vertices, weights), S_OK);
  EXPECT_EQ(vertices[1], 3u);
  EXPECT_EQ(weights[1], 1.0f);

  DWORD index = 0;
  ASSERT_EQ(skin->FindBoneVertexInfluenceIndex(0, 2, &index), S_OK);
  EXPECT_EQ(index, 2u);
  EXPECT_EQ(skin->FindBoneVertexInfluenceIndex(2, 0, &index), D3DERR_INVALIDCALL);
  ASSERT_EQ(skin->SetBoneVertexInfluence(0, 2, 0.07f), S_OK);
  float weight = 0;
  DWORD vertex = 0;
  ASSERT_EQ(skin->GetBoneVertexInfluence(0, 2, &weight, &vertex), S_OK);
  EXPECT_EQ(weight, 0.07f);
  EXPECT_EQ(vertex, 2u);
  EXPECT_EQ(skin->SetBoneVertexInfluence(0, 3, 1.0f), D3DERR_INVALIDCALL);

  DWORD most = 0;
  ASSERT_EQ(skin->GetMaxVertexInfluences(&most), S_OK);
  EXPECT_EQ(most, 2u);  // vertices 1 and 2
  ASSERT_EQ(skin->SetMinBoneInfluence(0.1f), S_OK);
  EXPECT_EQ(skin->GetMinBoneInfluence(), 0.1f);
  ASSERT_EQ(skin->GetMaxVertexInfluences(&most), S_OK);
  EXPECT_EQ(most, 2u);  // vertex 2's light touch of bone 0 no longer counts; vertex 1 remains
  EXPECT_EQ(skin->SetMinBoneInfluence(-1.0f), D3DERR_INVALIDCALL);

  // New vertices 0 and 2 are copies of old vertex 1, new 1 of old 3; old 0 and 2 are gone.
  DWORD remap[] = {1, 3, 1};
  ASSERT_EQ(skin->Remap(3, remap), S_OK);
  ASSERT_EQ(skin->GetNumBoneInfluences(0), 2u);
  ASSERT_EQ(skin->GetBoneInfluence(0, vertices, weights), S_OK);
  EXPECT_EQ(vertices[0], 0u);
  EXPECT_EQ(vertices[1], 2u);
  EXPECT_EQ(weights[0], 0.5f);
  EXPECT_EQ(skin->GetNumBoneInfluences(1), 3u);
  EXPECT_EQ(skin->GetNumBoneInfluences(2), 0u);
  DWORD badRemap[] = {4};
  EXPECT_EQ(skin->Remap(1, badRemap), D3DERR_INVALIDCALL);
}

// The row of quads of the mesh tests: bottom vertices 0..4 at x = 0..4, top 5..9; quad q is
// faces 2q and 2q + 1. Column x is moved by bone 0 at x 0, bones 0 and 1 at x 1, bone 1 at
// x 2, bones 1 and 2 at x 3 and bone 2 at x 4; so quads 0 and 1 need bones {0, 1}, quads 2
// and 3 bones {1, 2}.
Ptr<ID3DXMesh> strip(IDirect3DDevice9* device, const std::vector<DWORD>& attributes) {
  std::vector<float> v;
  for (int row = 0; row < 2; ++row)
    for (int x = 0; x <= 4; ++x) v.insert(v.end(), {float(x), float(row), 0.0f, 0, 0, -1, x / 4.0f, float(row)});
  std::vector<DWORD> i;
  for (DWORD q = 0; q < 4; ++q) i.insert(i.end(), {q, 5 + q, 6 + q, q, 6 + q, q + 1});
  return makeMesh(device, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, D3DXMESH_MANAGED, v, i, attributes);
}

Ptr<ID3DXSkinInfo> stripSkin() {
  auto skin = makeSkin(10, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, 3);
  const DWORD v0[] = {0, 5, 1, 6};
  const float w0[] = {1, 1, 0.25f, 0.25f};
  const DWORD v1[] = {1, 6, 2, 7, 3, 8};
  const float w1[] = {0.75f, 0.75f, 1, 1, 0.5f, 0.5f};
  const DWORD v2[] = {3, 8, 4, 9};
  const float w2[] = {0.5f, 0.5f, 1, 1};
  skin->SetBoneInfluence(0, 4, v0, w0);
  skin->SetBoneInfluence(1, 6, v1, w1);
  skin->SetBoneInfluence(2, 4, v2, w2);
  return skin;
}

struct Blended {
  Ptr<ID3DXMesh> mesh;
  Ptr<ID3DXBuffer> combinations;
  Ptr<ID3DXBuffer> vertexRemap;
  DWORD maxFaceInfluences = 0;
  DWORD count = 0;
  std::vector<DWORD> faceRemap;
  const D3DXBONECOMBINATION* table() const {
    return static_cast<const D3DXBONECOMBINATION*>(combinations->GetBufferPointer());
  }
};

Blended convert(ID3DXSkinInfo* skin, ID3DXMesh* mesh, const DWORD* adjacencyIn = nullptr,
                DWORD* adjacencyOut = nullptr) {
  Blended b;
  b.faceRemap.resize(mesh->GetNumFaces());
  EXPECT_EQ(skin->ConvertToBlendedMesh(mesh, D3DXMESH_MANAGED | D3DXMESHOPT_VERTEXCACHE, adjacencyIn, adjacencyOut,
                                       b.faceRemap.data(), b.vertexRemap.receive(), &b.maxFaceInfluences, &b.count,
                                       b.combinations.receive(), b.mesh.receive()),
            S_OK);
  return b;
}

// Every bone's weight on every vertex copy, as the device will blend it: the stored weights
// for the first slots and the remainder for the last used one.
std::map<DWORD, float> blendWeights(const Blended& b, DWORD combination, const BYTE* vertex) {
  const D3DXBONECOMBINATION& c = b.table()[combination];
  std::map<DWORD, float> weights;
  DWORD used = 0;
  while (used < b.maxFaceInfluences && c.BoneId[used] != kEmpty) ++used;
  float rest = 1;
  for (DWORD j = 0; j + 1 < used; ++j) {
    float w;
    std::memcpy(&w, vertex + 12 + 4 * j, 4);
    weights[c.BoneId[j]] = w;
    rest -= w;
  }
  if (used > 0) weights[c.BoneId[used - 1]] = rest;
  return weights;
}

TEST_F(SkinTest, ConvertToBlendedMesh_GroupsFacesByAttributeAndBoneSet) {
  // Quad 0 is material 1, the rest material 0.
  auto mesh = strip(device, {1, 1, 0, 0, 0, 0, 0, 0});
  auto skin = stripSkin();
  std::vector<DWORD> adjacency(24), blendedAdjacency(24);
  ASSERT_EQ(mesh->GenerateAdjacency(0.0f, adjacency.data()), S_OK);
  const Blended b = convert(skin.get(), mesh.get(), adjacency.data(), blendedAdjacency.data());
  ASSERT_TRUE(b.mesh);

  EXPECT_EQ(b.maxFaceInfluences, 2u);
  EXPECT_EQ(b.mesh->GetFVF(), DWORD{D3DFVF_XYZB1 | D3DFVF_NORMAL | D3DFVF_TEX1});
  EXPECT_EQ(b.mesh->GetOptions(), DWORD{D3DXMESH_MANAGED});
  // Material 0: quad 1 ({0, 1}), then quads 2 and 3 ({1, 2}); material 1: quad 0 ({0, 1}).
  ASSERT_EQ(b.count, 3u);
  const D3DXBONECOMBINATION* t = b.table();
  EXPECT_EQ(t[0].AttribId, 0u);
  EXPECT_EQ(t[1].AttribId, 0u);
  EXPECT_EQ(t[2].AttribId, 1u);
  EXPECT_EQ(std::vector<DWORD>(t[0].BoneId, t[0].BoneId + 2), (std::vector<DWORD>{0, 1}));
  EXPECT_EQ(std::vector<DWORD>(t[1].BoneId, t[1].BoneId + 2), (std::vector<DWORD>{1, 2}));
  EXPECT_EQ(std::vector<DWORD>(t[2].BoneId, t[2].BoneId + 2), (std::vector<DWORD>{0, 1}));
  EXPECT_EQ(b.faceRemap, (std::vector<DWORD>{2, 3, 4, 5, 6, 7, 0, 1}));
  // Old face 1 met old face 2 across its second edge; they are now faces 7 and 0.
  EXPECT_EQ(blendedAdjacency[7 * 3 + 1], 0u);
  EXPECT_EQ(blendedAdjacency[0 * 3 + 0], 7u);

  // Subset k of the new mesh is combination k.
  const auto subsets = attributeTable(b.mesh.get());
  ASSERT_EQ(subsets.size(), 3u);
  for (DWORD k = 0; k < 3; ++k)
    EXPECT_TRUE(sameRange(subsets[k], {k, t[k].FaceStart, t[k].FaceCount, t[k].VertexStart, t[k].VertexCount}));
  EXPECT_TRUE(sameRange(subsets[0], {0, 0, 2, 0, 4}));
  EXPECT_TRUE(sameRange(subsets[1], {1, 2, 4, 4, 6}));
  EXPECT_TRUE(sameRange(subsets[2], {2, 6, 2, 10, 4}));

  // Each vertex copy keeps its data and blends its bones as the skin says, normalised.
  ASSERT_EQ(b.vertexRemap->GetBufferSize(), 14u * 4);
  const auto* remap = static_cast<const DWORD*>(b.vertexRemap->GetBufferPointer());
  const std::map<DWORD, float> expected[5] = {
      {{0, 1.0f}}, {{0, 0.25f}, {1, 0.75f}}, {{1, 1.0f}}, {{1, 0.5f}, {2, 0.5f}}, {{2, 1.0f}}};
  BYTE* vertices = nullptr;
  ASSERT_EQ(b.mesh->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&vertices)), S_OK);
  const DWORD stride = b.mesh->GetNumBytesPerVertex();
  for (DWORD k = 0; k < b.count; ++k)
    for (DWORD v = t[k].VertexStart; v < t[k].VertexStart + t[k].VertexCount; ++v) {
      const BYTE* vertex = vertices + v * stride;
      const DWORD column = remap[v] % 5;
      float position[3], uv[2];
      std::memcpy(position, vertex, 12);
      std::memcpy(uv, vertex + 28, 8);
      EXPECT_EQ(position[0], float(column));
      EXPECT_EQ(position[1], float(remap[v] / 5));
      EXPECT_EQ(uv[0], column / 4.0f);
      const auto weights = blendWeights(b, k, vertex);
      for (const auto& [bone, w] : expected[column]) EXPECT_FLOAT_EQ(weights.at(bone), w) << "vertex " << v;
      for (const auto& [bone, w] : weights)
        if (!expected[column].count(bone)) {
          EXPECT_FLOAT_EQ(w, 0.0f) << "vertex " << v << " bone " << bone;
        }
    }
  b.mesh->UnlockVertexBuffer();
}

TEST_F(SkinTest, ConvertToBlendedMesh_KeepsTheFourStrongestBonesOfAFace) {
  auto mesh = makeMesh(device, D3DFVF_XYZ, D3DXMESH_MANAGED, {0, 0, 0, 0, 1, 0, 1, 0, 0}, {0, 1, 2});
  auto skin = makeSkin(3, D3DFVF_XYZ, 5);
  // Bone 3 is the weakest on the face; vertex 0 keeps bones 0 and 4 (0.4 and 0.4 of its 0.9).
  const DWORD all[] = {0, 1, 2};
  const float strong[] = {0.5f, 0.5f, 0.5f}, weak[] = {0.1f, 0.05f, 0.05f}, medium[] = {0.4f, 0.45f, 0.45f};
  skin->SetBoneInfluence(0, 1, all, medium);
  skin->SetBoneInfluence(1, 2, all + 1, strong);
  skin->SetBoneInfluence(2, 2, all + 1, medium);
  skin->SetBoneInfluence(3, 3, all, weak);
  skin->SetBoneInfluence(4, 1, all, strong);
  DWORD faceMost = 0;
  Ptr<IDirect3DIndexBuffer9> ib;
  mesh->GetIndexBuffer(ib.receive());
  ASSERT_EQ(skin->GetMaxFaceInfluences(ib.get(), 1, &faceMost), S_OK);
  EXPECT_EQ(faceMost, 5u);
  EXPECT_EQ(skin->GetMaxFaceInfluences(ib.get(), 2, &faceMost), D3DERR_INVALIDCALL);  // one face only

  const Blended b = convert(skin.get(), mesh.get());
  ASSERT_TRUE(b.mesh);
  EXPECT_EQ(b.maxFaceInfluences, 4u);
  EXPECT_EQ(b.mesh->GetFVF(), DWORD{D3DFVF_XYZB3});
  ASSERT_EQ(b.count, 1u);
  EXPECT_EQ(std::vector<DWORD>(b.table()[0].BoneId, b.table()[0].BoneId + 4), (std::vector<DWORD>{0, 1, 2, 4}));
  BYTE* vertices = nullptr;
  ASSERT_EQ(b.mesh->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&vertices)), S_OK);
  const auto weights = blendWeights(b, 0, vertices);  // copy of vertex 0
  b.mesh->UnlockVertexBuffer();
  EXPECT_FLOAT_EQ(weights.at(0), 0.4f / 0.9f);
  EXPECT_FLOAT_EQ(weights.at(4), 0.5f / 0.9f);
  EXPECT_FLOAT_EQ(weights.at(1), 0.0f);
}

TEST_F(SkinTest, ConvertToBlendedMesh_BlendsLikeSoftwareSkinning) {
  auto mesh = strip(device, {});
  auto skin = stripSkin();
  const D3DXMATRIX offsets[3] = {translation(0, 0, 0), translation(-2, 0, 0), translation(-4, 0, 0)};
  const D3DXMATRIX poses[3] = {translation(0, 0, 0), translation(2, 1, 0), translation(4, 3, 1)};
  D3DXMATRIX transforms[3];
  for (DWORD bone = 0; bone < 3; ++bone) {
    skin->SetBoneOffsetMatrix(bone, &offsets[bone]);
    D3DXMatrixMultiply(&transforms[bone], skin->GetBoneOffsetMatrix(bone), &poses[bone]);
  }
  const Blended b = convert(skin.get(), mesh.get());
  ASSERT_TRUE(b.mesh);

  std::vector<BYTE> skinned(10 * 32);
  void* source = nullptr;
  ASSERT_EQ(mesh->LockVertexBuffer(D3DLOCK_READONLY, &source), S_OK);
  ASSERT_EQ(skin->UpdateSkinnedMesh(transforms, nullptr, source, skinned.data()), S_OK);
  mesh->UnlockVertexBuffer();
  // The top of column 3 is half bone 1 (+1 up) and half bone 2 (+3 up, +1 deep).
  float top3[3];
  std::memcpy(top3, &skinned[8 * 32], 12);
  EXPECT_FLOAT_EQ(top3[1], 1 + 2.0f);
  EXPECT_FLOAT_EQ(top3[2], 0.5f);

  const auto* remap = static_cast<const DWORD*>(b.vertexRemap->GetBufferPointer());
  BYTE* vertices = nullptr;
  ASSERT_EQ(b.mesh->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&vertices)), S_OK);
  const DWORD stride = b.mesh->GetNumBytesPerVertex();
  for (DWORD k = 0; k < b.count; ++k)
    for (DWORD v = b.table()[k].VertexStart; v < b.table()[k].VertexStart + b.table()[k].VertexCount; ++v) {
      D3DXVECTOR3 p, blended(0, 0, 0), moved;
      std::memcpy(&p, vertices + v * stride, 12);
      for (const auto& [bone, w] : blendWeights(b, k, vertices + v * stride)) {
        D3DXVec3TransformCoord(&moved, &p, &transforms[bone]);
        blended = D3DXVECTOR3(blended.x + w * moved.x, blended.y + w * moved.y, blended.z + w * moved.z);
      }
      float expected[3];
      std::memcpy(expected, &skinned[remap[v] * 32], 12);
      EXPECT_NEAR(blended.x, expected[0], 1e-5f) << "vertex " << v;
      EXPECT_NEAR(blended.y, expected[1], 1e-5f) << "vertex " << v;
      EXPECT_NEAR(blended.z, expected[2], 1e-5f) << "vertex " << v;
    }
  b.mesh->UnlockVertexBuffer();
}

TEST_F(SkinTest, ConvertToBlendedMesh_InvalidArgs) {
  auto mesh = strip(device, {});
  auto skin = makeSkin(9, D3DFVF_XYZ, 1);  // one vertex short of the mesh
  Blended b;
  EXPECT_EQ(skin->ConvertToBlendedMesh(mesh.get(), D3DXMESH_MANAGED, nullptr, nullptr, nullptr, nullptr,
                                       &b.maxFaceInfluences, &b.count, b.combinations.receive(), b.mesh.receive()),
            D3DERR_INVALIDCALL);
  auto fits = stripSkin();
  EXPECT_EQ(fits->ConvertToBlendedMesh(nullptr, D3DXMESH_MANAGED, nullptr, nullptr, nullptr, nullptr,
                                       &b.maxFaceInfluences, &b.count, b.combinations.receive(), b.mesh.receive()),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(fits->ConvertToBlendedMesh(mesh.get(), D3DXMESH_MANAGED, nullptr, nullptr, nullptr, nullptr,
                                       &b.maxFaceInfluences, &b.count, b.combinations.receive(), nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_FALSE(b.mesh);
  EXPECT_FALSE(b.combinations);
}

}  // namespace
