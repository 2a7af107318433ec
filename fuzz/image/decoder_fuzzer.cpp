// One image decoder (KQ_DECODER names it) or, without KQ_DECODER, the whole decoder order
// on arbitrary bytes: no read or write outside the buffer or the picture, and an accepted
// picture's rows all lie inside what the decoder handed out. The PNG target (KQ_PNG_CRCS)
// first gives every chunk its right CRC: libpng refuses a chunk whose CRC is wrong, and
// almost every mutation would stop there.
#include <cstddef>
#include <cstdint>
#include <vector>

#ifdef KQ_PNG_CRCS
#include <zlib.h>
#endif

#include "decoders.h"
#include "image_decoder.h"
#include "pixel_conversion.h"
#include "pixel_format.h"

namespace {

void touchEveryRow(const d3dx::DecodedImage& image) {
  volatile uint8_t sink = 0;
  for (const d3dx::DecodedImage* face = &image; face; face = face->nextFace.get())
    for (const d3dx::DecodedImage* level = face; level; level = level->nextLevel.get())
      for (uint32_t y = 0; y < d3dx::formatRows(*d3dx::pixelFormatInfo(level->format), level->height); y += 4)
        sink = sink + level->pixels[size_t{y} * level->pitch + level->pitch - 1];
}

#ifdef KQ_PNG_CRCS
// Chunks after the 8-byte signature: length, type, data, CRC over type and data.
void rightCrcs(std::vector<uint8_t>& file) {
  for (size_t at = 8; file.size() - at >= 12;) {
    const uint32_t length = d3dx::image::be32(&file[at]);
    if (length > file.size() - at - 12) break;
    const uint32_t crc = static_cast<uint32_t>(crc32(0, &file[at + 4], length + 4));
    for (int i = 0; i < 4; ++i) file[at + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    at += size_t{length} + 12;
  }
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  d3dx::DecodedImage image;
#ifdef KQ_PNG_CRCS
  std::vector<uint8_t> file(data, data + size);
  if (size >= 8) rightCrcs(file);
  data = file.data();
#endif
#ifdef KQ_DECODER
  if (d3dx::image::KQ_DECODER({data, size}, image) != S_OK) return 0;
#else
  if (d3dx::decodeImage(data, size, true, nullptr, image) != S_OK) return 0;
#endif
  touchEveryRow(image);
  // Small pictures also go through the converter, palettes and all.
  if (uint64_t{image.width} * image.height <= 1 << 16) {
    std::vector<uint8_t> rgba;
    d3dx::pictureToRgba8(image, rgba);
  }
  return 0;
}
