#include "outline.h"

#include <numbers>

namespace assetgen {
namespace {

constexpr double kPi = std::numbers::pi;

// The board and the ribbon are laid out around these numbers.
constexpr Vec2 kPlaqueCentre{257.0, 250.0};
constexpr Vec2 kPlaqueHalf{230.0, 108.0};
constexpr double kPlaqueCorner = 26.0;

// The ribbon follows an arc so that it sags like cloth under the row of buttons.
constexpr Vec2 kRibbonArcCentre{262.0, -357.0};
constexpr double kRibbonInner = 712.0;
constexpr double kRibbonOuter = 762.0;
constexpr double kRibbonLeft = 98.0;
constexpr double kRibbonRight = 394.0;
constexpr double kRibbonMirror = (kRibbonLeft + kRibbonRight);  // x -> kRibbonMirror - x

Vec2 mirrorX(Vec2 p, double axisTimesTwo) { return {axisTimesTwo - p.x, p.y}; }

std::vector<HollyLeaf> makeLeaves() {
  std::vector<HollyLeaf> leaves;
  auto cluster = [&](Vec2 c, std::initializer_list<double> anglesDeg, double reach, double l, double w, bool mirrored) {
    for (double a : anglesDeg) {
      double rad = a * kPi / 180.0;
      Vec2 dir{std::cos(rad), std::sin(rad)};
      Vec2 centre = c + dir * reach;
      double angle = rad;
      if (mirrored) {
        centre = mirrorX(centre, 2.0 * kPlaqueCentre.x);
        angle = kPi - rad;
      }
      leaves.push_back({centre, angle, l, w});
    }
  };
  for (bool mirrored : {false, true}) {
    // Top corners: one leaf reaches out over the corner, two lie along the edges.
    cluster({42.0, 141.0}, {-142.0}, 19.0, 20.0, 9.5, mirrored);
    cluster({42.0, 141.0}, {-78.0, 172.0}, 17.0, 17.0, 8.5, mirrored);
    cluster({42.0, 141.0}, {-12.0, 40.0}, 18.0, 16.0, 8.0, mirrored);
    // Bottom corners.
    cluster({46.0, 350.0}, {148.0}, 18.0, 18.0, 9.0, mirrored);
    cluster({46.0, 350.0}, {-165.0, 75.0, -60.0}, 16.0, 15.0, 7.5, mirrored);
  }
  return leaves;
}

std::vector<Berry> makeBerries() {
  std::vector<Berry> berries;
  const Berry left[] = {
      {{41.0, 140.0}, 6.0}, {{51.0, 136.0}, 5.5}, {{47.5, 147.5}, 5.5}, {{45.0, 349.0}, 6.0}, {{55.0, 354.0}, 5.0},
  };
  for (const Berry& b : left) {
    berries.push_back(b);
    berries.push_back({mirrorX(b.centre, 2.0 * kPlaqueCentre.x), b.radius});
  }
  return berries;
}

}  // namespace

const std::vector<HollyLeaf>& hollyLeaves() {
  static const std::vector<HollyLeaf> leaves = makeLeaves();
  return leaves;
}

const std::vector<Berry>& hollyBerries() {
  static const std::vector<Berry> berries = makeBerries();
  return berries;
}

double plaqueDistance(Vec2 p) { return sdRoundBox(p, kPlaqueCentre, kPlaqueHalf, kPlaqueCorner); }

double snowCapDistance(Vec2 p) {
  // A row of overlapping mounds of varying size, a little irregular like real drifts.
  constexpr int kMounds = 15;
  double d = 1e9;
  for (int i = 0; i < kMounds; ++i) {
    double t = static_cast<double>(i) / (kMounds - 1);
    double x = 62.0 + t * (452.0 - 62.0);
    double wobble = std::sin(i * 2.3 + 0.7) * 0.5 + std::sin(i * 5.1) * 0.5;
    double r = 20.0 + 5.0 * wobble;
    double y = 148.0 + 2.5 * std::sin(i * 3.7 + 1.1);
    d = opSmoothUnion(d, sdCircle(p, {x, y}, r), 6.0);
  }
  // The drift sits on the board's top and hangs a little over its front.
  double band = sdRoundBox(p, {kPlaqueCentre.x, 150.0}, {kPlaqueHalf.x + 4.0, 9.0}, 8.0);
  return opSmoothUnion(d, band, 4.0);
}

double hollyLeafDistance(const HollyLeaf& leaf, Vec2 p) {
  Vec2 q = toLocal(p, leaf.centre, leaf.angle);
  double d = sdVesica(q, leaf.halfLength, leaf.halfWidth);
  // Bites out of both edges leave the holly's spiny points between them.
  double bite = leaf.halfLength * 0.2;
  for (double u : {-0.5, 0.0, 0.5}) {
    double x = u * leaf.halfLength;
    double edge = leaf.halfWidth * (1.0 - u * u * 0.9);
    for (double side : {-1.0, 1.0}) {
      d = opSubtract(d, sdCircle(q, {x, side * (edge + bite * 0.55)}, bite));
    }
  }
  return d;
}

double hollyDistance(Vec2 p) {
  double d = 1e9;
  for (const HollyLeaf& leaf : hollyLeaves()) {
    d = opUnion(d, hollyLeafDistance(leaf, p));
  }
  return d;
}

double berryDistance(Vec2 p) {
  double d = 1e9;
  for (const Berry& b : hollyBerries()) {
    d = opUnion(d, sdCircle(p, b.centre, b.radius));
  }
  return d;
}

double ribbonDistance(Vec2 p) {
  constexpr double mid = 0.5 * (kRibbonInner + kRibbonOuter);
  constexpr double half = 0.5 * (kRibbonOuter - kRibbonInner);
  double ring = std::abs(length(p - kRibbonArcCentre) - mid) - half;
  double slab = std::max(kRibbonLeft - p.x, p.x - kRibbonRight);
  return opIntersect(ring, slab);
}

double ribbonTailDistance(Vec2 p) {
  // Each end folds back behind the band and ends in a swallow tail.
  static const Vec2 kLeftTail[] = {
      {110.0, 346.0}, {56.0, 354.0}, {72.0, 374.0}, {58.0, 396.0}, {110.0, 394.0},
  };
  Vec2 q = p.x > 0.5 * kRibbonMirror ? mirrorX(p, kRibbonMirror) : p;
  return sdPolygon(q, kLeftTail);
}

double openingDistance(Vec2 p) {
  return sdRoundBox(p, {kPlaqueCentre.x, kPlaqueCentre.y + 1.0}, {kPlaqueHalf.x - 19.0, kPlaqueHalf.y - 22.0}, 14.0);
}

double outlineDistance(Vec2 p) {
  double d = opSmoothUnion(plaqueDistance(p), snowCapDistance(p), 3.0);
  d = opSmoothUnion(d, ribbonDistance(p), 6.0);
  d = opUnion(d, ribbonTailDistance(p));
  d = opUnion(d, hollyDistance(p));
  d = opUnion(d, berryDistance(p));
  return d;
}

uint8_t outlineCoverage(int x, int y) {
  double c = coverageFromDistance(outlineDistance({x + 0.5, y + 0.5}));
  return static_cast<uint8_t>(std::lround(c * 255.0));
}

std::vector<uint8_t> outlineCoverageMap() {
  std::vector<uint8_t> map(static_cast<size_t>(kWindowSize) * kWindowSize);
  for (int y = 0; y < kWindowSize; ++y) {
    for (int x = 0; x < kWindowSize; ++x) {
      map[static_cast<size_t>(y) * kWindowSize + x] = outlineCoverage(x, y);
    }
  }
  return map;
}

}  // namespace assetgen
