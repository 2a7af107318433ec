// Windows bitmaps: the BMP file (14-byte file header plus a DIB) and the bare DIB that a
// bitmap resource holds.
#include <algorithm>
#include <cstring>

#include "decoders.h"

namespace d3dx::image {

namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;

struct DibHeader {
  uint32_t headerSize = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  bool topDown = false;
  uint32_t bitCount = 0;
  uint32_t compression = kRgb;
  uint32_t colourCount = 0;  // colour-table entries
  uint32_t entrySize = 4;
  uint32_t masks[4] = {};  // red, green, blue, alpha (bit fields)
};

bool readHeader(Bytes dib, DibHeader& h) {
  if (dib.size() < 4) return false;
  const uint8_t* p = dib.data();
  h.headerSize = le32(p);
  int32_t height = 0;
  uint32_t planes = 0;
  uint32_t coloursUsed = 0;
  if (h.headerSize == 12) {
    if (dib.size() < 12) return false;
    h.width = le16(p + 4);
    height = static_cast<int16_t>(le16(p + 6));
    planes = le16(p + 8);
    h.bitCount = le16(p + 10);
    h.entrySize = 3;
  } else {
    if (h.headerSize < 40 || h.headerSize > dib.size()) return false;
    const int32_t width = static_cast<int32_t>(le32(p + 4));
    if (width <= 0) return false;
    h.width = static_cast<uint32_t>(width);
    height = static_cast<int32_t>(le32(p + 8));
    planes = le16(p + 12);
    h.bitCount = le16(p + 14);
    h.compression = le32(p + 16);
    coloursUsed = le32(p + 32);
    if (h.compression == kBitFields) {
      if (h.headerSize < 52) return false;
      for (int i = 0; i < 3; ++i) h.masks[i] = le32(p + 40 + 4 * i);
      if (h.headerSize >= 56) h.masks[3] = le32(p + 52);
    }
  }
  if (planes != 1 || h.width == 0 || height == 0 || height == INT32_MIN) return false;
  h.topDown = height < 0;
  h.height = static_cast<uint32_t>(height < 0 ? -height : height);
  if (h.width > kMaxDimension || h.height > kMaxDimension) return false;
  if (h.compression > kBitFields) return false;
  if (h.compression == kRle8 && h.bitCount != 8) return false;
  if (h.compression == kRle4 && h.bitCount != 4) return false;
  if ((h.compression == kRle8 || h.compression == kRle4) && h.topDown) return false;
  if (h.compression == kBitFields && h.bitCount != 16 && h.bitCount != 24 && h.bitCount != 32) return false;
  if (h.compression != kBitFields && h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8 && h.bitCount != 16 &&
      h.bitCount != 24 && h.bitCount != 32)
    return false;
  h.colourCount = coloursUsed;
  if (h.bitCount <= 8 && coloursUsed == 0) h.colourCount = 1u << h.bitCount;
  return uint64_t{h.headerSize} + uint64_t{h.colourCount} * h.entrySize <= dib.size();
}

// Bit-field layouts that are Direct3D formats of their own.
struct MaskLayout {
  uint32_t bits;
  uint32_t red, green, blue, alpha;
  D3DFORMAT format;
};
constexpr MaskLayout kMaskLayouts[] = {
    {16, 0x7C00, 0x03E0, 0x001F, 0, D3DFMT_X1R5G5B5},
    {16, 0x7C00, 0x03E0, 0x001F, 0x8000, D3DFMT_A1R5G5B5},
    {16, 0xF800, 0x07E0, 0x001F, 0, D3DFMT_R5G6B5},
    {16, 0x0F00, 0x00F0, 0x000F, 0, D3DFMT_X4R4G4B4},
    {16, 0x0F00, 0x00F0, 0x000F, 0xF000, D3DFMT_A4R4G4B4},
    {16, 0x00E0, 0x001C, 0x0003, 0xFF00, D3DFMT_A8R3G3B2},
    {32, 0xFF0000, 0xFF00, 0xFF, 0, D3DFMT_X8R8G8B8},
    {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, D3DFMT_A8R8G8B8},
    {32, 0xFF, 0xFF00, 0xFF0000, 0, D3DFMT_X8B8G8R8},
    {32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, D3DFMT_A8B8G8R8},
    {32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, D3DFMT_A2R10G10B10},
    {32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000, D3DFMT_A2B10G10R10},
    {32, 0xFFFF, 0xFFFF0000, 0, 0, D3DFMT_G16R16},
};

D3DFORMAT knownMaskFormat(const DibHeader& h) {
  for (const MaskLayout& m : kMaskLayouts)
    if (m.bits == h.bitCount && m.red == h.masks[0] && m.green == h.masks[1] && m.blue == h.masks[2] &&
        m.alpha == h.masks[3])
      return m.format;
  return D3DFMT_UNKNOWN;
}

void readPalette(const DibHeader& h, const uint8_t* table, DecodedImage& image) {
  resetPalette(image);
  const uint32_t count = std::min<uint32_t>(h.colourCount, 256);
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* e = table + i * h.entrySize;
    image.palette[i] = PALETTEENTRY{e[2], e[1], e[0], 255};
  }
}

