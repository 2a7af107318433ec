#include <cmath>
#include <cstring>
#include <vector>

#include "animation_test_support.h"

using namespace animtest;

namespace {

D3DXTRACK_DESC trackDesc(ID3DXAnimationController* c, UINT track) {
  D3DXTRACK_DESC desc{};
  EXPECT_EQ(c->GetTrackDesc(track, &desc), S_OK);
  return desc;
}

// A controller with a long looping set on track 0 at speed 1, weight 1.
struct Fixture {
  SetPtr set = makeSet(D3DXPLAY_LOOP, 1.0);
  ControllerPtr c = makeController(2, 1, 2, 4);
  Fixture() {
    addMover(set.get(), "a", {{0, 0}, {100, 100}});
    EXPECT_EQ(c->RegisterAnimationSet(set.get()), S_OK);
    play(c.get(), 0, set.get());
  }
};

struct Recorder final : ID3DXAnimationCallbackHandler {
  std::vector<std::pair<UINT, void*>> calls;
  HRESULT STDMETHODCALLTYPE HandleCallback(UINT track, LPVOID data) override {
    calls.push_back({track, data});
    return S_OK;
  }
};

}  // namespace

TEST(TrackEvents, WeightTransitionsAtStartMiddleAndEnd) {
  for (D3DXTRANSITION_TYPE type : {D3DXTRANSITION_LINEAR, D3DXTRANSITION_EASEINEASEOUT}) {
    Fixture f;
    ASSERT_EQ(f.c->SetTrackWeight(0, 0.2f), S_OK);
    const D3DXEVENTHANDLE e = f.c->KeyTrackWeight(0, 1.0f, 1.0, 2.0, type);
    ASSERT_NE(e, 0u);
    EXPECT_EQ(f.c->GetUpcomingTrackEvent(0, 0), e);
    ASSERT_EQ(f.c->AdvanceTime(1.0, nullptr), S_OK);
    EXPECT_FLOAT_EQ(trackDesc(f.c.get(), 0).Weight, 0.2f);
    EXPECT_EQ(f.c->GetCurrentTrackEvent(0, D3DXEVENT_TRACKWEIGHT), e);
    EXPECT_EQ(f.c->GetUpcomingTrackEvent(0, 0), 0u);
    ASSERT_EQ(f.c->AdvanceTime(0.5, nullptr), S_OK);  // a quarter of the way: ease-in is slower
    EXPECT_FLOAT_EQ(trackDesc(f.c.get(), 0).Weight, 0.2f + 0.8f * (type == D3DXTRANSITION_LINEAR ? 0.25f : 0.15625f));
    ASSERT_EQ(f.c->AdvanceTime(0.5, nullptr), S_OK);
    EXPECT_FLOAT_EQ(trackDesc(f.c.get(), 0).Weight, 0.6f);
    ASSERT_EQ(f.c->AdvanceTime(1.0, nullptr), S_OK);
    EXPECT_FLOAT_EQ(trackDesc(f.c.get(), 0).Weight, 1.0f);
    ASSERT_EQ(f.c->AdvanceTime(5.0, nullptr), S_OK);
    EXPECT_FLOAT_EQ(trackDesc(f.c.get(), 0).Weight, 1.0f);

    D3DXEVENT_DESC desc;
    ASSERT_EQ(f.c->GetEventDesc(e, &desc), S_OK);
    EXPECT_EQ(desc.Type, D3DXEVENT_TRACKWEIGHT);
    EXPECT_EQ(desc.Transition, type);
    EXPECT_EQ(desc.Weight, 1.0f);
    // Setting the value directly cancels the event and frees its handle.
    ASSERT_EQ(f.c->SetTrackWeight(0, 0.5f), S_OK);
    EXPECT_EQ(f.c->GetCurrentTrackEvent(0, D3DXEVENT_TRACKWEIGHT), 0u);
    EXPECT_EQ(f.c->ValidateEvent(e), D3DERR_INVALIDCALL);
  }
}

