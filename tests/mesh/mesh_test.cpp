// Meshes on NULLREF devices: buffers, attribute table, cloning, optimisation, adjacency and
// normals, all through the published interface.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "d3d9_test_device.h"
#include "mesh_test_support.h"

namespace {

using meshtest::attributeTable;
using meshtest::makeMesh;
using meshtest::Ptr;
using meshtest::sameRange;

constexpr DWORD kNone = 0xFFFFFFFF;

using MeshTest = meshtest::DeviceTest;

// A row of four unit quads in the z = 0 plane: bottom vertices 0..4 at (x, 0), top vertices
// 5..9 at (x, 1); quad q is the faces 2q (b, t, t + 1) and 2q + 1 (b, t + 1, b + 1).
std::vector<float> stripVertices() {
  std::vector<float> v;
  for (int row = 0; row < 2; ++row)
    for (int x = 0; x <= 4; ++x) v.insert(v.end(), {float(x), float(row), 0.0f});
  return v;
}
std::vector<DWORD> stripIndices() {
  std::vector<DWORD> i;
  for (DWORD q = 0; q < 4; ++q) i.insert(i.end(), {q, 5 + q, 6 + q, q, 6 + q, q + 1});
  return i;
}

TEST_F(MeshTest, CreateMeshFVF_ReportsWhatItWasMadeWith) {
  Ptr<ID3DXMesh> mesh;
  ASSERT_EQ(D3DXCreateMeshFVF(3, 70000, D3DXMESH_MANAGED | D3DXMESH_32BIT, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1,
                              device, mesh.receive()),
            S_OK);
  EXPECT_EQ(mesh->GetNumFaces(), 3u);
  EXPECT_EQ(mesh->GetNumVertices(), 70000u);
  EXPECT_EQ(mesh->GetFVF(), DWORD{D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1});
  EXPECT_EQ(mesh->GetOptions(), DWORD{D3DXMESH_MANAGED | D3DXMESH_32BIT});
  EXPECT_EQ(mesh->GetNumBytesPerVertex(), 32u);
  Ptr<IDirect3DDevice9> owner;
  ASSERT_EQ(mesh->GetDevice(owner.receive()), S_OK);
  EXPECT_EQ(owner.get(), device);
  Ptr<IDirect3DVertexBuffer9> vb;
  ASSERT_EQ(mesh->GetVertexBuffer(vb.receive()), S_OK);
  D3DVERTEXBUFFER_DESC vbDesc;
  ASSERT_EQ(vb->GetDesc(&vbDesc), D3D_OK);
  EXPECT_EQ(vbDesc.Pool, D3DPOOL_MANAGED);
  EXPECT_EQ(vbDesc.Size, 70000u * 32);
  Ptr<IDirect3DIndexBuffer9> ib;
  ASSERT_EQ(mesh->GetIndexBuffer(ib.receive()), S_OK);
  D3DINDEXBUFFER_DESC ibDesc;
  ASSERT_EQ(ib->GetDesc(&ibDesc), D3D_OK);
  EXPECT_EQ(ibDesc.Format, D3DFMT_INDEX32);
  EXPECT_EQ(ibDesc.Pool, D3DPOOL_MANAGED);
  EXPECT_EQ(ibDesc.Size, 3u * 3 * 4);
  // A new mesh is one subset 0 of zeroed faces.
  const auto table = attributeTable(mesh.get());
  ASSERT_EQ(table.size(), 1u);
  EXPECT_TRUE(sameRange(table[0], {0, 0, 3, 0, 1}));
}

TEST_F(MeshTest, CreateMeshFVF_InvalidArgs) {
  Ptr<ID3DXMesh> mesh;
  const DWORD fvf = D3DFVF_XYZ;
  EXPECT_EQ(D3DXCreateMeshFVF(1, 3, D3DXMESH_MANAGED, fvf, nullptr, mesh.receive()), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateMeshFVF(0, 3, D3DXMESH_MANAGED, fvf, device, mesh.receive()), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateMeshFVF(1, 0, D3DXMESH_MANAGED, fvf, device, mesh.receive()), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateMeshFVF(1, 3, D3DXMESH_MANAGED, 0, device, mesh.receive()), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateMeshFVF(1, 3, D3DXMESH_MANAGED, D3DFVF_NORMAL, device, mesh.receive()), D3DERR_INVALIDCALL);
  // 16-bit indices cannot name vertex 65536.
  EXPECT_EQ(D3DXCreateMeshFVF(1, 65536, D3DXMESH_MANAGED, fvf, device, mesh.receive()), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateMeshFVF(1, 3, D3DXMESH_MANAGED | D3DXMESH_VB_SHARE, fvf, device, mesh.receive()),
            D3DERR_INVALIDCALL);
  EXPECT_FALSE(mesh);
  EXPECT_EQ(D3DXCreateMeshFVF(1, 3, D3DXMESH_MANAGED, fvf, device, nullptr), D3DERR_INVALIDCALL);
}

TEST(D3DXGetFVFVertexSize, CountsEveryElement) {
  EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZ), 12u);
  EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1), 32u);
  EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZB3 | D3DFVF_NORMAL | D3DFVF_DIFFUSE), 40u);
  EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR), 24u);
  EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZ | D3DFVF_PSIZE | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE3(1)), 36u);
  EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZ | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE1(0)), 16u);
  EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZW | D3DFVF_NORMAL), 28u);
  EXPECT_EQ(D3DXGetFVFVertexSize(0), 0u);
  EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZ | 0x900), 0u);                   // nine coordinate sets
  EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZ | D3DFVF_LASTBETA_UBYTE4), 0u);  // no weights to be last of
}

