// Decoders that turn a file held in memory into float stereo frames at the output rate.
// A decoder is used by one thread at a time (the decoder worker once its source is playing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kq::sound {

class Decoder {
 public:
  virtual ~Decoder() = default;
  // Writes up to `frames` interleaved stereo frames; fewer only when the sound has ended (or its
  // data turned bad), which sets `ended`. Allocation-free in steady state but not real-time safe.
  virtual size_t render(float* out, size_t frames, bool& ended) = 0;
  // Back to the first frame.
  virtual void rewind() = 0;
  // Modules only: whether the song repeats forever instead of ending.
  virtual void setLooping(bool) {}
};

// MPEG layer 3 in any of its rates, mono or stereo, decoded at its own rate and converted to
// stereo at `outRate`. Null (and a reason in `why`) for data whose first frame does not decode
// as layer 3.
std::unique_ptr<Decoder> openMp3(std::vector<std::uint8_t> bytes, int outRate, std::string* why);

// Any module format libopenmpt reads. Starts out repeating forever; ends exactly at the song's
// end when looping is off. Null (and a reason) for data libopenmpt rejects.
std::unique_ptr<Decoder> openModule(const std::vector<std::uint8_t>& bytes, int outRate, std::string* why);

}  // namespace kq::sound
