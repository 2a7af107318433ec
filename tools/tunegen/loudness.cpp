#include "loudness.h"

#include "dsp.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tune {
namespace {

constexpr double kAbsoluteGate = -70.0;

// The K weighting: a +4 dB shelf above about 1.7 kHz (the head's effect) and a high-pass at
// about 38 Hz, both designed from their analogue prototypes for any sample rate (at 48 kHz
// they give the published coefficients).
class KWeighting {
 public:
  explicit KWeighting(int rate)
      : m_shelf(Biquad::highShelf(rate, 1681.974450955533, 3.999843853973347, 0.7071752369554196)),
        m_highPass(makeHighPass(rate)) {}
  double process(double x) { return m_highPass.process(m_shelf.process(x)); }

 private:
  static Biquad makeHighPass(int rate) {
    const double k = std::tan(kPi * 38.13547087602444 / rate), q = 0.5003270373238773;
    const double a0 = 1.0 + k / q + k * k;
    return Biquad(1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0);
  }

  Biquad m_shelf, m_highPass;
};

double toLufs(double meanSquare) { return meanSquare > 0.0 ? -0.691 + 10.0 * std::log10(meanSquare) : -1e9; }

// Summed K-weighted energy of both channels over consecutive 100 ms steps; the gating blocks
// (400 ms) and the short-term windows (3 s) are runs of these, advancing one step at a time.
std::vector<double> stepEnergies(const Stereo& audio, int rate, size_t& stepLength) {
  stepLength = static_cast<size_t>(rate / 10);
  const size_t n = std::min(audio.left.size(), audio.right.size());
  std::vector<double> steps(n / stepLength, 0.0);
  for (const std::vector<float>* channel : {&audio.left, &audio.right}) {
    KWeighting k(rate);
    for (size_t i = 0; i < steps.size() * stepLength; ++i) {
      const double y = k.process((*channel)[i]);
      steps[i / stepLength] += y * y;
    }
  }
  return steps;
}

// Mean squares of the windows of `stepsPerWindow` steps, one per step.
std::vector<double> windows(const std::vector<double>& steps, size_t stepLength, size_t stepsPerWindow) {
  std::vector<double> out;
  double sum = 0.0;
  for (size_t i = 0; i < steps.size(); ++i) {
    sum += steps[i];
    if (i >= stepsPerWindow) sum -= steps[i - stepsPerWindow];
    if (i + 1 >= stepsPerWindow) out.push_back(std::max(0.0, sum) / static_cast<double>(stepLength * stepsPerWindow));
  }
  return out;
}

// The windows above the absolute gate and above the gate `relativeLu` under their mean.
std::vector<double> gated(const std::vector<double>& meanSquares, double relativeLu) {
  double sum = 0.0;
  size_t count = 0;
  for (double m : meanSquares) {
    if (toLufs(m) > kAbsoluteGate) {
      sum += m;
      ++count;
    }
  }
  if (count == 0) return {};
  const double gate = toLufs(sum / static_cast<double>(count)) + relativeLu;
  std::vector<double> out;
  for (double m : meanSquares)
    if (toLufs(m) > kAbsoluteGate && toLufs(m) > gate) out.push_back(m);
  return out;
}

double integratedFrom(const std::vector<double>& steps, size_t stepLength) {
  const std::vector<double> blocks = gated(windows(steps, stepLength, 4), -10.0);
  if (blocks.empty()) return kAbsoluteGate;
  double sum = 0.0;
  for (double m : blocks) sum += m;
  return toLufs(sum / static_cast<double>(blocks.size()));
}

double percentile(const std::vector<double>& sorted, double p) {
  const double at = p * static_cast<double>(sorted.size() - 1);
  const size_t i = static_cast<size_t>(at);
  const double f = at - static_cast<double>(i);
  return i + 1 < sorted.size() ? sorted[i] * (1.0 - f) + sorted[i + 1] * f : sorted[i];
}

// 4x interpolation filter: a windowed sinc (Blackman-Harris) over 16 input samples, so every
// phase but the first lands between two input samples.
constexpr int kOversample = 4;
constexpr int kTaps = 16 * kOversample + 1;

const std::array<double, kTaps>& interpolator() {
  static const std::array<double, kTaps> h = [] {
    std::array<double, kTaps> t{};
    const double centre = (kTaps - 1) / 2.0;
    for (int n = 0; n < kTaps; ++n) {
      const double x = (n - centre) / kOversample;
      const double sinc = x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
      const double w = 2.0 * kPi * n / (kTaps - 1);
      const double window = 0.35875 - 0.48829 * std::cos(w) + 0.14128 * std::cos(2 * w) - 0.01168 * std::cos(3 * w);
      t[static_cast<size_t>(n)] = sinc * window;
    }
    return t;
  }();
  return h;
}

float channelTruePeak(const std::vector<float>& x) {
  const std::array<double, kTaps>& h = interpolator();
  constexpr int span = (kTaps - 1) / kOversample;  // input samples under the filter
  double peak = 0.0;
  const long n = static_cast<long>(x.size());
  for (long m = 0; m < n + span; ++m) {
    for (int phase = 0; phase < kOversample; ++phase) {
      double y = 0.0;
      for (int j = 0; j * kOversample + phase < kTaps; ++j) {
        const long i = m - j;
        if (i >= 0 && i < n) y += h[static_cast<size_t>(j * kOversample + phase)] * x[static_cast<size_t>(i)];
      }
      peak = std::max(peak, std::fabs(y));
    }
  }
  return static_cast<float>(peak);
}

}  // namespace

double integratedLoudness(const Stereo& audio, int rate) {
  size_t stepLength = 0;
  const std::vector<double> steps = stepEnergies(audio, rate, stepLength);
  return integratedFrom(steps, stepLength);
}

float truePeak(const Stereo& audio) { return std::max(channelTruePeak(audio.left), channelTruePeak(audio.right)); }

Loudness measureLoudness(const Stereo& audio, int rate) {
  Loudness result;
  size_t stepLength = 0;
  const std::vector<double> steps = stepEnergies(audio, rate, stepLength);
  result.integrated = integratedFrom(steps, stepLength);
  std::vector<double> shortTerm = gated(windows(steps, stepLength, 30), -20.0);
  if (!shortTerm.empty()) {
    std::vector<double> levels;
    for (double m : shortTerm) levels.push_back(toLufs(m));
    std::sort(levels.begin(), levels.end());
    result.range = percentile(levels, 0.95) - percentile(levels, 0.10);
  }
  const float peak = truePeak(audio);
  result.truePeak = peak > 0.0f ? 20.0 * std::log10(peak) : -120.0;
  return result;
}

}  // namespace tune