TEST_F(MeshTest, AttributeTable_FollowsRunsOfAttributeIdsAndSortsByOptimize) {
  auto mesh = makeMesh(device, D3DFVF_XYZ, D3DXMESH_MANAGED, stripVertices(), stripIndices(), {2, 2, 0, 0, 0, 0, 2, 1});
  auto table = attributeTable(mesh.get());
  ASSERT_EQ(table.size(), 4u);
  EXPECT_TRUE(sameRange(table[0], {2, 0, 2, 0, 7}));
  EXPECT_TRUE(sameRange(table[1], {0, 2, 4, 1, 8}));
  EXPECT_TRUE(sameRange(table[2], {2, 6, 1, 3, 7}));
  EXPECT_TRUE(sameRange(table[3], {1, 7, 1, 3, 7}));

  std::vector<DWORD> adjacency(24), sortedAdjacency(24), faceRemap(8);
  ASSERT_EQ(mesh->GenerateAdjacency(0.0f, adjacency.data()), S_OK);
  Ptr<ID3DXBuffer> vertexRemap;
  ASSERT_EQ(mesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT, adjacency.data(), sortedAdjacency.data(), faceRemap.data(),
                                  vertexRemap.receive()),
            S_OK);
  EXPECT_EQ(faceRemap, (std::vector<DWORD>{2, 3, 4, 5, 7, 0, 1, 6}));
  table = attributeTable(mesh.get());
  ASSERT_EQ(table.size(), 3u);
  EXPECT_TRUE(sameRange(table[0], {0, 0, 4, 1, 8}));
  EXPECT_TRUE(sameRange(table[1], {1, 4, 1, 3, 7}));
  EXPECT_TRUE(sameRange(table[2], {2, 5, 3, 0, 10}));
  ASSERT_EQ(vertexRemap->GetBufferSize(), 10u * 4);  // sorting alone keeps the vertices
  // Old face 1 met old face 2 across its second edge; they are now faces 6 and 0.
  EXPECT_EQ(sortedAdjacency[6 * 3 + 1], 0u);
  EXPECT_EQ(sortedAdjacency[0 * 3 + 0], 6u);
  // The faces moved with their ids.
  DWORD* ids = nullptr;
  ASSERT_EQ(mesh->LockAttributeBuffer(D3DLOCK_READONLY, &ids), S_OK);
  EXPECT_EQ(std::vector<DWORD>(ids, ids + 8), (std::vector<DWORD>{0, 0, 0, 0, 1, 2, 2, 2}));
  mesh->UnlockAttributeBuffer();
}

