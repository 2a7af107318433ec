// Loading the program's twelve meshes as the scene does at start-up: parse, build the meshes
// in the managed pool, make the controller; no textures. One benchmark per mesh and one for
// all twelve together.
#include <benchmark/benchmark.h>
#include <d3dx9hierarchy.h>

#include <string>

#include "d3d9_test_device.h"

namespace {

const char* const kMeshes[] = {"BUT_PREV.X", "BUT_PLAY.X", "BUT_STOP.X",   "BUT_NEXT.X",
                               "BUT_INFO.X", "BUT_TOP.X",  "BUT_MIN.X",    "BUT_QUIT.X",
                               "CREDZ.X",    "PLANES.X",   "TRAIN_CABS.X", "TRAIN_WHEELS.X"};

// Frames and containers as plain records holding the mesh, like the program's allocator
// minus its textures.
class Allocator final : public ID3DXAllocateHierarchy {
 public:
  HRESULT STDMETHODCALLTYPE CreateFrame(LPCSTR name, LPD3DXFRAME* out) override {
    auto* f = new Frame{};
    if (name) f->name = name, f->Name = f->name.data();
    D3DXMatrixIdentity(&f->TransformationMatrix);
    *out = f;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateMeshContainer(LPCSTR, const D3DXMESHDATA* data, const D3DXMATERIAL*,
                                                const D3DXEFFECTINSTANCE*, DWORD, const DWORD*, LPD3DXSKININFO,
                                                LPD3DXMESHCONTAINER* out) override {
    auto* c = new D3DXMESHCONTAINER{};
    c->MeshData = *data;
    c->MeshData.pMesh->AddRef();
    *out = c;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DestroyFrame(LPD3DXFRAME frame) override {
    delete static_cast<Frame*>(frame);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DestroyMeshContainer(LPD3DXMESHCONTAINER c) override {
    c->MeshData.pMesh->Release();
    delete c;
    return S_OK;
  }

 private:
  struct Frame : D3DXFRAME {
    std::string name;
  };
};

void loadMeshes(benchmark::State& state, std::vector<const char*> names) {
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;
  if (FAILED(d3d9test::createNullRefDevice(64, 64, d3d, device))) {
    state.SkipWithError("no NULLREF device");
    return;
  }
  std::vector<std::pair<const void*, DWORD>> blobs;
  for (const char* name : names) {
    HRSRC found = FindResourceA(nullptr, name, "X");
    blobs.push_back({LockResource(LoadResource(nullptr, found)), SizeofResource(nullptr, found)});
  }
  Allocator allocator;
  for (auto _ : state) {
    for (const auto& [data, size] : blobs) {
      LPD3DXFRAME root = nullptr;
      LPD3DXANIMATIONCONTROLLER controller = nullptr;
      if (FAILED(D3DXLoadMeshHierarchyFromXInMemory(data, size, D3DXMESH_MANAGED, device, &allocator, nullptr, &root,
                                                    &controller))) {
        state.SkipWithError("load failed");
        break;
      }
      if (controller) controller->Release();
      D3DXFrameDestroy(root, &allocator);
    }
  }
  device->Release();
  d3d->Release();
}

void BM_AllTwelve(benchmark::State& state) { loadMeshes(state, {std::begin(kMeshes), std::end(kMeshes)}); }
BENCHMARK(BM_AllTwelve)->Unit(benchmark::kMillisecond);

void BM_OneMesh(benchmark::State& state) {
  const char* name = kMeshes[state.range(0)];
  state.SetLabel(name);
  loadMeshes(state, {name});
}
BENCHMARK(BM_OneMesh)->DenseRange(0, 11)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
