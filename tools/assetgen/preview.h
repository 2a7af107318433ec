// A small software rasteriser that composites the scene's meshes through the fixed camera the
// way the program draws them (pixel centres, culling, alpha test, blending, the one point
// light), so the look can be checked without a graphics device.
#pragma once

#include <map>
#include <string>

#include "camera.h"
#include "canvas.h"
#include "mesh.h"
#include "sdf.h"

namespace assetgen {

struct DrawState {
  bool lighting = false;
  bool alphaTest = true;
  bool depthWrite = true;
  double alphaFactor = -1;  // >= 0: the texture's alpha is replaced by this (credits fade)
};

class PreviewRenderer {
 public:
  explicit PreviewRenderer(const std::map<std::string, const Canvas*>& textures);
  // Magnifies the window around a point, for close looks at small things.
  PreviewRenderer(const std::map<std::string, const Canvas*>& textures, double zoom, Vec2 centre);

  void draw(const Mesh& mesh, const Mat4& world, const DrawState& state);
  // A point sprite of the given size in pixels, drawn unlit without depth writes.
  void drawSprite(Vec3 world, double size, const Canvas& texture, double alpha);

  const Canvas& frame() const { return m_frame; }

 private:
  void triangle(const Mesh::Vertex* v[3], const Vec3 world[3], const Colour lit[3], const Canvas* tex,
                const DrawState& state);
  Colour sample(const Canvas& tex, double u, double v) const;

  std::map<std::string, const Canvas*> m_textures;
  ScreenPoint project(Vec3 world) const;

  Camera m_camera;
  double m_zoom = 1.0;
  Vec2 m_centre{256, 256};
  Canvas m_frame;
  std::vector<double> m_depth;
};

}  // namespace assetgen
