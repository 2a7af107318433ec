// A read-only view of a resource of the program's own module. The bytes stay where they
// lie in the module image: they are never copied and never freed.
#pragma once

#include <windows.h>

struct ResourceData {
  const void* data = nullptr;
  DWORD size = 0;

  // Clears the view, then finds, loads, sizes and locks the resource of that name and type
  // (strings are matched without regard to case; MAKEINTRESOURCEA for integer names).
  // Returns the bytes, or null when the resource is absent, empty or cannot be locked;
  // `size` may then already hold the resource's size.
  const void* fromResource(LPCSTR name, LPCSTR type);
  void clear();
};
