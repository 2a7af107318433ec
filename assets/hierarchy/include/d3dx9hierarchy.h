// Mesh hierarchies: a tree of frames with mesh containers, loaded from X data through the
// caller's allocation object, with the animation controller that drives the frames' matrices
// when the data holds animation sets.
//
// FEATURES: frames with transform matrices; meshes with normals (vertices split where corners
// of one position carry different normals), texture coordinates, vertex colours, materials
// with texture names, adjacency, skin weights, FVFData and the usual DeclData usages; animation
// sets with scale, rotation, position and matrix keys; AnimTicksPerSecond.
// RESTRICTIONS: a mesh with progressive-mesh information is loaded as its base mesh; patch
// meshes fail the load with E_NOTIMPL; CompressedAnimationSet objects are ignored; a frame
// referenced from inside another frame is not instanced.
#pragma once

#include <d3dx9anim.h>
#include <d3dx9mesh.h>
#include <d3dx9xof.h>

enum D3DXMESHDATATYPE {
  D3DXMESHTYPE_MESH = 1,
  D3DXMESHTYPE_PMESH = 2,
  D3DXMESHTYPE_PATCHMESH = 3,
  D3DXMESHTYPE_FORCE_DWORD = 0x7fffffff,
};

// The loader only ever hands out D3DXMESHTYPE_MESH.
struct D3DXMESHDATA {
  D3DXMESHDATATYPE Type;
  LPD3DXMESH pMesh;
};

enum D3DXEFFECTDEFAULTTYPE {
  D3DXEDT_STRING = 1,  // zero-terminated characters
  D3DXEDT_FLOATS = 2,  // NumBytes / 4 floats
  D3DXEDT_DWORD = 3,
  D3DXEDT_FORCEDWORD = 0x7fffffff,
};

struct D3DXEFFECTDEFAULT {
  LPSTR pParamName;
  D3DXEFFECTDEFAULTTYPE Type;
  DWORD NumBytes;
  LPVOID pValue;
};
typedef D3DXEFFECTDEFAULT* LPD3DXEFFECTDEFAULT;

// The effect a material asks for and its parameter values. Without an EffectInstance in the
// file the effect file name is null and the defaults carry the material's own values
// ("Diffuse", "Power", "Specular", "Emissive", and "Texture" when it names one).
struct D3DXEFFECTINSTANCE {
  LPSTR pEffectFilename;
  DWORD NumDefaults;
  LPD3DXEFFECTDEFAULT pDefaults;
};
typedef D3DXEFFECTINSTANCE* LPD3DXEFFECTINSTANCE;

typedef struct _D3DXMESHCONTAINER {
  LPSTR Name;
  D3DXMESHDATA MeshData;
  LPD3DXMATERIAL pMaterials;
  LPD3DXEFFECTINSTANCE pEffects;
  DWORD NumMaterials;
  DWORD* pAdjacency;
  LPD3DXSKININFO pSkinInfo;
  struct _D3DXMESHCONTAINER* pNextMeshContainer;
} D3DXMESHCONTAINER, *LPD3DXMESHCONTAINER;

typedef struct _D3DXFRAME {
  LPSTR Name;
  D3DXMATRIX TransformationMatrix;
  LPD3DXMESHCONTAINER pMeshContainer;
  struct _D3DXFRAME* pFrameSibling;
  struct _D3DXFRAME* pFrameFirstChild;
} D3DXFRAME;

// Implemented by the caller: makes and frees the frame and container records, which may be
// larger than the published structures. Everything handed to the Create calls belongs to the
// loader and lives only for the call: copy what is kept, AddRef the mesh and skin information.
struct ID3DXAllocateHierarchy {
  virtual HRESULT STDMETHODCALLTYPE CreateFrame(LPCSTR name, LPD3DXFRAME* newFrame) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* meshData,
                                                        const D3DXMATERIAL* materials,
                                                        const D3DXEFFECTINSTANCE* effectInstances, DWORD numMaterials,
                                                        const DWORD* adjacency, LPD3DXSKININFO skinInfo,
                                                        LPD3DXMESHCONTAINER* newMeshContainer) = 0;
  virtual HRESULT STDMETHODCALLTYPE DestroyFrame(LPD3DXFRAME frame) = 0;
  virtual HRESULT STDMETHODCALLTYPE DestroyMeshContainer(LPD3DXMESHCONTAINER meshContainer) = 0;

 protected:
  ~ID3DXAllocateHierarchy() = default;
};
typedef ID3DXAllocateHierarchy* LPD3DXALLOCATEHIERARCHY;

// Optional: receives the data objects the loader does not understand. A failure ends the load.
struct ID3DXLoadUserData {
  virtual HRESULT STDMETHODCALLTYPE LoadTopLevelData(LPD3DXFILEDATA data) = 0;
  virtual HRESULT STDMETHODCALLTYPE LoadFrameChildData(LPD3DXFRAME frame, LPD3DXFILEDATA data) = 0;
  virtual HRESULT STDMETHODCALLTYPE LoadMeshChildData(LPD3DXMESHCONTAINER meshContainer, LPD3DXFILEDATA data) = 0;

 protected:
  ~ID3DXLoadUserData() = default;
};
typedef ID3DXLoadUserData* LPD3DXLOADUSERDATA;

extern "C" {
// Loads the frames, meshes and animation of an X data block. Several top-level frames (or
// meshes) hang below one more unnamed root. The controller, when asked for, exists only if the
// data holds an animation set and a named frame; it plays the last set of the file on track 0.
// On failure nothing is handed out and everything made is destroyed through the allocator.
HRESULT WINAPI D3DXLoadMeshHierarchyFromXInMemory(LPCVOID memory, DWORD size, DWORD options, LPDIRECT3DDEVICE9 device,
                                                  LPD3DXALLOCATEHIERARCHY allocator, LPD3DXLOADUSERDATA userDataLoader,
                                                  LPD3DXFRAME* frameHierarchy,
                                                  LPD3DXANIMATIONCONTROLLER* animationController);
// The same for a file; D3DXFERR_FILENOTFOUND when it cannot be read.
HRESULT WINAPI D3DXLoadMeshHierarchyFromXA(LPCSTR filename, DWORD options, LPDIRECT3DDEVICE9 device,
                                           LPD3DXALLOCATEHIERARCHY allocator, LPD3DXLOADUSERDATA userDataLoader,
                                           LPD3DXFRAME* frameHierarchy, LPD3DXANIMATIONCONTROLLER* animationController);
// Destroys the frame, its siblings and all their descendants with their mesh containers;
// the first failing allocator call ends it and its code is returned.
HRESULT WINAPI D3DXFrameDestroy(LPD3DXFRAME frameRoot, LPD3DXALLOCATEHIERARCHY allocator);
// The first frame (itself, its sibling subtrees, then its child subtrees) whose name equals
// `name` byte for byte; null names match each other.
LPD3DXFRAME WINAPI D3DXFrameFind(const D3DXFRAME* frameRoot, LPCSTR name);
HRESULT WINAPI D3DXFrameAppendChild(LPD3DXFRAME frameParent, const D3DXFRAME* frameChild);
// Registers the transformation matrix of every named frame below and beside frameRoot as an
// animation output under the frame's name.
HRESULT WINAPI D3DXFrameRegisterNamedMatrices(LPD3DXFRAME frameRoot, LPD3DXANIMATIONCONTROLLER animationController);
}
