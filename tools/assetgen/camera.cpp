#include "camera.h"

#include <cmath>

namespace assetgen {

double length(Vec3 v) { return std::sqrt(dot(v, v)); }

Vec3 normalize(Vec3 v) {
  double l = length(v);
  return l > 0 ? v * (1.0 / l) : v;
}

Mat4 Mat4::identity() {
  Mat4 r;
  for (int i = 0; i < 4; ++i) r.at(i, i) = 1.0;
  return r;
}

Mat4 operator*(const Mat4& a, const Mat4& b) {
  Mat4 r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += a.at(i, k) * b.at(k, j);
      r.at(i, j) = s;
    }
  }
  return r;
}

Mat4 lookAtLH(Vec3 eye, Vec3 at, Vec3 up) {
  Vec3 z = normalize(at - eye);
  Vec3 x = normalize(cross(up, z));
  Vec3 y = cross(z, x);
  Mat4 r = Mat4::identity();
  r.at(0, 0) = x.x;
  r.at(0, 1) = y.x;
  r.at(0, 2) = z.x;
  r.at(1, 0) = x.y;
  r.at(1, 1) = y.y;
  r.at(1, 2) = z.y;
  r.at(2, 0) = x.z;
  r.at(2, 1) = y.z;
  r.at(2, 2) = z.z;
  r.at(3, 0) = -dot(x, eye);
  r.at(3, 1) = -dot(y, eye);
  r.at(3, 2) = -dot(z, eye);
  return r;
}

Mat4 perspectiveFovLH(double fovY, double aspect, double zn, double zf) {
  double ys = 1.0 / std::tan(fovY / 2.0);
  double xs = ys / aspect;
  Mat4 r;
  r.at(0, 0) = xs;
  r.at(1, 1) = ys;
  r.at(2, 2) = zf / (zf - zn);
  r.at(2, 3) = 1.0;
  r.at(3, 2) = -zn * zf / (zf - zn);
  return r;
}

Mat4 rotationY(double angle) {
  Mat4 r = Mat4::identity();
  double c = std::cos(angle), s = std::sin(angle);
  r.at(0, 0) = c;
  r.at(0, 2) = -s;
  r.at(2, 0) = s;
  r.at(2, 2) = c;
  return r;
}

Mat4 translation(Vec3 t) {
  Mat4 r = Mat4::identity();
  r.at(3, 0) = t.x;
  r.at(3, 1) = t.y;
  r.at(3, 2) = t.z;
  return r;
}

Mat4 rigidInverse(const Mat4& m) {
  Mat4 r = Mat4::identity();
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) r.at(i, j) = m.at(j, i);
  }
  for (int j = 0; j < 3; ++j) {
    double s = 0;
    for (int k = 0; k < 3; ++k) s += m.at(3, k) * r.at(k, j);
    r.at(3, j) = -s;
  }
  return r;
}

Vec3 transformPoint(Vec3 p, const Mat4& m) {
  return {p.x * m.at(0, 0) + p.y * m.at(1, 0) + p.z * m.at(2, 0) + m.at(3, 0),
          p.x * m.at(0, 1) + p.y * m.at(1, 1) + p.z * m.at(2, 1) + m.at(3, 1),
          p.x * m.at(0, 2) + p.y * m.at(1, 2) + p.z * m.at(2, 2) + m.at(3, 2)};
}

Vec3 transformNormal(Vec3 n, const Mat4& m) {
  return {n.x * m.at(0, 0) + n.y * m.at(1, 0) + n.z * m.at(2, 0),
          n.x * m.at(0, 1) + n.y * m.at(1, 1) + n.z * m.at(2, 1),
          n.x * m.at(0, 2) + n.y * m.at(1, 2) + n.z * m.at(2, 2)};
}

Camera::Camera()
    : m_view(lookAtLH(kEye, kTarget, {0, 1, 0})),
      m_viewInverse(rigidInverse(m_view)),
      m_projection(perspectiveFovLH(kFovY, 1.0, kNear, kFar)) {}

ScreenPoint Camera::project(Vec3 world) const {
  Vec3 v = transformPoint(world, m_view);
  const Mat4& p = m_projection;
  double cx = v.x * p.at(0, 0);
  double cy = v.y * p.at(1, 1);
  double cz = v.z * p.at(2, 2) + p.at(3, 2);
  double w = v.z;
  ScreenPoint s;
  // Direct3D 9 maps clip -1..1 onto window x 0..512, and pixel i is lit when its centre,
  // window x = i, lies inside a triangle; pixel i therefore spans i - 0.5 .. i + 0.5.
  s.x = (cx / w + 1.0) * 0.5 * kViewport;
  s.y = (1.0 - cy / w) * 0.5 * kViewport;
  s.depth = cz / w;
  s.viewZ = v.z;
  return s;
}

Vec3 Camera::unproject(double x, double y, double viewZ) const {
  double ndcX = x / (0.5 * kViewport) - 1.0;
  double ndcY = 1.0 - y / (0.5 * kViewport);
  Vec3 v{ndcX * viewZ / m_projection.at(0, 0), ndcY * viewZ / m_projection.at(1, 1), viewZ};
  return transformPoint(v, m_viewInverse);
}

Vec3 Camera::forward() const { return normalize(kTarget - kEye); }

}  // namespace assetgen