// Bottom-up rows are turned top-down; row `y` of the picture is this file row.
uint32_t fileRow(const DibHeader& h, uint32_t y) { return h.topDown ? y : h.height - 1 - y; }

HRESULT decodeIndexed(const DibHeader& h, const uint8_t* pixels, uint32_t rowBytes, DecodedImage& image) {
  if (h.bitCount == 8 && h.topDown) {
    usePixelsInPlace(image, D3DFMT_P8, pixels, rowBytes, h.width, h.height);
    return S_OK;
  }
  if (const HRESULT hr = allocatePicture(image, D3DFMT_P8, h.width, h.height); hr != S_OK) return hr;
  uint8_t* out = image.storage.get();
  const uint32_t perByte = 8 / h.bitCount, mask = (1u << h.bitCount) - 1;
  for (uint32_t y = 0; y < h.height; ++y) {
    const uint8_t* row = pixels + size_t{fileRow(h, y)} * rowBytes;
    uint8_t* dst = out + size_t{y} * image.pitch;
    for (uint32_t x = 0; x < h.width; ++x) {
      const uint32_t shift = 8 - h.bitCount * (x % perByte + 1);
      dst[x] = static_cast<uint8_t>((row[x / perByte] >> shift) & mask);
    }
  }
  return S_OK;
}

bool anyFourthByteSet(const uint8_t* pixels, uint32_t pitch, uint32_t width, uint32_t height) {
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = pixels + size_t{y} * pitch;
    for (uint32_t x = 0; x < width; ++x)
      if (row[4 * x + 3] != 0) return true;
  }
  return false;
}

HRESULT decodeDirect(const DibHeader& h, D3DFORMAT format, const uint8_t* pixels, uint32_t rowBytes,
                     DecodedImage& image) {
  if (h.topDown) {
    usePixelsInPlace(image, format, pixels, rowBytes, h.width, h.height);
  } else {
    if (const HRESULT hr = allocatePicture(image, format, h.width, h.height); hr != S_OK) return hr;
    for (uint32_t y = 0; y < h.height; ++y)
      std::memcpy(image.storage.get() + size_t{y} * image.pitch, pixels + size_t{fileRow(h, y)} * rowBytes,
                  image.pitch);
  }
  if (format == D3DFMT_X8R8G8B8 && h.compression == kRgb &&
      anyFourthByteSet(image.pixels, image.pitch, image.width, image.height))
    image.format = D3DFMT_A8R8G8B8;
  return S_OK;
}

// Any other bit-field layout: each channel scaled to 0..1 into four 32-bit floats.
HRESULT decodeGenericMasks(const DibHeader& h, const uint8_t* pixels, uint32_t rowBytes, DecodedImage& image) {
  if ((h.masks[0] | h.masks[1] | h.masks[2]) == 0) return kRejected;
  if (const HRESULT hr = allocatePicture(image, D3DFMT_A32B32G32R32F, h.width, h.height); hr != S_OK) return hr;
  const uint32_t bytesPerPixel = h.bitCount / 8;
  for (uint32_t y = 0; y < h.height; ++y) {
    const uint8_t* row = pixels + size_t{fileRow(h, y)} * rowBytes;
    uint8_t* dst = image.storage.get() + size_t{y} * image.pitch;
    for (uint32_t x = 0; x < h.width; ++x) {
      uint32_t value = 0;
      for (uint32_t b = 0; b < bytesPerPixel; ++b)
        value |= static_cast<uint32_t>(row[x * bytesPerPixel + b]) << (8 * b);
      for (int c = 0; c < 4; ++c) {
        const uint32_t mask = h.masks[c];
        float v = c == 3 ? 1.0f : 0.0f;
        if (mask != 0) {
          const int shift = __builtin_ctz(mask);
          v = static_cast<float>((value & mask) >> shift) / static_cast<float>(mask >> shift);
        }
        putFloat(dst + 16 * x + 4 * c, v);
      }
    }
  }
  return S_OK;
}

