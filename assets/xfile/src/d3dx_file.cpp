// The interface objects: the file object with its registered templates, the enumeration
// that owns one parsed file, and data objects that point into it.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "d3dx_com.h"
#include "x_document.h"

extern "C" const IID IID_ID3DXFile = {0xcef08cf9, 0x7b4f, 0x4429, {0x96, 0x24, 0x2a, 0x69, 0x0a, 0x93, 0x32, 0x01}};
extern "C" const IID IID_ID3DXFileEnumObject = {
    0xcef08cfa, 0x7b4f, 0x4429, {0x96, 0x24, 0x2a, 0x69, 0x0a, 0x93, 0x32, 0x01}};
extern "C" const IID IID_ID3DXFileData = {0xcef08cfd, 0x7b4f, 0x4429, {0x96, 0x24, 0x2a, 0x69, 0x0a, 0x93, 0x32, 0x01}};

namespace d3dx::xfile {
namespace {

class File;

// Owns one parsed file and keeps the file object that opened it alive.
class EnumObject final : public RefCounted<ID3DXFileEnumObject> {
 public:
  EnumObject(File* file, Document doc);

  HRESULT STDMETHODCALLTYPE GetFile(ID3DXFile** file) override;
  HRESULT STDMETHODCALLTYPE GetChildren(SIZE_T* children) override;
  HRESULT STDMETHODCALLTYPE GetChild(SIZE_T index, ID3DXFileData** data) override;
  HRESULT STDMETHODCALLTYPE GetDataObjectById(REFGUID id, ID3DXFileData** data) override;
  HRESULT STDMETHODCALLTYPE GetDataObjectByName(LPCSTR name, ID3DXFileData** data) override;

  const Document& document() const { return m_doc; }
  // A new data object with one reference, or E_OUTOFMEMORY.
  HRESULT makeData(uint32_t node, bool reference, ID3DXFileData** data);

 private:
  bool answersTo(REFIID riid) const override { return IsEqualGUID(riid, IID_ID3DXFileEnumObject); }

  ComPtr<File> m_file;
  Document m_doc;
};

class FileData final : public RefCounted<ID3DXFileData> {
 public:
  FileData(EnumObject* owner, uint32_t node, bool reference) : m_node(node), m_reference(reference) {
    m_owner.set(owner);
  }

  HRESULT STDMETHODCALLTYPE GetEnum(ID3DXFileEnumObject** enumObject) override {
    if (enumObject == nullptr) return D3DERR_INVALIDCALL;
    m_owner->AddRef();
    *enumObject = m_owner.get();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetName(LPSTR name, SIZE_T* size) override {
    if (size == nullptr) return D3DERR_INVALIDCALL;
    const std::string& n = node().name;
    const SIZE_T needed = n.empty() ? 0 : n.size() + 1;
    if (name == nullptr) {
      *size = needed;
      return S_OK;
    }
    if (*size < needed || *size == 0) return D3DXFERR_BADVALUE;
    std::memcpy(name, n.c_str(), n.size() + 1);
    *size = needed;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetId(GUID* id) override {
    if (id == nullptr) return D3DERR_INVALIDCALL;
    *id = node().id;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Lock(SIZE_T* size, LPCVOID* data) override {
    if (size == nullptr || data == nullptr) return D3DERR_INVALIDCALL;
    *size = node().dataSize;
    *data = m_owner->document().dataOf(node());
    return S_OK;
  }
  // The data is read-only and lives as long as the object: nothing to release.
  HRESULT STDMETHODCALLTYPE Unlock() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetType(GUID* type) override {
    if (type == nullptr) return D3DERR_INVALIDCALL;
    *type = node().type->id;
    return S_OK;
  }
  BOOL STDMETHODCALLTYPE IsReference() override { return m_reference ? TRUE : FALSE; }
  HRESULT STDMETHODCALLTYPE GetChildren(SIZE_T* children) override {
    if (children == nullptr) return D3DERR_INVALIDCALL;
    *children = node().children.size();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetChild(SIZE_T index, ID3DXFileData** data) override {
    if (data == nullptr) return D3DERR_INVALIDCALL;
    *data = nullptr;
    if (index >= node().children.size()) return D3DERR_INVALIDCALL;
    const Node::Child& c = node().children[index];
    return m_owner->makeData(c.node, c.reference, data);
  }

 private:
  bool answersTo(REFIID riid) const override { return IsEqualGUID(riid, IID_ID3DXFileData); }
  const Node& node() const { return m_owner->document().nodes[m_node]; }

  ComPtr<EnumObject> m_owner;
  uint32_t m_node;
  bool m_reference;
};

HRESULT readWholeFile(const char* path, std::vector<uint8_t>& out) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path, "rb"), std::fclose);
  if (!f) return D3DXFERR_FILENOTFOUND;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) out.insert(out.end(), chunk, chunk + n);
  return std::ferror(f.get()) ? D3DXFERR_BADFILE : S_OK;
}

class File final : public RefCounted<ID3DXFile> {
 public:
  File() : m_registered(std::make_shared<TemplateTable>()) {}

