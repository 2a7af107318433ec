#include <d3dx9math.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace {

using Reference = long double;

// Results must equal the exact value rounded to float, give or take the few ulps that
// double-precision intermediates and the float rounding of sin/cos allow.
void expectNear(float actual, Reference exact, float ulps = 4.0f) {
  const float rounded = static_cast<float>(exact);
  const float tolerance = ulps * std::max(std::nextafter(std::fabs(rounded), INFINITY) - std::fabs(rounded),
                                          std::numeric_limits<float>::denorm_min());
  EXPECT_NEAR(actual, rounded, tolerance) << "exact " << static_cast<double>(exact);
}

D3DXMATRIX randomMatrix(std::mt19937& rng) {
  std::uniform_real_distribution<float> value(-100.0f, 100.0f);
  D3DXMATRIX m;
  for (auto& row : m.m)
    for (float& v : row) v = value(rng);
  return m;
}

D3DXMATRIX fromRows(std::initializer_list<float> values) {
  D3DXMATRIX m;
  int i = 0;
  for (float v : values) m.m[i / 4][i % 4] = v, ++i;
  return m;
}

TEST(MatrixMultiply, MatchesLongDoubleReference) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 200; ++trial) {
    const D3DXMATRIX a = randomMatrix(rng), b = randomMatrix(rng);
    D3DXMATRIX out;
    D3DXMatrixMultiply(&out, &a, &b);
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) {
        Reference sum = 0;
        for (int k = 0; k < 4; ++k) sum += Reference(a.m[i][k]) * b.m[k][j];
        // A sum of products that cancels leaves float rounding of the result as the only bound.
        EXPECT_NEAR(out.m[i][j], double(sum), 1e-3);
      }
  }
}

TEST(MatrixMultiply, AppliesFirstOperandFirst) {
  D3DXMATRIX scale, move, both;
  D3DXMatrixScaling(&scale, 2, 2, 2);
  D3DXMatrixTranslation(&move, 10, 0, 0);
  D3DXMatrixMultiply(&both, &scale, &move);
  const D3DXVECTOR3 p(1, 1, 1);
  D3DXVECTOR3 q;
  D3DXVec3TransformCoord(&q, &p, &both);
  EXPECT_FLOAT_EQ(q.x, 12.0f);
  EXPECT_FLOAT_EQ(q.y, 2.0f);
}

TEST(MatrixMultiply, AliasedOutputEqualsSeparateOutput) {
  std::mt19937 rng(11);
  const D3DXMATRIX a = randomMatrix(rng), b = randomMatrix(rng);
  D3DXMATRIX separate;
  D3DXMatrixMultiply(&separate, &a, &b);
  D3DXMATRIX intoA = a, intoB = b, square = a, squareSeparate;
  EXPECT_EQ(D3DXMatrixMultiply(&intoA, &intoA, &b), &intoA);
  D3DXMatrixMultiply(&intoB, &a, &intoB);
  D3DXMatrixMultiply(&squareSeparate, &a, &a);
  D3DXMatrixMultiply(&square, &square, &square);
  EXPECT_EQ(0, std::memcmp(&intoA, &separate, sizeof separate));
  EXPECT_EQ(0, std::memcmp(&intoB, &separate, sizeof separate));
  EXPECT_EQ(0, std::memcmp(&square, &squareSeparate, sizeof square));
}

TEST(Vec3TransformCoord, AffineMatrixNeedsNoDivision) {
  const D3DXMATRIX m = fromRows({1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 0.5f, -1, 2, 1});
  D3DXVECTOR3 v(1.5f, -2.25f, 3.0f);
  D3DXVec3TransformCoord(&v, &v, &m);  // aliased
  expectNear(v.x, 1.5L * 1 - 2.25L * 4 + 3.0L * 7 + 0.5L);
  expectNear(v.y, 1.5L * 2 - 2.25L * 5 + 3.0L * 8 - 1);
  expectNear(v.z, 1.5L * 3 - 2.25L * 6 + 3.0L * 9 + 2);
}

