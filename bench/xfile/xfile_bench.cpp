// X reader throughput on the two large embedded meshes (the train's cabs and wheels): text as
// embedded, and the same files in binary form. Each iteration opens the file and walks every
// object (name, type, data, children), as the hierarchy loader does.
#include <benchmark/benchmark.h>
#include <d3dx9xof.h>
#include <rmxftmpl.h>

#include <cstring>
#include <vector>

#include "d3dx_com.h"
#include "generate.h"

namespace {

using d3dx::ComPtr;

struct Blob {
  const void* data;
  size_t size;
};

Blob resource(const char* name) {
  HRSRC found = FindResourceA(nullptr, name, "X");
  return {LockResource(LoadResource(nullptr, found)), SizeofResource(nullptr, found)};
}

const std::vector<assetgen::GeneratedFile>& binaryMeshes() {
  static const std::vector<assetgen::GeneratedFile> files = [] {
    std::vector<assetgen::GeneratedFile> f;
    assetgen::generateMeshes(assetgen::XFormat::kBinary, f);
    return f;
  }();
  return files;
}

Blob binary(const char* name) {
  for (const auto& f : binaryMeshes()) {
    if (f.name == name) return {f.bytes.data(), f.bytes.size()};
  }
  return {nullptr, 0};
}

void walk(ID3DXFileData* data, size_t& bytes) {
  SIZE_T size = 0, nameSize = 0;
  LPCVOID p = nullptr;
  GUID type;
  data->GetType(&type);
  data->GetName(nullptr, &nameSize);
  data->Lock(&size, &p);
  data->Unlock();
  bytes += size;
  if (data->IsReference()) return;
  SIZE_T n = 0;
  data->GetChildren(&n);
  for (SIZE_T i = 0; i < n; ++i) {
    ComPtr<ID3DXFileData> c;
    data->GetChild(i, c.receive());
    walk(c.get(), bytes);
  }
}

void parseAndWalk(benchmark::State& state, std::vector<Blob> files) {
  ComPtr<ID3DXFile> file;
  D3DXFileCreate(file.receive());
  file->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES);
  size_t total = 0;
  for (const Blob& b : files) total += b.size;
  for (auto _ : state) {
    size_t packed = 0;
    for (const Blob& b : files) {
      D3DXF_FILELOADMEMORY memory{b.data, b.size};
      ComPtr<ID3DXFileEnumObject> e;
      if (FAILED(file->CreateEnumObject(&memory, D3DXF_FILELOAD_FROMMEMORY, e.receive()))) {
        state.SkipWithError("parse failed");
        return;
      }
      SIZE_T n = 0;
      e->GetChildren(&n);
      for (SIZE_T i = 0; i < n; ++i) {
        ComPtr<ID3DXFileData> top;
        e->GetChild(i, top.receive());
        walk(top.get(), packed);
      }
    }
    benchmark::DoNotOptimize(packed);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * total));
}

void BM_TrainText(benchmark::State& state) {
  parseAndWalk(state, {resource("TRAIN_CABS.X"), resource("TRAIN_WHEELS.X")});
}
void BM_TrainBinary(benchmark::State& state) {
  parseAndWalk(state, {binary("TRAIN_CABS.X"), binary("TRAIN_WHEELS.X")});
}
BENCHMARK(BM_TrainText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrainBinary)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
