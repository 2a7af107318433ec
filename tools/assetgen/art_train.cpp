// Pictures of the train: the five wagons (caption red above, each its own trim, roof and cargo
// below), the locomotive's atlas and the spoked wheel.
#include <cmath>
#include <numbers>

#include "art.h"
#include "train.h"

namespace assetgen {
namespace {

constexpr double kPi = std::numbers::pi;

void fillRect(Canvas& c, const AtlasRect& r, const std::function<Colour(Vec2)>& f) {
  for (int y = r.y; y < r.y + r.h; ++y) {
    for (int x = r.x; x < r.x + r.w; ++x) {
      Vec2 local{x + 0.5 - r.x, y + 0.5 - r.y};
      c.at(x, y) = f(local);
      c.at(x, y).a = 1.0;
    }
  }
}

// Shape drawn inside an atlas rectangle, in its local pixel coordinates.
void shapeIn(Canvas& c, const AtlasRect& r, const std::function<double(Vec2)>& d,
             const std::function<Colour(Vec2)>& col) {
  Canvas tmp(r.w, r.h, {0, 0, 0, 0});
  tmp.fillShape(d, col);
  for (int y = 0; y < r.h; ++y) {
    for (int x = 0; x < r.w; ++x) c.blend(r.x + x, r.y + y, tmp.at(x, y), 1.0);
  }
}
void shapeIn(Canvas& c, const AtlasRect& r, const std::function<double(Vec2)>& d, Colour col) {
  shapeIn(c, r, d, [col](Vec2) { return col; });
}

Colour planks(Vec2 p, Colour base, double plankHeight, uint32_t seed, bool vertical = false) {
  double along = vertical ? p.y : p.x, across = vertical ? p.x : p.y;
  int plank = static_cast<int>(std::floor(across / plankHeight));
  double grain = fractalNoise(along * 0.08, plank * 3.1 + across * 0.5, 3, seed);
  Colour c = scaled(base, 0.82 + 0.3 * grain + 0.08 * (hashNoise(plank, 0, seed) - 0.5));
  double f = across / plankHeight - plank;
  if (f < 0.12) c = scaled(base, 0.45);
  return c;
}

Colour brass(Vec2 p, double h) {
  double t = p.y / h;
  Colour c = mix(rgb(255, 226, 130), rgb(150, 100, 30), std::clamp(std::abs(t - 0.3) * 1.6, 0.0, 1.0));
  return c;
}

struct WagonStyle {
  Colour trim;      // bottom band of the sides and the ends
  Colour trimLine;  // pinstripe
  Colour roof;
};

WagonStyle wagonStyle(int wagon) {
  switch (wagon) {
    case 1:
      return {rgb(26, 92, 58), rgb(236, 196, 96), rgb(70, 74, 88)};
    case 2:
      return {rgb(36, 64, 138), rgb(230, 230, 240), rgb(62, 70, 92)};
    case 3:
      return {rgb(112, 70, 34), rgb(236, 196, 96), rgb(80, 60, 40)};
    case 4:
      return {rgb(18, 104, 112), rgb(240, 240, 250), rgb(70, 74, 88)};
    default:
      return {rgb(34, 30, 34), rgb(236, 196, 96), rgb(58, 50, 54)};
  }
}

void paintWagonCommon(Canvas& c, int wagon) {
  using namespace wagon_atlas;
  const WagonStyle s = wagonStyle(wagon);
  // The caption's red fills the whole upper half: the caption paints its background in it.
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 256; ++x) c.at(x, y) = captionRed();
  }
  // Trim band under the caption: pinstripe, panel and a row of rivets.
  fillRect(c, {0, 128, 256, 32}, [&](Vec2 p) {
    Colour col = s.trim;
    col = scaled(col, 0.9 + 0.15 * (1.0 - p.y / 32.0));
    if (p.y < 2.0)
      col = scaled(captionRed(), 0.6);
    else if (p.y < 4.0)
      col = s.trimLine;
    if (p.y > 28.0) col = scaled(s.trim, 0.5);
    return col;
  });
  for (int i = 0; i < 16; ++i) {
    double x = 8 + i * 16;
    shapeIn(
        c, {0, 128, 256, 32},
        [=](Vec2 p) {
          return sdCircle(p, {x, 18}, 1.6);
        },
        [=](Vec2 p) { return mix(rgb(240, 230, 200), scaled(s.trim, 0.5), std::clamp((p.y - 17) / 2.0, 0.0, 1.0)); });
  }
  // Wagon ends: a panel in the trim colour with a darker border.
  fillRect(c, kEnd, [&](Vec2 p) {
    double edge = std::min({p.x, p.y, 64 - p.x, 64 - p.y});
    Colour col = planks(p, s.trim, 8.0, 20 + wagon, true);
    if (edge < 3) col = scaled(s.trim, 0.55);
    return col;
  });
  // Roof planks or sheets.
  fillRect(c, kRoof, [&](Vec2 p) {
    Colour col = planks(p, s.roof, 6.0, 30 + wagon);
    if (p.y < 6.4) col = scaled(s.roof, 0.6);  // the fascia seen from the side
    return col;
  });
  fillRect(c, kUnderframe, [&](Vec2 p) {
    Colour col = rgb(34, 30, 30);
    // Axle boxes and leaf springs.
    for (double cx : {18.0, 46.0, 82.0, 110.0}) {
      if (std::abs(p.x - cx) < 5 && p.y > 4) col = rgb(60, 56, 54);
      if (std::abs(p.x - cx) < 11 && std::abs(p.y - 5.0 - std::pow((p.x - cx) / 11.0, 2) * 3) < 1.2)
        col = rgb(90, 84, 80);
    }
    return col;
  });
  fillRect(c, kDark, [&](Vec2 p) { return scaled(rgb(30, 28, 30), 0.9 + 0.2 * valueNoise(p.x * 0.3, p.y * 0.3, 5)); });
  fillRect(c, kMetal, [&](Vec2 p) {
    if (p.x < 32) return scaled(rgb(60, 60, 66), 0.8 + 0.4 * (1 - p.y / 32));
    return brass(p, 32);
  });
}

