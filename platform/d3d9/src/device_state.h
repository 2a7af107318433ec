// Everything a device remembers between calls, with the defaults a new device starts from.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <map>

#include "com_object.h"
#include "d3d9.h"

namespace d3d9 {

class Texture;
class VertexBuffer;
class IndexBuffer;

constexpr uint32_t kRenderStateCount = 256;
constexpr uint32_t kTextureStageCount = 8;
constexpr uint32_t kStageStateCount = 33;
constexpr uint32_t kSamplerCount = 16;
constexpr uint32_t kSamplerStateCount = 14;
constexpr uint32_t kBlendMatrixCount = 4;  // D3DTS_WORLDMATRIX(0..3)
constexpr uint32_t kMaxActiveLights = 4;

// What changed since the renderer last looked; it clears the bits it has applied.
enum DirtyBits : uint32_t {
  kDirtyTransforms = 1u << 0,
  kDirtyLighting = 1u << 1,
  kDirtyFragment = 1u << 2,
  kDirtyRaster = 1u << 3,
  kDirtySampler = 1u << 4,
  kDirtyViewport = 1u << 6,
  kDirtyPoint = 1u << 7,
  kDirtyAll = 0xFFFFFFFFu,
};

struct LightSlot {
  D3DLIGHT9 light{};
  bool enabled = false;
};

struct StreamSource {
  PrivateRef<VertexBuffer> buffer;
  UINT offset = 0;
  UINT stride = 0;
};

struct DeviceState {
  std::array<DWORD, kRenderStateCount> renderStates{};
  std::array<std::array<DWORD, kStageStateCount>, kTextureStageCount> stageStates{};
  std::array<std::array<DWORD, kSamplerStateCount>, kSamplerCount> samplerStates{};
  D3DMATRIX view{};
  D3DMATRIX projection{};
  std::array<D3DMATRIX, kBlendMatrixCount> world{};
  std::array<D3DMATRIX, kTextureStageCount> textureTransforms{};
  D3DMATERIAL9 material{};
  std::map<DWORD, LightSlot> lights;
  D3DVIEWPORT9 viewport{};
  DWORD fvf = 0;
  StreamSource stream0;
  PrivateRef<IndexBuffer> indices;
  std::array<PrivateRef<Texture>, kTextureStageCount> textures;
  BOOL softwareVertexProcessing = FALSE;
  uint32_t dirty = kDirtyAll;
};

// Puts every state at the value a freshly created device has.
void resetDeviceState(DeviceState& state, bool autoDepthStencil, UINT backBufferWidth, UINT backBufferHeight);

D3DMATRIX identityMatrix4();
// a x b in row-vector form: the transform that applies a, then b.
D3DMATRIX multiplyMatrices(const D3DMATRIX& a, const D3DMATRIX& b);
inline float floatBits(DWORD value) { return std::bit_cast<float>(value); }
inline DWORD dwordBits(float value) { return std::bit_cast<DWORD>(value); }

}  // namespace d3d9
