// Generation of the tune files: what `tunegen` writes and how long each should play.
#pragma once

#include <string>
#include <vector>

namespace tune {

struct GenerateOptions {
  std::string outDir;
  std::vector<int> only;  // track numbers; empty = all eleven
};

struct GeneratedTune {
  int number = 0;
  std::string path;
  double plannedSeconds = 0.0;
  double renderSeconds = 0.0;  // wall-clock cost of making it
};

struct GenerateResult {
  bool ok = false;
  std::string error;
  std::vector<GeneratedTune> tunes;
};

// Composes, renders and writes the tunes into outDir (created if missing). Each file is
// written to a temporary name and renamed, so an interrupted run leaves no partial file.
GenerateResult generateTunes(const GenerateOptions& options);

}  // namespace tune
