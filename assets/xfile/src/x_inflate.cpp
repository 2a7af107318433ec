// Compressed X files ("tzip", "bzip"): after the 16-byte header a 32-bit size of the whole
// uncompressed file, then blocks of at most 32768 uncompressed bytes, each a 16-bit
// uncompressed size, a 16-bit compressed size that counts the "CK" signature, the signature
// and raw deflate data that uses the previous block's output as its preset dictionary.
#include <zlib.h>

#include <cstring>

#include "x_document.h"

namespace d3dx::xfile {
namespace {

constexpr size_t kMaxBlock = 32768;

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

class RawInflater {
 public:
  RawInflater() { m_ok = inflateInit2(&m_z, -MAX_WBITS) == Z_OK; }
  ~RawInflater() {
    if (m_ok) inflateEnd(&m_z);
  }
  RawInflater(const RawInflater&) = delete;
  RawInflater& operator=(const RawInflater&) = delete;

  bool ok() const { return m_ok; }
  // Inflates exactly `outSize` bytes from `in`, all of which must be one complete deflate stream.
  bool block(const uint8_t* in, size_t inSize, const uint8_t* dictionary, size_t dictionarySize, uint8_t* out,
             size_t outSize) {
    if (inflateReset(&m_z) != Z_OK) return false;
    if (dictionarySize > 0 && inflateSetDictionary(&m_z, dictionary, static_cast<uInt>(dictionarySize)) != Z_OK) {
      return false;
    }
    m_z.next_in = const_cast<Bytef*>(in);
    m_z.avail_in = static_cast<uInt>(inSize);
    m_z.next_out = out;
    m_z.avail_out = static_cast<uInt>(outSize);
    return inflate(&m_z, Z_FINISH) == Z_STREAM_END && m_z.avail_out == 0 && m_z.avail_in == 0;
  }

 private:
  z_stream m_z{};
  bool m_ok = false;
};

}  // namespace

HRESULT inflateXFile(const uint8_t* bytes, size_t size, std::vector<uint8_t>& out) {
  if (size < 20) return D3DXFERR_PARSEERROR;
  RawInflater inflater;
  if (!inflater.ok()) return E_OUTOFMEMORY;
  out.assign(bytes, bytes + 16);
  std::memcpy(out.data() + 8, std::memcmp(bytes + 8, "tzip", 4) == 0 ? "txt " : "bin ", 4);
  // The total size is only what the writer meant; the blocks themselves say what they hold,
  // so nothing is allocated on its word.
  size_t pos = 20;
  size_t previous = 0;  // size of the last block's output, its dictionary for the next
  while (pos < size) {
    if (size - pos < 6) return D3DXFERR_PARSEERROR;
    const size_t blockSize = le16(bytes + pos);
    const size_t packedSize = le16(bytes + pos + 2);
    if (blockSize == 0 || blockSize > kMaxBlock || packedSize < 2 || packedSize - 2 > size - pos - 6 ||
        bytes[pos + 4] != 'C' || bytes[pos + 5] != 'K') {
      return D3DXFERR_PARSEERROR;
    }
    const size_t at = out.size();
    out.resize(at + blockSize);
    if (!inflater.block(bytes + pos + 6, packedSize - 2, out.data() + at - previous, previous, out.data() + at,
                        blockSize)) {
      return D3DXFERR_PARSEERROR;
    }
    previous = blockSize;
    pos += 4 + packedSize;
  }
  return S_OK;
}

}  // namespace d3dx::xfile
