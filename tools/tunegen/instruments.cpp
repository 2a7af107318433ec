#include "instruments.h"

#include "dsp.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tune {
namespace {

size_t samplesFor(double seconds) { return static_cast<size_t>(std::max(0.0, seconds) * kRate) + 1; }

// Every note that is cut short rather than left to die away ends on a ramp at least this long
// (5.4 ms): shorter, and the cut is heard as a click.
constexpr size_t kEndRamp = 240;

void rampEnd(std::vector<float>& out) {
  const size_t fade = std::min(out.size(), kEndRamp);
  for (size_t i = 0; i < fade; ++i) out[out.size() - 1 - i] *= static_cast<float>(i) / fade;
}

// Linear attack, then hold; after `hold` seconds an exponential release to -60 dB in `release`.
class Envelope {
 public:
  Envelope(double attack, double hold, double release)
      : m_attack(std::max(1.0, attack * kRate)), m_hold(hold * kRate), m_rel(decayPerSample(release)) {}
  float step() {
    double v = m_n < m_attack ? m_n / m_attack : 1.0;
    if (m_n >= m_hold) {
      m_tail *= m_rel;
      v *= m_tail;
    }
    ++m_n;
    return static_cast<float>(v);
  }

 private:
  double m_attack, m_hold, m_rel;
  double m_tail = 1.0;
  double m_n = 0;
};

// Pitch vibrato as a frequency factor: silent for `onset` seconds, then growing to `depth`
// over `fadeIn` seconds, as a player lets it bloom on a held note.
class Vibrato {
 public:
  Vibrato(double depth, double rateHz, double onset, double fadeIn, double phase)
      : m_depth(depth), m_rate(rateHz), m_onset(onset), m_fadeIn(fadeIn), m_phase(phase) {}
  // The factor at `t` seconds into the note; advances one sample.
  double step(double t) {
    const double factor = 1.0 + m_depth * std::clamp((t - m_onset) / m_fadeIn, 0.0, 1.0) * SineTable::at(m_phase);
    m_phase += m_rate / kRate;
    return factor;
  }

