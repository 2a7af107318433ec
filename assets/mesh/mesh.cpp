#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

#include "adjacency.h"
#include "d3dx_com.h"
#include "mesh_buffers.h"

extern "C" const IID IID_ID3DXBaseMesh = {0x7ed943dd, 0x52e8, 0x40b5, {0xa8, 0xd8, 0x76, 0x68, 0x5c, 0x40, 0x63, 0x30}};
extern "C" const IID IID_ID3DXMesh = {0x4020e5c2, 0x1403, 0x4929, {0x88, 0x3f, 0xe2, 0xe8, 0x49, 0xfa, 0xc1, 0x95}};

namespace d3dx {
namespace {

struct Placement {
  DWORD usage;
  D3DPOOL pool;
};

// Usage and pool of one of the mesh's buffers, from the options for that buffer.
Placement placementFor(DWORD options, bool indexBuffer) {
  const DWORD systemMem = indexBuffer ? D3DXMESH_IB_SYSTEMMEM : D3DXMESH_VB_SYSTEMMEM;
  const DWORD managed = indexBuffer ? D3DXMESH_IB_MANAGED : D3DXMESH_VB_MANAGED;
  const DWORD writeOnly = indexBuffer ? D3DXMESH_IB_WRITEONLY : D3DXMESH_VB_WRITEONLY;
  const DWORD dynamic = indexBuffer ? D3DXMESH_IB_DYNAMIC : D3DXMESH_VB_DYNAMIC;
  const DWORD software = indexBuffer ? D3DXMESH_IB_SOFTWAREPROCESSING : D3DXMESH_VB_SOFTWAREPROCESSING;
  DWORD usage = 0;
  if (options & writeOnly) usage |= D3DUSAGE_WRITEONLY;
  if (options & dynamic) usage |= D3DUSAGE_DYNAMIC;
  if (options & software) usage |= D3DUSAGE_SOFTWAREPROCESSING;
  if (options & D3DXMESH_DONOTCLIP) usage |= D3DUSAGE_DONOTCLIP;
  if (options & D3DXMESH_POINTS) usage |= D3DUSAGE_POINTS;
  if (options & D3DXMESH_RTPATCHES) usage |= D3DUSAGE_RTPATCHES;
  if (options & D3DXMESH_NPATCHES) usage |= D3DUSAGE_NPATCHES;
  const D3DPOOL pool = (options & systemMem) ? D3DPOOL_SYSTEMMEM
                       : (options & managed) ? D3DPOOL_MANAGED
                                             : D3DPOOL_DEFAULT;
  return {usage, pool};
}

class Mesh final : public RefCounted<ID3DXMesh> {
 public:
  static HRESULT create(DWORD faces, DWORD vertices, DWORD options, DWORD fvf, IDirect3DDevice9* device,
                        ComPtr<Mesh>& mesh);

