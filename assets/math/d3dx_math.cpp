// Reference implementations only: the per-processor variants of the original library
// differ from these by rounding at most, and a benchmark has not shown them to be needed.
#include "d3dx9math.h"

#include <array>
#include <cmath>
#include <cstddef>

namespace {

constexpr double kUnitTolerance = 1.1920929e-07;   // 2^-23
constexpr double kSmallestNormal = 1.1754944e-38;  // FLT_MIN

float toFloat(double value) { return static_cast<float>(value); }

// The cross product rounded to floats, computed from copies so that out may alias.
D3DXVECTOR3 cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
  return {toFloat(double(a.y) * b.z - double(a.z) * b.y), toFloat(double(a.z) * b.x - double(a.x) * b.z),
          toFloat(double(a.x) * b.y - double(a.y) * b.x)};
}

double dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
  return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z;
}

// The library's one normalisation rule: a vector whose squared length (rounded to a float) is
// 1 within 2^-23 comes back unchanged, one shorter than the smallest normal float becomes all
// zeros, any other is scaled by the reciprocal of its length.
template <std::size_t N>
std::array<float, N> normalized(const std::array<float, N>& v) {
  double sum = 0.0;
  for (float c : v) sum += double(c) * c;
  const float lengthSquared = toFloat(sum);
  if (std::fabs(double(lengthSquared) - 1.0) <= kUnitTolerance) return v;
  std::array<float, N> out{};
  if (lengthSquared <= kSmallestNormal) return out;
  const double scale = 1.0 / std::sqrt(double(lengthSquared));
  for (std::size_t i = 0; i < N; ++i) out[i] = toFloat(v[i] * scale);
  return out;
}

void setRows(D3DXMATRIX* out, const float (&values)[16]) {
  for (int i = 0; i < 16; ++i) out->m[i / 4][i % 4] = values[i];
}

}  // namespace

extern "C" {

D3DXMATRIX* WINAPI D3DXMatrixIdentity(D3DXMATRIX* out) { return D3DXMatrixScaling(out, 1.0f, 1.0f, 1.0f); }

D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b) {
  D3DXMATRIX product;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += double(a->m[i][k]) * b->m[k][j];
      product.m[i][j] = toFloat(sum);
    }
  }
  *out = product;
  return out;
}

D3DXMATRIX* WINAPI D3DXMatrixScaling(D3DXMATRIX* out, FLOAT sx, FLOAT sy, FLOAT sz) {
  setRows(out, {sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, sz, 0, 0, 0, 0, 1});
  return out;
}

