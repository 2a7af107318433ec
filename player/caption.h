// The now-playing caption: the player's state, the track number, the title and the artist
// credit, cut into five pieces of nine characters, one for each wagon of the train.
#pragma once

#include <windows.h>
#include <d3d9.h>

inline constexpr int kCaptionPieceCount = 5;
inline constexpr int kCaptionPieceSize = 10;  // nine characters and the terminating NUL

// Formats the caption line from the playback state and the current entry and cuts it into
// the five pieces, in wagon order. A piece ends early where the line does; characters past
// the fifth piece are never shown.
void buildCaptionLines(char pieces[kCaptionPieceCount][kCaptionPieceSize]);

// The texture of a wagon's material (1 to 5), or null when it has none. The caption does not
// own the textures: the train's mesh does.
using WagonTextureLookup = IDirect3DTexture9* (*)(UINT material);

// Paints the five pieces onto the wagon textures with GDI, each over 18 blanks that wipe
// the previous piece: golden text on the wagons' red. A wagon without a texture is passed
// over; a texture whose surface or device context cannot be had ends the program.
void drawCaption(const char pieces[kCaptionPieceCount][kCaptionPieceSize], WagonTextureLookup wagonTexture);
