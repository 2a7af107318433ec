#include "preview.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace assetgen {
namespace {

std::string lower(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

const Vec3 kLightPosition{-1063.561, 1682.245, -988.624};
const Colour kLightDiffuse{1.0, 0.87, 0.64, 1.0};
const Colour kAmbient{114 / 255.0, 134 / 255.0, 168 / 255.0, 1.0};

}  // namespace

PreviewRenderer::PreviewRenderer(const std::map<std::string, const Canvas*>& textures)
    : m_frame(512, 512, {0, 0, 0, 1}), m_depth(512 * 512, 1.0) {
  for (const auto& [name, tex] : textures) m_textures[lower(name)] = tex;
}

PreviewRenderer::PreviewRenderer(const std::map<std::string, const Canvas*>& textures, double zoom, Vec2 centre)
    : PreviewRenderer(textures) {
  m_zoom = zoom;
  m_centre = centre;
}

ScreenPoint PreviewRenderer::project(Vec3 world) const {
  ScreenPoint s = m_camera.project(world);
  s.x = (s.x - m_centre.x) * m_zoom + 256;
  s.y = (s.y - m_centre.y) * m_zoom + 256;
  return s;
}

Colour PreviewRenderer::sample(const Canvas& tex, double u, double v) const {
  // Bilinear filtering with texel centres at half-integers, wrapping like the default sampler.
  double x = u * tex.width() - 0.5, y = v * tex.height() - 0.5;
  int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  double fx = x - x0, fy = y - y0;
  auto at = [&](int xi, int yi) {
    xi = ((xi % tex.width()) + tex.width()) % tex.width();
    yi = ((yi % tex.height()) + tex.height()) % tex.height();
    return tex.at(xi, yi);
  };
  Colour a = at(x0, y0), b = at(x0 + 1, y0), c = at(x0, y0 + 1), d = at(x0 + 1, y0 + 1);
  return mix(mix(a, b, fx), mix(c, d, fx), fy);
}

void PreviewRenderer::draw(const Mesh& mesh, const Mat4& world, const DrawState& state) {
  // Subsets in material order, as the program draws them.
  for (uint32_t material = 0; material < mesh.materials.size(); ++material) {
    const Canvas* tex = nullptr;
    if (!mesh.materials[material].texture.empty()) {
      auto it = m_textures.find(lower(mesh.materials[material].texture));
      if (it != m_textures.end()) tex = it->second;
    }
    for (size_t f = 0; f < mesh.faces.size(); ++f) {
      if (mesh.faceMaterials[f] != material) continue;
      const auto& face = mesh.faces[f];
      for (size_t k = 1; k + 1 < face.size(); ++k) {
        const Mesh::Vertex* v[3] = {&mesh.vertices[face[0]], &mesh.vertices[face[k]], &mesh.vertices[face[k + 1]]};
        Vec3 w[3];
        Colour lit[3];
        for (int i = 0; i < 3; ++i) {
          w[i] = transformPoint(v[i]->position, world);
          if (state.lighting) {
            Vec3 n = normalize(transformNormal(v[i]->normal, world));
            Vec3 l = normalize(kLightPosition - w[i]);
            double nl = std::max(0.0, dot(n, l));
            lit[i] = {std::min(1.0, kAmbient.r + kLightDiffuse.r * nl),
                      std::min(1.0, kAmbient.g + kLightDiffuse.g * nl),
                      std::min(1.0, kAmbient.b + kLightDiffuse.b * nl), 1.0};
          } else {
            lit[i] = {1, 1, 1, 1};
          }
        }
        triangle(v, w, lit, tex, state);
      }
    }
  }
}

void PreviewRenderer::triangle(const Mesh::Vertex* v[3], const Vec3 world[3], const Colour lit[3], const Canvas* tex,
                               const DrawState& state) {
  ScreenPoint s[3];
  for (int i = 0; i < 3; ++i) {
    s[i] = project(world[i]);
    if (s[i].viewZ < Camera::kNear) return;  // nothing of ours comes that close
  }
  double area = (s[1].x - s[0].x) * (s[2].y - s[0].y) - (s[2].x - s[0].x) * (s[1].y - s[0].y);
  if (area <= 0) return;  // counter-clockwise on screen (y down): culled
  int x0 = std::max(0, static_cast<int>(std::ceil(std::min({s[0].x, s[1].x, s[2].x}))));
  int x1 = std::min(511, static_cast<int>(std::floor(std::max({s[0].x, s[1].x, s[2].x}))));
  int y0 = std::max(0, static_cast<int>(std::ceil(std::min({s[0].y, s[1].y, s[2].y}))));
  int y1 = std::min(511, static_cast<int>(std::floor(std::max({s[0].y, s[1].y, s[2].y}))));
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      // Barycentrics at the pixel centre (integer coordinates in Direct3D 9).
      double w0 = ((s[1].x - x) * (s[2].y - y) - (s[2].x - x) * (s[1].y - y)) / area;
      double w1 = ((s[2].x - x) * (s[0].y - y) - (s[0].x - x) * (s[2].y - y)) / area;
      double w2 = 1.0 - w0 - w1;
      if (w0 < 0 || w1 < 0 || w2 < 0) continue;
      double depth = w0 * s[0].depth + w1 * s[1].depth + w2 * s[2].depth;
      size_t idx = static_cast<size_t>(y) * 512 + x;
      if (depth >= m_depth[idx]) continue;
      // Perspective-correct attributes.
      double p0 = w0 / s[0].viewZ, p1 = w1 / s[1].viewZ, p2 = w2 / s[2].viewZ, ps = p0 + p1 + p2;
      p0 /= ps;
      p1 /= ps;
      p2 /= ps;
      double u = p0 * v[0]->u + p1 * v[1]->u + p2 * v[2]->u;
      double vv = p0 * v[0]->v + p1 * v[1]->v + p2 * v[2]->v;
      Colour light{p0 * lit[0].r + p1 * lit[1].r + p2 * lit[2].r, p0 * lit[0].g + p1 * lit[1].g + p2 * lit[2].g,
                   p0 * lit[0].b + p1 * lit[1].b + p2 * lit[2].b, 1.0};
      Colour t = tex ? sample(*tex, u, vv) : Colour{1, 1, 1, 1};
      Colour c{t.r * light.r, t.g * light.g, t.b * light.b, t.a};
      if (state.alphaFactor >= 0) c.a = state.alphaFactor;
      // The device keeps 8-bit alpha; the test passes from 127 up.
      if (state.alphaTest && std::lround(c.a * 255.0) < 127) continue;
      Colour& d = m_frame.at(x, y);
      d = {c.r * c.a + d.r * (1 - c.a), c.g * c.a + d.g * (1 - c.a), c.b * c.a + d.b * (1 - c.a), 1.0};
      if (state.depthWrite) m_depth[idx] = depth;
    }
  }
}

void PreviewRenderer::drawSprite(Vec3 world, double size, const Canvas& texture, double alpha) {
  ScreenPoint s = project(world);
  double half = size * m_zoom / 2;
  size *= m_zoom;
  for (int y = static_cast<int>(std::ceil(s.y - half)); y < s.y + half; ++y) {
    for (int x = static_cast<int>(std::ceil(s.x - half)); x < s.x + half; ++x) {
      if (x < 0 || y < 0 || x > 511 || y > 511) continue;
      size_t idx = static_cast<size_t>(y) * 512 + x;
      if (s.depth >= m_depth[idx]) continue;
      double u = (x - (s.x - half)) / size, v = (y - (s.y - half)) / size;
      Colour t = sample(texture, u, v);
      double a = t.a * alpha;
      Colour& d = m_frame.at(x, y);
      d = {t.r * a + d.r * (1 - a), t.g * a + d.g * (1 - a), t.b * a + d.b * (1 - a), 1.0};
    }
  }
}

}  // namespace assetgen