 private:
  double m_depth, m_rate, m_onset, m_fadeIn, m_phase;
};

struct Partial {
  double ratio, amp, t60;
};

// Sum of decaying sinusoids: the common core of bars, bells, plucked strings and the piano.
std::vector<float> additive(double hz, const Partial* partials, size_t count, double held, double damp, double maxRing,
                            float gain, uint64_t seed) {
  const double ring = std::min(
      maxRing, std::max_element(partials, partials + count, [](auto& a, auto& b) { return a.t60 < b.t60; })->t60);
  const double length = std::min(held + damp, ring) + 0.01;
  std::vector<float> out(samplesFor(length), 0.0f);
  Rng rng(seed);
  Envelope env(0.002, held, damp);
  std::vector<float> envelope(out.size());
  for (float& e : envelope) e = env.step();
  for (size_t p = 0; p < count; ++p) {
    const double f = hz * partials[p].ratio;
    if (f > 18000.0 || partials[p].amp <= 0.0) continue;
    Rotor osc(f, rng.uniform());
    const double k = decayPerSample(partials[p].t60);
    double a = partials[p].amp * gain;
    for (size_t i = 0; i < out.size(); ++i) {
      out[i] += static_cast<float>(osc.step() * a);
      a *= k;
    }
  }
  for (size_t i = 0; i < out.size(); ++i) out[i] *= envelope[i];
  rampEnd(out);  // a capped ring
  return out;
}

std::vector<float> piano(const NoteSpec& n) {
  const double hz = midiHz(n.key);
  const double b = 0.00012 * std::exp((n.key - 60.0) * 0.045);
  const double sustain = std::clamp(9.0 * std::exp(-(n.key - 48.0) * 0.035), 1.2, 14.0);
  const double bright = 0.45 - 0.3 * n.velocity;
  std::array<Partial, 32> ps{};
  size_t count = 0;
  for (int k = 1; k <= 14; ++k) {
    const double ratio = k * std::sqrt(1.0 + b * k * k);
    if (hz * ratio > 12000.0) break;
    const double amp = std::pow(k, -1.1) * std::exp(-(k - 1) * bright) * (k == 1 ? 0.8 : 1.0);
    ps[count++] = {ratio, amp * 0.62, sustain / (1.0 + 0.45 * (k - 1))};
    // A second string a hair sharp for the first partials: the slow beating of a real unison.
    if (k <= 3) ps[count++] = {ratio * 1.0006, amp * 0.38, sustain * 0.8 / (1.0 + 0.45 * (k - 1))};
  }
  // Two-stage decay: a quick fall after the hammer, then the long tail.
  std::vector<float> body = additive(hz, ps.data(), count, n.seconds, 0.28, 8.0, 0.55f * n.velocity, n.seed);
  Rng rng(n.seed ^ 0x55);
  OnePole lp;
  lp.setLowpass(1500.0 + 3500.0 * n.velocity);
  const double fast = decayPerSample(0.5);
  double g = 1.0;
  for (size_t i = 0; i < body.size(); ++i) {
    body[i] *= static_cast<float>(0.55 + 0.45 * g);
    g *= fast;
    if (i < 800)
      body[i] +=
          lp.lowpass(static_cast<float>(rng.bipolar())) * 0.05f * n.velocity * static_cast<float>(1.0 - i / 800.0);
  }
  return body;
}

std::vector<float> epiano(const NoteSpec& n) {
  const double hz = midiHz(n.key);
  const double length = n.seconds + 0.35;
  std::vector<float> out(samplesFor(length));
  Envelope env(0.003, n.seconds, 0.35);
  const double decay = decayPerSample(std::clamp(6.0 * std::exp(-(n.key - 60.0) * 0.03), 1.5, 9.0));
  const double idx = decayPerSample(0.5);
  const double tine = decayPerSample(0.12);
  double a = 1.0, i1 = 0.9 + 1.4 * n.velocity, t = 0.25 * n.velocity;
  double pc = 0, pm = 0, pt = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    const double mod = SineTable::at(pm) * (i1 + 0.15) / kTwoPi;
    const double v = SineTable::at(pc + mod) * a + SineTable::at(pt) * t;
    out[i] = static_cast<float>(v * 0.3 * n.velocity) * env.step();
    pc += hz / kRate;
    pm += hz / kRate;
    pt += hz * 7.0 / kRate;
    a *= decay;
    i1 *= idx;
    t *= tine;
  }
  return out;
}

// Karplus-Strong string with a fractional delay; `brightness` 0..1 sets the loop's averaging.
std::vector<float> pluckString(double hz, double seconds, double t60, double damp, double brightness,
                               double pickLowpass, float gain, uint64_t seed) {
  const double length = seconds + damp;
  std::vector<float> out(samplesFor(length));
  const double s = 0.5 - 0.45 * brightness;  // averaging weight of the older sample
  const double delay = kRate / hz - s;
  const size_t size = static_cast<size_t>(delay) + 4;
  std::vector<float> line(size, 0.0f);
  Rng rng(seed);
  OnePole pick;
  pick.setLowpass(pickLowpass);
  for (size_t i = 0; i < size; ++i) line[i] = pick.lowpass(static_cast<float>(rng.bipolar()));
  // Remove the excitation's mean so the string does not start with an offset.
  float mean = 0.0f;
  for (float v : line) mean += v;
  mean /= static_cast<float>(size);
  for (float& v : line) v -= mean;
  const double g = std::pow(0.001, 1.0 / (t60 * hz));
  // Damping after the held time is a release envelope on the output, not a loss inside the
  // loop: a loss there is applied within a sample, and on a low string it cuts the note dead.
  const double release = decayPerSample(std::max(0.04, damp * 0.5));
  double level = 1.0;
  size_t w = 0;
  const double frac = delay - std::floor(delay);
  const size_t whole = static_cast<size_t>(delay);
  float prev = 0.0f;
  const size_t held = static_cast<size_t>(seconds * kRate);
  for (size_t i = 0; i < out.size(); ++i) {
    const size_t r0 = (w + size - whole) % size;
    const size_t r1 = (w + size - whole - 1) % size;
    const float x = static_cast<float>(line[r0] * (1.0 - frac) + line[r1] * frac);
    const float y = static_cast<float>(((1.0 - s) * x + s * prev) * g);
    prev = x;
    line[w] = y;
    w = (w + 1) % size;
    if (i >= held) level *= release;
    out[i] = y * gain * static_cast<float>(level);
  }
  rampEnd(out);
  return out;
}