TEST_F(MeshTest, AttributeTable_SetByTheCallerHoldsUntilTheBuffersAreWritten) {
  auto mesh = makeMesh(device, D3DFVF_XYZ, D3DXMESH_MANAGED, stripVertices(), stripIndices());
  const D3DXATTRIBUTERANGE custom[2] = {{5, 0, 3, 0, 10}, {6, 3, 5, 0, 10}};
  ASSERT_EQ(mesh->SetAttributeTable(custom, 2), S_OK);
  DWORD* ids = nullptr;
  ASSERT_EQ(mesh->LockAttributeBuffer(D3DLOCK_READONLY, &ids), S_OK);
  mesh->UnlockAttributeBuffer();
  EXPECT_EQ(attributeTable(mesh.get()).size(), 2u);
  ASSERT_EQ(mesh->LockAttributeBuffer(0, &ids), S_OK);
  mesh->UnlockAttributeBuffer();
  EXPECT_EQ(attributeTable(mesh.get()).size(), 1u);

  const D3DXATTRIBUTERANGE pastTheFaces = {0, 7, 2, 0, 1};
  const D3DXATTRIBUTERANGE pastTheVertices = {0, 0, 1, 9, 2};
  EXPECT_EQ(mesh->SetAttributeTable(&pastTheFaces, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(mesh->SetAttributeTable(&pastTheVertices, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(mesh->SetAttributeTable(nullptr, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(mesh->UnlockAttributeBuffer(), D3DERR_INVALIDCALL);  // not locked
  EXPECT_EQ(mesh->UnlockIndexBuffer(), D3DERR_INVALIDCALL);
}

TEST_F(MeshTest, DrawSubset_SetsTheMeshStreamsAndLetsTheDeviceCheckIndices) {
  auto mesh = makeMesh(device, D3DFVF_XYZ, D3DXMESH_MANAGED, stripVertices(), stripIndices(), {0, 0, 0, 0, 1, 1, 1, 1});
  EXPECT_EQ(mesh->DrawSubset(0), D3DERR_INVALIDCALL);  // outside a scene
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  EXPECT_EQ(mesh->DrawSubset(1), S_OK);
  EXPECT_EQ(mesh->DrawSubset(7), S_OK);  // no such subset: nothing to draw
  DWORD fvf = 0;
  device->GetFVF(&fvf);
  EXPECT_EQ(fvf, DWORD{D3DFVF_XYZ});
  Ptr<IDirect3DIndexBuffer9> bound, own;
  device->GetIndices(bound.receive());
  mesh->GetIndexBuffer(own.receive());
  EXPECT_EQ(bound.get(), own.get());
  // An index past the vertices makes the subset's draw fail, not read out of bounds.
  void* data = nullptr;
  ASSERT_EQ(mesh->LockIndexBuffer(0, &data), S_OK);
  static_cast<uint16_t*>(data)[13] = 10;
  mesh->UnlockIndexBuffer();
  EXPECT_EQ(mesh->DrawSubset(0), S_OK);
  EXPECT_EQ(mesh->DrawSubset(1), D3DERR_INVALIDCALL);
  device->EndScene();
  device->SetIndices(nullptr);
  device->SetStreamSource(0, nullptr, 0, 0);
}

TEST_F(MeshTest, CloneMeshFVF_KeepsSharedElementsAndZeroesNewOnes) {
  // x y z, normal, u v
  const std::vector<float> vertices = {1, 2, 3,     0, 0, -1, 0.25f, 0.5f, 4, 5, 6,      0,
                                       1, 0, 0.75f, 1, 7, 8,  9,     1,    0, 0, 0.125f, 0.375f};
  auto mesh = makeMesh(device, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, D3DXMESH_MANAGED, vertices, {0, 1, 2}, {3});
  Ptr<ID3DXMesh> clone;
  const DWORD cloneFvf = D3DFVF_XYZB1 | D3DFVF_DIFFUSE | D3DFVF_TEX2;
  ASSERT_EQ(mesh->CloneMeshFVF(D3DXMESH_SYSTEMMEM | D3DXMESH_32BIT, cloneFvf, device, clone.receive()), S_OK);
  EXPECT_EQ(clone->GetFVF(), cloneFvf);
  EXPECT_EQ(clone->GetOptions(), DWORD{D3DXMESH_SYSTEMMEM | D3DXMESH_32BIT});
  ASSERT_EQ(clone->GetNumBytesPerVertex(), 36u);
  struct Cloned {
    float x, y, z, weight;
    D3DCOLOR diffuse;
    float u0, v0, u1, v1;
  };
  Cloned* out = nullptr;
  ASSERT_EQ(clone->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&out)), S_OK);
  for (int v = 0; v < 3; ++v) {
    const float* in = &vertices[v * 8];
    EXPECT_EQ(out[v].x, in[0]);
    EXPECT_EQ(out[v].z, in[2]);
    EXPECT_EQ(out[v].weight, 0.0f);
    EXPECT_EQ(out[v].diffuse, 0u);
    EXPECT_EQ(out[v].u0, in[6]);
    EXPECT_EQ(out[v].v0, in[7]);
    EXPECT_EQ(out[v].u1, 0.0f);
    EXPECT_EQ(out[v].v1, 0.0f);
  }
  clone->UnlockVertexBuffer();
  DWORD* indices = nullptr;
  ASSERT_EQ(clone->LockIndexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&indices)), S_OK);
  EXPECT_EQ(std::vector<DWORD>(indices, indices + 3), (std::vector<DWORD>{0, 1, 2}));
  clone->UnlockIndexBuffer();
  const auto table = attributeTable(clone.get());
  ASSERT_EQ(table.size(), 1u);
  EXPECT_TRUE(sameRange(table[0], {3, 0, 1, 0, 3}));

  EXPECT_EQ(mesh->CloneMeshFVF(D3DXMESH_MANAGED, D3DFVF_XYZ, nullptr, clone.receive()), D3DERR_INVALIDCALL);
  EXPECT_EQ(mesh->CloneMeshFVF(D3DXMESH_MANAGED, 0, device, clone.receive()), D3DERR_INVALIDCALL);
  EXPECT_FALSE(clone);
}

TEST_F(MeshTest, Optimize_CompactDropsUnusedVertices) {
  const std::vector<float> vertices = {0, 0, 0, 0, 1, 0, 9, 9, 9, 1, 1, 0, 1, 0, 0};
  auto mesh = makeMesh(device, D3DFVF_XYZ, D3DXMESH_MANAGED, vertices, {0, 1, 3, 0, 3, 4});
  Ptr<ID3DXMesh> compact;
  Ptr<ID3DXBuffer> vertexRemap;
  ASSERT_EQ(mesh->Optimize(D3DXMESHOPT_COMPACT | D3DXMESH_MANAGED, nullptr, nullptr, nullptr, vertexRemap.receive(),
                           compact.receive()),
            S_OK);
  EXPECT_EQ(mesh->GetNumVertices(), 5u);  // the original is left alone
  ASSERT_EQ(compact->GetNumVertices(), 4u);
  const auto* remap = static_cast<const DWORD*>(vertexRemap->GetBufferPointer());
  EXPECT_EQ(std::vector<DWORD>(remap, remap + 4), (std::vector<DWORD>{0, 1, 3, 4}));
  float* positions = nullptr;
  ASSERT_EQ(compact->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&positions)), S_OK);
  EXPECT_EQ(std::vector<float>(positions, positions + 12), (std::vector<float>{0, 0, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0}));
  compact->UnlockVertexBuffer();
  uint16_t* indices = nullptr;
  ASSERT_EQ(compact->LockIndexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&indices)), S_OK);
  EXPECT_EQ(std::vector<uint16_t>(indices, indices + 6), (std::vector<uint16_t>{0, 1, 2, 0, 2, 3}));
  compact->UnlockIndexBuffer();
  EXPECT_EQ(mesh->OptimizeInplace(0x1, nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(MeshTest, GenerateAdjacency_MatchesEdgesByPositionWithinEpsilon) {
  // Two triangles sharing the edge from (0,0,0) to (0,1,0), each with its own copies of it,
  // the second's copies nudged by 1e-4 along z.
  const std::vector<float> vertices = {0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 1, 1e-4f, 0, 0, 1e-4f, -1, 0, 0};
  auto mesh = makeMesh(device, D3DFVF_XYZ, D3DXMESH_MANAGED, vertices, {0, 1, 2, 3, 4, 5});
  std::vector<DWORD> adjacency(6);
  ASSERT_EQ(mesh->GenerateAdjacency(0.0f, adjacency.data()), S_OK);
  EXPECT_EQ(adjacency, (std::vector<DWORD>(6, kNone)));
  ASSERT_EQ(mesh->GenerateAdjacency(1e-3f, adjacency.data()), S_OK);
  EXPECT_EQ(adjacency, (std::vector<DWORD>{1, kNone, kNone, 0, kNone, kNone}));
  std::vector<DWORD> reps(6);
  ASSERT_EQ(mesh->ConvertAdjacencyToPointReps(adjacency.data(), reps.data()), S_OK);
  EXPECT_EQ(reps, (std::vector<DWORD>{0, 1, 2, 1, 0, 5}));
  std::vector<DWORD> again(6);
  ASSERT_EQ(mesh->ConvertPointRepsToAdjacency(reps.data(), again.data()), S_OK);
  EXPECT_EQ(again, adjacency);
  // Without representatives only shared indices join faces.
  ASSERT_EQ(mesh->ConvertPointRepsToAdjacency(nullptr, again.data()), S_OK);
  EXPECT_EQ(again, (std::vector<DWORD>(6, kNone)));

  EXPECT_EQ(mesh->GenerateAdjacency(-1.0f, adjacency.data()), D3DERR_INVALIDCALL);
  adjacency[0] = 2;  // no face 2
  EXPECT_EQ(mesh->ConvertAdjacencyToPointReps(adjacency.data(), reps.data()), D3DERR_INVALIDCALL);
  reps[3] = 6;
  EXPECT_EQ(mesh->ConvertPointRepsToAdjacency(reps.data(), again.data()), D3DERR_INVALIDCALL);
}

TEST_F(MeshTest, GenerateAdjacency_StripHasInnerEdgesOnly) {
  auto mesh = makeMesh(device, D3DFVF_XYZ, D3DXMESH_MANAGED, stripVertices(), stripIndices());
  std::vector<DWORD> adjacency(24);
  ASSERT_EQ(mesh->GenerateAdjacency(0.0f, adjacency.data()), S_OK);
  EXPECT_EQ(std::vector<DWORD>(adjacency.begin(), adjacency.begin() + 9),
            (std::vector<DWORD>{kNone, kNone, 1, 0, 2, kNone, 1, kNone, 3}));
  EXPECT_EQ(std::vector<DWORD>(adjacency.end() - 3, adjacency.end()), (std::vector<DWORD>{6, kNone, kNone}));
}

struct PositionNormal {
  float x, y, z, nx, ny, nz;
};

std::vector<PositionNormal> readVertices(ID3DXMesh* mesh) {
  PositionNormal* data = nullptr;
  EXPECT_EQ(mesh->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&data)), S_OK);
  std::vector<PositionNormal> copy(data, data + mesh->GetNumVertices());
  mesh->UnlockVertexBuffer();
  return copy;
}

