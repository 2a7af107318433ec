#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "animation_test_support.h"

using namespace animtest;

namespace {

// The wheels' animation: rotation keys at ticks 0, 15 and 30 about the x axis (stored
// conjugated), one scale and one translation key.
SetPtr wheelSet(D3DXPLAYBACK_TYPE playback = D3DXPLAY_LOOP) {
  SetPtr set = makeSet(playback);
  const float s = std::sin(0.5f), c = std::cos(0.5f);
  addAnimation(set.get(), "wheel", {{0, D3DXVECTOR3(1, 1, 1)}},
               {{0, {0, 0, 0, 1}}, {15, {-s, 0, 0, c}}, {30, {-(2 * s * c), 0, 0, c * c - s * s}}},
               {{0, D3DXVECTOR3(0, 2, 0)}});
  return set;
}

D3DXQUATERNION rotationAt(ID3DXAnimationSet* set, double position, UINT animation = 0) {
  D3DXQUATERNION r{};
  EXPECT_EQ(set->GetSRT(set->GetPeriodicPosition(position), animation, nullptr, &r, nullptr), S_OK);
  return r;
}

float translationX(ID3DXAnimationSet* set, double periodicPosition) {
  D3DXVECTOR3 t{};
  EXPECT_EQ(set->GetSRT(periodicPosition, 0, nullptr, nullptr, &t), S_OK);
  return t.x;
}

}  // namespace