float softClip(float x) { return std::tanh(x); }

// Amp and cabinet: pre-emphasis, two clipping stages, then a speaker-like band limit.
void distort(std::vector<float>& x, float drive, float level) {
  OnePole pre, hp, cab1, cab2, low;
  pre.setLowpass(120.0);
  hp.setLowpass(60.0);
  cab1.setLowpass(4200.0);
  cab2.setLowpass(5200.0);
  low.setLowpass(700.0);
  for (float& v : x) {
    float a = pre.highpass(v) * drive;
    a = softClip(a + 0.1f) - 0.0997f;  // slight asymmetry adds even harmonics
    a = softClip(a * 2.5f);
    a = hp.highpass(a);
    float c = cab2.lowpass(cab1.lowpass(a));
    c += low.lowpass(a) * 0.35f;  // a little body from the cabinet's low resonance
    v = c * level;
  }
}

// Sustained band-limited oscillators through a low-pass filter: strings, brass, leads.
std::vector<float> bowed(const NoteSpec& n, int voices, double detuneCents, double cutoffMul, double cutoffAdd,
                         double attack, double release, double vibratoDepth, float gain, bool brass) {
  const double hz = midiHz(n.key);
  const double length = n.seconds + release;
  std::vector<float> out(samplesFor(length));
  Rng rng(n.seed);
  std::vector<Saw> saws;
  std::vector<double> detune;
  for (int v = 0; v < voices; ++v) {
    saws.emplace_back(rng.uniform());
    const double c = voices == 1 ? 0.0 : detuneCents * (2.0 * v / (voices - 1) - 1.0);
    detune.push_back(std::pow(2.0, c / 1200.0));
  }
  Svf f1, f2;
  Envelope env(attack, n.seconds, release);
  const double vibRate = 5.0 + rng.uniform() * 0.8;
  Vibrato vibrato(vibratoDepth, vibRate, 0.25, 0.4, rng.uniform());
  const double baseCut = hz * cutoffMul + cutoffAdd * n.velocity;
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    double pitch = vibrato.step(t);
    if (brass) pitch *= 1.0 - 0.012 * std::exp(-t / 0.03);  // lips settle onto the note
    double s = 0.0;
    for (int v = 0; v < voices; ++v) s += saws[v].step(hz * detune[v] * pitch);
    s /= std::sqrt(static_cast<double>(voices));
    const float e = env.step();
    if ((i & 31) == 0) {
      double cut = baseCut;
      if (brass) cut *= 0.55 + 0.45 * std::min(1.0, t / 0.06) + 0.25 * std::exp(-t / 0.15);
      cut *= 0.6 + 0.4 * e;
      f1.set(std::min(cut, 16000.0), 0.7);
      f2.set(std::min(cut * 1.3, 16000.0), 0.6);
    }
    float y = f2.process(f1.process(static_cast<float>(s)));
    if (brass) y = softClip(y * 1.6f) * 0.7f;
    out[i] = y * e * gain * n.velocity;
  }
  return out;
}

