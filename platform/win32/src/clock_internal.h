// The millisecond clock's start value from the environment.
#pragma once

#include <cstdint>
#include <optional>

namespace win32 {

// A decimal count of milliseconds that fits 32 bits, nothing else; null otherwise.
std::optional<uint32_t> parseClockStart(const char* text);

}  // namespace win32
