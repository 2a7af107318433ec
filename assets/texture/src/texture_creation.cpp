// Textures from pictures: the requirement check and device format choice, creation from a
// file in memory, and lookup among the module's resources.
#include <algorithm>
#include <cstring>

#include "d3dx9tex.h"
#include "d3dx_com.h"
#include "image_decoder.h"
#include "pixel_format.h"

namespace {

using d3dx::ComPtr;
using d3dx::FormatKind;
using d3dx::PixelFormatInfo;

constexpr DWORD kQueryUsages = 0x1F8000;  // D3DUSAGE_QUERY_*: bits 15 to 20
constexpr DWORD kTextureUsages = D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_SOFTWAREPROCESSING |
                                 D3DUSAGE_DYNAMIC | D3DUSAGE_AUTOGENMIPMAP | D3DUSAGE_DMAP | kQueryUsages;

// ---- debug-runtime mute ----------------------------------------------------------------

bool readDoNotMute() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Direct3D", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  DWORD value = 0, type = 0, size = sizeof value;
  const bool set = RegQueryValueExA(key, "D3DXDoNotMute", nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size) ==
                       ERROR_SUCCESS &&
                   type == REG_DWORD && value != 0;
  RegCloseKey(key);
  return set;
}

// Keeps the Direct3D debug runtime quiet while formats are probed: the probing asks for
// formats that may not exist, which it would otherwise report as errors.
void setDebugMute(BOOL mute) {
  static const bool doNotMute = readDoNotMute();
  if (doNotMute) return;
  for (const char* name : {"d3d9.dll", "d3d9d.dll"}) {
    HMODULE module = GetModuleHandleA(name);
    if (module == nullptr) continue;
    using DebugSetMute = void(WINAPI*)(BOOL);
    if (FARPROC proc = GetProcAddress(module, "DebugSetMute"))
      reinterpret_cast<DebugSetMute>(reinterpret_cast<void (*)()>(proc))(mute);
  }
}

// ---- format choice ---------------------------------------------------------------------

struct Channels {
  uint32_t bits[5];  // extra, alpha, red, green, blue
};

Channels channelsOf(const PixelFormatInfo& info) {
  return {{info.extra.bits, info.alpha.bits, info.red.bits, info.green.bits, info.blue.bits}};
}

// The cost of standing in `candidate` for `request`; false when it lacks every channel the
// request has.
bool substitutionCost(const Channels& request, const Channels& candidate, uint64_t& cost) {
  cost = 0;
  bool sharesAny = false, requestHasAny = false;
  for (int c = 0; c < 5; ++c) {
    const uint32_t want = request.bits[c], have = candidate.bits[c];
    requestHasAny |= want > 0;
    sharesAny |= want > 0 && have > 0;
    if (have > want) cost += have - want;
    if (want == 0 && have > 0) cost += 256;
    if (have < want) cost += uint64_t{65536} * (want - have);
    if (want > 0 && have == 0) cost += 16777216;
  }
  return sharesAny || !requestHasAny;
}

bool kindMayStandIn(FormatKind request, FormatKind candidate) {
  if (request == candidate) return true;
  return candidate == FormatKind::Colour && (request == FormatKind::Palette || request == FormatKind::Luminance);
}

// Walks the table; `supported` says whether the device can make a format. The request wins
// at once when supported; otherwise the cheapest substitute, ties going to fewer bits.
template <typename Supported>
D3DFORMAT chooseFormat(const Channels& request, FormatKind kind, D3DFORMAT requested, Supported supported) {
  D3DFORMAT best = D3DFMT_UNKNOWN;
  uint64_t bestCost = UINT64_MAX;
  uint32_t bestBits = UINT32_MAX;
  for (const PixelFormatInfo& info : d3dx::pixelFormatTable()) {
    if (!supported(info.format)) continue;
    if (info.format == requested) return requested;
    if (!info.substitute || !kindMayStandIn(kind, info.kind)) continue;
    uint64_t cost;
    if (!substitutionCost(request, channelsOf(info), cost)) continue;
    if (cost < bestCost || (cost == bestCost && info.bitsPerPixel < bestBits)) {
      best = info.format;
      bestCost = cost;
      bestBits = info.bitsPerPixel;
    }
  }
  return best;
}

