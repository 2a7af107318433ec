// tunegen <outdir> [--only N[,N...]]: composes and renders the music disk's eleven tunes.
#include "tunegen.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int usage() {
  std::fprintf(stderr, "usage: tunegen <outdir> [--only N[,N...]] [--quiet]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  tune::GenerateOptions options;
  bool quiet = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--only" && i + 1 < argc) {
      std::string list = argv[++i];
      size_t pos = 0;
      while (pos <= list.size()) {
        const size_t comma = std::min(list.find(',', pos), list.size());
        const std::string item = list.substr(pos, comma - pos);
        char* end = nullptr;
        const long n = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || n < 1 || n > 11) {
          std::fprintf(stderr, "tunegen: bad track number '%s' (1..11)\n", item.c_str());
          return 2;
        }
        options.only.push_back(static_cast<int>(n));
        pos = comma + 1;
      }
    } else if (arg == "--quiet") {
      quiet = true;
    } else if (!arg.empty() && arg[0] != '-' && options.outDir.empty()) {
      options.outDir = arg;
    } else {
      return usage();
    }
  }
  if (options.outDir.empty()) return usage();
  const tune::GenerateResult result = tune::generateTunes(options);
  for (const tune::GeneratedTune& t : result.tunes) {
    if (!quiet) std::printf("%s  %6.2f s  (made in %.1f s)\n", t.path.c_str(), t.plannedSeconds, t.renderSeconds);
  }
  if (!result.ok) {
    std::fprintf(stderr, "tunegen: %s\n", result.error.c_str());
    return 1;
  }
  return 0;
}
