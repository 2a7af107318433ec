// AdvanceTime on a controller shaped like the train's wheels: 24 outputs, one looping set of 24
// animations (three rotation keys at ticks 0, 15 and 30, one scale and one translation key, 4800
// ticks per second), one track at full weight. Each call advances one frame of a 60 Hz display
// and rewrites all 24 matrices; the per_output counter is the time per written matrix.
#include <benchmark/benchmark.h>
#include <d3dx9anim.h>

#include <cmath>
#include <string>
#include <vector>

#include "d3dx_com.h"

namespace {

constexpr int kWheels = 24;

void advanceWheels(benchmark::State& state) {
  d3dx::ComPtr<ID3DXKeyframedAnimationSet> set;
  if (FAILED(D3DXCreateKeyframedAnimationSet("wheels", 4800, D3DXPLAY_LOOP, kWheels, 0, nullptr, set.receive()))) {
    state.SkipWithError("set");
    return;
  }
  d3dx::ComPtr<ID3DXAnimationController> controller;
  if (FAILED(D3DXCreateAnimationController(kWheels, 1, 2, 30, controller.receive()))) {
    state.SkipWithError("controller");
    return;
  }
  std::vector<D3DXMATRIX> frames(kWheels);
  for (int i = 0; i < kWheels; ++i) {
    const std::string name = "wheel" + std::to_string(i);
    const D3DXKEY_VECTOR3 scale[] = {{0, D3DXVECTOR3(1, 1, 1)}};
    const D3DXKEY_VECTOR3 translation[] = {{0, D3DXVECTOR3(float(i) * 10, -120, 35)}};
    // A full turn about x over 30 ticks, as three keys (stored conjugated).
    const D3DXKEY_QUATERNION rotation[] = {{0, {0, 0, 0, 1}}, {15, {-1, 0, 0, 0}}, {30, {0, 0, 0, -1}}};
    set->RegisterAnimationSRTKeys(name.c_str(), 1, 3, 1, scale, rotation, translation, nullptr);
    controller->RegisterAnimationOutput(name.c_str(), &frames[i], nullptr, nullptr, nullptr);
  }
  controller->RegisterAnimationSet(set.get());
  controller->SetTrackAnimationSet(0, set.get());
  D3DXTRACK_DESC desc{D3DXPRIORITY_LOW, 1.0f, 1.0f, 0.0, TRUE};
  controller->SetTrackDesc(0, &desc);

  for (auto _ : state) {
    controller->AdvanceTime(1.0 / 60, nullptr);
    benchmark::DoNotOptimize(frames.data());
    benchmark::ClobberMemory();
  }
  state.counters["per_output"] = benchmark::Counter(double(state.iterations()) * kWheels,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(advanceWheels);

}  // namespace

BENCHMARK_MAIN();
