// timeGetTime: 32-bit milliseconds that wrap, as on a machine started with the process.
// Tests move it through win32ClockSet/Freeze/Step; KQ_CLOCK_START starts it elsewhere
// (near the wrap-around, say) for whole-program runs.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include <win32_layer.h>

#include "clock_internal.h"

namespace win32 {
namespace {

using SteadyClock = std::chrono::steady_clock;

class MillisecondClock {
 public:
  MillisecondClock() : m_anchor(SteadyClock::now()) {
    const char* start = std::getenv("KQ_CLOCK_START");
    if (!start) return;
    if (auto value = parseClockStart(start))
      m_base = *value;
    else
      std::fprintf(stderr, "win32: KQ_CLOCK_START=\"%s\" is not a 32-bit decimal count; ignored\n", start);
  }

  uint32_t now() {
    std::lock_guard lock(m_mutex);
    return nowLocked();
  }
  void set(uint32_t value) {
    std::lock_guard lock(m_mutex);
    m_base = value;
    m_anchor = SteadyClock::now();
  }
  void freeze(bool frozen) {
    std::lock_guard lock(m_mutex);
    if (frozen == m_frozen) return;
    m_base = nowLocked();
    m_anchor = SteadyClock::now();
    m_frozen = frozen;
  }
  void step(uint32_t milliseconds) {
    std::lock_guard lock(m_mutex);
    m_base += milliseconds;
  }

 private:
  uint32_t nowLocked() const {
    if (m_frozen) return m_base;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - m_anchor);
    return m_base + static_cast<uint32_t>(static_cast<uint64_t>(elapsed.count()));
  }

  std::mutex m_mutex;
  SteadyClock::time_point m_anchor;
  uint32_t m_base = 0;
  bool m_frozen = false;
};

// Constructed during static initialisation, i.e. as the process starts.
MillisecondClock g_clock;

}  // namespace

std::optional<uint32_t> parseClockStart(const char* text) {
  if (!text || !*text) return std::nullopt;
  uint64_t value = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(*p - '0');
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

}  // namespace win32

extern "C" DWORD WINAPI timeGetTime() { return win32::g_clock.now(); }

void win32ClockSet(DWORD milliseconds) { win32::g_clock.set(milliseconds); }
void win32ClockFreeze(bool frozen) { win32::g_clock.freeze(frozen); }
void win32ClockStep(DWORD milliseconds) { win32::g_clock.step(milliseconds); }
