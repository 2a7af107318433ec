// Geometry against the fixed camera: the outline, the flat layers, the buttons, the chimney,
// the captions' reading direction and the wheels' rolling loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <regex>

#include "art.h"
#include "canvas.h"
#include "flat_meshes.h"
#include "image_formats.h"
#include "outline.h"
#include "region.h"
#include "scene_layout.h"
#include "test_support.h"
#include "train.h"

#ifdef KQ_HAVE_D3DX9MATH
#include <d3dx9math.h>
#endif

namespace assetgen_test {
namespace {

using namespace assetgen;
constexpr double kPi = std::numbers::pi;

DecodedRegion committedRegion() {
  std::string error;
  auto d = decodeRegionData(generated().at("region.bin"), &error);
  EXPECT_TRUE(d.has_value()) << error;
  return d.value_or(DecodedRegion{});
}

std::vector<bool> regionMask(const DecodedRegion& r) {
  std::vector<bool> mask(512 * 512, false);
  for (const RegionRect& rc : r.rects) {
    for (int y = rc.top; y < rc.bottom; ++y) {
      for (int x = rc.left; x < rc.right; ++x) {
        EXPECT_FALSE(mask[y * 512 + x]) << "rectangles overlap at " << x << "," << y;
        mask[y * 512 + x] = true;
      }
    }
  }
  return mask;
}

TEST(AssetgenOutline, HeaderAgreesWithRectanglesInValidBands) {
  DecodedRegion r = committedRegion();
  ASSERT_GT(r.count, 0u);
  EXPECT_EQ(r.rectBytes, 16 * r.count);
  EXPECT_EQ(r.bound, boundingRect(r.rects));
  for (size_t i = 0; i < r.rects.size(); ++i) {
    const RegionRect& c = r.rects[i];
    ASSERT_LT(c.left, c.right);
    ASSERT_LT(c.top, c.bottom);
    ASSERT_GE(c.left, 0);
    ASSERT_LE(c.right, 512);
    ASSERT_GE(c.top, 0);
    ASSERT_LE(c.bottom, 512);
    if (i == 0) continue;
    const RegionRect& p = r.rects[i - 1];
    if (p.top == c.top) {
      // Same band: same height, left to right with a gap (touching runs would be one).
      EXPECT_EQ(p.bottom, c.bottom);
      EXPECT_LT(p.right, c.left);
    } else {
      EXPECT_GE(c.top, p.bottom) << "bands overlap";
    }
  }
  // Neighbouring bands that touch must differ, or they would have been one band.
  std::vector<std::vector<std::pair<int, int>>> runs;
  std::vector<std::pair<int, int>> spans;
  for (size_t i = 0; i < r.rects.size();) {
    size_t j = i;
    std::vector<std::pair<int, int>> band;
    while (j < r.rects.size() && r.rects[j].top == r.rects[i].top) {
      band.emplace_back(r.rects[j].left, r.rects[j].right);
      ++j;
    }
    if (!runs.empty() && spans.back().second == r.rects[i].top) {
      EXPECT_NE(runs.back(), band) << "unmerged band at y " << r.rects[i].top;
    }
    runs.push_back(band);
    spans.emplace_back(r.rects[i].top, r.rects[i].bottom);
    i = j;
  }
}

TEST(AssetgenOutline, HoldsTheButtonsAndTheTrainsBand) {
  std::vector<bool> mask = regionMask(committedRegion());
  for (const ButtonSpec& b : kButtons) {
    for (int y = b.rect.top; y <= b.rect.bottom; ++y) {
      for (int x = b.rect.left; x <= b.rect.right; ++x) ASSERT_TRUE(mask[y * 512 + x]) << b.resourceName;
    }
  }
  // The train's circle and everything on it (up to the star on the tree) stays inside.
  for (int y = 225; y <= 332; ++y) {
    for (int x = 90; x <= 440; ++x) ASSERT_TRUE(mask[y * 512 + x]) << x << "," << y;
  }
}

TEST(AssetgenOutline, OverlayShowsExactlyWithinTheOutlineAndFramesItsEdge) {
  std::vector<bool> mask = regionMask(committedRegion());
  const auto& tga = generated().at("FINAL_LAYER.TGA");
  auto alpha = [&](int x, int y) { return tga[18 + ((511 - y) * 512 + x) * 4 + 3]; };
  auto inAtlas = [](int x, int y) {
    for (size_t i = 0; i < kButtons.size(); ++i) {
      PixelRect a = litButtonAtlasRect(i);
      if (x >= a.left && x <= a.right && y >= a.top && y <= a.bottom) return true;
    }
    return false;
  };
  for (int y = 0; y < 512; ++y) {
    for (int x = 0; x < 512; ++x) {
      bool inside = mask[y * 512 + x];
      if (!inside) {
        // Outside the window nothing of the overlay passes the alpha test, except the
        // lit button pictures, which only the button meshes show.
        if (!inAtlas(x, y)) {
          ASSERT_LT(alpha(x, y), 127) << x << "," << y;
        }
        continue;
      }
      bool edge = x == 0 || y == 0 || x == 511 || y == 511 || !mask[y * 512 + x - 1] || !mask[y * 512 + x + 1] ||
                  !mask[(y - 1) * 512 + x] || !mask[(y + 1) * 512 + x];
      if (edge) {
        // Opaque: a partly transparent rim would let the dark scene shade it.
        ASSERT_EQ(alpha(x, y), 255) << "the scene shows at the window's edge at " << x << "," << y;
      }
    }
  }
  // The lit pictures lie where the window never shows the overlay.
  for (size_t i = 0; i < kButtons.size(); ++i) {
    PixelRect a = litButtonAtlasRect(i);
    for (int y = a.top; y <= a.bottom; ++y) {
      for (int x = a.left; x <= a.right; ++x) ASSERT_FALSE(mask[y * 512 + x]);
    }
  }
}

// The snow drift along the top: its rim is the snow's own colour, not darkened by the board
// painted under it, and its surface is smooth, without single-pixel specks.
TEST(AssetgenOutline, SnowDriftHasACleanRimAndNoSpecks) {
  const auto& tga = generated().at("FINAL_LAYER.TGA");
  auto at = [&](int x, int y) { return &tga[18 + ((511 - y) * 512 + x) * 4]; };
  auto sum = [&](int x, int y) { return at(x, y)[0] + at(x, y)[1] + at(x, y)[2]; };
  // Between the holly clusters at the corners.
  for (int x = 120; x < 390; ++x) {
    int y = 0;
    while (at(x, y)[3] < 127) ++y;
    ASSERT_LT(y, 150) << x;
    EXPECT_LE(sum(x, y + 3) - sum(x, y), 30) << "dark rim at " << x << "," << y;
  }
  for (int y = 100; y < 158; ++y) {
    for (int x = 120; x < 390; ++x) {
      bool solid = true;
      for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) solid = solid && at(x + dx, y + dy)[3] == 255;
      }
      if (!solid) continue;
      const int v = sum(x, y);
      const int n[4] = {sum(x - 1, y), sum(x + 1, y), sum(x, y - 1), sum(x, y + 1)};
      const int lo = *std::min_element(n, n + 4), hi = *std::max_element(n, n + 4);
      EXPECT_FALSE(v > hi + 24 || v < lo - 24) << "a speck at " << x << "," << y;
    }
  }
}

