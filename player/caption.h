// The now-playing caption: the player's state, the track number, the title and the artist
// credit, cut into five pieces of nine characters, one for each wagon of the train.
#pragma once

inline constexpr int kCaptionPieceCount = 5;
inline constexpr int kCaptionPieceSize = 10;  // nine characters and the terminating NUL

// Formats the caption line from the playback state and the current entry and cuts it into
// the five pieces, in wagon order. A piece ends early where the line does; characters past
// the fifth piece are never shown.
void buildCaptionLines(char pieces[kCaptionPieceCount][kCaptionPieceSize]);
