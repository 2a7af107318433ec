// The program's resources, found in the table that the resource compiler links into each
// program. Names and types compare without regard to case; "#102" means identifier 102.
#include <strings.h>

#include <win32_layer.h>

namespace {

bool isOwnModule(HMODULE module) { return !module || module == GetModuleHandleA(nullptr); }

// An integer identifier, from MAKEINTRESOURCE or from a "#<decimal>" string.
bool asIdentifier(LPCSTR key, WORD* id) {
  if (IS_INTRESOURCE(key)) {
    *id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(key));
    return true;
  }
  if (key[0] != '#' || key[1] == '\0') return false;
  unsigned value = 0;
  for (const char* p = key + 1; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    value = value * 10 + static_cast<unsigned>(*p - '0');
    if (value > 0xFFFF) return false;
  }
  *id = static_cast<WORD>(value);
  return true;
}

bool keyMatches(const EmbeddedResourceKey& entry, LPCSTR key) {
  WORD id = 0;
  if (asIdentifier(key, &id)) return !entry.str && entry.id == id;
  return entry.str && strcasecmp(entry.str, key) == 0;
}

const EmbeddedResource* entryOf(HRSRC resource) {
  const auto* entry = reinterpret_cast<const EmbeddedResource*>(resource);
  // Only handles that FindResourceA gave out are accepted.
  for (size_t i = 0; i < kEmbeddedResourceCount; ++i)
    if (&kEmbeddedResources[i] == entry) return entry;
  return nullptr;
}

}  // namespace

extern "C" {

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
  if (!isOwnModule(module)) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  if (!name || !type) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  bool typeSeen = false;
  for (size_t i = 0; i < kEmbeddedResourceCount; ++i) {
    const EmbeddedResource& entry = kEmbeddedResources[i];
    if (!keyMatches(entry.type, type)) continue;
    typeSeen = true;
    if (keyMatches(entry.name, name)) return reinterpret_cast<HRSRC>(const_cast<EmbeddedResource*>(&entry));
  }
  SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
  return nullptr;
}

HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource) {
  const EmbeddedResource* entry = isOwnModule(module) ? entryOf(resource) : nullptr;
  if (!entry) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // The bytes stay where the program image holds them; "loading" hands out that address.
  return const_cast<unsigned char*>(entry->data);
}

DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource) {
  const EmbeddedResource* entry = isOwnModule(module) ? entryOf(resource) : nullptr;
  if (!entry) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return entry->size;
}

LPVOID WINAPI LockResource(HGLOBAL data) { return data; }

}  // extern "C"