HRESULT chooseDeviceFormat(IDirect3DDevice9* device, DWORD usage, D3DFORMAT requested, D3DFORMAT& chosen) {
  const PixelFormatInfo* info = d3dx::pixelFormatInfo(requested == D3DFMT_UNKNOWN ? D3DFMT_A8R8G8B8 : requested);
  if (info == nullptr) return D3DERR_INVALIDCALL;
  ComPtr<IDirect3D9> d3d;
  D3DDEVICE_CREATION_PARAMETERS creation;
  D3DDISPLAYMODE mode;
  if (FAILED(device->GetDirect3D(d3d.receive())) || FAILED(device->GetCreationParameters(&creation)) ||
      FAILED(device->GetDisplayMode(0, &mode)))
    return D3DERR_NOTAVAILABLE;
  setDebugMute(TRUE);
  chosen = chooseFormat(channelsOf(*info), info->kind, info->format, [&](D3DFORMAT format) {
    return SUCCEEDED(d3d->CheckDeviceFormat(creation.AdapterOrdinal, creation.DeviceType, mode.Format, usage,
                                            D3DRTYPE_TEXTURE, format));
  });
  setDebugMute(FALSE);
  return chosen == D3DFMT_UNKNOWN ? D3DERR_NOTAVAILABLE : D3D_OK;
}

// The table format closest to `format` with a one-bit alpha channel added.
D3DFORMAT withAlphaChannel(const PixelFormatInfo& info) {
  Channels request = channelsOf(info);
  request.bits[1] = 1;
  return chooseFormat(request, info.kind, D3DFMT_UNKNOWN, [](D3DFORMAT) { return true; });
}

bool isPowerOfTwo(UINT v) { return (v & (v - 1)) == 0; }
UINT nextPowerOfTwo(UINT v) {
  UINT p = 1;
  while (p < v && p < 0x80000000u) p <<= 1;
  return p;
}

}  // namespace

extern "C" HRESULT WINAPI D3DXCheckTextureRequirements(LPDIRECT3DDEVICE9 device, UINT* width, UINT* height,
                                                       UINT* mipLevels, DWORD usage, D3DFORMAT* format, D3DPOOL pool) {
  if (device == nullptr) return D3DERR_INVALIDCALL;
  if (usage == D3DX_DEFAULT) usage = 0;
  if ((usage & ~kTextureUsages) != 0) return D3DERR_INVALIDCALL;
  if (pool != D3DPOOL_DEFAULT && pool != D3DPOOL_MANAGED && pool != D3DPOOL_SYSTEMMEM && pool != D3DPOOL_SCRATCH)
    return D3DERR_INVALIDCALL;
  D3DCAPS9 caps;
  if (const HRESULT hr = device->GetDeviceCaps(&caps); FAILED(hr)) return hr;

  D3DFORMAT chosen = format ? *format : D3DFMT_UNKNOWN;
  if (pool != D3DPOOL_SCRATCH) {
    if (const HRESULT hr = chooseDeviceFormat(device, usage, chosen, chosen); FAILED(hr)) return hr;
  } else if (chosen == D3DFMT_UNKNOWN) {
    chosen = D3DFMT_A8R8G8B8;
  }
  const PixelFormatInfo* info = d3dx::pixelFormatInfo(chosen);
  const bool dxt = info != nullptr && info->encoding == d3dx::PixelEncoding::Blocks;

  auto given = [](const UINT* v) { return v != nullptr && *v != D3DX_DEFAULT; };
  UINT w = given(width) ? *width : 0, h = given(height) ? *height : 0;
  if (!given(width) && !given(height))
    w = h = 256;
  else if (!given(width))
    w = h;
  else if (!given(height))
    h = w;
  w = std::max<UINT>(w, 1);
  h = std::max<UINT>(h, 1);
  if (caps.MaxTextureWidth) w = std::min<UINT>(w, caps.MaxTextureWidth);
  if (caps.MaxTextureHeight) h = std::min<UINT>(h, caps.MaxTextureHeight);
  const UINT ratio = (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) ? 1 : caps.MaxTextureAspectRatio;
  if (ratio != 0) {
    if (w > h * ratio) h = (w + ratio - 1) / ratio;
    if (h > w * ratio) w = (h + ratio - 1) / ratio;
  }
  const UINT requestedLevels = mipLevels && *mipLevels != D3DX_DEFAULT ? *mipLevels : 0;
  const bool conditional = (caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) != 0;
  if ((caps.TextureCaps & D3DPTEXTURECAPS_POW2) && !(conditional && requestedLevels == 1 && !dxt)) {
    w = nextPowerOfTwo(w);
    h = nextPowerOfTwo(h);
  }
  if (dxt) {
    w = (w + 3) & ~3u;
    h = (h + 3) & ~3u;
  }

  UINT levels = 1;
  if ((caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP) && !(conditional && (!isPowerOfTwo(w) || !isPowerOfTwo(h)))) {
    for (UINT size = std::max(w, h); size > 1; size >>= 1) ++levels;
    if (requestedLevels != 0) levels = std::min(levels, requestedLevels);
  }
  if ((usage & D3DUSAGE_AUTOGENMIPMAP) && levels > 1) levels = 0;

  if (width) *width = w;
  if (height) *height = h;
  if (mipLevels) *mipLevels = levels;
  if (format) *format = chosen;
  return D3D_OK;
}

