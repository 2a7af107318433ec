#include "buffer.h"

#include <algorithm>
#include <new>

#include "gl_renderer.h"

namespace d3d9 {

namespace {

constexpr DWORD kBufferUsages = D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC | D3DUSAGE_SOFTWAREPROCESSING |
                                D3DUSAGE_DONOTCLIP | D3DUSAGE_POINTS;
constexpr UINT kMaxBufferLength = 256u << 20;

bool validPool(D3DPOOL pool) {
  return pool == D3DPOOL_DEFAULT || pool == D3DPOOL_MANAGED || pool == D3DPOOL_SYSTEMMEM || pool == D3DPOOL_SCRATCH;
}

}  // namespace

BufferStorage::BufferStorage(Device* device, UINT length, DWORD usage, D3DPOOL pool, bool indexData)
    : m_device(device), m_bytes(length, 0), m_usage(usage), m_pool(pool), m_indexData(indexData) {
  if (GlRenderer* renderer = device->renderer(); renderer != nullptr && pool != D3DPOOL_SCRATCH) {
    device->makeCurrent();
    m_glName = renderer->createBuffer(length, indexData);
  }
}

BufferStorage::~BufferStorage() {
  if (m_glName != 0) {
    m_device->makeCurrent();
    m_device->renderer()->deleteBuffer(m_glName);
  }
}

HRESULT BufferStorage::lock(UINT offset, UINT size, void** data, DWORD flags) {
  if (data == nullptr) return D3DERR_INVALIDCALL;
  *data = nullptr;
  if (offset > m_bytes.size()) return D3DERR_INVALIDCALL;
  if (size == 0) size = static_cast<UINT>(m_bytes.size() - offset);  // zero locks to the end
  if (size > m_bytes.size() - offset) return D3DERR_INVALIDCALL;
  ++m_lockCount;
  if (!(flags & D3DLOCK_READONLY)) {
    if (m_dirtyBegin == m_dirtyEnd) {
      m_dirtyBegin = offset;
      m_dirtyEnd = offset + size;
    } else {
      m_dirtyBegin = std::min<size_t>(m_dirtyBegin, offset);
      m_dirtyEnd = std::max<size_t>(m_dirtyEnd, offset + size);
    }
  }
  *data = m_bytes.data() + offset;
  return D3D_OK;
}

HRESULT BufferStorage::unlock() {
  if (m_lockCount == 0) return D3DERR_INVALIDCALL;
  if (--m_lockCount > 0) return D3D_OK;
  if (m_glName != 0 && m_dirtyEnd > m_dirtyBegin) {
    m_device->makeCurrent();
    m_device->renderer()->uploadBuffer(m_glName, m_indexData, m_dirtyBegin, m_dirtyEnd - m_dirtyBegin,
                                       m_bytes.data() + m_dirtyBegin);
  }
  m_dirtyBegin = m_dirtyEnd = 0;
  return D3D_OK;
}

// ---- vertex buffers --------------------------------------------------------------------

VertexBuffer::VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : DeviceChild(device), m_storage(device, length, usage, pool, false), m_fvf(fvf) {}

HRESULT VertexBuffer::create(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                             VertexBuffer** buffer) {
  initReturnPtr(buffer);
  if (buffer == nullptr || (usage & ~kBufferUsages) != 0 || !validPool(pool)) return D3DERR_INVALIDCALL;
  if (length == 0 || length > kMaxBufferLength) return D3DERR_INVALIDCALL;
  if (fvf != 0) {
    FvfLayout layout;
    // A buffer with a vertex format must hold at least one vertex of it.
    if (!parseFvf(fvf, layout) || length < layout.size) return D3DERR_INVALIDCALL;
  }
  try {
    auto* result = new VertexBuffer(device, length, usage, fvf, pool);
    result->AddRef();
    *buffer = result;
  } catch (const std::bad_alloc&) {
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  return D3D_OK;
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
  if (desc == nullptr) return D3DERR_INVALIDCALL;
  *desc = D3DVERTEXBUFFER_DESC{D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, m_storage.usage(),
                               m_storage.pool(),  m_storage.length(),   m_fvf};
  return D3D_OK;
}

void* VertexBuffer::interfaceFor(REFIID riid) {
  if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 || riid == IID_IDirect3DVertexBuffer9)
    return static_cast<IDirect3DVertexBuffer9*>(this);
  return nullptr;
}

// ---- index buffers ---------------------------------------------------------------------

IndexBuffer::IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : DeviceChild(device), m_storage(device, length, usage, pool, true), m_format(format) {}

HRESULT IndexBuffer::create(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            IndexBuffer** buffer) {
  initReturnPtr(buffer);
  if (buffer == nullptr || (usage & ~kBufferUsages) != 0 || !validPool(pool)) return D3DERR_INVALIDCALL;
  if (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
  if (length == 0 || length > kMaxBufferLength) return D3DERR_INVALIDCALL;
  try {
    auto* result = new IndexBuffer(device, length, usage, format, pool);
    result->AddRef();
    *buffer = result;
  } catch (const std::bad_alloc&) {
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  return D3D_OK;
}

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
  if (desc == nullptr) return D3DERR_INVALIDCALL;
  *desc = D3DINDEXBUFFER_DESC{m_format, D3DRTYPE_INDEXBUFFER, m_storage.usage(), m_storage.pool(),
                              m_storage.length()};
  return D3D_OK;
}

void* IndexBuffer::interfaceFor(REFIID riid) {
  if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 || riid == IID_IDirect3DIndexBuffer9)
    return static_cast<IDirect3DIndexBuffer9*>(this);
  return nullptr;
}

}  // namespace d3d9
