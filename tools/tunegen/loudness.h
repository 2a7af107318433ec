// Loudness as listeners' meters read it (ITU-R BS.1770 with EBU R 128's loudness range): the
// mastering stage levels each tune with it, and the tests check the finished files with it.
#pragma once

#include "song.h"

namespace tune {

struct Loudness {
  double integrated = -70.0;  // LUFS, gated
  double range = 0.0;         // LU, spread of the short-term loudness (10th to 95th percentile)
  double truePeak = -120.0;   // dBTP, from a 4x oversampled signal
};

// Stereo at `rate` Hz; both channels weigh equally. Silence reads -70 LUFS and 0 LU.
Loudness measureLoudness(const Stereo& audio, int rate);

// Gated integrated loudness alone (LUFS): the cheaper half of measureLoudness.
double integratedLoudness(const Stereo& audio, int rate);

// Largest magnitude of the signal between samples (4x oversampled), as a linear value.
float truePeak(const Stereo& audio);

}  // namespace tune
