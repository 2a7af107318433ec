// MP3 encoding of a rendered tune (44.1 kHz stereo, constant bit rate, ID3v2 title).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tune {

struct Stereo;

struct Mp3Result {
  bool ok = false;
  std::string error;
  std::vector<uint8_t> bytes;
};

constexpr int kMp3Kbps = 192;

// Encodes deterministically: no time-dependent tag fields, and a LAME info frame so decoders
// trim the encoder delay and padding and the decoded length equals the input's.
Mp3Result encodeMp3(const Stereo& audio, const std::string& title, const std::string& artist);

}  // namespace tune
