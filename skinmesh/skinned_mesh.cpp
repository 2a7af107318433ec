#include "skinned_mesh.h"

#include <string>

#include "hierarchy_allocator.h"
#include "resource_data.h"
#include "shell.h"

namespace {

constexpr DWORD kEmptyBoneSlot = 0xFFFFFFFF;
constexpr DWORD kNoAttribute = 0xFFFFFFFF;

// Every subset is drawn in plain white: the look comes from the textures and the light.
D3DMATERIAL9 drawMaterial() {
  D3DMATERIAL9 material{};
  material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
  material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
  material.Specular = {1.0f, 1.0f, 1.0f, 0.0f};
  material.Emissive = {0.0f, 0.0f, 0.0f, 0.0f};
  material.Power = 1.0f;
  return material;
}

// The highest used bone slot of a combination, which is the vertex-blend setting it needs
// (0 when no slot is used).
DWORD blendOf(const D3DXBONECOMBINATION& combination, DWORD maxFaceInfluences) {
  DWORD blend = 0;
  for (DWORD slot = 0; slot < maxFaceInfluences; ++slot)
    if (combination.BoneId[slot] != kEmptyBoneSlot) blend = slot;
  return blend;
}

}  // namespace

SkinnedMesh::SkinnedMesh(IDirect3DDevice9* device) : m_device(device) {}

SkinnedMesh::~SkinnedMesh() { release(); }

HRESULT SkinnedMesh::load(const char* resourceName, bool dynamicTextures) {
  HierarchyAllocator allocator(dynamicTextures, this);
  m_device->GetDeviceCaps(&m_deviceCaps);
  // A missing resource reaches the loader as no bytes at all, which it rejects.
  ResourceData resource;
  resource.fromResource(resourceName, "X");
  const HRESULT loaded = D3DXLoadMeshHierarchyFromXInMemory(
      resource.data, resource.data ? resource.size : 0, D3DXMESH_MANAGED, m_device, &allocator, nullptr,
      reinterpret_cast<LPD3DXFRAME*>(&m_rootFrame), &m_animationController);
  if (FAILED(loaded)) {
    // "/n" is the message's own text, not a line break.
    const std::string message = std::string("Failed to load skin mesh from resource!/n ") + resourceName;
    fatalError(message.c_str());
  }
  return setupBoneMatrixPointers(m_rootFrame);
}

void SkinnedMesh::release() {
  if (m_rootFrame != nullptr) {
    HierarchyAllocator allocator(false, this);
    D3DXFrameDestroy(m_rootFrame, &allocator);
    m_rootFrame = nullptr;
  }
  if (m_animationController != nullptr) {
    m_animationController->Release();
    m_animationController = nullptr;
  }
}

IDirect3DTexture9* SkinnedMesh::textureAt(UINT index) const {
  if (m_rootFrame == nullptr || m_rootFrame->pMeshContainer == nullptr) return nullptr;
  const auto* container = static_cast<const SkinMeshContainer*>(m_rootFrame->pMeshContainer);
  if (index >= container->NumMaterials) return nullptr;
  return container->textures[index];
}

HRESULT SkinnedMesh::generateSkinnedMesh(SkinMeshContainer* container) const {
  if (container->pSkinInfo == nullptr) return S_OK;
  if (container->MeshData.pMesh != nullptr) container->MeshData.pMesh->Release();
  container->MeshData.pMesh = nullptr;
  if (container->boneCombinations != nullptr) container->boneCombinations->Release();
  container->boneCombinations = nullptr;

  const HRESULT result = container->pSkinInfo->ConvertToBlendedMesh(
      container->sourceMesh, D3DXMESH_MANAGED | D3DXMESHOPT_VERTEXCACHE, container->pAdjacency, nullptr, nullptr,
      nullptr, &container->maxFaceInfluences, &container->boneCombinationCount, &container->boneCombinations,
      &container->MeshData.pMesh);
  if (FAILED(result)) return result;

  // The combinations from the first one that needs more matrices than the device blends
  // are drawn in a second, software pass.
  const auto* combinations = static_cast<const D3DXBONECOMBINATION*>(container->boneCombinations->GetBufferPointer());
  container->firstSoftwareCombination = container->boneCombinationCount;
  for (DWORD k = 0; k < container->boneCombinationCount; ++k) {
    DWORD used = 0;
    for (DWORD slot = 0; slot < container->maxFaceInfluences; ++slot)
      if (combinations[k].BoneId[slot] != kEmptyBoneSlot) ++used;
    if (used > m_deviceCaps.MaxVertexBlendMatrices) {
      container->firstSoftwareCombination = k;
      break;
    }
  }
  return result;
}

HRESULT SkinnedMesh::setupBoneMatrixPointers(D3DXFRAME* frame) {
  // Every container of a frame's chain gets its bone table, so that a skinned mesh later
  // in a chain draws as well as the first.
  for (D3DXMESHCONTAINER* container = frame->pMeshContainer; container != nullptr;
       container = container->pNextMeshContainer) {
    const HRESULT result = setupBoneMatrixPointersOnMesh(static_cast<SkinMeshContainer*>(container));
    if (FAILED(result)) return result;
  }
  if (frame->pFrameSibling != nullptr) {
    const HRESULT result = setupBoneMatrixPointers(frame->pFrameSibling);
    if (FAILED(result)) return result;
  }
  if (frame->pFrameFirstChild != nullptr) {
    const HRESULT result = setupBoneMatrixPointers(frame->pFrameFirstChild);
    if (FAILED(result)) return result;
  }
  return S_OK;
}

