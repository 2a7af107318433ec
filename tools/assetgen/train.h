// The train: locomotive and five wagons as one mesh, and the 24 wheel sets with their
// rolling animation.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "mesh.h"
#include "xfile_writer.h"
#include "train_layout.h"

namespace assetgen {

// Texture rectangles of the wagon pictures (256 x 256) that the wagon geometry uses, in pixels.
struct AtlasRect {
  int x, y, w, h;
  UvRect uv(int size = 256) const {
    return {static_cast<double>(x) / size, static_cast<double>(y) / size, static_cast<double>(x + w) / size,
            static_cast<double>(y + h) / size};
  }
};

namespace wagon_atlas {
// The body sides: the caption's red (rows 51..127) over a trim band (rows 128..159).
inline constexpr AtlasRect kSide{0, 51, 256, 109};
inline constexpr AtlasRect kEnd{0, 160, 64, 64};
inline constexpr AtlasRect kRoof{64, 160, 128, 32};
inline constexpr AtlasRect kUnderframe{64, 192, 128, 16};
inline constexpr AtlasRect kDark{64, 208, 128, 16};
inline constexpr AtlasRect kCargo{192, 160, 64, 64};  // per wagon: windows, gifts, tree...
inline constexpr AtlasRect kCargo2{192, 224, 64, 32};
inline constexpr AtlasRect kMetal{0, 224, 64, 32};    // buffers, lamps, stove pipe
inline constexpr AtlasRect kStrip{64, 224, 128, 32};  // per wagon: second detail strip
}  // namespace wagon_atlas

namespace loco_atlas {
inline constexpr AtlasRect kBoiler{0, 0, 256, 64};  // around x along
inline constexpr AtlasRect kSmokebox{0, 64, 128, 32};
inline constexpr AtlasRect kSmokeboxDoor{128, 64, 64, 64};
inline constexpr AtlasRect kCabSide{0, 96, 128, 64};
inline constexpr AtlasRect kCabFront{192, 64, 64, 64};
inline constexpr AtlasRect kRed{128, 128, 64, 32};
inline constexpr AtlasRect kBlack{0, 160, 64, 32};
inline constexpr AtlasRect kBrass{64, 160, 64, 32};
inline constexpr AtlasRect kCoal{128, 160, 64, 64};
inline constexpr AtlasRect kLamp{192, 128, 64, 64};
inline constexpr AtlasRect kRoof{0, 192, 128, 32};
inline constexpr AtlasRect kCylinder{0, 224, 128, 32};
inline constexpr AtlasRect kCabBack{192, 192, 64, 64};
}  // namespace loco_atlas

namespace wheel_atlas {
// The wheel picture: a spoked disc within the inscribed circle, the tyre's tread colour in the
// corners (used for the tread).
inline constexpr AtlasRect kDisc{0, 0, 64, 64};
inline constexpr AtlasRect kTread{0, 0, 4, 4};
}  // namespace wheel_atlas

// Materials of the cab mesh, in their fixed order.
enum CabMaterial : uint32_t {
  kMatSnow = 0,  // untextured: lit white, used for snow
  kMatWagon5 = 1,
  kMatWagon4 = 2,
  kMatWagon3 = 3,
  kMatWagon2 = 4,
  kMatWagon1 = 5,
  kMatLoco = 6,
};

// Wagon n (1 = right behind the locomotive) carries caption piece n, in material 6 - n... i.e.
// piece 1 on material 1 ("WAGON_5.BMP"). The picture named WAGON_k.BMP belongs to wagon 6 - k.
inline constexpr uint32_t wagonMaterial(int wagon) { return static_cast<uint32_t>(wagon); }

// Where each car sits: centre angle, centre radius, half lengths front and rear.
struct CarPlacement {
  double angle;  // polar angle of the car's centre, radians
  double radius;
  Mat4 toTrain;  // car coordinates (x forward, y up, z outward) to train coordinates
};

struct WheelSet {
  std::string frameName;
  bool driver;       // the locomotive's large driving wheels
  Vec3 position;     // axle centre in train coordinates
  Mat4 orientation;  // wheel coordinates (axle along x) to train coordinates, rotation only
  double radius;
  double turnPerLoop;  // radians the wheel turns during one animation loop
};

struct Train {
  Mesh cabs;
  std::array<CarPlacement, 6> cars;  // 0 = locomotive
  std::vector<WheelSet> wheels;      // 24, in frame order
  Mesh smallWheel;                   // wheel coordinates
  Mesh driverWheel;
  Vec3 chimneyTop;  // train coordinates
};

Train buildTrain();

// Loop length of the wheel animation in ticks and its real duration.
inline constexpr uint32_t kWheelLoopTicks = 30;
inline constexpr double kWheelTicksPerSecond = 4800.0;
inline constexpr double kAnimationPerRealSecond = 1.0 / 80.0;

// The rotation a wheel has at a given tick (0..30) of its loop, as a matrix (wheel to train).
Mat4 wheelRotationAt(const WheelSet& wheel, double tick);

// Quaternion (x, y, z, w) whose rotation matrix, in the row-vector convention, is m's 3x3 part.
std::array<double, 4> quaternionFromMatrix(const Mat4& m);
Mat4 matrixFromQuaternion(const std::array<double, 4>& q);

// The wheels' file: 24 frames and the animation set; and the cabs' file.
std::vector<uint8_t> wheelsFile(const Train& train, XFormat format);
std::vector<uint8_t> cabsFile(const Train& train, XFormat format);

}  // namespace assetgen
