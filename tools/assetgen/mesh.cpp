#include "mesh.h"

#include <cmath>
#include <numbers>

namespace assetgen {

uint32_t Mesh::addVertex(Vec3 p, Vec3 n, double u, double v) {
  vertices.push_back({p, normalize(n), u, v});
  return static_cast<uint32_t>(vertices.size() - 1);
}

void Mesh::addFace(std::vector<uint32_t> indices, uint32_t material) {
  faces.push_back(std::move(indices));
  faceMaterials.push_back(material);
}

void Mesh::addQuad(Vec3 a, Vec3 b, Vec3 c, Vec3 d, Vec3 normal, const double (&uv)[8], uint32_t material) {
  uint32_t i0 = addVertex(a, normal, uv[0], uv[1]);
  uint32_t i1 = addVertex(b, normal, uv[2], uv[3]);
  uint32_t i2 = addVertex(c, normal, uv[4], uv[5]);
  uint32_t i3 = addVertex(d, normal, uv[6], uv[7]);
  addFace({i0, i1, i2, i3}, material);
}

size_t Mesh::triangleCount() const {
  size_t n = 0;
  for (const auto& f : faces) n += f.size() - 2;
  return n;
}

void Mesh::transform(const Mat4& m) {
  for (Vertex& v : vertices) {
    v.position = transformPoint(v.position, m);
    v.normal = normalize(transformNormal(v.normal, m));
  }
}

void Mesh::append(const Mesh& other) {
  uint32_t base = static_cast<uint32_t>(vertices.size());
  vertices.insert(vertices.end(), other.vertices.begin(), other.vertices.end());
  for (size_t i = 0; i < other.faces.size(); ++i) {
    std::vector<uint32_t> f = other.faces[i];
    for (uint32_t& idx : f) idx += base;
    addFace(std::move(f), other.faceMaterials[i]);
  }
}

void addBox(Mesh& mesh, Vec3 lo, Vec3 hi, const BoxSides& sides) {
  // Each side: four corners clockwise seen from outside (left-handed, y up), starting top-left
  // as seen from outside, so that u runs to the right and v downwards on the picture.
  const Vec3 c[8] = {
      {lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z},
      {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z},
  };
  struct Side {
    int tl, tr, br, bl;
    Vec3 n;
  };
  // Seen from outside in a left-handed frame with y up: looking at the -z side from -z,
  // x runs to the right; looking at the +z side from +z, x runs to the left.
  const Side s[6] = {
      {6, 7, 4, 5, {0, 0, 1}},   // +z: seen from +z, -x is to the right
      {3, 2, 1, 0, {0, 0, -1}},  // -z
      {2, 6, 5, 1, {1, 0, 0}},   // +x: seen from +x, +z is to the right
      {7, 3, 0, 4, {-1, 0, 0}},  // -x
      {7, 6, 2, 3, {0, 1, 0}},   // top: seen from above, far edge (+z) at the top
      {0, 1, 5, 4, {0, -1, 0}},  // bottom
  };
  for (int i = 0; i < 6; ++i) {
    if (sides.material[i] == ~0u) continue;
    const UvRect& r = sides.uv[i];
    double ul = sides.mirrorU[i] ? r.u1 : r.u0, ur = sides.mirrorU[i] ? r.u0 : r.u1;
    const double uv[8] = {ul, r.v0, ur, r.v0, ur, r.v1, ul, r.v1};
    mesh.addQuad(c[s[i].tl], c[s[i].tr], c[s[i].br], c[s[i].bl], s[i].n, uv, sides.material[i]);
  }
}

void addCylinderX(Mesh& mesh, double x0, double x1, Vec3 centre, double r, int segments, uint32_t sideMaterial,
                  UvRect sideUv, uint32_t capMaterial, UvRect capUv, bool caps) {
  const double pi = std::numbers::pi;
  // Side: segment quads with smooth normals.
  std::vector<uint32_t> ring0, ring1;
  for (int i = 0; i <= segments; ++i) {
    double a = 2 * pi * i / segments;
    Vec3 n{0, std::cos(a), std::sin(a)};
    double u = sideUv.u0 + (sideUv.u1 - sideUv.u0) * i / segments;
    ring0.push_back(mesh.addVertex({x0, centre.y + r * n.y, centre.z + r * n.z}, n, u, sideUv.v0));
    ring1.push_back(mesh.addVertex({x1, centre.y + r * n.y, centre.z + r * n.z}, n, u, sideUv.v1));
  }
  for (int i = 0; i < segments; ++i) {
    // Seen from outside, angle increasing goes from +y towards +z.
    mesh.addFace({ring0[i], ring0[i + 1], ring1[i + 1], ring1[i]}, sideMaterial);
  }
  if (!caps) return;
  for (int end = 0; end < 2; ++end) {
    double x = end == 0 ? x0 : x1;
    Vec3 n{end == 0 ? -1.0 : 1.0, 0, 0};
    std::vector<uint32_t> ring;
    double cu = 0.5 * (capUv.u0 + capUv.u1), cv = 0.5 * (capUv.v0 + capUv.v1);
    double hu = 0.5 * (capUv.u1 - capUv.u0), hv = 0.5 * (capUv.v1 - capUv.v0);
    for (int i = 0; i < segments; ++i) {
      double a = 2 * pi * i / segments;
      double cy = std::cos(a), sz = std::sin(a);
      // Picture upright on both caps: v down with -y; u to the right as seen from outside.
      double u = cu + hu * (end == 1 ? sz : -sz);
      double v = cv - hv * cy;
      ring.push_back(mesh.addVertex({x, centre.y + r * cy, centre.z + r * sz}, n, u, v));
    }
    std::vector<uint32_t> face;
    if (end == 1) {
      face.assign(ring.begin(), ring.end());
    } else {
      face.assign(ring.rbegin(), ring.rend());
    }
    mesh.addFace(face, capMaterial);
  }
}

void addCylinderY(Mesh& mesh, double y0, double y1, double x, double z, double r0, double r1, int segments,
                  uint32_t material, UvRect sideUv, bool topCap, UvRect capUv) {
  const double pi = std::numbers::pi;
  std::vector<uint32_t> bottom, top;
  double slope = (r0 - r1) / (y1 - y0);
  for (int i = 0; i <= segments; ++i) {
    double a = 2 * pi * i / segments;
    double cx = std::cos(a), sz = std::sin(a);
    Vec3 n{cx, slope, sz};
    double u = sideUv.u0 + (sideUv.u1 - sideUv.u0) * i / segments;
    bottom.push_back(mesh.addVertex({x + r0 * cx, y0, z + r0 * sz}, n, u, sideUv.v1));
    top.push_back(mesh.addVertex({x + r1 * cx, y1, z + r1 * sz}, n, u, sideUv.v0));
  }
  for (int i = 0; i < segments; ++i) {
    // Seen from outside, the angle increases to the right. A cone's apex gives triangles.
    if (r1 <= 0) {
      mesh.addFace({top[i], bottom[i + 1], bottom[i]}, material);
    } else if (r0 <= 0) {
      mesh.addFace({top[i], top[i + 1], bottom[i]}, material);
    } else {
      mesh.addFace({top[i], top[i + 1], bottom[i + 1], bottom[i]}, material);
    }
  }
  if (topCap && r1 > 0) {
    std::vector<uint32_t> ring;
    double cu = 0.5 * (capUv.u0 + capUv.u1), cv = 0.5 * (capUv.v0 + capUv.v1);
    double hu = 0.5 * (capUv.u1 - capUv.u0), hv = 0.5 * (capUv.v1 - capUv.v0);
    for (int i = 0; i < segments; ++i) {
      double a = 2 * pi * i / segments;
      ring.push_back(mesh.addVertex({x + r1 * std::cos(a), y1, z + r1 * std::sin(a)}, {0, 1, 0}, cu + hu * std::cos(a),
                                    cv - hv * std::sin(a)));
    }
    std::vector<uint32_t> face(ring.rbegin(), ring.rend());
    mesh.addFace(face, material);
  }
}

}  // namespace assetgen
