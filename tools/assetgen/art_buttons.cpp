// Button faces: a gilt-rimmed enamel tile with a clear pictogram. Unlit tiles are part of the
// overlay; the lit ones glow and are drawn over them by the button meshes.
#include <cmath>
#include <numbers>

#include "art.h"

namespace assetgen {
namespace {

double iconDistance(ButtonIcon icon, Vec2 p) {
  // p is relative to the tile's centre; the pictograms fit within about 14 x 14 pixels.
  auto tri = [](Vec2 q, Vec2 a, Vec2 b, Vec2 c) {
    const Vec2 v[] = {a, b, c};
    return sdPolygon(q, v);
  };
  auto bar = [](Vec2 q, double x0, double y0, double x1, double y1) {
    return sdRoundBox(q, {(x0 + x1) / 2, (y0 + y1) / 2}, {(x1 - x0) / 2, (y1 - y0) / 2}, 0.6);
  };
  switch (icon) {
    case ButtonIcon::kPrevious:
      return std::min(
          {bar(p, -6.5, -6, -4.2, 6), tri(p, {-4.2, 0}, {1.5, -6}, {1.5, 6}), tri(p, {1.0, 0}, {6.7, -6}, {6.7, 6})});
    case ButtonIcon::kNext:
      return std::min(
          {bar(p, 4.2, -6, 6.5, 6), tri(p, {4.2, 0}, {-1.5, -6}, {-1.5, 6}), tri(p, {-1.0, 0}, {-6.7, -6}, {-6.7, 6})});
    case ButtonIcon::kPlayPause:
      return std::min({tri(p, {-7.0, -6.5}, {1.5, 0}, {-7.0, 6.5}), bar(p, 2.8, -6, 4.6, 6), bar(p, 5.8, -6, 7.6, 6)});
    case ButtonIcon::kStop:
      return sdRoundBox(p, {0, 0}, {5.5, 5.5}, 1.2);
    case ButtonIcon::kInfo:
      return std::min({sdCircle(p, {0, -5.2}, 1.9), bar(p, -1.5, -1.8, 1.5, 6.0), bar(p, -3.2, -1.8, 1.5, -0.2),
                       bar(p, -3.2, 4.8, 3.2, 6.4)});
    case ButtonIcon::kStayOnTop: {
      // A stack of three layers seen from above, the top one solid: this window above
      // the others.
      auto layer = [&](double cy) {
        const Vec2 v[] = {{0, cy - 3.3}, {7, cy}, {0, cy + 3.3}, {-7, cy}};
        return sdPolygon(p, v);
      };
      const double top = layer(-3.8);
      const double middle = opSubtract(std::abs(layer(0.4)) - 0.65, top - 1.8);
      const double bottom = opSubtract(std::abs(layer(4.6)) - 0.65, layer(0.4) - 1.8);
      return std::min({top, middle, bottom});
    }
    case ButtonIcon::kMinimise:
      return bar(p, -6, 3.5, 6, 6.3);
    case ButtonIcon::kClose:
      return std::min(sdSegment(p, {-5.2, -5.2}, {5.2, 5.2}, 1.5), sdSegment(p, {-5.2, 5.2}, {5.2, -5.2}, 1.5));
  }
  return 1e9;
}

}  // namespace

Canvas paintButton(ButtonIcon icon, int width, int height, bool lit) {
  Canvas c(width, height, {0, 0, 0, 0});
  const Vec2 centre{width / 2.0, height / 2.0};
  const Vec2 half{width / 2.0 - 0.5, height / 2.0 - 0.5};
  auto tile = [&](Vec2 p) { return sdRoundBox(p, centre, half, 7.0); };
  auto face = [&](Vec2 p) { return sdRoundBox(p, centre, {half.x - 2.2, half.y - 2.2}, 5.2); };
  // Gilt rim, lighter at the top.
  c.fillShape(tile, [&](Vec2 p) {
    double t = (p.y) / height;
    return lit ? mix(rgb(255, 246, 190), rgb(236, 170, 60), t) : mix(rgb(236, 196, 110), rgb(130, 86, 24), t);
  });
  // Enamel face: deep green when idle, a warm glow when lit.
  c.fillShape(face, [&](Vec2 p) {
    double r = length(Vec2{(p.x - centre.x) / half.x, (p.y - centre.y - 1.5) / half.y});
    if (lit) return mix(rgb(255, 248, 196), rgb(255, 170, 40), std::clamp(r, 0.0, 1.0));
    Colour col = mix(rgb(40, 110, 70), rgb(10, 48, 30), std::clamp(r, 0.0, 1.0));
    // A soft reflection across the top of the enamel.
    double gloss = std::clamp(1.0 - std::abs((p.y - centre.y + half.y * 0.55) / 3.0), 0.0, 1.0);
    return mix(col, rgb(170, 220, 190), gloss * 0.35);
  });
  // The pictogram with a thin dark edge so it reads at this size.
  auto icn = [&](Vec2 p) { return iconDistance(icon, p - centre); };
  c.fillShape([&](Vec2 p) { return icn(p) - 0.9; }, lit ? rgb(120, 30, 0, 0.8) : rgb(0, 20, 8, 0.8));
  c.fillShape(icn, lit ? rgb(150, 20, 20) : rgb(255, 240, 200));
  return c;
}

}  // namespace assetgen
