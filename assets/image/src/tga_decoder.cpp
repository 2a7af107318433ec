// Truevision TGA: colour-mapped, true-colour and grey pictures, raw or run-length encoded.
#include <algorithm>
#include <cstring>

#include "decoders.h"

namespace d3dx::image {

namespace {

uint8_t widen5(uint32_t v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }

PALETTEENTRY mapEntry(const uint8_t* e, uint32_t entryBits) {
  switch (entryBits) {
    case 15:
    case 16: {
      const uint32_t v = le16(e);
      const uint8_t alpha = entryBits == 16 && (v & 0x8000) ? 255 : 0;
      return PALETTEENTRY{widen5((v >> 10) & 31), widen5((v >> 5) & 31), widen5(v & 31), alpha};
    }
    case 24:
      return PALETTEENTRY{e[2], e[1], e[0], 0};
    default:
      return PALETTEENTRY{e[2], e[1], e[0], e[3]};
  }
}

bool anyAlphaBit(const DecodedImage& image) {
  for (uint32_t y = 0; y < image.height; ++y) {
    const uint8_t* row = image.pixels + size_t{y} * image.pitch;
    for (uint32_t x = 0; x < image.width; ++x)
      if (row[2 * x + 1] & 0x80) return true;
  }
  return false;
}

}  // namespace

HRESULT decodeTga(Bytes file, DecodedImage& image) {
  if (file.size() < 18) return kRejected;
  const uint8_t* h = file.data();
  const uint32_t idLength = h[0], mapType = h[1], imageType = h[2];
  const uint32_t mapFirst = le16(h + 3), mapLength = le16(h + 5), mapEntryBits = h[7];
  const uint32_t width = le16(h + 12), height = le16(h + 14), bitsPerPixel = h[16], descriptor = h[17];
  if (mapType > 1 || (imageType & ~0xBu) != 0 || width == 0 || height == 0) return kRejected;
  if (mapType == 1 && mapEntryBits != 15 && mapEntryBits != 16 && mapEntryBits != 24 && mapEntryBits != 32)
    return kRejected;

  D3DFORMAT format = D3DFMT_UNKNOWN;
  switch (imageType & 3) {
    case 1:
      if (mapType != 1 || bitsPerPixel != 8) return kRejected;
      format = D3DFMT_P8;
      break;
    case 2:
      format = bitsPerPixel == 15   ? D3DFMT_X1R5G5B5
               : bitsPerPixel == 16 ? D3DFMT_A1R5G5B5
               : bitsPerPixel == 24 ? D3DFMT_R8G8B8
               : bitsPerPixel == 32 ? D3DFMT_A8R8G8B8
                                    : D3DFMT_UNKNOWN;
      if (format == D3DFMT_UNKNOWN) return kRejected;
      break;
    case 3:
      if (bitsPerPixel != 8) return kRejected;
      format = D3DFMT_L8;
      break;
    default:
      return kRejected;
  }

  const size_t mapBytes = mapType == 1 ? size_t{mapLength} * ((mapEntryBits + 7) / 8) : 0;
  const size_t pixelOffset = 18 + size_t{idLength} + mapBytes;
  if (pixelOffset > file.size()) return kRejected;
  if (format == D3DFMT_P8) {
    if (mapFirst + mapLength > 256) return kRejected;
    resetPalette(image);
    const uint8_t* map = h + 18 + idLength;
    const uint32_t entryBytes = (mapEntryBits + 7) / 8;
    bool anyAlpha = false;
    for (uint32_t i = 0; i < mapLength; ++i) {
      image.palette[mapFirst + i] = mapEntry(map + i * entryBytes, mapEntryBits);
      anyAlpha |= image.palette[mapFirst + i].peFlags != 0;
    }
    if (!anyAlpha)
      for (uint32_t i = 0; i < mapLength; ++i) image.palette[mapFirst + i].peFlags = 255;
  }

  const uint32_t bytesPerPixel = (bitsPerPixel + 7) / 8;
  const bool bottomUp = (descriptor & 0x20) == 0, rightToLeft = (descriptor & 0x10) != 0;
  const bool runLength = (imageType & 8) != 0;
  const Bytes data = file.subspan(pixelOffset);
  const uint64_t pictureBytes = uint64_t{width} * height * bytesPerPixel;

  if (!runLength && !bottomUp && !rightToLeft) {
    if (pictureBytes > data.size()) return kRejected;
    usePixelsInPlace(image, format, data.data(), width * bytesPerPixel, width, height);
  } else {
    // Raw pictures must hold their pixels before anything is allocated.
    if (!runLength && pictureBytes > data.size()) return kRejected;
    if (const HRESULT hr = allocatePicture(image, format, width, height); hr != S_OK) return hr;
    uint8_t* out = image.storage.get();
    const auto pictureRow = [&](uint32_t fileRow) {
      return out + size_t{bottomUp ? height - 1 - fileRow : fileRow} * image.pitch;
    };
    size_t pos = 0;
    if (!runLength) {
      // Whole rows: only their order (and that of their pixels) changes.
      const size_t rowBytes = size_t{width} * bytesPerPixel;
      for (uint32_t fileRow = 0; fileRow < height; ++fileRow, pos += rowBytes) {
        uint8_t* row = pictureRow(fileRow);
        if (!rightToLeft) {
          std::memcpy(row, data.data() + pos, rowBytes);
          continue;
        }
        for (uint32_t x = 0; x < width; ++x)
          std::memcpy(row + size_t{width - 1 - x} * bytesPerPixel, data.data() + pos + size_t{x} * bytesPerPixel,
                      bytesPerPixel);
      }
    } else {
      // Pixels arrive as one stream in file order; a run-length packet may carry on into the
      // next row (as many writers do), and what runs past the last pixel is dropped.
      const uint64_t pixelCount = uint64_t{width} * height;
      uint64_t written = 0;
      auto store = [&](const uint8_t* pixel) {
        const uint32_t fileRow = static_cast<uint32_t>(written / width), column = static_cast<uint32_t>(written % width);
        const uint32_t x = rightToLeft ? width - 1 - column : column;
        std::memcpy(pictureRow(fileRow) + size_t{x} * bytesPerPixel, pixel, bytesPerPixel);
        ++written;
      };
      while (written < pixelCount) {
        if (pos >= data.size()) return kRejected;
        const uint32_t header = data[pos++];
        const uint32_t count = (header & 0x7F) + 1;
        const bool run = (header & 0x80) != 0;
        const size_t need = run ? bytesPerPixel : size_t{count} * bytesPerPixel;
        if (data.size() - pos < need) return kRejected;
        for (uint32_t i = 0; i < count && written < pixelCount; ++i)
          store(data.data() + pos + (run ? 0 : i * bytesPerPixel));
        pos += need;
      }
    }
  }
  if (image.format == D3DFMT_A1R5G5B5 && !anyAlphaBit(image)) image.format = D3DFMT_X1R5G5B5;
  return S_OK;
}

}  // namespace d3dx::image
