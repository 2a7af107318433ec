// The Direct3D 9 subset this program and its libraries call, implemented on Linux over
// OpenGL 3.3 core. Interfaces keep the real slot order; operations outside the subset are
// present for that order and fail with D3DERR_INVALIDCALL (or the documented "none" value).
#pragma once

#include "windows.h"
#include "d3d9types.h"
#include "d3d9caps.h"

#define D3D_SDK_VERSION 32

struct IDirect3D9;
struct IDirect3DDevice9;
struct IDirect3DResource9;
struct IDirect3DBaseTexture9;
struct IDirect3DTexture9;
struct IDirect3DSurface9;
struct IDirect3DVertexBuffer9;
struct IDirect3DIndexBuffer9;
struct IDirect3DSwapChain9;
struct IDirect3DVolumeTexture9;
struct IDirect3DCubeTexture9;
struct IDirect3DStateBlock9;
struct IDirect3DVertexDeclaration9;
struct IDirect3DVertexShader9;
struct IDirect3DPixelShader9;
struct IDirect3DQuery9;

typedef IDirect3D9* LPDIRECT3D9;
typedef IDirect3DDevice9* LPDIRECT3DDEVICE9;
typedef IDirect3DTexture9* LPDIRECT3DTEXTURE9;
typedef IDirect3DBaseTexture9* LPDIRECT3DBASETEXTURE9;
typedef IDirect3DSurface9* LPDIRECT3DSURFACE9;
typedef IDirect3DVertexBuffer9* LPDIRECT3DVERTEXBUFFER9;
typedef IDirect3DIndexBuffer9* LPDIRECT3DINDEXBUFFER9;

extern "C" const IID IID_IDirect3D9;
extern "C" const IID IID_IDirect3DDevice9;
extern "C" const IID IID_IDirect3DResource9;
extern "C" const IID IID_IDirect3DBaseTexture9;
extern "C" const IID IID_IDirect3DTexture9;
extern "C" const IID IID_IDirect3DSurface9;
extern "C" const IID IID_IDirect3DVertexBuffer9;
extern "C" const IID IID_IDirect3DIndexBuffer9;

// One adapter (0) whose display runs at D3DFMT_X8R8G8B8. D3DDEVTYPE_HAL devices render with
// OpenGL on the window layer's SDL window; D3DDEVTYPE_NULLREF devices keep resources in
// memory and draw nothing.
struct IDirect3D9 : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE RegisterSoftwareDevice(void* initializeFunction) = 0;
  virtual UINT STDMETHODCALLTYPE GetAdapterCount() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAdapterIdentifier(UINT adapter, DWORD flags,
                                                         D3DADAPTER_IDENTIFIER9* identifier) = 0;
  virtual UINT STDMETHODCALLTYPE GetAdapterModeCount(UINT adapter, D3DFORMAT format) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode,
                                                     D3DDISPLAYMODE* displayMode) = 0;
  // The desktop mode of the display the window layer runs on (60 Hz when it reports none).
  virtual HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE CheckDeviceType(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                                    D3DFORMAT backBufferFormat, BOOL windowed) = 0;
  // D3D_OK only for resources this layer can create and sample: see the format table.
  virtual HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                                      DWORD usage, D3DRESOURCETYPE resourceType,
                                                      D3DFORMAT checkFormat) = 0;
  virtual HRESULT STDMETHODCALLTYPE CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE deviceType,
                                                               D3DFORMAT surfaceFormat, BOOL windowed,
                                                               D3DMULTISAMPLE_TYPE multiSampleType,
                                                               DWORD* qualityLevels) = 0;
  virtual HRESULT STDMETHODCALLTYPE CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                                           D3DFORMAT renderTargetFormat,
                                                           D3DFORMAT depthStencilFormat) = 0;
  virtual HRESULT STDMETHODCALLTYPE CheckDeviceFormatConversion(UINT adapter, D3DDEVTYPE deviceType,
                                                                D3DFORMAT sourceFormat, D3DFORMAT targetFormat) = 0;
  // What the device of that type supports; for HAL the texture limits come from OpenGL.
  virtual HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) = 0;
  virtual HMONITOR STDMETHODCALLTYPE GetAdapterMonitor(UINT adapter) = 0;
  // HAL: an OpenGL 3.3 core context on the window's SDL window (D3DERR_NOTAVAILABLE when
  // none can be made); NULLREF: no window or context needed.
  virtual HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                                                 DWORD behaviorFlags, D3DPRESENT_PARAMETERS* presentationParameters,
                                                 IDirect3DDevice9** device) = 0;

 protected:
  ~IDirect3D9() = default;
};