  HRESULT STDMETHODCALLTYPE CreateEnumObject(LPCVOID source, D3DXF_FILELOADOPTIONS options,
                                             ID3DXFileEnumObject** enumObject) override {
    if (enumObject == nullptr) return D3DERR_INVALIDCALL;
    *enumObject = nullptr;
    if (source == nullptr) return D3DERR_INVALIDCALL;
    try {
      const void* bytes = nullptr;
      size_t size = 0;
      std::vector<uint8_t> fileBytes;
      switch (options) {
        case D3DXF_FILELOAD_FROMMEMORY: {
          const auto* memory = static_cast<const D3DXF_FILELOADMEMORY*>(source);
          if (memory->lpMemory == nullptr) return D3DERR_INVALIDCALL;
          bytes = memory->lpMemory;
          size = memory->dSize;
          break;
        }
        case D3DXF_FILELOAD_FROMFILE:
          if (HRESULT hr = readWholeFile(static_cast<const char*>(source), fileBytes); FAILED(hr)) return hr;
          bytes = fileBytes.data();
          size = fileBytes.size();
          break;
        case D3DXF_FILELOAD_FROMRESOURCE: {
          const auto* res = static_cast<const D3DXF_FILELOADRESOURCE*>(source);
          HRSRC found = FindResourceA(res->hModule, res->lpName, res->lpType);
          if (found == nullptr) return D3DXFERR_RESOURCENOTFOUND;
          HGLOBAL loaded = LoadResource(res->hModule, found);
          bytes = loaded ? LockResource(loaded) : nullptr;
          size = SizeofResource(res->hModule, found);
          if (bytes == nullptr) return D3DXFERR_BADRESOURCE;
          break;
        }
        default:
          return E_NOTIMPL;  // wide-character paths
      }
      Document doc;
      if (HRESULT hr = parseXFile(bytes, size, m_registered, doc); FAILED(hr)) return hr;
      *enumObject = new EnumObject(this, std::move(doc));
      return S_OK;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }

  HRESULT STDMETHODCALLTYPE CreateSaveObject(LPCVOID, D3DXF_FILESAVEOPTIONS, D3DXF_FILEFORMAT,
                                             ID3DXFileSaveObject** saveObject) override {
    if (saveObject) *saveObject = nullptr;
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE RegisterTemplates(LPCVOID data, SIZE_T size) override {
    if (data == nullptr || size == 0) return D3DERR_INVALIDCALL;
    try {
      Document doc;
      if (HRESULT hr = parseXFile(data, size, m_registered, doc); FAILED(hr)) return hr;
      addTemplates(doc.own);
      return S_OK;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }

  HRESULT STDMETHODCALLTYPE RegisterEnumTemplates(ID3DXFileEnumObject* enumObject) override {
    if (enumObject == nullptr) return D3DERR_INVALIDCALL;
    try {
      // Only our own enumerations exist in this process.
      addTemplates(static_cast<EnumObject*>(enumObject)->document().own);
      return S_OK;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }

 private:
  bool answersTo(REFIID riid) const override { return IsEqualGUID(riid, IID_ID3DXFile); }

  // Open files keep the table they were parsed with, so a registration makes a new one.
  void addTemplates(const TemplateTable& added) {
    auto table = std::make_shared<TemplateTable>(*m_registered);
    table->addAll(added);
    m_registered = std::move(table);
  }

  std::shared_ptr<const TemplateTable> m_registered;
};

EnumObject::EnumObject(File* file, Document doc) : m_doc(std::move(doc)) { m_file.set(file); }

HRESULT EnumObject::GetFile(ID3DXFile** file) {
  if (file == nullptr) return D3DERR_INVALIDCALL;
  m_file->AddRef();
  *file = m_file.get();
  return S_OK;
}

HRESULT EnumObject::GetChildren(SIZE_T* children) {
  if (children == nullptr) return D3DERR_INVALIDCALL;
  *children = m_doc.topLevel.size();
  return S_OK;
}

HRESULT EnumObject::GetChild(SIZE_T index, ID3DXFileData** data) {
  if (data == nullptr) return D3DERR_INVALIDCALL;
  *data = nullptr;
  if (index >= m_doc.topLevel.size()) return D3DERR_INVALIDCALL;
  return makeData(m_doc.topLevel[index], false, data);
}

HRESULT EnumObject::GetDataObjectById(REFGUID id, ID3DXFileData** data) {
  if (data == nullptr) return D3DERR_INVALIDCALL;
  *data = nullptr;
  if (id == GUID{}) return D3DXFERR_NOTFOUND;  // objects without a GUID carry the null one
  for (uint32_t i = 0; i < m_doc.nodes.size(); ++i) {
    if (m_doc.nodes[i].id == id) return makeData(i, false, data);
  }
  return D3DXFERR_NOTFOUND;
}

HRESULT EnumObject::GetDataObjectByName(LPCSTR name, ID3DXFileData** data) {
  if (data == nullptr || name == nullptr) return D3DERR_INVALIDCALL;
  *data = nullptr;
  for (uint32_t i = 0; i < m_doc.nodes.size(); ++i) {
    if (m_doc.nodes[i].name == name) return makeData(i, false, data);
  }
  return D3DXFERR_NOTFOUND;
}

HRESULT EnumObject::makeData(uint32_t node, bool reference, ID3DXFileData** data) {
  auto* object = new (std::nothrow) FileData(this, node, reference);
  if (object == nullptr) return E_OUTOFMEMORY;
  *data = object;
  return S_OK;
}

}  // namespace
}  // namespace d3dx::xfile

extern "C" HRESULT WINAPI D3DXFileCreate(ID3DXFile** file) {
  if (file == nullptr) return D3DERR_INVALIDCALL;
  *file = new (std::nothrow) d3dx::xfile::File();
  return *file ? S_OK : E_OUTOFMEMORY;
}
