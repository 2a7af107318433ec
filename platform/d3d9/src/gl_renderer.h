// The OpenGL 3.3 core side of a HAL device: the context on the window's SDL window, the
// fixed-function shader, uploads, draws, presentation and read-back. Only this file's .cpp
// (and the presentation pacer) talk to OpenGL and SDL.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device_state.h"
#include "format.h"

struct SDL_Window;

namespace d3d9 {

// Bits per colour channel of the window's framebuffer.
struct ColourBits {
  int red = 0, green = 0, blue = 0;
  bool operator==(const ColourBits&) const = default;
};

struct GlLimits {
  uint32_t maxTextureSize = 0;
  float maxPointSize = 1.0f;
  bool s3tc = false;
};

// One draw as the device has checked it.
struct DrawCall {
  D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
  uint32_t vertexCount = 0;  // vertices (non-indexed) or indices (indexed) to draw
  FvfLayout layout;
  uint32_t stride = 0;
  // Vertex source: either user memory (DrawPrimitiveUP) or a buffer.
  const void* userVertices = nullptr;
  size_t userBytes = 0;
  uint32_t vertexBuffer = 0;
  size_t vertexOffset = 0;   // bytes to vertex 0 of the stream
  uint32_t firstVertex = 0;  // non-indexed draws from a buffer
  // Indexed draws only.
  uint32_t indexBuffer = 0;
  uint32_t indexSize = 0;  // 2 or 4
  size_t indexOffset = 0;
  int32_t baseVertex = 0;
  uint32_t lowestIndex = 0, highestIndex = 0;  // spares the driver its own scan
};

class GlRenderer {
 public:
  // Null and a reason when no OpenGL 3.3 core context can be made on the window.
  static std::unique_ptr<GlRenderer> create(SDL_Window* window, std::string& error);
  // The limits of OpenGL here: those of a renderer made earlier, or of a context made on a
  // hidden window for the question. False when no OpenGL 3.3 core context can be made.
  static bool probeLimits(GlLimits& limits);
  ~GlRenderer();

  void makeCurrent();
  const GlLimits& limits() const;
  uint32_t backBufferWidth() const;
  uint32_t backBufferHeight() const;
  ColourBits backBufferBits() const;
  // Refresh rate of the window's display in Hz (60 when it reports none).
  uint32_t refreshRate() const;

  uint32_t createTexture(const TextureFormatInfo& format, uint32_t levels);
  void uploadTextureLevel(uint32_t name, const TextureFormatInfo& format, uint32_t level, uint32_t width,
                          uint32_t height, const uint8_t* bytes);
  void deleteTexture(uint32_t name);

  uint32_t createBuffer(size_t size, bool indexData);
  void uploadBuffer(uint32_t name, bool indexData, size_t offset, size_t size, const uint8_t* bytes);
  void deleteBuffer(uint32_t name);

  void clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil,
             DeviceState& state);
  // Applies what changed in the state, then draws. textureName 0 draws untextured.
  void draw(DeviceState& state, uint32_t textureName, const DrawCall& call);
  // Swaps and waits for the display refresh.
  void present();
  // The back buffer as 0xAARRGGBB pixels, rows top-down.
  void readBack(std::vector<uint32_t>& pixels, bool forceOpaque);
  // D3DPRESENT_INTERVAL_IMMEDIATE: show at once, no waiting for the refresh.
  void setPresentImmediately(bool immediately);
  // Whether swaps were measured to wait for the refresh (otherwise presents are paced).
  bool swapWaitsForRefresh() const;

 private:
  struct Impl;
  explicit GlRenderer(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> m_impl;
};

}  // namespace d3d9
