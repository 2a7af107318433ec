// The window's silhouette: a snow-capped plaque with holly at its corners and a curved
// ribbon below that carries the eight buttons. The same shapes give the window region
// (thresholded) and the overlay picture (anti-aliased), so the two always agree.
#pragma once

#include <cstdint>
#include <vector>

#include "sdf.h"

namespace assetgen {

inline constexpr int kWindowSize = 512;

struct HollyLeaf {
  Vec2 centre;
  double angle;  // direction of the leaf's long axis
  double halfLength;
  double halfWidth;
};

struct Berry {
  Vec2 centre;
  double radius;
};

// Parts of the outline, each as a signed distance in window pixels (y down).
double plaqueDistance(Vec2 p);   // the board itself, before snow
double snowCapDistance(Vec2 p);  // the drift along the top edge
double hollyLeafDistance(const HollyLeaf& leaf, Vec2 p);
double hollyDistance(Vec2 p);       // all leaves
double berryDistance(Vec2 p);       // all berries
double ribbonDistance(Vec2 p);      // the curved band under the buttons
double ribbonTailDistance(Vec2 p);  // its two swallow-tailed ends
double openingDistance(Vec2 p);     // the window in the plaque through which the scene shows

const std::vector<HollyLeaf>& hollyLeaves();
const std::vector<Berry>& hollyBerries();

// Signed distance of the whole silhouette.
double outlineDistance(Vec2 p);

// Coverage byte (0..255) of window pixel (x, y), from the distance at its centre.
uint8_t outlineCoverage(int x, int y);

// A pixel belongs to the window when its coverage reaches the alpha test's reference (127):
// then the overlay's outer edge passes the test exactly where the window has pixels.
inline bool coverageInside(uint8_t coverage) { return coverage >= 127; }

// Per-pixel coverage of the whole 512 x 512 window, row by row from the top.
std::vector<uint8_t> outlineCoverageMap();

}  // namespace assetgen