namespace {

bool isFilterValid(DWORD filter) {
  const DWORD kind = filter & 0xFF;
  return kind >= D3DX_FILTER_NONE && kind <= D3DX_FILTER_BOX &&
         (filter & ~DWORD{0xFF | D3DX_FILTER_MIRROR | D3DX_FILTER_DITHER}) == 0;
}

UINT settleSize(UINT requested, UINT pictureSize) {
  if (requested == D3DX_DEFAULT_NONPOW2 || requested == D3DX_FROM_FILE) return pictureSize;
  if (requested == 0 || requested == D3DX_DEFAULT) return nextPowerOfTwo(pictureSize);
  return requested;
}

bool isGreyRamp(const std::vector<PALETTEENTRY>& palette) {
  for (uint32_t i = 0; i < 256; ++i)
    if (palette[i].peRed != i || palette[i].peGreen != i || palette[i].peBlue != i || palette[i].peFlags != 255)
      return false;
  return true;
}

bool isColourCube332(const std::vector<PALETTEENTRY>& palette) {
  static constexpr uint8_t kThreeBits[8] = {0, 36, 73, 109, 146, 182, 219, 255};
  static constexpr uint8_t kTwoBits[4] = {0, 85, 170, 255};
  for (uint32_t i = 0; i < 256; ++i)
    if (palette[i].peRed != kThreeBits[i >> 5] || palette[i].peGreen != kThreeBits[(i >> 2) & 7] ||
        palette[i].peBlue != kTwoBits[i & 3] || palette[i].peFlags != 255)
      return false;
  return true;
}

// Loads one picture level into a texture level.
HRESULT loadLevel(IDirect3DTexture9* texture, UINT level, const d3dx::DecodedImage& picture,
                  const PALETTEENTRY* palette, DWORD filter, D3DCOLOR colorKey) {
  ComPtr<IDirect3DSurface9> surface;
  if (const HRESULT hr = texture->GetSurfaceLevel(level, surface.receive()); FAILED(hr)) return hr;
  return D3DXLoadSurfaceFromMemory(surface.get(), palette, nullptr, picture.pixels, picture.format, picture.pitch,
                                   palette, &picture.sourceRect, filter, colorKey);
}

}  // namespace

