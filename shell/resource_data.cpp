#include "resource_data.h"

const void* ResourceData::fromResource(LPCSTR name, LPCSTR type) {
  clear();
  HRSRC resource = FindResourceA(nullptr, name, type);
  if (!resource) return nullptr;
  HGLOBAL loaded = LoadResource(nullptr, resource);
  if (!loaded) return nullptr;
  size = SizeofResource(nullptr, resource);
  if (size == 0) return nullptr;
  data = LockResource(loaded);
  return data;
}

void ResourceData::clear() {
  data = nullptr;
  size = 0;
}
