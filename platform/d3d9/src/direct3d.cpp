#include "direct3d.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>
#include <optional>

#include "device.h"
#include "log.h"
#include "testing_hooks.h"
#include "win32_layer.h"

extern "C" {
// The COM base IID is declared with the window layer's types; until another library defines
// it this one does, weakly, so a later strong definition wins without a clash.
__attribute__((weak)) extern const IID IID_IUnknown;
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IDirect3D9 = {0x81bdcbca, 0x64d4, 0x426d, {0xae, 0x8d, 0xad, 0x01, 0x47, 0xf4, 0x27, 0x5c}};
const IID IID_IDirect3DDevice9 = {0xd0223b96, 0xbf7a, 0x43fd, {0x92, 0xbd, 0xa4, 0x3b, 0x0d, 0x82, 0xb9, 0xeb}};
const IID IID_IDirect3DResource9 = {0x05eec05d, 0x8f7d, 0x4362, {0xb9, 0x99, 0xd1, 0xba, 0xf3, 0x57, 0xc7, 0x04}};
const IID IID_IDirect3DBaseTexture9 = {0x580ca87e, 0x1d3c, 0x4d54, {0x99, 0x1d, 0xb7, 0xd3, 0xe3, 0xc2, 0x98, 0xce}};
const IID IID_IDirect3DTexture9 = {0x85c31227, 0x3de5, 0x4f00, {0x9b, 0x3a, 0xf1, 0x1a, 0xc3, 0x8c, 0x18, 0xb5}};
const IID IID_IDirect3DSurface9 = {0x0cfbaf3a, 0x9ff6, 0x429a, {0x99, 0xb3, 0xa2, 0x79, 0x6a, 0xf8, 0xb8, 0x9b}};
const IID IID_IDirect3DVertexBuffer9 = {0xb64bb1b5, 0xfd70, 0x4df6, {0xbf, 0x91, 0x19, 0xd0, 0xa1, 0x24, 0x55, 0xe3}};
const IID IID_IDirect3DIndexBuffer9 = {0x7c9dd65e, 0xd3f7, 0x4529, {0xac, 0xee, 0x78, 0x58, 0x30, 0xac, 0xde, 0x35}};
}

namespace d3d9 {

namespace {

bool validDeviceType(D3DDEVTYPE type) { return type == D3DDEVTYPE_HAL || type == D3DDEVTYPE_NULLREF; }

// The formats a display can run at here.
constexpr D3DFORMAT kDisplayFormats[] = {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5};
bool displayFormat(D3DFORMAT format) { return std::ranges::find(kDisplayFormats, format) != std::end(kDisplayFormats); }

// A windowed back buffer has the display's colour layout, with or without alpha.
bool backBufferFormatFor(D3DFORMAT displayMode, D3DFORMAT backBuffer) {
  switch (displayMode) {
    case D3DFMT_X8R8G8B8:
      return backBuffer == D3DFMT_X8R8G8B8 || backBuffer == D3DFMT_A8R8G8B8;
    case D3DFMT_R5G6B5:
      return backBuffer == D3DFMT_R5G6B5;
    case D3DFMT_X1R5G5B5:
      return backBuffer == D3DFMT_X1R5G5B5 || backBuffer == D3DFMT_A1R5G5B5;
    default:
      return false;
  }
}

// The display format whose framebuffer has these channel sizes.
std::optional<D3DFORMAT> displayFormatOf(ColourBits bits) {
  if (bits == ColourBits{8, 8, 8}) return D3DFMT_X8R8G8B8;
  if (bits == ColourBits{5, 6, 5}) return D3DFMT_R5G6B5;
  if (bits == ColourBits{5, 5, 5}) return D3DFMT_X1R5G5B5;
  return std::nullopt;
}

bool depthFormat(D3DFORMAT format) { return format == D3DFMT_D16 || format == D3DFMT_D24X8 || format == D3DFMT_D24S8; }

}  // namespace

bool currentDisplayMode(D3DDISPLAYMODE& mode, bool& startedVideo) {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    startedVideo = true;
  }
  SDL_DisplayMode desktop;
  if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return false;
  mode.Width = static_cast<UINT>(desktop.w);
  mode.Height = static_cast<UINT>(desktop.h);
  mode.RefreshRate = desktop.refresh_rate > 0 ? static_cast<UINT>(desktop.refresh_rate) : 60;
  switch (SDL_BITSPERPIXEL(desktop.format)) {
    case 15:
      mode.Format = D3DFMT_X1R5G5B5;
      break;
    case 16:
      mode.Format = D3DFMT_R5G6B5;
      break;
    default:
      mode.Format = D3DFMT_X8R8G8B8;
      break;
  }
  return true;
}

