// Triangle meshes over the rendering device's vertex and index buffers, and the skin
// information that turns a mesh into a vertex-blended one.
//
// FEATURES: meshes in any flexible vertex format with 16- or 32-bit indices, one attribute id
// per face, an attribute table that DrawSubset follows, format conversion (CloneMeshFVF),
// attribute sorting and compaction, adjacency from positions or point representatives,
// area-weighted normals, bones with names, offsets and weighted vertex influences, software
// skinning and conversion to non-indexed vertex blending.
// RESTRICTIONS: vertex declarations (the D3DVERTEXELEMENT9 slots), indexed vertex blending and
// cache-order optimisation are not available; those operations answer E_NOTIMPL.
#pragma once

#include <d3d9.h>
#include <d3dx9core.h>
#include <d3dx9math.h>

// Creation options: where the buffers live and how they are used. Plain constants: callers
// combine them with the optimisation flags below.
inline constexpr DWORD D3DXMESH_32BIT = 0x001;
inline constexpr DWORD D3DXMESH_DONOTCLIP = 0x002;
inline constexpr DWORD D3DXMESH_POINTS = 0x004;
inline constexpr DWORD D3DXMESH_RTPATCHES = 0x008;
inline constexpr DWORD D3DXMESH_NPATCHES = 0x4000;
inline constexpr DWORD D3DXMESH_VB_SYSTEMMEM = 0x010;
inline constexpr DWORD D3DXMESH_VB_MANAGED = 0x020;
inline constexpr DWORD D3DXMESH_VB_WRITEONLY = 0x040;
inline constexpr DWORD D3DXMESH_VB_DYNAMIC = 0x080;
inline constexpr DWORD D3DXMESH_VB_SOFTWAREPROCESSING = 0x8000;
inline constexpr DWORD D3DXMESH_IB_SYSTEMMEM = 0x100;
inline constexpr DWORD D3DXMESH_IB_MANAGED = 0x200;
inline constexpr DWORD D3DXMESH_IB_WRITEONLY = 0x400;
inline constexpr DWORD D3DXMESH_IB_DYNAMIC = 0x800;
inline constexpr DWORD D3DXMESH_IB_SOFTWAREPROCESSING = 0x10000;
inline constexpr DWORD D3DXMESH_VB_SHARE = 0x1000;
inline constexpr DWORD D3DXMESH_USEHWONLY = 0x2000;
inline constexpr DWORD D3DXMESH_SYSTEMMEM = 0x110;
inline constexpr DWORD D3DXMESH_MANAGED = 0x220;
inline constexpr DWORD D3DXMESH_WRITEONLY = 0x440;
inline constexpr DWORD D3DXMESH_DYNAMIC = 0x880;
inline constexpr DWORD D3DXMESH_SOFTWAREPROCESSING = 0x18000;

// Optimisation requests, also accepted (and ignored where they mean nothing) by the
// conversions that take creation options.
inline constexpr DWORD D3DXMESHOPT_DEVICEINDEPENDENT = 0x00400000;
inline constexpr DWORD D3DXMESHOPT_COMPACT = 0x01000000;
inline constexpr DWORD D3DXMESHOPT_ATTRSORT = 0x02000000;
inline constexpr DWORD D3DXMESHOPT_VERTEXCACHE = 0x04000000;
inline constexpr DWORD D3DXMESHOPT_STRIPREORDER = 0x08000000;
inline constexpr DWORD D3DXMESHOPT_IGNOREVERTS = 0x10000000;
inline constexpr DWORD D3DXMESHOPT_DONOTSPLIT = 0x20000000;

// Faces [FaceStart, FaceStart + FaceCount) carry AttribId and use only the vertices
// [VertexStart, VertexStart + VertexCount).
struct D3DXATTRIBUTERANGE {
  DWORD AttribId;
  DWORD FaceStart;
  DWORD FaceCount;
  DWORD VertexStart;
  DWORD VertexCount;
};
typedef D3DXATTRIBUTERANGE* LPD3DXATTRIBUTERANGE;