TEST(AssetgenOutline, RegionReaderRejectsInconsistentData) {
  std::vector<uint8_t> good = generated().at("region.bin");
  std::string error;
  ASSERT_TRUE(decodeRegionData(good, &error).has_value()) << error;
  auto broken = [&](auto edit) {
    std::vector<uint8_t> b = good;
    edit(b);
    return !decodeRegionData(b, &error).has_value();
  };
  EXPECT_TRUE(broken([](auto& b) { b.resize(20); }));    // header cut short
  EXPECT_TRUE(broken([](auto& b) { b.pop_back(); }));    // last rectangle cut short
  EXPECT_TRUE(broken([](auto& b) { b.push_back(0); }));  // trailing bytes
  EXPECT_TRUE(broken([](auto& b) { b[8] ^= 1; }));       // count disagrees with size
  EXPECT_TRUE(broken([](auto& b) {
    b[12] = 0xFF;
    b[13] = 0xFF;
    b[14] = 0xFF;
    b[15] = 0x7F;
  }));                                              // huge size
  EXPECT_TRUE(broken([](auto& b) { b[0] = 40; }));  // header size
  EXPECT_TRUE(broken([](auto& b) { b[4] = 2; }));   // type
}

TEST(AssetgenFlatLayers, LitButtonsCoverTheirUnlitFacesInTheOverlay) {
  const auto& tga = generated().at("FINAL_LAYER.TGA");
  auto alpha = [&](int x, int y) { return tga[18 + ((511 - y) * 512 + x) * 4 + 3]; };
  for (size_t i = 0; i < kButtons.size(); ++i) {
    const ButtonSpec& b = kButtons[i];
    const PixelRect a = litButtonAtlasRect(i);
    Canvas unlit = paintButton(b.icon, b.rect.width(), b.rect.height(), false);
    int litPixels = 0;
    for (int y = 0; y < b.rect.height(); ++y) {
      for (int x = 0; x < b.rect.width(); ++x) {
        bool unlitShows = std::lround(unlit.at(x, y).a * 255) >= 127;
        bool litShows = alpha(a.left + x, a.top + y) >= 127;
        // Wherever the unlit face is, the lit one is drawn over it.
        if (unlitShows) {
          EXPECT_TRUE(litShows) << b.resourceName << " at " << x << "," << y;
        }
        // The window shows the overlay under the whole hit rectangle.
        EXPECT_GE(alpha(b.rect.left + x, b.rect.top + y), 127) << b.resourceName;
        litPixels += litShows;
      }
    }
    EXPECT_GT(litPixels, b.rect.width() * b.rect.height() * 3 / 4) << b.resourceName;
  }
}

