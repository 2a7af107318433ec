// Indexed polygon meshes with per-vertex normals and texture coordinates, and small helpers
// to build them from boxes, cylinders and quads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "camera.h"
#include "canvas.h"

namespace assetgen {

struct Material {
  std::string name;  // object name in the X file; empty for an unnamed material
  Colour diffuse{1, 1, 1, 1};
  double power = 0;
  Vec3 specular{0, 0, 0};
  Vec3 emissive{0, 0, 0};
  std::string texture;  // empty: untextured
};

struct Mesh {
  struct Vertex {
    Vec3 position;
    Vec3 normal;
    double u = 0, v = 0;
  };
  std::vector<Vertex> vertices;
  std::vector<std::vector<uint32_t>> faces;  // clockwise seen from the front
  std::vector<uint32_t> faceMaterials;
  std::vector<Material> materials;

  uint32_t addVertex(Vec3 p, Vec3 n, double u, double v);
  void addFace(std::vector<uint32_t> indices, uint32_t material);
  // A flat quad; corners clockwise seen from the side the normal points to.
  void addQuad(Vec3 a, Vec3 b, Vec3 c, Vec3 d, Vec3 normal, const double (&uv)[8], uint32_t material);
  size_t triangleCount() const;
  void transform(const Mat4& m);   // positions and normals (rigid transforms)
  void append(const Mesh& other);  // geometry only; material indices kept
};

// Texture rectangle in texture coordinates (u0, v0) top-left to (u1, v1) bottom-right.
struct UvRect {
  double u0 = 0, v0 = 0, u1 = 1, v1 = 1;
};

// Axis-aligned box in local space (x along the length, y up, z across), one UV rect per side.
// Sides: 0 +z, 1 -z, 2 +x, 3 -x, 4 +y (top), 5 -y (bottom). A side with material ~0u is skipped.
struct BoxSides {
  UvRect uv[6];
  uint32_t material[6];
  bool mirrorU[6] = {false, false, false, false, false, false};
};
void addBox(Mesh& mesh, Vec3 lo, Vec3 hi, const BoxSides& sides);

// Cylinder along local x from x0 to x1, radius r, n segments; the side uses one material
// with u around and v along; the caps use a disc mapping into their rects.
void addCylinderX(Mesh& mesh, double x0, double x1, Vec3 centreYZ, double r, int segments, uint32_t sideMaterial,
                  UvRect sideUv, uint32_t capMaterial, UvRect capUv, bool caps = true);
// Vertical cylinder (along y) from y0 to y1 at (x, z), radius r0 at y0 and r1 at y1 (a cone when they differ).
void addCylinderY(Mesh& mesh, double y0, double y1, double x, double z, double r0, double r1, int segments,
                  uint32_t material, UvRect sideUv, bool topCap, UvRect capUv);

}  // namespace assetgen