std::vector<float> choir(const NoteSpec& n) {
  const double hz = midiHz(n.key);
  const double length = n.seconds + 0.9;
  std::vector<float> out(samplesFor(length));
  Rng rng(n.seed);
  std::array<Saw, 3> saws{Saw(rng.uniform()), Saw(rng.uniform()), Saw(rng.uniform())};
  const std::array<double, 3> det{0.9948, 1.0, 1.0055};
  // "Ah" formants, leaning to "oh" for low voices.
  const bool low = n.key < 57;
  std::array<Svf, 4> formants;
  const std::array<double, 4> fhz =
      low ? std::array<double, 4>{520, 900, 2450, 3300} : std::array<double, 4>{750, 1180, 2700, 3600};
  const std::array<float, 4> fgain{1.0f, 0.6f, 0.22f, 0.1f};
  for (int k = 0; k < 4; ++k) formants[k].set(fhz[k], 5.0 + k * 2);
  Envelope env(0.35, n.seconds, 0.9);
  double vib = rng.uniform();
  for (size_t i = 0; i < out.size(); ++i) {
    const double p = 1.0 + 0.0035 * SineTable::at(vib);
    vib += 4.8 / kRate;
    double s = 0.0;
    for (int v = 0; v < 3; ++v) s += saws[v].step(hz * det[v] * p);
    float y = 0.0f;
    for (int k = 0; k < 4; ++k) {
      formants[k].process(static_cast<float>(s));
      y += formants[k].band * fgain[k];
    }
    out[i] = y * env.step() * 0.09f * n.velocity;
  }
  return out;
}

std::vector<float> organ(const NoteSpec& n) {
  const double hz = midiHz(n.key);
  const double length = n.seconds + 0.08;
  std::vector<float> out(samplesFor(length));
  const std::array<double, 6> ratio{0.5, 1.0, 2.0, 3.0, 4.0, 6.0};
  const std::array<double, 6> amp{0.55, 1.0, 0.6, 0.3, 0.32, 0.12};
  std::array<Rotor, 6> osc;
  for (int k = 0; k < 6; ++k) osc[k].set(hz * ratio[k], 0.0);
  Envelope env(0.008, n.seconds, 0.08);
  Rng rng(n.seed);
  double lfo = rng.uniform();
  for (size_t i = 0; i < out.size(); ++i) {
    double s = 0.0;
    for (int k = 0; k < 6; ++k) s += osc[k].step() * amp[k];
    const double trem = 1.0 + 0.08 * SineTable::at(lfo);  // slow rotating-speaker swell
    lfo += 0.9 / kRate;
    const double click = i < 200 ? rng.bipolar() * 0.15 * (1.0 - i / 200.0) : 0.0;
    out[i] = static_cast<float>((s * trem * 0.11 + click) * n.velocity) * env.step();
  }
  return out;
}

// A woodwind: one phase with a blooming vibrato; `tone(phase, t, rng)` is the waveform at that
// phase, which may add breath noise from the note's generator.
template <typename Tone>
std::vector<float> blown(const NoteSpec& n, double attack, double release, double vibratoDepth, double vibratoHz,
                         double vibratoOnset, double level, Tone&& tone) {
  const double hz = midiHz(n.key);
  std::vector<float> out(samplesFor(n.seconds + release));
  Rng rng(n.seed);
  Envelope env(attack, n.seconds, release);
  double ph = rng.uniform();
  Vibrato vibrato(vibratoDepth, vibratoHz, vibratoOnset, 0.3, rng.uniform());
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    ph += hz * vibrato.step(t) / kRate;
    const double s = tone(ph, t, rng);
    out[i] = static_cast<float>(s * level * n.velocity) * env.step();
  }
  return out;
}

std::vector<float> flute(const NoteSpec& n) {
  Svf breath;
  breath.set(midiHz(n.key) * 2.0, 1.5);
  return blown(n, 0.07, 0.15, 0.004, 5.0, 0.2, 0.26, [&](double ph, double t, Rng& rng) {
    double s = SineTable::at(ph) + 0.18 * SineTable::at(2 * ph + 0.1) + 0.07 * SineTable::at(3 * ph + 0.3);
    breath.process(static_cast<float>(rng.bipolar()));
    const double chiff = t < 0.04 ? (1.0 - t / 0.04) * 0.5 : 0.0;  // the breath's attack
    s += breath.band * (0.12 + chiff);
    return s;
  });
}

