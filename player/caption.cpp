#include "caption.h"

#include <cstdio>
#include <cstring>

#include "player.h"
#include "playlist.h"

namespace {

constexpr int kLineSize = 64;
constexpr int kPieceLength = kCaptionPieceSize - 1;

// Indexed by PlayState; nine characters each, the blanks included, so that the track number
// always starts the second piece.
constexpr const char* kStateWords[] = {" playing ", " (paused)", "(stopped)"};

}  // namespace

void buildCaptionLines(char pieces[kCaptionPieceCount][kCaptionPieceSize]) {
  // Zero-filled, so that a piece reaching past the line's end ends with it.
  char line[kLineSize] = {};
  const PlaylistEntry& entry = playlist[currentTrack];
  // The stored texts are shown exactly as they are, blanks and all: no blank is added around
  // "by". The precisions keep a text that fills its whole field from being read past it.
  std::snprintf(line, sizeof line, "%s track %i %.*sby%.*s", kStateWords[static_cast<int>(playerState())],
                currentTrack + 1, static_cast<int>(sizeof entry.title - 1), entry.title,
                static_cast<int>(sizeof entry.artist - 1), entry.artist);
  for (int k = 0; k < kCaptionPieceCount; ++k) {
    std::memcpy(pieces[k], line + k * kPieceLength, kPieceLength);
    pieces[k][kPieceLength] = '\0';
  }
}
