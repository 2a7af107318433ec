// The Direct3D object: adapter queries, format checks, capabilities and device creation.
#pragma once

#include "com_object.h"
#include "gl_renderer.h"

namespace d3d9 {

class Direct3D final : public ComObject<IDirect3D9> {
 public:
  Direct3D() = default;
  ~Direct3D() override;

  HRESULT STDMETHODCALLTYPE RegisterSoftwareDevice(void*) override;
  UINT STDMETHODCALLTYPE GetAdapterCount() override;
  HRESULT STDMETHODCALLTYPE GetAdapterIdentifier(UINT adapter, DWORD flags,
                                                 D3DADAPTER_IDENTIFIER9* identifier) override;
  UINT STDMETHODCALLTYPE GetAdapterModeCount(UINT adapter, D3DFORMAT format) override;
  HRESULT STDMETHODCALLTYPE EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode,
                                             D3DDISPLAYMODE* displayMode) override;
  HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
  HRESULT STDMETHODCALLTYPE CheckDeviceType(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                            D3DFORMAT backBufferFormat, BOOL windowed) override;
  HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat, DWORD usage,
                                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override;
  HRESULT STDMETHODCALLTYPE CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT surfaceFormat,
                                                       BOOL windowed, D3DMULTISAMPLE_TYPE multiSampleType,
                                                       DWORD* qualityLevels) override;
  HRESULT STDMETHODCALLTYPE CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                                   D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) override;
  HRESULT STDMETHODCALLTYPE CheckDeviceFormatConversion(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT sourceFormat,
                                                        D3DFORMAT targetFormat) override;
  HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) override;
  HMONITOR STDMETHODCALLTYPE GetAdapterMonitor(UINT adapter) override;
  HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                                         D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) override;

 protected:
  void* interfaceFor(REFIID riid) override;

 private:
  bool m_startedVideo = false;
};

// The capabilities of a device of this type; HAL texture and point limits come from OpenGL.
D3DCAPS9 deviceCaps(D3DDEVTYPE type, const GlLimits& limits);
// Texture-size limit of devices without OpenGL (NULLREF).
constexpr uint32_t kNullRefMaxTextureSize = 8192;
// Most primitives one draw may have (MaxPrimitiveCount); keeps every draw's vertex count and
// byte size far inside OpenGL's signed sizes.
constexpr uint32_t kMaxPrimitiveCount = 0xFFFFF;
// The display mode of adapter 0 (starts SDL video if nobody has); false without a display.
bool currentDisplayMode(D3DDISPLAYMODE& mode, bool& startedVideo);

}  // namespace d3d9
