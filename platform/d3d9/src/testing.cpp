#include <utility>

#include "d3d9_testing.h"
#include "device.h"
#include "gl_renderer.h"
#include "testing_hooks.h"

namespace d3d9 {

namespace {

std::function<void(D3DCAPS9&)>& capsOverride() {
  static std::function<void(D3DCAPS9&)> adjust;
  return adjust;
}

}  // namespace

void applyCapsOverride(D3DCAPS9& caps) {
  if (capsOverride()) capsOverride()(caps);
}

}  // namespace d3d9

HRESULT d3d9ReadBackBuffer(IDirect3DDevice9* device, std::vector<uint32_t>& pixels, UINT* width, UINT* height) {
  auto* ours = dynamic_cast<d3d9::Device*>(device);
  if (ours == nullptr || ours->renderer() == nullptr) return D3DERR_INVALIDCALL;
  ours->makeCurrent();
  const bool opaque = ours->presentParameters().BackBufferFormat != D3DFMT_A8R8G8B8;
  ours->renderer()->readBack(pixels, opaque);
  if (width) *width = ours->renderer()->backBufferWidth();
  if (height) *height = ours->renderer()->backBufferHeight();
  return D3D_OK;
}

void d3d9SetCapsOverride(std::function<void(D3DCAPS9&)> adjust) { d3d9::capsOverride() = std::move(adjust); }

bool d3d9SwapWaitsForRefresh(IDirect3DDevice9* device) {
  auto* ours = dynamic_cast<d3d9::Device*>(device);
  return ours != nullptr && ours->renderer() != nullptr && ours->renderer()->swapWaitsForRefresh();
}
