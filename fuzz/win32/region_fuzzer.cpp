// ExtCreateRegion on arbitrary bytes: the bytes are copied to an exact-size buffer so that
// any read past the stated size is caught, and an accepted region must stay inside its
// own bounding box.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <windows.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  auto copy = std::make_unique<uint8_t[]>(size ? size : 1);
  if (size) std::memcpy(copy.get(), data, size);
  HRGN region = ExtCreateRegion(nullptr, static_cast<DWORD>(size), reinterpret_cast<const RGNDATA*>(copy.get()));
  if (!region) return 0;
  RECT box{};
  const int kind = GetRgnBox(region, &box);
  if (kind == ERROR) std::abort();
  if (kind != NULLREGION) {
    if (box.left >= box.right || box.top >= box.bottom) std::abort();
    // Right and bottom edges are exclusive; nothing lies outside the box.
    if (PtInRegion(region, box.right, box.top) || PtInRegion(region, box.left, box.bottom)) std::abort();
    if (box.left > INT32_MIN && PtInRegion(region, box.left - 1, box.top)) std::abort();
  }
  if (!DeleteObject(region)) std::abort();
  return 0;
}