D3DCAPS9 deviceCaps(D3DDEVTYPE type, const GlLimits& limits) {
  D3DCAPS9 caps{};
  caps.DeviceType = type;
  caps.AdapterOrdinal = 0;
  caps.Caps2 = D3DCAPS2_DYNAMICTEXTURES;
  caps.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
  caps.DevCaps = D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY | D3DDEVCAPS_TEXTUREVIDEOMEMORY |
                 D3DDEVCAPS_DRAWPRIMTLVERTEX | D3DDEVCAPS_CANRENDERAFTERFLIP | D3DDEVCAPS_DRAWPRIMITIVES2 |
                 D3DDEVCAPS_DRAWPRIMITIVES2EX | D3DDEVCAPS_HWRASTERIZATION;
  caps.PrimitiveMiscCaps = D3DPMISCCAPS_MASKZ | D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW |
                           D3DPMISCCAPS_COLORWRITEENABLE | D3DPMISCCAPS_BLENDOP;
  caps.RasterCaps = D3DPRASTERCAPS_ZTEST;
  const DWORD allCompares = D3DPCMPCAPS_NEVER | D3DPCMPCAPS_LESS | D3DPCMPCAPS_EQUAL | D3DPCMPCAPS_LESSEQUAL |
                            D3DPCMPCAPS_GREATER | D3DPCMPCAPS_NOTEQUAL | D3DPCMPCAPS_GREATEREQUAL | D3DPCMPCAPS_ALWAYS;
  caps.ZCmpCaps = allCompares;
  caps.AlphaCmpCaps = allCompares;
  const DWORD blends = D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCCOLOR | D3DPBLENDCAPS_INVSRCCOLOR |
                       D3DPBLENDCAPS_SRCALPHA | D3DPBLENDCAPS_INVSRCALPHA | D3DPBLENDCAPS_DESTALPHA |
                       D3DPBLENDCAPS_INVDESTALPHA | D3DPBLENDCAPS_DESTCOLOR | D3DPBLENDCAPS_INVDESTCOLOR |
                       D3DPBLENDCAPS_SRCALPHASAT;
  caps.SrcBlendCaps = blends;
  caps.DestBlendCaps = blends;
  caps.ShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_ALPHAGOURAUDBLEND;
  // Any size, not only squares or powers of two, with full mip chains.
  caps.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP;
  caps.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MIPFPOINT |
                           D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
  caps.TextureAddressCaps =
      D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP | D3DPTADDRESSCAPS_BORDER;
  caps.LineCaps = D3DLINECAPS_TEXTURE | D3DLINECAPS_ZTEST | D3DLINECAPS_BLEND | D3DLINECAPS_ALPHACMP;
  const DWORD maxSize = type == D3DDEVTYPE_HAL ? limits.maxTextureSize : kNullRefMaxTextureSize;
  caps.MaxTextureWidth = maxSize;
  caps.MaxTextureHeight = maxSize;
  caps.MaxTextureRepeat = 8192;
  caps.MaxTextureAspectRatio = maxSize;
  caps.MaxAnisotropy = 1;
  caps.MaxVertexW = 1e10f;
  caps.GuardBandLeft = -8192.0f;
  caps.GuardBandTop = -8192.0f;
  caps.GuardBandRight = 8192.0f;
  caps.GuardBandBottom = 8192.0f;
  caps.FVFCaps = 8 | D3DFVFCAPS_PSIZE;
  caps.TextureOpCaps = D3DTEXOPCAPS_DISABLE | D3DTEXOPCAPS_SELECTARG1 | D3DTEXOPCAPS_SELECTARG2 | D3DTEXOPCAPS_MODULATE;
  caps.MaxTextureBlendStages = 1;
  caps.MaxSimultaneousTextures = 1;
  caps.VertexProcessingCaps =
      D3DVTXPCAPS_MATERIALSOURCE7 | D3DVTXPCAPS_DIRECTIONALLIGHTS | D3DVTXPCAPS_POSITIONALLIGHTS;
  caps.MaxActiveLights = kMaxActiveLights;
  caps.MaxUserClipPlanes = 0;
  caps.MaxVertexBlendMatrices = kBlendMatrixCount;
  caps.MaxVertexBlendMatrixIndex = 0;
  caps.MaxPointSize = type == D3DDEVTYPE_HAL ? limits.maxPointSize : 64.0f;
  caps.MaxPrimitiveCount = kMaxPrimitiveCount;
  caps.MaxVertexIndex = 0xFFFFFF;
  caps.MaxStreams = 1;
  caps.MaxStreamStride = 255;
  caps.VertexShaderVersion = 0;
  caps.PixelShaderVersion = 0;
  caps.MasterAdapterOrdinal = 0;
  caps.AdapterOrdinalInGroup = 0;
  caps.NumberOfAdaptersInGroup = 1;
  caps.NumSimultaneousRTs = 1;
  applyCapsOverride(caps);
  return caps;
}

