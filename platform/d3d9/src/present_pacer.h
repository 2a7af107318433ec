// Keeps Present at the display's refresh rate. Where the swap itself waits for the refresh
// (swap interval 1 honoured), nothing is added; where it returns at once (refused, or a
// server such as Xvfb without vertical sync), Present sleeps until the next refresh tick.
// Which case holds is measured on the first presents and watched afterwards.
#pragma once

#include <chrono>
#include <functional>
#include <vector>

namespace d3d9 {

class PresentPacer {
 public:
  using Clock = std::chrono::steady_clock;

  // The clock and the sleep it uses; tests replace them with simulated ones.
  struct Time {
    std::function<Clock::time_point()> now;
    std::function<void(Clock::time_point)> sleepUntil;
  };
  // The steady clock and a real sleep.
  static Time systemTime();

  PresentPacer(double refreshHz, bool swapIntervalAccepted, Time time = systemTime());
  // Call around each swap: beforeSwap returns nothing to do; afterSwap sleeps if pacing.
  void beforeSwap();
  void afterSwap();
  bool swapWaitsForRefresh() const { return m_mode == Mode::SwapWaits; }
  // No waiting at all (D3DPRESENT_INTERVAL_IMMEDIATE).
  void setImmediate(bool immediate) { m_immediate = immediate; }

 private:
  enum class Mode { Measuring, SwapWaits, Paced };
  void pace(Clock::time_point now);

  Time m_time;
  Clock::duration m_period;
  Mode m_mode;
  bool m_immediate = false;
  Clock::time_point m_swapStart{};
  Clock::time_point m_lastSwapEnd{};
  Clock::time_point m_deadline{};
  std::vector<double> m_swapFractions;      // swap duration / period
  std::vector<double> m_intervalFractions;  // interval between swaps / period
};

}  // namespace d3d9
