#include "texture.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "gl_renderer.h"
#include "log.h"
#include "win32_layer.h"

namespace d3d9 {

namespace {

constexpr DWORD kTextureUsages = D3DUSAGE_DYNAMIC | D3DUSAGE_AUTOGENMIPMAP | D3DUSAGE_RENDERTARGET |
                                 D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_DMAP | D3DUSAGE_SOFTWAREPROCESSING;

}  // namespace

// ---- Texture ---------------------------------------------------------------------------

Texture::Texture(Device* device, const TextureFormatInfo& format, DWORD usage, D3DPOOL pool)
    : DeviceChild(device), m_format(&format), m_usage(usage), m_pool(pool) {}

Texture::~Texture() {
  if (m_glName != 0 && device()->renderer() != nullptr) {
    device()->makeCurrent();
    device()->renderer()->deleteTexture(m_glName);
  }
}

HRESULT Texture::create(Device* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, Texture** texture) {
  initReturnPtr(texture);
  if (texture == nullptr || width == 0 || height == 0) return D3DERR_INVALIDCALL;
  if ((usage & ~kTextureUsages) != 0) return D3DERR_INVALIDCALL;
  // Render-target, depth, displacement and automatically mip-mapped textures are not made here.
  if ((usage & ~(D3DUSAGE_DYNAMIC | D3DUSAGE_SOFTWAREPROCESSING)) != 0) {
    logOnce("CreateTexture: usage 0x%x is not supported", static_cast<unsigned>(usage));
    return D3DERR_INVALIDCALL;
  }
  if (pool != D3DPOOL_DEFAULT && pool != D3DPOOL_MANAGED && pool != D3DPOOL_SYSTEMMEM && pool != D3DPOOL_SCRATCH)
    return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
  const TextureFormatInfo* info = textureFormatInfo(format);
  if (info == nullptr) return D3DERR_INVALIDCALL;
  // Compressed textures are made of whole blocks.
  if (info->compressed && ((width % 4) != 0 || (height % 4) != 0)) return D3DERR_INVALIDCALL;

  GlRenderer* renderer = device->renderer();
  const bool onGpu = renderer != nullptr && (pool == D3DPOOL_DEFAULT || pool == D3DPOOL_MANAGED);
  if (onGpu && (width > renderer->limits().maxTextureSize || height > renderer->limits().maxTextureSize))
    return D3DERR_INVALIDCALL;
  if (width > 16384 || height > 16384) return D3DERR_INVALIDCALL;  // also bounds the memory copy

  const uint32_t fullChain = fullChainLevels(width, height);
  if (levels == 0) levels = fullChain;
  if (levels > fullChain) return D3DERR_INVALIDCALL;

  Texture* result = nullptr;
  try {
    result = new Texture(device, *info, usage, pool);
    result->AddRef();
    result->m_levels.resize(levels);
    size_t total = 0;
    for (uint32_t i = 0; i < levels; ++i) {
      Level& level = result->m_levels[i];
      level.width = std::max<uint32_t>(1, width >> i);
      level.height = std::max<uint32_t>(1, height >> i);
      level.pitch = levelPitch(*info, level.width);
      level.size = level.pitch * levelRows(*info, level.height);
      total += level.size;
      level.surface = std::make_unique<Surface>(result, i);
    }
    // Not cleared here: a loader that fills whole levels writes each byte once, and a level
    // locked before it was written is cleared then.
    result->m_memory = device->levelMemory().take(total);
    uint8_t* next = result->m_memory.get();
    for (Level& level : result->m_levels) {
      level.bytes = next;
      next += level.size;
    }
  } catch (const std::bad_alloc&) {
    if (result) result->Release();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  if (onGpu) {
    device->makeCurrent();
    result->m_glName = renderer->createTexture(*info, levels);
    for (uint32_t i = 0; i < levels; ++i) result->uploadLevel(i);
  }
  *texture = result;
  return D3D_OK;
}

void* Texture::interfaceFor(REFIID riid) {
  if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 || riid == IID_IDirect3DBaseTexture9 ||
      riid == IID_IDirect3DTexture9)
    return static_cast<IDirect3DTexture9*>(this);
  return nullptr;
}

HRESULT Texture::GetLevelDesc(UINT index, D3DSURFACE_DESC* desc) {
  if (desc == nullptr || index >= m_levels.size()) return D3DERR_INVALIDCALL;
  *desc = D3DSURFACE_DESC{m_format->format,      D3DRTYPE_SURFACE,      m_usage, m_pool, D3DMULTISAMPLE_NONE, 0,
                          m_levels[index].width, m_levels[index].height};
  return D3D_OK;
}

HRESULT Texture::GetSurfaceLevel(UINT index, IDirect3DSurface9** surface) {
  initReturnPtr(surface);
  if (surface == nullptr || index >= m_levels.size()) return D3DERR_INVALIDCALL;
  AddRef();
  *surface = m_levels[index].surface.get();
  return D3D_OK;
}

HRESULT Texture::LockRect(UINT index, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
  return lockLevel(index, lockedRect, rect, flags);
}

HRESULT Texture::UnlockRect(UINT index) { return unlockLevel(index); }

HRESULT Texture::lockLevel(uint32_t index, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
  if (lockedRect == nullptr) return D3DERR_INVALIDCALL;
  *lockedRect = D3DLOCKED_RECT{0, nullptr};
  if (index >= m_levels.size()) return D3DERR_INVALIDCALL;
  // A default-pool texture lives on the device; only dynamic ones may be locked.
  if (m_pool == D3DPOOL_DEFAULT && !(m_usage & D3DUSAGE_DYNAMIC)) return D3DERR_INVALIDCALL;
  if ((flags & D3DLOCK_DISCARD) && !(m_usage & D3DUSAGE_DYNAMIC)) return D3DERR_INVALIDCALL;
  Level& level = m_levels[index];
  if (level.locked || level.surface == nullptr) return D3DERR_INVALIDCALL;
  size_t offset = 0;
  if (rect != nullptr) {
    if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
        static_cast<uint32_t>(rect->right) > level.width || static_cast<uint32_t>(rect->bottom) > level.height)
      return D3DERR_INVALIDCALL;
    if (m_format->compressed) {
      if ((rect->left % 4) != 0 || (rect->top % 4) != 0) return D3DERR_INVALIDCALL;
      offset =
          static_cast<size_t>(rect->top / 4) * level.pitch + static_cast<size_t>(rect->left / 4) * m_format->blockBytes;
    } else {
      offset = static_cast<size_t>(rect->top) * level.pitch + static_cast<size_t>(rect->left) * m_format->blockBytes;
    }
  }
  level.locked = true;
  level.lockedReadOnly = (flags & D3DLOCK_READONLY) != 0;
  if (rect == nullptr && !level.lockedReadOnly && (flags & D3DLOCK_OVERWRITE_LEVEL)) level.defined = true;
  lockedRect->Pitch = static_cast<INT>(level.pitch);
  lockedRect->pBits = definedBytes(index) + offset;
  return D3D_OK;
}

