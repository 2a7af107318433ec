// Filling surfaces from memory and making mip levels from the level above.
#include <cstring>

#include "d3dx9tex.h"
#include "d3dx_com.h"
#include "dxt_codec.h"
#include "pixel_conversion.h"
#include "pixel_format.h"

namespace {

bool validRect(const RECT& r, uint32_t width, uint32_t height) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && static_cast<uint32_t>(r.right) <= width &&
         static_cast<uint32_t>(r.bottom) <= height;
}

// Offset of a rectangle's first pixel in memory; false when the format cannot start there
// (blocks start on multiples of 4, pixel pairs on even columns, bits on whole bytes).
bool rectOffset(const d3dx::PixelFormatInfo& info, const RECT& r, uint32_t pitch, size_t& offset) {
  if (info.encoding == d3dx::PixelEncoding::Blocks) {
    if (r.left % 4 != 0 || r.top % 4 != 0) return false;
    offset = static_cast<size_t>(r.top / 4) * pitch + static_cast<size_t>(r.left / 4) * dxt::blockBytes(info.format);
    return true;
  }
  if (info.encoding == d3dx::PixelEncoding::Pairs && r.left % 2 != 0) return false;
  if (info.encoding == d3dx::PixelEncoding::Bits) {
    if (r.left % 8 != 0) return false;
    offset = static_cast<size_t>(r.top) * pitch + static_cast<size_t>(r.left / 8);
    return true;
  }
  offset = static_cast<size_t>(r.top) * pitch + static_cast<size_t>(r.left) * (info.bitsPerPixel / 8);
  return true;
}

// Whole levels are locked with D3DLOCK_OVERWRITE_LEVEL (no clearing before the conversion
// writes every pixel) when the conversion can write the format at all.
DWORD wholeLevelLock(D3DFORMAT format) {
  const d3dx::PixelFormatInfo* info = d3dx::pixelFormatInfo(format);
  return info != nullptr && info->encoding != d3dx::PixelEncoding::None ? D3DLOCK_OVERWRITE_LEVEL : 0;
}

// A level locked that way holds whatever its memory held before until it is written; when
// the conversion fails it is cleared instead.
void clearLevel(const d3dx::PixelRegion& level, DWORD lockFlags) {
  if (!(lockFlags & D3DLOCK_OVERWRITE_LEVEL)) return;
  const d3dx::PixelFormatInfo& info = *d3dx::pixelFormatInfo(level.format);
  std::memset(level.bits, 0, size_t{level.pitch} * d3dx::formatRows(info, level.height));
}

}  // namespace

extern "C" HRESULT WINAPI D3DXLoadSurfaceFromMemory(LPDIRECT3DSURFACE9 destSurface, const PALETTEENTRY* destPalette,
                                                    const RECT* destRect, LPCVOID srcMemory, D3DFORMAT srcFormat,
                                                    UINT srcPitch, const PALETTEENTRY* srcPalette, const RECT* srcRect,
                                                    DWORD filter, D3DCOLOR colorKey) {
  if (destSurface == nullptr || srcMemory == nullptr || srcRect == nullptr) return D3DERR_INVALIDCALL;
  const d3dx::PixelFormatInfo* srcInfo = d3dx::pixelFormatInfo(srcFormat);
  if (srcInfo == nullptr || !validRect(*srcRect, UINT32_MAX >> 1, UINT32_MAX >> 1)) return D3DERR_INVALIDCALL;
  D3DSURFACE_DESC desc;
  if (const HRESULT hr = destSurface->GetDesc(&desc); FAILED(hr)) return hr;
  const RECT whole{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
  const RECT& dstRect = destRect ? *destRect : whole;
  if (!validRect(dstRect, desc.Width, desc.Height)) return D3DERR_INVALIDCALL;
  size_t srcOffset = 0;
  if (!rectOffset(*srcInfo, *srcRect, srcPitch, srcOffset)) return D3DERR_INVALIDCALL;

  D3DLOCKED_RECT locked;
  const DWORD lockFlags = destRect ? 0 : wholeLevelLock(desc.Format);
  if (const HRESULT hr = destSurface->LockRect(&locked, destRect, lockFlags); FAILED(hr)) return hr;
  d3dx::PixelRegion destination{desc.Format,
                                locked.pBits,
                                static_cast<uint32_t>(locked.Pitch),
                                static_cast<uint32_t>(dstRect.right - dstRect.left),
                                static_cast<uint32_t>(dstRect.bottom - dstRect.top),
                                destPalette};
  d3dx::PixelRegion source{srcFormat,
                           const_cast<uint8_t*>(static_cast<const uint8_t*>(srcMemory)) + srcOffset,
                           srcPitch,
                           static_cast<uint32_t>(srcRect->right - srcRect->left),
                           static_cast<uint32_t>(srcRect->bottom - srcRect->top),
                           srcPalette};
  const HRESULT hr = d3dx::convertPixels(destination, source, filter, colorKey);
  if (FAILED(hr)) clearLevel(destination, lockFlags);
  destSurface->UnlockRect();
  return hr;
}

extern "C" HRESULT WINAPI D3DXFilterTexture(LPDIRECT3DBASETEXTURE9 texture, const PALETTEENTRY* palette, UINT srcLevel,
                                            DWORD filter) {
  if (texture == nullptr) return D3DERR_INVALIDCALL;
  d3dx::ComPtr<IDirect3DTexture9> texture2d;
  if (FAILED(texture->QueryInterface(IID_IDirect3DTexture9, reinterpret_cast<void**>(texture2d.receive()))))
    return D3DERR_INVALIDCALL;
  if (srcLevel == D3DX_DEFAULT) srcLevel = 0;
  if (filter == D3DX_DEFAULT) filter = D3DX_FILTER_BOX;
  const DWORD levels = texture2d->GetLevelCount();
  if (srcLevel >= levels) return D3DERR_INVALIDCALL;
  for (UINT level = srcLevel + 1; level < levels; ++level) {
    D3DSURFACE_DESC above, below;
    texture2d->GetLevelDesc(level - 1, &above);
    texture2d->GetLevelDesc(level, &below);
    D3DLOCKED_RECT src, dst;
    if (const HRESULT hr = texture2d->LockRect(level - 1, &src, nullptr, D3DLOCK_READONLY); FAILED(hr)) return hr;
    const DWORD lockFlags = wholeLevelLock(below.Format);
    if (const HRESULT hr = texture2d->LockRect(level, &dst, nullptr, lockFlags); FAILED(hr)) {
      texture2d->UnlockRect(level - 1);
      return hr;
    }
    const d3dx::PixelRegion source{above.Format, src.pBits,    static_cast<uint32_t>(src.Pitch),
                                   above.Width,  above.Height, palette};
    const d3dx::PixelRegion destination{below.Format, dst.pBits,    static_cast<uint32_t>(dst.Pitch),
                                        below.Width,  below.Height, palette};
    const HRESULT hr = d3dx::convertPixels(destination, source, filter, 0);
    if (FAILED(hr)) clearLevel(destination, lockFlags);
    texture2d->UnlockRect(level);
    texture2d->UnlockRect(level - 1);
    if (FAILED(hr)) return hr;
  }
  return D3D_OK;
}
