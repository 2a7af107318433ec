// A floating-point RGBA picture to paint on, with anti-aliased shapes from signed distances.
// Colours are display values 0..1 with straight (not premultiplied) alpha.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "sdf.h"

namespace assetgen {

struct Colour {
  double r = 0, g = 0, b = 0, a = 1;
};

Colour rgb(int r, int g, int b, double a = 1.0);
Colour mix(Colour x, Colour y, double t);
Colour scaled(Colour c, double s);  // colour channels only

class Canvas {
 public:
  Canvas(int width, int height, Colour fill = {0, 0, 0, 0});

  int width() const { return m_width; }
  int height() const { return m_height; }
  Colour& at(int x, int y) { return m_pixels[static_cast<size_t>(y) * m_width + x]; }
  const Colour& at(int x, int y) const { return m_pixels[static_cast<size_t>(y) * m_width + x]; }

  // Source-over compositing of one pixel with an extra coverage factor.
  void blend(int x, int y, Colour c, double coverage);

  // Paints a shape given by its signed distance at pixel centres; the colour may vary per pixel.
  // The optional box (x0, y0, x1, y1) limits the pixels visited.
  void fillShape(const std::function<double(Vec2)>& distance, const std::function<Colour(Vec2)>& colour, int x0 = 0,
                 int y0 = 0, int x1 = -1, int y1 = -1, double softness = 1.0);
  void fillShape(const std::function<double(Vec2)>& distance, Colour colour, int x0 = 0, int y0 = 0, int x1 = -1,
                 int y1 = -1, double softness = 1.0);

  // Applies f to every pixel (position of its centre).
  void forEach(const std::function<void(Vec2, Colour&)>& f);

  // Draws another canvas onto this one with its top-left corner at (x, y).
  void draw(const Canvas& src, int x, int y, double opacity = 1.0);

  // Box blur of all four channels (alpha-weighted colour), for glows and shadows.
  Canvas blurred(int radius) const;

  // Quantised bytes, rows from the top: RGBA order.
  std::vector<uint8_t> rgba8() const;

 private:
  int m_width;
  int m_height;
  std::vector<Colour> m_pixels;
};

// Deterministic value noise and its fractal sum, 0..1.
double hashNoise(int x, int y, uint32_t seed);
double valueNoise(double x, double y, uint32_t seed);
double fractalNoise(double x, double y, int octaves, uint32_t seed);

// A small deterministic generator for scattering things (stars, flakes).
class Random {
 public:
  explicit Random(uint32_t seed) : m_state(seed ? seed : 1u) {}
  uint32_t next();
  double uniform();  // [0, 1)
  double range(double lo, double hi) { return lo + (hi - lo) * uniform(); }

 private:
  uint32_t m_state;
};

}  // namespace assetgen