std::vector<float> clarinet(const NoteSpec& n) {
  const double hz = midiHz(n.key);
  // Odd harmonics strong, even ones faint: the closed pipe's spectrum.
  const std::array<double, 9> amp{1.0, 0.04, 0.5, 0.03, 0.3, 0.02, 0.17, 0.01, 0.08};
  return blown(n, 0.05, 0.12, 0.0025, 4.6, 0.3, 0.2, [&](double ph, double, Rng&) {
    double s = 0.0;
    for (int k = 0; k < 9; ++k) {
      if (hz * (k + 1) > 15000.0) break;
      s += amp[k] * SineTable::at((k + 1) * ph);
    }
    return s;
  });
}

std::vector<float> drumTone(double startHz, double endHz, double sweep, double decay, double noise, double length,
                            float gain, uint64_t seed, double noiseDecay = 0.01, double noiseLowpass = 6000.0) {
  std::vector<float> out(samplesFor(length));
  Rng rng(seed);
  OnePole lp;
  lp.setLowpass(noiseLowpass);
  double ph = 0.0;
  const double k = decayPerSample(decay), kn = decayPerSample(noiseDecay);
  double a = 1.0, an = noise;
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double f = endHz + (startHz - endHz) * std::exp(-t / sweep);
    ph += f / kRate;
    const double s = SineTable::at(ph) * a + lp.lowpass(static_cast<float>(rng.bipolar())) * an;
    a *= k;
    an *= kn;
    out[i] = static_cast<float>(s) * gain;
  }
  return out;
}

// Six detuned square waves, the classic recipe for cymbal metal.
std::vector<float> metal(double length, double decay, double hpHz, double scale, float gain, uint64_t seed,
                         double noiseMix, double attack = 0.0) {
  std::vector<float> out(samplesFor(length));
  const std::array<double, 6> f{205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
  std::array<double, 6> ph{};
  Rng rng(seed);
  for (double& p : ph) p = rng.uniform();
  Svf hp1, hp2;
  hp1.set(hpHz, 0.7);
  hp2.set(hpHz * 1.2, 0.7);
  const double k = decayPerSample(decay);
  double a = 1.0;
  for (size_t i = 0; i < out.size(); ++i) {
    double s = 0.0;
    for (int j = 0; j < 6; ++j) {
      ph[j] += f[j] * scale / kRate;
      ph[j] -= std::floor(ph[j]);
      s += ph[j] < 0.5 ? 1.0 : -1.0;
    }
    s = s / 6.0 * (1.0 - noiseMix) + rng.bipolar() * noiseMix;
    hp1.process(static_cast<float>(s));
    hp2.process(hp1.high);
    const double t = static_cast<double>(i) / kRate;
    const double att = attack > 0.0 ? std::min(1.0, t / attack) : 1.0;
    out[i] = hp2.high * static_cast<float>(a * att);
    a *= k;
  }
  // The high-pass leaves a small fraction of the energy; set the level by the peak instead.
  float peak = 1e-9f;
  for (float v : out) peak = std::max(peak, std::fabs(v));
  for (float& v : out) v *= gain / peak;
  return out;
}

std::vector<float> jingles(int count, double spread, double length, float gain, uint64_t seed) {
  std::vector<float> out(samplesFor(length));
  Rng rng(seed);
  for (int j = 0; j < count; ++j) {
    const size_t start = static_cast<size_t>(rng.uniform() * spread * kRate);
    const double decay = 0.03 + rng.uniform() * 0.05;
    const double amp = 0.4 + 0.6 * rng.uniform();
    for (int p = 0; p < 3; ++p) {
      Rotor osc(3800.0 + rng.uniform() * 5200.0, rng.uniform());
      const double k = decayPerSample(decay);
      double a = amp / 3.0;
      for (size_t i = start; i < out.size(); ++i) {
        out[i] += static_cast<float>(osc.step() * a) * gain;
        a *= k;
        if (a < 1e-5) break;
      }
    }
  }
  Svf hp;
  hp.set(3000.0, 0.7);
  double a = 1.0;
  const double k = decayPerSample(0.12);
  for (size_t i = 0; i < out.size(); ++i) {
    hp.process(static_cast<float>(rng.bipolar()));
    out[i] += hp.high * static_cast<float>(a * 0.25) * gain;
    a *= k;
  }
  return out;
}

std::vector<float> noiseBurst(double attack, double decay, double length, double bandHz, double q, float gain,
                              uint64_t seed) {
  std::vector<float> out(samplesFor(length));
  Rng rng(seed);
  Svf bp;
  bp.set(bandHz, q);
  const double k = decayPerSample(decay);
  double a = 1.0;
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    bp.process(static_cast<float>(rng.bipolar()));
    const double att = attack > 0 ? std::min(1.0, t / attack) : 1.0;
    if (t >= attack) a *= k;
    out[i] = bp.band * static_cast<float>(att * a) * gain;
  }
  return out;
}

