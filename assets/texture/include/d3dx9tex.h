// Texture loading: pictures from memory or from the program's resources become mip-mapped
// Direct3D 9 textures; surfaces are filled from memory in any known pixel format.
#pragma once

#include <d3d9.h>
#include <d3dx9core.h>

#include "d3dximage.h"

#define D3DX_DEFAULT (static_cast<UINT>(-1))
#define D3DX_DEFAULT_NONPOW2 (static_cast<UINT>(-2))
#define D3DX_FROM_FILE (static_cast<UINT>(-3))
#define D3DFMT_FROM_FILE (static_cast<D3DFORMAT>(-3))

#define D3DX_FILTER_NONE (1 << 0)
#define D3DX_FILTER_POINT (2 << 0)
#define D3DX_FILTER_LINEAR (3 << 0)
#define D3DX_FILTER_TRIANGLE (4 << 0)
#define D3DX_FILTER_BOX (5 << 0)
#define D3DX_FILTER_MIRROR_U (1 << 16)
#define D3DX_FILTER_MIRROR_V (2 << 16)
#define D3DX_FILTER_MIRROR_W (4 << 16)
#define D3DX_FILTER_MIRROR (7 << 16)
#define D3DX_FILTER_DITHER (1 << 19)

extern "C" {

// Settles width, height, level count and format against the device: the values a texture
// created with these arguments would get. Any pointer may be null.
HRESULT WINAPI D3DXCheckTextureRequirements(LPDIRECT3DDEVICE9 device, UINT* width, UINT* height, UINT* mipLevels,
                                            DWORD usage, D3DFORMAT* format, D3DPOOL pool);

// Fills a rectangle of a surface (null: all of it) from pixels in memory: copied when
// format and size agree and no colour key applies, otherwise converted through four float
// channels and resampled with the filter. Palette formats use the palettes given (none: 256
// entries of 255).
HRESULT WINAPI D3DXLoadSurfaceFromMemory(LPDIRECT3DSURFACE9 destSurface, const PALETTEENTRY* destPalette,
                                         const RECT* destRect, LPCVOID srcMemory, D3DFORMAT srcFormat, UINT srcPitch,
                                         const PALETTEENTRY* srcPalette, const RECT* srcRect, DWORD filter,
                                         D3DCOLOR colorKey);

// Makes every level after `srcLevel` (D3DX_DEFAULT: 0) from the one above it with the filter
// (D3DX_DEFAULT: BOX).
HRESULT WINAPI D3DXFilterTexture(LPDIRECT3DBASETEXTURE9 texture, const PALETTEENTRY* palette, UINT srcLevel,
                                 DWORD filter);

HRESULT WINAPI D3DXCreateTextureFromFileInMemoryEx(LPDIRECT3DDEVICE9 device, LPCVOID srcData, UINT srcDataSize,
                                                   UINT width, UINT height, UINT mipLevels, DWORD usage,
                                                   D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                                   D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                                   LPDIRECT3DTEXTURE9* texture);

// Finds the picture among the module's resources (bitmap type first, then raw data) and
// creates the texture from its bytes. D3DXERR_INVALIDDATA when there is no such resource.
HRESULT WINAPI D3DXCreateTextureFromResourceExA(LPDIRECT3DDEVICE9 device, HMODULE srcModule, LPCSTR srcResource,
                                                UINT width, UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                                D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                                D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                                LPDIRECT3DTEXTURE9* texture);

// The extended form with everything from the picture, a managed pool and default filters.
HRESULT WINAPI D3DXCreateTextureFromResourceA(LPDIRECT3DDEVICE9 device, HMODULE srcModule, LPCSTR srcResource,
                                              LPDIRECT3DTEXTURE9* texture);
}
