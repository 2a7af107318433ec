// The caption as the program paints it on a wagon's picture, drawn here through the window
// layer's GDI with the same calls, font and colours, to compare with what the program's
// wagon textures hold.
#pragma once

#include <cstdint>

#include "x_session.h"

// The caption's colours as a 16-bit wagon texture stores them, widened to 0xRRGGBB the way
// the window layer's memory DC dumps widen them.
uint32_t captionTextColour();
uint32_t captionGroundColour();

// `wagon` (a dump of a 16-bit wagon texture) with 18 blanks drawn at (10, 70) and then
// `piece` at (x, 70): bold 50-pixel "Times New Roman", golden on the wagons' red.
Screenshot paintCaptionPiece(const Screenshot& wagon, const char* piece, int x);
