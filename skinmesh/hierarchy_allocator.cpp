#include "hierarchy_allocator.h"

#include <algorithm>
#include <cstring>
#include <new>

#include <d3dx9tex.h>
#include <d3dx_com.h>

namespace {

// A copy of the name for a record that outlives the loader's call; null stays null. False
// when the copy cannot be allocated.
bool copyName(LPCSTR name, LPSTR* copy) {
  *copy = nullptr;
  if (name == nullptr) return true;
  const size_t length = std::strlen(name) + 1;
  *copy = new (std::nothrow) char[length];
  if (*copy == nullptr) return false;
  std::memcpy(*copy, name, length);
  return true;
}

template <typename T>
void releaseAndClear(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

// What a mesh without materials is drawn with: mid grey.
D3DXMATERIAL defaultMaterial() {
  D3DXMATERIAL material{};
  material.MatD3D.Diffuse = {0.5f, 0.5f, 0.5f, 0.0f};
  material.MatD3D.Specular = material.MatD3D.Diffuse;
  return material;
}

}  // namespace

HRESULT HierarchyAllocator::CreateFrame(LPCSTR name, LPD3DXFRAME* newFrame) {
  *newFrame = nullptr;
  auto* frame = new (std::nothrow) HierarchyFrame{};
  if (frame == nullptr) return E_OUTOFMEMORY;
  if (!copyName(name, &frame->Name)) {
    delete frame;
    return E_OUTOFMEMORY;
  }
  D3DXMatrixIdentity(&frame->TransformationMatrix);
  D3DXMatrixIdentity(&frame->combinedTransform);
  frame->pMeshContainer = nullptr;
  frame->pFrameSibling = nullptr;
  frame->pFrameFirstChild = nullptr;
  *newFrame = frame;
  return S_OK;
}

HRESULT HierarchyAllocator::CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* meshData,
                                                const D3DXMATERIAL* materials, const D3DXEFFECTINSTANCE*,
                                                DWORD numMaterials, const DWORD* adjacency, LPD3DXSKININFO skinInfo,
                                                LPD3DXMESHCONTAINER* newMeshContainer) {
  *newMeshContainer = nullptr;
  // Progressive and patch meshes are not drawn by this object; nothing is allocated yet.
  if (meshData->Type != D3DXMESHTYPE_MESH) return E_FAIL;
  ID3DXMesh* mesh = meshData->pMesh;
  if (mesh->GetFVF() == 0) return E_FAIL;

  auto* container = new (std::nothrow) SkinMeshContainer{};
  if (container == nullptr) return E_OUTOFMEMORY;
  HRESULT result = copyName(name, &container->Name) ? S_OK : E_OUTOFMEMORY;
  if (SUCCEEDED(result)) result = fillMeshContainer(container, mesh, materials, numMaterials, adjacency, skinInfo);
  if (FAILED(result)) {
    DestroyMeshContainer(container);
    return result;
  }
  *newMeshContainer = container;
  return S_OK;
}

HRESULT HierarchyAllocator::fillMeshContainer(SkinMeshContainer* container, ID3DXMesh* mesh,
                                              const D3DXMATERIAL* materials, DWORD numMaterials, const DWORD* adjacency,
                                              ID3DXSkinInfo* skinInfo) {
  d3dx::ComPtr<IDirect3DDevice9> device;
  mesh->GetDevice(device.receive());
  const DWORD faceCount = mesh->GetNumFaces();

  // Lighting needs normals: a mesh without them is drawn from a copy that has them.
  container->MeshData.Type = D3DXMESHTYPE_MESH;
  if ((mesh->GetFVF() & D3DFVF_NORMAL) == 0) {
    const HRESULT cloned = mesh->CloneMeshFVF(mesh->GetOptions(), mesh->GetFVF() | D3DFVF_NORMAL, device.get(),
                                              &container->MeshData.pMesh);
    if (FAILED(cloned)) return cloned;
    D3DXComputeNormals(container->MeshData.pMesh, nullptr);
  } else {
    mesh->AddRef();
    container->MeshData.pMesh = mesh;
  }
  ID3DXMesh* workingMesh = container->MeshData.pMesh;

  container->NumMaterials = std::max<DWORD>(numMaterials, 1);
  container->pMaterials = new (std::nothrow) D3DXMATERIAL[container->NumMaterials]();
  container->textures = new (std::nothrow) IDirect3DTexture9*[container->NumMaterials]();
  container->pAdjacency = new (std::nothrow) DWORD[3 * faceCount];
  if (container->pAdjacency == nullptr || container->pMaterials == nullptr || container->textures == nullptr)
    return E_OUTOFMEMORY;
  std::memcpy(container->pAdjacency, adjacency, 3 * faceCount * sizeof(DWORD));

  if (numMaterials > 0) {
    std::copy_n(materials, numMaterials, container->pMaterials);
    for (DWORD i = 0; i < numMaterials; ++i) {
      const char* textureName = container->pMaterials[i].pTextureFilename;
      // The name belongs to the loader; a texture that cannot be made leaves the material
      // untextured.
      container->pMaterials[i].pTextureFilename = nullptr;
      if (textureName == nullptr) continue;
      if (m_dynamicTextures)
        D3DXCreateTextureFromResourceExA(device.get(), nullptr, textureName, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                         D3DUSAGE_DYNAMIC, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                         0, nullptr, nullptr, &container->textures[i]);
      else
        D3DXCreateTextureFromResourceA(device.get(), nullptr, textureName, &container->textures[i]);
    }
  } else {
    container->pMaterials[0] = defaultMaterial();
  }

  if (skinInfo == nullptr) return S_OK;
  skinInfo->AddRef();
  container->pSkinInfo = skinInfo;
  workingMesh->AddRef();
  container->sourceMesh = workingMesh;
  const DWORD boneCount = skinInfo->GetNumBones();
  container->boneOffsets = new (std::nothrow) D3DXMATRIX[boneCount];
  if (container->boneOffsets == nullptr) return E_OUTOFMEMORY;
  for (DWORD bone = 0; bone < boneCount; ++bone) container->boneOffsets[bone] = *skinInfo->GetBoneOffsetMatrix(bone);
  return m_owner->generateSkinnedMesh(container);
}

HRESULT HierarchyAllocator::DestroyFrame(LPD3DXFRAME frame) {
  delete[] frame->Name;
  delete static_cast<HierarchyFrame*>(frame);
  return S_OK;
}

HRESULT HierarchyAllocator::DestroyMeshContainer(LPD3DXMESHCONTAINER meshContainer) {
  auto* container = static_cast<SkinMeshContainer*>(meshContainer);
  delete[] container->Name;
  delete[] container->pAdjacency;
  delete[] container->pMaterials;
  delete[] container->boneOffsets;
  if (container->textures != nullptr)
    for (DWORD i = 0; i < container->NumMaterials; ++i) releaseAndClear(container->textures[i]);
  delete[] container->textures;
  delete[] container->boneMatrices;
  releaseAndClear(container->boneCombinations);
  releaseAndClear(container->MeshData.pMesh);
  releaseAndClear(container->pSkinInfo);
  releaseAndClear(container->sourceMesh);
  delete container;
  return S_OK;
}
