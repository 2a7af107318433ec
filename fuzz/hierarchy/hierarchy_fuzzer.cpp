// Hierarchy loader on memory: never reads out of bounds, frees through the allocator exactly
// what it made whether the load succeeds or fails, and what it hands out can be animated.
#include <d3dx9hierarchy.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Makes bare records and aborts when the loader's destroy calls do not match its creates.
class CountingAllocator final : public ID3DXAllocateHierarchy {
 public:
  long live = 0;
  HRESULT STDMETHODCALLTYPE CreateFrame(LPCSTR name, LPD3DXFRAME* out) override {
    auto* f = new Frame{};
    if (name) f->name = name, f->Name = f->name.data();
    D3DXMatrixIdentity(&f->TransformationMatrix);
    *out = f;
    ++live;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateMeshContainer(LPCSTR, const D3DXMESHDATA* data, const D3DXMATERIAL* materials,
                                                const D3DXEFFECTINSTANCE* effects, DWORD numMaterials,
                                                const DWORD* adjacency, LPD3DXSKININFO skin,
                                                LPD3DXMESHCONTAINER* out) override {
    // Touch everything handed over, so that the sanitizers see any bad pointer.
    volatile size_t sum = 0;
    for (DWORD i = 0; i < numMaterials; ++i) {
      if (materials[i].pTextureFilename) sum = sum + std::string(materials[i].pTextureFilename).size();
      for (DWORD d = 0; d < effects[i].NumDefaults; ++d)
        sum = sum + static_cast<const uint8_t*>(effects[i].pDefaults[d].pValue)[effects[i].pDefaults[d].NumBytes - 1];
    }
    for (DWORD i = 0; i < data->pMesh->GetNumFaces() * 3; ++i) sum = sum + adjacency[i];
    auto* c = new D3DXMESHCONTAINER{};
    c->MeshData = *data;
    c->MeshData.pMesh->AddRef();
    c->pSkinInfo = skin;
    if (skin) skin->AddRef();
    *out = c;
    ++live;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DestroyFrame(LPD3DXFRAME frame) override {
    delete static_cast<Frame*>(frame);
    --live;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DestroyMeshContainer(LPD3DXMESHCONTAINER c) override {
    c->MeshData.pMesh->Release();
    if (c->pSkinInfo) c->pSkinInfo->Release();
    delete c;
    --live;
    return S_OK;
  }

 private:
  struct Frame : D3DXFRAME {
    std::string name;
  };
};

IDirect3DDevice9* nullDevice() {
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = pp.BackBufferHeight = 1;
  pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = TRUE;
  IDirect3DDevice9* device = nullptr;
  if (d3d == nullptr ||
      FAILED(d3d->CreateDevice(0, D3DDEVTYPE_NULLREF, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device)))
    std::abort();
  return device;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > (1u << 18)) return 0;
  static IDirect3DDevice9* device = nullDevice();
  CountingAllocator allocator;
  LPD3DXFRAME root = nullptr;
  ID3DXAnimationController* controller = nullptr;
  const HRESULT hr = D3DXLoadMeshHierarchyFromXInMemory(data, static_cast<DWORD>(size), D3DXMESH_MANAGED, device,
                                                        &allocator, nullptr, &root, &controller);
  if (SUCCEEDED(hr)) {
    if (controller) {
      controller->AdvanceTime(0.01, nullptr);
      controller->Release();
    }
    D3DXFrameFind(root, "x");
    if (FAILED(D3DXFrameDestroy(root, &allocator))) std::abort();
  } else if (root != nullptr || controller != nullptr) {
    std::abort();
  }
  if (allocator.live != 0) std::abort();
  return 0;
}