extern "C" HRESULT WINAPI D3DXCreateTextureFromFileInMemoryEx(LPDIRECT3DDEVICE9 device, LPCVOID srcData,
                                                              UINT srcDataSize, UINT width, UINT height, UINT mipLevels,
                                                              DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                                              DWORD mipFilter, D3DCOLOR colorKey,
                                                              D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                                              LPDIRECT3DTEXTURE9* texture) {
  if (device == nullptr || srcData == nullptr || srcDataSize == 0 || texture == nullptr) return D3DERR_INVALIDCALL;

  d3dx::DecodedImage picture;
  D3DXIMAGE_INFO info;
  if (const HRESULT hr = d3dx::decodeImage(srcData, srcDataSize, true, &info, picture); FAILED(hr)) return hr;
  // A 2D texture takes the first face (and the first slice) of cube and volume files; a
  // cube map that lacks faces is refused all the same.
  if (picture.resourceType == D3DRTYPE_CUBETEXTURE) {
    int faces = 0;
    for (const d3dx::DecodedImage* face = &picture; face != nullptr; face = face->nextFace.get()) ++faces;
    if (faces != 6) return E_FAIL;
  }
  const UINT pictureLevels = picture.levelCount();

  const UINT w = settleSize(width, info.Width), h = settleSize(height, info.Height);
  UINT levels = mipLevels == D3DX_FROM_FILE ? pictureLevels : mipLevels;

  if (filter == D3DX_DEFAULT) filter = D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER;
  if (mipFilter == D3DX_DEFAULT) mipFilter = D3DX_FILTER_BOX;
  if (!isFilterValid(filter) || !isFilterValid(mipFilter)) return D3DERR_INVALIDCALL;
  const DWORD mipKind = mipFilter & 0xFF;
  const bool generateByFiltering =
      (filter & 0xFF) == D3DX_FILTER_NONE || mipKind == D3DX_FILTER_POINT || mipKind == D3DX_FILTER_BOX;

  // Palette and colour key: keyed entries become transparent black, and some palettes are
  // really luminance or 3-3-2 colour.
  D3DFORMAT pictureFormat = picture.format;
  std::vector<PALETTEENTRY> pictureColours = picture.palette;
  if (!pictureColours.empty()) {
    if (colorKey != 0) {
      for (PALETTEENTRY& e : pictureColours)
        if (e.peRed == ((colorKey >> 16) & 255) && e.peGreen == ((colorKey >> 8) & 255) &&
            e.peBlue == (colorKey & 255) && e.peFlags == colorKey >> 24)
          e = PALETTEENTRY{0, 0, 0, 0};
      colorKey = 0;
    }
    if (pictureFormat == D3DFMT_P8 && isGreyRamp(pictureColours)) pictureFormat = D3DFMT_L8;
    if (pictureFormat == D3DFMT_P8 && isColourCube332(pictureColours)) pictureFormat = D3DFMT_R3G3B2;
  } else {
    pictureColours.assign(256, PALETTEENTRY{255, 255, 255, 255});
  }
  for (d3dx::DecodedImage* level = &picture; level != nullptr; level = level->nextLevel.get())
    level->format = pictureFormat;

  D3DFORMAT textureFormat = format;
  if (format == D3DFMT_UNKNOWN || format == D3DFMT_FROM_FILE) {
    const PixelFormatInfo* pictureInfo = d3dx::pixelFormatInfo(pictureFormat);
    if (pictureInfo == nullptr) return D3DXERR_INVALIDDATA;
    if (format == D3DFMT_FROM_FILE && pictureInfo->kind == FormatKind::Palette) return D3DERR_INVALIDCALL;
    textureFormat = pictureFormat;
    if (colorKey != 0 && pictureInfo->alpha.bits == 0 &&
        (pictureInfo->kind == FormatKind::Colour || pictureInfo->kind == FormatKind::Palette ||
         pictureInfo->kind == FormatKind::Luminance))
      textureFormat = withAlphaChannel(*pictureInfo);
    if (textureFormat == D3DFMT_R8G8B8 && pool != D3DPOOL_SCRATCH) textureFormat = D3DFMT_X8R8G8B8;
    if (textureFormat == D3DFMT_A8P8) textureFormat = D3DFMT_A8R8G8B8;
    if (textureFormat == D3DFMT_P8) {
      const bool translucent = std::any_of(pictureColours.begin(), pictureColours.end(),
                                           [](const PALETTEENTRY& e) { return e.peFlags < 255; });
      textureFormat = translucent ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    }
  }

  UINT settledWidth = w, settledHeight = h, settledLevels = levels;
  D3DFORMAT settledFormat = textureFormat;
  if (const HRESULT hr = D3DXCheckTextureRequirements(device, &settledWidth, &settledHeight, &settledLevels, usage,
                                                      &settledFormat, pool);
      FAILED(hr))
    return hr;
  if ((width == D3DX_FROM_FILE && settledWidth != w) || (height == D3DX_FROM_FILE && settledHeight != h) ||
      (mipLevels == D3DX_FROM_FILE && settledLevels != levels) ||
      (format == D3DFMT_FROM_FILE && settledFormat != textureFormat))
    return D3DERR_NOTAVAILABLE;

  const DWORD createUsage = usage == D3DX_DEFAULT ? 0 : usage & ~kQueryUsages;
  ComPtr<IDirect3DTexture9> result;
  if (const HRESULT hr = device->CreateTexture(settledWidth, settledHeight, settledLevels, createUsage, settledFormat,
                                               pool, result.receive(), nullptr);
      FAILED(hr))
    return hr;
  // Default-pool textures that cannot be locked are filled through a system-memory copy.
  const bool staged = pool == D3DPOOL_DEFAULT && !(createUsage & D3DUSAGE_DYNAMIC);
  ComPtr<IDirect3DTexture9> fill = result;
  if (staged) {
    if (const HRESULT hr = device->CreateTexture(settledWidth, settledHeight, result->GetLevelCount(), 0, settledFormat,
                                                 D3DPOOL_SYSTEMMEM, fill.receive(), nullptr);
        FAILED(hr))
      return hr;
  }

  const UINT textureLevels = fill->GetLevelCount();
  UINT loaded = 0;
  const d3dx::DecodedImage* level = &picture;
  for (; level != nullptr && loaded < textureLevels; level = level->nextLevel.get(), ++loaded)
    if (const HRESULT hr = loadLevel(fill.get(), loaded, *level, pictureColours.data(), filter, colorKey); FAILED(hr))
      return hr;
  const d3dx::DecodedImage* last = &picture;
  while (last->nextLevel && last->nextLevel.get() != level) last = last->nextLevel.get();
  if (loaded < textureLevels) {
    if (generateByFiltering) {
      if (const HRESULT hr = D3DXFilterTexture(fill.get(), pictureColours.data(), loaded - 1, mipFilter); FAILED(hr))
        return hr;
    } else {
      for (; loaded < textureLevels; ++loaded)
        if (const HRESULT hr = loadLevel(fill.get(), loaded, *last, pictureColours.data(), mipFilter, colorKey);
            FAILED(hr))
          return hr;
    }
  }
  if (staged) {
    if (const HRESULT hr = device->UpdateTexture(fill.get(), result.get()); FAILED(hr)) return hr;
  }
  if (srcInfo != nullptr) *srcInfo = info;
  if (palette != nullptr) std::copy(pictureColours.begin(), pictureColours.end(), palette);
  *texture = result.detach();
  return D3D_OK;
}