// One subset of a blended mesh: its faces and vertices, the material (attribute) they came
// from, and the bone drawn through each world matrix slot (0xFFFFFFFF: slot unused).
struct D3DXBONECOMBINATION {
  DWORD AttribId;
  DWORD FaceStart;
  DWORD FaceCount;
  DWORD VertexStart;
  DWORD VertexCount;
  DWORD* BoneId;
};
typedef D3DXBONECOMBINATION* LPD3DXBONECOMBINATION;

// A material as mesh files describe it; the texture name belongs to whoever made the record.
struct D3DXMATERIAL {
  D3DMATERIAL9 MatD3D;
  LPSTR pTextureFilename;
};
typedef D3DXMATERIAL* LPD3DXMATERIAL;

struct ID3DXBaseMesh;
struct ID3DXMesh;
struct ID3DXSkinInfo;
typedef ID3DXBaseMesh* LPD3DXBASEMESH;
typedef ID3DXMesh* LPD3DXMESH;
typedef ID3DXSkinInfo* LPD3DXSKININFO;

extern "C" const IID IID_ID3DXBaseMesh;
extern "C" const IID IID_ID3DXMesh;
extern "C" const IID IID_ID3DXSkinInfo;

struct ID3DXBaseMesh : public IUnknown {
  // Sets the mesh's vertex format, vertex buffer and index buffer on the device and makes one
  // indexed triangle-list draw per attribute range whose id is attribId (none: nothing drawn).
  virtual HRESULT STDMETHODCALLTYPE DrawSubset(DWORD attribId) = 0;
  virtual DWORD STDMETHODCALLTYPE GetNumFaces() = 0;
  virtual DWORD STDMETHODCALLTYPE GetNumVertices() = 0;
  virtual DWORD STDMETHODCALLTYPE GetFVF() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9* declaration) = 0;
  virtual DWORD STDMETHODCALLTYPE GetNumBytesPerVertex() = 0;
  virtual DWORD STDMETHODCALLTYPE GetOptions() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9* device) = 0;
  // A copy with another vertex format: what both formats hold is copied, the rest is zero.
  // Faces, attribute ids and the attribute table are kept.
  virtual HRESULT STDMETHODCALLTYPE CloneMeshFVF(DWORD options, DWORD fvf, LPDIRECT3DDEVICE9 device,
                                                 LPD3DXMESH* cloneMesh) = 0;
  virtual HRESULT STDMETHODCALLTYPE CloneMesh(DWORD options, const D3DVERTEXELEMENT9* declaration,
                                              LPDIRECT3DDEVICE9 device, LPD3DXMESH* cloneMesh) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVertexBuffer(LPDIRECT3DVERTEXBUFFER9* vertexBuffer) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIndexBuffer(LPDIRECT3DINDEXBUFFER9* indexBuffer) = 0;
  virtual HRESULT STDMETHODCALLTYPE LockVertexBuffer(DWORD flags, LPVOID* data) = 0;
  virtual HRESULT STDMETHODCALLTYPE UnlockVertexBuffer() = 0;
  // Three indices per face; a lock without D3DLOCK_READONLY rebuilds the attribute table
  // when it ends.
  virtual HRESULT STDMETHODCALLTYPE LockIndexBuffer(DWORD flags, LPVOID* data) = 0;
  virtual HRESULT STDMETHODCALLTYPE UnlockIndexBuffer() = 0;
  // With a null table only the size is reported.
  virtual HRESULT STDMETHODCALLTYPE GetAttributeTable(D3DXATTRIBUTERANGE* attribTable, DWORD* attribTableSize) = 0;
  // Three neighbouring faces per face (0xFFFFFFFF: none), across edges whose corners have the
  // same point representatives.
  virtual HRESULT STDMETHODCALLTYPE ConvertPointRepsToAdjacency(const DWORD* pointReps, DWORD* adjacency) = 0;
  // For each vertex the lowest-numbered vertex it is joined to through shared edges.
  virtual HRESULT STDMETHODCALLTYPE ConvertAdjacencyToPointReps(const DWORD* adjacency, DWORD* pointReps) = 0;
  // Adjacency between faces whose edge corners lie within epsilon of each other (per axis).
  virtual HRESULT STDMETHODCALLTYPE GenerateAdjacency(FLOAT epsilon, DWORD* adjacency) = 0;
  virtual HRESULT STDMETHODCALLTYPE UpdateSemantics(D3DVERTEXELEMENT9* declaration) = 0;

 protected:
  ~ID3DXBaseMesh() = default;
};

