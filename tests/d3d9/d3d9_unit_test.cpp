// Behaviour of the Direct3D 9 layer that needs no display: NULLREF devices keep resources in
// memory, check arguments and count references exactly as HAL devices do.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "d3d9.h"
#include "d3d9_test_device.h"
#include "d3d9_testing.h"

namespace {

struct Released {
  void operator()(IUnknown* object) const {
    if (object) object->Release();
  }
};

class NullDevice : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(d3d9test::createNullRefDevice(64, 64, d3d, device), D3D_OK); }
  void TearDown() override {
    if (device) {
      EXPECT_EQ(device->Release(), 0u);
    }
    if (d3d) {
      EXPECT_EQ(d3d->Release(), 0u);
    }
  }
  IDirect3DTexture9* texture(UINT w, UINT h, UINT levels, D3DFORMAT format, D3DPOOL pool, DWORD usage = 0) {
    IDirect3DTexture9* t = nullptr;
    EXPECT_EQ(device->CreateTexture(w, h, levels, usage, format, pool, &t, nullptr), D3D_OK);
    return t;
  }
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;
};

ULONG refCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

TEST(Direct3DCreate9, OnlyTheSdkVersionItWasBuiltFor) {
  EXPECT_EQ(Direct3DCreate9(31), nullptr);
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(d3d, nullptr);
  EXPECT_EQ(d3d->Release(), 0u);
}

