#include "train.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "xfile_writer.h"

namespace assetgen {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr uint32_t kSkip = ~0u;

// Train speed at the track's radius, units per real second (0.2 radians per second).
constexpr double kTrainSpeed = 0.2 * kTrackRadius;
// Real seconds one wheel loop lasts: 30 ticks at 4800 ticks per second of animation time,
// which runs at one eightieth of real time.
constexpr double kLoopSeconds = kWheelLoopTicks / kWheelTicksPerSecond / kAnimationPerRealSecond;

BoxSides sides(uint32_t material, UvRect all) {
  BoxSides s;
  for (int i = 0; i < 6; ++i) {
    s.uv[i] = all;
    s.material[i] = material;
  }
  return s;
}

// Quad a, b, c, d (uv in the same order); flipped if needed so that it faces `outward`.
void quadFacing(Mesh& m, Vec3 a, Vec3 b, Vec3 c, Vec3 d, const double (&uv)[8], Vec3 outward, uint32_t material) {
  Vec3 n = normalize(cross(b - a, c - a));
  if (dot(n, outward) >= 0) {
    m.addQuad(a, b, c, d, n, uv, material);
  } else {
    const double r[8] = {uv[0], uv[1], uv[6], uv[7], uv[4], uv[5], uv[2], uv[3]};
    m.addQuad(a, d, c, b, n * -1.0, r, material);
  }
}

void triFacing(Mesh& m, Vec3 a, Vec3 b, Vec3 c, const double (&uv)[6], Vec3 outward, uint32_t material) {
  Vec3 n = normalize(cross(b - a, c - a));
  bool flip = dot(n, outward) < 0;
  if (flip) n = n * -1.0;
  uint32_t i0 = m.addVertex(a, n, uv[0], uv[1]);
  uint32_t i1 = m.addVertex(b, n, uv[2], uv[3]);
  uint32_t i2 = m.addVertex(c, n, uv[4], uv[5]);
  if (flip) {
    m.addFace({i0, i2, i1}, material);
  } else {
    m.addFace({i0, i1, i2}, material);
  }
}

UvRect sub(const AtlasRect& r, double fx0, double fy0, double fx1, double fy1) {
  UvRect u = r.uv();
  return {u.u0 + (u.u1 - u.u0) * fx0, u.v0 + (u.v1 - u.v0) * fy0, u.u0 + (u.u1 - u.u0) * fx1,
          u.v0 + (u.v1 - u.v0) * fy1};
}

// ---- Wagons -----------------------------------------------------------------------------

constexpr double kWagonHalfLength = 36.0;
constexpr double kWagonHalfWidth = 15.0;
constexpr double kBodyBottom = -126.0;
// The side panel is 30 units high for 72 long: the same proportions as its 256 x 107 texels,
// so the caption is not stretched.
constexpr double kBodyTop = -96.0;
constexpr double kSmallAxleY = kRailY + kSmallWheelRadius;
constexpr double kDriverAxleY = kRailY + kDriverWheelRadius;

void wagonChassis(Mesh& m, uint32_t mat) {
  using namespace wagon_atlas;
  BoxSides frame = sides(mat, kDark.uv());
  frame.uv[0] = frame.uv[1] = kUnderframe.uv();
  addBox(m, {-34, -129, -12.5}, {34, kBodyBottom, 12.5}, frame);
  for (double b : {-22.0, 22.0}) {
    addBox(m, {b - 9, -133, -11}, {b + 9, -129, 11}, sides(mat, kDark.uv()));
  }
  BoxSides body = sides(mat, kDark.uv());
  body.uv[0] = body.uv[1] = kSide.uv();
  body.uv[2] = body.uv[3] = kEnd.uv();
  addBox(m, {-kWagonHalfLength, kBodyBottom, -kWagonHalfWidth}, {kWagonHalfLength, kBodyTop, kWagonHalfWidth}, body);
  // Buffers and couplings at both ends.
  for (double s : {-1.0, 1.0}) {
    double x0 = s * kWagonHalfLength, x1 = s * (kWagonHalfLength + 3.5);
    for (double z : {-9.0, 9.0}) {
      addBox(m, {std::min(x0, x1 - s * 1.5), -124.5, z - 1.4}, {std::max(x0, x1 - s * 1.5), -121.5, z + 1.4},
             sides(mat, sub(kMetal, 0, 0, 0.5, 1)));
    }
    addBox(m, {std::min(x0, x1), -124, -1.2}, {std::max(x0, x1), -122.4, 1.2}, sides(mat, sub(kMetal, 0, 0, 0.5, 1)));
  }
}

void snowSlab(Mesh& m, Vec3 lo, Vec3 hi) {
  BoxSides s = sides(kMatSnow, {0, 0, 1, 1});
  s.material[5] = kSkip;
  addBox(m, lo, hi, s);
}

void flatRoof(Mesh& m, uint32_t mat, double top) {
  using namespace wagon_atlas;
  BoxSides roof = sides(mat, kRoof.uv());
  roof.uv[0] = roof.uv[1] = roof.uv[2] = roof.uv[3] = sub(kRoof, 0, 0, 1, 0.2);
  addBox(m, {-37.5, kBodyTop, -16.5}, {37.5, top, 16.5}, roof);
}

void coachWagon(Mesh& m, uint32_t mat) {
  using namespace wagon_atlas;
  flatRoof(m, mat, -93.5);
  BoxSides clerestory = sides(mat, kRoof.uv());
  clerestory.uv[0] = clerestory.uv[1] = kStrip.uv();
  addBox(m, {-31, -93.5, -8}, {31, -90.5, 8}, clerestory);
  snowSlab(m, {-30.5, -90.5, -7.5}, {30.5, -89.6, 7.5});
  snowSlab(m, {-36.5, -93.5, 8}, {36.5, -92.8, 16});
  snowSlab(m, {-36.5, -93.5, -16}, {36.5, -92.8, -8});
  // Oil lamps on the roof ends.
  for (double x : {-26.0, 26.0})
    addCylinderY(m, -90.5, -87.5, x, 0, 1.4, 0.9, 8, mat, sub(kMetal, 0.5, 0, 1, 1), true, sub(kMetal, 0.5, 0, 1, 0.5));
}

void vanWagon(Mesh& m, uint32_t mat) {
  using namespace wagon_atlas;
  const double eaveY = kBodyTop, ridgeY = -88.5, hw = 16.5, hl = 37.5;
  UvRect r = kRoof.uv();
  for (double s : {-1.0, 1.0}) {
    Vec3 a{-hl, eaveY, s * hw}, b{hl, eaveY, s * hw}, c{hl, ridgeY, 0}, d{-hl, ridgeY, 0};
    const double uv[8] = {r.u0, r.v1, r.u1, r.v1, r.u1, r.v0, r.u0, r.v0};
    quadFacing(m, a, b, c, d, uv, {0, 0.8, s * 0.6}, mat);
    // Snow on the slope, a little inside its edges.
    Vec3 up{0, 0.9, 0};
    Vec3 sa = a + (d - a) * 0.18 + up, sb = b + (c - b) * 0.18 + up;
    Vec3 sc = c + up, sd = d + up;
    sa.x += 1.0;
    sd.x += 1.0;
    sb.x -= 1.0;
    sc.x -= 1.0;
    const double suv[8] = {0, 0, 1, 0, 1, 1, 0, 1};
    quadFacing(m, sa, sb, sc, sd, suv, {0, 0.8, s * 0.6}, kMatSnow);
  }
  UvRect g = sub(kEnd, 0, 0, 1, 0.25);
  for (double s : {-1.0, 1.0}) {
    const double uv[6] = {g.u0, g.v1, g.u1, g.v1, 0.5 * (g.u0 + g.u1), g.v0};
    triFacing(m, {s * kWagonHalfLength, eaveY, -kWagonHalfWidth}, {s * kWagonHalfLength, eaveY, kWagonHalfWidth},
              {s * kWagonHalfLength, ridgeY - 0.5, 0}, uv, {s, 0, 0}, mat);
  }
  // Eaves underside, so the overhang does not look hollow.
  const double dark[8] = {kDark.uv().u0, kDark.uv().v0, kDark.uv().u1, kDark.uv().v0,
                          kDark.uv().u1, kDark.uv().v1, kDark.uv().u0, kDark.uv().v1};
  quadFacing(m, {-hl, eaveY, -hw}, {hl, eaveY, -hw}, {hl, eaveY, hw}, {-hl, eaveY, hw}, dark, {0, -1, 0}, mat);
}

void giftWagon(Mesh& m, uint32_t mat) {
  using namespace wagon_atlas;
  // Open top: a wooden floor inside a low rim, piled with presents.
  BoxSides rim = sides(mat, kStrip.uv());
  rim.material[5] = kSkip;
  addBox(m, {-36.5, kBodyTop, -15.5}, {36.5, -94.5, 15.5}, rim);
  struct Gift {
    double x, z, w, d, h;
    int pattern;
  };
  const Gift gifts[] = {
      {-24, -5, 14, 13, 11, 0}, {-22, 7, 9, 9, 7, 1},   {-8, 2, 12, 16, 14, 2}, {6, -6, 10, 10, 9, 3},
      {7, 7, 9, 8, 6, 0},       {21, 0, 15, 14, 10, 1}, {22, 0, 7, 7, 15.5, 2}, {-10, -10, 6, 6, 5, 3},
  };
  for (const Gift& g : gifts) {
    double qx = (g.pattern % 2) * 0.5, qy = (g.pattern / 2) * 0.5;
    UvRect wrap = sub(kCargo, qx, qy, qx + 0.5, qy + 0.5);
    BoxSides box = sides(mat, wrap);
    box.material[5] = kSkip;
    addBox(m, {g.x - g.w / 2, -94.5, g.z - g.d / 2}, {g.x + g.w / 2, -94.5 + g.h, g.z + g.d / 2}, box);
    // A bow on top.
    addCylinderY(m, -94.5 + g.h, -94.5 + g.h + 1.6, g.x, g.z, 1.8, 0.6, 6, mat, sub(kCargo2, 0, 0, 0.5, 1), false, {});
  }
}

void treeWagon(Mesh& m, uint32_t mat) {
  using namespace wagon_atlas;
  BoxSides deck = sides(mat, kStrip.uv());
  deck.material[5] = kSkip;
  addBox(m, {-36.5, kBodyTop, -15.5}, {36.5, -95, 15.5}, deck);
  // A tub, the trunk and three tiers of branches, with a star on top.
  addCylinderY(m, -95, -91, 0, 0, 6.5, 7.5, 12, mat, sub(kCargo2, 0, 0, 0.5, 1), true, sub(kCargo2, 0, 0, 0.5, 1));
  addCylinderY(m, -91, -86, 0, 0, 1.6, 1.4, 8, mat, sub(kCargo2, 0, 0, 0.5, 1), false, {});
  const double tiers[][3] = {{-88, -74, 13.5}, {-80, -67, 10.5}, {-72, -60, 7.5}};
  for (const auto& t : tiers) {
    addCylinderY(m, t[0], t[1], 0, 0, t[2], 0.0, 16, mat, kCargo.uv(), false, {});
  }
  addCylinderY(m, -60.5, -57.5, 0, 0, 1.8, 0.0, 6, mat, sub(kCargo2, 0.5, 0, 1, 1), false, {});
  addCylinderY(m, -62, -60.5, 0, 0, 0.0, 1.8, 6, mat, sub(kCargo2, 0.5, 0, 1, 1), false, {});
  // Snow lying on the deck.
  snowSlab(m, {-34, -95, -13}, {-14, -94.2, 13});
  snowSlab(m, {14, -95, -13}, {34, -94.2, 13});
}

void cabooseWagon(Mesh& m, uint32_t mat) {
  using namespace wagon_atlas;
  flatRoof(m, mat, -93.5);
  BoxSides cupola = sides(mat, kCargo.uv());
  cupola.uv[4] = kRoof.uv();
  addBox(m, {-9, -93.5, -10}, {9, -84.5, 10}, cupola);
  addBox(m, {-10.5, -84.5, -11.5}, {10.5, -83, 11.5}, sides(mat, kRoof.uv()));
  snowSlab(m, {-10, -83, -11}, {10, -82.2, 11});
  snowSlab(m, {-36.5, -93.5, -16}, {-9.5, -92.8, 16});
  snowSlab(m, {9.5, -93.5, -16}, {36.5, -92.8, 16});
  addCylinderY(m, -93.5, -82, 24, 6, 1.3, 1.3, 8, mat, sub(kMetal, 0.5, 0, 1, 1), false, {});
  addCylinderY(m, -82, -80, 24, 6, 1.3, 2.2, 8, mat, sub(kMetal, 0.5, 0, 1, 1), true, sub(kMetal, 0, 0, 0.5, 0.5));
}

// ---- Locomotive ---------------------------------------------------------------------------

constexpr double kLocoFront = 38.0;  // tip of the cowcatcher
constexpr double kLocoRear = -34.0;
constexpr double kChimneyForward = 24.0;

void locomotive(Mesh& m) {
  using namespace loco_atlas;
  const uint32_t mat = kMatLoco;
  // Footplate and buffer beam.
  BoxSides plate = sides(mat, kBlack.uv());
  plate.uv[0] = plate.uv[1] = plate.uv[2] = plate.uv[3] = kRed.uv();
  addBox(m, {-34, -123, -14.5}, {30, -120.5, 14.5}, plate);
  addBox(m, {30, -127.5, -14.5}, {32, -120.5, 14.5}, sides(mat, kRed.uv()));
  addBox(m, {-36, -127.5, -14.5}, {-34, -120.5, 14.5}, sides(mat, kRed.uv()));
  addBox(m, {-20, -129, -10}, {28, -123, 10}, sides(mat, kBlack.uv()));  // frames between the wheels
  for (double z : {-9.0, 9.0}) {
    addCylinderX(m, 32, 35, {0, -124, z}, 1.4, 8, mat, kBlack.uv(), mat, kBrass.uv());
    addCylinderX(m, -39, -36, {0, -124, z}, 1.4, 8, mat, kBlack.uv(), mat, kBrass.uv());
  }
  addBox(m, {-39.5, -124, -1.2}, {-36, -122.4, 1.2}, sides(mat, kBlack.uv()));
  // Splashers: arched covers over the driving wheels where they rise through the footplate.
  {
    const double cx = -7, cy = kDriverAxleY, r = kDriverWheelRadius + 0.9, floor = -120.5;
    const double a0 = std::asin((floor - cy) / r), a1 = kPi - a0;
    const int n = 10;
    UvRect red = kRed.uv(), rim = kBrass.uv();
    for (double s : {-1.0, 1.0}) {
      const double zo = s * 14.6, zi = s * 11.4;
      for (double z : {zo, zi}) {
        // The flat face: a circular segment, convex, one polygon.
        std::vector<uint32_t> face;
        Vec3 n3{0, 0, z == zo ? s : -s};
        for (int i = 0; i <= n; ++i) {
          double a = a0 + (a1 - a0) * i / n;
          double u = red.u0 + (red.u1 - red.u0) * i / n;
          face.push_back(m.addVertex({cx + r * std::cos(a), cy + r * std::sin(a), z}, n3, u,
                                     red.v0 + (red.v1 - red.v0) * (1 - (cy + r * std::sin(a) - floor) / 6.5)));
        }
        // Clockwise seen from the side it faces.
        Vec3 e1 = m.vertices[face[1]].position - m.vertices[face[0]].position;
        Vec3 e2 = m.vertices[face[2]].position - m.vertices[face[0]].position;
        if (dot(cross(e1, e2), n3) < 0) std::reverse(face.begin(), face.end());
        m.addFace(face, mat);
      }
      // The arched top, brass-edged.
      for (int i = 0; i < n; ++i) {
        double b0 = a0 + (a1 - a0) * i / n, b1 = a0 + (a1 - a0) * (i + 1) / n;
        Vec3 p0{cx + r * std::cos(b0), cy + r * std::sin(b0), 0}, p1{cx + r * std::cos(b1), cy + r * std::sin(b1), 0};
        Vec3 out = normalize(Vec3{std::cos(b0 + (b1 - b0) / 2), std::sin(b0 + (b1 - b0) / 2), 0});
        const double uv[8] = {rim.u0, rim.v0, rim.u1, rim.v0, rim.u1, rim.v1, rim.u0, rim.v1};
        quadFacing(m, {p0.x, p0.y, zi}, {p0.x, p0.y, zo}, {p1.x, p1.y, zo}, {p1.x, p1.y, zi}, uv, out, mat);
      }
    }
  }
  // Boiler, smokebox with its door, chimney, dome and safety valve.
  addCylinderX(m, -12, 20, {0, -111, 0}, 9.0, 20, mat, kBoiler.uv(), mat, kBlack.uv(), false);
  addCylinderX(m, 20, 29, {0, -111, 0}, 9.6, 20, mat, kSmokebox.uv(), mat, kSmokeboxDoor.uv());
  addCylinderY(m, -102.5, -94, kChimneyForward, 0, 3.0, 3.0, 12, mat, kBlack.uv(), false, {});
  addCylinderY(m, -94, kChimneyY, kChimneyForward, 0, 3.0, 4.3, 12, mat, kBrass.uv(), true, sub(kBlack, 0, 0, 0.5, 1));
  addCylinderY(m, -103, -98.5, 4, 0, 3.6, 3.6, 12, mat, kBrass.uv(), false, {});
  addCylinderY(m, -98.5, -96.3, 4, 0, 3.6, 1.6, 12, mat, kBrass.uv(), true, kBrass.uv());
  addCylinderY(m, -102, -97.5, -6, 0, 1.7, 1.2, 8, mat, kBrass.uv(), true, kBrass.uv());
  // Headlamp on the smokebox.
  BoxSides lamp = sides(mat, kBlack.uv());
  lamp.uv[2] = kLamp.uv();
  addBox(m, {27, -104, -2.2}, {30.5, -99.5, 2.2}, lamp);
  // Cab, roof with snow, and the coal bunker behind it.
  BoxSides cab = sides(mat, kBlack.uv());
  cab.uv[0] = cab.uv[1] = kCabSide.uv();
  cab.uv[2] = kCabFront.uv();
  cab.uv[3] = kCabBack.uv();
  addBox(m, {-28, -120.5, -13.5}, {-12, -96, 13.5}, cab);
  addBox(m, {-29.5, -96, -15.5}, {-10.5, -94, 15.5}, sides(mat, kRoof.uv()));
  snowSlab(m, {-28.8, -94, -14.5}, {-11.2, -93.1, 14.5});
  BoxSides bunker = sides(mat, kBlack.uv());
  bunker.uv[4] = kCoal.uv();
  bunker.uv[0] = bunker.uv[1] = sub(kCabSide, 0, 0.6, 0.3, 1);
  addBox(m, {-34, -120.5, -12}, {-28, -106, 12}, bunker);
  // Coal heaped above the bunker's rim.
  {
    UvRect c = kCoal.uv();
    const double uv[8] = {c.u0, c.v0, c.u1, c.v0, c.u1, c.v1, c.u0, c.v1};
    quadFacing(m, {-34, -106, -11}, {-28, -103, -9}, {-28, -103, 9}, {-34, -106, 11}, uv, {0.3, 1, 0}, mat);
  }
  // Cowcatcher: a sloping grid in front of the buffer beam, with triangular cheeks.
  {
    UvRect r = kCylinder.uv();
    const double uv[8] = {r.u0, r.v0, r.u1, r.v0, r.u1, r.v1, r.u0, r.v1};
    Vec3 tl{32, -127.5, 12.5}, tr{32, -127.5, -12.5}, br{kLocoFront, -136.5, -4}, bl{kLocoFront, -136.5, 4};
    quadFacing(m, tl, tr, br, bl, uv, {1, 0.5, 0}, mat);
    const double tuv[6] = {r.u0, r.v0, r.u1, r.v0, r.u1, r.v1};
    triFacing(m, {32, -127.5, 12.5}, {kLocoFront, -136.5, 4}, {32, -136.5, 12.5}, tuv, {0.3, 0, 1}, mat);
    triFacing(m, {32, -127.5, -12.5}, {kLocoFront, -136.5, -4}, {32, -136.5, -12.5}, tuv, {0.3, 0, -1}, mat);
  }
}

// ---- Placement ------------------------------------------------------------------------------

Mat4 carMatrix(double angle, double radius) {
  // Car x (forward) follows the direction of travel, towards decreasing polar angle; car z
  // points outwards.
  return rotationY(kPi / 2 - angle) * translation({radius * std::cos(angle), 0, radius * std::sin(angle)});
}

Mesh wheelMesh(double radius, int segments) {
  using namespace wheel_atlas;
  Mesh m;
  m.materials = {Material{"Wheel", {1, 1, 1, 1}, 0, {0, 0, 0}, {0, 0, 0}, "WHEEL.BMP"}};
  for (double s : {-1.0, 1.0}) {
    double x0 = s * kGaugeHalf - 1.1, x1 = s * kGaugeHalf + 1.1;
    addCylinderX(m, x0, x1, {0, 0, 0}, radius, segments, 0, kTread.uv(64), 0, kDisc.uv(64));
  }
  addCylinderX(m, -kGaugeHalf + 1.1, kGaugeHalf - 1.1, {0, 0, 0}, 1.1, 8, 0, kTread.uv(64), 0, kTread.uv(64), false);
  return m;
}

}  // namespace

