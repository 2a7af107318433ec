#include "dsp.h"
#include "instruments.h"
#include "loudness.h"
#include "mp3_encoder.h"
#include "song.h"

#include <gtest/gtest.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

using tune::Inst;

// Pitch by autocorrelation over a steady stretch, refined between lags.
double measuredHz(const std::vector<float>& v, double expectedHz, size_t from) {
  const size_t len = 8192;
  auto ac = [&](int lag) {
    double s = 0.0;
    for (size_t i = from; i < from + len; ++i) s += v[i] * v[i + lag];
    return s;
  };
  const int lo = static_cast<int>(tune::kRate / (expectedHz * 1.1));
  const int hi = static_cast<int>(tune::kRate / (expectedHz / 1.1));
  int best = lo;
  for (int lag = lo; lag <= hi; ++lag)
    if (ac(lag) > ac(best)) best = lag;
  const double y0 = ac(best - 1), y1 = ac(best), y2 = ac(best + 1);
  return tune::kRate / (best + 0.5 * (y0 - y2) / (y0 - 2 * y1 + y2));
}

TEST(Instruments, PitchedVoicesPlayInTune) {
  const struct {
    Inst inst;
    double key;
  } cases[] = {{Inst::Piano, 60},        {Inst::EPiano, 57},     {Inst::Harp, 62},           {Inst::UprightBass, 40},
               {Inst::ElectricBass, 45}, {Inst::SurfGuitar, 64}, {Inst::Strings, 67},        {Inst::Choir, 60},
               {Inst::Organ, 55},        {Inst::Flute, 74},      {Inst::Clarinet, 62},       {Inst::Trumpet, 67},
               {Inst::Horn, 58},         {Inst::LeadGuitar, 64}, {Inst::MutedPowerChord, 40}};
  for (const auto& c : cases) {
    const std::vector<float> v = tune::renderNote(c.inst, tune::NoteSpec{c.key, 1.0, 0.8f, 5});
    ASSERT_GT(v.size(), 13230u + 9000u) << static_cast<int>(c.inst);
    const double expected = tune::midiHz(c.key);
    const double cents = 1200.0 * std::log2(measuredHz(v, expected, 13230) / expected);
    EXPECT_NEAR(cents, 0.0, 5.0) << "instrument " << static_cast<int>(c.inst);
  }
}

TEST(Instruments, EveryVoiceSoundsFiniteBoundedAndReproducible) {
  for (int i = 0; i <= static_cast<int>(Inst::Shaker); ++i) {
    const Inst inst = static_cast<Inst>(i);
    const tune::NoteSpec note{52.0, 0.4, 0.9f, 11};
    const std::vector<float> v = tune::renderNote(inst, note);
    ASSERT_FALSE(v.empty()) << i;
    float peak = 0.0f;
    for (float s : v) {
      ASSERT_TRUE(std::isfinite(s)) << i;
      peak = std::max(peak, std::fabs(s));
    }
    EXPECT_GT(peak, 0.05f) << "instrument " << i << " is nearly silent";
    EXPECT_LT(peak, 1.0f) << "instrument " << i << " is far too hot";
    EXPECT_LT(std::fabs(v.back()), 0.01f) << "instrument " << i << " ends with a click";
    EXPECT_EQ(v, tune::renderNote(inst, note)) << i;
  }
}

tune::Song tinySong() {
  tune::Song s;
  s.seconds = 3.0;
  for (int k = 0; k < 4; ++k) {
    tune::Event e;
    e.time = 0.01 + 0.5 * k;
    e.seconds = 0.4;
    e.key = 60 + 4 * k;
    e.inst = k % 2 ? Inst::Celesta : Inst::Strings;
    e.pan = k % 2 ? 0.7f : -0.7f;
    s.events.push_back(e);
  }
  return s;
}

TEST(Mixer, RendersThePlannedLengthAtTheLoudnessTargetAndFadesOut) {
  const tune::Mastering target{-20.0, -3.0};
  const tune::Stereo out = tune::renderSong(tinySong(), target);
  ASSERT_EQ(out.left.size(), static_cast<size_t>(3 * tune::kRate));
  ASSERT_EQ(out.right.size(), out.left.size());
  // Measured before the closing fade, which the leveller does not see.
  const tune::Stereo head{{out.left.begin(), out.left.begin() + 2 * tune::kRate},
                          {out.right.begin(), out.right.begin() + 2 * tune::kRate}};
  EXPECT_NEAR(tune::integratedLoudness(head, tune::kRate), target.loudness, 0.5);
  EXPECT_LE(20.0 * std::log10(tune::truePeak(out)), target.truePeak + 0.05);
  EXPECT_EQ(out.left.back(), 0.0f);
  EXPECT_EQ(out.right.back(), 0.0f);
  // Panning: the first note (left) is louder in the left channel.
  double l = 0.0, r = 0.0;
  for (size_t i = 0; i < 15000; ++i) {
    l += out.left[i] * out.left[i];
    r += out.right[i] * out.right[i];
  }
  EXPECT_GT(l, 2.0 * r);
}

