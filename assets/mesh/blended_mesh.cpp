// Conversion of a skinned mesh for non-indexed vertex blending.
//
// Faces are taken in attribute order and each goes into the first combination of its
// attribute whose bones, together with the face's, still fit the largest face's count; a face
// moved by more than four bones keeps the four with the most weight on its corners. Each
// combination gets its own copies of the vertices its faces use, so one vertex can carry
// different weights in different combinations.
#include <algorithm>
#include <cstring>

#include "adjacency.h"
#include "mesh_buffers.h"
#include "skin_info.h"

namespace d3dx {
namespace {

// The fixed-function pipeline blends at most four world matrices.
constexpr size_t kMaxFaceBones = 4;
constexpr DWORD kEmptySlot = 0xFFFFFFFF;

struct Combination {
  DWORD attribute;
  std::vector<DWORD> bones;  // ascending
  std::vector<DWORD> faces;  // old face numbers
};

std::vector<DWORD> boneUnion(const std::vector<DWORD>& a, const std::vector<DWORD>& b) {
  std::vector<DWORD> all;
  std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(all));
  return all;
}

// The bones that may move a face: all of them, or the four that carry the most weight.
std::vector<DWORD> bonesOfFace(const VertexInfluences& influences, const DWORD corners[3]) {
  std::vector<BoneWeight> weighted = faceBones(influences, corners);
  if (weighted.size() > kMaxFaceBones) {
    std::stable_sort(weighted.begin(), weighted.end(),
                     [](const BoneWeight& a, const BoneWeight& b) { return a.weight > b.weight; });
    weighted.resize(kMaxFaceBones);
  }
  std::vector<DWORD> bones;
  for (const BoneWeight& w : weighted) bones.push_back(w.bone);
  std::sort(bones.begin(), bones.end());
  return bones;
}

DWORD blendedPosition(DWORD weights) {
  static constexpr DWORD kByWeights[] = {D3DFVF_XYZ, D3DFVF_XYZB1, D3DFVF_XYZB2, D3DFVF_XYZB3};
  return kByWeights[weights];
}

}  // namespace