std::array<double, 4> quaternionFromMatrix(const Mat4& m) {
  // Row-vector convention: m(0,1) = 2xy + 2zw, m(1,0) = 2xy - 2zw, and so on.
  double trace = m.at(0, 0) + m.at(1, 1) + m.at(2, 2);
  double x, y, z, w;
  if (trace > 0) {
    double s = std::sqrt(trace + 1.0) * 2;
    w = 0.25 * s;
    x = (m.at(1, 2) - m.at(2, 1)) / s;
    y = (m.at(2, 0) - m.at(0, 2)) / s;
    z = (m.at(0, 1) - m.at(1, 0)) / s;
  } else if (m.at(0, 0) > m.at(1, 1) && m.at(0, 0) > m.at(2, 2)) {
    double s = std::sqrt(1.0 + m.at(0, 0) - m.at(1, 1) - m.at(2, 2)) * 2;
    w = (m.at(1, 2) - m.at(2, 1)) / s;
    x = 0.25 * s;
    y = (m.at(0, 1) + m.at(1, 0)) / s;
    z = (m.at(2, 0) + m.at(0, 2)) / s;
  } else if (m.at(1, 1) > m.at(2, 2)) {
    double s = std::sqrt(1.0 + m.at(1, 1) - m.at(0, 0) - m.at(2, 2)) * 2;
    w = (m.at(2, 0) - m.at(0, 2)) / s;
    x = (m.at(0, 1) + m.at(1, 0)) / s;
    y = 0.25 * s;
    z = (m.at(1, 2) + m.at(2, 1)) / s;
  } else {
    double s = std::sqrt(1.0 + m.at(2, 2) - m.at(0, 0) - m.at(1, 1)) * 2;
    w = (m.at(0, 1) - m.at(1, 0)) / s;
    x = (m.at(2, 0) + m.at(0, 2)) / s;
    y = (m.at(1, 2) + m.at(2, 1)) / s;
    z = 0.25 * s;
  }
  return {x, y, z, w};
}

