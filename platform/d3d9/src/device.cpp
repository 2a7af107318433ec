#include "device.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "buffer.h"
#include "direct3d.h"
#include "gl_renderer.h"
#include "log.h"
#include "texture.h"

namespace d3d9 {

namespace {

bool isBool(DWORD value) { return value == FALSE || value == TRUE; }
bool inRange(DWORD value, DWORD low, DWORD high) { return value >= low && value <= high; }

// Draw count as OpenGL counts it (vertices or indices); 0 for an unknown primitive type.
uint32_t verticesFor(D3DPRIMITIVETYPE type, UINT primitives) {
  const uint64_t n = primitives;
  uint64_t count = 0;
  switch (type) {
    case D3DPT_POINTLIST:
      count = n;
      break;
    case D3DPT_LINELIST:
      count = 2 * n;
      break;
    case D3DPT_LINESTRIP:
      count = n + 1;
      break;
    case D3DPT_TRIANGLELIST:
      count = 3 * n;
      break;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
      count = n + 2;
      break;
    default:
      return 0;
  }
  return count > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(count);
}

bool validArgument(DWORD arg) {
  const DWORD selector = arg & D3DTA_SELECTMASK;
  if ((arg & ~(D3DTA_SELECTMASK | D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE)) != 0) return false;
  return selector == D3DTA_DIFFUSE || selector == D3DTA_CURRENT || selector == D3DTA_TEXTURE ||
         selector == D3DTA_TFACTOR;
}

bool validOperation(DWORD op) {
  return op == D3DTOP_DISABLE || op == D3DTOP_SELECTARG1 || op == D3DTOP_SELECTARG2 || op == D3DTOP_MODULATE;
}

const DeviceState& defaultState() {
  static const DeviceState* state = [] {
    auto* s = new DeviceState();
    resetDeviceState(*s, false, 1, 1);
    return s;
  }();
  return *state;
}

// Which dirty bits a render state touches; 0 for states only recorded.
uint32_t dirtyBitsFor(D3DRENDERSTATETYPE state) {
  switch (state) {
    case D3DRS_ZENABLE:
    case D3DRS_ZWRITEENABLE:
    case D3DRS_ZFUNC:
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
    case D3DRS_CULLMODE:
    case D3DRS_ALPHABLENDENABLE:
    case D3DRS_BLENDOP:
    case D3DRS_COLORWRITEENABLE:
    case D3DRS_SEPARATEALPHABLENDENABLE:
    case D3DRS_SRCBLENDALPHA:
    case D3DRS_DESTBLENDALPHA:
    case D3DRS_BLENDOPALPHA:
    case D3DRS_BLENDFACTOR:
    case D3DRS_FILLMODE:
      return kDirtyRaster;
    case D3DRS_ALPHATESTENABLE:
    case D3DRS_ALPHAREF:
    case D3DRS_ALPHAFUNC:
    case D3DRS_TEXTUREFACTOR:
      return kDirtyFragment;
    case D3DRS_LIGHTING:
    case D3DRS_AMBIENT:
    case D3DRS_COLORVERTEX:
    case D3DRS_NORMALIZENORMALS:
    case D3DRS_DIFFUSEMATERIALSOURCE:
    case D3DRS_SPECULARMATERIALSOURCE:
    case D3DRS_AMBIENTMATERIALSOURCE:
    case D3DRS_EMISSIVEMATERIALSOURCE:
      return kDirtyLighting;
    case D3DRS_VERTEXBLEND:
      return kDirtyTransforms;
    case D3DRS_POINTSIZE:
    case D3DRS_POINTSIZE_MIN:
    case D3DRS_POINTSIZE_MAX:
    case D3DRS_POINTSPRITEENABLE:
    case D3DRS_POINTSCALEENABLE:
    case D3DRS_POINTSCALE_A:
    case D3DRS_POINTSCALE_B:
    case D3DRS_POINTSCALE_C:
      return kDirtyPoint;
    default:
      return 0;
  }
}

enum class StateRule { Bool, Any, DefaultOnly, Unknown, Blend, Compare, BlendOp, Range };

struct RenderStateCheck {
  StateRule rule;
  DWORD low = 0, high = 0;
};

RenderStateCheck renderStateCheck(D3DRENDERSTATETYPE state) {
  switch (state) {
    case D3DRS_ZENABLE:
      return {StateRule::Range, D3DZB_FALSE, D3DZB_TRUE};
    case D3DRS_FILLMODE:
      return {StateRule::Range, D3DFILL_POINT, D3DFILL_SOLID};
    case D3DRS_ZWRITEENABLE:
    case D3DRS_ALPHATESTENABLE:
    case D3DRS_LASTPIXEL:
    case D3DRS_DITHERENABLE:
    case D3DRS_ALPHABLENDENABLE:
    case D3DRS_CLIPPING:
    case D3DRS_LIGHTING:
    case D3DRS_COLORVERTEX:
    case D3DRS_LOCALVIEWER:
    case D3DRS_NORMALIZENORMALS:
    case D3DRS_POINTSPRITEENABLE:
    case D3DRS_POINTSCALEENABLE:
    case D3DRS_MULTISAMPLEANTIALIAS:
    case D3DRS_SEPARATEALPHABLENDENABLE:
    case D3DRS_RANGEFOGENABLE:
      return {StateRule::Bool};
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
    case D3DRS_SRCBLENDALPHA:
    case D3DRS_DESTBLENDALPHA:
      return {StateRule::Blend};
    case D3DRS_CULLMODE:
      return {StateRule::Range, D3DCULL_NONE, D3DCULL_CCW};
    case D3DRS_ZFUNC:
    case D3DRS_ALPHAFUNC:
      return {StateRule::Compare};
    case D3DRS_ALPHAREF:
      return {StateRule::Range, 0, 255};
    case D3DRS_BLENDOP:
    case D3DRS_BLENDOPALPHA:
      return {StateRule::BlendOp};
    case D3DRS_DIFFUSEMATERIALSOURCE:
    case D3DRS_SPECULARMATERIALSOURCE:
    case D3DRS_AMBIENTMATERIALSOURCE:
    case D3DRS_EMISSIVEMATERIALSOURCE:
      return {StateRule::Range, D3DMCS_MATERIAL, D3DMCS_COLOR2};
    case D3DRS_VERTEXBLEND:
      return {StateRule::Range, D3DVBF_DISABLE, D3DVBF_3WEIGHTS};
    case D3DRS_COLORWRITEENABLE:
      return {StateRule::Range, 0, 0xF};
    // Values that matter only to features that are off here (fog, stencil, patches,
    // tweening, extra render targets) are recorded as given.
    case D3DRS_TEXTUREFACTOR:
    case D3DRS_AMBIENT:
    case D3DRS_BLENDFACTOR:
    case D3DRS_POINTSIZE:
    case D3DRS_POINTSIZE_MIN:
    case D3DRS_POINTSIZE_MAX:
    case D3DRS_POINTSCALE_A:
    case D3DRS_POINTSCALE_B:
    case D3DRS_POINTSCALE_C:
    case D3DRS_FOGCOLOR:
    case D3DRS_FOGTABLEMODE:
    case D3DRS_FOGSTART:
    case D3DRS_FOGEND:
    case D3DRS_FOGDENSITY:
    case D3DRS_FOGVERTEXMODE:
    case D3DRS_STENCILFAIL:
    case D3DRS_STENCILZFAIL:
    case D3DRS_STENCILPASS:
    case D3DRS_STENCILFUNC:
    case D3DRS_STENCILREF:
    case D3DRS_STENCILMASK:
    case D3DRS_STENCILWRITEMASK:
    case D3DRS_MULTISAMPLEMASK:
    case D3DRS_PATCHEDGESTYLE:
    case D3DRS_DEBUGMONITORTOKEN:
    case D3DRS_TWEENFACTOR:
    case D3DRS_POSITIONDEGREE:
    case D3DRS_NORMALDEGREE:
    case D3DRS_MINTESSELLATIONLEVEL:
    case D3DRS_MAXTESSELLATIONLEVEL:
    case D3DRS_ADAPTIVETESS_X:
    case D3DRS_ADAPTIVETESS_Y:
    case D3DRS_ADAPTIVETESS_Z:
    case D3DRS_ADAPTIVETESS_W:
    case D3DRS_CCW_STENCILFAIL:
    case D3DRS_CCW_STENCILZFAIL:
    case D3DRS_CCW_STENCILPASS:
    case D3DRS_CCW_STENCILFUNC:
    case D3DRS_COLORWRITEENABLE1:
    case D3DRS_COLORWRITEENABLE2:
    case D3DRS_COLORWRITEENABLE3:
      return {StateRule::Any};
    // Features this layer does not have: only their default (off) value is accepted.
    case D3DRS_SHADEMODE:
    case D3DRS_FOGENABLE:
    case D3DRS_SPECULARENABLE:
    case D3DRS_STENCILENABLE:
    case D3DRS_WRAP0:
    case D3DRS_WRAP1:
    case D3DRS_WRAP2:
    case D3DRS_WRAP3:
    case D3DRS_WRAP4:
    case D3DRS_WRAP5:
    case D3DRS_WRAP6:
    case D3DRS_WRAP7:
    case D3DRS_WRAP8:
    case D3DRS_WRAP9:
    case D3DRS_WRAP10:
    case D3DRS_WRAP11:
    case D3DRS_WRAP12:
    case D3DRS_WRAP13:
    case D3DRS_WRAP14:
    case D3DRS_WRAP15:
    case D3DRS_CLIPPLANEENABLE:
    case D3DRS_INDEXEDVERTEXBLENDENABLE:
    case D3DRS_SCISSORTESTENABLE:
    case D3DRS_SLOPESCALEDEPTHBIAS:
    case D3DRS_DEPTHBIAS:
    case D3DRS_ENABLEADAPTIVETESSELLATION:
    case D3DRS_TWOSIDEDSTENCILMODE:
    case D3DRS_SRGBWRITEENABLE:
    case D3DRS_ANTIALIASEDLINEENABLE:
      return {StateRule::DefaultOnly};
    default:
      return {StateRule::Unknown};
  }
}

bool validTransform(D3DTRANSFORMSTATETYPE state) {
  return state == D3DTS_VIEW || state == D3DTS_PROJECTION || (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) ||
         (state >= D3DTS_WORLD && state < D3DTS_WORLDMATRIX(kBlendMatrixCount));
}

}  // namespace

Device::Device(Direct3D* parent, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
               const D3DPRESENT_PARAMETERS& parameters, std::unique_ptr<GlRenderer> renderer)
    : m_parent(parent),
      m_type(type),
      m_focusWindow(focusWindow),
      m_behaviorFlags(behaviorFlags),
      m_parameters(parameters),
      m_renderer(std::move(renderer)) {
  resetDeviceState(m_state, parameters.EnableAutoDepthStencil != FALSE, parameters.BackBufferWidth,
                   parameters.BackBufferHeight);
  m_state.softwareVertexProcessing = (behaviorFlags & D3DCREATE_SOFTWARE_VERTEXPROCESSING) ? TRUE : FALSE;
}

Device::~Device() {
  // Bound objects that nobody else holds go now, while the context still exists.
  makeCurrent();
  m_state.stream0.buffer.reset();
  m_state.indices.reset();
  for (auto& texture : m_state.textures) texture.reset();
}

void Device::makeCurrent() {
  if (m_renderer) m_renderer->makeCurrent();
}

void* Device::interfaceFor(REFIID riid) {
  if (riid == IID_IUnknown || riid == IID_IDirect3DDevice9) return static_cast<IDirect3DDevice9*>(this);
  return nullptr;
}

// ---- device-wide queries ---------------------------------------------------------------

HRESULT Device::TestCooperativeLevel() { return D3D_OK; }
UINT Device::GetAvailableTextureMem() { return 512u << 20; }
HRESULT Device::EvictManagedResources() { return D3D_OK; }

HRESULT Device::GetDirect3D(IDirect3D9** direct3D) {
  initReturnPtr(direct3D);
  if (direct3D == nullptr) return D3DERR_INVALIDCALL;
  m_parent->AddRef();
  *direct3D = m_parent.get();
  return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* caps) {
  if (caps == nullptr) return D3DERR_INVALIDCALL;
  *caps = deviceCaps(m_type, m_renderer ? m_renderer->limits() : GlLimits{});
  return D3D_OK;
}

HRESULT Device::GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) {
  if (swapChain != 0 || mode == nullptr) return D3DERR_INVALIDCALL;
  return m_parent->GetAdapterDisplayMode(0, mode);
}

