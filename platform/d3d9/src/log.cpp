#include "log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <set>
#include <string>

namespace d3d9 {

void logOnce(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  static std::mutex mutex;
  static std::set<std::string> shown;
  std::lock_guard lock(mutex);
  if (shown.insert(text).second) std::fprintf(stderr, "d3d9: %s\n", text);
}

}  // namespace d3d9