// Run-length encoded 4- and 8-bit pictures; rows arrive bottom-up. Writers encode rows to
// their padded length, so pixels past the width but within the padding are dropped; runs
// beyond the padding or past the last row reject the picture.
HRESULT decodeRle(const DibHeader& h, Bytes data, DecodedImage& image) {
  if (const HRESULT hr = allocatePicture(image, D3DFMT_P8, h.width, h.height); hr != S_OK) return hr;
  uint8_t* out = image.storage.get();
  std::memset(out, 0, size_t{image.pitch} * h.height);
  const bool four = h.compression == kRle4;
  const uint32_t rowLimit = static_cast<uint32_t>((uint64_t{h.width} * h.bitCount + 31) / 32 * 32 / h.bitCount);
  size_t pos = 0;
  uint32_t x = 0, y = 0;  // y counts file rows from the bottom
  auto put = [&](uint8_t index) {
    if (x < h.width) out[size_t{h.height - 1 - y} * image.pitch + x] = index;
    ++x;
  };
  while (y < h.height) {
    if (data.size() - pos < 2) return kRejected;
    const uint32_t count = data[pos], value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      if (count > rowLimit - x) return kRejected;
      for (uint32_t i = 0; i < count; ++i)
        put(static_cast<uint8_t>(four ? (i % 2 == 0 ? value >> 4 : value & 15) : value));
    } else if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {  // move right and down
      if (data.size() - pos < 2) return kRejected;
      const uint32_t dx = data[pos], dy = data[pos + 1];
      pos += 2;
      if (dx > rowLimit - x || dy > h.height - y) return kRejected;
      x += dx;
      y += dy;
    } else {  // literal pixels, padded to a 16-bit boundary
      const uint32_t bytes = four ? (value + 1) / 2 : value;
      const uint32_t padded = (bytes + 1) & ~1u;
      if (value > rowLimit - x || data.size() - pos < bytes) return kRejected;
      for (uint32_t i = 0; i < value; ++i) {
        const uint8_t b = data[pos + (four ? i / 2 : i)];
        put(static_cast<uint8_t>(four ? (i % 2 == 0 ? b >> 4 : b & 15) : b));
      }
      pos += std::min<size_t>(padded, data.size() - pos);
    }
  }
  return S_OK;
}

HRESULT decodeDibBody(Bytes dib, DecodedImage& image) {
  DibHeader h;
  if (!readHeader(dib, h)) return kRejected;
  const uint8_t* table = dib.data() + h.headerSize;
  const size_t pixelOffset = h.headerSize + size_t{h.colourCount} * h.entrySize;
  const Bytes data = dib.subspan(pixelOffset);
  if (h.bitCount <= 8) readPalette(h, table, image);

  if (h.compression == kRle8 || h.compression == kRle4) return decodeRle(h, data, image);

  const uint64_t rowBytes = (uint64_t{h.width} * h.bitCount + 31) / 32 * 4;
  if (rowBytes * h.height > data.size()) return kRejected;
  const uint32_t pitch = static_cast<uint32_t>(rowBytes);
  if (h.bitCount <= 8) return decodeIndexed(h, data.data(), pitch, image);
  D3DFORMAT format = D3DFMT_UNKNOWN;
  if (h.compression == kBitFields) {
    format = knownMaskFormat(h);
    if (format == D3DFMT_UNKNOWN) return decodeGenericMasks(h, data.data(), pitch, image);
  } else {
    format = h.bitCount == 16 ? D3DFMT_X1R5G5B5 : h.bitCount == 24 ? D3DFMT_R8G8B8 : D3DFMT_X8R8G8B8;
  }
  return decodeDirect(h, format, data.data(), pitch, image);
}

}  // namespace

HRESULT decodeBmp(Bytes file, DecodedImage& image) {
  if (file.size() < 14 || file[0] != 'B' || file[1] != 'M') return kRejected;
  if (le32(file.data() + 2) > file.size()) return kRejected;
  return decodeDibBody(file.subspan(14), image);
}

HRESULT decodeDib(Bytes file, DecodedImage& image) { return decodeDibBody(file, image); }

}  // namespace d3dx::image