TEST(Vec3TransformCoord, DividesByWOutsideTolerance) {
  // w = 2: the point is divided; w within 2^-23 of 1: it is not.
  D3DXMATRIX m;
  D3DXMatrixScaling(&m, 1, 1, 1);
  m._44 = 2.0f;
  const D3DXVECTOR3 p(4, 6, 8);
  D3DXVECTOR3 q;
  D3DXVec3TransformCoord(&q, &p, &m);
  EXPECT_FLOAT_EQ(q.x, 2.0f);
  EXPECT_FLOAT_EQ(q.z, 4.0f);
  m._44 = 1.0f + 1.1920929e-07f;
  D3DXVec3TransformCoord(&q, &p, &m);
  EXPECT_EQ(q.x, 4.0f);
  EXPECT_EQ(q.z, 8.0f);
  m._44 = 1.0f + 2.3841858e-07f;  // two ulps: outside the tolerance
  D3DXVec3TransformCoord(&q, &p, &m);
  EXPECT_LT(q.z, 8.0f);
}

TEST(MatrixRotationY, QuarterTurnAndZero) {
  D3DXMATRIX r, identity;
  D3DXMatrixRotationY(&r, 0.0f);
  D3DXMatrixIdentity(&identity);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_EQ(r.m[i][j], identity.m[i][j]);  // -0 equals 0

  D3DXMatrixRotationY(&r, static_cast<float>(M_PI / 2));
  D3DXVECTOR3 x(1, 0, 0), z(0, 0, 1), out;
  D3DXVec3TransformCoord(&out, &x, &r);
  EXPECT_NEAR(out.x, 0.0f, 1e-7f);
  EXPECT_FLOAT_EQ(out.z, -1.0f);
  D3DXVec3TransformCoord(&out, &z, &r);
  EXPECT_FLOAT_EQ(out.x, 1.0f);
  EXPECT_NEAR(out.z, 0.0f, 1e-7f);
}

TEST(MatrixRotationY, EntriesAreRoundedSineAndCosine) {
  for (float a : {0.1f, 1.0f, -2.5f, 100.0f}) {
    D3DXMATRIX r;
    D3DXMatrixRotationY(&r, a);
    EXPECT_EQ(r._11, static_cast<float>(std::cos(double(a))));
    EXPECT_EQ(r._33, r._11);
    EXPECT_EQ(r._31, static_cast<float>(std::sin(double(a))));
    EXPECT_EQ(r._13, -r._31);
    EXPECT_EQ(r._22, 1.0f);
    EXPECT_EQ(r._44, 1.0f);
  }
}

TEST(Vec3Normalize, EdgeCases) {
  D3DXVECTOR3 v(0, 0, 0), out(9, 9, 9);
  D3DXVec3Normalize(&out, &v);
  EXPECT_EQ(out.x, 0.0f);
  EXPECT_EQ(out.y, 0.0f);
  EXPECT_EQ(out.z, 0.0f);

  // Squared length below the smallest normal float: the zero vector, not a huge one.
  v = {1e-20f, 0, 0};
  D3DXVec3Normalize(&out, &v);
  EXPECT_EQ(out.x, 0.0f);

  // Squared length 1 within 2^-23: returned bit for bit.
  v = {0.6f, 0.8f, 0.0f};
  D3DXVec3Normalize(&out, &v);
  EXPECT_EQ(out.x, 0.6f);
  EXPECT_EQ(out.y, 0.8f);

  v = {3, -4, 12};
  D3DXVec3Normalize(&v, &v);  // aliased
  expectNear(v.x, 3.0L / 13);
  expectNear(v.y, -4.0L / 13);
  expectNear(v.z, 12.0L / 13);
}