// While the speed changes, the position moves by the integral of the speed over each step.
TEST(TrackEvents, SpeedRampPositionIsTheIntegral) {
  struct Case {
    D3DXTRANSITION_TYPE type;
    double atHalf;
  };
  // Speed 0 -> 2 over [0, 1]: linear covers 2 * u^2 / 2, ease covers 2 * (u^3 - u^4 / 2).
  for (Case k : {Case{D3DXTRANSITION_LINEAR, 0.25}, Case{D3DXTRANSITION_EASEINEASEOUT, 0.1875}}) {
    for (double step : {0.5, 0.125, 0.01}) {
      Fixture f;
      ASSERT_EQ(f.c->SetTrackSpeed(0, 0.0f), S_OK);
      ASSERT_NE(f.c->KeyTrackSpeed(0, 2.0f, 0.0, 1.0, k.type), 0u);
      for (double t = 0; t < 0.5 - 1e-12; t += step) ASSERT_EQ(f.c->AdvanceTime(step, nullptr), S_OK);
      EXPECT_NEAR(trackDesc(f.c.get(), 0).Position, k.atHalf, 1e-12) << step;
      EXPECT_FLOAT_EQ(trackDesc(f.c.get(), 0).Speed, 1.0f);  // halfway for both shapes
      ASSERT_EQ(f.c->AdvanceTime(1.5, nullptr), S_OK);       // 0.5 s more of the ramp, then 1 s at speed 2
      EXPECT_NEAR(trackDesc(f.c.get(), 0).Position, 1.0 + 2.0, 1e-12);
    }
  }
}

TEST(TrackEvents, EventsSplitTheStepWhereTheyStart) {
  Fixture f;
  ASSERT_NE(f.c->KeyTrackEnable(0, FALSE, 0.25), 0u);
  ASSERT_NE(f.c->KeyTrackPosition(0, 10.0, 0.5), 0u);
  ASSERT_NE(f.c->KeyTrackEnable(0, TRUE, 0.75), 0u);
  ASSERT_EQ(f.c->AdvanceTime(1.0, nullptr), S_OK);
  EXPECT_DOUBLE_EQ(trackDesc(f.c.get(), 0).Position, 10.25);
  EXPECT_TRUE(trackDesc(f.c.get(), 0).Enable);
  EXPECT_NE(f.c->GetCurrentTrackEvent(0, D3DXEVENT_TRACKPOSITION), 0u);
  EXPECT_EQ(f.c->GetCurrentTrackEvent(0, D3DXEVENT_TYPE(4)), 0u);
}

TEST(TrackEvents, AChangeStartsWhereTheRunningOneIs) {
  Fixture f;
  ASSERT_EQ(f.c->SetTrackSpeed(0, 0.0f), S_OK);
  ASSERT_NE(f.c->KeyTrackSpeed(0, 2.0f, 0.0, 1.0, D3DXTRANSITION_LINEAR), 0u);
  const D3DXEVENTHANDLE down = f.c->KeyTrackSpeed(0, 0.0f, 0.5, 1.0, D3DXTRANSITION_LINEAR);
  ASSERT_EQ(f.c->AdvanceTime(2.0, nullptr), S_OK);
  // Up to speed 1 by 0.5 s (distance 0.25), then down from 1 to 0 over a second (0.5).
  EXPECT_DOUBLE_EQ(trackDesc(f.c.get(), 0).Position, 0.75);
  EXPECT_EQ(f.c->GetCurrentTrackEvent(0, D3DXEVENT_TRACKSPEED), down);
  EXPECT_EQ(trackDesc(f.c.get(), 0).Speed, 0.0f);
}

