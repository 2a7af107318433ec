// Builders shared by the animation tests.
#pragma once

#include <d3dx9anim.h>
#include <gtest/gtest.h>

#include <vector>

#include "d3dx_com.h"

namespace animtest {

using SetPtr = d3dx::ComPtr<ID3DXKeyframedAnimationSet>;
using ControllerPtr = d3dx::ComPtr<ID3DXAnimationController>;

inline SetPtr makeSet(D3DXPLAYBACK_TYPE playback = D3DXPLAY_LOOP, double ticksPerSecond = 4800.0, UINT capacity = 8,
                      const char* name = "set") {
  SetPtr set;
  EXPECT_EQ(D3DXCreateKeyframedAnimationSet(name, ticksPerSecond, playback, capacity, 0, nullptr, set.receive()), S_OK);
  return set;
}

inline void addAnimation(ID3DXKeyframedAnimationSet* set, const char* name, const std::vector<D3DXKEY_VECTOR3>& scale,
                         const std::vector<D3DXKEY_QUATERNION>& rotation,
                         const std::vector<D3DXKEY_VECTOR3>& translation) {
  ASSERT_EQ(set->RegisterAnimationSRTKeys(name, UINT(scale.size()), UINT(rotation.size()), UINT(translation.size()),
                                          scale.data(), rotation.data(), translation.data(), nullptr),
            S_OK);
}

// An animation that only moves: translation keys (tick, x) with y = z = 0.
inline void addMover(ID3DXKeyframedAnimationSet* set, const char* name, std::vector<std::pair<float, float>> keys) {
  std::vector<D3DXKEY_VECTOR3> t;
  for (auto [tick, x] : keys) t.push_back({tick, D3DXVECTOR3(x, 0, 0)});
  addAnimation(set, name, {}, {}, t);
}

inline ControllerPtr makeController(UINT outputs = 4, UINT sets = 2, UINT tracks = 2, UINT events = 8) {
  ControllerPtr c;
  EXPECT_EQ(D3DXCreateAnimationController(outputs, sets, tracks, events, c.receive()), S_OK);
  return c;
}

// Puts a set on a track at full weight, speed 1, position 0, enabled.
inline void play(ID3DXAnimationController* c, UINT track, ID3DXAnimationSet* set,
                 D3DXPRIORITY_TYPE priority = D3DXPRIORITY_LOW, float weight = 1.0f) {
  ASSERT_EQ(c->SetTrackAnimationSet(track, set), S_OK);
  D3DXTRACK_DESC desc{priority, weight, 1.0f, 0.0, TRUE};
  ASSERT_EQ(c->SetTrackDesc(track, &desc), S_OK);
}

inline D3DXMATRIX garbageMatrix() {
  D3DXMATRIX m;
  for (auto& row : m.m)
    for (float& v : row) v = 42.0f;
  return m;
}

}  // namespace animtest