  HRESULT STDMETHODCALLTYPE DrawSubset(DWORD attribId) override;
  DWORD STDMETHODCALLTYPE GetNumFaces() override { return m_faces; }
  DWORD STDMETHODCALLTYPE GetNumVertices() override { return m_vertices; }
  DWORD STDMETHODCALLTYPE GetFVF() override { return m_fvf; }
  HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9*) override { return E_NOTIMPL; }
  DWORD STDMETHODCALLTYPE GetNumBytesPerVertex() override { return m_layout.size; }
  DWORD STDMETHODCALLTYPE GetOptions() override { return m_options; }
  HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9* device) override { return handOut(m_device, device); }
  HRESULT STDMETHODCALLTYPE CloneMeshFVF(DWORD options, DWORD fvf, LPDIRECT3DDEVICE9 device,
                                         LPD3DXMESH* cloneMesh) override;
  HRESULT STDMETHODCALLTYPE CloneMesh(DWORD, const D3DVERTEXELEMENT9*, LPDIRECT3DDEVICE9,
                                      LPD3DXMESH* cloneMesh) override {
    if (cloneMesh) *cloneMesh = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetVertexBuffer(LPDIRECT3DVERTEXBUFFER9* buffer) override {
    return handOut(m_vertexBuffer, buffer);
  }
  HRESULT STDMETHODCALLTYPE GetIndexBuffer(LPDIRECT3DINDEXBUFFER9* buffer) override {
    return handOut(m_indexBuffer, buffer);
  }
  HRESULT STDMETHODCALLTYPE LockVertexBuffer(DWORD flags, LPVOID* data) override {
    if (data == nullptr) return D3DERR_INVALIDCALL;
    return m_vertexBuffer->Lock(0, 0, data, flags);
  }
  HRESULT STDMETHODCALLTYPE UnlockVertexBuffer() override { return m_vertexBuffer->Unlock(); }
  HRESULT STDMETHODCALLTYPE LockIndexBuffer(DWORD flags, LPVOID* data) override;
  HRESULT STDMETHODCALLTYPE UnlockIndexBuffer() override;
  HRESULT STDMETHODCALLTYPE GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* size) override;
  HRESULT STDMETHODCALLTYPE ConvertPointRepsToAdjacency(const DWORD* pointReps, DWORD* adjacency) override;
  HRESULT STDMETHODCALLTYPE ConvertAdjacencyToPointReps(const DWORD* adjacency, DWORD* pointReps) override;
  HRESULT STDMETHODCALLTYPE GenerateAdjacency(FLOAT epsilon, DWORD* adjacency) override;
  HRESULT STDMETHODCALLTYPE UpdateSemantics(D3DVERTEXELEMENT9*) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE LockAttributeBuffer(DWORD flags, DWORD** data) override;
  HRESULT STDMETHODCALLTYPE UnlockAttributeBuffer() override;
  HRESULT STDMETHODCALLTYPE Optimize(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                                     LPD3DXBUFFER* vertexRemap, LPD3DXMESH* optMesh) override;
  HRESULT STDMETHODCALLTYPE OptimizeInplace(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut,
                                            DWORD* faceRemap, LPD3DXBUFFER* vertexRemap) override;
  HRESULT STDMETHODCALLTYPE SetAttributeTable(const D3DXATTRIBUTERANGE* table, DWORD size) override;

 private:
  Mesh(DWORD faces, DWORD vertices, DWORD options, DWORD fvf, const FvfLayout& layout, IDirect3DDevice9* device)
      : m_faces(faces), m_vertices(vertices), m_options(options), m_fvf(fvf), m_layout(layout), m_attributes(faces, 0) {
    m_device.set(device);
  }
  bool answersTo(REFIID riid) const override {
    return IsEqualGUID(riid, IID_ID3DXBaseMesh) || IsEqualGUID(riid, IID_ID3DXMesh);
  }
  template <typename T>
  static HRESULT handOut(const ComPtr<T>& held, T** out) {
    if (out == nullptr) return D3DERR_INVALIDCALL;
    held->AddRef();
    *out = held.get();
    return S_OK;
  }
  HRESULT createVertexBuffer(DWORD vertices, ComPtr<IDirect3DVertexBuffer9>& buffer);
  // One range per run of faces with equal attribute ids, each with the vertices its faces use.
  HRESULT rebuildAttributeTable();

  ComPtr<IDirect3DDevice9> m_device;
  ComPtr<IDirect3DVertexBuffer9> m_vertexBuffer;
  ComPtr<IDirect3DIndexBuffer9> m_indexBuffer;
  DWORD m_faces;
  DWORD m_vertices;
  DWORD m_options;
  DWORD m_fvf;
  FvfLayout m_layout;
  std::vector<DWORD> m_attributes;
  std::vector<D3DXATTRIBUTERANGE> m_attributeTable;
  // Writes through the mesh's locks rebuild the table when the last lock of that buffer ends.
  uint32_t m_indexLocks = 0;
  uint32_t m_attributeLocks = 0;
  bool m_indicesWritten = false;
  bool m_attributesWritten = false;
};