TEST_F(NullDevice, ChildrenKeepTheDeviceAlive) {
  EXPECT_EQ(refCount(device), 1u);
  IDirect3DTexture9* t = texture(16, 16, 1, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  EXPECT_EQ(refCount(device), 2u);
  IDirect3DSurface9* surface = nullptr;
  ASSERT_EQ(t->GetSurfaceLevel(0, &surface), D3D_OK);
  EXPECT_EQ(refCount(t), 2u);  // a level's surface shares its texture's count
  IDirect3DDevice9* owner = nullptr;
  ASSERT_EQ(surface->GetDevice(&owner), D3D_OK);
  EXPECT_EQ(owner, device);
  owner->Release();
  surface->Release();
  EXPECT_EQ(t->Release(), 0u);
  EXPECT_EQ(refCount(device), 1u);
}

#ifndef NDEBUG
TEST_F(NullDevice, ReleasePastZeroAssertsInDebugBuilds) {
  IDirect3DTexture9* t = texture(8, 8, 1, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  ASSERT_EQ(device->SetTexture(0, t), D3D_OK);  // the binding keeps the object's memory
  EXPECT_EQ(t->Release(), 0u);
  EXPECT_DEATH(t->Release(), "count is already zero");
  EXPECT_EQ(device->SetTexture(0, nullptr), D3D_OK);
}
#endif

TEST_F(NullDevice, BoundTextureOutlivesItsLastReleaseWithoutHoldingTheDevice) {
  IDirect3DTexture9* t = texture(8, 8, 1, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  ASSERT_EQ(device->SetTexture(0, t), D3D_OK);
  EXPECT_EQ(t->Release(), 0u);
  EXPECT_EQ(refCount(device), 1u);  // the binding is not a reference on the device's behalf
  IDirect3DBaseTexture9* bound = nullptr;
  ASSERT_EQ(device->GetTexture(0, &bound), D3D_OK);
  ASSERT_EQ(bound, t);
  EXPECT_EQ(bound->GetLevelCount(), 1u);
  EXPECT_EQ(bound->Release(), 0u);
  EXPECT_EQ(device->SetTexture(0, nullptr), D3D_OK);
}

TEST_F(NullDevice, QueryInterfaceListsWhatEachObjectIs) {
  IDirect3DTexture9* t = texture(4, 4, 1, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED);
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(t->QueryInterface(IID_IDirect3DBaseTexture9, &out), S_OK);
  EXPECT_EQ(out, static_cast<IDirect3DBaseTexture9*>(t));
  static_cast<IUnknown*>(out)->Release();
  EXPECT_EQ(t->QueryInterface(IID_IDirect3DDevice9, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(t->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(device->QueryInterface(IID_IDirect3DDevice9, &out), S_OK);
  static_cast<IUnknown*>(out)->Release();
  EXPECT_EQ(d3d->QueryInterface(IID_IDirect3DTexture9, &out), E_NOINTERFACE);
  t->Release();
}

TEST_F(NullDevice, DefaultStatesAreTheDocumentedOnes) {
  DWORD value = 0;
  const std::pair<D3DRENDERSTATETYPE, DWORD> renderStates[] = {
      {D3DRS_ZENABLE, D3DZB_TRUE},
      {D3DRS_CULLMODE, D3DCULL_CCW},
      {D3DRS_LIGHTING, TRUE},
      {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
      {D3DRS_SRCBLEND, D3DBLEND_ONE},
      {D3DRS_DESTBLEND, D3DBLEND_ZERO},
      {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},
      {D3DRS_TEXTUREFACTOR, 0xFFFFFFFFu},
      {D3DRS_COLORVERTEX, TRUE},
      {D3DRS_POINTSIZE_MAX, 0x42800000u},
      {D3DRS_POINTSCALE_A, 0x3F800000u},
      {D3DRS_AMBIENT, 0},
      {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
      {D3DRS_COLORWRITEENABLE, 0xF},
  };
  for (const auto& [state, expected] : renderStates) {
    ASSERT_EQ(device->GetRenderState(state, &value), D3D_OK);
    EXPECT_EQ(value, expected) << "render state " << state;
  }
  device->GetTextureStageState(0, D3DTSS_COLOROP, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_MODULATE));
  device->GetTextureStageState(1, D3DTSS_ALPHAOP, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_DISABLE));
  device->GetTextureStageState(3, D3DTSS_TEXCOORDINDEX, &value);
  EXPECT_EQ(value, 3u);
  device->GetSamplerState(0, D3DSAMP_MINFILTER, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTEXF_POINT));
  device->GetSamplerState(0, D3DSAMP_ADDRESSU, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTADDRESS_WRAP));
  D3DMATRIX m;
  ASSERT_EQ(device->GetTransform(D3DTS_WORLDMATRIX(3), &m), D3D_OK);
  EXPECT_EQ(m._11, 1.0f);
  EXPECT_EQ(m._12, 0.0f);
  D3DVIEWPORT9 vp;
  ASSERT_EQ(device->GetViewport(&vp), D3D_OK);
  EXPECT_EQ(vp.Width, 64u);
  EXPECT_EQ(vp.MaxZ, 1.0f);
}

TEST_F(NullDevice, UnsupportedStatesFailAndKeepTheirValue) {
  EXPECT_EQ(device->SetRenderState(D3DRS_FOGENABLE, TRUE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetRenderState(D3DRS_FOGENABLE, FALSE), D3D_OK);
  EXPECT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(3), 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetRenderState(D3DRS_ALPHAREF, 256), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_TWEENING), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetRenderState(D3DRS_CULLMODE, 4), D3DERR_INVALIDCALL);
  DWORD value = 0;
  device->GetRenderState(D3DRS_CULLMODE, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_CCW));
  EXPECT_EQ(device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DOTPRODUCT3), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEMP), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_DISABLE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_TFACTOR | D3DTA_COMPLEMENT), D3D_OK);
  EXPECT_EQ(device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_ANISOTROPIC), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetSamplerState(16, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR), D3DERR_INVALIDCALL);
  const D3DMATRIX zero{};
  EXPECT_EQ(device->SetTransform(D3DTS_WORLDMATRIX(4), &zero), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetTransform(D3DTS_VIEW, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetFVF(D3DFVF_XYZB2 | D3DFVF_NORMAL | D3DFVF_TEX1), D3D_OK);
  EXPECT_EQ(device->SetVertexShader(reinterpret_cast<IDirect3DVertexShader9*>(8)), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->Reset(nullptr), D3DERR_INVALIDCALL);
}

