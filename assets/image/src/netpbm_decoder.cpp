// Portable pixmaps and greymaps (P2, P3, P5, P6; up to 16 bits) and portable float maps.
#include <charconv>
#include <cmath>

#include "decoders.h"

namespace d3dx::image {

namespace {

// Reads the whitespace-separated header fields, skipping comments.
class HeaderReader {
 public:
  explicit HeaderReader(Bytes file, size_t pos) : m_file(file), m_pos(pos) {}

  bool skipSpace() {
    bool any = false;
    while (m_pos < m_file.size()) {
      const uint8_t c = m_file[m_pos];
      if (c == '#') {
        while (m_pos < m_file.size() && m_file[m_pos] != '\n' && m_file[m_pos] != '\r') ++m_pos;
      } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
        ++m_pos;
      } else {
        break;
      }
      any = true;
    }
    return any;
  }

  // An unsigned decimal number up to `limit`.
  bool number(uint32_t limit, uint32_t& value) {
    skipSpace();
    uint64_t v = 0;
    const size_t start = m_pos;
    while (m_pos < m_file.size() && m_file[m_pos] >= '0' && m_file[m_pos] <= '9') {
      v = v * 10 + (m_file[m_pos++] - '0');
      if (v > limit) return false;
    }
    value = static_cast<uint32_t>(v);
    return m_pos > start;
  }

  bool real(float& value) {
    skipSpace();
    const char* begin = reinterpret_cast<const char*>(m_file.data() + m_pos);
    const char* end = reinterpret_cast<const char*>(m_file.data() + m_file.size());
    const auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc{}) return false;
    m_pos += static_cast<size_t>(result.ptr - begin);
    return true;
  }

  // The single whitespace byte that ends a binary header.
  bool endOfHeader() {
    if (m_pos >= m_file.size()) return false;
    const uint8_t c = m_file[m_pos];
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return false;
    ++m_pos;
    return true;
  }

  size_t pos() const { return m_pos; }
  size_t remaining() const { return m_file.size() - m_pos; }

 private:
  Bytes m_file;
  size_t m_pos;
};

}  // namespace

HRESULT decodePpm(Bytes file, DecodedImage& image) {
  if (file.size() < 3 || file[0] != 'P') return kRejected;
  const uint8_t kind = file[1];
  if (kind != '2' && kind != '3' && kind != '5' && kind != '6') return kRejected;
  const bool colour = kind == '3' || kind == '6', ascii = kind == '2' || kind == '3';
  HeaderReader reader(file, 2);
  uint32_t width = 0, height = 0, maxValue = 0;
  if (!reader.skipSpace() || !reader.number(kMaxDimension, width) || !reader.number(kMaxDimension, height) ||
      !reader.number(65535, maxValue) || width == 0 || height == 0 || maxValue == 0)
    return kRejected;
  if (!ascii && !reader.endOfHeader()) return kRejected;

  const uint32_t channels = colour ? 3 : 1, sampleBytes = maxValue > 255 ? 2 : 1;
  const uint64_t samples = uint64_t{width} * height * channels;
  // Each text sample takes a digit and a separator (the last may end the file).
  const uint64_t minimumBytes = ascii ? samples * 2 - 1 : samples * sampleBytes;
  if (minimumBytes > reader.remaining()) return kRejected;
  const uint8_t* data = file.data() + reader.pos();

  if (!ascii && !colour && maxValue == 255) {  // plain 8-bit grey: usable where it lies
    usePixelsInPlace(image, D3DFMT_L8, data, width, width, height);
    return S_OK;
  }
  const D3DFORMAT format =
      maxValue > 255 ? (colour ? D3DFMT_A16B16G16R16 : D3DFMT_L16) : (colour ? D3DFMT_X8R8G8B8 : D3DFMT_L8);
  if (const HRESULT hr = allocatePicture(image, format, width, height); hr != S_OK) return hr;
  const uint32_t outMax = maxValue > 255 ? 65535 : 255;
  size_t binaryPos = 0;
  auto nextSample = [&](uint32_t& value) {
    if (ascii) return reader.number(maxValue, value);
    value = sampleBytes == 2 ? (uint32_t{data[binaryPos]} << 8) | data[binaryPos + 1] : data[binaryPos];
    binaryPos += sampleBytes;
    return value <= maxValue;
  };
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* row = image.storage.get() + size_t{y} * image.pitch;
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t v[3] = {};
      for (uint32_t c = 0; c < channels; ++c) {
        if (!nextSample(v[c])) return kRejected;
        v[c] = (v[c] * outMax + maxValue / 2) / maxValue;
      }
      switch (format) {
        case D3DFMT_L8:
          row[x] = static_cast<uint8_t>(v[0]);
          break;
        case D3DFMT_L16:
          row[2 * x] = static_cast<uint8_t>(v[0]);
          row[2 * x + 1] = static_cast<uint8_t>(v[0] >> 8);
          break;
        case D3DFMT_X8R8G8B8:
          putLe32(row + 4 * x, 0xFF000000u | (v[0] << 16) | (v[1] << 8) | v[2]);
          break;
        default:  // A16B16G16R16: red, green, blue, alpha from the lowest address up
          for (uint32_t c = 0; c < 4; ++c) {
            const uint32_t s = c < 3 ? v[c] : 65535;
            row[8 * x + 2 * c] = static_cast<uint8_t>(s);
            row[8 * x + 2 * c + 1] = static_cast<uint8_t>(s >> 8);
          }
      }
    }
  }
  return S_OK;
}

// Float maps hold rows bottom-up; the sign of the scale gives the byte order (negative:
// little-endian). Both colour and grey maps become four float channels.
HRESULT decodePfm(Bytes file, DecodedImage& image) {
  if (file.size() < 3 || file[0] != 'P' || (file[1] != 'F' && file[1] != 'f')) return kRejected;
  const bool colour = file[1] == 'F';
  HeaderReader reader(file, 2);
  uint32_t width = 0, height = 0;
  float scale = 0;
  if (!reader.skipSpace() || !reader.number(kMaxDimension, width) || !reader.number(kMaxDimension, height) ||
      !reader.real(scale) || !reader.endOfHeader() || width == 0 || height == 0 || scale == 0 || !std::isfinite(scale))
    return kRejected;
  const uint32_t channels = colour ? 3 : 1;
  if (uint64_t{width} * height * channels * 4 > reader.remaining()) return kRejected;
  if (const HRESULT hr = allocatePicture(image, D3DFMT_A32B32G32R32F, width, height); hr != S_OK) return hr;
  const bool littleEndian = scale < 0;
  const uint8_t* data = file.data() + reader.pos();
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* src = data + size_t{height - 1 - y} * width * channels * 4;
    uint8_t* dst = image.storage.get() + size_t{y} * image.pitch;
    for (uint32_t x = 0; x < width; ++x) {
      float rgb[3];
      for (uint32_t c = 0; c < channels; ++c) {
        const uint8_t* s = src + (size_t{x} * channels + c) * 4;
        const uint32_t bits = littleEndian ? le32(s) : be32(s);
        std::memcpy(&rgb[c], &bits, 4);
      }
      if (!colour) rgb[1] = rgb[2] = rgb[0];
      for (uint32_t c = 0; c < 3; ++c) putFloat(dst + 16 * x + 4 * c, rgb[c]);
      putFloat(dst + 16 * x + 12, 1.0f);
    }
  }
  return S_OK;
}

}  // namespace d3dx::image
