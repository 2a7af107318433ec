// Device set-up shared by the tests and benchmarks of the Direct3D 9 layer and its callers.
#pragma once

#include "d3d9.h"

namespace d3d9test {

// A windowed X8R8G8B8 back buffer of the given size (0: the window's client size) with a
// 16-bit depth buffer, as the program asks for.
inline D3DPRESENT_PARAMETERS windowedParameters(UINT width, UINT height, HWND window = nullptr) {
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = width;
  pp.BackBufferHeight = height;
  pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.hDeviceWindow = window;
  pp.Windowed = TRUE;
  pp.EnableAutoDepthStencil = TRUE;
  pp.AutoDepthStencilFormat = D3DFMT_D16;
  return pp;
}

// A NULLREF device with software vertex processing on a new Direct3D object. On failure
// whatever was made is released again and both pointers are null.
inline HRESULT createNullRefDevice(UINT width, UINT height, IDirect3D9*& d3d, IDirect3DDevice9*& device) {
  device = nullptr;
  d3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (d3d == nullptr) return E_FAIL;
  D3DPRESENT_PARAMETERS pp = windowedParameters(width, height);
  const HRESULT hr =
      d3d->CreateDevice(0, D3DDEVTYPE_NULLREF, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device);
  if (FAILED(hr)) {
    d3d->Release();
    d3d = nullptr;
  }
  return hr;
}

}  // namespace d3d9test
