// Builds the mesh, materials, effect instances, adjacency and skin information of one Mesh
// data object, ready to be handed to an allocator's CreateMeshContainer.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "d3dx9hierarchy.h"
#include "d3dx_com.h"

namespace d3dx::hierarchy {

// What a Mesh object yields. The pointers in `materials` and `effects` point into the
// loaded object's own storage and stay valid while it lives (it is not copied or moved
// after readMesh).
class LoadedMesh {
 public:
  LoadedMesh() = default;
  LoadedMesh(const LoadedMesh&) = delete;
  LoadedMesh& operator=(const LoadedMesh&) = delete;

  ComPtr<ID3DXMesh> mesh;
  ComPtr<ID3DXSkinInfo> skin;  // null without bones
  std::vector<D3DXMATERIAL> materials;
  std::vector<D3DXEFFECTINSTANCE> effects;    // one per material
  std::vector<DWORD> adjacency;               // three per triangle
  std::vector<ComPtr<ID3DXFileData>> unread;  // children the reader did not consume

  struct EffectDefault {
    std::string name;
    D3DXEFFECTDEFAULTTYPE type;
    std::vector<uint8_t> value;
  };
  struct MaterialStore {
    std::optional<std::string> texture;
    std::optional<std::string> effectFile;
    std::vector<EffectDefault> defaults;
    std::vector<D3DXEFFECTDEFAULT> published;
  };
  std::vector<MaterialStore> store;
};

// D3DXERR_LOADEDMESHASNODATA for a mesh without vertices or triangles; E_FAIL and the other
// codes of the loader for malformed data.
HRESULT readMesh(ID3DXFileData* meshObject, DWORD options, IDirect3DDevice9* device, LoadedMesh& out);

}  // namespace d3dx::hierarchy
