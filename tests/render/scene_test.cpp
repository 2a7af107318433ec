// The scene on a NULLREF device with the program's resources and a frozen clock: the credits
// fade, the button lights, the smoke's emission, pool and clock arithmetic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "d3d9_test_device.h"
#include "device.h"
#include "fatal_error_recorder.h"
#include "scene.h"
#include "shell.h"
#include "shell_stand_in.h"
#include "smoke.h"
#include "win32_layer.h"

namespace {

class SceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(d3d9test::createNullRefDevice(512, 512, direct3D, device), D3D_OK);
    win32ClockFreeze(true);
    win32ClockSet(start);
    ASSERT_EQ(fatalErrorMessage(createScene), "");
  }
  void TearDown() override {
    releaseScene();
    releaseScene();
    releaseDevice();
    win32ClockFreeze(false);
    stayOnTopIndicator = false;
    testPlaybackPaused = false;
  }

  // Renders one frame at `ms` after the scene's start.
  void frameAt(DWORD ms, int clicked = 8) {
    win32ClockSet(start + ms);
    renderFrame(clicked);
  }
  // Frames every 20 ms from `from` to `to` (inclusive) after the start.
  void framesBetween(DWORD from, DWORD to) {
    for (DWORD ms = from; ms <= to; ms += 20) frameAt(ms);
  }

  static int aliveCount() {
    return static_cast<int>(std::count_if(std::begin(smokeParticles), std::end(smokeParticles),
                                          [](const SmokeParticle& p) { return p.alive; }));
  }

  DWORD start = 100000;
};

// Runs first: the n-th puff of a run always shows the same texture, the C library's
// sequence from seed 1 (41, 18467, 6334, 26500, 19169, 15724, 11478, 29358 modulo 5).
TEST_F(SceneTest, PuffTexturesFollowTheClassicGeneratorFromSeedOne) {
  framesBetween(0, 3000);
  std::vector<int> textures;
  for (const SmokeParticle& particle : smokeParticles)
    if (particle.alive) textures.push_back(particle.textureIndex);
  ASSERT_GE(textures.size(), 8u);
  EXPECT_EQ(std::vector<int>(textures.begin(), textures.begin() + 8), (std::vector<int>{1, 2, 4, 0, 4, 4, 3, 3}));
}

TEST_F(SceneTest, CreditsFadeInAndTurnBackFromWhereTheyAre) {
  frameAt(0);
  EXPECT_EQ(creditsAlpha, 0) << "transparent at start";
  frameAt(1000);
  toggleCredits();
  frameAt(1000);
  EXPECT_EQ(creditsAlpha, 0);
  frameAt(1300);
  EXPECT_EQ(creditsAlpha, 76);  // 255 x 0.3
  frameAt(2000);
  EXPECT_EQ(creditsAlpha, 255);
  frameAt(2300);
  EXPECT_EQ(creditsAlpha, 255);

  // Hidden again: a full second down from 255; turned back midway, up from where it is.
  toggleCredits();
  frameAt(2600);
  EXPECT_EQ(creditsAlpha, 178);  // 255 - 255 x 0.3, truncated
  toggleCredits();
  frameAt(3100);
  EXPECT_EQ(creditsAlpha, 216);  // 178 + 77 x 0.5
  frameAt(3600);
  EXPECT_EQ(creditsAlpha, 255);
}

TEST_F(SceneTest, ACreditsFadeReversedAt300MsTakesAFullSecondBack) {
  frameAt(0);
  toggleCredits();
  frameAt(300);
  EXPECT_EQ(creditsAlpha, 76);
  toggleCredits();
  frameAt(300);
  EXPECT_EQ(creditsAlpha, 76);
  frameAt(800);
  EXPECT_EQ(creditsAlpha, 38);
  frameAt(1299);
  EXPECT_EQ(creditsAlpha, 0);  // 76 x 0.001, truncated
  frameAt(5000);
  EXPECT_EQ(creditsAlpha, 0);
}

TEST_F(SceneTest, ButtonsFlashOrFollowTheirModes) {
  frameAt(500, 0);
  EXPECT_EQ(litUntil[0], 750u);
  frameAt(600, 2);
  frameAt(700, 3);
  EXPECT_EQ(litUntil[2], 850u);
  EXPECT_EQ(litUntil[3], 950u);
  frameAt(800, 8);  // no button: nothing new
  EXPECT_EQ(litUntil[0], 750u);

  // The credits and stay-on-top buttons are lit while their modes are on; their actions
  // have run before the frame sees the click.
  toggleCredits();
  frameAt(900, 4);
  EXPECT_EQ(litUntil[4], 0xFFFFFFFFu);
  toggleCredits();
  frameAt(1900, 4);
  EXPECT_EQ(litUntil[4], 0u);
  stayOnTopIndicator = true;
  frameAt(2000, 5);
  EXPECT_EQ(litUntil[5], 0xFFFFFFFFu);
  stayOnTopIndicator = false;
  frameAt(2100, 5);
  EXPECT_EQ(litUntil[5], 0u);
}

