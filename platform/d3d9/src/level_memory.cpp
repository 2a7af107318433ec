#include "level_memory.h"

#include <sanitizer/asan_interface.h>  // the poisoning macros do nothing without ASan
#include <sys/mman.h>

#include <algorithm>
#include <cassert>
#include <new>

namespace d3d9 {

namespace {

constexpr size_t kAlignment = 64;
constexpr size_t kHugePage = size_t{2} << 20;

// Under AddressSanitizer every block is followed by a poisoned gap, and free ranges are
// poisoned too, so that a level written past its end is caught as with the system allocator.
// (GCC names the sanitizer with a macro, clang with a feature.)
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KQ_LEVEL_MEMORY_POISONED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(KQ_LEVEL_MEMORY_POISONED)
constexpr size_t kRedZone = kAlignment;
#else
constexpr size_t kRedZone = 0;
#endif

size_t roundUp(size_t value, size_t step) { return (value + step - 1) / step * step; }

}  // namespace

LevelMemory::~LevelMemory() {
  for (const Region& region : m_regions) {
    assert(region.used == 0 && "a texture outlived its device");
    unmap(region);
  }
}

LevelMemory::Region LevelMemory::map(size_t size) {
  // Mapped one huge page longer, so that the region can start on a huge-page boundary.
  const size_t reserved = size + kHugePage;
  void* mapped = mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  auto* start = static_cast<uint8_t*>(mapped);
  auto* base = reinterpret_cast<uint8_t*>(roundUp(reinterpret_cast<uintptr_t>(start), kHugePage));
  if (base != start) munmap(start, static_cast<size_t>(base - start));
  if (base + size != start + reserved) munmap(base + size, static_cast<size_t>(start + reserved - (base + size)));
  // Only advice: without transparent huge pages the region works with small ones.
  madvise(base, size, MADV_HUGEPAGE);
  ASAN_POISON_MEMORY_REGION(base, size);
  Region region;
  region.base = base;
  region.size = size;
  region.free.emplace(0, size);
  return region;
}

void LevelMemory::unmap(const Region& region) {
  ASAN_UNPOISON_MEMORY_REGION(region.base, region.size);
  munmap(region.base, region.size);
}

LevelMemory::Block LevelMemory::take(size_t requested) {
  if (requested > SIZE_MAX / 2) throw std::bad_alloc();
  const size_t size = roundUp(std::max<size_t>(requested, 1) + kRedZone, kAlignment);
  auto carve = [&](Region& region, std::map<size_t, size_t>::iterator range) {
    const size_t offset = range->first, left = range->second - size;
    region.free.erase(range);
    if (left != 0) region.free.emplace(offset + size, left);
    region.used += size;
    ASAN_UNPOISON_MEMORY_REGION(region.base + offset, requested);
    return Block(region.base + offset, Return(this, size));
  };
  // First fit, lowest region and address first: live ranges stay packed at the start of
  // the regions, and so do the huge pages they touch.
  for (Region& region : m_regions)
    for (auto range = region.free.begin(); range != region.free.end(); ++range)
      if (range->second >= size) return carve(region, range);
  m_regions.push_back(map(std::max(kRegionBytes, roundUp(size, kHugePage))));
  return carve(m_regions.back(), m_regions.back().free.begin());
}

void LevelMemory::give(uint8_t* bytes, size_t size) {
  if (bytes == nullptr) return;
  const auto owner = std::find_if(m_regions.begin(), m_regions.end(),
                                  [&](const Region& r) { return bytes >= r.base && bytes < r.base + r.size; });
  assert(owner != m_regions.end());
  Region& region = *owner;
  size_t offset = static_cast<size_t>(bytes - region.base), length = size;
  auto next = region.free.lower_bound(offset);
  if (next != region.free.end() && next->first == offset + length) {
    length += next->second;
    next = region.free.erase(next);
  }
  if (next != region.free.begin()) {
    const auto previous = std::prev(next);
    if (previous->first + previous->second == offset) {
      offset = previous->first;
      length += previous->second;
      region.free.erase(previous);
    }
  }
  region.free.emplace(offset, length);
  region.used -= size;
  ASAN_POISON_MEMORY_REGION(bytes, size);
  // One empty region is kept for the next scene; further ones go back to the system.
  if (region.used == 0 &&
      std::count_if(m_regions.begin(), m_regions.end(), [](const Region& r) { return r.used == 0; }) > 1) {
    unmap(region);
    m_regions.erase(owner);
  }
}

}  // namespace d3d9
