// One image decoder (KQ_DECODER names it) or, without KQ_DECODER, the whole decoder order
// on arbitrary bytes: no read or write outside the buffer or the picture, and an accepted
// picture's rows all lie inside what the decoder handed out.
#include <cstddef>
#include <cstdint>
#include <vector>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  d3dx::DecodedImage image;
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
