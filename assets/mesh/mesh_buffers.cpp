#include "mesh_buffers.h"

#include <cstring>

namespace d3dx {

MeshBuffers::MeshBuffers(ID3DXBaseMesh* mesh, DWORD vertexLockFlags)
    : m_mesh(mesh),
      m_faces(mesh->GetNumFaces()),
      m_vertexCount(mesh->GetNumVertices()),
      m_index32((mesh->GetOptions() & D3DXMESH_32BIT) != 0) {
  const auto layout = fvfLayout(mesh->GetFVF());
  if (!layout) {
    m_result = D3DXERR_INVALIDMESH;
    return;
  }
  m_layout = *layout;
  void* vertices = nullptr;
  void* indices = nullptr;
  if (m_result = mesh->LockVertexBuffer(vertexLockFlags, &vertices); FAILED(m_result)) return;
  m_vertices = static_cast<BYTE*>(vertices);
  if (m_result = mesh->LockIndexBuffer(D3DLOCK_READONLY, &indices); FAILED(m_result)) return;
  m_indices = static_cast<const BYTE*>(indices);
  for (DWORD f = 0; f < m_faces; ++f)
    for (DWORD c = 0; c < 3; ++c)
      if (index(f, c) >= m_vertexCount) {
        m_result = D3DXERR_INVALIDMESH;
        return;
      }
}

MeshBuffers::~MeshBuffers() {
  if (m_vertices) m_mesh->UnlockVertexBuffer();
  if (m_indices) m_mesh->UnlockIndexBuffer();
}

DWORD MeshBuffers::index(DWORD face, DWORD corner) const {
  const size_t i = static_cast<size_t>(face) * 3 + corner;
  if (m_index32) {
    DWORD value;
    std::memcpy(&value, m_indices + i * 4, 4);
    return value;
  }
  uint16_t value;
  std::memcpy(&value, m_indices + i * 2, 2);
  return value;
}

D3DXVECTOR3 MeshBuffers::position(DWORD v) const {
  D3DXVECTOR3 p;
  std::memcpy(&p, vertex(v), sizeof p);
  return p;
}

std::vector<DWORD> MeshBuffers::indices() const {
  std::vector<DWORD> all(static_cast<size_t>(m_faces) * 3);
  for (DWORD f = 0; f < m_faces; ++f)
    for (DWORD c = 0; c < 3; ++c) all[f * 3 + c] = index(f, c);
  return all;
}

HRESULT readAttributes(ID3DXMesh* mesh, std::vector<DWORD>& attributes) {
  DWORD* ids = nullptr;
  if (const HRESULT hr = mesh->LockAttributeBuffer(D3DLOCK_READONLY, &ids); FAILED(hr)) return hr;
  attributes.assign(ids, ids + mesh->GetNumFaces());
  return mesh->UnlockAttributeBuffer();
}

HRESULT writeMesh(ID3DXMesh* mesh, const BYTE* vertices, const DWORD* indices, const DWORD* attributes) {
  const size_t faces = mesh->GetNumFaces();
  void* data = nullptr;
  HRESULT hr = mesh->LockVertexBuffer(0, &data);
  if (FAILED(hr)) return hr;
  std::memcpy(data, vertices, static_cast<size_t>(mesh->GetNumVertices()) * mesh->GetNumBytesPerVertex());
  mesh->UnlockVertexBuffer();

  if (hr = mesh->LockIndexBuffer(0, &data); FAILED(hr)) return hr;
  if (mesh->GetOptions() & D3DXMESH_32BIT) {
    std::memcpy(data, indices, faces * 3 * sizeof(DWORD));
  } else {
    auto* narrow = static_cast<uint16_t*>(data);
    for (size_t i = 0; i < faces * 3; ++i) narrow[i] = static_cast<uint16_t>(indices[i]);
  }
  if (hr = mesh->UnlockIndexBuffer(); FAILED(hr)) return hr;

  DWORD* ids = nullptr;
  if (hr = mesh->LockAttributeBuffer(0, &ids); FAILED(hr)) return hr;
  std::memcpy(ids, attributes, faces * sizeof(DWORD));
  return mesh->UnlockAttributeBuffer();
}

}  // namespace d3dx