void expectNormal(const PositionNormal& v, float x, float y, float z) {
  EXPECT_NEAR(v.nx, x, 1e-6f);
  EXPECT_NEAR(v.ny, y, 1e-6f);
  EXPECT_NEAR(v.nz, z, 1e-6f);
}

TEST_F(MeshTest, ComputeNormals_WeightsFacesByArea) {
  // Vertex 0 is shared by a triangle of area 2 facing -z and one of area 0.5 facing -x.
  const std::vector<float> vertices = {0, 0, 0, 9, 9, 9, 0, 2, 0, 9, 9, 9, 2, 0, 0,
                                       9, 9, 9, 0, 0, 1, 9, 9, 9, 0, 1, 0, 9, 9, 9};
  auto mesh = makeMesh(device, D3DFVF_XYZ | D3DFVF_NORMAL, D3DXMESH_MANAGED, vertices, {0, 1, 2, 0, 3, 4});
  ASSERT_EQ(D3DXComputeNormals(mesh.get(), nullptr), S_OK);
  const auto v = readVertices(mesh.get());
  const float s = 1 / std::sqrt(17.0f);
  expectNormal(v[0], -s, 0, -4 * s);
  expectNormal(v[1], 0, 0, -1);
  expectNormal(v[3], -1, 0, 0);

  Ptr<ID3DXMesh> noNormals = makeMesh(device, D3DFVF_XYZ, D3DXMESH_MANAGED, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2});
  EXPECT_EQ(D3DXComputeNormals(noNormals.get(), nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXComputeNormals(nullptr, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(MeshTest, ComputeNormals_AdjacencyJoinsSplitVertices) {
  // A fold along the y axis: one triangle faces -z, the other +x, each with its own copies
  // of the fold's two vertices (3 is a copy of 1, 4 of 0).
  const std::vector<float> vertices = {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0,  0, 0, 0,
                                       0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1, 0, 0, 0};
  auto mesh = makeMesh(device, D3DFVF_XYZ | D3DFVF_NORMAL, D3DXMESH_MANAGED, vertices, {0, 1, 2, 3, 4, 5});
  ASSERT_EQ(D3DXComputeNormals(mesh.get(), nullptr), S_OK);
  auto v = readVertices(mesh.get());
  expectNormal(v[0], 0, 0, -1);
  expectNormal(v[4], 1, 0, 0);

  std::vector<DWORD> adjacency(6);
  ASSERT_EQ(mesh->GenerateAdjacency(0.0f, adjacency.data()), S_OK);
  ASSERT_EQ(D3DXComputeNormals(mesh.get(), adjacency.data()), S_OK);
  v = readVertices(mesh.get());
  const float h = 1 / std::sqrt(2.0f);
  for (int i : {0, 1, 3, 4}) expectNormal(v[i], h, 0, -h);
  expectNormal(v[2], 0, 0, -1);
  expectNormal(v[5], 1, 0, 0);
}

}  // namespace
