// The pictures of the scene, painted from code.
#pragma once

#include "canvas.h"
#include "scene_layout.h"
#include "text.h"

namespace assetgen {

Canvas paintOverlay();                    // FINAL_LAYER.TGA, 512 x 512 with alpha
Canvas paintBackground();                 // FINAL_BACK.JPG, 512 x 512
Canvas paintCredits(TextRenderer& text);  // CREDZ.JPG, 512 x 512

// One button face as it appears unlit (in the overlay) or lit (the lit button meshes);
// drawn into a canvas of the button's own size.
Canvas paintButton(ButtonIcon icon, int width, int height, bool lit);

// The wagon pictures (256 x 256; the upper half is the caption's red), wagon 1 being the one
// behind the locomotive, and the locomotive's and the wheel's pictures.
Canvas paintWagon(int wagon);
Canvas paintLoco();
Canvas paintWheel();           // 64 x 64
Canvas paintSmoke(int index);  // 64 x 64 with alpha, index 0..4
Canvas paintIcon(int size);    // square with alpha

// The red behind the caption text. The caption paints its background as RGB(151, 39, 39) into
// the wagons' 16-bit (5-6-5) textures, where it lands on (148, 36, 33); the picture carries that
// value, which the texture loader's dithered conversion keeps, so no box shows round the text.
inline Colour captionRed() { return rgb(148, 36, 33); }

}  // namespace assetgen
