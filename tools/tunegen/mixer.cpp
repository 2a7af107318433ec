#include "dsp.h"
#include "loudness.h"
#include "song.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tune {
namespace {

class Comb {
 public:
  explicit Comb(size_t n) : m_buf(n, 0.0f) {}
  float process(float in, float feedback, float damp) {
    const float out = m_buf[m_i];
    m_store = out * (1.0f - damp) + m_store * damp;
    m_buf[m_i] = in + m_store * feedback;
    if (++m_i == m_buf.size()) m_i = 0;
    return out;
  }

 private:
  std::vector<float> m_buf;
  size_t m_i = 0;
  float m_store = 0.0f;
};

class Allpass {
 public:
  explicit Allpass(size_t n) : m_buf(n, 0.0f) {}
  float process(float in) {
    const float b = m_buf[m_i];
    m_buf[m_i] = in + b * 0.5f;
    if (++m_i == m_buf.size()) m_i = 0;
    return b - in;
  }

 private:
  std::vector<float> m_buf;
  size_t m_i = 0;
};

// Schroeder-Moorer room: eight damped combs and four allpasses per side, sides detuned.
void roomReverb(const std::vector<float>& in, Stereo& out, double room, double damping, double predelay) {
  const std::array<size_t, 8> combs{1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
  const std::array<size_t, 4> alls{556, 441, 341, 225};
  const float feedback = static_cast<float>(room * 0.28 + 0.7);
  const float damp = static_cast<float>(damping * 0.4);
  const size_t pre = static_cast<size_t>(predelay * kRate);
  for (int side = 0; side < 2; ++side) {
    std::vector<Comb> cs;
    std::vector<Allpass> as;
    for (size_t c : combs) cs.emplace_back(c + side * 23);
    for (size_t a : alls) as.emplace_back(a + side * 23);
    std::vector<float>& dst = side == 0 ? out.left : out.right;
    OnePole hp;
    hp.setLowpass(180.0);  // keep the bass out of the tail: it only muddies
    for (size_t i = 0; i < dst.size(); ++i) {
      const float x = hp.highpass(i >= pre && i - pre < in.size() ? in[i - pre] : 0.0f) * 0.015f;
      float s = 0.0f;
      for (Comb& c : cs) s += c.process(x, feedback, damp);
      for (Allpass& a : as) s = a.process(s);
      dst[i] += s * 3.0f;
    }
  }
}

// Two springs: a feedback delay each, with a chain of first-order allpasses inside the loop
// whose frequency-dependent delay gives the chirping "drip" of a spring tank.
void springReverb(const std::vector<float>& in, Stereo& out, float mix) {
  const std::array<size_t, 2> lengths{1543, 1871};
  for (int s = 0; s < 2; ++s) {
    std::vector<float> line(lengths[s], 0.0f);
    std::array<float, 12> apX{}, apY{};
    const float a = 0.62f;
    OnePole lp, hp;
    lp.setLowpass(4200.0);
    hp.setLowpass(250.0);
    size_t w = 0;
    for (size_t i = 0; i < out.left.size(); ++i) {
      float y = line[w];
      for (size_t k = 0; k < apX.size(); ++k) {
        const float o = -a * y + apX[k] + a * apY[k];
        apX[k] = y;
        apY[k] = o;
        y = o;
      }
      y = lp.lowpass(y);
      const float x = i < in.size() ? in[i] : 0.0f;
      line[w] = x * 0.6f + y * 0.74f;
      if (++w == line.size()) w = 0;
      const float o = hp.highpass(y) * mix;
      (s == 0 ? out.left : out.right)[i] += o;
      (s == 0 ? out.right : out.left)[i] += o * 0.35f;
    }
  }
}

uint64_t eventSeed(size_t index, const Event& e) {
  return (static_cast<uint64_t>(index) + 1) * 0x2545F4914F6CDD1Dull ^
         static_cast<uint64_t>(e.key * 1000.0 + e.time * 44100.0);
}

float samplePeak(const Stereo& mix) {
  float peak = 0.0f;
  for (size_t i = 0; i < mix.left.size(); ++i) peak = std::max({peak, std::fabs(mix.left[i]), std::fabs(mix.right[i])});
  return peak;
}

void scale(Stereo& mix, float g) {
  for (size_t i = 0; i < mix.left.size(); ++i) {
    mix.left[i] *= g;
    mix.right[i] *= g;
  }
}

// Gentle bus compression on the RMS level, relative to the mix's peak: glues the parts
// without pumping, and slowly enough that quiet sections stay quieter than loud ones.
void compress(Stereo& mix, double ratio) {
  const size_t n = mix.left.size();
  const float peak = samplePeak(mix);
  if (peak <= 0.0f) return;
  const double threshold = std::pow(10.0, -16.0 / 20.0) * peak;
  const double att = 1.0 - std::exp(-1.0 / (0.02 * kRate));
  const double rel = 1.0 - std::exp(-1.0 / (0.3 * kRate));
  const double msCoef = 1.0 - std::exp(-1.0 / (0.05 * kRate));
  double ms = 0.0, gainDb = 0.0;
  for (size_t i = 0; i < n; ++i) {
    const double l = mix.left[i], r = mix.right[i];
    ms += msCoef * (0.5 * (l * l + r * r) - ms);
    const double rms = std::sqrt(ms) + 1e-12;
    double target = 0.0;
    if (rms > threshold) target = -(20.0 * std::log10(rms / threshold)) * (1.0 - 1.0 / ratio);
    gainDb += (target < gainDb ? att : rel) * (target - gainDb);
    const float g = dbGain(gainDb);
    mix.left[i] *= g;
    mix.right[i] *= g;
  }
}

void brighten(Stereo& mix, double gainDb) {
  if (gainDb == 0.0) return;
  for (std::vector<float>* channel : {&mix.left, &mix.right}) {
    Biquad shelf = Biquad::highShelf(kRate, 5000.0, gainDb, 0.6);
    for (float& v : *channel) v = static_cast<float>(shelf.process(v));
  }
}

// Look-ahead peak limiter: no sample above `ceiling`, the gain eased down over 2.5 ms before a
// peak and back up over about 80 ms after it.
void limit(Stereo& mix, float ceiling) {
  const size_t n = mix.left.size();
  std::vector<float> g(n);
  for (size_t i = 0; i < n; ++i) {
    const float p = std::max(std::fabs(mix.left[i]), std::fabs(mix.right[i]));
    g[i] = p > ceiling ? ceiling / p : 1.0f;
  }
  const float attackStep = 1.0f / 110.0f;
  for (size_t i = n; i-- > 1;) g[i - 1] = std::min(g[i - 1], g[i] + attackStep);
  const float relCoef = static_cast<float>(1.0 - std::exp(-1.0 / (0.08 * kRate)));
  float cur = 1.0f;
  for (size_t i = 0; i < n; ++i) {
    cur = std::min(g[i], cur + (1.0f - cur) * relCoef);
    mix.left[i] *= cur;
    mix.right[i] *= cur;
  }
}

// Levels the mix to the integrated loudness asked for, with the limiter holding the true peak
// under the ceiling. Limiting costs a little loudness, so the gain is found in a few passes.
Stereo level(const Stereo& mix, const Mastering& target) {
  const double measured = integratedLoudness(mix, kRate);
  if (measured <= -69.0) return mix;  // silence (or nearly): nothing to level
  double gainDb = target.loudness - measured;
  double ceilingDb = target.truePeak;
  Stereo out;
  for (int pass = 0; pass < 6; ++pass) {
    out = mix;
    scale(out, dbGain(gainDb));
    limit(out, dbGain(ceilingDb));
    const double overshoot = 20.0 * std::log10(truePeak(out) + 1e-12) - target.truePeak;
    if (overshoot > 0.02) {
      ceilingDb -= overshoot + 0.02;  // between samples the limited waveform still rises
      continue;
    }
    const double error = target.loudness - integratedLoudness(out, kRate);
    if (std::fabs(error) < 0.1) break;
    gainDb += error;
  }
  return out;
}

}  // namespace

Stereo renderSong(const Song& song, const Mastering& target) {
  const size_t n = static_cast<size_t>(std::llround(song.seconds * kRate));
  Stereo dry{std::vector<float>(n, 0.0f), std::vector<float>(n, 0.0f)};
  std::vector<float> send(n, 0.0f), spring;
  for (size_t e = 0; e < song.events.size(); ++e) {
    const Event& ev = song.events[e];
    const long start = std::lround(ev.time * kRate);
    if (start >= static_cast<long>(n)) continue;
    const std::vector<float> note = renderNote(ev.inst, NoteSpec{ev.key, ev.seconds, ev.velocity, eventSeed(e, ev)});
    const double angle = (std::clamp(ev.pan, -1.0f, 1.0f) + 1.0) * kPi / 4.0;
    const float gl = static_cast<float>(std::cos(angle) * ev.gain * std::sqrt(2.0));
    const float gr = static_cast<float>(std::sin(angle) * ev.gain * std::sqrt(2.0));
    const float gs = ev.reverb * ev.gain;
    if (ev.bus == Bus::Spring && spring.empty()) spring.assign(n, 0.0f);
    for (size_t i = 0; i < note.size(); ++i) {
      const long t = start + static_cast<long>(i);
      if (t < 0) continue;
      if (t >= static_cast<long>(n)) break;
      const float v = note[i];
      dry.left[t] += v * gl;
      dry.right[t] += v * gr;
      send[t] += v * gs;
      if (ev.bus == Bus::Spring) spring[t] += v * ev.gain;
    }
  }
  if (!spring.empty()) {
    springReverb(spring, dry, song.springMix);
    for (size_t i = 0; i < n; ++i) send[i] += spring[i] * 0.1f;
  }
  roomReverb(send, dry, song.roomSize, song.roomDamping, song.predelay);
  OnePole dcl, dcr;
  dcl.setLowpass(20.0);
  dcr.setLowpass(20.0);
  for (size_t i = 0; i < n; ++i) {
    dry.left[i] = dcl.highpass(dry.left[i]);
    dry.right[i] = dcr.highpass(dry.right[i]);
  }
  const float peak = samplePeak(dry);
  if (peak > 0.0f) scale(dry, 1.0f / peak);
  compress(dry, song.compression);
  brighten(dry, song.brightness);
  dry = level(dry, target);
  const size_t fadeIn = std::min<size_t>(n, 88);
  for (size_t i = 0; i < fadeIn; ++i) {
    dry.left[i] *= static_cast<float>(i) / fadeIn;
    dry.right[i] *= static_cast<float>(i) / fadeIn;
  }
  const size_t fadeOut = std::min<size_t>(n, kRate);
  for (size_t i = 0; i < fadeOut; ++i) {
    const double x = static_cast<double>(i) / fadeOut;  // 0 at the last sample
    const float g = static_cast<float>(x * x);
    dry.left[n - 1 - i] *= g;
    dry.right[n - 1 - i] *= g;
  }
  return dry;
}

}  // namespace tune
