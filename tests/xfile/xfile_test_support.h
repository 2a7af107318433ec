// Helpers of the X reader tests: opening data through the published interface and writing
// a data tree out as text for comparisons.
#pragma once

#include <d3dx9xof.h>

#include <cstring>
#include <string>
#include <vector>

#include "d3dx_com.h"

namespace xfile_test {

using d3dx::ComPtr;

inline HRESULT openMemory(ID3DXFile* file, const void* data, size_t size, ComPtr<ID3DXFileEnumObject>& out) {
  D3DXF_FILELOADMEMORY memory{data, size};
  return file->CreateEnumObject(&memory, D3DXF_FILELOAD_FROMMEMORY, out.receive());
}

inline HRESULT openText(ID3DXFile* file, const std::string& text, ComPtr<ID3DXFileEnumObject>& out) {
  return openMemory(file, text.data(), text.size(), out);
}

inline std::vector<uint8_t> packed(ID3DXFileData* data) {
  SIZE_T size = 0;
  LPCVOID bytes = nullptr;
  if (FAILED(data->Lock(&size, &bytes))) return {};
  std::vector<uint8_t> out(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + size);
  data->Unlock();
  return out;
}

inline std::string nameOf(ID3DXFileData* data) {
  SIZE_T size = 0;
  data->GetName(nullptr, &size);
  if (size == 0) return {};
  std::string name(size, '\0');
  data->GetName(name.data(), &size);
  name.resize(size - 1);
  return name;
}

inline ComPtr<ID3DXFileData> child(ID3DXFileData* parent, SIZE_T index) {
  ComPtr<ID3DXFileData> c;
  parent->GetChild(index, c.receive());
  return c;
}

inline ComPtr<ID3DXFileData> topLevel(ID3DXFileEnumObject* e, SIZE_T index) {
  ComPtr<ID3DXFileData> c;
  e->GetChild(index, c.receive());
  return c;
}

// One line per object: depth, type GUID, name, reference flag and a hash of its data.
// References are not followed, so a reference back up the tree cannot loop.
inline void describe(ID3DXFileData* data, int depth, std::string& out) {
  GUID type{};
  data->GetType(&type);
  const std::vector<uint8_t> bytes = packed(data);
  uint64_t hash = 1469598103934665603ull;
  for (uint8_t b : bytes) hash = (hash ^ b) * 1099511628211ull;
  char line[160];
  std::snprintf(line, sizeof line, "%d %08x %s %s %zu %016llx\n", depth, type.Data1, nameOf(data).c_str(),
                data->IsReference() ? "ref" : "-", bytes.size(), static_cast<unsigned long long>(hash));
  out += line;
  if (data->IsReference()) return;
  SIZE_T n = 0;
  data->GetChildren(&n);
  for (SIZE_T i = 0; i < n; ++i) describe(child(data, i).get(), depth + 1, out);
}

inline std::string describe(ID3DXFileEnumObject* e) {
  std::string out;
  SIZE_T n = 0;
  e->GetChildren(&n);
  for (SIZE_T i = 0; i < n; ++i) describe(topLevel(e, i).get(), 0, out);
  return out;
}

template <typename T>
void append(std::vector<uint8_t>& out, T value) {
  const auto* p = reinterpret_cast<const uint8_t*>(&value);
  out.insert(out.end(), p, p + sizeof value);
}

}  // namespace xfile_test
