// What every part of the asset library shares: its result codes and the ID3DXBuffer blob
// that several routines hand back.
#pragma once

#include <d3d9.h>

#define MAKE_DDHRESULT(code) MAKE_HRESULT(1, 0x876, code)

enum _D3DXERR : HRESULT {
  D3DXERR_CANNOTMODIFYINDEXBUFFER = MAKE_DDHRESULT(2900),
  D3DXERR_INVALIDMESH = MAKE_DDHRESULT(2901),
  D3DXERR_CANNOTATTRSORT = MAKE_DDHRESULT(2902),
  D3DXERR_SKINNINGNOTSUPPORTED = MAKE_DDHRESULT(2903),
  D3DXERR_TOOMANYINFLUENCES = MAKE_DDHRESULT(2904),
  D3DXERR_INVALIDDATA = MAKE_DDHRESULT(2905),
  D3DXERR_LOADEDMESHASNODATA = MAKE_DDHRESULT(2906),
  D3DXERR_DUPLICATENAMEDFRAGMENT = MAKE_DDHRESULT(2907),
  D3DXERR_CANNOTREMOVELASTITEM = MAKE_DDHRESULT(2908),
};

extern "C" const IID IID_ID3DXBuffer;

// A block of bytes with a reference count.
struct ID3DXBuffer : public IUnknown {
  virtual LPVOID STDMETHODCALLTYPE GetBufferPointer() = 0;
  virtual DWORD STDMETHODCALLTYPE GetBufferSize() = 0;

 protected:
  ~ID3DXBuffer() = default;
};
typedef ID3DXBuffer* LPD3DXBUFFER;

extern "C" {
// A zero-filled buffer of `numBytes` bytes with one reference. E_OUTOFMEMORY when it cannot be
// allocated, D3DERR_INVALIDCALL without an out pointer.
HRESULT WINAPI D3DXCreateBuffer(DWORD numBytes, LPD3DXBUFFER* buffer);
}