void paintWagonSpecial(Canvas& c, int wagon) {
  using namespace wagon_atlas;
  const WagonStyle s = wagonStyle(wagon);
  switch (wagon) {
    case 1: {  // coach: clerestory with lit little windows
      fillRect(c, kStrip, [&](Vec2 p) {
        Colour col = s.trim;
        double wx = std::fmod(p.x, 16.0);
        if (wx > 4 && wx < 12 && p.y > 8 && p.y < 24) col = mix(rgb(255, 214, 120), rgb(255, 170, 70), p.y / 32);
        return col;
      });
      fillRect(c, kCargo, [&](Vec2) { return s.trim; });
      fillRect(c, kCargo2, [&](Vec2) { return s.trim; });
      // A door with a lit window on each end.
      shapeIn(
          c, kEnd,
          [](Vec2 p) {
            return sdRoundBox(p, {32, 38}, {12, 24}, 3);
          },
          scaled(s.trim, 0.7));
      shapeIn(
          c, kEnd,
          [](Vec2 p) {
            return sdRoundBox(p, {32, 26}, {7, 8}, 2);
          },
          rgb(255, 200, 110));
      break;
    }
    case 2: {  // van: a sliding door painted on the ends' gable and a lettered strip
      fillRect(c, kStrip, [&](Vec2 p) { return planks(p, s.trim, 8, 50); });
      fillRect(c, kCargo, [&](Vec2) { return s.trim; });
      fillRect(c, kCargo2, [&](Vec2) { return s.trim; });
      shapeIn(
          c, kEnd,
          [](Vec2 p) {
            return sdRoundBox(p, {32, 40}, {16, 20}, 1);
          },
          scaled(s.trim, 0.75));
      shapeIn(
          c, kEnd,
          [](Vec2 p) {
            return std::min(sdSegment(p, {17, 21}, {47, 59}, 1.2), sdSegment(p, {47, 21}, {17, 59}, 1.2));
          },
          s.trimLine);
      break;
    }
    case 3: {  // gift wagon: wooden rim and four wrapping papers with ribbons
      fillRect(c, kStrip, [&](Vec2 p) { return planks(p, rgb(150, 100, 50), 8, 51); });
      const Colour papers[4] = {rgb(200, 30, 40), rgb(30, 130, 60), rgb(40, 80, 190), rgb(230, 180, 50)};
      const Colour ribbons[4] = {rgb(255, 210, 80), rgb(220, 30, 40), rgb(230, 230, 240), rgb(200, 20, 30)};
      for (int q = 0; q < 4; ++q) {
        AtlasRect r{kCargo.x + (q % 2) * 32, kCargo.y + (q / 2) * 32, 32, 32};
        fillRect(c, r, [&](Vec2 p) {
          Colour col = papers[q];
          // Polka dots or stripes on the paper.
          if (q % 2 == 0) {
            Vec2 cell{std::fmod(p.x, 8.0) - 4, std::fmod(p.y, 8.0) - 4};
            if (length(cell) < 1.5) col = mix(col, rgb(255, 255, 255), 0.7);
          } else if (std::fmod(p.x + p.y, 8.0) < 2.5) {
            col = mix(col, rgb(255, 255, 255), 0.35);
          }
          if (std::abs(p.x - 16) < 3 || std::abs(p.y - 16) < 3) col = ribbons[q];
          return col;
        });
      }
      fillRect(c, kCargo2, [&](Vec2 p) { return p.x < 32 ? rgb(255, 210, 80) : rgb(255, 220, 120); });
      shapeIn(
          c, kEnd,
          [](Vec2 p) {
            return sdRoundBox(p, {32, 32}, {20, 3}, 1);
          },
          s.trimLine);
      break;
    }
    case 4: {  // tree wagon: needles with baubles and tinsel, tub and star
      fillRect(c, kStrip, [&](Vec2 p) { return planks(p, rgb(140, 96, 56), 8, 52); });
      fillRect(c, kCargo, [&](Vec2 p) {
        double n = fractalNoise(p.x * 0.25, p.y * 0.12, 3, 60);
        Colour col = mix(rgb(16, 70, 34), rgb(50, 130, 60), n);
        // Snow on the branch tips near the top of each tier's picture.
        if (hashNoise(static_cast<int>(p.x), static_cast<int>(p.y), 61) > 0.93 && p.y < 40) col = rgb(235, 240, 250);
        // Tinsel garland spiralling around.
        double g = std::fmod(p.y * 0.9 + p.x * 0.35, 16.0);
        if (g < 1.6) col = rgb(250, 214, 90);
        return col;
      });
      const Colour baubles[] = {rgb(230, 30, 40), rgb(60, 120, 255), rgb(255, 200, 40), rgb(230, 60, 200),
                                rgb(240, 240, 255)};
      Random rng(64);
      for (int i = 0; i < 14; ++i) {
        Vec2 ctr{rng.range(4, 60), rng.range(6, 50)};
        Colour col = baubles[i % 5];
        shapeIn(
            c, kCargo, [=](Vec2 p) { return sdCircle(p, ctr, 2.6); },
            [=](Vec2 p) {
              return mix(rgb(255, 255, 255), col, std::clamp(length(p - ctr + Vec2{0.9, 0.9}) / 1.6, 0.0, 1.0));
            });
      }
      fillRect(c, kCargo2, [&](Vec2 p) {
        if (p.x < 32) return planks(p, rgb(120, 60, 30), 6, 63);
        return mix(rgb(255, 250, 190), rgb(255, 190, 40), p.y / 32);
      });
      break;
    }
    default: {  // caboose: cupola with warm windows, stove pipe
      fillRect(c, kStrip, [&](Vec2) { return s.trim; });
      fillRect(c, kCargo, [&](Vec2 p) {
        Colour col = planks(p, rgb(140, 36, 36), 8, 70, true);
        if (p.y < 6) col = rgb(40, 34, 36);
        return col;
      });
      shapeIn(
          c, kCargo,
          [](Vec2 p) {
            return std::min(sdRoundBox(p, {17, 30}, {9, 13}, 2), sdRoundBox(p, {47, 30}, {9, 13}, 2));
          },
          [](Vec2 p) { return mix(rgb(255, 226, 140), rgb(255, 150, 50), p.y / 64); });
      fillRect(c, kCargo2, [&](Vec2) { return rgb(40, 34, 36); });
      shapeIn(
          c, kEnd,
          [](Vec2 p) {
            return sdRoundBox(p, {32, 38}, {12, 24}, 3);
          },
          scaled(s.trim, 1.6));
      shapeIn(
          c, kEnd,
          [](Vec2 p) {
            return sdCircle(p, {32, 24}, 5);
          },
          rgb(255, 60, 40));  // tail lamp
      break;
    }
  }
}

}  // namespace

