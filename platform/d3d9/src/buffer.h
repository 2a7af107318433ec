// Vertex and index buffers: a memory copy that Lock hands out, and on a HAL device an
// OpenGL buffer that receives the changed bytes when the last lock is released.
#pragma once

#include <cstdint>
#include <vector>

#include "device_child.h"

namespace d3d9 {

// What the two kinds of buffer share; Lock rules are the same for both.
class BufferStorage {
 public:
  BufferStorage(Device* device, UINT length, DWORD usage, D3DPOOL pool, bool indexData);
  ~BufferStorage();
  BufferStorage(const BufferStorage&) = delete;
  BufferStorage& operator=(const BufferStorage&) = delete;

  HRESULT lock(UINT offset, UINT size, void** data, DWORD flags);
  HRESULT unlock();
  const std::vector<uint8_t>& bytes() const { return m_bytes; }
  uint32_t glName() const { return m_glName; }
  UINT length() const { return static_cast<UINT>(m_bytes.size()); }
  DWORD usage() const { return m_usage; }
  D3DPOOL pool() const { return m_pool; }

 private:
  Device* m_device;
  std::vector<uint8_t> m_bytes;
  DWORD m_usage;
  D3DPOOL m_pool;
  uint32_t m_glName = 0;
  uint32_t m_lockCount = 0;
  size_t m_dirtyBegin = 0;
  size_t m_dirtyEnd = 0;
  bool m_indexData;
};

class VertexBuffer final : public DeviceChild<IDirect3DVertexBuffer9> {
 public:
  static HRESULT create(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, VertexBuffer** buffer);

  D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
  HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, void** data, DWORD flags) override {
    return m_storage.lock(offset, size, data, flags);
  }
  HRESULT STDMETHODCALLTYPE Unlock() override { return m_storage.unlock(); }
  HRESULT STDMETHODCALLTYPE GetDesc(D3DVERTEXBUFFER_DESC* desc) override;
  const BufferStorage& storage() const { return m_storage; }

 protected:
  void* interfaceFor(REFIID riid) override;

 private:
  VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
  BufferStorage m_storage;
  DWORD m_fvf;
};

class IndexBuffer final : public DeviceChild<IDirect3DIndexBuffer9> {
 public:
  static HRESULT create(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                        IndexBuffer** buffer);

  D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
  HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, void** data, DWORD flags) override {
    return m_storage.lock(offset, size, data, flags);
  }
  HRESULT STDMETHODCALLTYPE Unlock() override { return m_storage.unlock(); }
  HRESULT STDMETHODCALLTYPE GetDesc(D3DINDEXBUFFER_DESC* desc) override;
  const BufferStorage& storage() const { return m_storage; }
  D3DFORMAT format() const { return m_format; }

 protected:
  void* interfaceFor(REFIID riid) override;

 private:
  IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
  BufferStorage m_storage;
  D3DFORMAT m_format;
};

}  // namespace d3d9