// Vertices and texture coordinates of the first Mesh of an X file, as written.
struct ParsedMesh {
  std::vector<Vec3> positions;
  std::vector<std::pair<double, double>> uvs;
};

ParsedMesh parseFirstMesh(const std::string& s) {
  ParsedMesh m;
  auto listAfter = [&](size_t from, int fields) {
    std::vector<std::vector<double>> rows;
    size_t p = s.find('\n', from) + 1;
    size_t end = s.find('\n', p);
    int count = std::stoi(s.substr(p, end - p));
    p = end + 1;
    for (int i = 0; i < count; ++i) {
      end = s.find('\n', p);
      std::string line = s.substr(p, end - p);
      std::vector<double> v;
      const std::regex num(R"(-?\d+\.\d+)");
      for (auto it = std::sregex_iterator(line.begin(), line.end(), num); it != std::sregex_iterator(); ++it) {
        v.push_back(std::stod((*it)[0]));
      }
      EXPECT_EQ(static_cast<int>(v.size()), fields) << line;
      rows.push_back(v);
      p = end + 1;
    }
    return rows;
  };
  size_t mesh = s.find("\nMesh ");
  for (auto& r : listAfter(mesh + 1, 3)) m.positions.push_back({r[0], r[1], r[2]});
  size_t tc = s.find("MeshTextureCoords {", mesh);
  for (auto& r : listAfter(tc, 2)) m.uvs.emplace_back(r[0], r[1]);
  return m;
}

struct Projected {
  double x, y, viewZ;
};

Projected projectThroughProgramMath(Vec3 p) {
#ifdef KQ_HAVE_D3DX9MATH
  // The program's own math, as the renderer sets up its camera.
  D3DXMATRIX view, proj, both;
  D3DXVECTOR3 eye(-130.757f, -48.355f, -537.955f), at(-12.479f, -86.872f, 0.0f), up(0, 1, 0);
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  D3DXMatrixPerspectiveFovLH(&proj, 1.4418356f, 1.0f, 1.0f, 20000.0f);
  D3DXMatrixMultiply(&both, &view, &proj);
  D3DXVECTOR3 in(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)), out;
  D3DXVec3TransformCoord(&out, &in, &both);
  D3DXVECTOR3 v;
  D3DXVec3TransformCoord(&v, &in, &view);
  return {(out.x + 1.0) * 256.0, (1.0 - out.y) * 256.0, v.z};
