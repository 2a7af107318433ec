// An allocation object for the loader tests: keeps copies of what the loader hands over,
// counts every create and destroy call, and can be told to fail a given call.
#pragma once

#include <gtest/gtest.h>

#include <d3dx9hierarchy.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "d3d9_test_device.h"
#include "d3dx_com.h"

namespace hierarchytest {

using d3dx::ComPtr;

struct Container : D3DXMESHCONTAINER {
  std::optional<std::string> name;
  std::vector<D3DXMATERIAL> materials;
  std::vector<std::optional<std::string>> textures;
  std::vector<std::vector<std::string>> effectParameters;  // per material
  std::vector<DWORD> adjacency;
};

struct Frame : D3DXFRAME {
  std::optional<std::string> name;
};

class RecordingAllocator : public ID3DXAllocateHierarchy {
 public:
  int framesMade = 0, framesFreed = 0, containersMade = 0, containersFreed = 0;
  int failFrameCall = -1;      // 0-based CreateFrame call that fails, -1 for none
  int failContainerCall = -1;  // likewise for CreateMeshContainer
  HRESULT failure = E_OUTOFMEMORY;

  bool balanced() const { return framesMade == framesFreed && containersMade == containersFreed; }

  HRESULT STDMETHODCALLTYPE CreateFrame(LPCSTR name, LPD3DXFRAME* out) override {
    *out = nullptr;
    if (m_frameCalls++ == failFrameCall) return failure;
    auto* f = new Frame{};
    if (name) f->name = name;
    f->Name = f->name ? f->name->data() : nullptr;
    D3DXMatrixIdentity(&f->TransformationMatrix);
    ++framesMade;
    *out = f;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* data, const D3DXMATERIAL* materials,
                                                const D3DXEFFECTINSTANCE* effects, DWORD numMaterials,
                                                const DWORD* adjacency, LPD3DXSKININFO skin,
                                                LPD3DXMESHCONTAINER* out) override {
    *out = nullptr;
    if (m_containerCalls++ == failContainerCall) return failure;
    auto* c = new Container{};
    if (name) c->name = name;
    c->Name = c->name ? c->name->data() : nullptr;
    c->MeshData = *data;
    c->MeshData.pMesh->AddRef();
    for (DWORD i = 0; i < numMaterials; ++i) {
      c->materials.push_back(materials[i]);
      c->textures.push_back(materials[i].pTextureFilename ? std::optional<std::string>(materials[i].pTextureFilename)
                                                          : std::nullopt);
      std::vector<std::string> parameters;
      for (DWORD d = 0; effects && d < effects[i].NumDefaults; ++d)
        parameters.push_back(effects[i].pDefaults[d].pParamName);
      c->effectParameters.push_back(parameters);
    }
    c->NumMaterials = numMaterials;
    c->adjacency.assign(adjacency, adjacency + 3 * data->pMesh->GetNumFaces());
    c->pAdjacency = c->adjacency.data();
    c->pSkinInfo = skin;
    if (skin) skin->AddRef();
    ++containersMade;
    *out = c;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE DestroyFrame(LPD3DXFRAME frame) override {
    ++framesFreed;
    delete static_cast<Frame*>(frame);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE DestroyMeshContainer(LPD3DXMESHCONTAINER container) override {
    ++containersFreed;
    auto* c = static_cast<Container*>(container);
    c->MeshData.pMesh->Release();
    if (c->pSkinInfo) c->pSkinInfo->Release();
    delete c;
    return S_OK;
  }

 private:
  int m_frameCalls = 0;
  int m_containerCalls = 0;
};

inline Container* containerOf(const D3DXFRAME* frame) { return static_cast<Container*>(frame->pMeshContainer); }

// Faces per attribute id, over the mesh's attribute buffer.
inline std::vector<DWORD> facesPerAttribute(ID3DXMesh* mesh) {
  std::vector<DWORD> counts;
  DWORD* ids = nullptr;
  if (FAILED(mesh->LockAttributeBuffer(D3DLOCK_READONLY, &ids))) return counts;
  for (DWORD f = 0; f < mesh->GetNumFaces(); ++f) {
    if (ids[f] >= counts.size()) counts.resize(ids[f] + 1);
    ++counts[ids[f]];
  }
  mesh->UnlockAttributeBuffer();
  return counts;
}

// A NULLREF device and the allocator, with the loaded tree destroyed at the end and every
// record checked to have been freed.
class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(d3d9test::createNullRefDevice(64, 64, d3d, device), D3D_OK); }
  void TearDown() override {
    controller.reset();
    if (root) {
      EXPECT_EQ(D3DXFrameDestroy(root, &allocator), S_OK);
    }
    EXPECT_TRUE(allocator.balanced());
    if (device) {
      EXPECT_EQ(device->Release(), 0u);  // every mesh gave its device back
    }
    if (d3d) d3d->Release();
  }

  HRESULT load(const void* data, size_t size, DWORD options = D3DXMESH_MANAGED) {
    if (root) D3DXFrameDestroy(root, &allocator);
    root = nullptr;
    return D3DXLoadMeshHierarchyFromXInMemory(data, static_cast<DWORD>(size), options, device, &allocator, nullptr,
                                              &root, controller.receive());
  }
  HRESULT load(const std::string& text) { return load(text.data(), text.size()); }

  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;
  RecordingAllocator allocator;
  LPD3DXFRAME root = nullptr;
  ComPtr<ID3DXAnimationController> controller;
};

}  // namespace hierarchytest
