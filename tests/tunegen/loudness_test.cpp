// The loudness meter against signals whose readings are known: the reference cases that
// broadcast loudness meters are checked with.
#include "loudness.h"

#include "dsp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

struct Segment {
  double seconds;
  double levelDb;  // peak amplitude of the sine, dBFS
  double hz = 1000.0;
};

// A stereo sine (the same in both channels) stepping through the segments.
tune::Stereo sines(const std::vector<Segment>& segments, double phase = 0.0) {
  tune::Stereo s;
  for (const Segment& seg : segments) {
    const size_t n = static_cast<size_t>(seg.seconds * tune::kRate);
    const double a = std::pow(10.0, seg.levelDb / 20.0);
    for (size_t i = 0; i < n; ++i) {
      const float v = static_cast<float>(a * std::sin(tune::kTwoPi * seg.hz * i / tune::kRate + phase));
      s.left.push_back(v);
      s.right.push_back(v);
    }
  }
  return s;
}

TEST(Loudness, SineReadsItsLevelAndSilenceIsGatedOut) {
  const tune::Loudness steady = tune::measureLoudness(sines({{20, -23}}), tune::kRate);
  EXPECT_NEAR(steady.integrated, -23.0, 0.1);
  EXPECT_NEAR(steady.range, 0.0, 0.1);
  EXPECT_NEAR(steady.truePeak, -23.0, 0.1);
  // Quiet passages under the relative gate and silence under the absolute one do not count.
  EXPECT_NEAR(tune::integratedLoudness(sines({{10, -72}, {10, -36}, {20, -23}, {10, -36}, {10, -200}}), tune::kRate),
              -23.0, 0.1);
  // Passages within the gate do count: half the time 10 dB quieter reads 2.6 dB lower.
  EXPECT_NEAR(tune::integratedLoudness(sines({{20, -23}, {20, -33}}), tune::kRate), -25.6, 0.15);
  const tune::Loudness silence = tune::measureLoudness(sines({{5, -200}}), tune::kRate);
  EXPECT_EQ(silence.integrated, -70.0);
  EXPECT_EQ(silence.range, 0.0);
}

TEST(Loudness, WeightingFavoursThePresenceRangeOverTheDeepBass) {
  const double mid = tune::integratedLoudness(sines({{10, -20, 1000}}), tune::kRate);
  const double high = tune::integratedLoudness(sines({{10, -20, 10000}}), tune::kRate);
  const double deep = tune::integratedLoudness(sines({{10, -20, 20}}), tune::kRate);
  EXPECT_GT(high - mid, 2.5);
  EXPECT_LT(high - mid, 4.5);
  EXPECT_LT(deep - mid, -8.0);
}

TEST(Loudness, RangeSpansTheLoudAndQuietHalves) {
  EXPECT_NEAR(tune::measureLoudness(sines({{20, -20}, {20, -30}}), tune::kRate).range, 10.0, 0.5);
  EXPECT_NEAR(tune::measureLoudness(sines({{20, -20}, {20, -25}, {20, -30}}), tune::kRate).range, 10.0, 0.5);
}

// A quarter-rate sine sampled 45 degrees off its crests: every sample sits 3 dB under the peak
// the waveform reaches between them.
TEST(Loudness, TruePeakFindsTheCrestBetweenSamples) {
  const tune::Stereo s = sines({{1, -6.0206, tune::kRate / 4.0}}, tune::kPi / 4);
  float samplePeak = 0.0f;
  for (float v : s.left) samplePeak = std::max(samplePeak, std::fabs(v));
  EXPECT_NEAR(20.0 * std::log10(samplePeak), -9.03, 0.05);
  EXPECT_NEAR(tune::measureLoudness(s, tune::kRate).truePeak, -6.02, 0.2);
}

}  // namespace
