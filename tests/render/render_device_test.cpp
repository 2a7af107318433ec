// Device set-up of the renderer on NULLREF devices: the base state, the single failure
// check after all 28 calls, and releasing. fatalError is replaced by a recorder that
// unwinds back into the test.
#include <gtest/gtest.h>

#include <bit>
#include <string>

#include "d3d9_test_device.h"
#include "device.h"
#include "fatal_error_recorder.h"

namespace {

class RenderDevice : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(d3d9test::createNullRefDevice(512, 512, direct3D, device), D3D_OK); }
  void TearDown() override { releaseDevice(); }

  DWORD renderState(D3DRENDERSTATETYPE state) {
    DWORD value = 0xDEADBEEF;
    EXPECT_EQ(device->GetRenderState(state, &value), D3D_OK);
    return value;
  }
};

TEST_F(RenderDevice, BaseStateSetsTheFrameStartingPoint) {
  EXPECT_EQ(fatalErrorMessage([] { applyBaseState(); }), "");
  DWORD value = 0;
  device->GetTextureStageState(0, D3DTSS_ALPHAARG2, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTA_TFACTOR));
  EXPECT_EQ(renderState(D3DRS_ALPHAREF), 127u);
  EXPECT_EQ(renderState(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
  EXPECT_EQ(std::bit_cast<float>(renderState(D3DRS_POINTSIZE)), 20.0f);
  EXPECT_EQ(std::bit_cast<float>(renderState(D3DRS_POINTSCALE_C)), 1.0f);
  EXPECT_EQ(renderState(D3DRS_LIGHTING), static_cast<DWORD>(FALSE));
  EXPECT_EQ(renderState(D3DRS_AMBIENT), 0xFF7286A8u);
  device->GetSamplerState(0, D3DSAMP_MIPFILTER, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTEXF_NONE));
  D3DLIGHT9 light{};
  ASSERT_EQ(device->GetLight(0, &light), D3D_OK);
  EXPECT_EQ(light.Type, D3DLIGHT_POINT);
  EXPECT_EQ(light.Range, 4000.0f);
  EXPECT_EQ(light.Diffuse.g, 0.87f);
  BOOL enabled = FALSE;
  device->GetLightEnable(0, &enabled);
  EXPECT_TRUE(enabled);

  // The camera looks from its eye at its target: the target lands on the view axis.
  D3DMATRIX view{}, world{}, projection{};
  device->GetTransform(D3DTS_VIEW, &view);
  device->GetTransform(D3DTS_WORLD, &world);
  device->GetTransform(D3DTS_PROJECTION, &projection);
  const float tx = -12.479f, ty = -86.872f, tz = 0.0f;
  EXPECT_NEAR(tx * view._11 + ty * view._21 + tz * view._31 + view._41, 0.0f, 1e-3f);
  EXPECT_NEAR(tx * view._12 + ty * view._22 + tz * view._32 + view._42, 0.0f, 1e-3f);
  EXPECT_GT(tx * view._13 + ty * view._23 + tz * view._33 + view._43, 0.0f);
  EXPECT_EQ(world._11, 1.0f);
  EXPECT_EQ(world._41, 0.0f);
  // A point on the near plane projects to depth 0, one on the far plane to depth 1.
  EXPECT_NEAR((1.0f * projection._33 + projection._43) / 1.0f, 0.0f, 1e-5f);
  EXPECT_NEAR((20000.0f * projection._33 + projection._43) / 20000.0f, 1.0f, 1e-4f);
}

TEST_F(RenderDevice, OneFailingCallStillLetsTheOthersRunThenEndsTheProgram) {
  // Four other lights already on: enabling light 0 is refused (call 27 of 28).
  for (DWORD i = 1; i <= 4; ++i) ASSERT_EQ(device->LightEnable(i, TRUE), D3D_OK);
  device->SetRenderState(D3DRS_LIGHTING, TRUE);
  EXPECT_EQ(fatalErrorMessage([] { applyBaseState(); }), "Unable to setup base render state.\n");
  EXPECT_EQ(renderState(D3DRS_AMBIENT), 0xFF7286A8u);                 // call 28
  EXPECT_EQ(renderState(D3DRS_LIGHTING), static_cast<DWORD>(FALSE));  // call 25
  D3DLIGHT9 light{};
  EXPECT_EQ(device->GetLight(0, &light), D3D_OK);  // call 26
  DWORD value = 0;
  device->GetTextureStageState(0, D3DTSS_COLOROP, &value);  // call 1
  EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_MODULATE));
}

TEST_F(RenderDevice, ReleaseDeviceEmptiesBothAndIsSafeTwice) {
  releaseDevice();
  EXPECT_EQ(device, nullptr);
  EXPECT_EQ(direct3D, nullptr);
  releaseDevice();
  EXPECT_EQ(device, nullptr);
}

TEST(CreateDevice, WithoutADisplayTheDisplayModeIsMissing) {
  // Run with no display: the display mode is the first thing that cannot be had.
  EXPECT_EQ(fatalErrorMessage([] { createDevice(nullptr); }), "Error getting display mode\n");
  releaseDevice();
  EXPECT_EQ(direct3D, nullptr);
}

}  // namespace
