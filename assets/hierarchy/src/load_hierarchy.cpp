// D3DXLoadMeshHierarchyFromXInMemory: frames and meshes through the caller's allocator, and
// the animation controller over the named frames.
#include <rmxftmpl.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "animation_reader.h"
#include "d3dx9hierarchy.h"
#include "mesh_reader.h"
#include "x_data.h"

namespace d3dx::hierarchy {
namespace {

constexpr UINT kControllerTracks = 2;
constexpr UINT kControllerEvents = 30;

template <typename F>
HRESULT guarded(F&& f) {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

class Loader {
 public:
  Loader(DWORD options, IDirect3DDevice9* device, ID3DXAllocateHierarchy* allocator, ID3DXLoadUserData* userData)
      : m_meshOptions(options), m_device(device), m_allocator(allocator), m_userData(userData) {}

  HRESULT load(ID3DXFileEnumObject* file, LPD3DXFRAME* rootOut, LPD3DXANIMATIONCONTROLLER* controllerOut);

 private:
  HRESULT readTopLevel(ID3DXFileData* object);
  HRESULT loadFrame(ID3DXFileData* object, LPD3DXFRAME parent);
  HRESULT readFrameChild(ID3DXFileData* child, LPD3DXFRAME frame);
  HRESULT loadMesh(ID3DXFileData* object, LPD3DXFRAME frame);
  HRESULT makeController(LPD3DXFRAME root, ComPtr<ID3DXAnimationController>& controller);
  void appendTopLevel(LPD3DXFRAME frame);
  HRESULT createFrame(const std::string& name, LPD3DXFRAME& frame);

  DWORD m_meshOptions;
  IDirect3DDevice9* m_device;
  ID3DXAllocateHierarchy* m_allocator;
  ID3DXLoadUserData* m_userData;
  UINT m_namedFrameCount = 0;
  double m_ticksPerSecond = 4800.0;
  // The top-level frames, linked as siblings in file order, so that one D3DXFrameDestroy
  // frees them all when the load fails.
  LPD3DXFRAME m_first = nullptr;
  LPD3DXFRAME m_last = nullptr;
  std::vector<ComPtr<ID3DXKeyframedAnimationSet>> m_sets;  // file order
};

HRESULT Loader::createFrame(const std::string& name, LPD3DXFRAME& frame) {
  frame = nullptr;
  const HRESULT hr = m_allocator->CreateFrame(name.empty() ? nullptr : name.c_str(), &frame);
  if (FAILED(hr)) return hr;
  if (frame == nullptr) return E_OUTOFMEMORY;
  if (!name.empty()) ++m_namedFrameCount;
  return S_OK;
}

void Loader::appendTopLevel(LPD3DXFRAME frame) {
  if (m_last != nullptr)
    m_last->pFrameSibling = frame;
  else
    m_first = frame;
  m_last = frame;
}

HRESULT Loader::loadMesh(ID3DXFileData* object, LPD3DXFRAME frame) {
  LoadedMesh mesh;
  HRESULT hr = guarded([&] { return readMesh(object, m_meshOptions, m_device, mesh); });
  if (hr == D3DXERR_LOADEDMESHASNODATA) return S_OK;
  if (FAILED(hr)) return hr;
  const std::string name = nameOf(object);
  const D3DXMESHDATA data{D3DXMESHTYPE_MESH, mesh.mesh.get()};
  LPD3DXMESHCONTAINER container = nullptr;
  hr = m_allocator->CreateMeshContainer(
      name.empty() ? nullptr : name.c_str(), &data, mesh.materials.empty() ? nullptr : mesh.materials.data(),
      mesh.effects.empty() ? nullptr : mesh.effects.data(), static_cast<DWORD>(mesh.materials.size()),
      mesh.adjacency.data(), mesh.skin.get(), &container);
  if (FAILED(hr)) return hr;
  if (container == nullptr) return E_OUTOFMEMORY;
  // Linked first, so that a failing user callback leaves it to the frame's destruction.
  LPD3DXMESHCONTAINER* link = &frame->pMeshContainer;
  while (*link != nullptr) link = &(*link)->pNextMeshContainer;
  *link = container;
  if (m_userData == nullptr) return S_OK;
  for (const ComPtr<ID3DXFileData>& child : mesh.unread) {
    hr = m_userData->LoadMeshChildData(container, child.get());
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT Loader::readFrameChild(ID3DXFileData* child, LPD3DXFRAME frame) {
  const GUID type = typeOf(child);
  if (IsEqualGUID(type, kMeshId)) return loadMesh(child, frame);
  if (IsEqualGUID(type, kPatchMeshId) || IsEqualGUID(type, kPatchMesh9Id)) return E_NOTIMPL;
  if (IsEqualGUID(type, kFrameTransformMatrixId)) {
    DataCursor c(child);
    return c.read(frame->TransformationMatrix.m) ? S_OK : E_FAIL;
  }
  if (IsEqualGUID(type, kFrameId)) {
    // A reference to a frame is not instanced: it could name the frame itself.
    return child->IsReference() ? S_OK : loadFrame(child, frame);
  }
  return m_userData != nullptr ? m_userData->LoadFrameChildData(frame, child) : S_OK;
}

// Loads the frame with its subtree and appends it to the parent's children (without a parent,
// to the top-level list). On failure the subtree is destroyed.
HRESULT Loader::loadFrame(ID3DXFileData* object, LPD3DXFRAME parent) {
  LPD3DXFRAME frame = nullptr;
  HRESULT hr = guarded([&] { return createFrame(nameOf(object), frame); });
  if (FAILED(hr)) return hr;
  for (SIZE_T i = 0, n = childCount(object); i < n && SUCCEEDED(hr); ++i) {
    ComPtr<ID3DXFileData> child = childAt(object, i);
    if (child) hr = guarded([&] { return readFrameChild(child.get(), frame); });
  }
  if (FAILED(hr)) {
    D3DXFrameDestroy(frame, m_allocator);
    return hr;
  }
  if (parent != nullptr) return D3DXFrameAppendChild(parent, frame);
  appendTopLevel(frame);
  return S_OK;
}

HRESULT Loader::readTopLevel(ID3DXFileData* object) {
  const GUID type = typeOf(object);
  if (IsEqualGUID(type, kMeshId)) {
    LPD3DXFRAME frame = nullptr;
    HRESULT hr = createFrame({}, frame);
    if (FAILED(hr)) return hr;
    appendTopLevel(frame);
    return loadMesh(object, frame);
  }
  if (IsEqualGUID(type, kFrameId)) return loadFrame(object, nullptr);
  if (IsEqualGUID(type, kAnimTicksPerSecondId)) {
    DataCursor c(object);
    DWORD ticks = 0;
    if (c.size() == 4 && c.read(ticks)) m_ticksPerSecond = ticks;
    return S_OK;
  }
  if (IsEqualGUID(type, kAnimationSetId)) {
    ComPtr<ID3DXKeyframedAnimationSet> set;
    const HRESULT hr = guarded([&] { return readAnimationSet(object, m_ticksPerSecond, set); });
    if (FAILED(hr)) return hr;
    if (set) m_sets.push_back(std::move(set));
    return S_OK;
  }
  // Compressed animation sets are left to the caller like any other unknown object.
  return m_userData != nullptr ? m_userData->LoadTopLevelData(object) : S_OK;
}

// One output per named frame, the sets registered last to first, the file's last set on
// track 0.
HRESULT Loader::makeController(LPD3DXFRAME root, ComPtr<ID3DXAnimationController>& controller) {
  HRESULT hr = D3DXCreateAnimationController(m_namedFrameCount, static_cast<UINT>(m_sets.size()), kControllerTracks,
                                             kControllerEvents, controller.receive());
  if (FAILED(hr) || FAILED(hr = D3DXFrameRegisterNamedMatrices(root, controller.get()))) return hr;
  for (auto set = m_sets.rbegin(); set != m_sets.rend(); ++set)
    if (FAILED(hr = controller->RegisterAnimationSet(set->get()))) return hr;
  ID3DXAnimationSet* last = m_sets.back().get();
  if (FAILED(hr = controller->SetTrackAnimationSet(0, last)) || FAILED(hr = controller->SetTrackSpeed(0, 1.0f)) ||
      FAILED(hr = controller->SetTrackWeight(0, 1.0f)) || FAILED(hr = controller->SetTrackPosition(0, 0.0)) ||
      FAILED(hr = controller->SetTrackEnable(0, TRUE)))
    return hr;
  return S_OK;
}

HRESULT Loader::load(ID3DXFileEnumObject* file, LPD3DXFRAME* rootOut, LPD3DXANIMATIONCONTROLLER* controllerOut) {
  SIZE_T count = 0;
  HRESULT hr = file->GetChildren(&count);
  for (SIZE_T i = 0; i < count && SUCCEEDED(hr); ++i) {
    ComPtr<ID3DXFileData> object;
    hr = file->GetChild(i, object.receive());
    if (SUCCEEDED(hr)) hr = readTopLevel(object.get());
  }
  if (SUCCEEDED(hr) && m_first == nullptr) hr = E_FAIL;
  LPD3DXFRAME root = m_first;
  if (SUCCEEDED(hr) && m_first->pFrameSibling != nullptr) {
    LPD3DXFRAME top = nullptr;
    hr = createFrame({}, top);
    if (SUCCEEDED(hr)) top->pFrameFirstChild = m_first, root = top;
  }
  ComPtr<ID3DXAnimationController> controller;
  if (SUCCEEDED(hr) && controllerOut != nullptr && !m_sets.empty() && m_namedFrameCount > 0)
    hr = guarded([&] { return makeController(root, controller); });
  if (FAILED(hr)) {
    controller.reset();  // it points into the frames
    if (root != nullptr) D3DXFrameDestroy(root, m_allocator);
    return hr;
  }
  *rootOut = root;
  if (controllerOut != nullptr) *controllerOut = controller.detach();
  return S_OK;
}

HRESULT openWithBuiltIns(LPCVOID memory, DWORD size, ComPtr<ID3DXFileEnumObject>& out) {
  ComPtr<ID3DXFile> file;
  HRESULT hr = D3DXFileCreate(file.receive());
  if (FAILED(hr) || FAILED(hr = file->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES)) ||
      FAILED(hr = file->RegisterTemplates(XSKINEXP_TEMPLATES, std::strlen(XSKINEXP_TEMPLATES))) ||
      FAILED(hr = file->RegisterTemplates(XEXTENSIONS_TEMPLATES, std::strlen(XEXTENSIONS_TEMPLATES))))
    return hr;
  D3DXF_FILELOADMEMORY source{memory, size};
  return file->CreateEnumObject(&source, D3DXF_FILELOAD_FROMMEMORY, out.receive());
}

}  // namespace
}  // namespace d3dx::hierarchy

extern "C" {

HRESULT WINAPI D3DXLoadMeshHierarchyFromXInMemory(LPCVOID memory, DWORD size, DWORD options, LPDIRECT3DDEVICE9 device,
                                                  LPD3DXALLOCATEHIERARCHY allocator, LPD3DXLOADUSERDATA userDataLoader,
                                                  LPD3DXFRAME* frameHierarchy,
                                                  LPD3DXANIMATIONCONTROLLER* animationController) {
  if (memory == nullptr || size == 0 || device == nullptr || allocator == nullptr || frameHierarchy == nullptr)
    return D3DERR_INVALIDCALL;
  *frameHierarchy = nullptr;
  if (animationController != nullptr) *animationController = nullptr;
  d3dx::ComPtr<ID3DXFileEnumObject> file;
  const HRESULT hr = d3dx::hierarchy::guarded([&] { return d3dx::hierarchy::openWithBuiltIns(memory, size, file); });
  if (FAILED(hr)) return hr;
  d3dx::hierarchy::Loader loader(options, device, allocator, userDataLoader);
  return loader.load(file.get(), frameHierarchy, animationController);
}

HRESULT WINAPI D3DXLoadMeshHierarchyFromXA(LPCSTR filename, DWORD options, LPDIRECT3DDEVICE9 device,
                                           LPD3DXALLOCATEHIERARCHY allocator, LPD3DXLOADUSERDATA userDataLoader,
                                           LPD3DXFRAME* frameHierarchy,
                                           LPD3DXANIMATIONCONTROLLER* animationController) {
  if (filename == nullptr) return D3DERR_INVALIDCALL;
  std::vector<char> bytes;
  const HRESULT hr = d3dx::hierarchy::guarded([&] {
    std::ifstream in(filename, std::ios::binary);
    if (!in) return HRESULT{D3DXFERR_FILENOTFOUND};
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.bad() || bytes.size() > 0xFFFFFFFFu ? HRESULT{D3DXFERR_FILENOTFOUND} : S_OK;
  });
  if (FAILED(hr)) return hr;
  return D3DXLoadMeshHierarchyFromXInMemory(bytes.data(), static_cast<DWORD>(bytes.size()), options, device, allocator,
                                            userDataLoader, frameHierarchy, animationController);
}

}  // extern "C"
