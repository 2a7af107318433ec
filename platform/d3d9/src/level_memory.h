// Memory for texture levels. A program that releases its textures and makes them again (a
// scene reloaded, a device reset) asks for the same sizes; blocks of a few hundred KB and up
// would otherwise go back to the system on release and come back as fresh pages, each one
// faulted in again. The device keeps released blocks, up to a limit, for the next texture of
// the same size. Blocks hold stale bytes: textures clear what they hand out unwritten.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>

namespace d3d9 {

class LevelMemory {
 public:
  static constexpr size_t kKeptBytes = size_t{64} << 20;

  // A block of `size` bytes, uninitialised; throws std::bad_alloc.
  std::unique_ptr<uint8_t[]> take(size_t size);
  // Keeps a released block while the kept total stays within kKeptBytes, else frees it.
  void give(std::unique_ptr<uint8_t[]> block, size_t size);

 private:
  std::multimap<size_t, std::unique_ptr<uint8_t[]>> m_kept;
  size_t m_keptBytes = 0;
};

}  // namespace d3d9
