// The fixed playlist: eleven tunes under tunes\, their caption texts and how each is played.
#pragma once

#include <cstdint>

// How the sound library plays an entry. Any other value makes the entry inert: it is never
// opened, played, paused, stopped or released.
enum class TrackKind : std::int32_t { Module = 0, Stream = 1 };

struct PlaylistEntry {
  char path[64];    // relative to the working directory, single backslash separators
  char title[25];   // caption text, blanks included, shown exactly as stored
  char artist[11];  // short credit, shown exactly as stored
  TrackKind kind;
  void* handle;  // FSOUND_STREAM* or FMUSIC_MODULE* once opened by playerInit, else null
};

constexpr int kTrackCount = 11;

extern PlaylistEntry playlist[kTrackCount];

// Index of the current entry, 0 to 10; the track number shown is one more.
extern std::int8_t currentTrack;
