// The painted background: a winter night over snowy hills with pines, a village's warm
// windows, the moon, stars, falling snow, and the circle of track the train runs on.
#include <cmath>
#include <numbers>

#include "art.h"
#include "camera.h"
#include "train_layout.h"

namespace assetgen {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kHorizon = 238.0;

double hillHeight(double x, uint32_t seed, double base, double amplitude, double scale) {
  return base - amplitude * fractalNoise(x * scale, 0.5, 4, seed);
}

void paintSky(Canvas& c) {
  c.forEach([](Vec2 p, Colour& px) {
    double t = std::clamp((p.y - 120.0) / (kHorizon - 120.0), 0.0, 1.0);
    Colour top = rgb(6, 10, 38), mid = rgb(18, 34, 88), low = rgb(58, 78, 140);
    px = t < 0.6 ? mix(top, mid, t / 0.6) : mix(mid, low, (t - 0.6) / 0.4);
    // A faint band of cloud.
    double cloud = fractalNoise(p.x * 0.012, p.y * 0.05, 5, 3);
    double band = std::exp(-std::pow((p.y - 205.0) / 18.0, 2));
    px = mix(px, rgb(70, 86, 140), std::clamp((cloud - 0.45) * 2.0, 0.0, 1.0) * band * 0.5);
    px.a = 1.0;
  });
  Random rng(1225);
  for (int i = 0; i < 420; ++i) {
    double x = rng.range(0, 512), y = rng.range(100, kHorizon - 6);
    double b = rng.uniform();
    double size = 0.45 + 0.9 * b * b;
    Colour col = mix(rgb(170, 190, 255), rgb(255, 244, 220), rng.uniform());
    double fade = std::clamp((kHorizon - 4 - y) / 40.0, 0.2, 1.0);
    col.a = (0.35 + 0.65 * b) * fade;
    c.fillShape(
        [&](Vec2 p) {
          return sdCircle(p, {x, y}, size);
        },
        col, static_cast<int>(x - 3), static_cast<int>(y - 3), static_cast<int>(x + 3), static_cast<int>(y + 3));
    if (b > 0.93) {
      // The brightest stars twinkle with a small cross.
      Colour glint = col;
      glint.a = 0.6 * fade;
      c.fillShape(
          [&](Vec2 p) {
            return std::min(sdSegment(p, {x - 4.5, y}, {x + 4.5, y}, 0.3),
                            sdSegment(p, {x, y - 4.5}, {x, y + 4.5}, 0.3));
          },
          glint, static_cast<int>(x - 6), static_cast<int>(y - 6), static_cast<int>(x + 6), static_cast<int>(y + 6));
    }
  }
}

void paintMoon(Canvas& c) {
  const Vec2 m{112.0, 198.0};
  const double r = 13.5;
  c.fillShape([&](Vec2 p) { return sdCircle(p, m, r * 4.5); },
              [&](Vec2 p) {
                double d = length(p - m) / (r * 4.5);
                Colour g = rgb(190, 210, 255);
                g.a = 0.35 * std::pow(1.0 - std::clamp(d, 0.0, 1.0), 2.2);
                return g;
              });
  c.fillShape([&](Vec2 p) { return sdCircle(p, m, r); },
              [&](Vec2 p) {
                Colour col = rgb(255, 250, 226);
                double crater = fractalNoise(p.x * 0.25, p.y * 0.25, 3, 9);
                col = mix(col, rgb(214, 208, 190), std::clamp((crater - 0.5) * 2.5, 0.0, 1.0));
                // The terminator: a little shade on the lower right.
                double s = std::clamp(dot(p - m, Vec2{0.7, 0.7}) / r, 0.0, 1.0);
                return mix(col, rgb(200, 196, 186), s * 0.35);
              });
}

void paintPine(Canvas& c, double x, double baseY, double height, Colour body, Colour snow) {
  const int tiers = 4;
  for (int t = 0; t < tiers; ++t) {
    double top = baseY - height + t * height * 0.2;
    double bottom = std::min(top + height * 0.42, baseY - height * 0.08);
    double half = height * 0.36 * (0.45 + 0.55 * (t + 1) / tiers);
    const Vec2 v[] = {{x, top}, {x + half, bottom}, {x - half, bottom}};
    c.fillShape([&](Vec2 p) { return sdPolygon(p, v); },
                [&](Vec2 p) {
                  // Snow lies along the upper edges of each tier, more on the moonlit left.
                  double fromTop = std::clamp((p.y - top) / std::max(bottom - top, 1.0), 0.0, 1.0);
                  double edge = std::abs(p.x - x) / (half * std::max(fromTop, 0.05));
                  double snowy = std::clamp((edge - 0.5) * 3.0, 0.0, 1.0) * (p.x < x ? 1.0 : 0.55);
                  snowy *= std::clamp(1.2 - fromTop * 1.4, 0.0, 1.0);
                  double droop = std::clamp((fromTop - 0.82) * 8.0, 0.0, 1.0) * (p.x < x ? 0.9 : 0.5);
                  return mix(body, snow, std::clamp(std::max(snowy, droop), 0.0, 0.92));
                },
                static_cast<int>(x - half - 2), static_cast<int>(top - 2), static_cast<int>(x + half + 2),
                static_cast<int>(bottom + 2));
  }
  c.fillShape(
      [&](Vec2 p) {
        return sdRoundBox(p, {x, baseY - height * 0.05}, {height * 0.035 + 0.3, height * 0.06}, 0.2);
      },
      rgb(30, 22, 20), static_cast<int>(x - 4), static_cast<int>(baseY - height * 0.2), static_cast<int>(x + 4),
      static_cast<int>(baseY + 2));
}

void paintHills(Canvas& c) {
  struct Range {
    uint32_t seed;
    double base, amplitude, scale;
    Colour lit, shade;
  };
  const Range ranges[] = {
      {21, kHorizon - 4, 34, 0.008, rgb(120, 140, 190), rgb(70, 86, 140)},
      {22, kHorizon + 2, 22, 0.014, rgb(170, 188, 225), rgb(96, 112, 168)},
  };
  for (size_t r = 0; r < 2; ++r) {
    const Range& g = ranges[r];
    c.forEach([&](Vec2 p, Colour& px) {
      double h = hillHeight(p.x, g.seed, g.base, g.amplitude, g.scale);
      if (p.y < h - 1) return;
      double slope = hillHeight(p.x + 2, g.seed, g.base, g.amplitude, g.scale) -
                     hillHeight(p.x - 2, g.seed, g.base, g.amplitude, g.scale);
      // Moonlight from the left: slopes rising to the right are lit.
      double lit = std::clamp(0.5 - slope * 0.35, 0.0, 1.0);
      Colour col = mix(g.shade, g.lit, lit);
      double depth = std::clamp((p.y - h) / 30.0, 0.0, 1.0);
      col = mix(col, g.shade, depth * 0.4);
      double cov = std::clamp(p.y - h + 0.5, 0.0, 1.0);
      px = mix(px, col, cov);
    });
    // Pines along the ridge of each range.
    Random rng(900 + static_cast<uint32_t>(r));
    int count = r == 0 ? 60 : 40;
    for (int i = 0; i < count; ++i) {
      double x = rng.range(20, 492);
      double h = hillHeight(x, g.seed, g.base, g.amplitude, g.scale);
      double size = r == 0 ? rng.range(5, 10) : rng.range(8, 16);
      double y = h + rng.range(1.0, r == 0 ? 9.0 : 6.0);
      Colour body = r == 0 ? rgb(40, 60, 96) : rgb(20, 44, 56);
      Colour snow = r == 0 ? rgb(150, 168, 210) : rgb(200, 215, 240);
      paintPine(c, x, y, size, body, snow);
    }
  }
}

void paintVillage(Canvas& c) {
  // Little houses with lit windows, scattered on the near slopes, and a chapel.
  Random rng(31);
  const double xs[] = {178, 192, 206, 300, 318, 331, 372};
  for (double x : xs) {
    double ground = hillHeight(x, 22, kHorizon + 2, 22, 0.014) + 3.0;
    double w = rng.range(7, 10), h = rng.range(5, 7);
    c.fillShape(
        [&](Vec2 p) {
          return sdRoundBox(p, {x, ground - h / 2}, {w / 2, h / 2}, 0.3);
        },
        rgb(60, 48, 58), static_cast<int>(x - w), static_cast<int>(ground - h - 8), static_cast<int>(x + w),
        static_cast<int>(ground + 1));
    const Vec2 roof[] = {{x - w / 2 - 1.5, ground - h}, {x, ground - h - w * 0.45}, {x + w / 2 + 1.5, ground - h}};
    c.fillShape([&](Vec2 p) { return sdPolygon(p, roof); }, rgb(225, 232, 248), static_cast<int>(x - w),
                static_cast<int>(ground - h - w), static_cast<int>(x + w), static_cast<int>(ground - h + 1));
    for (int k = 0; k < 2; ++k) {
      double wx = x - w / 4 + k * w / 2, wy = ground - h / 2;
      c.fillShape(
          [&](Vec2 p) {
            return sdCircle(p, {wx, wy}, 4.0);
          },
          [&](Vec2 p) {
            Colour g = rgb(255, 190, 90);
            g.a = 0.3 * std::clamp(1.0 - length(p - Vec2{wx, wy}) / 4.0, 0.0, 1.0);
            return g;
          },
          static_cast<int>(wx - 5), static_cast<int>(wy - 5), static_cast<int>(wx + 5), static_cast<int>(wy + 5));
      c.fillShape(
          [&](Vec2 p) {
            return sdRoundBox(p, {wx, wy}, {0.9, 1.1}, 0.1);
          },
          rgb(255, 214, 120), static_cast<int>(wx - 2), static_cast<int>(wy - 2), static_cast<int>(wx + 2),
          static_cast<int>(wy + 2));
    }
  }
  // The chapel with its tower on the right-hand hill.
  double x = 350, ground = hillHeight(x, 22, kHorizon + 2, 22, 0.014) + 3.0;
  c.fillShape(
      [&](Vec2 p) {
        return std::min(sdRoundBox(p, {x, ground - 4}, {7, 4}, 0.3), sdRoundBox(p, {x - 5, ground - 9}, {2.2, 9}, 0.2));
      },
      rgb(70, 60, 70), static_cast<int>(x - 10), static_cast<int>(ground - 26), static_cast<int>(x + 10),
      static_cast<int>(ground + 1));
  const Vec2 spire[] = {{x - 7.6, ground - 18}, {x - 5, ground - 26}, {x - 2.4, ground - 18}};
  c.fillShape([&](Vec2 p) { return sdPolygon(p, spire); }, rgb(220, 228, 245), static_cast<int>(x - 9),
              static_cast<int>(ground - 28), static_cast<int>(x), static_cast<int>(ground - 16));
  c.fillShape(
      [&](Vec2 p) {
        return sdCircle(p, {x + 2, ground - 4}, 1.6);
      },
      rgb(255, 200, 110), static_cast<int>(x - 1), static_cast<int>(ground - 7), static_cast<int>(x + 5),
      static_cast<int>(ground - 1));
  c.fillShape(
      [&](Vec2 p) {
        return sdCircle(p, {x - 5, ground - 12}, 1.0);
      },
      rgb(255, 214, 120), static_cast<int>(x - 7), static_cast<int>(ground - 14), static_cast<int>(x - 3),
      static_cast<int>(ground - 10));
}

void paintSnowField(Canvas& c) {
  c.forEach([](Vec2 p, Colour& px) {
    // The plain begins a little below the hills' foot, along a gently rolling line.
    double fieldTop = kHorizon + 7.0 + 2.0 * std::sin(p.x * 0.021) + 1.5 * std::sin(p.x * 0.053 + 1.0);
    if (p.y < fieldTop - 1) return;
    double t = std::clamp((p.y - fieldTop) / 110.0, 0.0, 1.0);
    Colour col = mix(rgb(146, 162, 208), rgb(212, 224, 248), std::sqrt(t));
    // Long, low drifts, lit from the left, fading out into the distance.
    double drift = fractalNoise(p.x * 0.006, p.y * 0.045, 4, 41);
    col = mix(col, rgb(120, 136, 186), std::clamp((0.5 - drift) * 1.2, 0.0, 0.35) * (0.3 + 0.7 * t));
    // Mist where the plain meets the hills.
    double mist = std::exp(-(p.y - fieldTop) / 6.0);
    col = mix(col, rgb(170, 184, 226), mist * 0.6);
    double cov = std::clamp(p.y - fieldTop + 0.5, 0.0, 1.0);
    px = mix(px, col, cov);
    if (hashNoise(static_cast<int>(p.x), static_cast<int>(p.y), 88) > 0.994) px = rgb(255, 255, 255);
  });
}

void paintTrack(Canvas& c) {
  const Camera cam;
  auto screen = [&](double radius, double angle, double y) {
    ScreenPoint s = cam.project({radius * std::cos(angle), y, radius * std::sin(angle)});
    return std::pair<Vec2, double>{Vec2{s.x, s.y}, s.viewZ};
  };
  // Window pixels per world unit at a view depth (the projection's focal length over depth).
  const double focal = cam.projection().at(1, 1) * Camera::kViewport / 2.0;
  // One stroke along a circle of the track at the given height; the half width in world units
  // is kept from falling under minPixels so the far side still reads.
  auto ring = [&](double radius, double y, double halfWidth, double minPixels, Colour colour, int steps) {
    for (int i = 0; i < steps; ++i) {
      const double a0 = 2 * kPi * i / steps, a1 = 2 * kPi * (i + 1) / steps;
      const auto from = screen(radius, a0, y);
      const Vec2 p0 = from.first, p1 = screen(radius, a1, y).first;
      const double w = std::max(minPixels, halfWidth * focal / from.second);
      c.fillShape([&](Vec2 p) { return sdSegment(p, p0, p1, w); }, colour,
                  static_cast<int>(std::min(p0.x, p1.x) - w - 2), static_cast<int>(std::min(p0.y, p1.y) - w - 2),
                  static_cast<int>(std::max(p0.x, p1.x) + w + 2), static_cast<int>(std::max(p0.y, p1.y) + w + 2));
    }
  };
  // A dug bed of packed snow under the track, then the sleepers, then the two rails.
  ring(kTrackRadius, kRailY - 1.5, 26.0 * 0.35, 0.0, rgb(160, 170, 205, 0.5), 720);
  for (int i = 0; i < 180; ++i) {
    const double a = 2 * kPi * i / 180;
    const auto inner = screen(kTrackRadius - kGaugeHalf - 6.0, a, kRailY - kRailHeight);
    const Vec2 p0 = inner.first, p1 = screen(kTrackRadius + kGaugeHalf + 6.0, a, kRailY - kRailHeight).first;
    const double w = std::max(0.5, 1.1 * focal / inner.second);
    c.fillShape([&](Vec2 p) { return sdSegment(p, p0, p1, w); }, rgb(86, 62, 50),
                static_cast<int>(std::min(p0.x, p1.x) - 4), static_cast<int>(std::min(p0.y, p1.y) - 4),
                static_cast<int>(std::max(p0.x, p1.x) + 4), static_cast<int>(std::max(p0.y, p1.y) + 4));
  }
  // Each rail under its wheels: a dark steel body standing on the sleepers, so it reads as a
  // line against the snow even on the far side, and a bright running surface on top where the
  // wheels touch.
  for (double r : {kTrackRadius - kGaugeHalf, kTrackRadius + kGaugeHalf}) {
    ring(r, kRailY - kRailHeight / 2, kRailHalfWidth, 0.85, rgb(46, 50, 64), 1440);
    ring(r, kRailY - 0.3, kRailHalfWidth * 0.6, 0.4, rgb(196, 204, 222), 1440);
  }
}

void paintForegroundPines(Canvas& c) {
  // Big pines at the sides frame the view and hide the ends of the distant ranges; a small
  // fir stands before each in the lower corners. All of them keep clear of what the train
  // covers on its round (about x 96 to 434, y 240 to 328 in the window): a tree painted there
  // in front of the track would still be drawn behind the passing train.
  paintPine(c, 62, 300, 95, rgb(14, 36, 40), rgb(226, 236, 252));
  paintPine(c, 80, 332, 46, rgb(18, 42, 44), rgb(226, 236, 252));
  paintPine(c, 466, 305, 100, rgb(14, 36, 40), rgb(226, 236, 252));
  paintPine(c, 446, 334, 48, rgb(18, 42, 44), rgb(226, 236, 252));
}

void paintFallingSnow(Canvas& c) {
  Random rng(2512);
  for (int i = 0; i < 900; ++i) {
    double x = rng.range(0, 512), y = rng.range(140, 360);
    double near = rng.uniform();
    double r = 0.4 + near * near * 1.6;
    Colour col = rgb(240, 246, 255, 0.45 + 0.45 * near);
    c.fillShape(
        [&](Vec2 p) {
          return sdCircle(p, {x, y}, r);
        },
        col, static_cast<int>(x - 3), static_cast<int>(y - 3), static_cast<int>(x + 3), static_cast<int>(y + 3));
  }
}

}  // namespace

Canvas paintBackground() {
  Canvas c(512, 512, rgb(6, 10, 38));
  paintSky(c);
  paintMoon(c);
  paintHills(c);
  paintVillage(c);
  paintSnowField(c);
  paintTrack(c);
  paintForegroundPines(c);
  paintFallingSnow(c);
  return c;
}

}  // namespace assetgen
