// Arbitrary bytes as an MP3 and as a module: opening either rejects them or yields a decoder
// that renders, ends and rewinds without reading or writing out of bounds.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "decoders.h"

namespace {

void exercise(kq::sound::Decoder& d) {
  std::vector<float> out(2 * 1024);
  for (int pass = 0; pass < 2; ++pass) {
    bool ended = false;
    for (int i = 0; i < 64 && !ended; ++i) d.render(out.data(), 1024, ended);
    d.rewind();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  std::vector<std::uint8_t> bytes(data, data + size);
  if (auto mp3 = kq::sound::openMp3(bytes, 44100, nullptr)) exercise(*mp3);
  if (auto mod = kq::sound::openModule(bytes, 48000, nullptr)) {
    mod->setLooping(false);
    exercise(*mod);
  }
  return 0;
}