Mat4 matrixFromQuaternion(const std::array<double, 4>& q) {
  const double x = q[0], y = q[1], z = q[2], w = q[3];
  Mat4 r = Mat4::identity();
  r.at(0, 0) = 1 - 2 * y * y - 2 * z * z;
  r.at(0, 1) = 2 * x * y + 2 * z * w;
  r.at(0, 2) = 2 * x * z - 2 * y * w;
  r.at(1, 0) = 2 * x * y - 2 * z * w;
  r.at(1, 1) = 1 - 2 * x * x - 2 * z * z;
  r.at(1, 2) = 2 * y * z + 2 * x * w;
  r.at(2, 0) = 2 * x * z + 2 * y * w;
  r.at(2, 1) = 2 * y * z - 2 * x * w;
  r.at(2, 2) = 1 - 2 * x * x - 2 * y * y;
  return r;
}

Mat4 wheelRotationAt(const WheelSet& wheel, double tick) {
  // Spin about the axle (wheel x). A positive angle carries the wheel's top towards wheel +z;
  // the orientation decides which way that is, so the sign comes from the travel direction.
  double angle = wheel.turnPerLoop * tick / kWheelLoopTicks;
  Mat4 spin = Mat4::identity();
  double c = std::cos(angle), s = std::sin(angle);
  spin.at(1, 1) = c;
  spin.at(1, 2) = s;
  spin.at(2, 1) = -s;
  spin.at(2, 2) = c;
  return spin * wheel.orientation;
}

