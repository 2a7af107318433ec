// A rendered tune: timed note events, the buses they feed, and the master chain.
#pragma once

#include "instruments.h"

#include <string>
#include <vector>

namespace tune {

enum class Bus { Main, Spring };

struct Event {
  double time = 0.0;     // seconds from the start of the tune
  double seconds = 0.5;  // held length
  double key = 60.0;
  float velocity = 0.8f;
  Inst inst = Inst::Piano;
  float pan = 0.0f;     // -1 left .. +1 right
  float reverb = 0.2f;  // send to the room reverb
  float gain = 1.0f;
  Bus bus = Bus::Main;
};

struct Song {
  std::string title;
  std::vector<Event> events;
  double seconds = 0.0;    // planned length: the rendered audio has exactly this many seconds
  double roomSize = 0.75;  // reverb
  double roomDamping = 0.4;
  double predelay = 0.02;
  float springMix = 0.6f;    // spring reverb level on the Spring bus
  double compression = 2.0;  // master compressor ratio
  double brightness = 0.0;   // master high shelf above 5 kHz, dB
};

// Where the master chain puts every tune: the same integrated loudness for all, so none jumps
// out when the playlist moves on, and true peaks low enough that an MP3 decoder's overshoot
// stays under -1 dBTP.
struct Mastering {
  double loudness = -14.0;  // LUFS
  double truePeak = -1.8;   // dBTP
};

struct Stereo {
  std::vector<float> left;
  std::vector<float> right;
};

// Renders every event through the buses, reverbs and master chain (compressor, high shelf,
// leveller and limiter), with a short fade-in and a fade-out over the final second.
Stereo renderSong(const Song& song, const Mastering& target = {});

}  // namespace tune