TEST_F(NullDevice, LightsPointAndDirectionalUpToFourAtOnce) {
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_SPOT;
  EXPECT_EQ(device->SetLight(0, &light), D3DERR_INVALIDCALL);
  light.Type = D3DLIGHT_POINT;
  light.Range = -1.0f;
  EXPECT_EQ(device->SetLight(0, &light), D3DERR_INVALIDCALL);
  light.Range = 100.0f;
  light.Attenuation0 = 1.0f;
  EXPECT_EQ(device->SetLight(0, &light), D3D_OK);
  BOOL enabled = TRUE;
  ASSERT_EQ(device->GetLightEnable(0, &enabled), D3D_OK);
  EXPECT_FALSE(enabled);
  // Enabling a light never set makes the default white directional light.
  ASSERT_EQ(device->LightEnable(7, TRUE), D3D_OK);
  D3DLIGHT9 made{};
  ASSERT_EQ(device->GetLight(7, &made), D3D_OK);
  EXPECT_EQ(made.Type, D3DLIGHT_DIRECTIONAL);
  EXPECT_EQ(made.Direction.z, 1.0f);
  EXPECT_EQ(made.Diffuse.r, 1.0f);
  for (DWORD i = 0; i < 3; ++i) EXPECT_EQ(device->LightEnable(i, TRUE), D3D_OK);
  EXPECT_EQ(device->LightEnable(3, TRUE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->LightEnable(7, FALSE), D3D_OK);
  EXPECT_EQ(device->LightEnable(3, TRUE), D3D_OK);
  EXPECT_EQ(device->GetLight(42, &made), D3DERR_INVALIDCALL);
}

TEST_F(NullDevice, CreateTextureRejectsWhatItCannotMake) {
  IDirect3DTexture9* t = reinterpret_cast<IDirect3DTexture9*>(1);
  EXPECT_EQ(device->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(t, nullptr);
  EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_R8G8B8, D3DPOOL_MANAGED, &t, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_P8, D3DPOOL_MANAGED, &t, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateTexture(4, 4, 4, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, static_cast<D3DPOOL>(7), &t, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateTexture(4, 4, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateTexture(6, 8, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &t, nullptr), D3DERR_INVALIDCALL);
  HANDLE shared = nullptr;
  EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t, &shared), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, nullptr, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(NullDevice, CheckDeviceFormatMatchesWhatCreateTextureAccepts) {
  const D3DFORMAT formats[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8,      D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5,
                               D3DFMT_A4R4G4B4, D3DFMT_X4R4G4B4,      D3DFMT_A8,     D3DFMT_L8,       D3DFMT_A8L8,
                               D3DFMT_DXT1,     D3DFMT_DXT3,          D3DFMT_DXT5,   D3DFMT_R8G8B8,   D3DFMT_P8,
                               D3DFMT_DXT2,     D3DFMT_A16B16G16R16F, D3DFMT_V8U8,   D3DFMT_R3G3B2,   D3DFMT_A8P8};
  for (D3DFORMAT format : formats) {
    const HRESULT check = d3d->CheckDeviceFormat(0, D3DDEVTYPE_NULLREF, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, format);
    EXPECT_TRUE(check == D3D_OK || check == D3DERR_NOTAVAILABLE);
    IDirect3DTexture9* t = nullptr;
    const HRESULT create = device->CreateTexture(8, 8, 1, 0, format, D3DPOOL_MANAGED, &t, nullptr);
    EXPECT_EQ(check == D3D_OK, create == D3D_OK) << "format " << format;
    if (t) t->Release();
  }
  EXPECT_EQ(
      d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DYNAMIC, D3DRTYPE_TEXTURE, D3DFMT_R5G6B5),
      D3D_OK);
  EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_AUTOGENMIPMAP, D3DRTYPE_TEXTURE,
                                   D3DFMT_A8R8G8B8),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE,
                                   D3DFMT_A8R8G8B8),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(
      d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D16),
      D3D_OK);
  EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d->CheckDeviceFormat(1, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_CUBETEXTURE, D3DFMT_A8R8G8B8),
            D3DERR_NOTAVAILABLE);
}