#else
  ScreenPoint s = Camera().project(p);
  return {s.x, s.y, s.viewZ};
#endif
}

TEST(AssetgenFlatLayers, ButtonQuadsCoverTheirHitRectanglesTexelForTexel) {
  for (size_t i = 0; i < kButtons.size(); ++i) {
    const ButtonSpec& b = kButtons[i];
    SCOPED_TRACE(b.resourceName);
    ParsedMesh m = parseFirstMesh(text(generated().at(b.resourceName)));
    ASSERT_EQ(m.positions.size(), 4u);
    const double ex[4] = {b.rect.left - 0.5, b.rect.right + 0.5, b.rect.right + 0.5, b.rect.left - 0.5};
    const double ey[4] = {b.rect.top - 0.5, b.rect.top - 0.5, b.rect.bottom + 0.5, b.rect.bottom + 0.5};
    const PixelRect a = litButtonAtlasRect(i);
    const double eu[4] = {a.left / 512.0, (a.right + 1) / 512.0, (a.right + 1) / 512.0, a.left / 512.0};
    const double ev[4] = {a.top / 512.0, a.top / 512.0, (a.bottom + 1) / 512.0, (a.bottom + 1) / 512.0};
    for (int k = 0; k < 4; ++k) {
      Projected s = projectThroughProgramMath(m.positions[k]);
      EXPECT_NEAR(s.x, ex[k], 0.5);
      EXPECT_NEAR(s.y, ey[k], 0.5);
      EXPECT_NEAR(s.x, ex[k], 0.02) << "texels would not land on pixels";
      EXPECT_NEAR(s.y, ey[k], 0.02);
      // In front of the overlay, which is in front of the whole train.
      EXPECT_LT(s.viewZ, kOverlayDepth);
      EXPECT_NEAR(m.uvs[k].first, eu[k], 1e-6);
      EXPECT_NEAR(m.uvs[k].second, ev[k], 1e-6);
    }
  }
}

TEST(AssetgenFlatLayers, PlanesFillTheWindowInTheRightDepthOrder) {
  ParsedMesh planes = parseFirstMesh(text(generated().at("PLANES.X")));
  ASSERT_EQ(planes.positions.size(), 16u);
  const Train train = buildTrain();
  double nearestTrain = 1e9, farthestTrain = 0;
  for (int step = 0; step < 64; ++step) {
    Mat4 world = rotationY(step * 2 * kPi / 64);
    for (const auto& v : train.cabs.vertices) {
      double z = Camera().project(transformPoint(v.position, world)).viewZ;
      nearestTrain = std::min(nearestTrain, z);
      farthestTrain = std::max(farthestTrain, z);
    }
  }
  for (size_t q = 0; q < 4; ++q) {
    double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9, z = 0;
    for (size_t k = 0; k < 4; ++k) {
      Projected s = projectThroughProgramMath(planes.positions[q * 4 + k]);
      minX = std::min(minX, s.x);
      maxX = std::max(maxX, s.x);
      minY = std::min(minY, s.y);
      maxY = std::max(maxY, s.y);
      z = s.viewZ;
    }
    EXPECT_NEAR(minX, -0.5, 0.02) << q;
    EXPECT_NEAR(maxX, 511.5, 0.02) << q;
    if (q == 0) {
      EXPECT_NEAR(minY, -0.5, 0.02);
      EXPECT_NEAR(maxY, 511.5, 0.02);
      EXPECT_GT(z, farthestTrain * 2);
    } else {
      EXPECT_LT(z, nearestTrain / 2) << "the overlay must hide the train";
    }
  }
  ParsedMesh credits = parseFirstMesh(text(generated().at("CREDZ.X")));
  ASSERT_EQ(credits.positions.size(), 4u);
  Projected c = projectThroughProgramMath(credits.positions[0]);
  EXPECT_GT(c.viewZ, farthestTrain);
  EXPECT_LT(c.viewZ, kBackgroundDepth);
}