Direct3D::~Direct3D() {
  if (m_startedVideo) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void* Direct3D::interfaceFor(REFIID riid) {
  if (riid == IID_IUnknown || riid == IID_IDirect3D9) return static_cast<IDirect3D9*>(this);
  return nullptr;
}

HRESULT Direct3D::RegisterSoftwareDevice(void*) { return D3DERR_INVALIDCALL; }
UINT Direct3D::GetAdapterCount() { return 1; }

HRESULT Direct3D::GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER9* identifier) {
  if (adapter != 0 || identifier == nullptr) return D3DERR_INVALIDCALL;
  *identifier = D3DADAPTER_IDENTIFIER9{};
  std::strncpy(identifier->Driver, "d3d9-gl", sizeof identifier->Driver - 1);
  std::strncpy(identifier->Description, "Direct3D 9 over OpenGL 3.3 core", sizeof identifier->Description - 1);
  std::strncpy(identifier->DeviceName, "\\\\.\\DISPLAY1", sizeof identifier->DeviceName - 1);
  return D3D_OK;
}

UINT Direct3D::GetAdapterModeCount(UINT adapter, D3DFORMAT format) {
  D3DDISPLAYMODE mode;
  if (adapter != 0 || !currentDisplayMode(mode, m_startedVideo)) return 0;
  return format == mode.Format ? 1 : 0;  // only the desktop mode: the program never changes modes
}

HRESULT Direct3D::EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT index, D3DDISPLAYMODE* displayMode) {
  if (adapter != 0 || displayMode == nullptr || index != 0) return D3DERR_INVALIDCALL;
  D3DDISPLAYMODE mode;
  if (!currentDisplayMode(mode, m_startedVideo)) return D3DERR_NOTAVAILABLE;
  if (mode.Format != format) return D3DERR_INVALIDCALL;
  *displayMode = mode;
  return D3D_OK;
}

HRESULT Direct3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
  if (adapter != 0 || mode == nullptr) return D3DERR_INVALIDCALL;
  D3DDISPLAYMODE current;
  if (!currentDisplayMode(current, m_startedVideo)) return D3DERR_NOTAVAILABLE;
  *mode = current;
  return D3D_OK;
}

HRESULT Direct3D::CheckDeviceType(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                  D3DFORMAT backBufferFormat, BOOL windowed) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  if (!validDeviceType(deviceType) || !displayFormat(adapterFormat) || !windowed) return D3DERR_NOTAVAILABLE;
  if (backBufferFormat != D3DFMT_UNKNOWN && !backBufferFormatFor(adapterFormat, backBufferFormat))
    return D3DERR_NOTAVAILABLE;
  return D3D_OK;
}