HRESULT Mesh::create(DWORD faces, DWORD vertices, DWORD options, DWORD fvf, IDirect3DDevice9* device,
                     ComPtr<Mesh>& mesh) {
  mesh.reset();
  const auto layout = fvfLayout(fvf);
  if (device == nullptr || faces == 0 || vertices == 0 || !layout || (options & ~kMeshCreationOptions) != 0)
    return D3DERR_INVALIDCALL;
  const bool index32 = (options & D3DXMESH_32BIT) != 0;
  if (!index32 && vertices > 0xFFFF) return D3DERR_INVALIDCALL;
  const uint64_t indexBytes = uint64_t{faces} * 3 * (index32 ? 4 : 2);
  if (indexBytes > 0xFFFFFFFFu) return D3DERR_INVALIDCALL;
  return guarded([&] {
    auto made = ComPtr<Mesh>::adopting(new Mesh(faces, vertices, options, fvf, *layout, device));
    if (const HRESULT hr = made->createVertexBuffer(vertices, made->m_vertexBuffer); FAILED(hr)) return hr;
    const Placement ib = placementFor(options, true);
    if (const HRESULT hr = device->CreateIndexBuffer(static_cast<UINT>(indexBytes), ib.usage,
                                                     index32 ? D3DFMT_INDEX32 : D3DFMT_INDEX16, ib.pool,
                                                     made->m_indexBuffer.receive(), nullptr);
        FAILED(hr))
      return hr;
    made->m_attributeTable.push_back({0, 0, faces, 0, 1});  // every face 0, every index 0
    mesh = std::move(made);
    return S_OK;
  });
}

HRESULT Mesh::createVertexBuffer(DWORD vertices, ComPtr<IDirect3DVertexBuffer9>& buffer) {
  const uint64_t bytes = uint64_t{vertices} * m_layout.size;
  if (bytes > 0xFFFFFFFFu) return D3DERR_INVALIDCALL;
  const Placement vb = placementFor(m_options, false);
  return m_device->CreateVertexBuffer(static_cast<UINT>(bytes), vb.usage, m_fvf, vb.pool, buffer.receive(), nullptr);
}