TEST(AssetgenTrain, ChimneyTopIsTheSmokesBirthPoint) {
  const Train t = buildTrain();
  EXPECT_NEAR(t.chimneyTop.x, kChimneyX, 1e-6);
  EXPECT_NEAR(t.chimneyTop.y, kChimneyY, 1e-6);
  EXPECT_NEAR(t.chimneyTop.z, kChimneyZ, 1e-6);
  // The locomotive's highest vertices form the chimney's rim, centred on that point.
  double top = -1e9;
  for (size_t f = 0; f < t.cabs.faces.size(); ++f) {
    if (t.cabs.faceMaterials[f] != kMatLoco) continue;
    for (uint32_t i : t.cabs.faces[f]) top = std::max(top, t.cabs.vertices[i].position.y);
  }
  EXPECT_NEAR(top, kChimneyY, 1e-9);
  // The flat cap at that height is the chimney's mouth.
  bool found = false;
  for (size_t f = 0; f < t.cabs.faces.size(); ++f) {
    const auto& face = t.cabs.faces[f];
    if (t.cabs.faceMaterials[f] != kMatLoco || face.size() < 6) continue;
    Vec3 sum{};
    bool flat = true;
    for (uint32_t i : face) {
      flat = flat && std::abs(t.cabs.vertices[i].position.y - kChimneyY) < 1e-9;
      sum = sum + t.cabs.vertices[i].position;
    }
    if (!flat) continue;
    found = true;
    EXPECT_NEAR(sum.x / face.size(), kChimneyX, 1e-6);
    EXPECT_NEAR(sum.z / face.size(), kChimneyZ, 1e-6);
  }
  EXPECT_TRUE(found);
}

TEST(AssetgenTrain, CaptionsReadLeftToRightOnBothSides) {
  const Train t = buildTrain();
  const Camera cam;
  for (int wagon = 1; wagon <= 5; ++wagon) {
    const uint32_t mat = wagonMaterial(wagon);
    const CarPlacement& car = t.cars[wagon];
    for (int side = 0; side < 2; ++side) {
      // Turn the train so the wagon passes in front (outer side) or behind (inner side).
      double target = side == 0 ? -kPi / 2 : kPi / 2;
      Mat4 world = rotationY(car.angle - target);
      bool found = false;
      for (size_t f = 0; f < t.cabs.faces.size(); ++f) {
        if (t.cabs.faceMaterials[f] != mat || t.cabs.faces[f].size() != 4) continue;
        const auto& face = t.cabs.faces[f];
        const auto& v0 = t.cabs.vertices[face[0]];
        // The caption panels: quads whose texture spans the whole width inside the red.
        double uMin = 1, uMax = 0, vMin = 1;
        for (uint32_t i : face) {
          uMin = std::min(uMin, t.cabs.vertices[i].u);
          uMax = std::max(uMax, t.cabs.vertices[i].u);
          vMin = std::min(vMin, t.cabs.vertices[i].v);
        }
        if (uMin > 0 || uMax < 1 || vMin > 0.3) continue;
        Vec3 n = normalize(transformNormal(v0.normal, world));
        Vec3 p = transformPoint(v0.position, world);
        if (dot(n, cam.towardsEye(p)) <= 0.3) continue;  // not the side facing the camera
        found = true;
        // Texture u must grow to the right on screen and v downwards.
        for (size_t k = 0; k < 4; ++k) {
          const auto& a = t.cabs.vertices[face[k]];
          const auto& b = t.cabs.vertices[face[(k + 1) % 4]];
          ScreenPoint sa = cam.project(transformPoint(a.position, world));
          ScreenPoint sb = cam.project(transformPoint(b.position, world));
          if (std::abs(b.u - a.u) > 0.5) {
            EXPECT_GT((sb.x - sa.x) * (b.u - a.u), 0) << "wagon " << wagon << " side " << side;
          }
          if (std::abs(b.v - a.v) > 0.1) {
            EXPECT_GT((sb.y - sa.y) * (b.v - a.v), 0) << "wagon " << wagon << " side " << side;
          }
        }
      }
      EXPECT_TRUE(found) << "no caption panel faces the camera on wagon " << wagon << " side " << side;
    }
  }
}