D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* out, FLOAT x, FLOAT y, FLOAT z) {
  setRows(out, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1});
  return out;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationY(D3DXMATRIX* out, FLOAT angle) {
  const float c = toFloat(std::cos(double(angle)));
  const float s = toFloat(std::sin(double(angle)));
  setRows(out, {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1});
  return out;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationQuaternion(D3DXMATRIX* out, const D3DXQUATERNION* q) {
  const double x = q->x, y = q->y, z = q->z, w = q->w;
  setRows(out, {toFloat(1 - 2 * (y * y + z * z)), toFloat(2 * (x * y + z * w)), toFloat(2 * (x * z - y * w)), 0,
                toFloat(2 * (x * y - z * w)), toFloat(1 - 2 * (x * x + z * z)), toFloat(2 * (y * z + x * w)), 0,
                toFloat(2 * (x * z + y * w)), toFloat(2 * (y * z - x * w)), toFloat(1 - 2 * (x * x + y * y)), 0, 0, 0,
                0, 1});
  return out;
}

D3DXQUATERNION* WINAPI D3DXQuaternionRotationMatrix(D3DXQUATERNION* out, const D3DXMATRIX* m) {
  const double m11 = m->_11, m12 = m->_12, m13 = m->_13;
  const double m21 = m->_21, m22 = m->_22, m23 = m->_23;
  const double m31 = m->_31, m32 = m->_32, m33 = m->_33;
  const double trace = m11 + m22 + m33;
  double x, y, z, w;
  // Divide by the largest of the four candidate components, so that no division is by a
  // value near zero.
  if (trace > 0.0) {
    const double s = 2.0 * std::sqrt(trace + 1.0);
    w = 0.25 * s;
    x = (m23 - m32) / s;
    y = (m31 - m13) / s;
    z = (m12 - m21) / s;
  } else if (m11 >= m22 && m11 >= m33) {
    const double s = 2.0 * std::sqrt(1.0 + m11 - m22 - m33);
    x = 0.25 * s;
    y = (m12 + m21) / s;
    z = (m13 + m31) / s;
    w = (m23 - m32) / s;
  } else if (m22 >= m33) {
    const double s = 2.0 * std::sqrt(1.0 + m22 - m11 - m33);
    y = 0.25 * s;
    x = (m12 + m21) / s;
    z = (m23 + m32) / s;
    w = (m31 - m13) / s;
  } else {
    const double s = 2.0 * std::sqrt(1.0 + m33 - m11 - m22);
    z = 0.25 * s;
    x = (m13 + m31) / s;
    y = (m23 + m32) / s;
    w = (m12 - m21) / s;
  }
  *out = {toFloat(x), toFloat(y), toFloat(z), toFloat(w)};
  return out;
}

D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                                      const D3DXVECTOR3* up) {
  D3DXVECTOR3 zAxis, xAxis;
  D3DXVec3Normalize(&zAxis, D3DXVec3Subtract(&zAxis, at, eye));
  xAxis = cross(*up, zAxis);
  D3DXVec3Normalize(&xAxis, &xAxis);
  const D3DXVECTOR3 yAxis = cross(zAxis, xAxis);  // unit already, up to rounding
  setRows(out, {xAxis.x, yAxis.x, zAxis.x, 0, xAxis.y, yAxis.y, zAxis.y, 0, xAxis.z, yAxis.z, zAxis.z, 0,
                toFloat(-dot(xAxis, *eye)), toFloat(-dot(yAxis, *eye)), toFloat(-dot(zAxis, *eye)), 1});
  return out;
}

D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, FLOAT fovy, FLOAT aspect, FLOAT zn, FLOAT zf) {
  const float half = toFloat(double(fovy) * 0.5);
  const float yScale = toFloat(double(toFloat(std::cos(double(half)))) / toFloat(std::sin(double(half))));
  const float xScale = toFloat(double(yScale) / aspect);
  const double q = double(zf) / (double(zf) - zn);
  setRows(out, {xScale, 0, 0, 0, 0, yScale, 0, 0, 0, 0, toFloat(q), 1, 0, 0, toFloat(-q * zn), 0});
  return out;
}

D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
  const double x = v->x, y = v->y, z = v->z;
  double tx = x * m->_11 + y * m->_21 + z * m->_31 + m->_41;
  double ty = x * m->_12 + y * m->_22 + z * m->_32 + m->_42;
  double tz = x * m->_13 + y * m->_23 + z * m->_33 + m->_43;
  const float w = toFloat(x * m->_14 + y * m->_24 + z * m->_34 + m->_44);
  if (std::fabs(double(w) - 1.0) > kUnitTolerance) {
    const double inverse = 1.0 / w;
    tx *= inverse;
    ty *= inverse;
    tz *= inverse;
  }
  *out = {toFloat(tx), toFloat(ty), toFloat(tz)};
  return out;
}

D3DXVECTOR3* WINAPI D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v) {
  const auto n = normalized<3>({v->x, v->y, v->z});
  *out = {n[0], n[1], n[2]};
  return out;
}

D3DXQUATERNION* WINAPI D3DXQuaternionNormalize(D3DXQUATERNION* out, const D3DXQUATERNION* q) {
  const auto n = normalized<4>({q->x, q->y, q->z, q->w});
  *out = {n[0], n[1], n[2], n[3]};
  return out;
}

D3DXVECTOR3* WINAPI D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b) {
  *out = cross(*a, *b);
  return out;
}

D3DXVECTOR3* WINAPI D3DXVec3Subtract(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b) {
  *out = {a->x - b->x, a->y - b->y, a->z - b->z};
  return out;
}

FLOAT WINAPI D3DXVec3Dot(const D3DXVECTOR3* a, const D3DXVECTOR3* b) { return toFloat(dot(*a, *b)); }

FLOAT WINAPI D3DXVec3Length(const D3DXVECTOR3* v) { return toFloat(std::sqrt(dot(*v, *v))); }

}  // extern "C"