HRESULT Mesh::DrawSubset(DWORD attribId) {
  bool streamsSet = false;
  for (const D3DXATTRIBUTERANGE& range : m_attributeTable) {
    if (range.AttribId != attribId || range.FaceCount == 0) continue;
    if (!streamsSet) {
      HRESULT hr = m_device->SetFVF(m_fvf);
      if (SUCCEEDED(hr)) hr = m_device->SetStreamSource(0, m_vertexBuffer.get(), 0, m_layout.size);
      if (SUCCEEDED(hr)) hr = m_device->SetIndices(m_indexBuffer.get());
      if (FAILED(hr)) return hr;
      streamsSet = true;
    }
    const HRESULT hr = m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, range.VertexStart, range.VertexCount,
                                                      range.FaceStart * 3, range.FaceCount);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT Mesh::CloneMeshFVF(DWORD options, DWORD fvf, LPDIRECT3DDEVICE9 device, LPD3DXMESH* cloneMesh) {
  if (cloneMesh == nullptr) return D3DERR_INVALIDCALL;
  *cloneMesh = nullptr;
  ComPtr<Mesh> clone;
  if (const HRESULT hr = create(m_faces, m_vertices, options, fvf, device, clone); FAILED(hr)) return hr;
  return guarded([&] {
    MeshBuffers source(this, D3DLOCK_READONLY);
    if (FAILED(source.result())) return source.result();
    const FvfLayout& to = clone->m_layout;
    std::vector<BYTE> vertices(static_cast<size_t>(m_vertices) * to.size);
    for (DWORD v = 0; v < m_vertices; ++v)
      copySharedElements(m_layout, source.vertex(v), to, vertices.data() + static_cast<size_t>(v) * to.size);
    if (const HRESULT hr = writeMesh(clone.get(), vertices.data(), source.indices().data(), m_attributes.data());
        FAILED(hr))
      return hr;
    clone->m_attributeTable = m_attributeTable;
    *cloneMesh = clone.detach();
    return S_OK;
  });
}

HRESULT Mesh::LockIndexBuffer(DWORD flags, LPVOID* data) {
  if (data == nullptr) return D3DERR_INVALIDCALL;
  const HRESULT hr = m_indexBuffer->Lock(0, 0, data, flags);
  if (SUCCEEDED(hr)) {
    ++m_indexLocks;
    if (!(flags & D3DLOCK_READONLY)) m_indicesWritten = true;
  }
  return hr;
}

HRESULT Mesh::UnlockIndexBuffer() {
  if (m_indexLocks == 0) return D3DERR_INVALIDCALL;
  const HRESULT hr = m_indexBuffer->Unlock();
  if (FAILED(hr) || --m_indexLocks > 0 || !std::exchange(m_indicesWritten, false)) return hr;
  return rebuildAttributeTable();
}

HRESULT Mesh::LockAttributeBuffer(DWORD flags, DWORD** data) {
  if (data == nullptr) return D3DERR_INVALIDCALL;
  ++m_attributeLocks;
  if (!(flags & D3DLOCK_READONLY)) m_attributesWritten = true;
  *data = m_attributes.data();
  return S_OK;
}

HRESULT Mesh::UnlockAttributeBuffer() {
  if (m_attributeLocks == 0) return D3DERR_INVALIDCALL;
  if (--m_attributeLocks > 0 || !std::exchange(m_attributesWritten, false)) return S_OK;
  return rebuildAttributeTable();
}

HRESULT Mesh::rebuildAttributeTable() {
  return guarded([&] {
    void* data = nullptr;
    if (const HRESULT hr = m_indexBuffer->Lock(0, 0, &data, D3DLOCK_READONLY); FAILED(hr)) return hr;
    const bool index32 = (m_options & D3DXMESH_32BIT) != 0;
    auto index = [&](size_t i) -> DWORD {
      return index32 ? static_cast<const DWORD*>(data)[i] : static_cast<const uint16_t*>(data)[i];
    };
    std::vector<D3DXATTRIBUTERANGE> table;
    for (DWORD f = 0; f < m_faces; ++f) {
      if (table.empty() || table.back().AttribId != m_attributes[f])
        table.push_back({m_attributes[f], f, 0, 0xFFFFFFFFu, 0});
      D3DXATTRIBUTERANGE& range = table.back();
      ++range.FaceCount;
      // VertexCount holds the highest index + 1 until the range is complete.
      for (size_t i = size_t{f} * 3; i < size_t{f} * 3 + 3; ++i) {
        range.VertexStart = std::min(range.VertexStart, index(i));
        range.VertexCount = std::max(range.VertexCount, index(i) + 1);
      }
    }
    m_indexBuffer->Unlock();
    for (D3DXATTRIBUTERANGE& range : table) range.VertexCount -= range.VertexStart;
    m_attributeTable = std::move(table);
    return S_OK;
  });
}

HRESULT Mesh::GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* size) {
  if (size == nullptr) return D3DERR_INVALIDCALL;
  if (table) std::copy(m_attributeTable.begin(), m_attributeTable.end(), table);
  *size = static_cast<DWORD>(m_attributeTable.size());
  return S_OK;
}

HRESULT Mesh::SetAttributeTable(const D3DXATTRIBUTERANGE* table, DWORD size) {
  if (table == nullptr && size != 0) return D3DERR_INVALIDCALL;
  for (DWORD i = 0; i < size; ++i) {
    const D3DXATTRIBUTERANGE& r = table[i];
    if (r.FaceStart > m_faces || r.FaceCount > m_faces - r.FaceStart || r.VertexStart > m_vertices ||
        r.VertexCount > m_vertices - r.VertexStart)
      return D3DERR_INVALIDCALL;
  }
  return guarded([&] {
    m_attributeTable.assign(table, table + size);
    return S_OK;
  });
}