TEST(Vec3Normalize, MatchesReferenceOnRandomVectors) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> value(-1e4f, 1e4f);
  for (int trial = 0; trial < 500; ++trial) {
    const D3DXVECTOR3 v(value(rng), value(rng), value(rng));
    D3DXVECTOR3 out;
    D3DXVec3Normalize(&out, &v);
    const Reference lengthSquared =
        static_cast<float>(Reference(v.x) * v.x + Reference(v.y) * v.y + Reference(v.z) * v.z);
    const Reference scale = 1 / std::sqrt(lengthSquared);
    expectNear(out.x, v.x * scale);
    expectNear(out.y, v.y * scale);
    expectNear(out.z, v.z * scale);
  }
}

TEST(MatrixLookAtLH, CanonicalCameraIsIdentity) {
  const D3DXVECTOR3 eye(0, 0, 0), at(0, 0, 1), up(0, 1, 0);
  D3DXMATRIX view, identity;
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  D3DXMatrixIdentity(&identity);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_EQ(view.m[i][j], identity.m[i][j]) << i << "," << j;
}

TEST(MatrixLookAtLH, ProgramCameraMapsEyeToOriginAndTargetAhead) {
  const D3DXVECTOR3 eye(-130.757f, -48.355f, -537.955f), at(-12.479f, -86.872f, 0.0f), up(0, 1, 0);
  D3DXMATRIX view;
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  D3DXVECTOR3 p;
  D3DXVec3TransformCoord(&p, &eye, &view);
  EXPECT_NEAR(p.x, 0.0f, 1e-3f);
  EXPECT_NEAR(p.y, 0.0f, 1e-3f);
  EXPECT_NEAR(p.z, 0.0f, 1e-3f);
  D3DXVec3TransformCoord(&p, &at, &view);
  const Reference distance =
      std::sqrt(Reference(118.278) * 118.278 + Reference(38.517) * 38.517 + Reference(537.955) * 537.955);
  EXPECT_NEAR(p.x, 0.0f, 1e-3f);
  EXPECT_NEAR(p.y, 0.0f, 1e-3f);
  EXPECT_NEAR(p.z, double(distance), 1e-2);
  // Left-handed: a point to the camera's right has positive view x.
  const D3DXVECTOR3 right(eye.x + 100 * 0.977f, eye.y, eye.z - 100 * 0.21f);
  D3DXVec3TransformCoord(&p, &right, &view);
  EXPECT_GT(p.x, 90.0f);
}

TEST(MatrixPerspectiveFovLH, ExactEntriesAndDepthRange) {
  const float fovy = 1.4418356f;
  D3DXMATRIX proj;
  D3DXMatrixPerspectiveFovLH(&proj, fovy, 1.0f, 1.0f, 20000.0f);
  const float half = fovy * 0.5f;
  const float yScale = static_cast<float>(double(static_cast<float>(std::cos(double(half)))) /
                                          static_cast<float>(std::sin(double(half))));
  EXPECT_EQ(proj._22, yScale);
  EXPECT_EQ(proj._11, yScale);
  EXPECT_EQ(proj._34, 1.0f);
  EXPECT_EQ(proj._44, 0.0f);
  expectNear(proj._33, 20000.0L / 19999.0L, 1);
  expectNear(proj._43, -20000.0L / 19999.0L, 1);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      if (!((i == j && i < 3) || (i == 2 && j == 3) || (i == 3 && j == 2))) {
        EXPECT_EQ(proj.m[i][j], 0.0f);
      }

  // The near plane maps to depth 0 and the far plane to depth 1.
  D3DXVECTOR3 nearPoint(0, 0, 1), farPoint(0, 0, 20000), p;
  D3DXVec3TransformCoord(&p, &nearPoint, &proj);
  EXPECT_NEAR(p.z, 0.0f, 1e-6f);
  D3DXVec3TransformCoord(&p, &farPoint, &proj);
  EXPECT_NEAR(p.z, 1.0f, 1e-6f);
}

