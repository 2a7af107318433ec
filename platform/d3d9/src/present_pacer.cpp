#include "present_pacer.h"

#include <algorithm>
#include <array>
#include <thread>
#include <utility>

namespace d3d9 {

namespace {

constexpr size_t kSamples = 12;

// Median of the last kSamples values, without allocating (it runs every frame).
double median(const std::vector<double>& samples) {
  std::array<double, kSamples> values{};
  const size_t count = std::min(samples.size(), kSamples);
  std::copy_n(samples.end() - static_cast<std::ptrdiff_t>(count), count, values.begin());
  std::nth_element(values.begin(), values.begin() + count / 2, values.begin() + count);
  return values[count / 2];
}

}  // namespace

PresentPacer::Time PresentPacer::systemTime() {
  return {[] { return Clock::now(); }, [](Clock::time_point until) { std::this_thread::sleep_until(until); }};
}

PresentPacer::PresentPacer(double refreshHz, bool swapIntervalAccepted, Time time)
    : m_time(std::move(time)),
      m_period(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / refreshHz))),
      m_mode(swapIntervalAccepted ? Mode::Measuring : Mode::Paced) {}

void PresentPacer::beforeSwap() { m_swapStart = m_time.now(); }

void PresentPacer::afterSwap() {
  const Clock::time_point now = m_time.now();
  const Clock::time_point previousSwapEnd = m_lastSwapEnd;
  const double period = std::chrono::duration<double>(m_period).count();
  const bool haveInterval = m_lastSwapEnd != Clock::time_point{};
  const double interval = haveInterval ? std::chrono::duration<double>(now - m_lastSwapEnd).count() / period : 0.0;
  const double swap = std::chrono::duration<double>(now - m_swapStart).count() / period;
  m_lastSwapEnd = now;
  if (m_immediate) return;

  if (m_mode == Mode::Measuring) {
    if (haveInterval) {
      m_swapFractions.push_back(swap);
      m_intervalFractions.push_back(interval);
    }
    if (m_intervalFractions.size() >= kSamples) {
      // The swap kept the rate and did the waiting itself: the refresh is honoured.
      const bool waits = median(m_intervalFractions) >= 0.75 && median(m_swapFractions) >= 0.25;
      m_mode = waits ? Mode::SwapWaits : Mode::Paced;
      m_intervalFractions.clear();
      m_deadline = now;
    }
    // While measuring, presents still come at most twice per refresh.
    if (haveInterval && interval < 0.5) {
      m_time.sleepUntil(previousSwapEnd + m_period / 2);
      m_lastSwapEnd = m_time.now();
    }
    return;
  }
  if (m_mode == Mode::SwapWaits) {
    // Swaps can stop waiting later (a hidden window, say): watch the last intervals and
    // fall back to pacing when most of them are short.
    m_intervalFractions.push_back(interval);
    if (m_intervalFractions.size() > kSamples) m_intervalFractions.erase(m_intervalFractions.begin());
    if (m_intervalFractions.size() == kSamples && median(m_intervalFractions) < 0.5) {
      m_mode = Mode::Paced;
      m_deadline = now;
      m_intervalFractions.clear();
    }
    return;
  }
  pace(now);
}

void PresentPacer::pace(Clock::time_point now) {
  m_deadline += m_period;
  // A frame that took longer than a refresh restarts the cadence instead of catching up.
  if (m_deadline < now) {
    m_deadline = now;
    return;
  }
  m_time.sleepUntil(m_deadline);
  m_lastSwapEnd = m_deadline;
}

}  // namespace d3d9