HRESULT Mesh::GenerateAdjacency(FLOAT epsilon, DWORD* adjacency) {
  if (adjacency == nullptr || !(epsilon >= 0)) return D3DERR_INVALIDCALL;
  return guarded([&] {
    MeshBuffers buffers(this, D3DLOCK_READONLY);
    if (FAILED(buffers.result())) return buffers.result();
    return adjacencyFromPointReps(buffers, pointRepsFromPositions(buffers, epsilon).data(), adjacency);
  });
}

HRESULT Mesh::ConvertPointRepsToAdjacency(const DWORD* pointReps, DWORD* adjacency) {
  if (adjacency == nullptr) return D3DERR_INVALIDCALL;
  return guarded([&] {
    MeshBuffers buffers(this, D3DLOCK_READONLY);
    if (FAILED(buffers.result())) return buffers.result();
    // Without representatives every vertex stands for itself.
    std::vector<DWORD> identity;
    if (pointReps == nullptr) {
      identity.resize(m_vertices);
      std::iota(identity.begin(), identity.end(), 0u);
      pointReps = identity.data();
    }
    return adjacencyFromPointReps(buffers, pointReps, adjacency);
  });
}

HRESULT Mesh::ConvertAdjacencyToPointReps(const DWORD* adjacency, DWORD* pointReps) {
  if (adjacency == nullptr || pointReps == nullptr) return D3DERR_INVALIDCALL;
  return guarded([&] {
    MeshBuffers buffers(this, D3DLOCK_READONLY);
    if (FAILED(buffers.result())) return buffers.result();
    return pointRepsFromAdjacency(buffers, adjacency, pointReps);
  });
}

HRESULT Mesh::Optimize(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                       LPD3DXBUFFER* vertexRemap, LPD3DXMESH* optMesh) {
  if (optMesh == nullptr) return D3DERR_INVALIDCALL;
  *optMesh = nullptr;
  if ((flags & ~(kMeshCreationOptions | kMeshOptimizeFlags)) != 0) return D3DERR_INVALIDCALL;
  ComPtr<ID3DXMesh> copy;
  HRESULT hr = CloneMeshFVF(flags & kMeshCreationOptions, m_fvf, m_device.get(), copy.receive());
  if (SUCCEEDED(hr))
    hr = copy->OptimizeInplace(flags & kMeshOptimizeFlags, adjacencyIn, adjacencyOut, faceRemap, vertexRemap);
  if (SUCCEEDED(hr)) *optMesh = copy.detach();
  return hr;
}

