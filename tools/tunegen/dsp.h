// Small deterministic DSP building blocks shared by the instruments and the mixer.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace tune {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

inline double midiHz(double key) { return 440.0 * std::pow(2.0, (key - 69.0) / 12.0); }
inline float dbGain(double db) { return static_cast<float>(std::pow(10.0, db / 20.0)); }

// xorshift PRNG: the same sequence on every platform, unlike the std distributions.
class Rng {
 public:
  explicit Rng(uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) { next(); }
  uint64_t next() {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 7;
    m_state ^= m_state << 17;
    return m_state;
  }
  double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
  double bipolar() { return uniform() * 2.0 - 1.0; }

 private:
  uint64_t m_state;
};

// Table sine with linear interpolation; phase in cycles.
class SineTable {
 public:
  static float at(double phase) {
    static const SineTable table;
    const double p = (phase - std::floor(phase)) * kSize;
    const int i = static_cast<int>(p);
    const float f = static_cast<float>(p - i);
    return table.m_v[i] + (table.m_v[i + 1] - table.m_v[i]) * f;
  }

 private:
  static constexpr int kSize = 4096;
  SineTable() : m_v(kSize + 1) {
    for (int i = 0; i <= kSize; ++i) m_v[i] = static_cast<float>(std::sin(kTwoPi * i / kSize));
  }
  std::vector<float> m_v;
};

// Sine oscillator by rotation: two multiplies per sample, exact frequency.
class Rotor {
 public:
  Rotor() = default;
  Rotor(double hz, double phase = 0.0) { set(hz, phase); }
  void set(double hz, double phase = 0.0) {
    const double w = kTwoPi * hz / kRate;
    m_c = std::cos(w);
    m_s = std::sin(w);
    m_x = std::cos(kTwoPi * phase);
    m_y = std::sin(kTwoPi * phase);
  }
  double step() {
    const double y = m_y;
    const double x = m_x * m_c - m_y * m_s;
    m_y = m_x * m_s + m_y * m_c;
    m_x = x;
    return y;
  }

 private:
  double m_c = 1, m_s = 0, m_x = 1, m_y = 0;
};

inline double polyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

// Band-limited sawtooth (polyBLEP).
class Saw {
 public:
  explicit Saw(double phase = 0.0) : m_phase(phase) {}
  double step(double hz) {
    const double dt = hz / kRate;
    double v = 2.0 * m_phase - 1.0 - polyBlep(m_phase, dt);
    m_phase += dt;
    if (m_phase >= 1.0) m_phase -= 1.0;
    return v;
  }

 private:
  double m_phase;
};

// Band-limited pulse wave (two polyBLEPs).
class Pulse {
 public:
  explicit Pulse(double phase = 0.0) : m_phase(phase) {}
  double step(double hz, double width) {
    const double dt = hz / kRate;
    double v = m_phase < width ? 1.0 : -1.0;
    v += polyBlep(m_phase, dt);
    double t2 = m_phase - width;
    if (t2 < 0) t2 += 1.0;
    v -= polyBlep(t2, dt);
    m_phase += dt;
    if (m_phase >= 1.0) m_phase -= 1.0;
    return v;
  }

 private:
  double m_phase;
};

class OnePole {
 public:
  void setLowpass(double hz) { m_a = static_cast<float>(1.0 - std::exp(-kTwoPi * hz / kRate)); }
  float lowpass(float x) { return m_z += m_a * (x - m_z); }
  float highpass(float x) { return x - lowpass(x); }

 private:
  float m_a = 1.0f;
  float m_z = 0.0f;
};

// State-variable filter (Chamberlin, oversampled twice for stability at high cutoffs).
class Svf {
 public:
  void set(double hz, double q) {
    const double f = std::min(hz, kRate * 0.2);
    m_f = static_cast<float>(2.0 * std::sin(kPi * f / (2.0 * kRate)));
    m_q = static_cast<float>(1.0 / q);
  }
  // Returns low-pass; band and high are kept for the callers that need them.
  float process(float x) {
    for (int i = 0; i < 2; ++i) {
      m_low += m_f * m_band;
      high = x - m_low - m_q * m_band;
      m_band += m_f * high;
    }
    band = m_band;
    return m_low;
  }
  float band = 0.0f;
  float high = 0.0f;

 private:
  float m_f = 0.1f, m_q = 1.0f, m_low = 0.0f, m_band = 0.0f;
};

// Direct form I biquad in double precision: shelves a few hertz wide at the bottom of the
// spectrum need more than a float's resolution in the feedback path.
class Biquad {
 public:
  Biquad(double b0, double b1, double b2, double a1, double a2) : m_b0(b0), m_b1(b1), m_b2(b2), m_a1(a1), m_a2(a2) {}
  // A high shelf of `gainDb` above `hz` (slope set by `q`) from its analogue prototype.
  static Biquad highShelf(double rate, double hz, double gainDb, double q) {
    const double k = std::tan(kPi * hz / rate);
    const double a = std::pow(10.0, gainDb / 20.0);
    const double a0 = 1.0 + k / q + k * k;
    return Biquad((a + std::sqrt(a) * k / q + k * k) / a0, 2.0 * (k * k - a) / a0,
                  (a - std::sqrt(a) * k / q + k * k) / a0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0);
  }
  double process(double x) {
    const double y = m_b0 * x + m_b1 * m_x1 + m_b2 * m_x2 - m_a1 * m_y1 - m_a2 * m_y2;
    m_x2 = m_x1;
    m_x1 = x;
    m_y2 = m_y1;
    m_y1 = y;
    return y;
  }

 private:
  double m_b0, m_b1, m_b2, m_a1, m_a2;
  double m_x1 = 0, m_x2 = 0, m_y1 = 0, m_y2 = 0;
};

// Exponential decay per sample for a time constant to fall by 60 dB.
inline double decayPerSample(double t60) { return std::exp(std::log(0.001) / (t60 * kRate)); }

}  // namespace tune