Train buildTrain() {
  Train t;
  Mesh& m = t.cabs;
  m.materials = {
      Material{"Snow", {1, 1, 1, 1}, 0, {0, 0, 0}, {0, 0, 0}, ""},
      Material{"Wagon5", {1, 1, 1, 1}, 0, {0, 0, 0}, {0, 0, 0}, "WAGON_5.BMP"},
      Material{"Wagon4", {1, 1, 1, 1}, 0, {0, 0, 0}, {0, 0, 0}, "WAGON_4.BMP"},
      Material{"Wagon3", {1, 1, 1, 1}, 0, {0, 0, 0}, {0, 0, 0}, "WAGON_3.BMP"},
      Material{"Wagon2", {1, 1, 1, 1}, 0, {0, 0, 0}, {0, 0, 0}, "WAGON_2.BMP"},
      Material{"Wagon1", {1, 1, 1, 1}, 0, {0, 0, 0}, {0, 0, 0}, "WAGON_1.BMP"},
      Material{"Locomotive", {1, 1, 1, 1}, 0, {0, 0, 0}, {0, 0, 0}, "COAL_LOCO.BMP"},
  };
  // The locomotive is placed so that its chimney top is exactly the smoke's birth point.
  const double chimneyRadius = std::hypot(kChimneyX, kChimneyZ);
  const double locoRadius = std::sqrt(chimneyRadius * chimneyRadius - kChimneyForward * kChimneyForward);
  double angle = std::atan2(kChimneyZ, kChimneyX) + std::atan2(kChimneyForward, locoRadius);
  t.cars[0] = {angle, locoRadius, carMatrix(angle, locoRadius)};
  constexpr double kWagonRadius = 261.0;
  constexpr double kCoupling = 7.0;
  double previousRear = -kLocoRear;
  for (int w = 1; w <= 5; ++w) {
    angle += (previousRear + kCoupling + kWagonHalfLength) / kWagonRadius;
    t.cars[w] = {angle, kWagonRadius, carMatrix(angle, kWagonRadius)};
    previousRear = kWagonHalfLength;
  }

  Mesh loco;
  locomotive(loco);
  loco.transform(t.cars[0].toTrain);
  m.append(loco);
  using WagonBuilder = void (*)(Mesh&, uint32_t);
  const WagonBuilder builders[5] = {coachWagon, vanWagon, giftWagon, treeWagon, cabooseWagon};
  for (int w = 1; w <= 5; ++w) {
    Mesh car;
    wagonChassis(car, wagonMaterial(w));
    builders[w - 1](car, wagonMaterial(w));
    car.transform(t.cars[w].toTrain);
    m.append(car);
  }
  t.chimneyTop = transformPoint({kChimneyForward, kChimneyY, 0}, t.cars[0].toTrain);

  // Wheels: four axles under the locomotive (two leading, the driver, one trailing) and two
  // bogies of two axles under each wagon.
  t.smallWheel = wheelMesh(kSmallWheelRadius, 16);
  t.driverWheel = wheelMesh(kDriverWheelRadius, 24);
  // Turn per loop: the distance the train covers in one loop rolled off the wheel, rounded to
  // a whole number of spoke spacings (the picture has 8 spokes) so the loop's end matches its
  // start. The radii are chosen so the rounding is exact.
  auto turnFor = [](double radius) {
    const double spoke = kPi / 4;
    return std::round(kTrainSpeed * kLoopSeconds / radius / spoke) * spoke;
  };
  const double smallTurn = turnFor(kSmallWheelRadius), driverTurn = turnFor(kDriverWheelRadius);
  struct Axle {
    int car;
    double x;
    bool driver;
  };
  std::vector<Axle> axles = {{0, 28, false}, {0, 12, false}, {0, -7, true}, {0, -27, false}};
  for (int w = 1; w <= 5; ++w) {
    for (double x : {29.5, 14.5, -14.5, -29.5}) axles.push_back({w, x, false});
  }
  const Mat4 wheelToCar = rotationY(-kPi / 2);  // wheel x (the axle) along car z
  int index = 0;
  for (const Axle& a : axles) {
    WheelSet ws;
    ws.frameName = "wheel" + std::to_string(index++);
    ws.driver = a.driver;
    ws.radius = a.driver ? kDriverWheelRadius : kSmallWheelRadius;
    const Mat4& car = t.cars[a.car].toTrain;
    ws.position = transformPoint({a.x, a.driver ? kDriverAxleY : kSmallAxleY, 0}, car);
    Mat4 rot = wheelToCar * car;
    rot.at(3, 0) = rot.at(3, 1) = rot.at(3, 2) = 0;
    ws.orientation = rot;
    ws.turnPerLoop = a.driver ? driverTurn : smallTurn;
    // Roll forwards: the top of the wheel must move in the direction of travel.
    Vec3 forward = normalize(transformNormal({1, 0, 0}, car));
    Vec3 top0 = transformPoint({0, ws.radius, 0}, wheelRotationAt(ws, 0));
    Vec3 top1 = transformPoint({0, ws.radius, 0}, wheelRotationAt(ws, 1));
    if (dot(top1 - top0, forward) < 0) ws.turnPerLoop = -ws.turnPerLoop;
    t.wheels.push_back(ws);
  }
  return t;
}

