#include <cmath>
#include <cstring>

#include "animation_test_support.h"

using namespace animtest;

namespace {

bool sameBits(const void* a, const void* b, size_t size) { return std::memcmp(a, b, size) == 0; }

// Two movers "a" and "b" over a 1 s loop at 10 ticks per second.
SetPtr moverSet(const char* name, float scale = 1.0f) {
  SetPtr set = makeSet(D3DXPLAY_LOOP, 10, 4, name);
  addMover(set.get(), "a", {{0, 0}, {10, 10 * scale}});
  addMover(set.get(), "b", {{0, 100}, {10, 100 + 10 * scale}});
  return set;
}

}  // namespace

TEST(AnimationController, CreateRejectsBadArguments) {
  ControllerPtr c;
  EXPECT_EQ(D3DXCreateAnimationController(1, 1, 1, 1, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateAnimationController(0, 1, 1, 1, c.receive()), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateAnimationController(1, 0, 1, 1, c.receive()), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateAnimationController(1, 1, 0, 1, c.receive()), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateAnimationController(1, 1, 1, 0, c.receive()), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateAnimationController(1, 1, 1, 65536, c.receive()), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateAnimationController(0xffffffffu, 0xffffffffu, 1, 1, c.receive()), E_OUTOFMEMORY);
  EXPECT_FALSE(c);
  ASSERT_EQ(D3DXCreateAnimationController(24, 1, 2, 65535, c.receive()), S_OK);
  EXPECT_EQ(c->GetMaxNumAnimationOutputs(), 24u);
  EXPECT_EQ(c->GetMaxNumAnimationSets(), 1u);
  EXPECT_EQ(c->GetMaxNumTracks(), 2u);
  EXPECT_EQ(c->GetMaxNumEvents(), 65535u);
  EXPECT_EQ(c->GetTime(), 0.0);
}

TEST(AnimationController, HoldsOneReferencePerRegisteredSet) {
  SetPtr set = moverSet("s");
  {
    ControllerPtr c = makeController(4, 1);
    ASSERT_EQ(c->RegisterAnimationSet(set.get()), S_OK);
    EXPECT_EQ(c->RegisterAnimationSet(set.get()), D3DERR_INVALIDCALL);  // full (and already there)
    set->AddRef();
    EXPECT_EQ(set->Release(), 2u);
    LPD3DXANIMATIONSET got = nullptr;
    ASSERT_EQ(c->GetAnimationSetByName("s", &got), S_OK);
    EXPECT_EQ(got, set.get());
    got->Release();
    EXPECT_EQ(c->GetAnimationSetByName("t", &got), D3DERR_NOTFOUND);
    EXPECT_EQ(c->GetAnimationSet(1, &got), D3DERR_INVALIDCALL);
    EXPECT_EQ(c->UnregisterAnimationSet(moverSet("other").get()), D3DERR_NOTFOUND);
  }
  set->AddRef();
  EXPECT_EQ(set->Release(), 1u);  // the controller's reference went with it
}

// The program's case: one low-priority track at full weight gives exactly the sampled pose.
TEST(AnimationController, SingleTrackWritesTheSampledPoseExactly) {
  SetPtr set = makeSet();
  const float s = std::sin(0.5f), c = std::cos(0.5f);
  addAnimation(set.get(), "wheel", {{0, D3DXVECTOR3(2, 3, 4)}},
               {{0, {0, 0, 0, 1}}, {15, {-s, 0, 0, c}}, {30, {0, 0, 0, 1}}}, {{0, D3DXVECTOR3(5, 6, 7)}});
  ControllerPtr ctl = makeController();
  D3DXMATRIX m = garbageMatrix();
  D3DXVECTOR3 outS, outT;
  D3DXQUATERNION outR;
  ASSERT_EQ(ctl->RegisterAnimationOutput("wheel", &m, &outS, &outR, &outT), S_OK);
  ASSERT_EQ(ctl->RegisterAnimationSet(set.get()), S_OK);
  play(ctl.get(), 0, set.get());
  ASSERT_EQ(ctl->AdvanceTime(0.0078125, nullptr), S_OK);  // tick 7.5 after one wrap

  D3DXVECTOR3 es, et;
  D3DXQUATERNION er;
  ASSERT_EQ(set->GetSRT(set->GetPeriodicPosition(0.0078125), 0, &es, &er, &et), S_OK);
  EXPECT_TRUE(sameBits(&outS, &es, sizeof es));
  EXPECT_TRUE(sameBits(&outR, &er, sizeof er));
  EXPECT_TRUE(sameBits(&outT, &et, sizeof et));
  D3DXMATRIX rotation;
  D3DXMatrixRotationQuaternion(&rotation, &er);
  const float rowScale[3] = {2, 3, 4};
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) EXPECT_FLOAT_EQ(m.m[row][col], rowScale[row] * rotation.m[row][col]);
    EXPECT_EQ(m.m[row][3], 0.0f);
  }
  EXPECT_TRUE(m._41 == 5 && m._42 == 6 && m._43 == 7 && m._44 == 1);
}