HRESULT Direct3D::CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat, DWORD usage,
                                    D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  if (!validDeviceType(deviceType) || !displayFormat(adapterFormat)) return D3DERR_NOTAVAILABLE;
  constexpr DWORD kQueries = D3DUSAGE_QUERY_FILTER | D3DUSAGE_QUERY_WRAPANDMIP;
  switch (resourceType) {
    case D3DRTYPE_TEXTURE:
    case D3DRTYPE_SURFACE: {
      if (usage & D3DUSAGE_DEPTHSTENCIL) {
        // Only the automatic depth buffer of the window exists.
        return resourceType == D3DRTYPE_SURFACE && usage == D3DUSAGE_DEPTHSTENCIL && depthFormat(checkFormat)
                   ? D3D_OK
                   : D3DERR_NOTAVAILABLE;
      }
      if ((usage & ~(D3DUSAGE_DYNAMIC | kQueries)) != 0) return D3DERR_NOTAVAILABLE;
      return textureFormatInfo(checkFormat) != nullptr ? D3D_OK : D3DERR_NOTAVAILABLE;
    }
    case D3DRTYPE_VERTEXBUFFER:
      return checkFormat == D3DFMT_VERTEXDATA ? D3D_OK : D3DERR_NOTAVAILABLE;
    case D3DRTYPE_INDEXBUFFER:
      return checkFormat == D3DFMT_INDEX16 || checkFormat == D3DFMT_INDEX32 ? D3D_OK : D3DERR_NOTAVAILABLE;
    case D3DRTYPE_VOLUME:
    case D3DRTYPE_VOLUMETEXTURE:
    case D3DRTYPE_CUBETEXTURE:
      return D3DERR_NOTAVAILABLE;
    default:
      return D3DERR_INVALIDCALL;
  }
}

HRESULT Direct3D::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT, BOOL,
                                             D3DMULTISAMPLE_TYPE multiSampleType, DWORD* qualityLevels) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  if (!validDeviceType(deviceType) || multiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_NOTAVAILABLE;
  if (qualityLevels) *qualityLevels = 1;
  return D3D_OK;
}

HRESULT Direct3D::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                         D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  if (!validDeviceType(deviceType) || !displayFormat(adapterFormat) || !depthFormat(depthStencilFormat))
    return D3DERR_NOTAVAILABLE;
  if (!backBufferFormatFor(adapterFormat, renderTargetFormat)) return D3DERR_NOTAVAILABLE;
  return D3D_OK;
}

HRESULT Direct3D::CheckDeviceFormatConversion(UINT adapter, D3DDEVTYPE, D3DFORMAT, D3DFORMAT) {
  return adapter != 0 ? D3DERR_INVALIDCALL : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D::GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) {
  if (adapter != 0 || caps == nullptr) return D3DERR_INVALIDCALL;
  if (!validDeviceType(deviceType)) return D3DERR_NOTAVAILABLE;
  GlLimits limits;
  if (deviceType == D3DDEVTYPE_HAL && !GlRenderer::probeLimits(limits)) return D3DERR_NOTAVAILABLE;
  *caps = deviceCaps(deviceType, limits);
  return D3D_OK;
}

HMONITOR Direct3D::GetAdapterMonitor(UINT) { return nullptr; }

