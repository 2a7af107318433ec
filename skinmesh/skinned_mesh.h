// One mesh hierarchy loaded from an embedded X resource: its frames, mesh containers with
// their textures and optional skinning, and the animation controller that moves the frames.
#pragma once

#include <d3d9.h>
#include <d3dx9hierarchy.h>

// A frame of the tree with its world matrix, recomputed every frame; bone tables point at
// `combinedTransform`.
struct HierarchyFrame : public D3DXFRAME {
  D3DXMATRIX combinedTransform;
};

// A mesh container with what drawing needs. A skinned container holds the vertex-blended
// mesh in MeshData.pMesh and the mesh it was converted from in `sourceMesh`.
struct SkinMeshContainer : public D3DXMESHCONTAINER {
  IDirect3DTexture9** textures;  // NumMaterials entries, null where a material has none
  ID3DXMesh* sourceMesh;
  DWORD boneCombinationCount;
  DWORD maxFaceInfluences;  // also the length of each combination's BoneId array
  ID3DXBuffer* boneCombinations;
  D3DXMATRIX** boneMatrices;  // per bone: the combinedTransform of the frame named after it
  D3DXMATRIX* boneOffsets;    // per bone, from the skin information
  // The first combination that needs more blend matrices than the device offers; those
  // from here on are drawn with software vertex processing.
  DWORD firstSoftwareCombination;
};

class SkinnedMesh {
 public:
  // The device is borrowed: no reference is taken.
  explicit SkinnedMesh(IDirect3DDevice9* device);
  SkinnedMesh(const SkinnedMesh&) = delete;
  SkinnedMesh& operator=(const SkinnedMesh&) = delete;
  ~SkinnedMesh();

  // Loads the hierarchy from the resource of type "X" with that name (any case). Material
  // textures come from the program's resources; with dynamicTextures they are dynamic
  // R5G6B5 textures that GDI can draw on. A resource the loader rejects ends the program;
  // otherwise the result is that of building the bone tables.
  HRESULT load(const char* resourceName, bool dynamicTextures);
  // Destroys the hierarchy and drops the animation controller; safe when never loaded.
  void release();
  // Advances the animation by timeDelta seconds, places the hierarchy with `world` (null:
  // each root frame's own matrix) and draws every mesh container. The device argument is
  // not used: the mesh draws on the device it was made with. Always S_OK.
  HRESULT render(IDirect3DDevice9* unusedDevice, double timeDelta, const D3DXMATRIX* world);
  // The texture of material `index` of the root frame's first mesh container; null when
  // there is none. No reference is added.
  IDirect3DTexture9* textureAt(UINT index) const;

  // Converts a skinned container's source mesh into a vertex-blended mesh for this
  // device's blending capabilities. Called while the container is being created.
  HRESULT generateSkinnedMesh(SkinMeshContainer* container) const;

 private:
  HRESULT setupBoneMatrixPointers(D3DXFRAME* frame);
  HRESULT setupBoneMatrixPointersOnMesh(SkinMeshContainer* container);
  void updateFrameMatrices(D3DXFRAME* frame, const D3DXMATRIX* parent);
  void drawFrame(D3DXFRAME* frame);
  void drawMeshContainer(SkinMeshContainer* container, HierarchyFrame* frame);
  bool setBoneMatrices(const SkinMeshContainer* container, const D3DXBONECOMBINATION& combination);
  void drawCombinations(SkinMeshContainer* container, DWORD first, bool softwarePass);

  IDirect3DDevice9* m_device;
  HierarchyFrame* m_rootFrame = nullptr;
  ID3DXAnimationController* m_animationController = nullptr;
  D3DCAPS9 m_deviceCaps{};
};