TEST(KeyframedSet, CreateRejectsBadArgumentsAndSetsInitialPeriod) {
  SetPtr set;
  const D3DXKEY_CALLBACK keys[] = {{100, nullptr}, {2400, nullptr}};
  EXPECT_EQ(D3DXCreateKeyframedAnimationSet("s", 4800, D3DXPLAY_LOOP, 1, 0, nullptr, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateKeyframedAnimationSet("s", 4800, D3DXPLAY_LOOP, 1, 2, nullptr, set.receive()),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateKeyframedAnimationSet("s", 4800, D3DXPLAYBACK_TYPE(3), 1, 0, nullptr, set.receive()),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateKeyframedAnimationSet("s", 4800, D3DXPLAY_LOOP, 0, 0, nullptr, set.receive()),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateKeyframedAnimationSet("s", 9e-9, D3DXPLAY_LOOP, 1, 0, nullptr, set.receive()),
            D3DERR_INVALIDCALL);
  EXPECT_FALSE(set);

  ASSERT_EQ(D3DXCreateKeyframedAnimationSet(nullptr, 4800, D3DXPLAY_ONCE, 1, 0, nullptr, set.receive()), S_OK);
  EXPECT_EQ(set->GetName(), nullptr);
  EXPECT_EQ(set->GetPeriod(), 1.0);
  ASSERT_EQ(D3DXCreateKeyframedAnimationSet("cb", 4800, D3DXPLAY_PINGPONG, 1, 2, keys, set.receive()), S_OK);
  EXPECT_STREQ(set->GetName(), "cb");
  EXPECT_EQ(set->GetPeriod(), 2 * 0.5);  // last callback key, twice for ping-pong
  EXPECT_EQ(set->GetPlaybackType(), D3DXPLAY_PINGPONG);
  EXPECT_EQ(set->GetSourceTicksPerSecond(), 4800.0);

  void* same = nullptr;
  EXPECT_EQ(set->QueryInterface(IID_ID3DXAnimationSet, &same), S_OK);
  EXPECT_EQ(same, static_cast<ID3DXAnimationSet*>(set.get()));
  static_cast<IUnknown*>(same)->Release();
}

TEST(KeyframedSet, RegistrationRulesAndDefaultKeys) {
  SetPtr set = makeSet(D3DXPLAY_LOOP, 4800, 2);
  const D3DXKEY_VECTOR3 t[] = {{0, D3DXVECTOR3(1, 2, 3)}};
  DWORD index = 99;
  EXPECT_EQ(set->RegisterAnimationSRTKeys(nullptr, 0, 0, 1, nullptr, nullptr, t, &index), D3DERR_INVALIDCALL);
  EXPECT_EQ(set->RegisterAnimationSRTKeys("a", 1, 0, 0, nullptr, nullptr, nullptr, &index), D3DERR_INVALIDCALL);
  ASSERT_EQ(set->RegisterAnimationSRTKeys("a", 0, 0, 1, nullptr, nullptr, t, &index), S_OK);
  EXPECT_EQ(index, 0u);
  EXPECT_EQ(set->RegisterAnimationSRTKeys("a", 0, 0, 1, nullptr, nullptr, t, &index), D3DERR_INVALIDCALL);
  ASSERT_EQ(set->RegisterAnimationSRTKeys("b", 0, 0, 0, nullptr, nullptr, nullptr, &index), S_OK);
  EXPECT_EQ(index, 1u);
  EXPECT_EQ(set->RegisterAnimationSRTKeys("c", 0, 0, 0, nullptr, nullptr, nullptr, &index), D3DERR_INVALIDCALL);
  EXPECT_EQ(set->GetNumAnimations(), 2u);

  // Channels not given hold one default key at time 0.
  D3DXVECTOR3 s, tr;
  D3DXQUATERNION r;
  ASSERT_EQ(set->GetSRT(0.7, 0, &s, &r, &tr), S_OK);
  EXPECT_EQ(set->GetNumScaleKeys(0), 1u);
  EXPECT_EQ(set->GetNumRotationKeys(0), 1u);
  EXPECT_TRUE(s.x == 1 && s.y == 1 && s.z == 1);
  EXPECT_TRUE(r.x == 0 && r.y == 0 && r.z == 0 && r.w == 1);
  EXPECT_TRUE(tr.x == 1 && tr.y == 2 && tr.z == 3);  // one key: that key at every time
  EXPECT_EQ(set->GetSRT(0.0, 2, &s, nullptr, nullptr), D3DERR_INVALIDCALL);
}

TEST(KeyframedSet, NamesAreFoundByteWise) {
  SetPtr set = makeSet(D3DXPLAY_LOOP, 4800, 8);
  const char* names[] = {"wheel_b", "Wheel", "\xC3\xA9tage", "wheel_a", "axle", "wheel"};
  for (const char* n : names) addAnimation(set.get(), n, {}, {}, {});
  for (UINT i = 0; i < 6; ++i) {
    UINT index = 99;
    ASSERT_EQ(set->GetAnimationIndexByName(names[i], &index), S_OK) << names[i];
    EXPECT_EQ(index, i);
    LPCSTR back = nullptr;
    ASSERT_EQ(set->GetAnimationNameByIndex(i, &back), S_OK);
    EXPECT_STREQ(back, names[i]);
  }
  EXPECT_EQ(set->GetAnimationIndexByName("wheel_", nullptr), D3DERR_NOTFOUND);
  EXPECT_EQ(set->GetAnimationIndexByName("WHEEL", nullptr), D3DERR_NOTFOUND);
  EXPECT_EQ(set->GetAnimationIndexByName(nullptr, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(makeSet()->GetAnimationIndexByName("x", nullptr), D3DERR_NOTFOUND);

  // Removing an animation moves the later ones down and keeps every name findable.
  ASSERT_EQ(set->UnregisterAnimation(1), S_OK);
  UINT index = 99;
  EXPECT_EQ(set->GetAnimationIndexByName("Wheel", &index), D3DERR_NOTFOUND);
  ASSERT_EQ(set->GetAnimationIndexByName("wheel", &index), S_OK);
  EXPECT_EQ(index, 4u);
  ASSERT_EQ(set->GetAnimationIndexByName("wheel_b", &index), S_OK);
  EXPECT_EQ(index, 0u);
  EXPECT_EQ(set->UnregisterAnimation(5), D3DERR_INVALIDCALL);
}

TEST(KeyframedSet, PeriodFollowsTheLastKeys) {
  EXPECT_DOUBLE_EQ(wheelSet()->GetPeriod(), 30.0 / 4800);  // 0.00625 s replaces the initial 1 s
  SetPtr set = makeSet(D3DXPLAY_LOOP, 10);
  addMover(set.get(), "a", {{0, 0}, {-40, 1}});  // the largest absolute time counts
  EXPECT_DOUBLE_EQ(set->GetPeriod(), 4.0);
  addMover(set.get(), "b", {{0, 0}, {20, 1}});  // later animations only lengthen it
  EXPECT_DOUBLE_EQ(set->GetPeriod(), 4.0);
  addMover(set.get(), "c", {{0, 0}, {50, 1}});
  EXPECT_DOUBLE_EQ(set->GetPeriod(), 5.0);

  SetPtr still = makeSet();
  addMover(still.get(), "a", {{0, 1}});
  EXPECT_EQ(still->GetPeriod(), 1.0);  // keys all at 0: a one-second period

  const D3DXKEY_CALLBACK callbacks[] = {{30, nullptr}};  // 3 s at 10 ticks per second
  SetPtr withCallbacks;
  ASSERT_EQ(D3DXCreateKeyframedAnimationSet("c", 10, D3DXPLAY_LOOP, 2, 1, callbacks, withCallbacks.receive()), S_OK);
  addMover(withCallbacks.get(), "a", {{0, 0}, {20, 1}});
  EXPECT_DOUBLE_EQ(withCallbacks->GetPeriod(), 3.0);
}

TEST(KeyframedSet, PeriodicPositionPerPlaybackType) {
  SetPtr loop = makeSet(D3DXPLAY_LOOP, 10), once = makeSet(D3DXPLAY_ONCE, 10),
         pingpong = makeSet(D3DXPLAY_PINGPONG, 10);
  for (auto* s : {loop.get(), once.get(), pingpong.get()}) addMover(s, "a", {{0, 0}, {20, 1}});  // period 2 s
  EXPECT_DOUBLE_EQ(loop->GetPeriodicPosition(5.5), 1.5);
  EXPECT_DOUBLE_EQ(loop->GetPeriodicPosition(-0.5), 1.5);
  EXPECT_DOUBLE_EQ(once->GetPeriodicPosition(5.5), 2.0);
  EXPECT_DOUBLE_EQ(once->GetPeriodicPosition(-0.5), 0.0);
  EXPECT_DOUBLE_EQ(pingpong->GetPeriodicPosition(5.5), 1.5);
  EXPECT_DOUBLE_EQ(pingpong->GetPeriodicPosition(-0.5), 3.5);
  EXPECT_DOUBLE_EQ(pingpong->GetPeriod(), 4.0);
}

TEST(KeyframedSet, WheelSamplesKeysAndHalfwayPoints) {
  SetPtr set = wheelSet();
  D3DXKEY_QUATERNION k15;
  ASSERT_EQ(set->GetRotationKey(0, 1, &k15), S_OK);
  // Tick 15 exactly, after one wrap: the stored key conjugated.
  const D3DXQUATERNION at15 = rotationAt(set.get(), 0.009375);
  EXPECT_FLOAT_EQ(at15.x, -k15.Value.x);
  EXPECT_FLOAT_EQ(at15.w, k15.Value.w);
  // Tick 7.5: the normalised mean of the keys at 0 and 15, a rotation of a quarter radian.
  const D3DXQUATERNION at7 = rotationAt(set.get(), 0.0078125);
  EXPECT_NEAR(at7.x, std::sin(0.25f), 1e-6f);
  EXPECT_NEAR(at7.w, std::cos(0.25f), 1e-6f);
  EXPECT_EQ(at7.y, 0.0f);
  D3DXVECTOR3 s, t;
  ASSERT_EQ(set->GetSRT(0.003, 0, &s, nullptr, &t), S_OK);
  EXPECT_TRUE(s.x == 1 && t.y == 2);

  // A stored key comes out conjugated at its own time, with no renormalisation of its own.
  SetPtr raw = makeSet();
  addAnimation(raw.get(), "r", {}, {{0, {0.1f, 0.2f, 0.3f, 0.4f}}, {10, {0, 0, 0, 1}}}, {});
  D3DXQUATERNION r;
  ASSERT_EQ(raw->GetSRT(0.0, 0, nullptr, &r, nullptr), S_OK);
  EXPECT_TRUE(r.x == -0.1f && r.y == -0.2f && r.z == -0.3f && r.w == 0.4f);
}

TEST(KeyframedSet, OnceHoldsAndPingPongRunsBack) {
  SetPtr once = makeSet(D3DXPLAY_ONCE, 10), pingpong = makeSet(D3DXPLAY_PINGPONG, 10);
  for (auto* s : {once.get(), pingpong.get()}) addMover(s, "a", {{0, 0}, {10, 4}, {20, 8}});  // period 2 s
  EXPECT_EQ(translationX(once.get(), once->GetPeriodicPosition(7.0)), 8.0f);
  EXPECT_EQ(translationX(pingpong.get(), pingpong->GetPeriodicPosition(1.25 * 2)),
            translationX(pingpong.get(), pingpong->GetPeriodicPosition(0.75 * 2)));
  EXPECT_FLOAT_EQ(translationX(pingpong.get(), 2.5), 6.0f);
}

TEST(KeyframedSet, KeysCloserThan1e8AreNotInterpolated) {
  SetPtr pingpong = makeSet(D3DXPLAY_PINGPONG, 1.0);
  addMover(pingpong.get(), "a", {{0, 1}, {5e-9f, 3}, {1, 5}});
  EXPECT_EQ(translationX(pingpong.get(), 2.5e-9), 1.0f);        // forward: the earlier key
  EXPECT_EQ(translationX(pingpong.get(), 2.0 - 2.5e-9), 3.0f);  // backward: the later key
}

// The cursor-guided search must find what a plain scan finds, whichever way time jumps.
TEST(KeyframedSet, CursorSearchMatchesLinearScan) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 200; ++trial) {
    const UINT n = 1 + rng() % 12;
    std::vector<D3DXKEY_VECTOR3> keys;
    float tick = std::uniform_real_distribution<float>(-5, 5)(rng);
    for (UINT i = 0; i < n; ++i) {
      keys.push_back({tick, D3DXVECTOR3(std::uniform_real_distribution<float>(-9, 9)(rng), float(i), 0)});
      tick += std::uniform_real_distribution<float>(0.01f, 3)(rng);
    }
    SetPtr set = makeSet(D3DXPLAY_ONCE, 1.0);
    addAnimation(set.get(), "a", {}, {}, keys);
    std::uniform_real_distribution<double> time(keys.front().Time - 1.0, keys.back().Time + 1.0);
    for (int sample = 0; sample < 50; ++sample) {
      const double t = time(rng);
      float expected = t <= keys.front().Time ? keys.front().Value.x : keys.back().Value.x;
      for (UINT i = 0; i + 1 < n; ++i) {
        if (keys[i].Time <= t && t <= keys[i + 1].Time) {
          const double u = (t - keys[i].Time) / (double(keys[i + 1].Time) - keys[i].Time);
          expected = float(keys[i].Value.x + u * (double(keys[i + 1].Value.x) - keys[i].Value.x));
          break;
        }
      }
      D3DXVECTOR3 got;
      ASSERT_EQ(set->GetSRT(t, 0, nullptr, nullptr, &got), S_OK);
      ASSERT_EQ(got.x, expected) << "trial " << trial << " t " << t;
    }
  }
}

TEST(KeyframedSet, KeysOutOfOrderStayInBounds) {
  std::mt19937 rng(13);
  std::uniform_real_distribution<float> any(-10, 10);
  for (int trial = 0; trial < 100; ++trial) {
    std::vector<D3DXKEY_VECTOR3> keys(2 + rng() % 8);
    for (auto& k : keys) k = {any(rng), D3DXVECTOR3(any(rng), 0, 0)};
    SetPtr set = makeSet(D3DXPLAY_ONCE, 1.0);
    addAnimation(set.get(), "a", {}, {}, keys);
    const auto [lo, hi] =
        std::minmax_element(keys.begin(), keys.end(), [](auto& a, auto& b) { return a.Value.x < b.Value.x; });
    for (int sample = 0; sample < 30; ++sample) {
      D3DXVECTOR3 got;
      ASSERT_EQ(set->GetSRT(any(rng), 0, nullptr, nullptr, &got), S_OK);
      EXPECT_GE(got.x, lo->Value.x);
      EXPECT_LE(got.x, hi->Value.x);
    }
  }
}

TEST(KeyframedSet, KeyAccessors) {
  SetPtr set = makeSet(D3DXPLAY_ONCE, 1.0);
  addMover(set.get(), "a", {{0, 0}, {1, 10}, {2, 20}});
  D3DXKEY_VECTOR3 all[3];
  ASSERT_EQ(set->GetTranslationKeys(0, all), S_OK);
  EXPECT_EQ(all[2].Value.x, 20.0f);
  D3DXKEY_VECTOR3 k{1, D3DXVECTOR3(-10, 0, 0)};
  ASSERT_EQ(set->SetTranslationKey(0, 1, &k), S_OK);
  EXPECT_FLOAT_EQ(translationX(set.get(), 0.5), -5.0f);
  ASSERT_EQ(set->UnregisterTranslationKey(0, 1), S_OK);
  EXPECT_EQ(set->GetNumTranslationKeys(0), 2u);
  EXPECT_FLOAT_EQ(translationX(set.get(), 1.0), 10.0f);
  EXPECT_EQ(set->GetTranslationKey(0, 2, &k), D3DERR_INVALIDCALL);
  EXPECT_EQ(set->SetScaleKey(1, 0, &k), D3DERR_INVALIDCALL);
  EXPECT_EQ(set->GetNumScaleKeys(1), 0u);
  EXPECT_EQ(set->UnregisterScaleKey(0, 0), D3DERR_INVALIDCALL);  // a channel keeps its last key

  D3DXKEY_QUATERNION q{0, {0, 1, 0, 0}};
  ASSERT_EQ(set->SetRotationKey(0, 0, &q), S_OK);
  D3DXQUATERNION r;
  ASSERT_EQ(set->GetSRT(0.3, 0, nullptr, &r, nullptr), S_OK);
  EXPECT_EQ(r.y, -1.0f);
  EXPECT_EQ(set->UnregisterRotationKey(0, 0), D3DERR_INVALIDCALL);

  LPD3DXBUFFER compressed = reinterpret_cast<LPD3DXBUFFER>(&k);
  EXPECT_EQ(set->Compress(D3DXCOMPRESS_DEFAULT, 0.5f, nullptr, &compressed), E_NOTIMPL);
  EXPECT_EQ(compressed, nullptr);
}

TEST(KeyframedSet, CallbackKeysAreFoundAcrossPasses) {
  int a = 0, b = 0;
  const D3DXKEY_CALLBACK keys[] = {{5, &a}, {15, &b}};
  for (D3DXPLAYBACK_TYPE type : {D3DXPLAY_LOOP, D3DXPLAY_ONCE, D3DXPLAY_PINGPONG}) {
    SetPtr set;
    ASSERT_EQ(D3DXCreateKeyframedAnimationSet("c", 10, type, 1, 2, keys, set.receive()), S_OK);
    addMover(set.get(), "m", {{0, 0}, {20, 1}});  // period 2 s; keys at 0.5 s and 1.5 s
    double at = -1;
    void* data = nullptr;
    ASSERT_EQ(set->GetCallback(0.5, 0, &at, &data), S_OK);
    EXPECT_EQ(at, 0.5);
    EXPECT_EQ(data, &a);
    ASSERT_EQ(set->GetCallback(0.5, D3DXCALLBACK_SEARCH_EXCLUDING_INITIAL_POSITION, &at, &data), S_OK);
    EXPECT_EQ(at, 1.5);
    ASSERT_EQ(set->GetCallback(1.0, D3DXCALLBACK_SEARCH_BEHIND_INITIAL_POSITION, &at, &data), S_OK);
    EXPECT_EQ(at, 0.5);
    const HRESULT past = set->GetCallback(1.6, 0, &at, &data);
    if (type == D3DXPLAY_ONCE) {
      EXPECT_EQ(past, D3DERR_NOTFOUND);
      continue;
    }
    ASSERT_EQ(past, S_OK);
    // Loop: the next pass's first key; ping-pong: the way back meets the 1.5 s key at 2.5 s.
    EXPECT_DOUBLE_EQ(at, 2.5);
    EXPECT_EQ(data, type == D3DXPLAY_LOOP ? &a : &b);
  }
  SetPtr none = makeSet();
  EXPECT_EQ(none->GetCallback(0, 0, nullptr, nullptr), D3DERR_NOTFOUND);
  D3DXKEY_CALLBACK k{};
  EXPECT_EQ(none->GetCallbackKey(0, &k), D3DERR_INVALIDCALL);
}