struct ID3DXMesh : public ID3DXBaseMesh {
  // One attribute id per face. A lock without D3DLOCK_READONLY rebuilds the attribute table
  // when it ends: one range per run of faces with equal ids.
  virtual HRESULT STDMETHODCALLTYPE LockAttributeBuffer(DWORD flags, DWORD** data) = 0;
  virtual HRESULT STDMETHODCALLTYPE UnlockAttributeBuffer() = 0;
  // A copy in the given options, optimised as OptimizeInplace does.
  virtual HRESULT STDMETHODCALLTYPE Optimize(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut,
                                             DWORD* faceRemap, LPD3DXBUFFER* vertexRemap, LPD3DXMESH* optMesh) = 0;
  // D3DXMESHOPT_ATTRSORT orders the faces by attribute id (stable), so each id is one range;
  // D3DXMESHOPT_COMPACT drops vertices no face uses. VERTEXCACHE and STRIPREORDER imply both.
  // faceRemap receives the old face of each new face, vertexRemap the old vertex of each new
  // vertex; adjacencyOut the input adjacency renumbered.
  virtual HRESULT STDMETHODCALLTYPE OptimizeInplace(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut,
                                                    DWORD* faceRemap, LPD3DXBUFFER* vertexRemap) = 0;
  // Replaces the table DrawSubset follows until the index or attribute buffer is written.
  virtual HRESULT STDMETHODCALLTYPE SetAttributeTable(const D3DXATTRIBUTERANGE* attribTable, DWORD attribTableSize) = 0;

 protected:
  ~ID3DXMesh() = default;
};

