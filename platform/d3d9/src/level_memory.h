// Memory for texture levels, handed out the way a driver hands out video memory: from a few
// large regions rather than one allocation per texture. A fresh 4 KiB page costs a fault on
// first touch, and loading a scene touches tens of megabytes at once; regions are aligned
// and marked for transparent huge pages, so where the system offers them a 2 MiB page
// comes in with one fault. Released ranges stay in their region for the next texture.
// Ranges hold stale bytes (or zeros when fresh): textures clear what they hand out unwritten.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace d3d9 {

class LevelMemory {
 public:
  static constexpr size_t kRegionBytes = size_t{32} << 20;

  // Gives a range back to the memory it came from.
  class Return {
   public:
    Return() = default;
    Return(LevelMemory* owner, size_t size) : m_owner(owner), m_size(size) {}
    void operator()(uint8_t* bytes) const { m_owner->give(bytes, m_size); }

   private:
    LevelMemory* m_owner = nullptr;
    size_t m_size = 0;
  };
  using Block = std::unique_ptr<uint8_t[], Return>;

  LevelMemory() = default;
  LevelMemory(const LevelMemory&) = delete;
  LevelMemory& operator=(const LevelMemory&) = delete;
  // Every block must have been returned.
  ~LevelMemory();

  // `size` bytes, 64-byte aligned, uninitialised; throws std::bad_alloc.
  Block take(size_t size);

 private:
  struct Region {
    uint8_t* base = nullptr;
    size_t size = 0;
    size_t used = 0;
    std::map<size_t, size_t> free;  // offset -> length; neighbours are always merged
  };

  void give(uint8_t* bytes, size_t size);
  static Region map(size_t size);
  static void unmap(const Region& region);

  std::vector<Region> m_regions;
};

}  // namespace d3d9
