#include "image_decoder.h"

#include <clocale>
#include <cstring>
#include <new>
#include <string>

#include <d3dx9core.h>

#include "decoders.h"
#include "pixel_format.h"

namespace d3dx {

namespace image {

HRESULT allocatePicture(DecodedImage& image, D3DFORMAT format, uint32_t width, uint32_t height) {
  const PixelFormatInfo* info = pixelFormatInfo(format);
  if (info == nullptr || width == 0 || height == 0 || width > kMaxDimension || height > kMaxDimension) return kRejected;
  const uint32_t pitch = formatRowBytes(*info, width);
  const uint64_t bytes = uint64_t{pitch} * formatRows(*info, height);
  if (bytes > kMaxPictureBytes) return kRejected;
  image.storage.reset(new (std::nothrow) uint8_t[bytes]);
  if (!image.storage) return E_OUTOFMEMORY;
  image.format = format;
  image.pixels = image.storage.get();
  image.pitch = pitch;
  image.slicePitch = static_cast<uint32_t>(bytes);
  image.width = width;
  image.height = height;
  image.depth = 1;
  return S_OK;
}

void usePixelsInPlace(DecodedImage& image, D3DFORMAT format, const uint8_t* pixels, uint32_t pitch, uint32_t width,
                      uint32_t height) {
  image.storage.reset();
  image.format = format;
  image.pixels = pixels;
  image.pitch = pitch;
  image.slicePitch = pitch * height;
  image.width = width;
  image.height = height;
  image.depth = 1;
}

}  // namespace image

namespace {

// The decoders parse numbers from text (PPM, PFM, HDR headers); they must not depend on the
// user's decimal separator.
class NumericLocaleC {
 public:
  NumericLocaleC() {
    const char* current = std::setlocale(LC_NUMERIC, nullptr);
    if (current != nullptr && std::strcmp(current, "C") != 0) {
      m_saved = current;
      std::setlocale(LC_NUMERIC, "C");
    }
  }
  ~NumericLocaleC() {
    if (!m_saved.empty()) std::setlocale(LC_NUMERIC, m_saved.c_str());
  }
  NumericLocaleC(const NumericLocaleC&) = delete;
  NumericLocaleC& operator=(const NumericLocaleC&) = delete;

 private:
  std::string m_saved;
};

struct Decoder {
  HRESULT (*decode)(image::Bytes, DecodedImage&);
  D3DXIMAGE_FILEFORMAT fileFormat;
};

constexpr Decoder kDecoders[] = {
    {image::decodeBmp, D3DXIFF_BMP},  {image::decodePpm, D3DXIFF_PPM}, {image::decodeDds, D3DXIFF_DDS},
    {image::decodeJpeg, D3DXIFF_JPG}, {image::decodePng, D3DXIFF_PNG}, {image::decodePfm, D3DXIFF_PFM},
    {image::decodeHdr, D3DXIFF_HDR},  {image::decodeTga, D3DXIFF_TGA}, {image::decodeDib, D3DXIFF_DIB},
};

void setSourceRects(DecodedImage& image) {
  for (DecodedImage* face = &image; face != nullptr; face = face->nextFace.get())
    for (DecodedImage* level = face; level != nullptr; level = level->nextLevel.get())
      level->sourceRect = RECT{0, 0, static_cast<LONG>(level->width), static_cast<LONG>(level->height)};
}

}  // namespace

uint32_t DecodedImage::levelCount() const {
  uint32_t count = 1;
  for (const DecodedImage* level = nextLevel.get(); level != nullptr; level = level->nextLevel.get()) ++count;
  return count;
}

HRESULT decodeImage(const void* data, size_t size, bool wantPixels, D3DXIMAGE_INFO* info, DecodedImage& image) {
  image = DecodedImage{};
  if (data == nullptr || size == 0) return D3DERR_INVALIDCALL;
  if (!wantPixels && info == nullptr) return S_OK;

  const NumericLocaleC locale;
  const image::Bytes file(static_cast<const uint8_t*>(data), size);
  for (const Decoder& decoder : kDecoders) {
    const HRESULT hr = decoder.decode(file, image);
    if (hr == S_OK) {
      image.fileFormat = decoder.fileFormat;
      setSourceRects(image);
      if (info != nullptr) {
        *info = D3DXIMAGE_INFO{image.width,  image.height,       image.depth,     image.levelCount(),
                               image.format, image.resourceType, image.fileFormat};
      }
      if (!wantPixels) image = DecodedImage{};
      return S_OK;
    }
    image = DecodedImage{};
    if (hr != image::kRejected) return hr;
  }
  return D3DXERR_INVALIDDATA;
}

}  // namespace d3dx