HRESULT Mesh::OptimizeInplace(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                              LPD3DXBUFFER* vertexRemap) {
  if (vertexRemap) *vertexRemap = nullptr;
  if ((flags & ~kMeshOptimizeFlags) != 0) return D3DERR_INVALIDCALL;
  if (adjacencyIn)
    for (size_t i = 0; i < size_t{m_faces} * 3; ++i)
      if (adjacencyIn[i] != kNoFace && adjacencyIn[i] >= m_faces) return D3DERR_INVALIDCALL;
  const bool reorders = (flags & (D3DXMESHOPT_VERTEXCACHE | D3DXMESHOPT_STRIPREORDER)) != 0;
  const bool sort = reorders || (flags & D3DXMESHOPT_ATTRSORT);
  const bool compact = reorders || (flags & D3DXMESHOPT_COMPACT);
  return guarded([&] {
    std::vector<DWORD> oldIndices;
    std::vector<BYTE> oldVertices;
    {
      MeshBuffers buffers(this, D3DLOCK_READONLY);
      if (FAILED(buffers.result())) return buffers.result();
      oldIndices = buffers.indices();
      oldVertices.assign(buffers.vertex(0), buffers.vertex(m_vertices));
    }
    // newFaces[new] = old face; the same for vertices.
    std::vector<DWORD> newFaces(m_faces);
    std::iota(newFaces.begin(), newFaces.end(), 0u);
    if (sort)
      std::stable_sort(newFaces.begin(), newFaces.end(),
                       [&](DWORD a, DWORD b) { return m_attributes[a] < m_attributes[b]; });
    std::vector<DWORD> newVertices;
    std::vector<DWORD> vertexOf(m_vertices, kNoFace);  // old vertex -> new vertex
    for (DWORD oldFace : newFaces)
      for (DWORD c = 0; c < 3; ++c) {
        DWORD& mapped = vertexOf[oldIndices[oldFace * 3 + c]];
        if (mapped == kNoFace) {
          mapped = static_cast<DWORD>(newVertices.size());
          newVertices.push_back(oldIndices[oldFace * 3 + c]);
        }
      }
    if (!compact) {
      newVertices.resize(m_vertices);
      std::iota(newVertices.begin(), newVertices.end(), 0u);
      std::iota(vertexOf.begin(), vertexOf.end(), 0u);
    }

    std::vector<DWORD> indices(oldIndices.size()), attributes(m_faces), faceOf(m_faces);
    for (DWORD f = 0; f < m_faces; ++f) {
      faceOf[newFaces[f]] = f;
      attributes[f] = m_attributes[newFaces[f]];
      for (DWORD c = 0; c < 3; ++c) indices[f * 3 + c] = vertexOf[oldIndices[newFaces[f] * 3 + c]];
    }
    std::vector<BYTE> vertices(newVertices.size() * m_layout.size);
    for (size_t v = 0; v < newVertices.size(); ++v)
      std::memcpy(vertices.data() + v * m_layout.size, oldVertices.data() + size_t{newVertices[v]} * m_layout.size,
                  m_layout.size);

    ComPtr<ID3DXBuffer> remap;
    if (vertexRemap) {
      if (const HRESULT hr = D3DXCreateBuffer(static_cast<DWORD>(newVertices.size() * sizeof(DWORD)), remap.receive());
          FAILED(hr))
        return hr;
      std::memcpy(remap->GetBufferPointer(), newVertices.data(), newVertices.size() * sizeof(DWORD));
    }
    if (newVertices.size() != m_vertices) {
      ComPtr<IDirect3DVertexBuffer9> smaller;
      if (const HRESULT hr = createVertexBuffer(static_cast<DWORD>(newVertices.size()), smaller); FAILED(hr)) return hr;
      m_vertexBuffer = std::move(smaller);
      m_vertices = static_cast<DWORD>(newVertices.size());
    }
    if (const HRESULT hr = writeMesh(this, vertices.data(), indices.data(), attributes.data()); FAILED(hr)) return hr;

    if (faceRemap) std::copy(newFaces.begin(), newFaces.end(), faceRemap);
    if (adjacencyOut && adjacencyIn) {
      std::vector<DWORD> adjacency(indices.size());
      for (DWORD f = 0; f < m_faces; ++f)
        for (DWORD e = 0; e < 3; ++e) {
          const DWORD neighbour = adjacencyIn[newFaces[f] * 3 + e];
          adjacency[f * 3 + e] = neighbour == kNoFace ? kNoFace : faceOf[neighbour];
        }
      std::copy(adjacency.begin(), adjacency.end(), adjacencyOut);
    } else if (adjacencyOut) {
      if (const HRESULT hr = GenerateAdjacency(0.0f, adjacencyOut); FAILED(hr)) return hr;
    }
    if (vertexRemap) *vertexRemap = remap.detach();
    return S_OK;
  });
}

}  // namespace
}  // namespace d3dx

extern "C" HRESULT WINAPI D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf,
                                            LPDIRECT3DDEVICE9 device, LPD3DXMESH* mesh) {
  if (mesh == nullptr) return D3DERR_INVALIDCALL;
  *mesh = nullptr;
  d3dx::ComPtr<d3dx::Mesh> made;
  const HRESULT hr = d3dx::Mesh::create(numFaces, numVertices, options, fvf, device, made);
  if (SUCCEEDED(hr)) *mesh = made.detach();
  return hr;
}