TEST(TrackEvents, PoolHandlesOrderAndUnkeying) {
  Fixture f;  // four event records
  const D3DXEVENTHANDLE late = f.c->KeyTrackSpeed(0, 2.0f, 3.0, 0.0, D3DXTRANSITION_LINEAR);
  const D3DXEVENTHANDLE early = f.c->KeyTrackWeight(0, 0.5f, 1.0, 1.0, D3DXTRANSITION_LINEAR);
  const D3DXEVENTHANDLE blend = f.c->KeyPriorityBlend(1.0f, 0.0, 2.0, D3DXTRANSITION_LINEAR);
  const D3DXEVENTHANDLE other = f.c->KeyTrackEnable(1, TRUE, 2.0);
  EXPECT_EQ(f.c->KeyTrackPosition(0, 0.0, 0.0), 0u);  // pool exhausted
  EXPECT_EQ(f.c->KeyTrackSpeed(5, 1.0f, 0.0, 1.0, D3DXTRANSITION_LINEAR), 0u);
  EXPECT_EQ(f.c->KeyTrackSpeed(0, 1.0f, 0.0, -1.0, D3DXTRANSITION_LINEAR), 0u);
  EXPECT_EQ(f.c->KeyTrackSpeed(0, 1.0f, 0.0, 1.0, D3DXTRANSITION_TYPE(2)), 0u);
  EXPECT_EQ(f.c->KeyPriorityBlend(2.0f, 0.0, 1.0, D3DXTRANSITION_LINEAR), 0u);

  EXPECT_EQ(f.c->GetUpcomingTrackEvent(0, 0), early);
  EXPECT_EQ(f.c->GetUpcomingTrackEvent(0, early), late);
  EXPECT_EQ(f.c->GetUpcomingTrackEvent(0, late), 0u);
  EXPECT_EQ(f.c->GetUpcomingTrackEvent(1, 0), other);
  EXPECT_EQ(f.c->GetUpcomingPriorityBlend(0), blend);

  ASSERT_EQ(f.c->AdvanceTime(1.0, nullptr), S_OK);
  EXPECT_EQ(f.c->GetCurrentPriorityBlend(), blend);
  EXPECT_FLOAT_EQ(f.c->GetPriorityBlend(), 0.5f);
  EXPECT_EQ(f.c->GetCurrentTrackEvent(0, D3DXEVENT_TRACKWEIGHT), early);

  ASSERT_EQ(f.c->UnkeyEvent(early), S_OK);
  EXPECT_EQ(f.c->UnkeyEvent(early), D3DERR_INVALIDCALL);
  EXPECT_EQ(f.c->GetCurrentTrackEvent(0, D3DXEVENT_TRACKWEIGHT), 0u);
  const D3DXEVENTHANDLE reused = f.c->KeyTrackPosition(0, 0.0, 9.0);
  ASSERT_NE(reused, 0u);
  EXPECT_NE(reused, early);  // a stale handle never names the new event
  EXPECT_EQ(f.c->ValidateEvent(early), D3DERR_INVALIDCALL);
  EXPECT_EQ(f.c->ValidateEvent(reused), S_OK);

  ASSERT_EQ(f.c->UnkeyAllTrackEvents(0), S_OK);
  EXPECT_EQ(f.c->ValidateEvent(late), D3DERR_INVALIDCALL);
  EXPECT_EQ(f.c->ValidateEvent(other), S_OK);
  ASSERT_EQ(f.c->UnkeyAllPriorityBlends(), S_OK);
  EXPECT_EQ(f.c->GetCurrentPriorityBlend(), 0u);
  EXPECT_EQ(f.c->UnkeyAllTrackEvents(2), D3DERR_INVALIDCALL);
}

TEST(TrackEvents, ResetTimeShiftsEvents) {
  Fixture f;
  ASSERT_EQ(f.c->AdvanceTime(130.0, nullptr), S_OK);  // past the 100 s fold, position 130
  const D3DXEVENTHANDLE e = f.c->KeyTrackSpeed(0, 0.0f, 131.0, 0.0, D3DXTRANSITION_LINEAR);
  ASSERT_EQ(f.c->ResetTime(), S_OK);
  D3DXEVENT_DESC desc;
  ASSERT_EQ(f.c->GetEventDesc(e, &desc), S_OK);
  EXPECT_DOUBLE_EQ(desc.StartTime, 1.0);
  EXPECT_DOUBLE_EQ(trackDesc(f.c.get(), 0).Position, 30.0);
  ASSERT_EQ(f.c->AdvanceTime(2.0, nullptr), S_OK);
  EXPECT_DOUBLE_EQ(trackDesc(f.c.get(), 0).Position, 31.0);  // stopped after 1 s
}

