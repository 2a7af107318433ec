// Smoke puffs and the program's icon (a glass bauble).
#include <cmath>
#include <numbers>

#include "art.h"

namespace assetgen {

Canvas paintSmoke(int index) {
  // A soft cloud of overlapping blobs, different for each index, fading to nothing at the
  // picture's edge so that sprites never show a square.
  Canvas c(64, 64, {0, 0, 0, 0});
  Random rng(500 + static_cast<uint32_t>(index) * 17);
  struct Blob {
    Vec2 c;
    double r;
  };
  std::vector<Blob> blobs;
  int n = 4 + index;
  for (int i = 0; i < n; ++i) {
    double a = rng.range(0, 2 * std::numbers::pi);
    double d = rng.range(2, 14);
    blobs.push_back({{32 + d * std::cos(a), 33 + d * std::sin(a) * 0.8}, rng.range(8, 13.5)});
  }
  c.forEach([&](Vec2 p, Colour& px) {
    // Billows: each blob is a ball lit from the upper left; the nearest surface shows.
    double wobble =
        (fractalNoise(p.x * 0.15 + index * 7, p.y * 0.15, 3, 300 + static_cast<uint32_t>(index)) - 0.5) * 5.0;
    double field = 1e9, weightSum = 0;
    Vec2 normal{0, 0};
    double nzSum = 0;
    for (const Blob& b : blobs) {
      Vec2 d = (p - b.c) * (1.0 / b.r);
      double t2 = dot(d, d);
      field = std::min(field, length(p - b.c) - b.r);
      if (t2 < 1) {
        // Softly blended surfaces, so the billows merge without seams.
        double h = std::sqrt(1 - t2) * b.r;
        double w = std::exp(h * 0.6);
        normal = normal + d * w;
        nzSum += std::sqrt(1 - t2) * w;
        weightSum += w;
      }
    }
    if (weightSum > 0) {
      normal = normal * (1.0 / weightSum);
      nzSum /= weightSum;
    }
    field += wobble;
    double coverage = std::clamp(0.5 - field / 5.0, 0.0, 1.0);
    double nz = nzSum;
    double lit = std::clamp(0.55 + 0.45 * (-normal.x * 0.5 - normal.y * 0.6 + nz * 0.6), 0.0, 1.0);
    double grain = fractalNoise(p.x * 0.3, p.y * 0.3, 3, 320 + static_cast<uint32_t>(index));
    // Grey coal smoke thinned with steam: dark enough in its shadows to stand out over the
    // pale snow, light enough on its moonlit side to read over the night sky, never black.
    const double shade = std::clamp(lit * 0.9 + (grain - 0.5) * 0.3, 0.0, 1.0);
    Colour col = shade < 0.5 ? mix(rgb(92, 96, 112), rgb(150, 153, 164), shade / 0.5)
                             : mix(rgb(150, 153, 164), rgb(218, 219, 224), (shade - 0.5) / 0.5);
    // Thinner towards the rim of the puff, and nothing at the picture's edge.
    double edge = std::clamp((31.0 - length(p - Vec2{32, 32})) / 4.0, 0.0, 1.0);
    col.a = coverage * edge * (0.85 + 0.15 * nz);
    px = col;
  });
  return c;
}

Canvas paintIcon(int size) {
  // A red glass bauble with a gold cap and a sprig of holly: legible from 16 to 128 pixels.
  Canvas c(size, size, {0, 0, 0, 0});
  const double s = size / 128.0;
  const Vec2 ctr{64 * s, 72 * s};
  const double r = 50 * s;
  c.fillShape([&](Vec2 p) { return sdCircle(p, ctr, r); },
              [&](Vec2 p) {
                Vec2 d = (p - ctr) * (1.0 / r);
                double shade = std::clamp(length(d - Vec2{-0.35, -0.35}) / 1.35, 0.0, 1.0);
                Colour col = mix(rgb(255, 80, 80), rgb(110, 0, 10), shade);
                // A gold band around the middle.
                if (std::abs(d.y - 0.1) < 0.09) col = mix(rgb(255, 220, 110), rgb(170, 110, 30), shade);
                double spec = std::clamp(1.0 - length(d - Vec2{-0.42, -0.45}) / 0.22, 0.0, 1.0);
                return mix(col, rgb(255, 255, 255), spec * 0.9);
              });
  c.fillShape(
      [&](Vec2 p) {
        return sdRoundBox(p, {64 * s, 20 * s}, {11 * s, 7 * s}, 2 * s);
      },
      [&](Vec2 p) { return mix(rgb(255, 230, 140), rgb(160, 110, 30), (p.x - 53 * s) / (22 * s)); });
  if (size >= 32) {
    c.fillShape([&](Vec2 p) { return std::abs(length(p - Vec2{64 * s, 9 * s}) - 5 * s) - 1.3 * s; }, rgb(210, 170, 70));
  }
  // Holly sprig on the cap.
  for (double side : {-1.0, 1.0}) {
    Vec2 lc{64 * s + side * 16 * s, 18 * s};
    c.fillShape(
        [&](Vec2 p) { return sdVesica(toLocal(p, lc, side > 0 ? -0.35 : std::numbers::pi + 0.35), 13 * s, 5.5 * s); },
        [&](Vec2 p) {
          return mix(rgb(60, 150, 70), rgb(16, 70, 30), std::clamp((p.y - lc.y) / (8 * s) + 0.5, 0.0, 1.0));
        });
  }
  for (int k = 0; k < 3; ++k) {
    Vec2 b{64 * s + (k - 1) * 6 * s, (15 + (k == 1 ? -4 : 0)) * s};
    c.fillShape([&](Vec2 p) { return sdCircle(p, b, 4.2 * s); }, rgb(220, 20, 30));
  }
  return c;
}

}  // namespace assetgen