Canvas paintWagon(int wagon) {
  Canvas c(256, 256, {0, 0, 0, 1});
  paintWagonCommon(c, wagon);
  paintWagonSpecial(c, wagon);
  return c;
}

Canvas paintLoco() {
  using namespace loco_atlas;
  Canvas c(256, 256, {0, 0, 0, 1});
  const Colour black = rgb(28, 28, 34), red = rgb(178, 28, 30);
  // Boiler: around runs left to right (top of the boiler at the left edge and the middle),
  // along runs downwards from the cab to the smokebox. Brass bands cross it.
  fillRect(c, kBoiler, [&](Vec2 p) {
    double around = p.x / 256.0 * 2 * kPi;  // 0 at the top
    double sheen = std::pow(std::max(0.0, std::cos(around + 0.6)), 6);
    Colour col = mix(black, rgb(120, 124, 150), sheen * 0.8);
    for (double band : {4.0, 30.0, 58.0}) {
      if (std::abs(p.y - band) < 2.2) col = mix(rgb(255, 214, 110), rgb(150, 100, 30), std::abs(p.y - band) / 2.2);
    }
    return col;
  });
  fillRect(c, kSmokebox, [&](Vec2 p) {
    Colour col = scaled(rgb(40, 40, 46), 0.9 + 0.2 * valueNoise(p.x * 0.2, p.y * 0.2, 3));
    if (std::abs(p.y - 4) < 1.0 && std::fmod(p.x, 6.0) < 2.5) col = rgb(90, 90, 96);
    if (p.y > 28) col = mix(rgb(255, 214, 110), rgb(150, 100, 30), (p.y - 28) / 4);
    return col;
  });
  fillRect(c, kSmokeboxDoor, [&](Vec2) { return rgb(36, 36, 42); });
  shapeIn(
      c, kSmokeboxDoor,
      [](Vec2 p) {
        return sdCircle(p, {32, 32}, 27);
      },
      rgb(52, 52, 60));
  for (int i = 0; i < 16; ++i) {
    double a = i * kPi / 8;
    Vec2 r{32 + 24 * std::cos(a), 32 + 24 * std::sin(a)};
    shapeIn(
        c, kSmokeboxDoor, [=](Vec2 p) { return sdCircle(p, r, 1.3); }, rgb(130, 130, 140));
  }
  shapeIn(
      c, kSmokeboxDoor,
      [](Vec2 p) {
        return std::min(sdSegment(p, {10, 22}, {36, 22}, 1.4), sdSegment(p, {10, 42}, {36, 42}, 1.4));
      },
      rgb(120, 120, 130));
  shapeIn(
      c, kSmokeboxDoor,
      [](Vec2 p) {
        return sdCircle(p, {32, 32}, 3.5);
      },
      rgb(255, 214, 110));
  shapeIn(
      c, kSmokeboxDoor,
      [](Vec2 p) {
        return sdRoundBox(p, {32, 50}, {11, 4}, 1);
      },
      rgb(230, 180, 70));
  shapeIn(
      c, kSmokeboxDoor,
      [](Vec2 p) {
        return sdRoundBox(p, {32, 50}, {9, 2.4}, 0.5);
      },
      red);
  // Cab side: black panel lined in red and gold, a lit window and a brass number plate.
  fillRect(c, kCabSide, [&](Vec2 p) {
    double edge = std::min({p.x, p.y, 128 - p.x, 64 - p.y});
    Colour col = black;
    if (edge > 4 && edge < 6) col = red;
    if (edge > 7 && edge < 8) col = rgb(220, 180, 80);
    return col;
  });
  shapeIn(
      c, kCabSide,
      [](Vec2 p) {
        return sdRoundBox(p, {64, 20}, {26, 13}, 6);
      },
      rgb(200, 150, 60));
  shapeIn(
      c, kCabSide,
      [](Vec2 p) {
        return sdRoundBox(p, {64, 20}, {23, 10.5}, 5);
      },
      [](Vec2 p) { return mix(rgb(255, 220, 130), rgb(240, 140, 40), p.y / 30); });
  shapeIn(
      c, kCabSide,
      [](Vec2 p) {
        return sdRoundBox(p, {64, 46}, {20, 6}, 2);
      },
      rgb(230, 184, 80));
  shapeIn(
      c, kCabSide,
      [](Vec2 p) {
        // "1225" in blocky brass-plate figures.
        double d = 1e9;
        const double x0 = 49, y0 = 42, w = 6, h = 8;
        auto seg = [&](double ax, double ay, double bx, double by) {
          d = std::min(d, sdSegment(p, {ax, ay}, {bx, by}, 0.8));
        };
        seg(x0 + 2, y0, x0 + 2, y0 + h);  // 1
        double x = x0 + 7;
        for (int k = 0; k < 2; ++k, x += 8) {  // 2 2
          seg(x, y0, x + w - 2, y0);
          seg(x + w - 2, y0, x + w - 2, y0 + h / 2);
          seg(x + w - 2, y0 + h / 2, x, y0 + h / 2);
          seg(x, y0 + h / 2, x, y0 + h);
          seg(x, y0 + h, x + w - 2, y0 + h);
        }
        seg(x + w - 2, y0, x, y0);
        seg(x, y0, x, y0 + h / 2);
        seg(x, y0 + h / 2, x + w - 2, y0 + h / 2);  // 5
        seg(x + w - 2, y0 + h / 2, x + w - 2, y0 + h);
        seg(x + w - 2, y0 + h, x, y0 + h);
        return d;
      },
      rgb(120, 20, 20));
  fillRect(c, kCabFront, [&](Vec2) { return black; });
  for (double x : {18.0, 46.0}) {
    shapeIn(
        c, kCabFront,
        [=](Vec2 p) {
          return sdCircle(p, {x, 16}, 9);
        },
        rgb(210, 160, 60));
    shapeIn(
        c, kCabFront,
        [=](Vec2 p) {
          return sdCircle(p, {x, 16}, 7);
        },
        [=](Vec2 p) { return mix(rgb(255, 226, 150), rgb(230, 130, 40), (p.y - 9) / 14); });
  }
  fillRect(c, kCabBack, [&](Vec2 p) {
    Colour col = black;
    if (std::abs(p.x - 32) < 10 && p.y > 6 && p.y < 22) col = rgb(240, 170, 80);
    return col;
  });
  fillRect(c, kRed, [&](Vec2 p) {
    Colour col = scaled(red, 0.9 + 0.2 * (1 - p.y / 32));
    if (p.y < 2.5) col = rgb(240, 200, 90);
    return col;
  });
  fillRect(c, kBlack, [&](Vec2 p) { return scaled(black, 0.9 + 0.25 * valueNoise(p.x * 0.2, p.y * 0.2, 4)); });
  fillRect(c, kBrass, [&](Vec2 p) { return brass(Vec2{p.y, p.x}, 64); });
  fillRect(c, kCoal, [&](Vec2 p) {
    // Lumps: cells of a jittered grid, each with its own facet brightness.
    double best = 1e9, second = 1e9;
    int bestId = 0;
    for (int gy = -1; gy <= 9; ++gy) {
      for (int gx = -1; gx <= 9; ++gx) {
        Vec2 site{gx * 8 + 8 * hashNoise(gx, gy, 90), gy * 8 + 8 * hashNoise(gx, gy, 91)};
        double d = length(p - site);
        if (d < best) {
          second = best;
          best = d;
          bestId = gx * 31 + gy;
        } else if (d < second) {
          second = d;
        }
      }
    }
    double facet = hashNoise(bestId, 0, 92);
    Colour col = scaled(rgb(40, 40, 46), 0.5 + facet);
    if (second - best < 1.0) col = rgb(8, 8, 10);
    if (facet > 0.93) col = rgb(150, 150, 170);
    return col;
  });
  fillRect(c, kLamp, [&](Vec2) { return black; });
  shapeIn(
      c, kLamp,
      [](Vec2 p) {
        return sdCircle(p, {32, 32}, 24);
      },
      rgb(220, 180, 80));
  shapeIn(
      c, kLamp,
      [](Vec2 p) {
        return sdCircle(p, {32, 32}, 20);
      },
      [](Vec2 p) {
        return mix(rgb(255, 255, 230), rgb(255, 190, 60), std::clamp(length(p - Vec2{32, 32}) / 20, 0.0, 1.0));
      });
  fillRect(c, kRoof, [&](Vec2 p) {
    Colour col = scaled(black, 1.1);
    if (p.y < 6.4) col = rgb(210, 170, 70);
    return col;
  });
  fillRect(c, kCylinder, [&](Vec2 p) {
    Colour col = rgb(70, 10, 12);
    if (std::fmod(p.x, 16.0) < 9) col = scaled(red, 0.9 + 0.3 * (1 - p.y / 32));
    if (p.y < 3) col = rgb(230, 180, 80);
    return col;
  });
  return c;
}

