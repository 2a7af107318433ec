// Signed-distance primitives in pixel units (negative inside). The outline and the
// overlay art are both built from these, so the window's shape and its picture agree.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace assetgen {

struct Vec2 {
  double x = 0;
  double y = 0;
};

inline Vec2 operator+(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
inline Vec2 operator-(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
inline Vec2 operator*(Vec2 a, double s) { return {a.x * s, a.y * s}; }
inline double dot(Vec2 a, Vec2 b) { return a.x * b.x + a.y * b.y; }
inline double length(Vec2 a) { return std::sqrt(dot(a, a)); }

// Expresses p in a frame centred on c whose x axis points along angle (radians).
inline Vec2 toLocal(Vec2 p, Vec2 c, double angle) {
  Vec2 d = p - c;
  double cs = std::cos(angle), sn = std::sin(angle);
  return {d.x * cs + d.y * sn, -d.x * sn + d.y * cs};
}

inline double sdCircle(Vec2 p, Vec2 c, double r) { return length(p - c) - r; }

inline double sdRoundBox(Vec2 p, Vec2 c, Vec2 half, double r) {
  Vec2 q{std::abs(p.x - c.x) - half.x + r, std::abs(p.y - c.y) - half.y + r};
  Vec2 qo{std::max(q.x, 0.0), std::max(q.y, 0.0)};
  return length(qo) + std::min(std::max(q.x, q.y), 0.0) - r;
}

inline double sdSegment(Vec2 p, Vec2 a, Vec2 b, double r) {
  Vec2 pa = p - a, ba = b - a;
  double h = std::clamp(dot(pa, ba) / dot(ba, ba), 0.0, 1.0);
  return length(pa - ba * h) - r;
}

// Intersection of two discs: a pointed leaf of half length l and half width w along local x.
inline double sdVesica(Vec2 local, double l, double w) {
  double r = (l * l + w * w) / (2.0 * w);
  double d = r - w;
  double px = std::abs(local.y), py = std::abs(local.x);
  if ((py - l) * d > px * l) {
    return length(Vec2{px, py - l});
  }
  return length(Vec2{px + d, py}) - r;
}

// Closed polygon given by its corners in order (either winding).
template <size_t N>
double sdPolygon(Vec2 p, const Vec2 (&v)[N]) {
  double d = dot(p - v[0], p - v[0]);
  double s = 1.0;
  for (size_t i = 0, j = N - 1; i < N; j = i, ++i) {
    Vec2 e = v[j] - v[i];
    Vec2 w = p - v[i];
    Vec2 b = w - e * std::clamp(dot(w, e) / dot(e, e), 0.0, 1.0);
    d = std::min(d, dot(b, b));
    bool c1 = p.y >= v[i].y, c2 = p.y<v[j].y, c3 = e.x * w.y> e.y * w.x;
    if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) s = -s;
  }
  return s * std::sqrt(d);
}

inline double opUnion(double a, double b) { return std::min(a, b); }
inline double opSubtract(double a, double b) { return std::max(a, -b); }
inline double opIntersect(double a, double b) { return std::max(a, b); }

// Polynomial smooth minimum: blends the two shapes over a radius k.
inline double opSmoothUnion(double a, double b, double k) {
  double h = std::clamp(0.5 + 0.5 * (b - a) / k, 0.0, 1.0);
  return b + (a - b) * h - k * h * (1.0 - h);
}

// Coverage of a pixel from its centre's distance: a one-pixel ramp.
inline double coverageFromDistance(double d) { return std::clamp(0.5 - d, 0.0, 1.0); }

}  // namespace assetgen