std::vector<uint8_t> cabsFile(const Train& train, XFormat format) {
  XWriter w(XFloatSize::k64, XTemplateSet::kMesh, format);
  w.mesh(train.cabs, "TrainCabs");
  return w.take();
}

std::vector<uint8_t> wheelsFile(const Train& train, XFormat format) {
  XWriter w(XFloatSize::k32, XTemplateSet::kAnimatedFrames, format);
  std::vector<XWriter::WheelAnimation> animations;
  for (const WheelSet& ws : train.wheels) {
    Mat4 rest = wheelRotationAt(ws, 0) * translation(ws.position);
    w.beginFrame(ws.frameName, rest);
    w.mesh(ws.driver ? train.driverWheel : train.smallWheel, ws.frameName + "Mesh");
    w.endFrame();
    XWriter::WheelAnimation a;
    a.frameName = ws.frameName;
    a.scale = {1, 1, 1};
    a.position = ws.position;
    std::array<double, 4> previous{};
    for (uint32_t tick : {0u, 15u, 30u}) {
      std::array<double, 4> q = quaternionFromMatrix(wheelRotationAt(ws, tick));
      // Keys are blended component-wise, so each must lie on the same side as the one before.
      double d = q[0] * previous[0] + q[1] * previous[1] + q[2] * previous[2] + q[3] * previous[3];
      if (tick != 0 && d < 0) {
        for (double& c : q) c = -c;
      }
      previous = q;
      // A stored key is the conjugate of the rotation it produces, and the file lists w first.
      a.rotationKeys.push_back({tick, {q[3], -q[0], -q[1], -q[2]}});
    }
    animations.push_back(a);
  }
  w.animationSet(animations);
  return w.take();
}

}  // namespace assetgen