TEST_F(SceneTest, NewestPuffLeavesTheChimneyWhereTheTrainIsDrawn) {
  framesBetween(0, 3000);
  // The newest puff has the latest expiry.
  const SmokeParticle* newest = nullptr;
  for (const SmokeParticle& particle : smokeParticles)
    if (particle.alive && (!newest || particle.expiryTime > newest->expiryTime)) newest = &particle;
  ASSERT_NE(newest, nullptr);
  const DWORD born = newest->expiryTime - 5000;
  D3DXMATRIX trainWorld;
  D3DXMatrixRotationY(&trainWorld, static_cast<float>(std::fmod(born * 0.0002, 2 * std::numbers::pi)));
  const D3DXVECTOR3 chimney(-221.974f, -89.651f, -137.885f);
  D3DXVECTOR3 expected;
  D3DXVec3TransformCoord(&expected, &chimney, &trainWorld);
  EXPECT_FLOAT_EQ(newest->origin.x, expected.x);
  EXPECT_FLOAT_EQ(newest->origin.y, expected.y);
  EXPECT_FLOAT_EQ(newest->origin.z, expected.z);
  EXPECT_FLOAT_EQ(newest->position.x, expected.x);

  // On screen the puff sits on the chimney's ellipse across the picture.
  D3DXMATRIX viewProjection;
  D3DXMatrixMultiply(&viewProjection, &viewMatrix, &projectionMatrix);
  D3DXVECTOR3 clip;
  D3DXVec3TransformCoord(&clip, &newest->origin, &viewProjection);
  const float x = (clip.x + 1) / 2 * 512, y = (1 - clip.y) / 2 * 512;
  EXPECT_GE(x, 109.0f);
  EXPECT_LE(x, 420.0f);
  EXPECT_GE(y, 250.0f);
  EXPECT_LE(y, 280.0f);
}

TEST_F(SceneTest, SmokeKeepsAboutFifteenPuffsAndBurstsAfterAHold) {
  framesBetween(0, 10000);
  EXPECT_GE(aliveCount(), 14);
  EXPECT_LE(aliveCount(), 15);
  const auto youngest = [] {
    int young = 0;
    for (const SmokeParticle& particle : smokeParticles)
      if (particle.alive && particle.alpha == 255) ++young;
    return young;
  };
  // Ten seconds held up (a window drag): thirty puffs at once at the chimney's present
  // place, while the old ones have expired.
  frameAt(20000);
  EXPECT_EQ(youngest(), 30);
  EXPECT_EQ(aliveCount(), 30);
  EXPECT_LE(smokeCredit, 1.0f);
}

TEST_F(SceneTest, AFullPoolKeepsTheRestOfTheCreditForLater) {
  frameAt(0);
  frameAt(200000);  // 600 puffs due, 400 records
  EXPECT_EQ(aliveCount(), kSmokePoolSize);
  EXPECT_GT(smokeCredit, 199.0f);
  EXPECT_LT(smokeCredit, 201.0f);
  frameAt(205000);  // the burst expires: the rest (and 15 new) come out
  EXPECT_EQ(aliveCount(), 215);
  EXPECT_LE(smokeCredit, 1.0f);
}

TEST_F(SceneTest, PuffsLiveOnAcrossTheClockWrap) {
  releaseScene();
  start = 0xFFFFFFFFu - 9999;  // ten seconds before the 32-bit clock wraps
  win32ClockSet(start);
  ASSERT_EQ(fatalErrorMessage(createScene), "");
  framesBetween(0, 9980);
  const int beforeWrap = aliveCount();
  EXPECT_GE(beforeWrap, 14);
  frameAt(10000);  // the clock now reads 0
  EXPECT_GE(aliveCount(), beforeWrap) << "puffs born before the wrap outlive it";
  framesBetween(10020, 20000);
  EXPECT_GE(aliveCount(), 14);
  EXPECT_LE(aliveCount(), 15);
  // The credits and the lights measure from the scene's start through the wrap.
  toggleCredits();
  frameAt(20500, 0);
  EXPECT_EQ(creditsAlpha, 127);
  EXPECT_EQ(litUntil[0], 20750u);
}

}  // namespace