// Bones of a skinned mesh: each has a name, an offset matrix (from mesh space to the bone's
// space) and the vertices it moves with their weights.
struct ID3DXSkinInfo : public IUnknown {
  // Replaces the bone's influences; every vertex must be below the vertex count.
  virtual HRESULT STDMETHODCALLTYPE SetBoneInfluence(DWORD bone, DWORD numInfluences, const DWORD* vertices,
                                                     const FLOAT* weights) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetBoneVertexInfluence(DWORD boneNum, DWORD influenceNum, float weight) = 0;
  virtual DWORD STDMETHODCALLTYPE GetNumBoneInfluences(DWORD bone) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBoneInfluence(DWORD bone, DWORD* vertices, FLOAT* weights) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBoneVertexInfluence(DWORD boneNum, DWORD influenceNum, float* weight,
                                                           DWORD* vertexNum) = 0;
  // The most bones any one vertex is influenced by.
  virtual HRESULT STDMETHODCALLTYPE GetMaxVertexInfluences(DWORD* maxVertexInfluences) = 0;
  virtual DWORD STDMETHODCALLTYPE GetNumBones() = 0;
  virtual HRESULT STDMETHODCALLTYPE FindBoneVertexInfluenceIndex(DWORD boneNum, DWORD vertexNum,
                                                                 DWORD* influenceIndex) = 0;
  // The most bones the three vertices of any one face are influenced by together.
  virtual HRESULT STDMETHODCALLTYPE GetMaxFaceInfluences(LPDIRECT3DINDEXBUFFER9 indexBuffer, DWORD numFaces,
                                                         DWORD* maxFaceInfluences) = 0;
  // Influences with a smaller weight are left out of skinning and conversions.
  virtual HRESULT STDMETHODCALLTYPE SetMinBoneInfluence(FLOAT minInfluence) = 0;
  virtual FLOAT STDMETHODCALLTYPE GetMinBoneInfluence() = 0;
  // The name is copied. GetBoneName answers null for an unnamed bone or one out of range.
  virtual HRESULT STDMETHODCALLTYPE SetBoneName(DWORD bone, LPCSTR name) = 0;
  virtual LPCSTR STDMETHODCALLTYPE GetBoneName(DWORD bone) = 0;
  // Offsets start as identity. GetBoneOffsetMatrix answers null for a bone out of range.
  virtual HRESULT STDMETHODCALLTYPE SetBoneOffsetMatrix(DWORD bone, const D3DXMATRIX* boneTransform) = 0;
  virtual D3DXMATRIX* STDMETHODCALLTYPE GetBoneOffsetMatrix(DWORD bone) = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(LPD3DXSKININFO* skinInfo) = 0;
  // Renumbers the influenced vertices after the mesh's vertices were rearranged: new vertex i
  // is old vertex vertexRemap[i] (an old vertex may appear several times, or not at all).
  virtual HRESULT STDMETHODCALLTYPE Remap(DWORD numVertices, DWORD* vertexRemap) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetFVF(DWORD fvf) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDeclaration(const D3DVERTEXELEMENT9* declaration) = 0;
  virtual DWORD STDMETHODCALLTYPE GetFVF() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9* declaration) = 0;
  // Software skinning of vertices in the skin's vertex format: positions are blended through
  // the bone transforms, normals through the inverse transposes (or the transforms when
  // null); everything else is copied.
  virtual HRESULT STDMETHODCALLTYPE UpdateSkinnedMesh(const D3DXMATRIX* boneTransforms,
                                                      const D3DXMATRIX* boneInvTransposeTransforms, LPCVOID verticesSrc,
                                                      PVOID verticesDst) = 0;
  // A copy of `mesh` for non-indexed vertex blending: faces grouped by attribute and bone set
  // into bone combinations, each using at most *maxFaceInfl bones (never more than four), its
  // faces and vertices contiguous, drawn as subset k of the new mesh. Vertices carry
  // *maxFaceInfl - 1 weights (D3DFVF_XYZB1..B3; XYZ with one bone), normalised over the
  // combination's bones; the last slot's weight is what the others leave.
  virtual HRESULT STDMETHODCALLTYPE ConvertToBlendedMesh(LPD3DXMESH mesh, DWORD options, const DWORD* adjacencyIn,
                                                         LPDWORD adjacencyOut, DWORD* faceRemap,
                                                         LPD3DXBUFFER* vertexRemap, DWORD* maxFaceInfl,
                                                         DWORD* numBoneCombinations, LPD3DXBUFFER* boneCombinationTable,
                                                         LPD3DXMESH* blendedMesh) = 0;
  virtual HRESULT STDMETHODCALLTYPE ConvertToIndexedBlendedMesh(LPD3DXMESH mesh, DWORD options, DWORD paletteSize,
                                                                const DWORD* adjacencyIn, LPDWORD adjacencyOut,
                                                                DWORD* faceRemap, LPD3DXBUFFER* vertexRemap,
                                                                DWORD* maxVertexInfl, DWORD* numBoneCombinations,
                                                                LPD3DXBUFFER* boneCombinationTable,
                                                                LPD3DXMESH* blendedMesh) = 0;

 protected:
  ~ID3DXSkinInfo() = default;
};

extern "C" {
// A mesh of numFaces triangles over numVertices vertices of the format, buffers placed as
// the options say; contents zero. D3DERR_INVALIDCALL for empty meshes, formats without an
// untransformed or transformed position, and more than 65535 vertices without D3DXMESH_32BIT.
HRESULT WINAPI D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf, LPDIRECT3DDEVICE9 device,
                                 LPD3DXMESH* mesh);
// Bytes of one vertex of the format; 0 for a format that is not valid.
UINT WINAPI D3DXGetFVFVertexSize(DWORD fvf);
// Each vertex's normal becomes the normalised sum of the normals of the faces around it,
// weighted by face area. With adjacency, vertices joined through shared edges (the point
// representatives) share one normal. D3DERR_INVALIDCALL when the format has no normal.
HRESULT WINAPI D3DXComputeNormals(LPD3DXBASEMESH mesh, const DWORD* adjacency);
// Skin information for numVertices vertices of the format and numBones unnamed bones.
HRESULT WINAPI D3DXCreateSkinInfoFVF(DWORD numVertices, DWORD fvf, DWORD numBones, LPD3DXSKININFO* skinInfo);
}