struct IDirect3DDevice9 : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE TestCooperativeLevel() = 0;
  virtual UINT STDMETHODCALLTYPE GetAvailableTextureMem() = 0;
  virtual HRESULT STDMETHODCALLTYPE EvictManagedResources() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9** direct3D) = 0;
  // What this layer supports; texture and point-size limits from OpenGL (HAL).
  virtual HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9* caps) = 0;
  // The desktop mode of adapter 0 (swap chain 0 only).
  virtual HRESULT STDMETHODCALLTYPE GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) = 0;
  // Adapter, device type, focus window and behaviour flags as given to CreateDevice.
  virtual HRESULT STDMETHODCALLTYPE GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetCursorProperties(UINT xHotSpot, UINT yHotSpot,
                                                        IDirect3DSurface9* cursorBitmap) = 0;
  virtual void STDMETHODCALLTYPE SetCursorPosition(int x, int y, DWORD flags) = 0;
  virtual BOOL STDMETHODCALLTYPE ShowCursor(BOOL show) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* presentationParameters,
                                                              IDirect3DSwapChain9** swapChain) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSwapChain(UINT swapChain, IDirect3DSwapChain9** result) = 0;
  virtual UINT STDMETHODCALLTYPE GetNumberOfSwapChains() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* presentationParameters) = 0;
  // Shows the back buffer and waits for the display refresh (swap interval 1 where the
  // driver honours it, otherwise paced to the refresh rate), so a render loop never spins.
  virtual HRESULT STDMETHODCALLTYPE Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                                            const RGNDATA* dirtyRegion) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type,
                                                  IDirect3DSurface9** surface) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRasterStatus(UINT swapChain, D3DRASTER_STATUS* status) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDialogBoxMode(BOOL enable) = 0;
  virtual void STDMETHODCALLTYPE SetGammaRamp(UINT swapChain, DWORD flags, const D3DGAMMARAMP* ramp) = 0;
  virtual void STDMETHODCALLTYPE GetGammaRamp(UINT swapChain, D3DGAMMARAMP* ramp) = 0;
  // Each texture keeps a memory copy of every level (what LockRect and GetDC work on);
  // levels 0 asks for the full chain down to 1 x 1.
  virtual HRESULT STDMETHODCALLTYPE CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                                  D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* sharedHandle) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                                                        D3DFORMAT format, D3DPOOL pool,
                                                        IDirect3DVolumeTexture9** texture, HANDLE* sharedHandle) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format,
                                                      D3DPOOL pool, IDirect3DCubeTexture9** texture,
                                                      HANDLE* sharedHandle) = 0;
  // Buffers keep a memory copy; the HAL copy in OpenGL is updated on the last Unlock.
  virtual HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                                       IDirect3DVertexBuffer9** buffer, HANDLE* sharedHandle) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                                      IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                                                       D3DMULTISAMPLE_TYPE multiSample, DWORD multisampleQuality,
                                                       BOOL lockable, IDirect3DSurface9** surface,
                                                       HANDLE* sharedHandle) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                                              D3DMULTISAMPLE_TYPE multiSample, DWORD multisampleQuality,
                                                              BOOL discard, IDirect3DSurface9** surface,
                                                              HANDLE* sharedHandle) = 0;
  virtual HRESULT STDMETHODCALLTYPE UpdateSurface(IDirect3DSurface9* sourceSurface, const RECT* sourceRect,
                                                  IDirect3DSurface9* destinationSurface, const POINT* destPoint) = 0;
  // Copies the levels of a system-memory texture into a default-pool texture of the same
  // format (source levels matched to the destination's sizes).
  virtual HRESULT STDMETHODCALLTYPE UpdateTexture(IDirect3DBaseTexture9* sourceTexture,
                                                  IDirect3DBaseTexture9* destinationTexture) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRenderTargetData(IDirect3DSurface9* renderTarget,
                                                        IDirect3DSurface9* destSurface) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFrontBufferData(UINT swapChain, IDirect3DSurface9* destSurface) = 0;
  virtual HRESULT STDMETHODCALLTYPE StretchRect(IDirect3DSurface9* sourceSurface, const RECT* sourceRect,
                                                IDirect3DSurface9* destSurface, const RECT* destRect,
                                                D3DTEXTUREFILTERTYPE filter) = 0;
  virtual HRESULT STDMETHODCALLTYPE ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                                                IDirect3DSurface9** surface, HANDLE* sharedHandle) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetRenderTarget(DWORD renderTargetIndex, IDirect3DSurface9* renderTarget) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRenderTarget(DWORD renderTargetIndex, IDirect3DSurface9** renderTarget) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDepthStencilSurface(IDirect3DSurface9* newZStencil) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDepthStencilSurface(IDirect3DSurface9** zStencilSurface) = 0;
  // Draws are accepted only between BeginScene and EndScene; neither nests.
  virtual HRESULT STDMETHODCALLTYPE BeginScene() = 0;
  virtual HRESULT STDMETHODCALLTYPE EndScene() = 0;
  // Clears the viewport (or the rectangles within it), ignoring write masks and depth writes.
  virtual HRESULT STDMETHODCALLTYPE Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                                          DWORD stencil) = 0;
  // View, projection, texture matrices and world matrices 0..3 (row-vector, left-handed).
  virtual HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
  virtual HRESULT STDMETHODCALLTYPE MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT9* viewport) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9* viewport) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMaterial(const D3DMATERIAL9* material) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL9* material) = 0;
  // Point and directional lights; at most four enabled at once. Spot lights fail.
  virtual HRESULT STDMETHODCALLTYPE SetLight(DWORD index, const D3DLIGHT9* light) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetLight(DWORD index, D3DLIGHT9* light) = 0;
  virtual HRESULT STDMETHODCALLTYPE LightEnable(DWORD index, BOOL enable) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetLightEnable(DWORD index, BOOL* enable) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetClipPlane(DWORD index, const float* plane) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClipPlane(DWORD index, float* plane) = 0;
  // States outside the implemented fixed-function subset accept only their default value.
  virtual HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** stateBlock) = 0;
  virtual HRESULT STDMETHODCALLTYPE BeginStateBlock() = 0;
  virtual HRESULT STDMETHODCALLTYPE EndStateBlock(IDirect3DStateBlock9** stateBlock) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetClipStatus(const D3DCLIPSTATUS9* clipStatus) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClipStatus(D3DCLIPSTATUS9* clipStatus) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) = 0;
  // Stage 0 is sampled; the device holds the texture without keeping itself alive by it.
  virtual HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) = 0;
  // One blending stage: DISABLE, SELECTARG1, SELECTARG2, MODULATE over DIFFUSE, CURRENT,
  // TEXTURE and TFACTOR (with COMPLEMENT / ALPHAREPLICATE); later stages can only be disabled.
  virtual HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) = 0;
  // Point or linear filters, mip filter none/point/linear, wrap/mirror/clamp/border addressing.
  virtual HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) = 0;
  virtual HRESULT STDMETHODCALLTYPE ValidateDevice(DWORD* numPasses) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPaletteEntries(UINT paletteNumber, const PALETTEENTRY* entries) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPaletteEntries(UINT paletteNumber, PALETTEENTRY* entries) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetCurrentTexturePalette(UINT paletteNumber) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurrentTexturePalette(UINT* paletteNumber) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetScissorRect(const RECT* rect) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetScissorRect(RECT* rect) = 0;
  // Recorded and reported back; all vertex processing happens in the one shader anyway.
  virtual HRESULT STDMETHODCALLTYPE SetSoftwareVertexProcessing(BOOL software) = 0;
  virtual BOOL STDMETHODCALLTYPE GetSoftwareVertexProcessing() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetNPatchMode(float segments) = 0;
  virtual float STDMETHODCALLTYPE GetNPatchMode() = 0;
  // Draws check every vertex and index they read lies inside its buffer; NULLREF draws nothing.
  virtual HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex,
                                                  UINT primitiveCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE primitiveType, INT baseVertexIndex,
                                                         UINT minVertexIndex, UINT numVertices, UINT startIndex,
                                                         UINT primitiveCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount,
                                                    const void* vertexStreamZeroData, UINT vertexStreamZeroStride) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT minVertexIndex,
                                                           UINT numVertices, UINT primitiveCount, const void* indexData,
                                                           D3DFORMAT indexDataFormat, const void* vertexStreamZeroData,
                                                           UINT vertexStreamZeroStride) = 0;
  virtual HRESULT STDMETHODCALLTYPE ProcessVertices(UINT srcStartIndex, UINT destIndex, UINT vertexCount,
                                                    IDirect3DVertexBuffer9* destBuffer,
                                                    IDirect3DVertexDeclaration9* vertexDecl, DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateVertexDeclaration(const D3DVERTEXELEMENT9* vertexElements,
                                                            IDirect3DVertexDeclaration9** decl) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetVertexDeclaration(IDirect3DVertexDeclaration9* decl) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVertexDeclaration(IDirect3DVertexDeclaration9** decl) = 0;
  // XYZ or XYZB1..XYZB4 positions, normal, point size, diffuse, specular, 2D texture coordinates.
  virtual HRESULT STDMETHODCALLTYPE SetFVF(DWORD fvf) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFVF(DWORD* fvf) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateVertexShader(const DWORD* function, IDirect3DVertexShader9** shader) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetVertexShader(IDirect3DVertexShader9* shader) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVertexShader(IDirect3DVertexShader9** shader) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(UINT startRegister, const float* data, UINT count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVertexShaderConstantF(UINT startRegister, float* data, UINT count) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetVertexShaderConstantI(UINT startRegister, const int* data, UINT count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVertexShaderConstantI(UINT startRegister, int* data, UINT count) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetVertexShaderConstantB(UINT startRegister, const BOOL* data, UINT count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVertexShaderConstantB(UINT startRegister, BOOL* data, UINT count) = 0;
  // Stream 0 only.
  virtual HRESULT STDMETHODCALLTYPE SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9* streamData,
                                                    UINT offsetInBytes, UINT stride) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9** streamData,
                                                    UINT* offsetInBytes, UINT* stride) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetStreamSourceFreq(UINT streamNumber, UINT setting) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStreamSourceFreq(UINT streamNumber, UINT* setting) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9* indexData) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIndices(IDirect3DIndexBuffer9** indexData) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreatePixelShader(const DWORD* function, IDirect3DPixelShader9** shader) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPixelShader(IDirect3DPixelShader9* shader) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPixelShader(IDirect3DPixelShader9** shader) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(UINT startRegister, const float* data, UINT count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPixelShaderConstantF(UINT startRegister, float* data, UINT count) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPixelShaderConstantI(UINT startRegister, const int* data, UINT count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPixelShaderConstantI(UINT startRegister, int* data, UINT count) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPixelShaderConstantB(UINT startRegister, const BOOL* data, UINT count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPixelShaderConstantB(UINT startRegister, BOOL* data, UINT count) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrawRectPatch(UINT handle, const float* numSegs,
                                                  const D3DRECTPATCH_INFO* rectPatchInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrawTriPatch(UINT handle, const float* numSegs,
                                                 const D3DTRIPATCH_INFO* triPatchInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeletePatch(UINT handle) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateQuery(D3DQUERYTYPE type, IDirect3DQuery9** query) = 0;

 protected:
  ~IDirect3DDevice9() = default;
};

struct IDirect3DResource9 : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, const void* data, DWORD sizeOfData, DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, void* data, DWORD* sizeOfData) = 0;
  virtual HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID guid) = 0;
  virtual DWORD STDMETHODCALLTYPE SetPriority(DWORD priorityNew) = 0;
  virtual DWORD STDMETHODCALLTYPE GetPriority() = 0;
  virtual void STDMETHODCALLTYPE PreLoad() = 0;
  virtual D3DRESOURCETYPE STDMETHODCALLTYPE GetType() = 0;

 protected:
  ~IDirect3DResource9() = default;
};

struct IDirect3DBaseTexture9 : IDirect3DResource9 {
  virtual DWORD STDMETHODCALLTYPE SetLOD(DWORD lodNew) = 0;
  virtual DWORD STDMETHODCALLTYPE GetLOD() = 0;
  virtual DWORD STDMETHODCALLTYPE GetLevelCount() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetAutoGenFilterType(D3DTEXTUREFILTERTYPE filterType) = 0;
  virtual D3DTEXTUREFILTERTYPE STDMETHODCALLTYPE GetAutoGenFilterType() = 0;
  virtual void STDMETHODCALLTYPE GenerateMipSubLevels() = 0;

 protected:
  ~IDirect3DBaseTexture9() = default;
};

struct IDirect3DTexture9 : IDirect3DBaseTexture9 {
  virtual HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
  // The level's surface; it shares the texture's reference count.
  virtual HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT level, IDirect3DSurface9** surfaceLevel) = 0;
  // Locks the level's memory copy; UnlockRect hands it to OpenGL (not after D3DLOCK_READONLY).
  virtual HRESULT STDMETHODCALLTYPE LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE UnlockRect(UINT level) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddDirtyRect(const RECT* dirtyRect) = 0;

 protected:
  ~IDirect3DTexture9() = default;
};

struct IDirect3DSurface9 : IDirect3DResource9 {
  virtual HRESULT STDMETHODCALLTYPE GetContainer(REFIID riid, void** container) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* desc) = 0;
  virtual HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE UnlockRect() = 0;
  // A GDI context drawing into the level's memory copy (R5G6B5, X8R8G8B8 or A8R8G8B8);
  // ReleaseDC hands the result to OpenGL.
  virtual HRESULT STDMETHODCALLTYPE GetDC(HDC* dc) = 0;
  virtual HRESULT STDMETHODCALLTYPE ReleaseDC(HDC dc) = 0;

 protected:
  ~IDirect3DSurface9() = default;
};

struct IDirect3DVertexBuffer9 : IDirect3DResource9 {
  // Locks the buffer's memory copy (size 0: to the end); the last Unlock uploads it.
  virtual HRESULT STDMETHODCALLTYPE Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE Unlock() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDesc(D3DVERTEXBUFFER_DESC* desc) = 0;

 protected:
  ~IDirect3DVertexBuffer9() = default;
};

struct IDirect3DIndexBuffer9 : IDirect3DResource9 {
  virtual HRESULT STDMETHODCALLTYPE Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE Unlock() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDesc(D3DINDEXBUFFER_DESC* desc) = 0;

 protected:
  ~IDirect3DIndexBuffer9() = default;
};

extern "C" {
// The Direct3D object; null unless sdkVersion is D3D_SDK_VERSION.
IDirect3D9* WINAPI Direct3DCreate9(UINT sdkVersion);
}
