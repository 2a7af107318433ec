// DirectDraw surfaces: uncompressed RGB, luminance, alpha, bump and palette layouts, DXT1
// to DXT5 and Direct3D format codes, with mip levels, cube faces and volume slices. The
// pixels are always used where they lie in the file.
#include <algorithm>

#include "decoders.h"
#include "pixel_format.h"

namespace d3dx::image {

namespace {

constexpr uint32_t kHeaderBytes = 4 + 124;
constexpr uint32_t kFlagMipCount = 0x20000, kFlagDepth = 0x800000;
constexpr uint32_t kPfAlphaPixels = 0x1, kPfAlpha = 0x2, kPfFourCc = 0x4, kPfPalette8 = 0x20, kPfRgb = 0x40,
                   kPfLuminance = 0x20000, kPfBump = 0x80000;
constexpr uint32_t kCaps2Cube = 0x200, kCaps2Volume = 0x200000;
constexpr uint32_t kCubeFaceBits[6] = {0x400, 0x800, 0x1000, 0x2000, 0x4000, 0x8000};

uint32_t fieldMask(ChannelField field) {
  if (field.bits == 0) return 0;
  return static_cast<uint32_t>(((uint64_t{1} << field.bits) - 1) << field.shift);
}

// The table format with exactly this bit count and these masks.
D3DFORMAT formatFromMasks(uint32_t flags, uint32_t bits, const uint32_t masks[4]) {
  const uint32_t alpha = (flags & (kPfAlphaPixels | kPfAlpha)) ? masks[3] : 0;
  for (const PixelFormatInfo& info : pixelFormatTable()) {
    if (info.bitsPerPixel != bits || info.bitsPerPixel > 32) continue;
    const bool luminance = info.kind == FormatKind::Luminance;
    const bool bump = info.kind == FormatKind::Signed;
    if (luminance != ((flags & kPfLuminance) != 0) || bump != ((flags & kPfBump) != 0)) continue;
    if (info.encoding != PixelEncoding::Packed && info.encoding != PixelEncoding::Luminance) continue;
    if (fieldMask(info.alpha) != alpha) continue;
    if (flags & kPfAlpha) {  // alpha only
      if (info.red.bits == 0) return info.format;
      continue;
    }
    if (luminance) {
      if (fieldMask(info.red) == masks[0]) return info.format;
      continue;
    }
    if (fieldMask(info.red) == masks[0] && fieldMask(info.green) == masks[1] && fieldMask(info.blue) == masks[2])
      return info.format;
  }
  return D3DFMT_UNKNOWN;
}

D3DFORMAT formatFromPixelFormat(const uint8_t* pf) {
  const uint32_t flags = le32(pf + 4), fourCc = le32(pf + 8), bits = le32(pf + 12);
  const uint32_t masks[4] = {le32(pf + 16), le32(pf + 20), le32(pf + 24), le32(pf + 28)};
  if (flags & kPfFourCc) {
    // Compared as numbers: the field may hold any value, not only format codes.
    for (const PixelFormatInfo& info : pixelFormatTable())
      if (static_cast<uint32_t>(info.format) == fourCc)
        return info.encoding == PixelEncoding::None || info.kind == FormatKind::Palette ? D3DFMT_UNKNOWN : info.format;
    return D3DFMT_UNKNOWN;
  }
  if (flags & kPfPalette8) return bits == 8 ? D3DFMT_P8 : D3DFMT_UNKNOWN;
  if (flags & (kPfRgb | kPfLuminance | kPfAlpha | kPfBump)) return formatFromMasks(flags, bits, masks);
  return D3DFMT_UNKNOWN;
}

}  // namespace

HRESULT decodeDds(Bytes file, DecodedImage& image) {
  if (file.size() < kHeaderBytes || le32(file.data()) != 0x20534444u) return kRejected;  // "DDS "
  const uint8_t* h = file.data() + 4;
  if (le32(h) != 124 || le32(h + 72) != 32) return kRejected;
  const uint32_t flags = le32(h + 4), height = le32(h + 8), width = le32(h + 12);
  const uint32_t caps2 = le32(h + 108);
  const bool volume = (caps2 & kCaps2Volume) && (flags & kFlagDepth);
  const bool cube = (caps2 & kCaps2Cube) != 0;
  const uint32_t depth = volume ? std::max<uint32_t>(1, le32(h + 20)) : 1;
  if (width == 0 || height == 0 || width > kMaxDimension || height > kMaxDimension || depth > kMaxDimension)
    return kRejected;
  if (cube && (volume || width != height)) return kRejected;

  const D3DFORMAT format = formatFromPixelFormat(h + 72);
  const PixelFormatInfo* info = pixelFormatInfo(format);
  if (info == nullptr) return kRejected;

  uint32_t fullChain = 1;
  for (uint32_t size = std::max({width, height, depth}); size > 1; size >>= 1) ++fullChain;
  uint32_t levels = (flags & kFlagMipCount) ? std::max<uint32_t>(1, le32(h + 24)) : 1;
  if (levels > fullChain) return kRejected;

  size_t pos = kHeaderBytes;
  std::vector<PALETTEENTRY> palette;
  if (format == D3DFMT_P8) {
    if (file.size() - pos < 1024) return kRejected;
    palette.resize(256);
    for (uint32_t i = 0; i < 256; ++i) {
      const uint8_t* e = file.data() + pos + 4 * i;
      palette[i] = PALETTEENTRY{e[0], e[1], e[2], e[3]};
    }
    pos += 1024;
  }

  DecodedImage* faceSlot = &image;
  std::unique_ptr<DecodedImage>* nextFaceLink = nullptr;
  for (uint32_t face = 0; face < (cube ? 6u : 1u); ++face) {
    if (cube && !(caps2 & kCubeFaceBits[face])) continue;
    if (nextFaceLink != nullptr) {
      *nextFaceLink = std::make_unique<DecodedImage>();
      faceSlot = nextFaceLink->get();
    }
    DecodedImage* level = faceSlot;
    for (uint32_t i = 0; i < levels; ++i) {
      if (i > 0) {
        level->nextLevel = std::make_unique<DecodedImage>();
        level = level->nextLevel.get();
      }
      const uint32_t w = std::max(1u, width >> i), hgt = std::max(1u, height >> i), d = std::max(1u, depth >> i);
      const uint32_t pitch = formatRowBytes(*info, w);
      const uint64_t sliceBytes = uint64_t{pitch} * formatRows(*info, hgt);
      if (sliceBytes * d > file.size() - pos) return kRejected;
      usePixelsInPlace(*level, format, file.data() + pos, pitch, w, hgt);
      level->slicePitch = static_cast<uint32_t>(sliceBytes);
      level->depth = d;
      level->palette = palette;
      pos += static_cast<size_t>(sliceBytes * d);
    }
    nextFaceLink = &faceSlot->nextFace;
  }
  if (image.pixels == nullptr) return kRejected;  // a cube map without faces
  image.resourceType = cube ? D3DRTYPE_CUBETEXTURE : volume ? D3DRTYPE_VOLUMETEXTURE : D3DRTYPE_TEXTURE;
  return S_OK;
}

}  // namespace d3dx::image
