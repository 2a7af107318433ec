#include <d3dx9core.h>

#include <memory>
#include <new>

#include "d3dx_com.h"

extern "C" const IID IID_ID3DXBuffer = {0x8ba5fb08, 0x5195, 0x40e2, {0xac, 0x58, 0x0d, 0x98, 0x9c, 0x3a, 0x01, 0x02}};

namespace {

class Buffer final : public d3dx::RefCounted<ID3DXBuffer> {
 public:
  Buffer(std::unique_ptr<BYTE[]> bytes, DWORD size) : m_bytes(std::move(bytes)), m_size(size) {}

  LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return m_bytes.get(); }
  DWORD STDMETHODCALLTYPE GetBufferSize() override { return m_size; }

 private:
  bool answersTo(REFIID riid) const override { return IsEqualGUID(riid, IID_ID3DXBuffer); }

  std::unique_ptr<BYTE[]> m_bytes;
  DWORD m_size;
};

}  // namespace

extern "C" HRESULT WINAPI D3DXCreateBuffer(DWORD numBytes, LPD3DXBUFFER* buffer) {
  if (buffer == nullptr) return D3DERR_INVALIDCALL;
  // A zero-byte buffer still hands out a distinct, non-null pointer.
  std::unique_ptr<BYTE[]> bytes(new (std::nothrow) BYTE[numBytes == 0 ? 1 : numBytes]());
  if (!bytes) return E_OUTOFMEMORY;
  auto* object = new (std::nothrow) Buffer(std::move(bytes), numBytes);
  if (object == nullptr) return E_OUTOFMEMORY;
  *buffer = object;
  return S_OK;
}