TEST_F(NullDevice, LevelsZeroMakesTheFullChainWithPitchesOfTheFormat) {
  IDirect3DTexture9* t = texture(64, 16, 0, D3DFMT_R5G6B5, D3DPOOL_SYSTEMMEM);
  ASSERT_EQ(t->GetLevelCount(), 7u);
  const UINT widths[] = {64, 32, 16, 8, 4, 2, 1}, heights[] = {16, 8, 4, 2, 1, 1, 1};
  for (UINT level = 0; level < 7; ++level) {
    D3DSURFACE_DESC desc;
    ASSERT_EQ(t->GetLevelDesc(level, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, widths[level]);
    EXPECT_EQ(desc.Height, heights[level]);
    EXPECT_EQ(desc.Format, D3DFMT_R5G6B5);
    EXPECT_EQ(desc.Pool, D3DPOOL_SYSTEMMEM);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(t->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(locked.Pitch, static_cast<INT>(widths[level] * 2));
    t->UnlockRect(level);
  }
  D3DSURFACE_DESC desc;
  EXPECT_EQ(t->GetLevelDesc(7, &desc), D3DERR_INVALIDCALL);
  t->Release();

  IDirect3DTexture9* dxt = texture(16, 8, 0, D3DFMT_DXT5, D3DPOOL_MANAGED);
  ASSERT_EQ(dxt->GetLevelCount(), 5u);
  D3DLOCKED_RECT locked;
  ASSERT_EQ(dxt->LockRect(0, &locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(locked.Pitch, 4 * 16);  // one row of 4 x 4 blocks of 16 bytes
  dxt->UnlockRect(0);
  ASSERT_EQ(dxt->LockRect(4, &locked, nullptr, 0), D3D_OK);  // 1 x 1 still takes a whole block
  EXPECT_EQ(locked.Pitch, 16);
  dxt->UnlockRect(4);
  RECT unaligned{2, 0, 4, 4};
  EXPECT_EQ(dxt->LockRect(0, &locked, &unaligned, 0), D3DERR_INVALIDCALL);
  dxt->Release();
}

TEST_F(NullDevice, LockRulesFollowPoolAndUsage) {
  IDirect3DTexture9* onDevice = texture(8, 8, 1, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  D3DLOCKED_RECT locked;
  EXPECT_EQ(onDevice->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(locked.pBits, nullptr);
  onDevice->Release();

  IDirect3DTexture9* dynamic = texture(8, 8, 1, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC);
  ASSERT_EQ(dynamic->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD), D3D_OK);
  EXPECT_EQ(dynamic->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);  // already locked
  EXPECT_EQ(dynamic->UnlockRect(0), D3D_OK);
  EXPECT_EQ(dynamic->UnlockRect(0), D3DERR_INVALIDCALL);
  RECT outside{4, 4, 9, 8};
  EXPECT_EQ(dynamic->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
  dynamic->Release();
}

TEST_F(NullDevice, LockedRectanglesAddressTheLevelsMemory) {
  IDirect3DTexture9* t = texture(8, 4, 2, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  D3DLOCKED_RECT locked;
  RECT corner{2, 1, 4, 2};
  ASSERT_EQ(t->LockRect(1, &locked, &corner, 0), D3D_OK);  // level 1 is 4 x 2
  static_cast<uint32_t*>(locked.pBits)[0] = 0x11223344u;
  static_cast<uint32_t*>(locked.pBits)[1] = 0x55667788u;
  ASSERT_EQ(t->UnlockRect(1), D3D_OK);
  ASSERT_EQ(t->LockRect(1, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  const auto* row1 = reinterpret_cast<const uint32_t*>(static_cast<uint8_t*>(locked.pBits) + locked.Pitch);
  EXPECT_EQ(row1[2], 0x11223344u);
  EXPECT_EQ(row1[3], 0x55667788u);
  EXPECT_EQ(static_cast<uint32_t*>(locked.pBits)[2], 0u);
  t->UnlockRect(1);
  // Surface locks reach the same memory.
  IDirect3DSurface9* surface = nullptr;
  ASSERT_EQ(t->GetSurfaceLevel(1, &surface), D3D_OK);
  ASSERT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(reinterpret_cast<const uint32_t*>(static_cast<uint8_t*>(locked.pBits) + locked.Pitch)[2], 0x11223344u);
  surface->UnlockRect();
  surface->Release();
  t->Release();
}

// Released textures leave their memory to the next one of the same size: what a program
// did not write itself must still read as zero, however it reaches the level.
TEST_F(NullDevice, LevelsNeverShowAnEarlierTexturesBytes) {
  constexpr UINT kSize = 64;
  auto fillAndRelease = [&] {
    IDirect3DTexture9* t = texture(kSize, kSize, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
    for (UINT level = 0; level < t->GetLevelCount(); ++level) {
      D3DLOCKED_RECT locked;
      ASSERT_EQ(t->LockRect(level, &locked, nullptr, D3DLOCK_OVERWRITE_LEVEL), D3D_OK);
      std::memset(locked.pBits, 0xAB, static_cast<size_t>(locked.Pitch) * std::max(1u, kSize >> level));
      t->UnlockRect(level);
    }
    t->Release();
  };
  auto allZero = [](const D3DLOCKED_RECT& locked, UINT rows) {
    const auto* bytes = static_cast<const uint8_t*>(locked.pBits);
    return std::all_of(bytes, bytes + static_cast<size_t>(locked.Pitch) * rows, [](uint8_t b) { return b == 0; });
  };
  D3DLOCKED_RECT locked;

  fillAndRelease();
  IDirect3DTexture9* t = texture(kSize, kSize, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
  ASSERT_EQ(t->LockRect(0, &locked, nullptr, 0), D3D_OK);  // a plain lock
  EXPECT_TRUE(allZero(locked, kSize));
  t->UnlockRect(0);
  ASSERT_EQ(t->LockRect(1, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);  // reading
  EXPECT_TRUE(allZero(locked, kSize / 2));
  t->UnlockRect(1);
  // The overwrite promise only counts for whole levels: a part locked with it leaves the
  // rest of the level cleared.
  RECT corner{0, 0, 1, 1};
  ASSERT_EQ(t->LockRect(2, &locked, &corner, D3DLOCK_OVERWRITE_LEVEL), D3D_OK);
  static_cast<uint32_t*>(locked.pBits)[0] = 0x01020304u;
  t->UnlockRect(2);
  ASSERT_EQ(t->LockRect(2, &locked, nullptr, D3DLOCK_READONLY | D3DLOCK_OVERWRITE_LEVEL), D3D_OK);
  EXPECT_EQ(static_cast<uint32_t*>(locked.pBits)[0], 0x01020304u);
  static_cast<uint32_t*>(locked.pBits)[0] = 0;
  EXPECT_TRUE(allZero(locked, kSize / 4));
  t->UnlockRect(2);
  // Device contexts and copies into the default pool read the level too.
  IDirect3DSurface9* surface = nullptr;
  ASSERT_EQ(t->GetSurfaceLevel(3, &surface), D3D_OK);
  HDC dc = nullptr;
  ASSERT_EQ(surface->GetDC(&dc), D3D_OK);
  surface->ReleaseDC(dc);
  surface->Release();
  ASSERT_EQ(t->LockRect(3, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  EXPECT_TRUE(allZero(locked, kSize / 8));
  t->UnlockRect(3);
  t->Release();

  fillAndRelease();
  IDirect3DTexture9* staging = texture(kSize, kSize, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
  IDirect3DTexture9* target = texture(kSize, kSize, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC);
  ASSERT_EQ(device->UpdateTexture(staging, target), D3D_OK);
  ASSERT_EQ(target->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  EXPECT_TRUE(allZero(locked, kSize));
  target->UnlockRect(0);
  target->Release();
  staging->Release();
}

// Levels are carved out of shared regions and given back in any order; whatever the order,
// no two live textures may overlap. One texture is larger than a whole region.
TEST_F(NullDevice, LiveTexturesNeverShareMemory) {
  struct Live {
    IDirect3DTexture9* texture;
    uint8_t mark;
  };
  auto fill = [](IDirect3DTexture9* t, uint8_t mark) {
    for (UINT level = 0; level < t->GetLevelCount(); ++level) {
      D3DSURFACE_DESC desc;
      t->GetLevelDesc(level, &desc);
      D3DLOCKED_RECT locked;
      ASSERT_EQ(t->LockRect(level, &locked, nullptr, D3DLOCK_OVERWRITE_LEVEL), D3D_OK);
      std::memset(locked.pBits, mark, static_cast<size_t>(locked.Pitch) * desc.Height);
      t->UnlockRect(level);
    }
  };
  auto holds = [](IDirect3DTexture9* t, uint8_t mark) {
    bool all = true;
    for (UINT level = 0; level < t->GetLevelCount(); ++level) {
      D3DSURFACE_DESC desc;
      t->GetLevelDesc(level, &desc);
      D3DLOCKED_RECT locked;
      if (t->LockRect(level, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK) return false;
      const auto* bytes = static_cast<const uint8_t*>(locked.pBits);
      all = all && std::all_of(bytes, bytes + static_cast<size_t>(locked.Pitch) * desc.Height,
                               [&](uint8_t b) { return b == mark; });
      t->UnlockRect(level);
    }
    return all;
  };
  std::vector<Live> live;
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u, seed >> 8; };
  for (int round = 0; round < 300; ++round) {
    const uint8_t mark = static_cast<uint8_t>(round % 255 + 1);
    const UINT w = 1 + next() % 700, h = 1 + next() % 700;
    IDirect3DTexture9* t = round == 150 ? texture(4096, 2304, 1, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM)
                                        : texture(w, h, next() % 2 ? 0 : 1, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
    ASSERT_NE(t, nullptr);
    fill(t, mark);
    live.push_back({t, mark});
    if (next() % 3 != 0) {  // drop one at random, keeping about a third
      const size_t victim = next() % live.size();
      ASSERT_TRUE(holds(live[victim].texture, live[victim].mark)) << "round " << round;
      live[victim].texture->Release();
      live.erase(live.begin() + static_cast<std::ptrdiff_t>(victim));
    }
  }
  for (const Live& l : live) {
    EXPECT_TRUE(holds(l.texture, l.mark));
    l.texture->Release();
  }
}

TEST_F(NullDevice, UpdateTextureCopiesMatchingLevelsIntoTheDefaultPool) {
  IDirect3DTexture9* staging = texture(16, 16, 0, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM);  // 5 levels
  for (UINT level = 0; level < 5; ++level) {
    D3DLOCKED_RECT locked;
    ASSERT_EQ(staging->LockRect(level, &locked, nullptr, 0), D3D_OK);
    static_cast<uint32_t*>(locked.pBits)[0] = 0xFF000000u + level;
    staging->UnlockRect(level);
  }
  IDirect3DTexture9* target = texture(8, 8, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC);  // 4 levels
  ASSERT_EQ(device->UpdateTexture(staging, target), D3D_OK);
  for (UINT level = 0; level < 4; ++level) {
    D3DLOCKED_RECT locked;
    ASSERT_EQ(target->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<uint32_t*>(locked.pBits)[0], 0xFF000000u + level + 1) << "level " << level;
    target->UnlockRect(level);
  }
  IDirect3DTexture9* wrongFormat = texture(8, 8, 1, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  EXPECT_EQ(device->UpdateTexture(staging, wrongFormat), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->UpdateTexture(target, staging), D3DERR_INVALIDCALL);  // pools the wrong way round
  EXPECT_EQ(device->UpdateTexture(staging, nullptr), D3DERR_INVALIDCALL);
  IDirect3DTexture9* bigger = texture(32, 32, 1, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT);
  EXPECT_EQ(device->UpdateTexture(staging, bigger), D3DERR_INVALIDCALL);
  bigger->Release();
  wrongFormat->Release();
  target->Release();
  staging->Release();
}

TEST_F(NullDevice, BuffersLockWithinTheirLength) {
  IDirect3DVertexBuffer9* vb = nullptr;
  EXPECT_EQ(device->CreateVertexBuffer(0, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateVertexBuffer(8, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb, nullptr), D3DERR_INVALIDCALL);
  ASSERT_EQ(device->CreateVertexBuffer(120, D3DUSAGE_WRITEONLY, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
  D3DVERTEXBUFFER_DESC desc;
  ASSERT_EQ(vb->GetDesc(&desc), D3D_OK);
  EXPECT_EQ(desc.Size, 120u);
  EXPECT_EQ(desc.FVF, static_cast<DWORD>(D3DFVF_XYZ));
  EXPECT_EQ(desc.Type, D3DRTYPE_VERTEXBUFFER);
  void* data = nullptr;
  EXPECT_EQ(vb->Lock(100, 24, &data, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(data, nullptr);
  ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
  std::memset(data, 0, 120);
  void* inner = nullptr;
  ASSERT_EQ(vb->Lock(96, 0, &inner, 0), D3D_OK);  // nested locks are allowed, size 0 runs to the end
  EXPECT_EQ(static_cast<uint8_t*>(inner) - static_cast<uint8_t*>(data), 96);
  EXPECT_EQ(vb->Unlock(), D3D_OK);
  EXPECT_EQ(vb->Unlock(), D3D_OK);
  EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);

  IDirect3DIndexBuffer9* ib = nullptr;
  EXPECT_EQ(device->CreateIndexBuffer(12, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &ib, nullptr), D3DERR_INVALIDCALL);
  ASSERT_EQ(device->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
  D3DINDEXBUFFER_DESC indexDesc;
  ASSERT_EQ(ib->GetDesc(&indexDesc), D3D_OK);
  EXPECT_EQ(indexDesc.Format, D3DFMT_INDEX16);
  ib->Release();
  vb->Release();
}

TEST_F(NullDevice, DrawsAreCheckedButDrawNothing) {
  const float point[3] = {0, 0, 0};
  ASSERT_EQ(device->SetFVF(D3DFVF_XYZ), D3D_OK);
  EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, point, 12), D3DERR_INVALIDCALL);  // outside a scene
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, point, 12), D3D_OK);
  EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, point, 8), D3DERR_INVALIDCALL);  // stride below the vertex
  EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, 0, point, 12), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->DrawPrimitiveUP(static_cast<D3DPRIMITIVETYPE>(9), 1, point, 12), D3DERR_INVALIDCALL);
  // More than MaxPrimitiveCount: 2^31 points would overflow OpenGL's signed vertex count.
  D3DCAPS9 caps{};
  ASSERT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
  EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, caps.MaxPrimitiveCount + 1, point, 12), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, 0x80000000u, point, 12), D3DERR_INVALIDCALL);

  IDirect3DVertexBuffer9* vb = nullptr;
  IDirect3DIndexBuffer9* ib = nullptr;
  ASSERT_EQ(device->CreateVertexBuffer(4 * 12, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
  ASSERT_EQ(device->CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
  uint16_t* indices = nullptr;
  ASSERT_EQ(ib->Lock(0, 0, reinterpret_cast<void**>(&indices), 0), D3D_OK);
  const uint16_t quad[6] = {0, 1, 2, 2, 1, 3};
  std::memcpy(indices, quad, sizeof quad);
  ib->Unlock();
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);  // nothing bound
  ASSERT_EQ(device->SetStreamSource(0, vb, 0, 12), D3D_OK);
  ASSERT_EQ(device->SetIndices(ib), D3D_OK);
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 4, 0, 2), D3DERR_INVALIDCALL);  // index 3 + 1
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 3, 2), D3DERR_INVALIDCALL);  // past the indices
  // Indices rewritten after a draw are checked anew: the same draw now reads past the vertices.
  ASSERT_EQ(ib->Lock(2, 2, reinterpret_cast<void**>(&indices), 0), D3D_OK);
  *indices = 4;
  ib->Unlock();
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);
  ASSERT_EQ(ib->Lock(2, 2, reinterpret_cast<void**>(&indices), 0), D3D_OK);
  *indices = 1;
  ib->Unlock();
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 1, 2), D3DERR_INVALIDCALL);
  // 8 bytes after the stream offset are less than one vertex: not even index 0 may be read.
  ASSERT_EQ(device->SetStreamSource(0, vb, 40, 12), D3D_OK);
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_POINTLIST, 0, 0, 1, 0, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0, 1), D3DERR_INVALIDCALL);
  ASSERT_EQ(device->SetStreamSource(0, vb, 36, 12), D3D_OK);
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_POINTLIST, 0, 0, 1, 0, 1), D3D_OK);
  EXPECT_EQ(device->SetStreamSource(1, vb, 0, 12), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);  // inside the scene
  ASSERT_EQ(device->EndScene(), D3D_OK);
  EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0), D3DERR_INVALIDCALL);  // D16 has no stencil
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 2.0f, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  std::vector<uint32_t> pixels;
  EXPECT_EQ(d3d9ReadBackBuffer(device, pixels, nullptr, nullptr), D3DERR_INVALIDCALL);  // nothing to read
  device->SetStreamSource(0, nullptr, 0, 0);
  device->SetIndices(nullptr);
  ib->Release();
  vb->Release();
}

TEST_F(NullDevice, SurfaceDeviceContextDrawsIntoTheLevel) {
  IDirect3DTexture9* t = texture(16, 8, 1, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC);
  IDirect3DSurface9* surface = nullptr;
  ASSERT_EQ(t->GetSurfaceLevel(0, &surface), D3D_OK);
  HDC dc = nullptr;
  ASSERT_EQ(surface->GetDC(&dc), D3D_OK);
  ASSERT_NE(dc, nullptr);
  HDC second = nullptr;
  EXPECT_EQ(surface->GetDC(&second), D3DERR_INVALIDCALL);
  D3DLOCKED_RECT locked;
  EXPECT_EQ(surface->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
  HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
  RECT rect{4, 2, 8, 4};
  EXPECT_NE(FillRect(dc, &rect, brush), 0);
  DeleteObject(brush);
  EXPECT_EQ(surface->ReleaseDC(reinterpret_cast<HDC>(0x1234)), D3DERR_INVALIDCALL);
  ASSERT_EQ(surface->ReleaseDC(dc), D3D_OK);
  ASSERT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  auto pixel = [&](int x, int y) {
    return reinterpret_cast<const uint16_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch)[x];
  };
  EXPECT_EQ(pixel(4, 2), 0xF800);
  EXPECT_EQ(pixel(7, 3), 0xF800);
  EXPECT_EQ(pixel(8, 3), 0x0000);
  EXPECT_EQ(pixel(4, 4), 0x0000);
  surface->UnlockRect();
  surface->Release();
  t->Release();

  IDirect3DTexture9* alphaOnly = texture(8, 8, 1, D3DFMT_A8, D3DPOOL_MANAGED);
  ASSERT_EQ(alphaOnly->GetSurfaceLevel(0, &surface), D3D_OK);
  EXPECT_EQ(surface->GetDC(&dc), D3DERR_INVALIDCALL);
  surface->Release();
  alphaOnly->Release();
}

TEST_F(NullDevice, CapsTellTheTruthAndCanBeLowered) {
  D3DCAPS9 caps{};
  ASSERT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
  EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_NULLREF);
  EXPECT_EQ(caps.MaxVertexBlendMatrices, 4u);
  EXPECT_EQ(caps.TextureCaps & (D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY), 0u);
  EXPECT_NE(caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP, 0u);
  IDirect3DTexture9* widest = nullptr;
  EXPECT_EQ(device->CreateTexture(caps.MaxTextureWidth, 1, 1, 0, D3DFMT_L8, D3DPOOL_SYSTEMMEM, &widest, nullptr),
            D3D_OK);
  if (widest) widest->Release();
  EXPECT_EQ(device->CreateTexture(caps.MaxTextureWidth + 1, 1, 1, 0, D3DFMT_L8, D3DPOOL_SYSTEMMEM, &widest, nullptr),
            D3DERR_INVALIDCALL);

  d3d9SetCapsOverride([](D3DCAPS9& c) { c.MaxVertexBlendMatrices = 2; });
  ASSERT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
  EXPECT_EQ(caps.MaxVertexBlendMatrices, 2u);
  ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_NULLREF, &caps), D3D_OK);
  EXPECT_EQ(caps.MaxVertexBlendMatrices, 2u);
  d3d9SetCapsOverride({});
  ASSERT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
  EXPECT_EQ(caps.MaxVertexBlendMatrices, 4u);
}