extern "C" HRESULT WINAPI D3DXCreateTextureFromResourceExA(LPDIRECT3DDEVICE9 device, HMODULE srcModule,
                                                           LPCSTR srcResource, UINT width, UINT height, UINT mipLevels,
                                                           DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                                           DWORD mipFilter, D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                                           PALETTEENTRY* palette, LPDIRECT3DTEXTURE9* texture) {
  HRSRC resource = FindResourceA(srcModule, srcResource, MAKEINTRESOURCEA(2));  // RT_BITMAP
  if (resource == nullptr) resource = FindResourceA(srcModule, srcResource, RT_RCDATA);
  if (resource == nullptr) return D3DXERR_INVALIDDATA;
  const DWORD size = SizeofResource(srcModule, resource);
  HGLOBAL loaded = size != 0 ? LoadResource(srcModule, resource) : nullptr;
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return D3DXERR_INVALIDDATA;
  // The bytes stay in the module image: nothing to free afterwards.
  return D3DXCreateTextureFromFileInMemoryEx(device, bytes, size, width, height, mipLevels, usage, format, pool, filter,
                                             mipFilter, colorKey, srcInfo, palette, texture);
}

extern "C" HRESULT WINAPI D3DXCreateTextureFromResourceA(LPDIRECT3DDEVICE9 device, HMODULE srcModule,
                                                         LPCSTR srcResource, LPDIRECT3DTEXTURE9* texture) {
  return D3DXCreateTextureFromResourceExA(device, srcModule, srcResource, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                          D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                          nullptr, texture);
}
