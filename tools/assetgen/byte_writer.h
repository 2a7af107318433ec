// Little-endian byte assembly for the binary formats, and a bounded reader for checking them.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace assetgen {

class ByteWriter {
 public:
  void u8(uint8_t v) { m_bytes.push_back(v); }
  void u16(uint16_t v) {
    u8(static_cast<uint8_t>(v));
    u8(static_cast<uint8_t>(v >> 8));
  }
  void u32(uint32_t v) {
    u16(static_cast<uint16_t>(v));
    u16(static_cast<uint16_t>(v >> 16));
  }
  void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
  void bytes(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    m_bytes.insert(m_bytes.end(), b, b + n);
  }
  void text(std::string_view s) { bytes(s.data(), s.size()); }
  size_t size() const { return m_bytes.size(); }
  std::vector<uint8_t> take() { return std::move(m_bytes); }

 private:
  std::vector<uint8_t> m_bytes;
};

// Reads from one bounded cursor; every read reports whether the bytes were there.
class ByteReader {
 public:
  explicit ByteReader(const std::vector<uint8_t>& bytes) : m_data(bytes.data()), m_size(bytes.size()) {}
  ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

  size_t remaining() const { return m_size - m_pos; }
  size_t position() const { return m_pos; }
  bool seek(size_t pos) {
    if (pos > m_size) return false;
    m_pos = pos;
    return true;
  }
  bool u8(uint8_t& v) { return read(&v, 1); }
  bool u16(uint16_t& v) {
    uint8_t b[2];
    if (!read(b, 2)) return false;
    v = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
  }
  bool u32(uint32_t& v) {
    uint8_t b[4];
    if (!read(b, 4)) return false;
    v = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
        (static_cast<uint32_t>(b[3]) << 24);
    return true;
  }
  bool i32(int32_t& v) {
    uint32_t u;
    if (!u32(u)) return false;
    v = static_cast<int32_t>(u);
    return true;
  }
  bool read(void* out, size_t n) {
    if (n > remaining()) return false;
    std::memcpy(out, m_data + m_pos, n);
    m_pos += n;
    return true;
  }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
};

}  // namespace assetgen
