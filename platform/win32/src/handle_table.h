// Handle values for the layer's objects. A handle is a number that is never reused while
// the process runs, so a stale handle is reliably recognised as dead instead of reaching
// whatever object happens to live at a recycled address.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace win32 {

template <typename Object>
class HandleTable {
 public:
  // base keeps the handle kinds apart (a window handle is never a valid GDI handle).
  explicit HandleTable(uintptr_t base) : m_next(base) {}

  uintptr_t add(std::shared_ptr<Object> object) {
    std::lock_guard lock(m_mutex);
    m_next += 4;
    m_objects.emplace(m_next, std::move(object));
    return m_next;
  }
  std::shared_ptr<Object> find(uintptr_t handle) const {
    std::lock_guard lock(m_mutex);
    auto it = m_objects.find(handle);
    return it == m_objects.end() ? nullptr : it->second;
  }
  std::shared_ptr<Object> remove(uintptr_t handle) {
    std::lock_guard lock(m_mutex);
    auto it = m_objects.find(handle);
    if (it == m_objects.end()) return nullptr;
    auto object = std::move(it->second);
    m_objects.erase(it);
    return object;
  }
  // A snapshot in handle order (creation order), so callers may call out without the lock.
  std::vector<std::pair<uintptr_t, std::shared_ptr<Object>>> snapshot() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::pair<uintptr_t, std::shared_ptr<Object>>> all(m_objects.begin(), m_objects.end());
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return all;
  }

 private:
  mutable std::mutex m_mutex;
  uintptr_t m_next;
  std::unordered_map<uintptr_t, std::shared_ptr<Object>> m_objects;
};

}  // namespace win32
