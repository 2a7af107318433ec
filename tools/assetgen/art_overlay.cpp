// The overlay: a snow-capped evergreen plaque with a gilt edge, holly at the corners, a string
// of lights under the snow and a velvet ribbon holding the buttons.
#include <cmath>
#include <numbers>

#include "art.h"
#include "outline.h"

namespace assetgen {
namespace {

constexpr double kPi = std::numbers::pi;

// Direction the light comes from (up and to the left), for bevels.
const Vec2 kLight{-0.55, -0.83};

Vec2 gradient(const std::function<double(Vec2)>& f, Vec2 p) {
  const double e = 0.75;
  return Vec2{f({p.x + e, p.y}) - f({p.x - e, p.y}), f({p.x, p.y + e}) - f({p.x, p.y - e})} * (1.0 / (2 * e));
}

// Bevel lighting near an edge: positive where the surface tilts towards the light.
double bevel(const std::function<double(Vec2)>& f, Vec2 p, double width) {
  double d = f(p);
  if (d > 0 || d < -width) return 0;
  Vec2 g = gradient(f, p);
  double t = 1.0 + d / width;  // 1 at the edge, 0 at the inner end of the bevel
  return -dot(g, kLight) * t;
}

double frameDistance(Vec2 p) { return opSubtract(plaqueDistance(p), openingDistance(p)); }

Colour woodColour(Vec2 p) {
  double grain = fractalNoise(p.x * 0.02, p.y * 0.35, 4, 11);
  double fine = valueNoise(p.x * 0.5, p.y * 1.5, 12);
  Colour dark = rgb(18, 46, 34), light = rgb(38, 84, 58);
  return mix(dark, light, std::clamp(grain * 1.2 - 0.1 + fine * 0.15, 0.0, 1.0));
}

void paintFrame(Canvas& c) {
  auto frame = [](Vec2 p) { return frameDistance(p); };
  c.fillShape([](Vec2 p) { return opSubtract(outlineDistance(p), openingDistance(p)); },
              [&](Vec2 p) {
                Colour col = woodColour(p);
                double b = bevel(frame, p, 5.0);
                return b > 0 ? mix(col, rgb(120, 170, 130), b * 0.6) : mix(col, rgb(4, 14, 10), -b * 0.7);
              });
  // Gilt: a raised moulding around the opening and a fine line just inside the outer edge.
  auto mould = [](Vec2 p) { return std::abs(openingDistance(p) - 3.5) - 3.5; };
  c.fillShape(mould, [&](Vec2 p) {
    double across = (openingDistance(p) - 3.5) / 3.5;  // -1 inner edge .. 1 outer
    Vec2 g = gradient([](Vec2 q) { return openingDistance(q); }, p);
    double lit = -dot(g, kLight) * across;
    Colour base = rgb(196, 150, 58);
    return lit > 0 ? mix(base, rgb(255, 236, 160), lit) : mix(base, rgb(92, 58, 14), -lit * 0.9);
  });
  auto line = [](Vec2 p) { return std::abs(plaqueDistance(p) + 6.0) - 0.9; };
  c.fillShape(line, rgb(214, 172, 80));
}

void paintGarlands(Canvas& c) {
  // A fir garland with coloured lights runs down each side board of the frame.
  const Colour bulbs[] = {rgb(255, 70, 60), rgb(255, 210, 70), rgb(80, 200, 255), rgb(120, 255, 120),
                          rgb(255, 120, 220)};
  Random rng(1712);
  for (double side : {-1.0, 1.0}) {
    const double cx = side < 0 ? 36.5 : 477.5;
    auto pathX = [&](double y) { return cx + 2.2 * std::sin(y * 0.11 + (side < 0 ? 0.0 : 1.3)); };
    // Needles: short strokes around the path, darker underneath, lighter on top.
    for (int i = 0; i < 520; ++i) {
      double y = 176 + rng.uniform() * 160;
      double a = rng.range(0, 2 * kPi);
      double len = rng.range(2.5, 5.0);
      Vec2 p0{pathX(y) + rng.range(-1.5, 1.5), y + rng.range(-1.5, 1.5)};
      Vec2 p1 = p0 + Vec2{std::cos(a), std::sin(a)} * len;
      double shade = rng.uniform();
      Colour col = mix(rgb(10, 48, 26), rgb(70, 150, 80), shade);
      c.fillShape([&](Vec2 p) { return sdSegment(p, p0, p1, 0.45); }, col, static_cast<int>(std::min(p0.x, p1.x) - 2),
                  static_cast<int>(std::min(p0.y, p1.y) - 2), static_cast<int>(std::max(p0.x, p1.x) + 2),
                  static_cast<int>(std::max(p0.y, p1.y) + 2));
    }
    for (int k = 0; k < 8; ++k) {
      double y = 184 + k * 20.5;
      double x = pathX(y) + (k % 2 ? 2.5 : -2.5);
      Colour col = bulbs[(k + (side < 0 ? 0 : 2)) % 5];
      c.fillShape(
          [&](Vec2 p) {
            return sdCircle(p, {x, y}, 6.0);
          },
          [&](Vec2 p) {
            Colour g = col;
            g.a = 0.55 * std::pow(std::clamp(1.0 - length(p - Vec2{x, y}) / 6.0, 0.0, 1.0), 1.5);
            return g;
          },
          static_cast<int>(x - 7), static_cast<int>(y - 7), static_cast<int>(x + 7), static_cast<int>(y + 7));
      c.fillShape(
          [&](Vec2 p) {
            return sdVesica(toLocal(p, {x, y}, kPi / 2), 3.3, 2.0);
          },
          [&](Vec2 p) {
            return mix(col, rgb(255, 255, 240), std::clamp(1.0 - length(p - Vec2{x - 0.7, y - 1.0}) / 2.2, 0.0, 1.0));
          },
          static_cast<int>(x - 4), static_cast<int>(y - 5), static_cast<int>(x + 4), static_cast<int>(y + 5));
      c.fillShape(
          [&](Vec2 p) {
            return sdRoundBox(p, {x, y - 3.6}, {1.2, 0.9}, 0.2);
          },
          rgb(190, 160, 90), static_cast<int>(x - 3), static_cast<int>(y - 6), static_cast<int>(x + 3),
          static_cast<int>(y - 1));
    }
  }
}

void paintSnowCap(Canvas& c) {
  auto snow = [](Vec2 p) { return snowCapDistance(p); };
  c.fillShape(snow, [&](Vec2 p) {
    double d = snowCapDistance(p);
    Vec2 g = gradient(snow, p);
    double lit = std::clamp(-dot(g, kLight), -1.0, 1.0);
    double depth = std::clamp(-d / 10.0, 0.0, 1.0);
    Colour base = mix(rgb(236, 244, 255), rgb(198, 214, 240), depth * 0.5);
    Colour col = lit > 0 ? mix(base, rgb(255, 255, 255), lit * 0.8) : mix(base, rgb(140, 160, 205), -lit * 0.6);
    // The drift's underside, where it overhangs the board, lies in shadow.
    double under = std::clamp((p.y - 160.0) / 8.0, 0.0, 1.0);
    return mix(col, rgb(150, 170, 210), under * 0.6);
  });
  // Icicles hang from the drift into the opening, longest near the middle of each gap.
  Random rng(4242);
  for (int i = 0; i < 26; ++i) {
    double x = 70.0 + i * 14.8 + rng.range(-3.0, 3.0);
    double len = 1.0 + 7.0 * rng.uniform() * (0.5 + 0.5 * std::sin(i * 1.7));
    double w = 2.2 + rng.uniform();
    double top = 160.0;
    c.fillShape(
        [&](Vec2 p) {
          const Vec2 tri[] = {{x - w, top}, {x + w, top}, {x + 0.3, top + 8.0 + len}};
          return sdPolygon(p, tri) - 0.4;
        },
        [&](Vec2 p) {
          double t = (p.x - (x - w)) / (2 * w);
          return mix(rgb(250, 253, 255), rgb(150, 185, 230), std::clamp(t, 0.0, 1.0) * 0.8);
        },
        static_cast<int>(x - w - 2), static_cast<int>(top - 1), static_cast<int>(x + w + 2),
        static_cast<int>(top + 10 + len));
  }
}

void paintHolly(Canvas& c) {
  for (const HollyLeaf& leaf : hollyLeaves()) {
    auto d = [&](Vec2 p) { return hollyLeafDistance(leaf, p); };
    int x0 = static_cast<int>(leaf.centre.x - leaf.halfLength - 3),
        x1 = static_cast<int>(leaf.centre.x + leaf.halfLength + 3);
    int y0 = static_cast<int>(leaf.centre.y - leaf.halfLength - 3),
        y1 = static_cast<int>(leaf.centre.y + leaf.halfLength + 3);
    // A dark rim first, so overlapping leaves stay apart.
    c.fillShape([&](Vec2 p) { return d(p) - 0.8; }, rgb(6, 26, 12), x0, y0, x1, y1);
    c.fillShape(
        d,
        [&](Vec2 p) {
          Vec2 q = toLocal(p, leaf.centre, leaf.angle);
          double across = q.y / leaf.halfWidth;  // -1..1
          double along = q.x / leaf.halfLength;
          // Two halves folded along the midrib catch the light differently.
          Colour dark = rgb(18, 78, 34), light = rgb(62, 150, 70);
          double side = across < 0 ? 0.75 : 0.3;
          Colour col = mix(dark, light, side * (1.0 - std::abs(across) * 0.5));
          double rib = std::abs(q.y) < 0.7 && std::abs(along) < 0.85 ? 1.0 : 0.0;
          col = mix(col, rgb(150, 200, 120), rib * 0.7);
          double gloss = std::clamp(1.0 - length(Vec2{along + 0.3, across + 0.45} * 2.2), 0.0, 1.0);
          return mix(col, rgb(220, 255, 220), gloss * 0.45);
        },
        x0, y0, x1, y1);
  }
  for (const Berry& b : hollyBerries()) {
    int x0 = static_cast<int>(b.centre.x - b.radius - 2), x1 = static_cast<int>(b.centre.x + b.radius + 2);
    int y0 = static_cast<int>(b.centre.y - b.radius - 2), y1 = static_cast<int>(b.centre.y + b.radius + 2);
    c.fillShape([&](Vec2 p) { return sdCircle(p, b.centre, b.radius); },
                [&](Vec2 p) {
                  double r = length(p - b.centre) / b.radius;
                  Colour col = mix(rgb(230, 30, 40), rgb(110, 0, 12), std::clamp(r * r, 0.0, 1.0));
                  double spec = std::clamp(
                      1.0 - length(p - (b.centre + Vec2{-b.radius * 0.35, -b.radius * 0.4})) / (b.radius * 0.35), 0.0,
                      1.0);
                  return mix(col, rgb(255, 235, 235), spec);
                },
                x0, y0, x1, y1);
  }
}

void paintRibbon(Canvas& c) {
  // The tails lie behind the band, darker, with a fold shadow where they meet it.
  c.fillShape([](Vec2 p) { return ribbonTailDistance(p); },
              [](Vec2 p) {
                double shade = 0.65 + 0.35 * fractalNoise(p.x * 0.05, p.y * 0.1, 2, 5);
                double fold = std::clamp(1.0 - std::abs(ribbonDistance(p)) / 6.0, 0.0, 1.0);
                return scaled(mix(rgb(132, 16, 26), rgb(60, 4, 10), fold), shade);
              });
  auto band = [](Vec2 p) { return ribbonDistance(p); };
  c.fillShape(band, [&](Vec2 p) {
    // Across the band: velvet sheen brightest a third of the way down.
    double r = length(p - Vec2{262.0, -357.0});
    double t = (r - 712.0) / 50.0;  // 0 top .. 1 bottom
    double sheen = std::exp(-std::pow((t - 0.3) / 0.22, 2));
    Colour col = mix(rgb(120, 12, 22), rgb(205, 40, 48), sheen);
    double edge = std::min(t, 1.0 - t) * 50.0;
    if (edge < 4.5) {
      double g = std::clamp((4.5 - edge) / 1.5, 0.0, 1.0);
      Colour gold = mix(rgb(170, 120, 40), rgb(255, 220, 130), t < 0.5 ? 0.8 : 0.3);
      col = mix(col, gold, g);
    }
    // Stitching just inside the gold borders.
    if (std::abs(edge - 7.0) < 0.6 && std::fmod(std::atan2(p.x - 262.0, p.y + 357.0) * 712.0 + 400.0, 5.0) < 2.5) {
      col = mix(col, rgb(255, 200, 120), 0.6);
    }
    return col;
  });
}

void paintButtons(Canvas& c) {
  for (const ButtonSpec& b : kButtons) {
    Canvas face = paintButton(b.icon, b.rect.width(), b.rect.height(), false);
    c.draw(face, b.rect.left, b.rect.top);
  }
}

void paintLitButtonAtlas(Canvas& c) {
  for (size_t i = 0; i < kButtons.size(); ++i) {
    const PixelRect a = litButtonAtlasRect(i);
    Canvas face = paintButton(kButtons[i].icon, a.width(), a.height(), true);
    for (int y = 0; y < a.height(); ++y) {
      for (int x = 0; x < a.width(); ++x) c.at(a.left + x, a.top + y) = face.at(x, y);
    }
  }
}

// The window shows whole pixels: those the outline keeps and no others. Kept pixels on the
// silhouette become opaque, or the dark scene behind them would shade the window's rim; their
// painted colour, a blend of every layer's anti-aliased edge, gives way to that of the fully
// covered pixels next to them, so the snow's rim is snow. Everything else goes transparent.
void cutToOutline(Canvas& c) {
  const std::vector<uint8_t> coverage = outlineCoverageMap();
  auto covered = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < kWindowSize && y < kWindowSize &&
           coverage[static_cast<size_t>(y) * kWindowSize + x] == 255;
  };
  const Canvas painted = c;
  for (int y = 0; y < kWindowSize; ++y) {
    for (int x = 0; x < kWindowSize; ++x) {
      const uint8_t cov = coverage[static_cast<size_t>(y) * kWindowSize + x];
      Colour& px = c.at(x, y);
      if (!coverageInside(cov)) {
        px = {0, 0, 0, 0};
        continue;
      }
      if (cov == 255) continue;
      Colour sum{0, 0, 0, 0};
      int n = 0;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          if (!covered(x + dx, y + dy)) continue;
          const Colour& q = painted.at(x + dx, y + dy);
          sum = {sum.r + q.r, sum.g + q.g, sum.b + q.b, 0};
          ++n;
        }
      }
      if (n > 0) px = scaled(sum, 1.0 / n);
      px.a = 1.0;
    }
  }
}

}  // namespace

Canvas paintOverlay() {
  Canvas c(kWindowSize, kWindowSize, {0, 0, 0, 0});
  paintFrame(c);
  paintGarlands(c);
  paintRibbon(c);
  paintSnowCap(c);
  paintHolly(c);
  paintButtons(c);
  cutToOutline(c);
  paintLitButtonAtlas(c);
  return c;
}

}  // namespace assetgen