HRESULT SkinInfo::ConvertToBlendedMesh(LPD3DXMESH mesh, DWORD options, const DWORD* adjacencyIn, LPDWORD adjacencyOut,
                                       DWORD* faceRemap, LPD3DXBUFFER* vertexRemap, DWORD* maxFaceInfl,
                                       DWORD* numBoneCombinations, LPD3DXBUFFER* boneCombinationTable,
                                       LPD3DXMESH* blendedMesh) {
  for (LPD3DXBUFFER* out : {vertexRemap, boneCombinationTable})
    if (out) *out = nullptr;
  if (blendedMesh) *blendedMesh = nullptr;
  if (mesh == nullptr || maxFaceInfl == nullptr || numBoneCombinations == nullptr || boneCombinationTable == nullptr ||
      blendedMesh == nullptr || (options & ~(kMeshCreationOptions | kMeshOptimizeFlags)) != 0 ||
      mesh->GetNumVertices() != m_vertexCount)
    return D3DERR_INVALIDCALL;
  const DWORD faceCount = mesh->GetNumFaces();
  if (adjacencyIn)
    for (size_t i = 0; i < size_t{faceCount} * 3; ++i)
      if (adjacencyIn[i] != kNoFace && adjacencyIn[i] >= faceCount) return D3DERR_INVALIDCALL;

  return guarded([&]() -> HRESULT {
    std::vector<DWORD> attributes;
    if (const HRESULT hr = readAttributes(mesh, attributes); FAILED(hr)) return hr;
    MeshBuffers source(mesh, D3DLOCK_READONLY);
    if (FAILED(source.result())) return source.result();
    if (source.layout().transformed) return D3DERR_INVALIDCALL;
    const std::vector<DWORD> indices = source.indices();
    const VertexInfluences influences = influencesByVertex();

    std::vector<std::vector<DWORD>> faceBoneSets(faceCount);
    size_t maxBones = 0;
    for (DWORD f = 0; f < faceCount; ++f) {
      faceBoneSets[f] = bonesOfFace(influences, &indices[size_t{f} * 3]);
      maxBones = std::max(maxBones, faceBoneSets[f].size());
    }

    std::vector<DWORD> byAttribute(faceCount);
    for (DWORD f = 0; f < faceCount; ++f) byAttribute[f] = f;
    std::stable_sort(byAttribute.begin(), byAttribute.end(),
                     [&](DWORD a, DWORD b) { return attributes[a] < attributes[b]; });
    std::vector<Combination> combinations;
    size_t firstOfAttribute = 0;
    for (DWORD f : byAttribute) {
      if (combinations.empty() || combinations.back().attribute != attributes[f])
        firstOfAttribute = combinations.size();
      Combination* home = nullptr;
      for (size_t c = firstOfAttribute; c < combinations.size() && home == nullptr; ++c) {
        std::vector<DWORD> bones = boneUnion(combinations[c].bones, faceBoneSets[f]);
        if (bones.size() <= maxBones) {
          home = &combinations[c];
          home->bones = std::move(bones);
        }
      }
      if (home == nullptr) home = &combinations.emplace_back(Combination{attributes[f], faceBoneSets[f], {}});
      home->faces.push_back(f);
    }

    // Lay the combinations out one after the other, each with its own vertex copies.
    const DWORD weightCount = maxBones > 1 ? static_cast<DWORD>(maxBones - 1) : 0;
    const DWORD blendedFvf =
        (mesh->GetFVF() & ~(D3DFVF_POSITION_MASK | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR)) |
        blendedPosition(weightCount);
    const FvfLayout layout = *fvfLayout(blendedFvf);
    std::vector<DWORD> newFaces, newIndices, newAttributes, newVertices;
    std::vector<BYTE> vertices;
    std::vector<DWORD> copyOf(m_vertexCount, kNoFace);  // old vertex -> copy in this combination
    for (DWORD c = 0; c < combinations.size(); ++c) {
      const Combination& combination = combinations[c];
      const DWORD vertexStart = static_cast<DWORD>(newVertices.size());
      for (DWORD f : combination.faces) {
        newFaces.push_back(f);
        newAttributes.push_back(c);
        for (DWORD corner = 0; corner < 3; ++corner) {
          const DWORD old = indices[size_t{f} * 3 + corner];
          if (copyOf[old] == kNoFace || copyOf[old] < vertexStart) {
            copyOf[old] = static_cast<DWORD>(newVertices.size());
            newVertices.push_back(old);
          }
          newIndices.push_back(copyOf[old]);
        }
      }
      // Weights in slot order, normalised over the combination's bones that move the vertex.
      vertices.resize(newVertices.size() * layout.size);
      for (DWORD v = vertexStart; v < newVertices.size(); ++v) {
        BYTE* vertex = vertices.data() + size_t{v} * layout.size;
        copySharedElements(source.layout(), source.vertex(newVertices[v]), layout, vertex);
        float slotWeights[kMaxFaceBones] = {};
        float total = 0;
        for (const BoneWeight& w : influences[newVertices[v]]) {
          const auto slot = std::lower_bound(combination.bones.begin(), combination.bones.end(), w.bone);
          if (slot == combination.bones.end() || *slot != w.bone) continue;
          slotWeights[slot - combination.bones.begin()] = w.weight;
          total += w.weight;
        }
        for (DWORD j = 0; j < weightCount; ++j) {
          const float weight = total > 0 ? slotWeights[j] / total : 0.0f;
          std::memcpy(vertex + 12 + 4 * j, &weight, 4);
        }
      }
    }

    ComPtr<IDirect3DDevice9> device;
    if (const HRESULT hr = mesh->GetDevice(device.receive()); FAILED(hr)) return hr;
    ComPtr<ID3DXMesh> blended;
    if (const HRESULT hr =
            D3DXCreateMeshFVF(faceCount, static_cast<DWORD>(newVertices.size()), options & kMeshCreationOptions,
                              blendedFvf, device.get(), blended.receive());
        FAILED(hr))
      return hr;
    if (const HRESULT hr = writeMesh(blended.get(), vertices.data(), newIndices.data(), newAttributes.data());
        FAILED(hr))
      return hr;

    // Records first, then the bone slots their BoneId pointers name.
    const size_t slots = maxBones;
    const size_t recordBytes = combinations.size() * sizeof(D3DXBONECOMBINATION);
    ComPtr<ID3DXBuffer> table;
    if (const HRESULT hr = D3DXCreateBuffer(
            static_cast<DWORD>(recordBytes + combinations.size() * slots * sizeof(DWORD)), table.receive());
        FAILED(hr))
      return hr;
    auto* records = static_cast<D3DXBONECOMBINATION*>(table->GetBufferPointer());
    auto* boneIds = reinterpret_cast<DWORD*>(static_cast<BYTE*>(table->GetBufferPointer()) + recordBytes);
    for (DWORD c = 0; c < combinations.size(); ++c) {
      records[c].AttribId = combinations[c].attribute;
      records[c].BoneId = boneIds + c * slots;
      for (size_t j = 0; j < slots; ++j)
        records[c].BoneId[j] = j < combinations[c].bones.size() ? combinations[c].bones[j] : kEmptySlot;
    }
    {
      // Subset c of the new mesh is combination c, so the attribute table has the ranges.
      std::vector<D3DXATTRIBUTERANGE> subsets(combinations.size());
      DWORD count = static_cast<DWORD>(subsets.size());
      if (const HRESULT hr = blended->GetAttributeTable(subsets.data(), &count); FAILED(hr)) return hr;
      for (DWORD c = 0; c < combinations.size(); ++c) {
        records[c].FaceStart = subsets[c].FaceStart;
        records[c].FaceCount = subsets[c].FaceCount;
        records[c].VertexStart = subsets[c].VertexStart;
        records[c].VertexCount = subsets[c].VertexCount;
      }
    }

    ComPtr<ID3DXBuffer> remap;
    if (vertexRemap) {
      if (const HRESULT hr = D3DXCreateBuffer(static_cast<DWORD>(newVertices.size() * sizeof(DWORD)), remap.receive());
          FAILED(hr))
        return hr;
      std::memcpy(remap->GetBufferPointer(), newVertices.data(), newVertices.size() * sizeof(DWORD));
    }
    if (adjacencyOut && adjacencyIn) {
      std::vector<DWORD> faceOf(faceCount), adjacency(size_t{faceCount} * 3);
      for (DWORD f = 0; f < faceCount; ++f) faceOf[newFaces[f]] = f;
      for (DWORD f = 0; f < faceCount; ++f)
        for (DWORD e = 0; e < 3; ++e) {
          const DWORD neighbour = adjacencyIn[size_t{newFaces[f]} * 3 + e];
          adjacency[size_t{f} * 3 + e] = neighbour == kNoFace ? kNoFace : faceOf[neighbour];
        }
      std::copy(adjacency.begin(), adjacency.end(), adjacencyOut);
    } else if (adjacencyOut) {
      if (const HRESULT hr = blended->GenerateAdjacency(0.0f, adjacencyOut); FAILED(hr)) return hr;
    }
    if (faceRemap) std::copy(newFaces.begin(), newFaces.end(), faceRemap);
    *maxFaceInfl = static_cast<DWORD>(maxBones);
    *numBoneCombinations = static_cast<DWORD>(combinations.size());
    *boneCombinationTable = table.detach();
    if (vertexRemap) *vertexRemap = remap.detach();
    *blendedMesh = blended.detach();
    return S_OK;
  });
}

}  // namespace d3dx