HRESULT Device::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) {
  if (parameters == nullptr) return D3DERR_INVALIDCALL;
  *parameters = D3DDEVICE_CREATION_PARAMETERS{0, m_type, m_focusWindow, m_behaviorFlags};
  return D3D_OK;
}

// ---- operations outside the subset -----------------------------------------------------

HRESULT Device::SetCursorProperties(UINT, UINT, IDirect3DSurface9*) { return D3DERR_INVALIDCALL; }
void Device::SetCursorPosition(int, int, DWORD) {}
BOOL Device::ShowCursor(BOOL) { return FALSE; }
HRESULT Device::CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS*, IDirect3DSwapChain9** swapChain) {
  initReturnPtr(swapChain);
  return D3DERR_INVALIDCALL;
}
HRESULT Device::GetSwapChain(UINT, IDirect3DSwapChain9** swapChain) {
  initReturnPtr(swapChain);
  return D3DERR_INVALIDCALL;
}
UINT Device::GetNumberOfSwapChains() { return 1; }
HRESULT Device::Reset(D3DPRESENT_PARAMETERS*) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetBackBuffer(UINT, UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface9** surface) {
  initReturnPtr(surface);
  return D3DERR_INVALIDCALL;
}
HRESULT Device::GetRasterStatus(UINT, D3DRASTER_STATUS*) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetDialogBoxMode(BOOL) { return D3DERR_INVALIDCALL; }
void Device::SetGammaRamp(UINT, DWORD, const D3DGAMMARAMP*) {}
void Device::GetGammaRamp(UINT, D3DGAMMARAMP*) {}
HRESULT Device::CreateVolumeTexture(UINT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                    IDirect3DVolumeTexture9** texture, HANDLE*) {
  initReturnPtr(texture);
  return D3DERR_INVALIDCALL;
}
HRESULT Device::CreateCubeTexture(UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DCubeTexture9** texture, HANDLE*) {
  initReturnPtr(texture);
  return D3DERR_INVALIDCALL;
}
HRESULT Device::CreateRenderTarget(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, BOOL, IDirect3DSurface9** surface,
                                   HANDLE*) {
  initReturnPtr(surface);
  return D3DERR_INVALIDCALL;
}
HRESULT Device::CreateDepthStencilSurface(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, BOOL,
                                          IDirect3DSurface9** surface, HANDLE*) {
  initReturnPtr(surface);
  return D3DERR_INVALIDCALL;
}
HRESULT Device::UpdateSurface(IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const POINT*) {
  return D3DERR_INVALIDCALL;
}
HRESULT Device::GetRenderTargetData(IDirect3DSurface9*, IDirect3DSurface9*) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetFrontBufferData(UINT, IDirect3DSurface9*) { return D3DERR_INVALIDCALL; }
HRESULT Device::StretchRect(IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const RECT*, D3DTEXTUREFILTERTYPE) {
  return D3DERR_INVALIDCALL;
}
HRESULT Device::ColorFill(IDirect3DSurface9*, const RECT*, D3DCOLOR) { return D3DERR_INVALIDCALL; }
HRESULT Device::CreateOffscreenPlainSurface(UINT, UINT, D3DFORMAT, D3DPOOL, IDirect3DSurface9** surface, HANDLE*) {
  initReturnPtr(surface);
  return D3DERR_INVALIDCALL;
}
HRESULT Device::SetRenderTarget(DWORD, IDirect3DSurface9*) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetRenderTarget(DWORD, IDirect3DSurface9** surface) {
  initReturnPtr(surface);
  return D3DERR_INVALIDCALL;
}
HRESULT Device::SetDepthStencilSurface(IDirect3DSurface9*) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetDepthStencilSurface(IDirect3DSurface9** surface) {
  initReturnPtr(surface);
  return D3DERR_INVALIDCALL;
}
HRESULT Device::SetClipPlane(DWORD, const float*) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetClipPlane(DWORD, float*) { return D3DERR_INVALIDCALL; }
HRESULT Device::CreateStateBlock(D3DSTATEBLOCKTYPE, IDirect3DStateBlock9** block) {
  initReturnPtr(block);
  return D3DERR_INVALIDCALL;
}
HRESULT Device::BeginStateBlock() { return D3DERR_INVALIDCALL; }
HRESULT Device::EndStateBlock(IDirect3DStateBlock9** block) {
  initReturnPtr(block);
  return D3DERR_INVALIDCALL;
}
HRESULT Device::SetClipStatus(const D3DCLIPSTATUS9*) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetClipStatus(D3DCLIPSTATUS9*) { return D3DERR_INVALIDCALL; }
HRESULT Device::ValidateDevice(DWORD* numPasses) {
  if (numPasses == nullptr) return D3DERR_INVALIDCALL;
  *numPasses = 1;
  return D3D_OK;
}
HRESULT Device::SetPaletteEntries(UINT, const PALETTEENTRY*) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetPaletteEntries(UINT, PALETTEENTRY*) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetCurrentTexturePalette(UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetCurrentTexturePalette(UINT*) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetScissorRect(const RECT*) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetScissorRect(RECT*) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetNPatchMode(float) { return D3DERR_INVALIDCALL; }
float Device::GetNPatchMode() { return 0.0f; }
HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE, UINT, UINT, UINT, const void*, D3DFORMAT, const void*, UINT) {
  return D3DERR_INVALIDCALL;
}
HRESULT Device::ProcessVertices(UINT, UINT, UINT, IDirect3DVertexBuffer9*, IDirect3DVertexDeclaration9*, DWORD) {
  return D3DERR_INVALIDCALL;
}
HRESULT Device::CreateVertexDeclaration(const D3DVERTEXELEMENT9*, IDirect3DVertexDeclaration9** decl) {
  initReturnPtr(decl);
  return D3DERR_INVALIDCALL;
}
HRESULT Device::SetVertexDeclaration(IDirect3DVertexDeclaration9*) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetVertexDeclaration(IDirect3DVertexDeclaration9** decl) {
  initReturnPtr(decl);
  return D3DERR_INVALIDCALL;
}
HRESULT Device::CreateVertexShader(const DWORD*, IDirect3DVertexShader9** shader) {
  initReturnPtr(shader);
  return D3DERR_INVALIDCALL;
}
// Null is the only vertex or pixel shader here: the fixed-function pipeline.
HRESULT Device::SetVertexShader(IDirect3DVertexShader9* shader) { return shader ? D3DERR_INVALIDCALL : D3D_OK; }
HRESULT Device::GetVertexShader(IDirect3DVertexShader9** shader) {
  if (shader == nullptr) return D3DERR_INVALIDCALL;
  *shader = nullptr;
  return D3D_OK;
}
HRESULT Device::SetVertexShaderConstantF(UINT, const float*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetVertexShaderConstantF(UINT, float*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetVertexShaderConstantI(UINT, const int*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetVertexShaderConstantI(UINT, int*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetVertexShaderConstantB(UINT, const BOOL*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetVertexShaderConstantB(UINT, BOOL*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetStreamSourceFreq(UINT stream, UINT setting) {
  return stream == 0 && setting == 1 ? D3D_OK : D3DERR_INVALIDCALL;
}
HRESULT Device::GetStreamSourceFreq(UINT stream, UINT* setting) {
  if (stream != 0 || setting == nullptr) return D3DERR_INVALIDCALL;
  *setting = 1;
  return D3D_OK;
}
HRESULT Device::CreatePixelShader(const DWORD*, IDirect3DPixelShader9** shader) {
  initReturnPtr(shader);
  return D3DERR_INVALIDCALL;
}
HRESULT Device::SetPixelShader(IDirect3DPixelShader9* shader) { return shader ? D3DERR_INVALIDCALL : D3D_OK; }
HRESULT Device::GetPixelShader(IDirect3DPixelShader9** shader) {
  if (shader == nullptr) return D3DERR_INVALIDCALL;
  *shader = nullptr;
  return D3D_OK;
}
HRESULT Device::SetPixelShaderConstantF(UINT, const float*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetPixelShaderConstantF(UINT, float*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetPixelShaderConstantI(UINT, const int*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetPixelShaderConstantI(UINT, int*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetPixelShaderConstantB(UINT, const BOOL*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetPixelShaderConstantB(UINT, BOOL*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::DrawRectPatch(UINT, const float*, const D3DRECTPATCH_INFO*) { return D3DERR_INVALIDCALL; }
HRESULT Device::DrawTriPatch(UINT, const float*, const D3DTRIPATCH_INFO*) { return D3DERR_INVALIDCALL; }
HRESULT Device::DeletePatch(UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::CreateQuery(D3DQUERYTYPE, IDirect3DQuery9** query) {
  initReturnPtr(query);
  return D3DERR_NOTAVAILABLE;
}

// ---- resources -------------------------------------------------------------------------

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DTexture9** texture, HANDLE* sharedHandle) {
  initReturnPtr(texture);
  if (texture == nullptr || sharedHandle != nullptr) return D3DERR_INVALIDCALL;
  if (m_renderer == nullptr && (width > kNullRefMaxTextureSize || height > kNullRefMaxTextureSize))
    return D3DERR_INVALIDCALL;
  Texture* result = nullptr;
  const HRESULT hr = Texture::create(this, width, height, levels, usage, format, pool, &result);
  if (SUCCEEDED(hr)) *texture = result;
  return hr;
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** buffer,
                                   HANDLE* sharedHandle) {
  initReturnPtr(buffer);
  if (buffer == nullptr || sharedHandle != nullptr) return D3DERR_INVALIDCALL;
  VertexBuffer* result = nullptr;
  const HRESULT hr = VertexBuffer::create(this, length, usage, fvf, pool, &result);
  if (SUCCEEDED(hr)) *buffer = result;
  return hr;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle) {
  initReturnPtr(buffer);
  if (buffer == nullptr || sharedHandle != nullptr) return D3DERR_INVALIDCALL;
  IndexBuffer* result = nullptr;
  const HRESULT hr = IndexBuffer::create(this, length, usage, format, pool, &result);
  if (SUCCEEDED(hr)) *buffer = result;
  return hr;
}

HRESULT Device::UpdateTexture(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* destination) {
  auto* src = dynamic_cast<Texture*>(source);
  auto* dst = dynamic_cast<Texture*>(destination);
  if (src == nullptr || dst == nullptr || src == dst || src->device() != this || dst->device() != this)
    return D3DERR_INVALIDCALL;
  if (src->pool() != D3DPOOL_SYSTEMMEM || dst->pool() != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
  if (src->formatInfo().format != dst->formatInfo().format) return D3DERR_INVALIDCALL;
  // A source with more levels contributes those that match the destination's sizes.
  uint32_t first = 0;
  while (first < src->levelCount() &&
         (src->level(first).width != dst->level(0).width || src->level(first).height != dst->level(0).height))
    ++first;
  if (first == src->levelCount() || src->levelCount() - first < dst->levelCount()) return D3DERR_INVALIDCALL;
  for (uint32_t i = 0; i < dst->levelCount(); ++i)
    if (dst->level(i).locked || src->level(first + i).locked) return D3DERR_INVALIDCALL;
  for (uint32_t i = 0; i < dst->levelCount(); ++i) {
    std::memcpy(dst->level(i).bytes, src->definedBytes(first + i), dst->level(i).size);
    dst->level(i).defined = true;
    dst->uploadLevel(i);
  }
  return D3D_OK;
}

// ---- scene, clear, present -------------------------------------------------------------

HRESULT Device::BeginScene() {
  if (m_inScene) return D3DERR_INVALIDCALL;
  m_inScene = true;
  return D3D_OK;
}

HRESULT Device::EndScene() {
  if (!m_inScene) return D3DERR_INVALIDCALL;
  m_inScene = false;
  return D3D_OK;
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
  if ((flags & ~DWORD{D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL}) != 0 || flags == 0)
    return D3DERR_INVALIDCALL;
  if (count > 0 && rects == nullptr) return D3DERR_INVALIDCALL;
  if ((flags & D3DCLEAR_ZBUFFER) && !m_parameters.EnableAutoDepthStencil) return D3DERR_INVALIDCALL;
  if ((flags & D3DCLEAR_STENCIL) &&
      !(m_parameters.EnableAutoDepthStencil && m_parameters.AutoDepthStencilFormat == D3DFMT_D24S8))
    return D3DERR_INVALIDCALL;
  if (!(z >= 0.0f && z <= 1.0f)) return D3DERR_INVALIDCALL;
  if (m_renderer) {
    makeCurrent();
    m_renderer->clear(count, rects, flags, color, z, stencil, m_state);
  }
  return D3D_OK;
}

HRESULT Device::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                        const RGNDATA* dirtyRegion) {
  // Partial and redirected presents are not supported.
  if (sourceRect || destRect || destWindowOverride || dirtyRegion) return D3DERR_INVALIDCALL;
  if (m_inScene) return D3DERR_INVALIDCALL;
  if (m_renderer) {
    makeCurrent();
    m_renderer->present();
  }
  return D3D_OK;
}

// ---- transforms, viewport, material, lights --------------------------------------------

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
  if (matrix == nullptr || !validTransform(state)) return D3DERR_INVALIDCALL;
  if (state == D3DTS_VIEW) {
    m_state.view = *matrix;
    m_state.dirty |= kDirtyTransforms | kDirtyLighting;  // lights live in view space
  } else if (state == D3DTS_PROJECTION) {
    m_state.projection = *matrix;
    m_state.dirty |= kDirtyTransforms;
  } else if (state >= D3DTS_WORLD) {
    D3DMATRIX& world = m_state.world[state - D3DTS_WORLD];
    if (std::memcmp(&world, matrix, sizeof *matrix) == 0) return D3D_OK;
    world = *matrix;
    m_state.dirty |= kDirtyTransforms;
  } else {
    m_state.textureTransforms[state - D3DTS_TEXTURE0] = *matrix;  // unused while TEXTURETRANSFORMFLAGS is off
  }
  return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
  if (matrix == nullptr || !validTransform(state)) return D3DERR_INVALIDCALL;
  if (state == D3DTS_VIEW)
    *matrix = m_state.view;
  else if (state == D3DTS_PROJECTION)
    *matrix = m_state.projection;
  else if (state >= D3DTS_WORLD)
    *matrix = m_state.world[state - D3DTS_WORLD];
  else
    *matrix = m_state.textureTransforms[state - D3DTS_TEXTURE0];
  return D3D_OK;
}

HRESULT Device::MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
  D3DMATRIX current;
  if (matrix == nullptr) return D3DERR_INVALIDCALL;
  if (const HRESULT hr = GetTransform(state, &current); FAILED(hr)) return hr;
  const D3DMATRIX product = multiplyMatrices(*matrix, current);
  return SetTransform(state, &product);
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* viewport) {
  if (viewport == nullptr || viewport->Width == 0 || viewport->Height == 0) return D3DERR_INVALIDCALL;
  const uint64_t right = uint64_t{viewport->X} + viewport->Width;
  const uint64_t bottom = uint64_t{viewport->Y} + viewport->Height;
  if (right > m_parameters.BackBufferWidth || bottom > m_parameters.BackBufferHeight) return D3DERR_INVALIDCALL;
  if (!(viewport->MinZ >= 0.0f && viewport->MinZ <= 1.0f && viewport->MaxZ >= 0.0f && viewport->MaxZ <= 1.0f))
    return D3DERR_INVALIDCALL;
  m_state.viewport = *viewport;
  m_state.dirty |= kDirtyViewport | kDirtyPoint;
  return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* viewport) {
  if (viewport == nullptr) return D3DERR_INVALIDCALL;
  *viewport = m_state.viewport;
  return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL9* material) {
  if (material == nullptr) return D3DERR_INVALIDCALL;
  // Meshes set the same material before every subset; only a change costs an upload.
  if (std::memcmp(&m_state.material, material, sizeof *material) == 0) return D3D_OK;
  m_state.material = *material;
  m_state.dirty |= kDirtyLighting;
  return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL9* material) {
  if (material == nullptr) return D3DERR_INVALIDCALL;
  *material = m_state.material;
  return D3D_OK;
}

HRESULT Device::SetLight(DWORD index, const D3DLIGHT9* light) {
  if (light == nullptr) return D3DERR_INVALIDCALL;
  if (light->Type == D3DLIGHT_SPOT) {
    logOnce("SetLight: spot lights are not supported");
    return D3DERR_INVALIDCALL;
  }
  if (light->Type != D3DLIGHT_POINT && light->Type != D3DLIGHT_DIRECTIONAL) return D3DERR_INVALIDCALL;
  const float maxRange = std::sqrt(std::numeric_limits<float>::max());
  if (light->Type == D3DLIGHT_POINT &&
      (!(light->Range >= 0.0f && light->Range <= maxRange) || light->Attenuation0 < 0.0f ||
       light->Attenuation1 < 0.0f || light->Attenuation2 < 0.0f))
    return D3DERR_INVALIDCALL;
  if (light->Type == D3DLIGHT_DIRECTIONAL && light->Direction.x == 0.0f && light->Direction.y == 0.0f &&
      light->Direction.z == 0.0f)
    return D3DERR_INVALIDCALL;
  m_state.lights[index].light = *light;
  m_state.dirty |= kDirtyLighting;
  return D3D_OK;
}

HRESULT Device::GetLight(DWORD index, D3DLIGHT9* light) {
  const auto found = m_state.lights.find(index);
  if (light == nullptr || found == m_state.lights.end()) return D3DERR_INVALIDCALL;
  *light = found->second.light;
  return D3D_OK;
}

HRESULT Device::LightEnable(DWORD index, BOOL enable) {
  auto found = m_state.lights.find(index);
  if (found == m_state.lights.end()) {
    // Enabling a light never set creates the default one: white, directional, along +z.
    LightSlot slot;
    slot.light.Type = D3DLIGHT_DIRECTIONAL;
    slot.light.Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.0f};
    slot.light.Direction = D3DVECTOR{0.0f, 0.0f, 1.0f};
    found = m_state.lights.emplace(index, slot).first;
  }
  if (enable && !found->second.enabled) {
    const auto active = std::count_if(m_state.lights.begin(), m_state.lights.end(),
                                      [](const auto& entry) { return entry.second.enabled; });
    if (active >= static_cast<long>(kMaxActiveLights)) return D3DERR_INVALIDCALL;
  }
  found->second.enabled = enable != FALSE;
  m_state.dirty |= kDirtyLighting;
  return D3D_OK;
}

HRESULT Device::GetLightEnable(DWORD index, BOOL* enable) {
  const auto found = m_state.lights.find(index);
  if (enable == nullptr || found == m_state.lights.end()) return D3DERR_INVALIDCALL;
  *enable = found->second.enabled ? TRUE : FALSE;
  return D3D_OK;
}

// ---- render, stage and sampler states --------------------------------------------------

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  const RenderStateCheck check = renderStateCheck(state);
  bool valid = false;
  switch (check.rule) {
    case StateRule::Bool:
      valid = isBool(value);
      break;
    case StateRule::Any:
      valid = true;
      break;
    case StateRule::Range:
      valid = inRange(value, check.low, check.high);
      break;
    case StateRule::Blend:
      valid = inRange(value, D3DBLEND_ZERO, D3DBLEND_INVBLENDFACTOR);
      break;
    case StateRule::Compare:
      valid = inRange(value, D3DCMP_NEVER, D3DCMP_ALWAYS);
      break;
    case StateRule::BlendOp:
      valid = inRange(value, D3DBLENDOP_ADD, D3DBLENDOP_MAX);
      break;
    case StateRule::DefaultOnly:
      valid = value == defaultState().renderStates[state];
      if (!valid)
        logOnce("SetRenderState: state %u = 0x%x is not supported", static_cast<unsigned>(state),
                static_cast<unsigned>(value));
      break;
    case StateRule::Unknown:
      return D3DERR_INVALIDCALL;
  }
  if (!valid) return D3DERR_INVALIDCALL;
  if (m_state.renderStates[state] == value) return D3D_OK;
  m_state.renderStates[state] = value;
  m_state.dirty |= dirtyBitsFor(state);
  return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
  if (value == nullptr || renderStateCheck(state).rule == StateRule::Unknown) return D3DERR_INVALIDCALL;
  *value = m_state.renderStates[state];
  return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  if (stage >= kTextureStageCount || type <= 0 || static_cast<DWORD>(type) >= kStageStateCount)
    return D3DERR_INVALIDCALL;
  bool valid = true;
  switch (type) {
    case D3DTSS_COLOROP:
    case D3DTSS_ALPHAOP:
      // One blending stage: later stages can only be disabled.
      valid = stage == 0 ? validOperation(value) : value == D3DTOP_DISABLE;
      break;
    case D3DTSS_COLORARG1:
    case D3DTSS_COLORARG2:
    case D3DTSS_ALPHAARG1:
    case D3DTSS_ALPHAARG2:
      valid = validArgument(value);
      break;
    case D3DTSS_TEXCOORDINDEX:
      valid = value == stage;
      break;
    case D3DTSS_TEXTURETRANSFORMFLAGS:
      valid = value == D3DTTFF_DISABLE;
      break;
    case D3DTSS_COLORARG0:
    case D3DTSS_ALPHAARG0:
    case D3DTSS_RESULTARG:
      valid = value == D3DTA_CURRENT;
      break;
    case D3DTSS_BUMPENVMAT00:
    case D3DTSS_BUMPENVMAT01:
    case D3DTSS_BUMPENVMAT10:
    case D3DTSS_BUMPENVMAT11:
    case D3DTSS_BUMPENVLSCALE:
    case D3DTSS_BUMPENVLOFFSET:
    case D3DTSS_CONSTANT:
      valid = true;  // used only by operations that are not available
      break;
    default:
      return D3DERR_INVALIDCALL;
  }
  if (!valid) {
    logOnce("SetTextureStageState: stage %u state %u = 0x%x is not supported", static_cast<unsigned>(stage),
            static_cast<unsigned>(type), static_cast<unsigned>(value));
    return D3DERR_INVALIDCALL;
  }
  if (m_state.stageStates[stage][type] == value) return D3D_OK;
  m_state.stageStates[stage][type] = value;
  if (stage == 0) m_state.dirty |= kDirtyFragment;
  return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
  if (value == nullptr || stage >= kTextureStageCount || type <= 0 || static_cast<DWORD>(type) >= kStageStateCount)
    return D3DERR_INVALIDCALL;
  *value = m_state.stageStates[stage][type];
  return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
  if (sampler >= kSamplerCount || type <= 0 || static_cast<DWORD>(type) >= kSamplerStateCount)
    return D3DERR_INVALIDCALL;
  bool valid = true;
  switch (type) {
    case D3DSAMP_ADDRESSU:
    case D3DSAMP_ADDRESSV:
    case D3DSAMP_ADDRESSW:
      valid = inRange(value, D3DTADDRESS_WRAP, D3DTADDRESS_BORDER);
      break;
    case D3DSAMP_MAGFILTER:
    case D3DSAMP_MINFILTER:
      valid = value == D3DTEXF_POINT || value == D3DTEXF_LINEAR;
      break;
    case D3DSAMP_MIPFILTER:
      valid = inRange(value, D3DTEXF_NONE, D3DTEXF_LINEAR);
      break;
    case D3DSAMP_MAXANISOTROPY:
      valid = value >= 1;
      break;
    case D3DSAMP_SRGBTEXTURE:
      valid = value == FALSE;
      break;
    default:
      break;  // border colour, LOD bias, most detailed level, element index, displacement offset
  }
  if (!valid) {
    logOnce("SetSamplerState: sampler %u state %u = 0x%x is not supported", static_cast<unsigned>(sampler),
            static_cast<unsigned>(type), static_cast<unsigned>(value));
    return D3DERR_INVALIDCALL;
  }
  if (m_state.samplerStates[sampler][type] == value) return D3D_OK;
  m_state.samplerStates[sampler][type] = value;
  if (sampler == 0) m_state.dirty |= kDirtySampler;
  return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
  if (value == nullptr || sampler >= kSamplerCount || type <= 0 || static_cast<DWORD>(type) >= kSamplerStateCount)
    return D3DERR_INVALIDCALL;
  *value = m_state.samplerStates[sampler][type];
  return D3D_OK;
}

// ---- bindings --------------------------------------------------------------------------

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
  if (stage >= kTextureStageCount) return D3DERR_INVALIDCALL;
  Texture* ours = nullptr;
  if (texture != nullptr) {
    ours = dynamic_cast<Texture*>(texture);
    if (ours == nullptr || ours->device() != this) return D3DERR_INVALIDCALL;
    // Textures that live only in memory cannot be sampled.
    if (ours->pool() == D3DPOOL_SYSTEMMEM || ours->pool() == D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
  }
  if (m_state.textures[stage].get() == ours) return D3D_OK;
  m_state.textures[stage].set(ours);
  return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) {
  initReturnPtr(texture);
  if (texture == nullptr || stage >= kTextureStageCount) return D3DERR_INVALIDCALL;
  if (Texture* bound = m_state.textures[stage].get()) {
    bound->AddRef();
    *texture = bound;
  }
  return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) {
  if (stream != 0) return D3DERR_INVALIDCALL;  // one vertex stream
  VertexBuffer* ours = nullptr;
  if (buffer != nullptr) {
    ours = dynamic_cast<VertexBuffer*>(buffer);
    if (ours == nullptr || ours->device() != this || offset >= ours->length() || stride > 255)
      return D3DERR_INVALIDCALL;
  }
  m_state.stream0.buffer.set(ours);
  m_state.stream0.offset = ours ? offset : 0;
  m_state.stream0.stride = ours ? stride : 0;
  return D3D_OK;
}

HRESULT Device::GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset, UINT* stride) {
  initReturnPtr(buffer);
  if (stream != 0 || buffer == nullptr || offset == nullptr || stride == nullptr) return D3DERR_INVALIDCALL;
  if (VertexBuffer* bound = m_state.stream0.buffer.get()) {
    bound->AddRef();
    *buffer = bound;
  }
  *offset = m_state.stream0.offset;
  *stride = m_state.stream0.stride;
  return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* indices) {
  IndexBuffer* ours = nullptr;
  if (indices != nullptr) {
    ours = dynamic_cast<IndexBuffer*>(indices);
    if (ours == nullptr || ours->device() != this) return D3DERR_INVALIDCALL;
  }
  m_state.indices.set(ours);
  return D3D_OK;
}

HRESULT Device::GetIndices(IDirect3DIndexBuffer9** indices) {
  initReturnPtr(indices);
  if (indices == nullptr) return D3DERR_INVALIDCALL;
  if (IndexBuffer* bound = m_state.indices.get()) {
    bound->AddRef();
    *indices = bound;
  }
  return D3D_OK;
}

HRESULT Device::SetFVF(DWORD fvf) {
  FvfLayout layout;
  if (fvf != 0 && !parseFvf(fvf, layout)) {
    logOnce("SetFVF: vertex format 0x%x is not supported", static_cast<unsigned>(fvf));
    return D3DERR_INVALIDCALL;
  }
  if (m_state.fvf != fvf) m_state.dirty |= kDirtyLighting;  // material sources depend on the vertex colours
  m_state.fvf = fvf;
  return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* fvf) {
  if (fvf == nullptr) return D3DERR_INVALIDCALL;
  *fvf = m_state.fvf;
  return D3D_OK;
}

HRESULT Device::SetSoftwareVertexProcessing(BOOL software) {
  // Only a mixed-mode device may switch.
  if (!(m_behaviorFlags & D3DCREATE_MIXED_VERTEXPROCESSING)) {
    const BOOL fixed = (m_behaviorFlags & D3DCREATE_SOFTWARE_VERTEXPROCESSING) ? TRUE : FALSE;
    return (software != FALSE) == (fixed != FALSE) ? D3D_OK : D3DERR_INVALIDCALL;
  }
  m_state.softwareVertexProcessing = software ? TRUE : FALSE;
  return D3D_OK;
}

BOOL Device::GetSoftwareVertexProcessing() { return m_state.softwareVertexProcessing; }

// ---- drawing ---------------------------------------------------------------------------

void Device::submit(const DrawCall& call) {
  if (!m_renderer) return;  // NULLREF: checked, not drawn
  makeCurrent();
  Texture* texture = m_state.textures[0].get();
  m_renderer->draw(m_state, texture ? texture->glName() : 0, call);
}

HRESULT Device::validateDraw(D3DPRIMITIVETYPE type, UINT primitiveCount, UINT& vertexCount) const {
  if (!m_inScene || primitiveCount > kMaxPrimitiveCount) return D3DERR_INVALIDCALL;
  vertexCount = verticesFor(type, primitiveCount);
  if (vertexCount == 0 || primitiveCount == 0) return D3DERR_INVALIDCALL;
  if (m_state.fvf == 0) return D3DERR_INVALIDCALL;
  return D3D_OK;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) {
  UINT vertexCount = 0;
  if (const HRESULT hr = validateDraw(type, primitiveCount, vertexCount); FAILED(hr)) return hr;
  FvfLayout layout;
  parseFvf(m_state.fvf, layout);
  if (vertices == nullptr || stride < layout.size || stride > 255) return D3DERR_INVALIDCALL;
  // Drawing from user memory leaves stream 0 unbound, as the real runtime does.
  m_state.stream0.buffer.reset();
  m_state.stream0.offset = m_state.stream0.stride = 0;
  submit({.type = type,
          .vertexCount = vertexCount,
          .layout = layout,
          .stride = stride,
          .userVertices = vertices,
          .userBytes = static_cast<size_t>(vertexCount - 1) * stride + layout.size});
  return D3D_OK;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
  UINT vertexCount = 0;
  if (const HRESULT hr = validateDraw(type, primitiveCount, vertexCount); FAILED(hr)) return hr;
  VertexBuffer* buffer = m_state.stream0.buffer.get();
  FvfLayout layout;
  parseFvf(m_state.fvf, layout);
  const UINT stride = m_state.stream0.stride;
  if (buffer == nullptr || stride < layout.size || buffer->pool() == D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
  const uint64_t end =
      uint64_t{m_state.stream0.offset} + (uint64_t{startVertex} + vertexCount - 1) * stride + layout.size;
  if (end > buffer->length()) return D3DERR_INVALIDCALL;
  submit({.type = type,
          .vertexCount = vertexCount,
          .layout = layout,
          .stride = stride,
          .vertexBuffer = buffer->glName(),
          .vertexOffset = m_state.stream0.offset,
          .firstVertex = startVertex});
  return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex, UINT numVertices,
                                     UINT startIndex, UINT primitiveCount) {
  UINT indexCount = 0;
  if (const HRESULT hr = validateDraw(type, primitiveCount, indexCount); FAILED(hr)) return hr;
  VertexBuffer* buffer = m_state.stream0.buffer.get();
  IndexBuffer* indices = m_state.indices.get();
  FvfLayout layout;
  parseFvf(m_state.fvf, layout);
  const UINT stride = m_state.stream0.stride;
  if (buffer == nullptr || indices == nullptr || stride < layout.size || numVertices == 0) return D3DERR_INVALIDCALL;
  if (buffer->pool() == D3DPOOL_SCRATCH || indices->pool() == D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
  const uint32_t indexSize = indices->indexSize();
  if ((uint64_t{startIndex} + indexCount) * indexSize > indices->length()) return D3DERR_INVALIDCALL;

  // Every index the draw reads must name a vertex inside the buffer: OpenGL would otherwise
  // read past its end. An offset that leaves less than one whole vertex leaves none.
  const uint64_t firstVertexEnd = uint64_t{m_state.stream0.offset} + layout.size;
  if (firstVertexEnd > buffer->length()) return D3DERR_INVALIDCALL;
  const int64_t vertexSpace = static_cast<int64_t>((buffer->length() - firstVertexEnd) / stride + 1);
  const IndexBuffer::IndexRange range = indices->indexRange(startIndex, indexCount);
  if (static_cast<int64_t>(range.lowest) + baseVertexIndex < 0 ||
      static_cast<int64_t>(range.highest) + baseVertexIndex >= vertexSpace)
    return D3DERR_INVALIDCALL;
  (void)minVertexIndex;  // a hint for software vertex processing; the index scan above is exact
  submit({.type = type,
          .vertexCount = indexCount,
          .layout = layout,
          .stride = stride,
          .vertexBuffer = buffer->glName(),
          .vertexOffset = m_state.stream0.offset,
          .indexBuffer = indices->glName(),
          .indexSize = indexSize,
          .indexOffset = static_cast<size_t>(startIndex) * indexSize,
          .baseVertex = baseVertexIndex,
          .lowestIndex = range.lowest,
          .highestIndex = range.highest});
  return D3D_OK;
}

}  // namespace d3d9
