// D3DXLoadSurfaceFromMemory's converter between any two table formats, with any sizes,
// filter and colour key: nothing is read or written outside the two regions.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "d3dx9tex.h"
#include "pixel_conversion.h"
#include "pixel_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 12) return 0;
  const auto table = d3dx::pixelFormatTable();
  const d3dx::PixelFormatInfo& src = table[data[0] % table.size()];
  const d3dx::PixelFormatInfo& dst = table[data[1] % table.size()];
  const uint32_t sw = 1 + data[2] % 40, sh = 1 + data[3] % 40, dw = 1 + data[4] % 40, dh = 1 + data[5] % 40;
  const DWORD filter = (data[6] % 7) | (data[7] & 1 ? D3DX_FILTER_MIRROR : 0) | (data[7] & 2 ? D3DX_FILTER_DITHER : 0);
  D3DCOLOR key;
  std::memcpy(&key, data + 8, 4);
  if (data[7] & 4) key = 0;
  const bool sourcePalette = (data[7] & 8) != 0;
  data += 12;
  size -= 12;

  const uint32_t srcPitch = d3dx::formatRowBytes(src, sw), dstPitch = d3dx::formatRowBytes(dst, dw);
  std::vector<uint8_t> source(size_t{srcPitch} * d3dx::formatRows(src, sh));
  for (size_t i = 0; i < source.size() && size > 0; ++i) source[i] = data[i % size];
  std::vector<uint8_t> destination(size_t{dstPitch} * d3dx::formatRows(dst, dh));
  PALETTEENTRY palette[256];
  for (int i = 0; i < 256; ++i)
    palette[i] = {static_cast<BYTE>(i), static_cast<BYTE>(i * 3), 7, static_cast<BYTE>(255 - i)};
  const d3dx::PixelRegion to{dst.format, destination.data(), dstPitch, dw, dh, palette};
  const d3dx::PixelRegion from{src.format, source.data(), srcPitch, sw, sh, sourcePalette ? palette : nullptr};
  d3dx::convertPixels(to, from, filter, key);
  return 0;
}
