#include "hierarchy_json.h"

#include <d3dx9hierarchy.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "d3dx_com.h"

namespace xdump {
namespace {

using d3dx::ComPtr;

// Keeps what the loader hands over, as the program's own allocator would.
struct Container : D3DXMESHCONTAINER {
  std::string name;
  std::vector<D3DXMATERIAL> materials;
  std::vector<std::string> textures;
};

struct Frame : D3DXFRAME {
  std::string name;
};

class Allocator final : public ID3DXAllocateHierarchy {
 public:
  HRESULT STDMETHODCALLTYPE CreateFrame(LPCSTR name, LPD3DXFRAME* out) override {
    auto* f = new Frame{};
    if (name) f->name = name, f->Name = f->name.data();
    D3DXMatrixIdentity(&f->TransformationMatrix);
    *out = f;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* data, const D3DXMATERIAL* materials,
                                                const D3DXEFFECTINSTANCE*, DWORD numMaterials, const DWORD*,
                                                LPD3DXSKININFO skin, LPD3DXMESHCONTAINER* out) override {
    auto* c = new Container{};
    if (name) c->name = name, c->Name = c->name.data();
    c->MeshData = *data;
    c->MeshData.pMesh->AddRef();
    c->materials.assign(materials, materials + numMaterials);
    c->textures.resize(numMaterials);
    for (DWORD i = 0; i < numMaterials; ++i) {
      if (materials[i].pTextureFilename) c->textures[i] = materials[i].pTextureFilename;
      c->materials[i].pTextureFilename = materials[i].pTextureFilename ? c->textures[i].data() : nullptr;
    }
    c->NumMaterials = numMaterials;
    c->pSkinInfo = skin;
    if (skin) skin->AddRef();
    *out = c;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DestroyFrame(LPD3DXFRAME frame) override {
    delete static_cast<Frame*>(frame);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DestroyMeshContainer(LPD3DXMESHCONTAINER container) override {
    auto* c = static_cast<Container*>(container);
    c->MeshData.pMesh->Release();
    if (c->pSkinInfo) c->pSkinInfo->Release();
    delete c;
    return S_OK;
  }
};

void string(std::string& out, LPCSTR s) {
  if (s == nullptr) {
    out += "null";
    return;
  }
  out += '"';
  for (; *s; ++s) {
    const unsigned char ch = static_cast<unsigned char>(*s);
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += static_cast<char>(ch);
    } else if (ch < 0x20 || ch >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", ch);
      out += escaped;
    } else {
      out += static_cast<char>(ch);
    }
  }
  out += '"';
}

void number(std::string& out, double v) {
  if (!std::isfinite(v)) {
    out += "null";
    return;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", v);
  out += text;
}

std::vector<DWORD> facesPerAttribute(ID3DXMesh* mesh) {
  std::vector<DWORD> counts;
  DWORD* ids = nullptr;
  if (FAILED(mesh->LockAttributeBuffer(D3DLOCK_READONLY, &ids))) return counts;
  for (DWORD f = 0; f < mesh->GetNumFaces(); ++f) {
    if (ids[f] >= counts.size()) counts.resize(ids[f] + 1);
    ++counts[ids[f]];
  }
  mesh->UnlockAttributeBuffer();
  return counts;
}

void container(std::string& out, const Container& c) {
  ID3DXMesh* mesh = c.MeshData.pMesh;
  out += "{\"name\": ";
  string(out, c.Name);
  out += ", \"fvf\": " + std::to_string(mesh->GetFVF()) + ", \"vertices\": " + std::to_string(mesh->GetNumVertices()) +
         ", \"faces\": " + std::to_string(mesh->GetNumFaces()) + ", \"materials\": [";
  for (DWORD i = 0; i < c.NumMaterials; ++i) {
    const D3DCOLORVALUE& d = c.materials[i].MatD3D.Diffuse;
    out += i ? ", " : "";
    out += "{\"diffuse\": [";
    for (float v : {d.r, d.g, d.b, d.a}) number(out, v), out += ", ";
    out.resize(out.size() - 2);
    out += "], \"texture\": ";
    string(out, c.materials[i].pTextureFilename);
    out += "}";
  }
  out += "], \"attribute_faces\": [";
  const std::vector<DWORD> faces = facesPerAttribute(mesh);
  for (size_t i = 0; i < faces.size(); ++i) out += (i ? ", " : "") + std::to_string(faces[i]);
  out += "], \"bones\": " + std::to_string(c.pSkinInfo ? c.pSkinInfo->GetNumBones() : 0) + "}";
}

// Depth first: the frame, its children, then its siblings.
void frames(std::string& out, const D3DXFRAME* frame, long parent, long& index) {
  for (; frame; frame = frame->pFrameSibling) {
    const long self = index++;
    out += self ? ",\n  " : "\n  ";
    out += "{\"name\": ";
    string(out, frame->Name);
    out += ", \"parent\": " + (parent < 0 ? std::string("null") : std::to_string(parent)) + ", \"matrix\": [";
    for (int i = 0; i < 16; ++i) number(out, frame->TransformationMatrix.m[i / 4][i % 4]), out += i < 15 ? ", " : "";
    out += "], \"containers\": [";
    for (const D3DXMESHCONTAINER* c = frame->pMeshContainer; c; c = c->pNextMeshContainer) {
      if (c != frame->pMeshContainer) out += ", ";
      container(out, *static_cast<const Container*>(c));
    }
    out += "]}";
    frames(out, frame->pFrameFirstChild, self, index);
  }
}

void animation(std::string& out, ID3DXAnimationController* controller) {
  if (controller == nullptr) {
    out += "null";
    return;
  }
  ComPtr<ID3DXAnimationSet> playing;
  ComPtr<ID3DXKeyframedAnimationSet> keyframed;
  controller->GetTrackAnimationSet(0, playing.receive());
  if (playing) playing->QueryInterface(IID_ID3DXKeyframedAnimationSet, reinterpret_cast<void**>(keyframed.receive()));
  out += "{\"ticks_per_second\": ";
  number(out, keyframed ? keyframed->GetSourceTicksPerSecond() : 0.0);
  out += ", \"sets\": [";
  for (UINT s = 0; s < controller->GetNumAnimationSets(); ++s) {
    ComPtr<ID3DXAnimationSet> set;
    ComPtr<ID3DXKeyframedAnimationSet> keys;
    controller->GetAnimationSet(s, set.receive());
    set->QueryInterface(IID_ID3DXKeyframedAnimationSet, reinterpret_cast<void**>(keys.receive()));
    out += s ? ",\n  " : "\n  ";
    out += "{\"name\": ";
    string(out, set->GetName());
    out += ", \"period\": ";
    number(out, set->GetPeriod());
    out += ", \"animations\": [";
    for (UINT a = 0; a < set->GetNumAnimations(); ++a) {
      LPCSTR name = nullptr;
      set->GetAnimationNameByIndex(a, &name);
      out += a ? ", " : "";
      out += "{\"name\": ";
      string(out, name);
      if (keys) {
        out += ", \"scale_keys\": " + std::to_string(keys->GetNumScaleKeys(a)) +
               ", \"rotation_keys\": " + std::to_string(keys->GetNumRotationKeys(a)) +
               ", \"translation_keys\": " + std::to_string(keys->GetNumTranslationKeys(a));
      }
      out += "}";
    }
    out += "]}";
  }
  out += "]}";
}

}  // namespace

int printHierarchy(const std::string& bytes, const char* (*codeName)(HRESULT)) {
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  IDirect3DDevice9* device = nullptr;
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = pp.BackBufferHeight = 1;
  pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = TRUE;
  if (d3d == nullptr ||
      FAILED(d3d->CreateDevice(0, D3DDEVTYPE_NULLREF, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device))) {
    std::fprintf(stderr, "xdump: no NULLREF device\n");
    if (d3d) d3d->Release();
    return 1;
  }
  Allocator allocator;
  LPD3DXFRAME root = nullptr;
  ComPtr<ID3DXAnimationController> controller;
  const HRESULT hr =
      D3DXLoadMeshHierarchyFromXInMemory(bytes.data(), static_cast<DWORD>(bytes.size()), D3DXMESH_MANAGED, device,
                                         &allocator, nullptr, &root, controller.receive());
  std::string out = "{\"result\": ";
  string(out, codeName(hr));
  out += ", \"frames\": [";
  long index = 0;
  frames(out, root, -1, index);
  out += "],\n \"animation\": ";
  animation(out, controller.get());
  out += "}\n";
  std::fputs(out.c_str(), stdout);
  controller.reset();
  if (root) D3DXFrameDestroy(root, &allocator);
  device->Release();
  d3d->Release();
  return FAILED(hr) ? 1 : 0;
}

}  // namespace xdump
