// Image decoding throughput per format (bytes of file per second) and the creation of all
// the scene's textures: the two JPEGs, the overlay 9 times, the six train pictures and the
// wheel 24 times in the extended form, the five smoke pictures, all with full mip chains.
// The scene's total is split by running it without mip levels and with decoding alone, and
// measured once more with every texture in fresh memory.
// Formats the program does not use are made from its background picture with ImageMagick
// at start-up (skipped when that fails).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "d3d9_test_device.h"
#include "d3dx9tex.h"
#include "image_decoder.h"

namespace {

std::vector<uint8_t> resourceBytes(const char* name) {
  HRSRC found = FindResourceA(nullptr, name, RT_RCDATA);
  const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
  return {bytes, bytes + SizeofResource(nullptr, found)};
}

// The background picture re-encoded by ImageMagick; empty when that is not possible.
std::vector<uint8_t> reencoded(const std::string& target) {
  const auto dir = std::filesystem::temp_directory_path() / "texture_bench";
  std::filesystem::create_directories(dir);
  const auto source = dir / "source.jpg";
  const auto jpeg = resourceBytes("FINAL_BACK.JPG");
  std::ofstream(source, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), jpeg.size());
  const std::string file = (dir / target.substr(target.find(':') + 1)).string();
  const std::string prefix = target.find(':') == std::string::npos ? "" : target.substr(0, target.find(':') + 1);
  if (std::system(("convert " + source.string() + " " + prefix + file + " 2>/dev/null").c_str()) != 0) return {};
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void decodeBench(benchmark::State& state, const std::vector<uint8_t>& file) {
  if (file.empty()) {
    state.SkipWithError("no file");
    return;
  }
  for (auto _ : state) {
    d3dx::DecodedImage image;
    benchmark::DoNotOptimize(d3dx::decodeImage(file.data(), file.size(), true, nullptr, image));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.size()));
}

void registerDecodeBenchmarks() {
  struct Entry {
    const char* name;
    std::vector<uint8_t> file;
  };
  static std::vector<Entry> entries;
  entries.push_back({"BMP_24bit_256", resourceBytes("WAGON_1.BMP")});
  entries.push_back({"TGA_32bit_512", resourceBytes("FINAL_LAYER.TGA")});
  entries.push_back({"JPEG_512", resourceBytes("FINAL_BACK.JPG")});
  entries.push_back({"PNG_24bit_512", reencoded("PNG24:back.png")});
  entries.push_back({"DDS_DXT1_512", reencoded("back.dds")});
  entries.push_back({"PPM_512", reencoded("back.ppm")});
  entries.push_back({"PFM_512", reencoded("back.pfm")});
  entries.push_back({"HDR_512", reencoded("back.hdr")});
  entries.push_back({"TGA_RLE_512", reencoded("back.tga")});
  for (const Entry& e : entries)
    benchmark::RegisterBenchmark((std::string("Decode/") + e.name).c_str(), decodeBench, std::cref(e.file))
        ->Unit(benchmark::kMicrosecond);
}

struct SceneTexture {
  const char* name;
  int count;
  bool extended;
};
constexpr SceneTexture kScene[] = {
    {"FINAL_BACK.JPG", 1, false}, {"CREDZ.JPG", 1, false},   {"FINAL_LAYER.TGA", 9, false}, {"COAL_LOCO.BMP", 1, true},
    {"WAGON_1.BMP", 1, true},     {"WAGON_2.BMP", 1, true},  {"WAGON_3.BMP", 1, true},      {"WAGON_4.BMP", 1, true},
    {"WAGON_5.BMP", 1, true},     {"WHEEL.BMP", 24, true},   {"SMOKE_1.TGA", 1, false},     {"SMOKE_2.TGA", 1, false},
    {"SMOKE_3.TGA", 1, false},    {"SMOKE_4.TGA", 1, false}, {"SMOKE_5.TGA", 1, false},
};

// range(0): 0 full chains (what the scene does), 1 a single level (decoding and conversion),
// 2 decoding alone, 3 full chains on a new device each pass, so that every level lands in
// memory the process has not touched since (the program's situation at start-up).
void BM_SceneTextures(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  const UINT levels = mode == 1 ? 1 : D3DX_DEFAULT;
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;
  auto makeDevice = [&] { return SUCCEEDED(d3d9test::createNullRefDevice(512, 512, d3d, device)); };
  auto dropDevice = [&] {
    device->Release();
    d3d->Release();
  };
  if (!makeDevice()) {
    state.SkipWithError("no device");
    return;
  }
  std::vector<IDirect3DTexture9*> textures;
  for (auto _ : state) {
    for (const SceneTexture& t : kScene)
      for (int i = 0; i < t.count; ++i) {
        if (mode == 2) {
          HRSRC found = FindResourceA(nullptr, t.name, RT_RCDATA);
          d3dx::DecodedImage image;
          d3dx::decodeImage(LockResource(LoadResource(nullptr, found)), SizeofResource(nullptr, found), true, nullptr,
                            image);
          continue;
        }
        IDirect3DTexture9* texture = nullptr;
        const HRESULT hr = D3DXCreateTextureFromResourceExA(
            device, nullptr, t.name, D3DX_DEFAULT, D3DX_DEFAULT, levels, t.extended ? D3DUSAGE_DYNAMIC : 0,
            t.extended ? D3DFMT_R5G6B5 : D3DFMT_UNKNOWN, t.extended ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED, D3DX_DEFAULT,
            D3DX_DEFAULT, 0, nullptr, nullptr, &texture);
        if (FAILED(hr)) {
          state.SkipWithError(t.name);
          break;
        }
        textures.push_back(texture);
      }
    state.PauseTiming();
    for (IDirect3DTexture9* texture : textures) texture->Release();
    textures.clear();
    if (mode == 3) {
      dropDevice();
      if (!makeDevice()) state.SkipWithError("no device");
    }
    state.ResumeTiming();
  }
  dropDevice();
}
BENCHMARK(BM_SceneTextures)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);  // the display mode without a display
  registerDecodeBenchmarks();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
