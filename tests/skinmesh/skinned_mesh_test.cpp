// The program's meshes loaded through SkinnedMesh on a NULLREF device: textures per
// material, the dynamic wagon textures the caption draws on, lookups and failures.
#include <gtest/gtest.h>

#include "d3d9_test_device.h"
#include "fatal_error_recorder.h"
#include "skinned_mesh.h"

namespace {

class SkinnedMeshTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(d3d9test::createNullRefDevice(64, 64, d3d, device), D3D_OK); }
  void TearDown() override {
    device->Release();
    d3d->Release();
  }
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;
};

TEST_F(SkinnedMeshTest, TrainCabsCarryDynamicWagonTexturesForTheCaption) {
  SkinnedMesh cabs(device);
  // Lower case finds the resource stored as TRAIN_CABS.X.
  ASSERT_EQ(cabs.load("train_cabs.x", true), S_OK);
  EXPECT_EQ(cabs.textureAt(0), nullptr);  // the untextured material
  for (UINT i = 1; i <= 6; ++i) {
    IDirect3DTexture9* texture = cabs.textureAt(i);
    ASSERT_NE(texture, nullptr) << i;
    D3DSURFACE_DESC description{};
    ASSERT_EQ(texture->GetLevelDesc(0, &description), D3D_OK);
    EXPECT_EQ(description.Format, D3DFMT_R5G6B5) << i;
    EXPECT_EQ(description.Usage, DWORD{D3DUSAGE_DYNAMIC}) << i;
    EXPECT_EQ(description.Pool, D3DPOOL_DEFAULT) << i;
    EXPECT_EQ(description.Width, 256u) << i;
  }
  EXPECT_EQ(cabs.textureAt(7), nullptr);  // one past the last material
  EXPECT_EQ(cabs.render(nullptr, 0.01, nullptr), S_OK);
  cabs.release();
  EXPECT_EQ(cabs.textureAt(1), nullptr);
  cabs.release();
}

TEST_F(SkinnedMeshTest, TexturesThatNoResourceHoldsLeaveTheirMaterialsPlain) {
  SkinnedMesh planes(device);
  ASSERT_EQ(planes.load("planes.x", false), S_OK);
  // Materials: untextured, three that name .ppm pictures the program does not hold, the
  // background and the overlay.
  for (UINT i = 0; i <= 3; ++i) EXPECT_EQ(planes.textureAt(i), nullptr) << i;
  for (UINT i = 4; i <= 5; ++i) {
    ASSERT_NE(planes.textureAt(i), nullptr) << i;
    D3DSURFACE_DESC description{};
    planes.textureAt(i)->GetLevelDesc(0, &description);
    EXPECT_EQ(description.Pool, D3DPOOL_MANAGED) << i;
  }
  EXPECT_EQ(planes.textureAt(6), nullptr);
}

TEST_F(SkinnedMeshTest, AMissingResourceEndsTheProgramWithItsName) {
  SkinnedMesh mesh(device);
  EXPECT_EQ(fatalErrorMessage([&] { mesh.load("credz.y", false); }),
            "Failed to load skin mesh from resource!/n credz.y");
  EXPECT_EQ(mesh.textureAt(0), nullptr);
  mesh.release();  // never loaded: nothing to do
}

TEST_F(SkinnedMeshTest, WheelsAnimateAndEveryButtonLoads) {
  SkinnedMesh wheels(device);
  ASSERT_EQ(wheels.load("TRAIN_WHEELS.X", true), S_OK);
  for (int frame = 0; frame < 10; ++frame) EXPECT_EQ(wheels.render(device, 0.2, nullptr), S_OK);
  for (const char* name : {"but_prev.x", "but_play.x", "but_stop.x", "but_next.x", "but_info.x", "but_top.x",
                           "but_min.x", "but_quit.x", "credz.x"}) {
    SkinnedMesh mesh(device);
    EXPECT_EQ(mesh.load(name, false), S_OK) << name;
    // An untextured frame material, then the picture.
    EXPECT_EQ(mesh.textureAt(0), nullptr) << name;
    EXPECT_NE(mesh.textureAt(1), nullptr) << name;
  }
}

}  // namespace