Canvas paintWheel() {
  Canvas c(64, 64, rgb(120, 124, 134));
  const Vec2 ctr{32, 32};
  // Tyre: steel ring; inside it the red wheel centre with eight spokes and a brass hub.
  // Everything is symmetric under a turn of one spoke, so the animation loop is seamless.
  c.forEach([&](Vec2 p, Colour& px) {
    double r = length(p - ctr);
    if (r > 31)
      px = rgb(120, 124, 134);
    else if (r > 27.5)
      px = mix(rgb(170, 174, 184), rgb(90, 94, 104), (r - 27.5) / 3.5);
    else
      px = rgb(30, 10, 12);  // dark between the spokes
  });
  c.fillShape([&](Vec2 p) { return std::abs(length(p - ctr) - 25.0) - 2.6; },
              [&](Vec2 p) {
                return mix(rgb(220, 40, 40), rgb(130, 14, 18), std::clamp((length(p - ctr) - 22.4) / 5.2, 0.0, 1.0));
              });
  for (int i = 0; i < 8; ++i) {
    double a = i * kPi / 4;
    Vec2 dir{std::cos(a), std::sin(a)};
    c.fillShape([&](Vec2 p) { return sdSegment(p, ctr + dir * 7.0, ctr + dir * 23.0, 2.0 - 0.03 * length(p - ctr)); },
                [&](Vec2 p) {
                  Vec2 side{-dir.y, dir.x};
                  double lit = dot(p - ctr, side);
                  return mix(rgb(200, 30, 34), rgb(240, 80, 70), std::clamp(lit, 0.0, 1.0));
                });
  }
  c.fillShape([&](Vec2 p) { return sdCircle(p, ctr, 8.0); },
              [&](Vec2 p) { return mix(rgb(210, 36, 40), rgb(120, 12, 16), length(p - ctr) / 8.0); });
  c.fillShape([&](Vec2 p) { return sdCircle(p, ctr, 4.2); },
              [&](Vec2 p) { return mix(rgb(255, 230, 140), rgb(170, 120, 40), length(p - ctr) / 4.2); });
  for (int i = 0; i < 8; ++i) {
    double a = i * kPi / 4 + kPi / 8;
    Vec2 b = ctr + Vec2{std::cos(a), std::sin(a)} * 6.2;
    c.fillShape([&](Vec2 p) { return sdCircle(p, b, 0.8); }, rgb(240, 210, 120));
  }
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) c.at(x, y).a = 1.0;
  }
  return c;
}

}  // namespace assetgen
