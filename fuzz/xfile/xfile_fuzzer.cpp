// X reader on memory (text, binary, compressed): never reads out of bounds, and whatever it
// accepts can be walked completely.
#include <d3dx9xof.h>
#include <rmxftmpl.h>

#include <cstdint>
#include <cstring>

namespace {

ID3DXFile* fileWithBuiltIns() {
  ID3DXFile* file = nullptr;
  if (FAILED(D3DXFileCreate(&file))) return nullptr;
  file->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES);
  file->RegisterTemplates(XSKINEXP_TEMPLATES, std::strlen(XSKINEXP_TEMPLATES));
  file->RegisterTemplates(XEXTENSIONS_TEMPLATES, std::strlen(XEXTENSIONS_TEMPLATES));
  return file;
}

void walk(ID3DXFileData* data) {
  SIZE_T size = 0;
  LPCVOID bytes = nullptr;
  if (SUCCEEDED(data->Lock(&size, &bytes))) {
    volatile uint8_t sum = 0;
    for (SIZE_T i = 0; i < size; ++i) sum = sum + static_cast<const uint8_t*>(bytes)[i];
    data->Unlock();
  }
  SIZE_T nameSize = 0;
  data->GetName(nullptr, &nameSize);
  if (data->IsReference()) return;
  SIZE_T children = 0;
  data->GetChildren(&children);
  for (SIZE_T i = 0; i < children; ++i) {
    ID3DXFileData* child = nullptr;
    if (SUCCEEDED(data->GetChild(i, &child))) {
      walk(child);
      child->Release();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  static ID3DXFile* file = fileWithBuiltIns();
  D3DXF_FILELOADMEMORY memory{data, size};
  ID3DXFileEnumObject* e = nullptr;
  if (FAILED(file->CreateEnumObject(&memory, D3DXF_FILELOAD_FROMMEMORY, &e))) return 0;
  SIZE_T n = 0;
  e->GetChildren(&n);
  for (SIZE_T i = 0; i < n; ++i) {
    ID3DXFileData* top = nullptr;
    if (SUCCEEDED(e->GetChild(i, &top))) {
      walk(top);
      top->Release();
    }
  }
  e->Release();
  return 0;
}
