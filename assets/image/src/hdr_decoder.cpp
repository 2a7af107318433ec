// Radiance RGBE pictures: flat, old-style and adaptive run-length scanlines, rows top-down
// ("-Y h +X w") or bottom-up ("+Y h +X w"). Decoded to four float channels.
#include <cmath>
#include <cstring>
#include <string_view>

#include "decoders.h"

namespace d3dx::image {

namespace {

// One header line without its newline; false at the end of the data.
bool nextLine(Bytes file, size_t& pos, std::string_view& line) {
  if (pos >= file.size()) return false;
  const size_t start = pos;
  while (pos < file.size() && file[pos] != '\n') ++pos;
  if (pos >= file.size()) return false;
  line = std::string_view(reinterpret_cast<const char*>(file.data() + start), pos - start);
  ++pos;
  return true;
}

bool parseNumber(std::string_view& text, uint32_t& value) {
  size_t i = 0;
  uint64_t v = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    v = v * 10 + static_cast<uint32_t>(text[i++] - '0');
    if (v > kMaxDimension) return false;
  }
  if (i == 0) return false;
  value = static_cast<uint32_t>(v);
  text.remove_prefix(i);
  return true;
}

bool consume(std::string_view& text, std::string_view prefix) {
  if (text.substr(0, prefix.size()) != prefix) return false;
  text.remove_prefix(prefix.size());
  return true;
}

// Reads one scanline of RGBE quadruples into `out`.
bool readScanline(Bytes file, size_t& pos, uint32_t width, uint8_t* out) {
  auto left = [&] { return file.size() - pos; };
  if (width >= 8 && width < 32768 && left() >= 4 && file[pos] == 2 && file[pos + 1] == 2 &&
      (file[pos + 2] & 0x80) == 0) {
    if (((uint32_t{file[pos + 2]} << 8) | file[pos + 3]) != width) return false;
    pos += 4;
    for (uint32_t c = 0; c < 4; ++c) {
      for (uint32_t x = 0; x < width;) {
        if (left() < 2) return false;
        uint32_t count = file[pos++];
        if (count > 128) {
          count -= 128;
          if (count > width - x) return false;
          const uint8_t value = file[pos++];
          for (uint32_t i = 0; i < count; ++i) out[4 * (x + i) + c] = value;
        } else {
          if (count == 0 || count > width - x || left() < count) return false;
          for (uint32_t i = 0; i < count; ++i) out[4 * (x + i) + c] = file[pos + i];
          pos += count;
        }
        x += count;
      }
    }
    return true;
  }
  // Flat pixels, where (1, 1, 1, n) repeats the previous pixel n times (shifted by 8 bits
  // for each such marker in a row).
  uint32_t shift = 0;
  for (uint32_t x = 0; x < width;) {
    if (left() < 4) return false;
    const uint8_t* p = file.data() + pos;
    pos += 4;
    if (p[0] == 1 && p[1] == 1 && p[2] == 1) {
      if (x == 0 || shift > 16) return false;
      const uint64_t count = uint64_t{p[3]} << shift;
      if (count > width - x) return false;
      for (uint64_t i = 0; i < count; ++i, ++x) std::memcpy(out + 4 * x, out + 4 * (x - 1), 4);
      shift += 8;
    } else {
      std::memcpy(out + 4 * x++, p, 4);
      shift = 0;
    }
  }
  return true;
}

}  // namespace

HRESULT decodeHdr(Bytes file, DecodedImage& image) {
  // The signature first: other files may hold no newline for a long way.
  if (file.size() < 2 || file[0] != '#' || file[1] != '?') return kRejected;
  size_t pos = 0;
  std::string_view line;
  if (!nextLine(file, pos, line)) return kRejected;
  // Header lines up to the empty line; only RGBE pixels are understood.
  for (;;) {
    if (!nextLine(file, pos, line)) return kRejected;
    if (line.empty()) break;
    if (consume(line, "FORMAT=") && line != "32-bit_rle_rgbe") return kRejected;
  }
  if (!nextLine(file, pos, line)) return kRejected;
  bool bottomUp = false;
  if (consume(line, "+Y "))
    bottomUp = true;
  else if (!consume(line, "-Y "))
    return kRejected;
  uint32_t width = 0, height = 0;
  if (!parseNumber(line, height) || !consume(line, " +X ") || !parseNumber(line, width) || !line.empty() ||
      width == 0 || height == 0)
    return kRejected;

  if (const HRESULT hr = allocatePicture(image, D3DFMT_A32B32G32R32F, width, height); hr != S_OK) return hr;
  std::unique_ptr<uint8_t[]> rgbe(new (std::nothrow) uint8_t[size_t{width} * 4]);
  if (!rgbe) return E_OUTOFMEMORY;
  for (uint32_t fileRow = 0; fileRow < height; ++fileRow) {
    if (!readScanline(file, pos, width, rgbe.get())) return kRejected;
    const uint32_t y = bottomUp ? height - 1 - fileRow : fileRow;
    uint8_t* dst = image.storage.get() + size_t{y} * image.pitch;
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* p = rgbe.get() + 4 * x;
      const float f = p[3] == 0 ? 0.0f : std::ldexp(1.0f, int{p[3]} - (128 + 8));
      for (uint32_t c = 0; c < 3; ++c) putFloat(dst + 16 * x + 4 * c, p[c] * f);
      putFloat(dst + 16 * x + 12, 1.0f);
    }
  }
  return S_OK;
}

}  // namespace d3dx::image
