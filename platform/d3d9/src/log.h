// Diagnostics of this layer: written to stderr, each distinct message once per process, so
// a per-frame misuse cannot flood the output.
#pragma once

namespace d3d9 {

void logOnce(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace d3d9