TEST(Quaternion, MatrixRoundTrip) {
  std::mt19937 rng(5);
  std::normal_distribution<float> n;
  for (int trial = 0; trial < 200; ++trial) {
    D3DXQUATERNION q{n(rng), n(rng), n(rng), n(rng)};
    const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    q = {q.x / length, q.y / length, q.z / length, q.w / length};
    D3DXMATRIX m;
    D3DXMatrixRotationQuaternion(&m, &q);
    D3DXQUATERNION back;
    D3DXQuaternionRotationMatrix(&back, &m);
    const float sign = (back.x * q.x + back.y * q.y + back.z * q.z + back.w * q.w) < 0 ? -1.0f : 1.0f;
    EXPECT_NEAR(back.x * sign, q.x, 1e-5f);
    EXPECT_NEAR(back.y * sign, q.y, 1e-5f);
    EXPECT_NEAR(back.z * sign, q.z, 1e-5f);
    EXPECT_NEAR(back.w * sign, q.w, 1e-5f);
  }
}

TEST(Quaternion, RotationAboutYMatchesRotationY) {
  const float angle = 0.7f;
  const D3DXQUATERNION q{0, std::sin(angle / 2), 0, std::cos(angle / 2)};
  D3DXMATRIX fromQ, fromAngle;
  D3DXMatrixRotationQuaternion(&fromQ, &q);
  D3DXMatrixRotationY(&fromAngle, angle);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(fromQ.m[i][j], fromAngle.m[i][j], 1e-6f);
}

TEST(Vec3Helpers, CrossDotLengthSubtract) {
  const D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0);
  D3DXVECTOR3 z;
  D3DXVec3Cross(&z, &x, &y);
  EXPECT_EQ(z.z, 1.0f);  // left-handed basis, same formula as right-handed
  EXPECT_EQ(D3DXVec3Dot(&x, &y), 0.0f);
  const D3DXVECTOR3 v(3, 4, 12);
  EXPECT_EQ(D3DXVec3Length(&v), 13.0f);
  D3DXVECTOR3 d;
  D3DXVec3Subtract(&d, &v, &x);
  EXPECT_EQ(d.x, 2.0f);
  D3DXVECTOR3 a(1, 2, 3);
  D3DXVec3Cross(&a, &a, &v);  // aliased: uses the old a throughout
  EXPECT_EQ(a.x, 2 * 12 - 3 * 4);
  EXPECT_EQ(a.y, 3 * 3 - 1 * 12);
  EXPECT_EQ(a.z, 1 * 4 - 2 * 3);
}

}  // namespace

TEST(QuaternionNormalize, SameRuleAsVectors) {
  D3DXQUATERNION out{9, 9, 9, 9};
  const D3DXQUATERNION zero{0, 0, 0, 0};
  D3DXQuaternionNormalize(&out, &zero);
  EXPECT_EQ(out.x, 0.0f);
  EXPECT_EQ(out.w, 0.0f);

  const D3DXQUATERNION tiny{1e-20f, 0, 0, 1e-20f};
  D3DXQuaternionNormalize(&out, &tiny);
  EXPECT_EQ(out.x, 0.0f);
  EXPECT_EQ(out.w, 0.0f);

  // Unit within 2^-23: copied bit for bit, not rescaled.
  const D3DXQUATERNION nearUnit{0.36f, 0.48f, 0.0f, 0.8f};
  D3DXQuaternionNormalize(&out, &nearUnit);
  EXPECT_EQ(std::memcmp(&out, &nearUnit, sizeof out), 0);

  D3DXQUATERNION q{1, -2, 2, 4};  // length 5
  D3DXQuaternionNormalize(&q, &q);
  expectNear(q.x, 0.2L);
  expectNear(q.y, -0.4L);
  expectNear(q.z, 0.4L);
  expectNear(q.w, 0.8L);
}
