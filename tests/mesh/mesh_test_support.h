// Meshes written through the published interface, for the tests of the mesh library.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <d3dx9mesh.h>

#include "d3d9_test_device.h"
#include "d3dx_com.h"

namespace meshtest {

template <typename T>
using Ptr = d3dx::ComPtr<T>;

// A mesh whose vertices are the given floats (GetNumBytesPerVertex() / 4 per vertex), with
// three indices and one attribute id per face (attributes empty: all 0).
inline Ptr<ID3DXMesh> makeMesh(IDirect3DDevice9* device, DWORD fvf, DWORD options, const std::vector<float>& vertices,
                               const std::vector<DWORD>& indices, const std::vector<DWORD>& attributes = {}) {
  Ptr<ID3DXMesh> mesh;
  const DWORD stride = D3DXGetFVFVertexSize(fvf);
  const DWORD faces = static_cast<DWORD>(indices.size() / 3);
  EXPECT_EQ(
      D3DXCreateMeshFVF(faces, static_cast<DWORD>(vertices.size() * 4 / stride), options, fvf, device, mesh.receive()),
      S_OK);
  if (!mesh) return mesh;
  void* data = nullptr;
  EXPECT_EQ(mesh->LockVertexBuffer(0, &data), S_OK);
  std::memcpy(data, vertices.data(), vertices.size() * 4);
  mesh->UnlockVertexBuffer();
  EXPECT_EQ(mesh->LockIndexBuffer(0, &data), S_OK);
  for (size_t i = 0; i < indices.size(); ++i) {
    if (options & D3DXMESH_32BIT)
      static_cast<DWORD*>(data)[i] = indices[i];
    else
      static_cast<uint16_t*>(data)[i] = static_cast<uint16_t>(indices[i]);
  }
  EXPECT_EQ(mesh->UnlockIndexBuffer(), S_OK);
  DWORD* ids = nullptr;
  EXPECT_EQ(mesh->LockAttributeBuffer(0, &ids), S_OK);
  for (DWORD f = 0; f < faces; ++f) ids[f] = attributes.empty() ? 0 : attributes[f];
  EXPECT_EQ(mesh->UnlockAttributeBuffer(), S_OK);
  return mesh;
}

inline std::vector<D3DXATTRIBUTERANGE> attributeTable(ID3DXMesh* mesh) {
  DWORD size = 0;
  EXPECT_EQ(mesh->GetAttributeTable(nullptr, &size), S_OK);
  std::vector<D3DXATTRIBUTERANGE> table(size);
  EXPECT_EQ(mesh->GetAttributeTable(table.data(), &size), S_OK);
  return table;
}

inline ::testing::AssertionResult sameRange(const D3DXATTRIBUTERANGE& r, D3DXATTRIBUTERANGE expected) {
  if (r.AttribId == expected.AttribId && r.FaceStart == expected.FaceStart && r.FaceCount == expected.FaceCount &&
      r.VertexStart == expected.VertexStart && r.VertexCount == expected.VertexCount)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "range {" << r.AttribId << ", " << r.FaceStart << ", " << r.FaceCount << ", "
                                       << r.VertexStart << ", " << r.VertexCount << "}";
}

// A NULLREF device for each test; at the end every mesh and skin must have given it back.
class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(d3d9test::createNullRefDevice(64, 64, d3d, device), D3D_OK); }
  void TearDown() override {
    if (device) {
      EXPECT_EQ(device->Release(), 0u);
    }
    if (d3d) d3d->Release();
  }
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;
};

}  // namespace meshtest