void addInto(std::vector<float>& a, const std::vector<float>& b, float g = 1.0f) {
  if (b.size() > a.size()) a.resize(b.size(), 0.0f);
  for (size_t i = 0; i < b.size(); ++i) a[i] += b[i] * g;
}

}  // namespace

std::vector<float> renderNote(Inst inst, const NoteSpec& n) {
  const double hz = midiHz(n.key);
  const float v = n.velocity;
  switch (inst) {
    case Inst::Piano:
      return piano(n);
    case Inst::EPiano:
      return epiano(n);
    case Inst::Celesta: {
      const Partial p[] = {{1.0, 1.0, 2.2}, {2.0, 0.1, 1.0}, {4.02, 0.22, 0.35}, {9.9, 0.06, 0.08}};
      return additive(hz, p, 4, n.seconds, 0.35, 3.0, 0.3f * v, n.seed);
    }
    case Inst::Glockenspiel: {
      const Partial p[] = {{1.0, 1.0, 3.0}, {2.76, 0.35, 1.1}, {5.40, 0.18, 0.45}, {8.93, 0.08, 0.2}};
      return additive(hz, p, 4, 10.0, 3.0, 3.0, 0.28f * v, n.seed);
    }
    case Inst::MusicBox: {
      const Partial p[] = {{1.0, 1.0, 1.8}, {2.0, 0.18, 0.9}, {5.93, 0.25, 0.25}, {11.7, 0.08, 0.06}};
      return additive(hz, p, 4, 10.0, 2.0, 2.0, 0.3f * v, n.seed);
    }
    case Inst::Vibes: {
      const Partial p[] = {{1.0, 1.0, 4.0}, {4.0, 0.2, 1.0}, {10.0, 0.04, 0.3}};
      std::vector<float> out = additive(hz, p, 3, n.seconds, 0.5, 4.0, 0.3f * v, n.seed);
      Rng rng(n.seed);
      double lfo = rng.uniform();
      for (float& s : out) {
        s *= static_cast<float>(0.78 + 0.22 * SineTable::at(lfo));
        lfo += 5.2 / kRate;
      }
      return out;
    }
    case Inst::ChurchBell: {
      const Partial p[] = {{0.5, 0.45, 7.0}, {1.0, 0.7, 5.0},   {1.19, 0.45, 4.0}, {1.5, 0.25, 3.0}, {2.0, 0.6, 3.0},
                           {2.52, 0.2, 2.0}, {2.66, 0.15, 1.6}, {3.01, 0.12, 1.2}, {4.1, 0.08, 0.7}};
      return additive(hz, p, 9, 10.0, 5.0, 6.0, 0.2f * v, n.seed);
    }
    case Inst::Harp:
    case Inst::Pizzicato: {
      const bool harp = inst == Inst::Harp;
      std::array<Partial, 12> p{};
      const double pos = harp ? 0.27 : 0.2;
      const double ring = harp ? std::clamp(5.0 * std::exp(-(n.key - 48) * 0.03), 1.0, 6.0)
                               : std::clamp(0.9 * std::exp(-(n.key - 48) * 0.03), 0.25, 1.2);
      for (int k = 1; k <= 12; ++k)
        p[k - 1] = {static_cast<double>(k), std::fabs(std::sin(k * kPi * pos)) / (k * k) * 2.0,
                    ring / (1.0 + 0.5 * (k - 1))};
      return additive(hz, p.data(), 12, harp ? 10.0 : n.seconds, harp ? 3.0 : 0.4, harp ? 5.0 : 1.2,
                      (harp ? 0.2f : 0.34f) * v, n.seed);
    }
    case Inst::UprightBass: {
      std::array<Partial, 10> p{};
      for (int k = 1; k <= 10; ++k)
        p[k - 1] = {static_cast<double>(k) * (1.0 + 0.0002 * k * k), std::fabs(std::sin(k * kPi * 0.18)) / k,
                    2.2 / (1.0 + 0.8 * (k - 1))};
      std::vector<float> out = additive(hz, p.data(), 10, n.seconds, 0.12, 3.0, 0.42f * v, n.seed);
      addInto(out, drumTone(hz * 2.0, hz, 0.01, 0.05, 0.0, 0.06, 0.08f * v, n.seed));  // finger thump
      return out;
    }
    case Inst::ElectricBass: {
      std::vector<float> out = pluckString(hz, n.seconds, 3.5, 0.08, 0.35, 2500.0, 0.8f * v, n.seed);
      for (float& s : out) s = softClip(s * 1.4f) * 0.75f;
      return out;
    }
    case Inst::SurfGuitar: {
      std::vector<float> out = pluckString(hz, n.seconds, 2.5, 0.15, 0.85, 7000.0, 0.45f * v, n.seed);
      OnePole hp;
      hp.setLowpass(180.0);
      for (float& s : out) s = softClip(hp.highpass(s) * 1.8f) * 0.75f;  // a warm, lightly driven amp
      return out;
    }
    case Inst::PowerChord:
    case Inst::MutedPowerChord: {
      const bool muted = inst == Inst::MutedPowerChord;
      const double t60 = muted ? 0.25 : 3.0;
      const double brightness = muted ? 0.1 : 0.7;
      std::vector<float> sum;
      const int intervals[] = {0, 7, 12};
      for (int k = 0; k < 3; ++k) {
        const double f = midiHz(n.key + intervals[k]) * (1.0 + 0.0008 * (k - 1));
        addInto(sum, pluckString(f, n.seconds, t60, 0.08, brightness, muted ? 1800.0 : 6000.0, 0.5f, n.seed * 3 + k));
      }
      distort(sum, muted ? 9.0f : 14.0f, 0.32f * v);
      return sum;
    }
    case Inst::LeadGuitar: {
      std::vector<float> out = bowed(n, 2, 6.0, 6.0, 1200.0, 0.01, 0.15, 0.006, 0.7f, false);
      distort(out, 6.0f, 0.17f);
      return out;
    }
    case Inst::Timpani: {
      const Partial p[] = {{1.0, 1.0, 2.0}, {1.5, 0.5, 1.4}, {1.98, 0.3, 1.0}, {2.44, 0.15, 0.7}};
      std::vector<float> out = additive(hz, p, 4, 10.0, 2.0, 2.5, 0.35f * v, n.seed);
      addInto(out, noiseBurst(0.0, 0.02, 0.05, 400.0, 0.8, 0.3f * v, n.seed));
      return out;
    }
    case Inst::Strings:
      return bowed(n, 3, 9.0, 4.0, 2500.0, 0.22, 0.5, 0.0035, 0.3f, false);
    case Inst::SynthPad:
      return bowed(n, 4, 14.0, 2.0, 800.0, 0.6, 1.2, 0.0, 0.24f, false);
    case Inst::Choir:
      return choir(n);
    case Inst::Organ:
      return organ(n);
    case Inst::Flute:
      return flute(n);
    case Inst::Clarinet:
      return clarinet(n);
    case Inst::Trumpet:
      return bowed(n, 1, 0.0, 3.0, 3500.0, 0.03, 0.1, 0.004, 0.42f, true);
    case Inst::Horn:
      return bowed(n, 2, 4.0, 2.2, 900.0, 0.06, 0.18, 0.003, 0.42f, true);
    case Inst::Tuba:
      return bowed(n, 1, 0.0, 2.5, 600.0, 0.03, 0.1, 0.0, 0.5f, true);

    case Inst::Kick:
      return drumTone(150.0, 48.0, 0.035, 0.3, 0.25, 0.45, 0.55f * v, n.seed, 0.004, 3000.0);
    case Inst::MetalKick:
      return drumTone(170.0, 52.0, 0.022, 0.16, 0.7, 0.25, 0.5f * v, n.seed, 0.003, 9000.0);
    case Inst::Snare: {
      std::vector<float> out = drumTone(230.0, 185.0, 0.02, 0.1, 0.0, 0.3, 0.25f * v, n.seed);
      addInto(out, noiseBurst(0.0, 0.16, 0.3, 4200.0, 0.5, 0.55f * v, n.seed + 1));
      return out;
    }
    case Inst::BrushTap:
      return noiseBurst(0.002, 0.07, 0.15, 3500.0, 0.6, 0.3f * v, n.seed);
    case Inst::BrushSwish:
      return noiseBurst(0.12, 0.12, 0.35, 2800.0, 0.7, 0.2f * v, n.seed);
    case Inst::HatClosed:
      return metal(0.12, 0.045, 7000.0, 1.7, 0.22f * v, n.seed, 0.3);
    case Inst::HatOpen:
      return metal(0.5, 0.3, 7000.0, 1.7, 0.2f * v, n.seed, 0.3);
    case Inst::Ride: {
      std::vector<float> out = metal(1.6, 1.3, 5000.0, 2.2, 0.14f * v, n.seed, 0.2);
      const Partial bell[] = {{1.0, 1.0, 0.9}, {2.7, 0.5, 0.5}};
      addInto(out, additive(1180.0, bell, 2, 10.0, 1.0, 1.0, 0.05f * v, n.seed));
      return out;
    }
    case Inst::Crash:
      return metal(2.2, 1.8, 3500.0, 2.6, 0.22f * v, n.seed, 0.55, 0.004);
    case Inst::TomHigh:
      return drumTone(260.0, 190.0, 0.05, 0.3, 0.2, 0.45, 0.45f * v, n.seed, 0.01, 3000.0);
    case Inst::TomMid:
      return drumTone(190.0, 140.0, 0.06, 0.35, 0.2, 0.5, 0.45f * v, n.seed, 0.01, 3000.0);
    case Inst::TomLow:
      return drumTone(140.0, 95.0, 0.07, 0.4, 0.2, 0.6, 0.5f * v, n.seed, 0.01, 3000.0);
    case Inst::SleighBells:
      return jingles(14, 0.05, 0.3, 0.18f * v, n.seed);
    case Inst::Tambourine: {
      std::vector<float> out = jingles(8, 0.015, 0.22, 0.2f * v, n.seed);
      addInto(out, noiseBurst(0.0, 0.02, 0.05, 1500.0, 1.0, 0.2f * v, n.seed + 2));
      return out;
    }
    case Inst::Triangle: {
      const Partial p[] = {{1.0, 1.0, 2.5}, {2.76, 0.5, 2.0}, {5.40, 0.35, 1.5}, {8.1, 0.2, 1.0}};
      return additive(1320.0, p, 4, 10.0, 2.5, 2.5, 0.09f * v, n.seed);
    }
    case Inst::Shaker:
      return noiseBurst(0.012, 0.05, 0.12, 6500.0, 0.8, 0.22f * v, n.seed);
  }
  return {};
}

}  // namespace tune
