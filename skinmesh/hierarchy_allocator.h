// The allocation object through which the hierarchy loader makes and frees the frames and
// mesh containers of a SkinnedMesh. A short-lived value: one for a load, one for a release.
#pragma once

#include <d3dx9hierarchy.h>

#include "skinned_mesh.h"

class HierarchyAllocator : public ID3DXAllocateHierarchy {
 public:
  HierarchyAllocator(bool dynamicTextures, SkinnedMesh* owner) : m_dynamicTextures(dynamicTextures), m_owner(owner) {}
  virtual ~HierarchyAllocator() = default;

  HRESULT STDMETHODCALLTYPE CreateFrame(LPCSTR name, LPD3DXFRAME* newFrame) override;
  // Keeps the mesh (a copy with normals when it has none), the materials without their
  // texture names, a texture per named material, the adjacency and, for a skinned mesh,
  // the skin information, the bone offsets and the blended mesh.
  HRESULT STDMETHODCALLTYPE CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* meshData,
                                                const D3DXMATERIAL* materials,
                                                const D3DXEFFECTINSTANCE* effectInstances, DWORD numMaterials,
                                                const DWORD* adjacency, LPD3DXSKININFO skinInfo,
                                                LPD3DXMESHCONTAINER* newMeshContainer) override;
  HRESULT STDMETHODCALLTYPE DestroyFrame(LPD3DXFRAME frame) override;
  // Frees whatever the container holds; every field may be empty.
  HRESULT STDMETHODCALLTYPE DestroyMeshContainer(LPD3DXMESHCONTAINER meshContainer) override;

 private:
  HRESULT fillMeshContainer(SkinMeshContainer* container, ID3DXMesh* mesh, const D3DXMATERIAL* materials,
                            DWORD numMaterials, const DWORD* adjacency, ID3DXSkinInfo* skinInfo);

  bool m_dynamicTextures;
  SkinnedMesh* m_owner;
};
