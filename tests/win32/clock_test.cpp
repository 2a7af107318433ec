#include <gtest/gtest.h>

#include <win32_layer.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "clock_internal.h"

namespace {

TEST(TimeGetTime, DifferencesSurviveTheWrap) {
  win32ClockFreeze(true);
  win32ClockSet(0xFFFFFF00u);
  const DWORD before = timeGetTime();
  win32ClockStep(0x200);
  const DWORD after = timeGetTime();
  EXPECT_EQ(after, 0x100u);
  EXPECT_EQ(static_cast<DWORD>(after - before), 0x200u);
  win32ClockFreeze(false);
}

TEST(TimeGetTime, FreezeHoldsAndThawRunsOnFromTheHeldValue) {
  win32ClockFreeze(true);
  win32ClockSet(5000);
  const DWORD held = timeGetTime();
  EXPECT_EQ(held, 5000u);
  // A frozen clock does not move with real time.
  const auto spinUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
  while (std::chrono::steady_clock::now() < spinUntil) {
  }
  EXPECT_EQ(timeGetTime(), 5000u);
  win32ClockStep(16);
  EXPECT_EQ(timeGetTime(), 5016u);
  win32ClockFreeze(false);
  const DWORD thawed = timeGetTime();
  EXPECT_GE(thawed, 5016u);
  EXPECT_LT(thawed, 5016u + 1000u);
}

TEST(TimeGetTime, RunsInMilliseconds) {
  win32ClockFreeze(false);
  win32ClockSet(0);
  const auto start = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(50)) {
  }
  const DWORD elapsed = timeGetTime();
  EXPECT_GE(elapsed, 50u);
  EXPECT_LT(elapsed, 1000u);
}

TEST(ClockStart, ParsesDecimal32BitCounts) {
  EXPECT_EQ(win32::parseClockStart("0"), 0u);
  EXPECT_EQ(win32::parseClockStart("4294967000"), 4294967000u);
  EXPECT_EQ(win32::parseClockStart("4294967295"), 4294967295u);
  EXPECT_FALSE(win32::parseClockStart("4294967296"));
  EXPECT_FALSE(win32::parseClockStart("99999999999999999999999"));
  EXPECT_FALSE(win32::parseClockStart(""));
  EXPECT_FALSE(win32::parseClockStart("-5"));
  EXPECT_FALSE(win32::parseClockStart("12ms"));
  EXPECT_FALSE(win32::parseClockStart("0x10"));
}

// The start value takes effect for a fresh process, which reports its first reading.
TEST(ClockStart, EnvironmentStartsAFreshProcessThere) {
  const std::string command = "KQ_CLOCK_START=4294967000 WIN32_CLOCK_PROBE=1 " +
                              std::string(testing::internal::GetArgvs()[0]) +
                              " --gtest_filter=ClockProbe.* 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[256] = {};
  std::string found;
  while (std::fgets(line, sizeof line, pipe))
    if (std::string(line).rfind("clock=", 0) == 0) found = line + 6;
  pclose(pipe);
  ASSERT_FALSE(found.empty());
  const unsigned long value = std::stoul(found);
  EXPECT_GE(value, 4294967000ul);
  EXPECT_LT(value, 4294967000ul + 10000ul);
}

TEST(ClockProbe, Print) {
  if (!std::getenv("WIN32_CLOCK_PROBE")) GTEST_SKIP() << "run by ClockStart.EnvironmentStartsAFreshProcessThere";
  std::printf("clock=%u\n", static_cast<unsigned>(timeGetTime()));
}

}  // namespace
