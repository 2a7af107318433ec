// Where things sit in the window and in the scene: the numbers the pictures and the meshes share.
#pragma once

#include <array>
#include <string>

namespace assetgen {

// Hit rectangles of the eight buttons, window pixels, all bounds inclusive.
struct PixelRect {
  int left, top, right, bottom;
  int width() const { return right - left + 1; }
  int height() const { return bottom - top + 1; }
};

enum class ButtonIcon { kPrevious, kPlayPause, kStop, kNext, kInfo, kStayOnTop, kMinimise, kClose };

struct ButtonSpec {
  const char* resourceName;  // file name under resources/
  const char* meshName;      // object name inside the X file
  ButtonIcon icon;
  PixelRect rect;
};

inline constexpr std::array<ButtonSpec, 8> kButtons = {{
    {"BUT_PREV.X", "ButtonPrevious", ButtonIcon::kPrevious, {113, 355, 136, 384}},
    {"BUT_PLAY.X", "ButtonPlay", ButtonIcon::kPlayPause, {140, 361, 166, 389}},
    {"BUT_STOP.X", "ButtonStop", ButtonIcon::kStop, {172, 364, 199, 395}},
    {"BUT_NEXT.X", "ButtonNext", ButtonIcon::kNext, {206, 367, 234, 397}},
    {"BUT_INFO.X", "ButtonInfo", ButtonIcon::kInfo, {244, 369, 272, 397}},
    {"BUT_TOP.X", "ButtonTop", ButtonIcon::kStayOnTop, {282, 369, 310, 397}},
    {"BUT_MIN.X", "ButtonMinimise", ButtonIcon::kMinimise, {318, 366, 345, 396}},
    {"BUT_QUIT.X", "ButtonQuit", ButtonIcon::kClose, {352, 362, 379, 391}},
}};

// Where the lit picture of button i lies in the overlay picture: in the strip above the
// outline, which the overlay never shows, with transparent margins so filtering cannot bleed.
inline PixelRect litButtonAtlasRect(size_t i) {
  int x = 8;
  for (size_t k = 0; k < i; ++k) x += kButtons[k].rect.width() + 6;
  const PixelRect& r = kButtons[i].rect;
  return {x, 8, x + r.width() - 1, 8 + r.height() - 1};
}

// View-space depths (distance along the looking direction) of the flat layers. The train's
// circle spans about 270 to 845; the depth buffer has 16 bits, so the layers keep their distance.
inline constexpr double kButtonDepth = 20.0;
inline constexpr double kOverlayDepth = 60.0;
inline constexpr double kCreditsDepth = 1300.0;
inline constexpr double kBackgroundDepth = 15000.0;

// The overlay is split into three horizontal strips at these window rows (first row of the
// next strip).
inline constexpr int kOverlaySplit1 = 160;
inline constexpr int kOverlaySplit2 = 340;

}  // namespace assetgen
