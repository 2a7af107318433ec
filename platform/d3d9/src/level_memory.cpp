#include "level_memory.h"

namespace d3d9 {

std::unique_ptr<uint8_t[]> LevelMemory::take(size_t size) {
  if (auto kept = m_kept.find(size); kept != m_kept.end()) {
    std::unique_ptr<uint8_t[]> block = std::move(kept->second);
    m_kept.erase(kept);
    m_keptBytes -= size;
    return block;
  }
  return std::unique_ptr<uint8_t[]>(new uint8_t[size]);
}

void LevelMemory::give(std::unique_ptr<uint8_t[]> block, size_t size) {
  if (block == nullptr || size > kKeptBytes - m_keptBytes) return;
  m_kept.emplace(size, std::move(block));
  m_keptBytes += size;
}

}  // namespace d3d9
