// The scene's fixed camera, in double precision: world -> view -> clip -> window pixels,
// with Direct3D's left-handed, row-vector conventions and its pixel centres (pixel i covers
// window x from i - 0.5 to i + 0.5).
#pragma once

#include <array>

namespace assetgen {

struct Vec3 {
  double x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Vec3 normalize(Vec3 v);
double length(Vec3 v);

// Row-vector 4x4 matrix: a point p maps to p * M.
struct Mat4 {
  std::array<double, 16> m{};
  double& at(int r, int c) { return m[r * 4 + c]; }
  double at(int r, int c) const { return m[r * 4 + c]; }
  static Mat4 identity();
};

Mat4 operator*(const Mat4& a, const Mat4& b);
Mat4 lookAtLH(Vec3 eye, Vec3 at, Vec3 up);
Mat4 perspectiveFovLH(double fovY, double aspect, double zn, double zf);
Mat4 rotationY(double angle);
Mat4 translation(Vec3 t);
// Inverse of a rigid transform (rotation and translation only).
Mat4 rigidInverse(const Mat4& m);
Vec3 transformPoint(Vec3 p, const Mat4& m);   // w = 1, no divide
Vec3 transformNormal(Vec3 n, const Mat4& m);  // upper 3x3 only

struct ScreenPoint {
  double x = 0;  // window pixels, Direct3D pixel centres at integers
  double y = 0;
  double depth = 0;  // 0 at the near plane, 1 at the far plane
  double viewZ = 0;  // distance along the view direction
};

class Camera {
 public:
  static constexpr Vec3 kEye{-130.757, -48.355, -537.955};
  static constexpr Vec3 kTarget{-12.479, -86.872, 0.0};
  static constexpr double kFovY = 1.4418356;
  static constexpr double kNear = 1.0;
  static constexpr double kFar = 20000.0;
  static constexpr double kViewport = 512.0;

  Camera();
  const Mat4& view() const { return m_view; }
  const Mat4& projection() const { return m_projection; }

  ScreenPoint project(Vec3 world) const;
  // The world point that shows at window position (x, y) at the given view depth.
  Vec3 unproject(double x, double y, double viewZ) const;
  // Unit vector from the world point towards the eye.
  Vec3 towardsEye(Vec3 world) const { return normalize(kEye - world); }
  // The camera's looking direction in world space.
  Vec3 forward() const;

 private:
  Mat4 m_view;
  Mat4 m_viewInverse;
  Mat4 m_projection;
};

}  // namespace assetgen
