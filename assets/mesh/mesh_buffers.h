// Access to a mesh's vertices, indices and attribute ids for the routines that compute from
// them or build new meshes.
#pragma once

#include <new>
#include <vector>

#include <d3dx9mesh.h>

#include "fvf_layout.h"

namespace d3dx {

// Option bits that say how a mesh's buffers are made (D3DXMESH_VB_SHARE is not supported),
// and those that ask for an optimisation.
constexpr DWORD kMeshCreationOptions = 0x1FFFF & ~D3DXMESH_VB_SHARE;
constexpr DWORD kMeshOptimizeFlags = D3DXMESHOPT_DEVICEINDEPENDENT | D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT |
                                     D3DXMESHOPT_VERTEXCACHE | D3DXMESHOPT_STRIPREORDER | D3DXMESHOPT_IGNOREVERTS |
                                     D3DXMESHOPT_DONOTSPLIT;

// Locks the vertex buffer with the given flags and the index buffer read-only for as long as
// it lives. result() is D3DXERR_INVALIDMESH when an index names no vertex, so the accessors
// never reach past the vertices.
class MeshBuffers {
 public:
  MeshBuffers(ID3DXBaseMesh* mesh, DWORD vertexLockFlags);
  ~MeshBuffers();
  MeshBuffers(const MeshBuffers&) = delete;
  MeshBuffers& operator=(const MeshBuffers&) = delete;

  HRESULT result() const { return m_result; }
  DWORD faceCount() const { return m_faces; }
  DWORD vertexCount() const { return m_vertexCount; }
  const FvfLayout& layout() const { return m_layout; }

  DWORD index(DWORD face, DWORD corner) const;
  BYTE* vertex(DWORD v) const { return m_vertices + static_cast<size_t>(v) * m_layout.size; }
  D3DXVECTOR3 position(DWORD v) const;
  std::vector<DWORD> indices() const;

 private:
  ID3DXBaseMesh* m_mesh;
  HRESULT m_result = S_OK;
  DWORD m_faces;
  DWORD m_vertexCount;
  bool m_index32;
  FvfLayout m_layout;
  BYTE* m_vertices = nullptr;
  const BYTE* m_indices = nullptr;
};

// The attribute ids of a mesh's faces.
HRESULT readAttributes(ID3DXMesh* mesh, std::vector<DWORD>& attributes);

// Replaces a mesh's whole contents: GetNumBytesPerVertex() bytes per vertex, three indices
// and one attribute id per face. The attribute table follows the new ids.
HRESULT writeMesh(ID3DXMesh* mesh, const BYTE* vertices, const DWORD* indices, const DWORD* attributes);

// Runs work, turning a failed allocation into E_OUTOFMEMORY: no exception leaves a published
// operation.
template <typename Work>
HRESULT guarded(Work work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace d3dx