struct Key {
  uint32_t tick;
  std::array<double, 4> wxyz;
};

std::vector<std::vector<Key>> rotationKeys() {
  const std::string s = text(generated().at("TRAIN_WHEELS.X"));
  std::vector<std::vector<Key>> all;
  const std::regex block(R"(AnimationKey \{\s*0;\s*3;\s*([^}]*)\})");
  const std::regex key(R"((\d+);4;(-?\d+\.\d+),(-?\d+\.\d+),(-?\d+\.\d+),(-?\d+\.\d+);;)");
  for (auto it = std::sregex_iterator(s.begin(), s.end(), block); it != std::sregex_iterator(); ++it) {
    std::string body = (*it)[1];
    std::vector<Key> keys;
    for (auto k = std::sregex_iterator(body.begin(), body.end(), key); k != std::sregex_iterator(); ++k) {
      keys.push_back({static_cast<uint32_t>(std::stoul((*k)[1])),
                      {std::stod((*k)[2]), std::stod((*k)[3]), std::stod((*k)[4]), std::stod((*k)[5])}});
    }
    all.push_back(keys);
  }
  return all;
}

// The rotation a stored key produces when sampled: its conjugate, as (x, y, z, w).
std::array<double, 4> produced(const Key& k) { return {-k.wxyz[1], -k.wxyz[2], -k.wxyz[3], k.wxyz[0]}; }