// Thirty loud hits stacked on one instant over a quiet bed: summed, they are many times full
// scale. The master chain must bring that under the true-peak ceiling by limiting, not by clipping.
TEST(Mixer, LimiterHoldsTheCeilingOnAnOverload) {
  tune::Song s;
  s.seconds = 4.0;
  for (int k = 0; k < 4; ++k) {
    tune::Event bed;
    bed.time = 0.02 + k * 0.9;
    bed.seconds = 0.8;
    bed.key = 55 + 3 * k;
    bed.inst = Inst::Strings;
    bed.velocity = 0.4f;
    s.events.push_back(bed);
  }
  for (int k = 0; k < 30; ++k) {
    tune::Event hit;
    hit.time = 1.5 + k * 0.0004;
    hit.seconds = 0.3;
    hit.inst = k % 2 ? Inst::Crash : Inst::Kick;
    hit.velocity = 1.0f;
    hit.gain = 4.0f;
    hit.pan = k % 3 ? 0.9f : -0.9f;
    s.events.push_back(hit);
  }
  for (double peakDb : {-1.8, -6.0}) {
    const tune::Stereo out = tune::renderSong(s, {-14.0, peakDb});
    const float ceiling = tune::dbGain(peakDb) * 1.006f;  // the true peak, within 0.05 dB
    float peak = 0.0f;
    for (const std::vector<float>* ch : {&out.left, &out.right}) {
      for (float v : *ch) {
        ASSERT_TRUE(std::isfinite(v));
        peak = std::max(peak, std::fabs(v));
      }
    }
    // Held under the ceiling between samples too (a clipped waveform overshoots there), and
    // not ducked far below it.
    EXPECT_LE(tune::truePeak(out), ceiling) << peakDb;
    EXPECT_GT(peak, 0.6f * ceiling) << peakDb;
    // The bed stays audible: the overload ducks the mix only around the hits.
    double bed = 0.0;
    for (size_t i = tune::kRate / 2; i < tune::kRate; ++i) bed += out.left[i] * out.left[i];
    EXPECT_GT(10.0 * std::log10(bed / (tune::kRate / 2)), peakDb - 45.0);
  }
}

TEST(Mixer, SilenceStaysSilent) {
  tune::Song s;
  s.seconds = 1.0;
  const tune::Stereo out = tune::renderSong(s);
  ASSERT_EQ(out.left.size(), static_cast<size_t>(tune::kRate));
  for (size_t i = 0; i < out.left.size(); ++i) {
    ASSERT_EQ(out.left[i], 0.0f) << i;
    ASSERT_EQ(out.right[i], 0.0f) << i;
  }
}

TEST(Mp3Encoder, DecodesToTheSameLengthAndPitch) {
  tune::Stereo in;
  const size_t n = 2 * tune::kRate + 123;
  for (size_t i = 0; i < n; ++i) {
    in.left.push_back(static_cast<float>(0.5 * std::sin(2 * tune::kPi * 440.0 * i / tune::kRate)));
    in.right.push_back(static_cast<float>(0.25 * std::sin(2 * tune::kPi * 660.0 * i / tune::kRate)));
  }
  const tune::Mp3Result mp3 = tune::encodeMp3(in, "Test Tone", "Tester");
  ASSERT_TRUE(mp3.ok) << mp3.error;

  int err = 0;
  std::unique_ptr<mpg123_handle, void (*)(mpg123_handle*)> mh(mpg123_new(nullptr, &err), mpg123_delete);
  ASSERT_TRUE(mh);
  mpg123_param(mh.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  mpg123_format_none(mh.get());
  mpg123_format(mh.get(), 44100, MPG123_STEREO, MPG123_ENC_FLOAT_32);
  ASSERT_EQ(mpg123_open_feed(mh.get()), MPG123_OK);
  std::vector<float> pcm(n * 4);
  size_t done = 0;
  int rc = mpg123_decode(mh.get(), mp3.bytes.data(), mp3.bytes.size(), pcm.data(), pcm.size() * 4, &done);
  std::vector<float> decoded(pcm.begin(), pcm.begin() + done / 4);
  while (rc == MPG123_NEW_FORMAT || rc == MPG123_OK) {
    rc = mpg123_decode(mh.get(), nullptr, 0, pcm.data(), pcm.size() * 4, &done);
    decoded.insert(decoded.end(), pcm.begin(), pcm.begin() + done / 4);
    if (done == 0 && rc == MPG123_OK) break;
  }
  // Gapless decoding: exactly the input's frames, channels kept apart.
  ASSERT_EQ(decoded.size(), 2 * n);
  std::vector<float> left, right;
  for (size_t i = 0; i < n; ++i) {
    left.push_back(decoded[2 * i]);
    right.push_back(decoded[2 * i + 1]);
  }
  EXPECT_NEAR(measuredHz(left, 440.0, 20000), 440.0, 1.0);
  EXPECT_NEAR(measuredHz(right, 660.0, 20000), 660.0, 1.5);
  double el = 0.0, er = 0.0;
  for (size_t i = 10000; i < n - 10000; ++i) {
    el += left[i] * left[i];
    er += right[i] * right[i];
  }
  EXPECT_NEAR(10.0 * std::log10(el / er), 6.02, 0.5);  // the 2:1 level difference survives
}

}  // namespace