HRESULT Direct3D::CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                               D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) {
  initReturnPtr(device);
  if (adapter != 0 || device == nullptr || parameters == nullptr) return D3DERR_INVALIDCALL;
  if (!validDeviceType(deviceType)) return D3DERR_NOTAVAILABLE;

  const DWORD processing = behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                            D3DCREATE_MIXED_VERTEXPROCESSING);
  if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING && processing != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
      processing != D3DCREATE_MIXED_VERTEXPROCESSING)
    return D3DERR_INVALIDCALL;
  // This layer is not thread-safe, so it does not accept the multithreaded promise.
  if ((behaviorFlags & ~(processing | D3DCREATE_FPU_PRESERVE | D3DCREATE_PUREDEVICE)) != 0) {
    logOnce("CreateDevice: behaviour flags 0x%x are not supported", static_cast<unsigned>(behaviorFlags));
    return D3DERR_INVALIDCALL;
  }

  D3DPRESENT_PARAMETERS pp = *parameters;
  if (!pp.Windowed) return D3DERR_INVALIDCALL;  // no exclusive full-screen modes
  if (pp.BackBufferCount > 1 || pp.MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_INVALIDCALL;
  if (pp.SwapEffect != D3DSWAPEFFECT_DISCARD && pp.SwapEffect != D3DSWAPEFFECT_FLIP) return D3DERR_INVALIDCALL;
  if (pp.PresentationInterval != D3DPRESENT_INTERVAL_DEFAULT && pp.PresentationInterval != D3DPRESENT_INTERVAL_ONE &&
      pp.PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE)
    return D3DERR_INVALIDCALL;
  if (pp.EnableAutoDepthStencil && !depthFormat(pp.AutoDepthStencilFormat)) return D3DERR_INVALIDCALL;
  if ((pp.Flags & ~DWORD{0x3}) != 0) return D3DERR_INVALIDCALL;  // lockable back buffer, discard depth
  pp.BackBufferCount = 1;
  if (pp.hDeviceWindow == nullptr) pp.hDeviceWindow = focusWindow;

  std::unique_ptr<GlRenderer> renderer;
  if (deviceType == D3DDEVTYPE_HAL) {
    SDL_Window* window = pp.hDeviceWindow ? win32SdlWindow(pp.hDeviceWindow) : nullptr;
    if (window == nullptr) return D3DERR_INVALIDCALL;
    std::string reason;
    renderer = GlRenderer::create(window, reason);
    if (!renderer) {
      logOnce("CreateDevice: %s", reason.c_str());
      return D3DERR_NOTAVAILABLE;
    }
    // The back buffer is the window's framebuffer, whose pixel format follows the desktop's.
    const auto windowFormat = displayFormatOf(renderer->backBufferBits());
    if (pp.BackBufferFormat == D3DFMT_UNKNOWN && windowFormat) pp.BackBufferFormat = *windowFormat;
    if (!windowFormat || !backBufferFormatFor(*windowFormat, pp.BackBufferFormat)) {
      const ColourBits bits = renderer->backBufferBits();
      logOnce("CreateDevice: back buffer format %u does not match the window's %d/%d/%d bits",
              static_cast<unsigned>(pp.BackBufferFormat), bits.red, bits.green, bits.blue);
      return D3DERR_NOTAVAILABLE;
    }
    // The back buffer is the window's: its size is the client size.
    if ((pp.BackBufferWidth != 0 && pp.BackBufferWidth != renderer->backBufferWidth()) ||
        (pp.BackBufferHeight != 0 && pp.BackBufferHeight != renderer->backBufferHeight()))
      return D3DERR_INVALIDCALL;
    pp.BackBufferWidth = renderer->backBufferWidth();
    pp.BackBufferHeight = renderer->backBufferHeight();
    if (pp.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE) renderer->setPresentImmediately(true);
  } else {
    if (pp.BackBufferFormat == D3DFMT_UNKNOWN) pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    if (std::ranges::none_of(kDisplayFormats,
                             [&](D3DFORMAT display) { return backBufferFormatFor(display, pp.BackBufferFormat); }))
      return D3DERR_NOTAVAILABLE;
    if (pp.BackBufferWidth == 0) pp.BackBufferWidth = 1;
    if (pp.BackBufferHeight == 0) pp.BackBufferHeight = 1;
  }

  try {
    auto* result = new Device(this, deviceType, focusWindow, behaviorFlags, pp, std::move(renderer));
    result->AddRef();
    *device = result;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  *parameters = pp;  // the values actually used, as the real runtime reports them
  return D3D_OK;
}

}  // namespace d3d9

extern "C" IDirect3D9* WINAPI Direct3DCreate9(UINT sdkVersion) {
  if (sdkVersion != D3D_SDK_VERSION) return nullptr;
  auto* direct3D = new (std::nothrow) d3d9::Direct3D();
  if (direct3D) direct3D->AddRef();
  return direct3D;
}
