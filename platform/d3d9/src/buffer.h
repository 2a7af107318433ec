// Vertex and index buffers: a memory copy that Lock hands out, and on a HAL device an
// OpenGL buffer that receives the changed bytes when the last lock is released.
#pragma once

#include <cstdint>
#include <type_traits>
#include <vector>

#include "device_child.h"

namespace d3d9 {

// What the two kinds of buffer share: storage, lock rules and the OpenGL side. They differ
// only in what they describe themselves as (a vertex format, an index format).
template <typename Interface>
class Buffer : public DeviceChild<Interface> {
 public:
  ~Buffer() override;

  D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return kType; }
  // Nested locks are allowed; the last Unlock uploads the union of the written ranges.
  HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, void** data, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE Unlock() override;

  const std::vector<uint8_t>& bytes() const { return m_bytes; }
  uint32_t glName() const { return m_glName; }
  UINT length() const { return static_cast<UINT>(m_bytes.size()); }
  DWORD usage() const { return m_usage; }
  D3DPOOL pool() const { return m_pool; }

 protected:
  static constexpr bool kIndexData = std::is_same_v<Interface, IDirect3DIndexBuffer9>;
  static constexpr D3DRESOURCETYPE kType = kIndexData ? D3DRTYPE_INDEXBUFFER : D3DRTYPE_VERTEXBUFFER;

  Buffer(Device* device, UINT length, DWORD usage, D3DPOOL pool);
  // Called when a lock for writing begins and when it ends: the bytes may change between.
  virtual void contentsChanging() {}
  // The checks CreateVertexBuffer and CreateIndexBuffer have in common.
  static bool validArguments(UINT length, DWORD usage, D3DPOOL pool);
  void* interfaceFor(REFIID riid) override;

 private:
  std::vector<uint8_t> m_bytes;
  DWORD m_usage;
  D3DPOOL m_pool;
  uint32_t m_glName = 0;
  uint32_t m_lockCount = 0;
  size_t m_dirtyBegin = 0;
  size_t m_dirtyEnd = 0;
};

extern template class Buffer<IDirect3DVertexBuffer9>;
extern template class Buffer<IDirect3DIndexBuffer9>;

class VertexBuffer final : public Buffer<IDirect3DVertexBuffer9> {
 public:
  static HRESULT create(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, VertexBuffer** buffer);
  HRESULT STDMETHODCALLTYPE GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

 private:
  VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
      : Buffer(device, length, usage, pool), m_fvf(fvf) {}
  DWORD m_fvf;
};

class IndexBuffer final : public Buffer<IDirect3DIndexBuffer9> {
 public:
  struct IndexRange {
    uint32_t lowest = 0, highest = 0;
  };

  static HRESULT create(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool, IndexBuffer** buffer);
  HRESULT STDMETHODCALLTYPE GetDesc(D3DINDEXBUFFER_DESC* desc) override;
  D3DFORMAT format() const { return m_format; }
  uint32_t indexSize() const { return m_format == D3DFMT_INDEX32 ? 4 : 2; }
  // The lowest and highest of `count` (at least 1) indices from `start`, which the caller has
  // checked to lie inside the buffer. Meshes draw the same ranges every frame, so the answers
  // are kept until the bytes are next locked for writing.
  IndexRange indexRange(UINT start, UINT count);

 private:
  struct KnownRange {
    UINT start, count;
    IndexRange range;
  };

  IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
      : Buffer(device, length, usage, pool), m_format(format) {}
  void contentsChanging() override { m_knownRanges.clear(); }

  D3DFORMAT m_format;
  std::vector<KnownRange> m_knownRanges;
};

}  // namespace d3d9
