// PNG through libpng: every colour type and bit depth, palettes with transparency, interlace.
#include <csetjmp>
#include <cstring>

#include <png.h>

#include "decoders.h"

namespace d3dx::image {

namespace {

struct Reader {
  Bytes file;
  size_t pos = 0;
};

void readData(png_structp png, png_bytep out, size_t length) {
  auto* reader = static_cast<Reader*>(png_get_io_ptr(png));
  if (reader->file.size() - reader->pos < length) png_error(png, "truncated");
  std::memcpy(out, reader->file.data() + reader->pos, length);
  reader->pos += length;
}

[[noreturn]] void errorExit(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void silentWarning(png_structp, png_const_charp) {}

// Sets up libpng's transforms for the Direct3D format the picture becomes.
D3DFORMAT chooseTransforms(png_structp png, png_infop info, DecodedImage& image) {
  const int colourType = png_get_color_type(png, info);
  const int bitDepth = png_get_bit_depth(png, info);
  const bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (bitDepth == 16) png_set_swap(png);  // Direct3D's 16-bit channels are little-endian
  switch (colourType) {
    case PNG_COLOR_TYPE_PALETTE: {
      png_set_packing(png);
      resetPalette(image);
      png_colorp colours = nullptr;
      int count = 0;
      if (png_get_PLTE(png, info, &colours, &count) == 0) return D3DFMT_UNKNOWN;
      for (int i = 0; i < 256; ++i) image.palette[i] = PALETTEENTRY{0, 0, 0, 255};
      for (int i = 0; i < count && i < 256; ++i)
        image.palette[i] = PALETTEENTRY{colours[i].red, colours[i].green, colours[i].blue, 255};
      png_bytep alphas = nullptr;
      int alphaCount = 0;
      if (transparency && png_get_tRNS(png, info, &alphas, &alphaCount, nullptr) != 0)
        for (int i = 0; i < alphaCount && i < 256; ++i) image.palette[i].peFlags = alphas[i];
      return D3DFMT_P8;
    }
    case PNG_COLOR_TYPE_GRAY:
      if (bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
      if (transparency) {
        png_set_tRNS_to_alpha(png);
        if (bitDepth == 16) {
          png_set_gray_to_rgb(png);
          return D3DFMT_A16B16G16R16;
        }
        return D3DFMT_A8L8;
      }
      return bitDepth == 16 ? D3DFMT_L16 : D3DFMT_L8;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      if (bitDepth == 16) {
        png_set_gray_to_rgb(png);
        return D3DFMT_A16B16G16R16;
      }
      return D3DFMT_A8L8;
    case PNG_COLOR_TYPE_RGB:
      if (transparency) png_set_tRNS_to_alpha(png);
      if (bitDepth == 16) {
        if (!transparency) png_set_filler(png, 0xFFFF, PNG_FILLER_AFTER);
        return D3DFMT_A16B16G16R16;
      }
      png_set_bgr(png);
      if (transparency) return D3DFMT_A8R8G8B8;
      png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
      return D3DFMT_X8R8G8B8;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      if (bitDepth == 16) return D3DFMT_A16B16G16R16;
      png_set_bgr(png);
      return D3DFMT_A8R8G8B8;
    default:
      return D3DFMT_UNKNOWN;
  }
}

// Everything that may end in libpng's error exit; holds no state of its own across the jump.
HRESULT readPicture(png_structp png, png_infop info, Reader& reader, DecodedImage& image) {
  if (setjmp(png_jmpbuf(png)) != 0) return kRejected;
  png_set_read_fn(png, &reader, readData);
  png_set_user_limits(png, kMaxDimension, kMaxDimension);
  png_read_info(png, info);
  const D3DFORMAT format = chooseTransforms(png, info, image);
  if (format == D3DFMT_UNKNOWN) return kRejected;
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const HRESULT hr = allocatePicture(image, format, png_get_image_width(png, info), png_get_image_height(png, info));
  if (hr != S_OK) return hr;
  if (png_get_rowbytes(png, info) != image.pitch) return kRejected;
  // Interlaced passes fill rows in stages; rows start cleared so that every pass combines right.
  if (passes > 1) std::memset(image.storage.get(), 0, size_t{image.pitch} * image.height);
  for (int pass = 0; pass < passes; ++pass)
    for (uint32_t y = 0; y < image.height; ++y)
      png_read_row(png, image.storage.get() + size_t{y} * image.pitch, nullptr);
  png_read_end(png, nullptr);
  return S_OK;
}

// True when every chunk up to IEND lies inside the file. libpng allocates the length an
// ancillary chunk's header claims before it reads the data, so a lying length must be caught
// here, not by the read running out.
bool chunksFit(Bytes file) {
  size_t pos = 8;
  while (file.size() - pos >= 12) {
    const uint8_t* p = file.data() + pos;
    const uint64_t length = be32(p);
    if (length + 12 > file.size() - pos) return false;
    if (std::memcmp(p + 4, "IEND", 4) == 0) return true;
    pos += static_cast<size_t>(length) + 12;
  }
  return false;
}

}  // namespace

HRESULT decodePng(Bytes file, DecodedImage& image) {
  if (file.size() < 8 || png_sig_cmp(file.data(), 0, 8) != 0 || !chunksFit(file)) return kRejected;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, errorExit, silentWarning);
  if (png == nullptr) return E_OUTOFMEMORY;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return E_OUTOFMEMORY;
  }
  Reader reader{file, 0};
  const HRESULT hr = readPicture(png, info, reader, image);
  png_destroy_read_struct(&png, &info, nullptr);
  return hr;
}

}  // namespace d3dx::image
