// Block-compressed level decoding with arbitrary sizes and bytes: never reads or writes out
// of bounds, whatever the block data says.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3 || size > 1 << 16) return 0;
  const D3DFORMAT formats[] = {D3DFMT_DXT1, D3DFMT_DXT3, D3DFMT_DXT5, D3DFMT_A8R8G8B8};
  const D3DFORMAT format = formats[data[0] % 4];
  const uint32_t width = 1 + data[1] % 64, height = 1 + data[2] % 64;
  std::vector<uint8_t> blocks(data + 3, data + size);
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  d3d9::decodeDxt(format, blocks, width, height, pixels);
  return 0;
}