HRESULT Texture::unlockLevel(uint32_t index) {
  if (index >= m_levels.size() || !m_levels[index].locked) return D3DERR_INVALIDCALL;
  Level& level = m_levels[index];
  level.locked = false;
  if (!level.lockedReadOnly) uploadLevel(index);
  return D3D_OK;
}

uint8_t* Texture::definedBytes(uint32_t index) {
  Level& level = m_levels[index];
  if (!level.defined) {
    std::memset(level.bytes, 0, level.size);
    level.defined = true;
  }
  return level.bytes;
}

void Texture::uploadLevel(uint32_t index) {
  if (m_glName == 0) return;
  GlRenderer* renderer = device()->renderer();
  device()->makeCurrent();
  const Level& level = m_levels[index];
  renderer->uploadTextureLevel(m_glName, *m_format, index, level.width, level.height, definedBytes(index));
}

// ---- Surface ---------------------------------------------------------------------------

Surface::~Surface() {
  if (m_dc != nullptr) win32DeleteMemoryDC(m_dc);
}

HRESULT Surface::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 || riid == IID_IDirect3DSurface9) {
    AddRef();
    *object = static_cast<IDirect3DSurface9*>(this);
    return S_OK;
  }
  return E_NOINTERFACE;
}

ULONG Surface::AddRef() { return m_texture->AddRef(); }
ULONG Surface::Release() { return m_texture->Release(); }

HRESULT Surface::GetDevice(IDirect3DDevice9** device) { return m_texture->GetDevice(device); }

HRESULT Surface::GetContainer(REFIID riid, void** container) {
  if (container == nullptr) return D3DERR_INVALIDCALL;
  return m_texture->QueryInterface(riid, container);
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* desc) { return m_texture->GetLevelDesc(m_level, desc); }

HRESULT Surface::LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
  if (m_dc != nullptr) return D3DERR_INVALIDCALL;
  return m_texture->lockLevel(m_level, lockedRect, rect, flags);
}

HRESULT Surface::UnlockRect() {
  if (m_dc != nullptr) return D3DERR_INVALIDCALL;
  return m_texture->unlockLevel(m_level);
}

HRESULT Surface::GetDC(HDC* dc) {
  if (dc == nullptr) return D3DERR_INVALIDCALL;
  *dc = nullptr;
  MemoryDcFormat dcFormat;
  switch (m_texture->formatInfo().format) {
    case D3DFMT_R5G6B5:
      dcFormat = MemoryDcFormat::R5G6B5;
      break;
    case D3DFMT_X8R8G8B8:
      dcFormat = MemoryDcFormat::X8R8G8B8;
      break;
    case D3DFMT_A8R8G8B8:
      dcFormat = MemoryDcFormat::A8R8G8B8;
      break;
    default:
      return D3DERR_INVALIDCALL;
  }
  // Drawing through GDI is a lock: the same rules hold, and only one at a time.
  D3DLOCKED_RECT locked;
  if (const HRESULT hr = m_texture->lockLevel(m_level, &locked, nullptr, 0); FAILED(hr)) return hr;
  Texture::Level& level = m_texture->level(m_level);
  HDC memoryDc = win32CreateMemoryDC(locked.pBits, static_cast<int>(level.width), static_cast<int>(level.height),
                                     locked.Pitch, dcFormat);
  if (memoryDc == nullptr) {
    level.lockedReadOnly = true;  // nothing was drawn: no upload
    m_texture->unlockLevel(m_level);
    return D3DERR_INVALIDCALL;
  }
  m_dc = memoryDc;
  *dc = memoryDc;
  return D3D_OK;
}

HRESULT Surface::ReleaseDC(HDC dc) {
  if (dc == nullptr || dc != m_dc) return D3DERR_INVALIDCALL;
  win32DeleteMemoryDC(m_dc);
  m_dc = nullptr;
  return m_texture->unlockLevel(m_level);
}

}  // namespace d3d9
