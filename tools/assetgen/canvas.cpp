#include "canvas.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

Colour rgb(int r, int g, int b, double a) { return {r / 255.0, g / 255.0, b / 255.0, a}; }

Colour mix(Colour x, Colour y, double t) {
  return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}

Colour scaled(Colour c, double s) { return {c.r * s, c.g * s, c.b * s, c.a}; }

Canvas::Canvas(int width, int height, Colour fill)
    : m_width(width), m_height(height), m_pixels(static_cast<size_t>(width) * height, fill) {}

void Canvas::blend(int x, int y, Colour c, double coverage) {
  if (x < 0 || y < 0 || x >= m_width || y >= m_height) return;
  double sa = std::clamp(c.a * coverage, 0.0, 1.0);
  if (sa <= 0) return;
  Colour& d = at(x, y);
  double oa = sa + d.a * (1.0 - sa);
  if (oa <= 0) {
    d = {0, 0, 0, 0};
    return;
  }
  d.r = (c.r * sa + d.r * d.a * (1.0 - sa)) / oa;
  d.g = (c.g * sa + d.g * d.a * (1.0 - sa)) / oa;
  d.b = (c.b * sa + d.b * d.a * (1.0 - sa)) / oa;
  d.a = oa;
}

void Canvas::fillShape(const std::function<double(Vec2)>& distance, const std::function<Colour(Vec2)>& colour, int x0,
                       int y0, int x1, int y1, double softness) {
  if (x1 < 0) x1 = m_width - 1;
  if (y1 < 0) y1 = m_height - 1;
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, m_width - 1);
  y1 = std::min(y1, m_height - 1);
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      Vec2 p{x + 0.5, y + 0.5};
      double d = distance(p);
      double cov = std::clamp(0.5 - d / softness, 0.0, 1.0);
      if (cov > 0) blend(x, y, colour(p), cov);
    }
  }
}

void Canvas::fillShape(const std::function<double(Vec2)>& distance, Colour colour, int x0, int y0, int x1, int y1,
                       double softness) {
  fillShape(
      distance, [colour](Vec2) { return colour; }, x0, y0, x1, y1, softness);
}

void Canvas::forEach(const std::function<void(Vec2, Colour&)>& f) {
  for (int y = 0; y < m_height; ++y) {
    for (int x = 0; x < m_width; ++x) f({x + 0.5, y + 0.5}, at(x, y));
  }
}

void Canvas::draw(const Canvas& src, int x, int y, double opacity) {
  for (int sy = 0; sy < src.height(); ++sy) {
    for (int sx = 0; sx < src.width(); ++sx) blend(x + sx, y + sy, src.at(sx, sy), opacity);
  }
}

Canvas Canvas::blurred(int radius) const {
  // Premultiplied separable box blur, run twice for a softer falloff.
  std::vector<Colour> buf(m_pixels.size());
  for (size_t i = 0; i < buf.size(); ++i) {
    const Colour& c = m_pixels[i];
    buf[i] = {c.r * c.a, c.g * c.a, c.b * c.a, c.a};
  }
  auto pass = [&](bool horizontal) {
    std::vector<Colour> out(buf.size());
    int n = horizontal ? m_width : m_height;
    int lines = horizontal ? m_height : m_width;
    for (int l = 0; l < lines; ++l) {
      for (int i = 0; i < n; ++i) {
        Colour s{0, 0, 0, 0};
        for (int k = i - radius; k <= i + radius; ++k) {
          if (k < 0 || k >= n) continue;  // outside counts as transparent
          const Colour& c =
              horizontal ? buf[static_cast<size_t>(l) * m_width + k] : buf[static_cast<size_t>(k) * m_width + l];
          s.r += c.r;
          s.g += c.g;
          s.b += c.b;
          s.a += c.a;
        }
        int w = 2 * radius + 1;
        Colour& o = horizontal ? out[static_cast<size_t>(l) * m_width + i] : out[static_cast<size_t>(i) * m_width + l];
        o = {s.r / w, s.g / w, s.b / w, s.a / w};
      }
    }
    buf.swap(out);
  };
  for (int rep = 0; rep < 2; ++rep) {
    pass(true);
    pass(false);
  }
  Canvas result(m_width, m_height);
  for (size_t i = 0; i < buf.size(); ++i) {
    const Colour& c = buf[i];
    result.m_pixels[i] = c.a > 1e-9 ? Colour{c.r / c.a, c.g / c.a, c.b / c.a, c.a} : Colour{0, 0, 0, 0};
  }
  return result;
}

std::vector<uint8_t> Canvas::rgba8() const {
  std::vector<uint8_t> out(m_pixels.size() * 4);
  auto q = [](double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
  for (size_t i = 0; i < m_pixels.size(); ++i) {
    out[i * 4 + 0] = q(m_pixels[i].r);
    out[i * 4 + 1] = q(m_pixels[i].g);
    out[i * 4 + 2] = q(m_pixels[i].b);
    out[i * 4 + 3] = q(m_pixels[i].a);
  }
  return out;
}

double hashNoise(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return (h & 0xFFFFFF) / static_cast<double>(0x1000000);
}

double valueNoise(double x, double y, uint32_t seed) {
  int xi = static_cast<int>(std::floor(x)), yi = static_cast<int>(std::floor(y));
  double fx = x - xi, fy = y - yi;
  double ux = fx * fx * (3 - 2 * fx), uy = fy * fy * (3 - 2 * fy);
  double a = hashNoise(xi, yi, seed), b = hashNoise(xi + 1, yi, seed);
  double c = hashNoise(xi, yi + 1, seed), d = hashNoise(xi + 1, yi + 1, seed);
  return a + (b - a) * ux + (c - a) * uy + (a - b - c + d) * ux * uy;
}

double fractalNoise(double x, double y, int octaves, uint32_t seed) {
  double sum = 0, amp = 0.5, norm = 0;
  for (int i = 0; i < octaves; ++i) {
    sum += amp * valueNoise(x, y, seed + static_cast<uint32_t>(i) * 131u);
    norm += amp;
    x *= 2.03;
    y *= 2.03;
    amp *= 0.5;
  }
  return sum / norm;
}

uint32_t Random::next() {
  // xorshift32: small, fast and the same everywhere.
  m_state ^= m_state << 13;
  m_state ^= m_state >> 17;
  m_state ^= m_state << 5;
  return m_state;
}

double Random::uniform() { return (next() >> 8) / static_cast<double>(1u << 24); }

}  // namespace assetgen