TEST(CreateDevice, RejectsWhatItCannotHonour) {
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(d3d, nullptr);
  D3DPRESENT_PARAMETERS pp{};
  pp.Windowed = TRUE;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  IDirect3DDevice9* device = reinterpret_cast<IDirect3DDevice9*>(1);
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_REF, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(device, nullptr);
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_NULLREF, nullptr, 0, &pp, &device), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_NULLREF, nullptr,
                              D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED, &pp, &device),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d->CreateDevice(1, D3DDEVTYPE_NULLREF, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
            D3DERR_INVALIDCALL);
  // HAL needs a live window of the window layer.
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
            D3DERR_INVALIDCALL);
  pp.Windowed = FALSE;
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_NULLREF, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
            D3DERR_INVALIDCALL);
  pp.Windowed = TRUE;
  pp.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES;
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_NULLREF, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d->Release(), 0u);
}

TEST(SoftwareVertexProcessing, OnlyMixedDevicesSwitch) {
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  D3DPRESENT_PARAMETERS pp{};
  pp.Windowed = TRUE;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  IDirect3DDevice9* software = nullptr;
  ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_NULLREF, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &software),
            D3D_OK);
  EXPECT_EQ(software->SetSoftwareVertexProcessing(TRUE), D3D_OK);
  EXPECT_EQ(software->SetSoftwareVertexProcessing(FALSE), D3DERR_INVALIDCALL);
  EXPECT_TRUE(software->GetSoftwareVertexProcessing());
  software->Release();
  IDirect3DDevice9* mixed = nullptr;
  ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_NULLREF, nullptr, D3DCREATE_MIXED_VERTEXPROCESSING, &pp, &mixed), D3D_OK);
  EXPECT_EQ(mixed->SetSoftwareVertexProcessing(TRUE), D3D_OK);
  EXPECT_TRUE(mixed->GetSoftwareVertexProcessing());
  EXPECT_EQ(mixed->SetSoftwareVertexProcessing(FALSE), D3D_OK);
  EXPECT_FALSE(mixed->GetSoftwareVertexProcessing());
  mixed->Release();
  d3d->Release();
}

}  // namespace