HRESULT SkinnedMesh::setupBoneMatrixPointersOnMesh(SkinMeshContainer* container) {
  if (container->pSkinInfo == nullptr) return S_OK;
  const DWORD boneCount = container->pSkinInfo->GetNumBones();
  container->boneMatrices = new (std::nothrow) D3DXMATRIX*[boneCount]();
  if (container->boneMatrices == nullptr) return E_OUTOFMEMORY;
  for (DWORD bone = 0; bone < boneCount; ++bone) {
    auto* frame = static_cast<HierarchyFrame*>(D3DXFrameFind(m_rootFrame, container->pSkinInfo->GetBoneName(bone)));
    if (frame == nullptr) return E_FAIL;
    container->boneMatrices[bone] = &frame->combinedTransform;
  }
  return S_OK;
}

HRESULT SkinnedMesh::render(IDirect3DDevice9*, double timeDelta, const D3DXMATRIX* world) {
  if (m_animationController != nullptr) m_animationController->AdvanceTime(timeDelta, nullptr);
  updateFrameMatrices(m_rootFrame, world);
  drawFrame(m_rootFrame);
  return S_OK;
}

void SkinnedMesh::updateFrameMatrices(D3DXFRAME* base, const D3DXMATRIX* parent) {
  auto* frame = static_cast<HierarchyFrame*>(base);
  if (parent != nullptr)
    D3DXMatrixMultiply(&frame->combinedTransform, &frame->TransformationMatrix, parent);
  else
    frame->combinedTransform = frame->TransformationMatrix;
  if (frame->pFrameSibling != nullptr) updateFrameMatrices(frame->pFrameSibling, parent);
  if (frame->pFrameFirstChild != nullptr) updateFrameMatrices(frame->pFrameFirstChild, &frame->combinedTransform);
}

void SkinnedMesh::drawFrame(D3DXFRAME* frame) {
  for (D3DXMESHCONTAINER* container = frame->pMeshContainer; container != nullptr;
       container = container->pNextMeshContainer)
    drawMeshContainer(static_cast<SkinMeshContainer*>(container), static_cast<HierarchyFrame*>(frame));
  if (frame->pFrameSibling != nullptr) drawFrame(frame->pFrameSibling);
  if (frame->pFrameFirstChild != nullptr) drawFrame(frame->pFrameFirstChild);
}

void SkinnedMesh::drawMeshContainer(SkinMeshContainer* container, HierarchyFrame* frame) {
  if (container->pSkinInfo == nullptr) {
    m_device->SetTransform(D3DTS_WORLD, &frame->combinedTransform);
    for (DWORD i = 0; i < container->NumMaterials; ++i) {
      const D3DMATERIAL9 material = drawMaterial();
      m_device->SetMaterial(&material);
      m_device->SetTexture(0, container->textures[i]);
      container->MeshData.pMesh->DrawSubset(i);
    }
    return;
  }
  // The device blends what it can; the rest is drawn with software vertex processing.
  drawCombinations(container, 0, false);
  if (container->firstSoftwareCombination < container->boneCombinationCount) {
    m_device->SetSoftwareVertexProcessing(TRUE);
    drawCombinations(container, container->firstSoftwareCombination, true);
    m_device->SetSoftwareVertexProcessing(FALSE);
  }
  m_device->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
}

bool SkinnedMesh::setBoneMatrices(const SkinMeshContainer* container, const D3DXBONECOMBINATION& combination) {
  for (DWORD slot = 0; slot < container->maxFaceInfluences; ++slot) {
    const DWORD bone = combination.BoneId[slot];
    if (bone == kEmptyBoneSlot) continue;
    // A bone whose frame was not found has no matrix: its faces are not drawn rather than
    // drawn through a stale transform.
    if (container->boneMatrices == nullptr || container->boneMatrices[bone] == nullptr) return false;
    D3DXMATRIX boneWorld;
    D3DXMatrixMultiply(&boneWorld, &container->boneOffsets[bone], container->boneMatrices[bone]);
    m_device->SetTransform(D3DTS_WORLDMATRIX(slot), &boneWorld);
  }
  return true;
}

void SkinnedMesh::drawCombinations(SkinMeshContainer* container, DWORD first, bool softwarePass) {
  const auto* combinations = static_cast<const D3DXBONECOMBINATION*>(container->boneCombinations->GetBufferPointer());
  DWORD previousAttribute = kNoAttribute;
  for (DWORD k = first; k < container->boneCombinationCount; ++k) {
    const D3DXBONECOMBINATION& combination = combinations[k];
    const DWORD blend = blendOf(combination, container->maxFaceInfluences);
    // Each combination belongs to exactly one pass: the device's if it blends enough
    // matrices, the software pass otherwise.
    const bool deviceBlends = m_deviceCaps.MaxVertexBlendMatrices >= blend + 1;
    if (deviceBlends == softwarePass) continue;
    if (!setBoneMatrices(container, combination)) continue;
    m_device->SetRenderState(D3DRS_VERTEXBLEND, blend);
    if (combination.AttribId != previousAttribute) {
      const D3DMATERIAL9 material = drawMaterial();
      m_device->SetMaterial(&material);
      m_device->SetTexture(0, container->textures[combination.AttribId]);
      previousAttribute = combination.AttribId;
    }
    container->MeshData.pMesh->DrawSubset(k);
  }
}