TEST(AssetgenTrain, WheelsRollWithTheTrainInASeamlessLoop) {
  const Train t = buildTrain();
  const auto keys = rotationKeys();
  ASSERT_EQ(keys.size(), t.wheels.size());
  const double loopSeconds = 30.0 / 4800.0 * 80.0;  // 0.5 s
  for (size_t w = 0; w < keys.size(); ++w) {
    SCOPED_TRACE(t.wheels[w].frameName);
    ASSERT_EQ(keys[w].size(), 3u);
    EXPECT_EQ(keys[w][0].tick, 0u);
    EXPECT_EQ(keys[w][1].tick, 15u);
    EXPECT_EQ(keys[w][2].tick, 30u);
    Mat4 r[3];
    for (int k = 0; k < 3; ++k) r[k] = matrixFromQuaternion(produced(keys[w][k]));
    for (int k = 0; k < 2; ++k) {
      const auto& a = keys[w][k].wxyz;
      const auto& b = keys[w][k + 1].wxyz;
      double d = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
      EXPECT_GT(d, 0.3) << "segment " << k << " turns too far for linear blending";
    }
    // Axle direction (wheel x) stays along the car's radius, horizontal.
    Vec3 axle = normalize(transformNormal({1, 0, 0}, r[0]));
    Vec3 radial = normalize(Vec3{t.wheels[w].position.x, 0, t.wheels[w].position.z});
    EXPECT_GT(std::abs(dot(axle, radial)), 0.99);
    // Turn from the first key to the last: about the axle, a whole number of spokes (8).
    Mat4 rel = r[0];
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) {
        double s = 0;
        for (int k = 0; k < 3; ++k) s += r[0].at(k, i) * r[2].at(k, j);  // r0^T * r2
        rel.at(i, j) = s;
      }
    }
    double cosTurn = std::clamp((rel.at(0, 0) + rel.at(1, 1) + rel.at(2, 2) - 1) / 2, -1.0, 1.0);
    double turn = std::acos(cosTurn);
    // The loop wraps from the last key's pose back to the first: a whole number of spoke
    // spacings, which the eight-spoke picture cannot tell apart.
    double turnPerLoop = std::abs(t.wheels[w].turnPerLoop);
    double spokes = turnPerLoop / (kPi / 4);
    EXPECT_NEAR(spokes, std::round(spokes), 1e-9);
    double expected = std::fmod(turnPerLoop, 2 * kPi);
    if (expected > kPi) expected = 2 * kPi - expected;
    EXPECT_NEAR(turn, expected, 2e-3);
    // Rolling speed against the train's speed at the wheel.
    double speed = 0.2 * std::hypot(t.wheels[w].position.x, t.wheels[w].position.z);
    double rolling = turnPerLoop / loopSeconds * t.wheels[w].radius;
    EXPECT_NEAR(rolling / speed, 1.0, 0.1);
    // Forwards: the wheel's top moves in the direction of travel (decreasing polar angle).
    Vec3 top0 = transformPoint({0, t.wheels[w].radius, 0}, r[0]);
    Vec3 top1 = transformPoint({0, t.wheels[w].radius, 0}, r[1]);
    Vec3 travel{std::sin(std::atan2(t.wheels[w].position.z, t.wheels[w].position.x)), 0,
                -std::cos(std::atan2(t.wheels[w].position.z, t.wheels[w].position.x))};
    EXPECT_GT(dot(top1 - top0, travel), 0);
    // Sampled the way the animation does it (keys conjugated, blended component-wise and
    // normalised), the wheel turns steadily forwards through the whole loop.
    // (The direction is checked above; here the turning must be steady and one-way.)
    double previousAngle = 0, direction = 0;
    Vec3 start = transformPoint({0, t.wheels[w].radius, 0}, r[0]);
    Vec3 axleDir = normalize(transformNormal({1, 0, 0}, r[0]));
    for (int tick = 1; tick <= 30; ++tick) {
      int seg = tick <= 15 ? 0 : 1;
      double u = (tick - 15.0 * seg) / 15.0;
      auto a = produced(keys[w][seg]), b = produced(keys[w][seg + 1]);
      std::array<double, 4> q;
      double norm = 0;
      for (int c = 0; c < 4; ++c) {
        q[c] = a[c] + u * (b[c] - a[c]);
        norm += q[c] * q[c];
      }
      for (double& c : q) c /= std::sqrt(norm);
      Vec3 top = transformPoint({0, t.wheels[w].radius, 0}, matrixFromQuaternion(q));
      double angle = std::atan2(dot(cross(start, top), axleDir), dot(start, top));
      // Unwrap to the value nearest the previous one.
      while (angle - previousAngle > kPi) angle -= 2 * kPi;
      while (angle - previousAngle < -kPi) angle += 2 * kPi;
      double step = angle - previousAngle;
      if (tick == 1) direction = step > 0 ? 1 : -1;
      EXPECT_GT(step * direction, 0.0) << "tick " << tick;
      EXPECT_LT(step * direction, 2.0 * turnPerLoop / 30.0) << "tick " << tick << ": uneven turning";
      previousAngle = angle;
    }
    EXPECT_NEAR(std::abs(previousAngle), turnPerLoop, 1e-3);
    // The wheel sits on the rails, and its two treads (2.2 units wide) run on the painted
    // rails' surfaces, the inner one on the inner rail.
    EXPECT_NEAR(t.wheels[w].position.y - t.wheels[w].radius, kRailY, 1e-9);
    const Vec3 wheelAxle = transformNormal({1, 0, 0}, t.wheels[w].orientation);
    double treads[2];
    for (int side = 0; side < 2; ++side) {
      const Vec3 tread = t.wheels[w].position + wheelAxle * ((side ? 1 : -1) * kGaugeHalf);
      treads[side] = std::hypot(tread.x, tread.z);
    }
    std::sort(treads, treads + 2);
    EXPECT_LT(std::abs(treads[0] - (kTrackRadius - kGaugeHalf)), kRailHalfWidth + 1.1);
    EXPECT_LT(std::abs(treads[1] - (kTrackRadius + kGaugeHalf)), kRailHalfWidth + 1.1);
  }
}

}  // namespace
}  // namespace assetgen_test
