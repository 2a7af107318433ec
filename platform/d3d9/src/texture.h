// 2D textures and their level surfaces. Every level lives in memory (what LockRect, GetDC
// and UpdateTexture work on); a HAL device's texture also has an OpenGL texture that gets
// each level after it is unlocked.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "device_child.h"
#include "format.h"
#include "level_memory.h"

namespace d3d9 {

class Texture;

// A level of a texture. It has no count of its own: its references are the texture's.
class Surface final : public ResourceDefaults<IDirect3DSurface9> {
 public:
  Surface(Texture* texture, uint32_t level) : m_texture(texture), m_level(level) {}
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  ~Surface();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override;
  D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_SURFACE; }
  HRESULT STDMETHODCALLTYPE GetContainer(REFIID riid, void** container) override;
  HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* desc) override;
  HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE UnlockRect() override;
  HRESULT STDMETHODCALLTYPE GetDC(HDC* dc) override;
  HRESULT STDMETHODCALLTYPE ReleaseDC(HDC dc) override;

 private:
  Texture* m_texture;
  uint32_t m_level;
  HDC m_dc = nullptr;
};

class Texture final : public DeviceChild<IDirect3DTexture9> {
 public:
  // Checks the arguments as CreateTexture does; D3D_OK and the texture, or the error.
  static HRESULT create(Device* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, Texture** texture);
  ~Texture() override;

  D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_TEXTURE; }
  DWORD STDMETHODCALLTYPE SetLOD(DWORD) override { return 0; }
  DWORD STDMETHODCALLTYPE GetLOD() override { return 0; }
  DWORD STDMETHODCALLTYPE GetLevelCount() override { return static_cast<DWORD>(m_levels.size()); }
  HRESULT STDMETHODCALLTYPE SetAutoGenFilterType(D3DTEXTUREFILTERTYPE) override { return D3DERR_INVALIDCALL; }
  D3DTEXTUREFILTERTYPE STDMETHODCALLTYPE GetAutoGenFilterType() override { return D3DTEXF_NONE; }
  void STDMETHODCALLTYPE GenerateMipSubLevels() override {}
  HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
  HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
  HRESULT STDMETHODCALLTYPE LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE UnlockRect(UINT level) override;
  HRESULT STDMETHODCALLTYPE AddDirtyRect(const RECT*) override { return D3D_OK; }

  // A level's memory copy lies in the texture's one block. It is cleared lazily: `defined`
  // turns true once every byte holds zero or what the program wrote, and nothing reads or
  // hands out the bytes before that.
  struct Level {
    uint32_t width = 0;
    uint32_t height = 0;
    size_t pitch = 0;
    size_t size = 0;
    uint8_t* bytes = nullptr;
    bool defined = false;
    bool locked = false;
    bool lockedReadOnly = false;
    std::unique_ptr<Surface> surface;
  };

  const TextureFormatInfo& formatInfo() const { return *m_format; }
  D3DPOOL pool() const { return m_pool; }
  DWORD usage() const { return m_usage; }
  uint32_t levelCount() const { return static_cast<uint32_t>(m_levels.size()); }
  Level& level(uint32_t index) { return m_levels[index]; }
  // The level's bytes, cleared first if nothing was written yet.
  uint8_t* definedBytes(uint32_t index);
  // The OpenGL texture name (0 on a NULLREF device or in system memory).
  uint32_t glName() const { return m_glName; }
  // Hands one level's memory copy to OpenGL, if the texture has an OpenGL side.
  void uploadLevel(uint32_t index);
  // Checks the lock rules and locks a level's memory copy.
  HRESULT lockLevel(uint32_t index, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags);
  HRESULT unlockLevel(uint32_t index);

 protected:
  void* interfaceFor(REFIID riid) override;

 private:
  Texture(Device* device, const TextureFormatInfo& format, DWORD usage, D3DPOOL pool);

  const TextureFormatInfo* m_format;
  DWORD m_usage;
  D3DPOOL m_pool;
  std::vector<Level> m_levels;
  LevelMemory::Block m_memory;  // every level's bytes
  uint32_t m_glName = 0;
};

}  // namespace d3d9
