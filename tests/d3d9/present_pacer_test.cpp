// Presentation pacing on a simulated clock: swaps that wait for the refresh are left alone,
// swaps that return at once are paced to the refresh, and a slow frame does not make the
// following ones hurry.
#include <gtest/gtest.h>

#include <chrono>

#include "present_pacer.h"

namespace {

using d3d9::PresentPacer;
using Clock = PresentPacer::Clock;
using namespace std::chrono_literals;

class SimulatedDisplay {
 public:
  static constexpr Clock::duration kPeriod = std::chrono::duration_cast<Clock::duration>(1s) / 60;

  PresentPacer::Time time() {
    return {[this] { return m_now; },
            [this](Clock::time_point until) {
              ++sleeps;
              if (until > m_now) m_now = until;
            }};
  }
  // One pass of a render loop: some work, then a present whose swap either waits for the
  // next refresh or returns almost at once. Returns the time the pass took.
  Clock::duration frame(PresentPacer& pacer, Clock::duration work, bool swapWaits) {
    const Clock::time_point start = m_now;
    m_now += work;
    pacer.beforeSwap();
    if (swapWaits) {
      const auto sinceEpoch = m_now.time_since_epoch();
      m_now = Clock::time_point((sinceEpoch / kPeriod + 1) * kPeriod);
    } else {
      m_now += 100us;
    }
    pacer.afterSwap();
    return m_now - start;
  }
  int sleeps = 0;

 private:
  Clock::time_point m_now = Clock::time_point(10s);
};

double periods(Clock::duration d) {
  return std::chrono::duration<double>(d) / std::chrono::duration<double>(SimulatedDisplay::kPeriod);
}

TEST(PresentPacer, SwapsThatWaitAreTrustedAndNotSlept) {
  SimulatedDisplay display;
  PresentPacer pacer(60.0, true, display.time());
  for (int i = 0; i < 20; ++i) display.frame(pacer, 2ms, true);
  EXPECT_TRUE(pacer.swapWaitsForRefresh());
  const int sleepsBefore = display.sleeps;
  for (int i = 0; i < 30; ++i) EXPECT_NEAR(periods(display.frame(pacer, 2ms, true)), 1.0, 0.01);
  EXPECT_EQ(display.sleeps, sleepsBefore);
}

TEST(PresentPacer, SwapsThatReturnAtOnceArePacedToTheRefresh) {
  SimulatedDisplay display;
  PresentPacer pacer(60.0, true, display.time());
  display.frame(pacer, 1ms, false);
  for (int i = 0; i < 20; ++i) EXPECT_GE(periods(display.frame(pacer, 1ms, false)), 0.45);  // never spins
  EXPECT_FALSE(pacer.swapWaitsForRefresh());
  Clock::duration total{};
  for (int i = 0; i < 60; ++i) total += display.frame(pacer, 1ms, false);
  EXPECT_NEAR(periods(total), 60.0, 1.0);
}

TEST(PresentPacer, ASlowFrameRestartsTheCadenceInsteadOfCatchingUp) {
  SimulatedDisplay display;
  PresentPacer pacer(60.0, false, display.time());  // swap interval refused: paced from the start
  for (int i = 0; i < 5; ++i) display.frame(pacer, 1ms, false);
  display.frame(pacer, SimulatedDisplay::kPeriod * 3, false);
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(periods(display.frame(pacer, 1ms, false)), 1.0, 0.02);
}

TEST(PresentPacer, SwapsThatStopWaitingFallBackToPacing) {
  SimulatedDisplay display;
  PresentPacer pacer(60.0, true, display.time());
  for (int i = 0; i < 20; ++i) display.frame(pacer, 2ms, true);
  ASSERT_TRUE(pacer.swapWaitsForRefresh());
  for (int i = 0; i < 12; ++i) display.frame(pacer, 1ms, false);  // the window stopped syncing
  EXPECT_FALSE(pacer.swapWaitsForRefresh());
  Clock::duration total{};
  for (int i = 0; i < 30; ++i) total += display.frame(pacer, 1ms, false);
  EXPECT_NEAR(periods(total), 30.0, 1.0);
}

TEST(PresentPacer, ImmediatePresentationNeverWaits) {
  SimulatedDisplay display;
  PresentPacer pacer(60.0, false, display.time());
  pacer.setImmediate(true);
  for (int i = 0; i < 10; ++i) EXPECT_LT(periods(display.frame(pacer, 1ms, false)), 0.1);
  EXPECT_EQ(display.sleeps, 0);
}

}  // namespace