TEST(TrackEvents, CallbacksReportTheKeysATrackPasses) {
  int first = 0, second = 0;
  const D3DXKEY_CALLBACK keys[] = {{2, &first}, {6, &second}};
  SetPtr set;
  ASSERT_EQ(D3DXCreateKeyframedAnimationSet("c", 10, D3DXPLAY_LOOP, 1, 2, keys, set.receive()), S_OK);
  addMover(set.get(), "a", {{0, 0}, {10, 1}});  // 1 s loop; keys at 0.2 s and 0.6 s
  ControllerPtr c = makeController();
  ASSERT_EQ(c->RegisterAnimationSet(set.get()), S_OK);
  play(c.get(), 1, set.get());
  Recorder r;
  ASSERT_EQ(c->AdvanceTime(0.2, &r), S_OK);
  ASSERT_EQ(c->AdvanceTime(0.7, &r), S_OK);
  ASSERT_EQ(c->AdvanceTime(0.35, &r), S_OK);  // wraps: 0.9 -> 1.25
  ASSERT_EQ(c->AdvanceTime(0.1, nullptr), S_OK);
  const std::vector<std::pair<UINT, void*>> expected = {{1, &first}, {1, &second}, {1, &first}};
  EXPECT_EQ(r.calls, expected);
  r.calls.clear();
  ASSERT_EQ(c->AdvanceTime(25.0, &r), S_OK);  // a huge step reports one pass's worth
  EXPECT_EQ(r.calls.size(), 2u);
}

TEST(TrackEvents, CloneAnimatesIdenticallyAndIndependently) {
  SetPtr set = makeSet(D3DXPLAY_PINGPONG, 10);
  addMover(set.get(), "a", {{0, 0}, {10, 7}, {20, -3}});
  ControllerPtr c = makeController(3, 1, 2, 4);
  D3DXVECTOR3 a;
  D3DXMATRIX m;
  ASSERT_EQ(c->RegisterAnimationOutput("a", &m, nullptr, nullptr, &a), S_OK);
  ASSERT_EQ(c->RegisterAnimationSet(set.get()), S_OK);
  play(c.get(), 1, set.get());
  ASSERT_NE(c->KeyTrackSpeed(1, 3.0f, 0.5, 1.0, D3DXTRANSITION_EASEINEASEOUT), 0u);
  ASSERT_EQ(c->AdvanceTime(0.75, nullptr), S_OK);

  ControllerPtr clone;
  EXPECT_EQ(c->CloneAnimationController(0, 1, 2, 4, clone.receive()), D3DERR_INVALIDCALL);
  EXPECT_EQ(c->CloneAnimationController(3, 1, 1, 4, clone.receive()), D3DERR_INVALIDCALL);  // track 1 in use
  ASSERT_EQ(c->CloneAnimationController(1, 2, 2, 2, clone.receive()), S_OK);
  EXPECT_EQ(clone->GetMaxNumAnimationSets(), 2u);
  EXPECT_DOUBLE_EQ(clone->GetTime(), 0.75);
  for (double step : {0.1, 0.4, 1.3}) {
    ASSERT_EQ(c->AdvanceTime(step, nullptr), S_OK);
    const D3DXVECTOR3 fromOriginal = a;
    const D3DXMATRIX matrixFromOriginal = m;
    ASSERT_EQ(clone->AdvanceTime(step, nullptr), S_OK);
    EXPECT_EQ(a.x, fromOriginal.x);
    EXPECT_EQ(std::memcmp(&m, &matrixFromOriginal, sizeof m), 0);
  }
  ASSERT_EQ(c->SetTrackSpeed(1, 0.0f), S_OK);
  ASSERT_EQ(c->UnregisterAnimationSet(set.get()), S_OK);
  EXPECT_FLOAT_EQ(trackDesc(clone.get(), 1).Speed, 3.0f);
  LPD3DXANIMATIONSET got = nullptr;
  ASSERT_EQ(clone->GetTrackAnimationSet(1, &got), S_OK);
  EXPECT_EQ(got, set.get());
  got->Release();
}