TEST(AnimationController, StepsZeroNegativeAndSilentTracks) {
  SetPtr set = moverSet("s");
  ControllerPtr c = makeController();
  D3DXVECTOR3 a{-1, -1, -1}, b{-1, -1, -1};
  D3DXMATRIX m = garbageMatrix();
  ASSERT_EQ(c->RegisterAnimationOutput("a", &m, nullptr, nullptr, &a), S_OK);
  ASSERT_EQ(c->RegisterAnimationOutput("unanimated", nullptr, nullptr, nullptr, &b), S_OK);
  ASSERT_EQ(c->RegisterAnimationSet(set.get()), S_OK);
  play(c.get(), 0, set.get());
  ASSERT_EQ(c->SetTrackPosition(0, 0.25), S_OK);

  EXPECT_EQ(c->AdvanceTime(-0.1, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(c->AdvanceTime(INFINITY, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(a.x, -1.0f);
  EXPECT_EQ(m._11, 42.0f);
  EXPECT_EQ(c->GetTime(), 0.0);

  ASSERT_EQ(c->AdvanceTime(0.0, nullptr), S_OK);  // writes without moving time
  EXPECT_EQ(c->GetTime(), 0.0);
  EXPECT_FLOAT_EQ(a.x, 2.5f);
  EXPECT_EQ(m._41, a.x);
  EXPECT_EQ(b.x, -1.0f);  // no set animates it

  a.x = -1;
  ASSERT_EQ(c->SetTrackWeight(0, 0.0f), S_OK);
  ASSERT_EQ(c->AdvanceTime(0.5, nullptr), S_OK);
  EXPECT_EQ(a.x, -1.0f);
  ASSERT_EQ(c->SetTrackWeight(0, 1.0f), S_OK);
  ASSERT_EQ(c->SetTrackEnable(0, FALSE), S_OK);
  ASSERT_EQ(c->AdvanceTime(0.5, nullptr), S_OK);
  EXPECT_EQ(a.x, -1.0f);
  D3DXTRACK_DESC desc;
  ASSERT_EQ(c->GetTrackDesc(0, &desc), S_OK);
  EXPECT_DOUBLE_EQ(desc.Position, 0.75);  // moved while enabled only
  EXPECT_DOUBLE_EQ(c->GetTime(), 1.0);
}

TEST(AnimationController, TimeFoldsIntoTheBaseAndResets) {
  SetPtr set = moverSet("s");
  ControllerPtr c = makeController();
  ASSERT_EQ(c->RegisterAnimationSet(set.get()), S_OK);
  play(c.get(), 0, set.get());
  for (int i = 0; i < 250; ++i) ASSERT_EQ(c->AdvanceTime(0.5, nullptr), S_OK);
  EXPECT_DOUBLE_EQ(c->GetTime(), 125.0);
  ASSERT_EQ(c->AdvanceTime(0.25, nullptr), S_OK);
  ASSERT_EQ(c->ResetTime(), S_OK);
  EXPECT_EQ(c->GetTime(), 0.0);
  D3DXTRACK_DESC desc;
  ASSERT_EQ(c->GetTrackDesc(0, &desc), S_OK);
  EXPECT_DOUBLE_EQ(desc.Position, 0.25);  // the set's periodic position
}

TEST(AnimationController, PriorityBlend) {
  SetPtr low = moverSet("low"), high = moverSet("high", 3.0f);
  ControllerPtr c = makeController();
  D3DXVECTOR3 a;
  D3DXQUATERNION r;
  ASSERT_EQ(c->RegisterAnimationOutput("a", nullptr, nullptr, &r, &a), S_OK);
  ASSERT_EQ(c->RegisterAnimationSet(low.get()), S_OK);
  ASSERT_EQ(c->RegisterAnimationSet(high.get()), S_OK);
  play(c.get(), 0, low.get(), D3DXPRIORITY_LOW);
  play(c.get(), 1, high.get(), D3DXPRIORITY_HIGH);
  // At 0.5 s the low set is at x = 5, the high set at x = 15.
  const float expected[] = {5.0f, 10.0f, 15.0f};
  const float blends[] = {0.0f, 0.5f, 1.0f};
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(c->SetPriorityBlend(blends[i]), S_OK);
    ASSERT_EQ(c->SetTrackPosition(0, 0.5), S_OK);
    ASSERT_EQ(c->SetTrackPosition(1, 0.5), S_OK);
    ASSERT_EQ(c->AdvanceTime(0.0, nullptr), S_OK);
    EXPECT_FLOAT_EQ(a.x, expected[i]) << "blend " << blends[i];
    EXPECT_EQ(r.w, 1.0f);
  }
  EXPECT_EQ(c->SetPriorityBlend(1.5f), D3DERR_INVALIDCALL);
  EXPECT_EQ(c->GetPriorityBlend(), 1.0f);

  // Two low-priority tracks average by weight.
  ASSERT_EQ(c->SetTrackPriority(1, D3DXPRIORITY_LOW), S_OK);
  ASSERT_EQ(c->SetTrackWeight(1, 3.0f), S_OK);
  ASSERT_EQ(c->AdvanceTime(0.0, nullptr), S_OK);
  EXPECT_FLOAT_EQ(a.x, (5.0f + 3 * 15.0f) / 4);
  EXPECT_EQ(c->SetTrackPriority(1, D3DXPRIORITY_TYPE(2)), D3DERR_INVALIDCALL);
}

TEST(AnimationController, BlendedRotationsStayInOneHemisphere) {
  SetPtr low = makeSet(), high = makeSet();
  const float s = std::sin(0.3f), c0 = std::cos(0.3f);
  addAnimation(low.get(), "a", {}, {{0, {0, -s, 0, c0}}}, {});    // +0.6 rad about y
  addAnimation(high.get(), "a", {}, {{0, {0, -s, 0, -c0}}}, {});  // -0.6 rad, as (0, s, 0, -cos)
  ControllerPtr c = makeController();
  D3DXQUATERNION r;
  ASSERT_EQ(c->RegisterAnimationOutput("a", nullptr, nullptr, &r, nullptr), S_OK);
  ASSERT_EQ(c->RegisterAnimationSet(low.get()), S_OK);
  ASSERT_EQ(c->RegisterAnimationSet(high.get()), S_OK);
  play(c.get(), 0, low.get(), D3DXPRIORITY_LOW);
  play(c.get(), 1, high.get(), D3DXPRIORITY_HIGH);
  ASSERT_EQ(c->SetPriorityBlend(0.5f), S_OK);
  ASSERT_EQ(c->AdvanceTime(0.0, nullptr), S_OK);
  // Halfway between +0.6 and -0.6 rad (the short way round) is no rotation at all.
  EXPECT_NEAR(r.y, 0.0f, 1e-6f);
  EXPECT_NEAR(std::fabs(r.w), 1.0f, 1e-6f);
  // The same within one priority.
  ASSERT_EQ(c->SetTrackPriority(1, D3DXPRIORITY_LOW), S_OK);
  ASSERT_EQ(c->AdvanceTime(0.0, nullptr), S_OK);
  EXPECT_NEAR(r.y, 0.0f, 1e-6f);
  EXPECT_NEAR(std::fabs(r.w), 1.0f, 1e-6f);
}

TEST(AnimationController, OutputsAreMappedAndRemapped) {
  SetPtr set = moverSet("s");
  ControllerPtr c = makeController(2, 2, 1, 1);
  D3DXVECTOR3 a{}, b{}, x{};
  D3DXMATRIX unused;
  ASSERT_EQ(c->RegisterAnimationOutput("a", nullptr, nullptr, nullptr, &a), S_OK);
  ASSERT_EQ(c->RegisterAnimationSet(set.get()), S_OK);  // maps the output registered before it
  ASSERT_EQ(c->RegisterAnimationOutput("x", nullptr, nullptr, nullptr, &x), S_OK);
  EXPECT_EQ(c->RegisterAnimationOutput("b", &unused, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);  // full
  EXPECT_EQ(c->RegisterAnimationOutput(nullptr, &unused, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(c->RegisterAnimationOutput("c", nullptr, nullptr, nullptr, nullptr), S_OK);  // nothing to register

  // Unregistering "a" frees its slot for "b", which its own animation drives.
  ASSERT_EQ(c->RegisterAnimationOutput("a", nullptr, nullptr, nullptr, nullptr), S_OK);
  ASSERT_EQ(c->RegisterAnimationOutput("b", nullptr, nullptr, nullptr, &b), S_OK);
  play(c.get(), 0, set.get());
  ASSERT_EQ(c->AdvanceTime(0.5, nullptr), S_OK);
  EXPECT_EQ(a.x, 0.0f);
  EXPECT_FLOAT_EQ(b.x, 105.0f);
  EXPECT_EQ(x.x, 0.0f);

  // Replacing the pointers of a registered name redirects it.
  D3DXVECTOR3 b2{};
  ASSERT_EQ(c->RegisterAnimationOutput("b", nullptr, nullptr, nullptr, &b2), S_OK);
  ASSERT_EQ(c->AdvanceTime(0.25, nullptr), S_OK);
  EXPECT_FLOAT_EQ(b2.x, 107.5f);
  EXPECT_FLOAT_EQ(b.x, 105.0f);
}

TEST(AnimationController, UnregisteringASetMovesTheLastIntoItsPlace) {
  SetPtr first = moverSet("first"), second = moverSet("second", 2.0f);
  ControllerPtr c = makeController();
  D3DXVECTOR3 a{};
  ASSERT_EQ(c->RegisterAnimationOutput("a", nullptr, nullptr, nullptr, &a), S_OK);
  ASSERT_EQ(c->RegisterAnimationSet(first.get()), S_OK);
  ASSERT_EQ(c->RegisterAnimationSet(second.get()), S_OK);
  play(c.get(), 0, first.get());
  play(c.get(), 1, second.get());
  ASSERT_EQ(c->UnregisterAnimationSet(first.get()), S_OK);
  EXPECT_EQ(c->GetNumAnimationSets(), 1u);
  LPD3DXANIMATIONSET got = nullptr;
  ASSERT_EQ(c->GetAnimationSet(0, &got), S_OK);
  EXPECT_EQ(got, second.get());
  got->Release();
  ASSERT_EQ(c->GetTrackAnimationSet(0, &got), S_OK);
  EXPECT_EQ(got, nullptr);
  ASSERT_EQ(c->GetTrackAnimationSet(1, &got), S_OK);
  EXPECT_EQ(got, second.get());
  got->Release();
  ASSERT_EQ(c->AdvanceTime(0.5, nullptr), S_OK);
  EXPECT_FLOAT_EQ(a.x, 10.0f);  // the second set alone, through its moved map row

  EXPECT_EQ(c->SetTrackAnimationSet(0, first.get()), D3DERR_INVALIDCALL);
  EXPECT_EQ(c->SetTrackAnimationSet(0, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(c->SetTrackAnimationSet(2, second.get()), D3DERR_INVALIDCALL);
  EXPECT_EQ(c->SetTrackSpeed(2, 1.0f), D3DERR_INVALIDCALL);
  EXPECT_EQ(c->GetTrackDesc(0, nullptr), D3DERR_INVALIDCALL);
}
