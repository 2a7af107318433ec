#include "buffer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "gl_renderer.h"

namespace d3d9 {

namespace {

constexpr DWORD kBufferUsages =
    D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC | D3DUSAGE_SOFTWAREPROCESSING | D3DUSAGE_DONOTCLIP | D3DUSAGE_POINTS;
constexpr UINT kMaxBufferLength = 256u << 20;

// Makes a buffer and hands its first reference out; running out of memory is an error result.
template <typename Made, typename Make>
HRESULT publish(Make make, Made** result) {
  try {
    Made* made = make();
    made->AddRef();
    *result = made;
  } catch (const std::bad_alloc&) {
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  return D3D_OK;
}

}  // namespace

template <typename Interface>
Buffer<Interface>::Buffer(Device* device, UINT length, DWORD usage, D3DPOOL pool)
    : DeviceChild<Interface>(device), m_bytes(length, 0), m_usage(usage), m_pool(pool) {
  if (GlRenderer* renderer = device->renderer(); renderer != nullptr && pool != D3DPOOL_SCRATCH) {
    device->makeCurrent();
    m_glName = renderer->createBuffer(length, kIndexData);
  }
}

template <typename Interface>
Buffer<Interface>::~Buffer() {
  if (m_glName != 0) {
    this->device()->makeCurrent();
    this->device()->renderer()->deleteBuffer(m_glName);
  }
}

template <typename Interface>
bool Buffer<Interface>::validArguments(UINT length, DWORD usage, D3DPOOL pool) {
  const bool knownPool =
      pool == D3DPOOL_DEFAULT || pool == D3DPOOL_MANAGED || pool == D3DPOOL_SYSTEMMEM || pool == D3DPOOL_SCRATCH;
  return knownPool && (usage & ~kBufferUsages) == 0 && length != 0 && length <= kMaxBufferLength;
}

template <typename Interface>
void* Buffer<Interface>::interfaceFor(REFIID riid) {
  const IID& own = kIndexData ? IID_IDirect3DIndexBuffer9 : IID_IDirect3DVertexBuffer9;
  if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 || riid == own) return static_cast<Interface*>(this);
  return nullptr;
}

template <typename Interface>
HRESULT Buffer<Interface>::Lock(UINT offset, UINT size, void** data, DWORD flags) {
  if (data == nullptr) return D3DERR_INVALIDCALL;
  *data = nullptr;
  if (offset > m_bytes.size()) return D3DERR_INVALIDCALL;
  if (size == 0) size = static_cast<UINT>(m_bytes.size() - offset);  // zero locks to the end
  if (size > m_bytes.size() - offset) return D3DERR_INVALIDCALL;
  ++m_lockCount;
  if (!(flags & D3DLOCK_READONLY)) {
    contentsChanging();
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

template <typename Interface>
HRESULT Buffer<Interface>::Unlock() {
  if (m_lockCount == 0) return D3DERR_INVALIDCALL;
  if (--m_lockCount > 0) return D3D_OK;
  if (m_dirtyEnd > m_dirtyBegin) contentsChanging();
  if (m_glName != 0 && m_dirtyEnd > m_dirtyBegin) {
    Device* device = this->device();
    device->makeCurrent();
    device->renderer()->uploadBuffer(m_glName, kIndexData, m_dirtyBegin, m_dirtyEnd - m_dirtyBegin,
                                     m_bytes.data() + m_dirtyBegin);
  }
  m_dirtyBegin = m_dirtyEnd = 0;
  return D3D_OK;
}

template class Buffer<IDirect3DVertexBuffer9>;
template class Buffer<IDirect3DIndexBuffer9>;

// ---- vertex buffers --------------------------------------------------------------------

HRESULT VertexBuffer::create(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, VertexBuffer** buffer) {
  initReturnPtr(buffer);
  if (buffer == nullptr || !validArguments(length, usage, pool)) return D3DERR_INVALIDCALL;
  if (fvf != 0) {
    FvfLayout layout;
    // A buffer with a vertex format must hold at least one vertex of it.
    if (!parseFvf(fvf, layout) || length < layout.size) return D3DERR_INVALIDCALL;
  }
  return publish([&] { return new VertexBuffer(device, length, usage, fvf, pool); }, buffer);
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
  if (desc == nullptr) return D3DERR_INVALIDCALL;
  *desc = D3DVERTEXBUFFER_DESC{D3DFMT_VERTEXDATA, kType, usage(), pool(), length(), m_fvf};
  return D3D_OK;
}

// ---- index buffers ---------------------------------------------------------------------

HRESULT IndexBuffer::create(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            IndexBuffer** buffer) {
  initReturnPtr(buffer);
  if (buffer == nullptr || !validArguments(length, usage, pool)) return D3DERR_INVALIDCALL;
  if (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
  return publish([&] { return new IndexBuffer(device, length, usage, format, pool); }, buffer);
}

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
  if (desc == nullptr) return D3DERR_INVALIDCALL;
  *desc = D3DINDEXBUFFER_DESC{m_format, kType, usage(), pool(), length()};
  return D3D_OK;
}

IndexBuffer::IndexRange IndexBuffer::indexRange(UINT start, UINT count) {
  for (const KnownRange& known : m_knownRanges)
    if (known.start == start && known.count == count) return known.range;
  const uint8_t* at = bytes().data() + static_cast<size_t>(start) * indexSize();
  IndexRange range{0xFFFFFFFFu, 0};
  for (UINT i = 0; i < count; ++i) {
    uint32_t index;
    if (m_format == D3DFMT_INDEX32) {
      std::memcpy(&index, at + size_t{i} * 4, 4);
    } else {
      uint16_t value;
      std::memcpy(&value, at + size_t{i} * 2, 2);
      index = value;
    }
    range.lowest = std::min(range.lowest, index);
    range.highest = std::max(range.highest, index);
  }
  // A buffer drawn in ever new pieces keeps only the latest answers.
  constexpr size_t kMostKnownRanges = 64;
  if (m_knownRanges.size() == kMostKnownRanges) m_knownRanges.erase(m_knownRanges.begin());
  m_knownRanges.push_back({start, count, range});
  return range;
}

}  // namespace d3d9
