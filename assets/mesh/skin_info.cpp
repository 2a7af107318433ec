#include "skin_info.h"

#include <algorithm>
#include <cstring>

#include "fvf_layout.h"
#include "mesh_buffers.h"

extern "C" const IID IID_ID3DXSkinInfo = {0x11eaa540, 0xf9a6, 0x4d49, {0xae, 0x6a, 0xe1, 0x92, 0x21, 0xf7, 0x0c, 0xc4}};

namespace d3dx {
namespace {

bool skinnableFormat(DWORD fvf) {
  const auto layout = fvfLayout(fvf);
  return layout && !layout->transformed;
}

// Adds a weight to a list kept in ascending bone order.
void addWeight(std::vector<BoneWeight>& list, DWORD bone, float weight) {
  auto at = std::lower_bound(list.begin(), list.end(), bone, [](const BoneWeight& w, DWORD b) { return w.bone < b; });
  if (at != list.end() && at->bone == bone)
    at->weight += weight;
  else
    list.insert(at, {bone, weight});
}

}  // namespace

std::vector<BoneWeight> faceBones(const VertexInfluences& influences, const DWORD corners[3]) {
  std::vector<BoneWeight> bones;
  for (int c = 0; c < 3; ++c)
    for (const BoneWeight& w : influences[corners[c]]) addWeight(bones, w.bone, w.weight);
  return bones;
}

SkinInfo::SkinInfo(DWORD vertices, DWORD fvf, DWORD bones) : m_vertexCount(vertices), m_fvf(fvf), m_bones(bones) {
  for (Bone& bone : m_bones) D3DXMatrixIdentity(&bone.offset);
}

HRESULT SkinInfo::create(DWORD vertices, DWORD fvf, DWORD bones, ComPtr<SkinInfo>& skin) {
  if (!skinnableFormat(fvf)) return D3DERR_INVALIDCALL;
  return guarded([&] {
    skin = ComPtr<SkinInfo>::adopting(new SkinInfo(vertices, fvf, bones));
    return S_OK;
  });
}

HRESULT SkinInfo::SetBoneInfluence(DWORD bone, DWORD numInfluences, const DWORD* vertices, const FLOAT* weights) {
  if (bone >= m_bones.size() || (numInfluences > 0 && (vertices == nullptr || weights == nullptr)))
    return D3DERR_INVALIDCALL;
  // Every vertex is checked before anything changes: a conversion later indexes by them.
  if (std::any_of(vertices, vertices + numInfluences, [&](DWORD v) { return v >= m_vertexCount; }))
    return D3DERR_INVALIDCALL;
  return guarded([&] {
    Bone& b = m_bones[bone];
    b.vertices.assign(vertices, vertices + numInfluences);
    b.weights.assign(weights, weights + numInfluences);
    return S_OK;
  });
}

HRESULT SkinInfo::SetBoneVertexInfluence(DWORD boneNum, DWORD influenceNum, float weight) {
  if (boneNum >= m_bones.size() || influenceNum >= m_bones[boneNum].weights.size()) return D3DERR_INVALIDCALL;
  m_bones[boneNum].weights[influenceNum] = weight;
  return S_OK;
}

DWORD SkinInfo::GetNumBoneInfluences(DWORD bone) {
  return bone < m_bones.size() ? static_cast<DWORD>(m_bones[bone].vertices.size()) : 0;
}

HRESULT SkinInfo::GetBoneInfluence(DWORD bone, DWORD* vertices, FLOAT* weights) {
  if (bone >= m_bones.size() || vertices == nullptr || weights == nullptr) return D3DERR_INVALIDCALL;
  std::copy(m_bones[bone].vertices.begin(), m_bones[bone].vertices.end(), vertices);
  std::copy(m_bones[bone].weights.begin(), m_bones[bone].weights.end(), weights);
  return S_OK;
}

HRESULT SkinInfo::GetBoneVertexInfluence(DWORD boneNum, DWORD influenceNum, float* weight, DWORD* vertexNum) {
  if (boneNum >= m_bones.size() || influenceNum >= m_bones[boneNum].vertices.size() || weight == nullptr ||
      vertexNum == nullptr)
    return D3DERR_INVALIDCALL;
  *weight = m_bones[boneNum].weights[influenceNum];
  *vertexNum = m_bones[boneNum].vertices[influenceNum];
  return S_OK;
}

HRESULT SkinInfo::FindBoneVertexInfluenceIndex(DWORD boneNum, DWORD vertexNum, DWORD* influenceIndex) {
  if (boneNum >= m_bones.size() || influenceIndex == nullptr) return D3DERR_INVALIDCALL;
  const auto& vertices = m_bones[boneNum].vertices;
  const auto found = std::find(vertices.begin(), vertices.end(), vertexNum);
  if (found == vertices.end()) return D3DERR_INVALIDCALL;
  *influenceIndex = static_cast<DWORD>(found - vertices.begin());
  return S_OK;
}

VertexInfluences SkinInfo::influencesByVertex() const {
  VertexInfluences byVertex(m_vertexCount);
  for (DWORD b = 0; b < m_bones.size(); ++b)
    for (size_t i = 0; i < m_bones[b].vertices.size(); ++i)
      if (m_bones[b].weights[i] >= m_minWeight && m_bones[b].weights[i] > 0)
        addWeight(byVertex[m_bones[b].vertices[i]], b, m_bones[b].weights[i]);
  return byVertex;
}

HRESULT SkinInfo::GetMaxVertexInfluences(DWORD* maxVertexInfluences) {
  if (maxVertexInfluences == nullptr) return D3DERR_INVALIDCALL;
  return guarded([&] {
    size_t most = 0;
    for (const auto& list : influencesByVertex()) most = std::max(most, list.size());
    *maxVertexInfluences = static_cast<DWORD>(most);
    return S_OK;
  });
}

HRESULT SkinInfo::GetMaxFaceInfluences(LPDIRECT3DINDEXBUFFER9 indexBuffer, DWORD numFaces, DWORD* maxFaceInfluences) {
  if (indexBuffer == nullptr || maxFaceInfluences == nullptr) return D3DERR_INVALIDCALL;
  D3DINDEXBUFFER_DESC desc;
  if (const HRESULT hr = indexBuffer->GetDesc(&desc); FAILED(hr)) return hr;
  const size_t indexSize = desc.Format == D3DFMT_INDEX32 ? 4 : 2;
  if (uint64_t{numFaces} * 3 * indexSize > desc.Size) return D3DERR_INVALIDCALL;
  return guarded([&] {
    const VertexInfluences influences = influencesByVertex();
    void* data = nullptr;
    if (const HRESULT hr = indexBuffer->Lock(0, 0, &data, D3DLOCK_READONLY); FAILED(hr)) return hr;
    HRESULT result = S_OK;
    size_t most = 0;
    for (DWORD f = 0; f < numFaces && SUCCEEDED(result); ++f) {
      DWORD corners[3];
      for (size_t c = 0; c < 3; ++c) {
        const size_t i = size_t{f} * 3 + c;
        corners[c] = indexSize == 4 ? static_cast<const DWORD*>(data)[i] : static_cast<const uint16_t*>(data)[i];
        if (corners[c] >= m_vertexCount) result = D3DERR_INVALIDCALL;
      }
      if (SUCCEEDED(result)) most = std::max(most, faceBones(influences, corners).size());
    }
    indexBuffer->Unlock();
    *maxFaceInfluences = static_cast<DWORD>(most);
    return result;
  });
}

HRESULT SkinInfo::SetMinBoneInfluence(FLOAT minInfluence) {
  if (!(minInfluence >= 0)) return D3DERR_INVALIDCALL;
  m_minWeight = minInfluence;
  return S_OK;
}

HRESULT SkinInfo::SetBoneName(DWORD bone, LPCSTR name) {
  if (bone >= m_bones.size() || name == nullptr) return D3DERR_INVALIDCALL;
  return guarded([&] {
    m_bones[bone].name = name;
    return S_OK;
  });
}

LPCSTR SkinInfo::GetBoneName(DWORD bone) {
  return bone < m_bones.size() && m_bones[bone].name ? m_bones[bone].name->c_str() : nullptr;
}

HRESULT SkinInfo::SetBoneOffsetMatrix(DWORD bone, const D3DXMATRIX* boneTransform) {
  if (bone >= m_bones.size() || boneTransform == nullptr) return D3DERR_INVALIDCALL;
  m_bones[bone].offset = *boneTransform;
  return S_OK;
}

D3DXMATRIX* SkinInfo::GetBoneOffsetMatrix(DWORD bone) {
  return bone < m_bones.size() ? &m_bones[bone].offset : nullptr;
}

HRESULT SkinInfo::Clone(LPD3DXSKININFO* skinInfo) {
  if (skinInfo == nullptr) return D3DERR_INVALIDCALL;
  *skinInfo = nullptr;
  return guarded([&] {
    auto copy = ComPtr<SkinInfo>::adopting(new SkinInfo(m_vertexCount, m_fvf, 0));
    copy->m_minWeight = m_minWeight;
    copy->m_bones = m_bones;
    *skinInfo = copy.detach();
    return S_OK;
  });
}

HRESULT SkinInfo::Remap(DWORD numVertices, DWORD* vertexRemap) {
  if (vertexRemap == nullptr && numVertices > 0) return D3DERR_INVALIDCALL;
  if (std::any_of(vertexRemap, vertexRemap + numVertices, [&](DWORD v) { return v >= m_vertexCount; }))
    return D3DERR_INVALIDCALL;
  return guarded([&] {
    // Old vertex -> its new copies, as a list per old vertex in new-vertex order.
    std::vector<std::vector<DWORD>> copies(m_vertexCount);
    for (DWORD n = 0; n < numVertices; ++n) copies[vertexRemap[n]].push_back(n);
    std::vector<Bone> bones = m_bones;
    for (Bone& bone : bones) {
      bone.vertices.clear();
      bone.weights.clear();
    }
    for (size_t b = 0; b < m_bones.size(); ++b)
      for (size_t i = 0; i < m_bones[b].vertices.size(); ++i)
        for (DWORD n : copies[m_bones[b].vertices[i]]) {
          bones[b].vertices.push_back(n);
          bones[b].weights.push_back(m_bones[b].weights[i]);
        }
    m_bones = std::move(bones);
    m_vertexCount = numVertices;
    return S_OK;
  });
}

HRESULT SkinInfo::SetFVF(DWORD fvf) {
  if (!skinnableFormat(fvf)) return D3DERR_INVALIDCALL;
  m_fvf = fvf;
  return S_OK;
}

HRESULT SkinInfo::UpdateSkinnedMesh(const D3DXMATRIX* boneTransforms, const D3DXMATRIX* boneInvTransposeTransforms,
                                    LPCVOID verticesSrc, PVOID verticesDst) {
  if (boneTransforms == nullptr || verticesSrc == nullptr || verticesDst == nullptr) return D3DERR_INVALIDCALL;
  const D3DXMATRIX* normalTransforms = boneInvTransposeTransforms ? boneInvTransposeTransforms : boneTransforms;
  const FvfLayout layout = *fvfLayout(m_fvf);
  return guarded([&] {
    const VertexInfluences influences = influencesByVertex();
    for (DWORD v = 0; v < m_vertexCount; ++v) {
      const BYTE* source = static_cast<const BYTE*>(verticesSrc) + size_t{v} * layout.size;
      BYTE* destination = static_cast<BYTE*>(verticesDst) + size_t{v} * layout.size;
      std::memmove(destination, source, layout.size);
      float total = 0;
      for (const BoneWeight& w : influences[v]) total += w.weight;
      if (total <= 0) continue;  // no bone moves it
      float in[6] = {}, out[6] = {};
      std::memcpy(in, source, 12);
      if (layout.normal >= 0) std::memcpy(in + 3, source + layout.normal, 12);
      for (const BoneWeight& w : influences[v]) {
        const float share = w.weight / total;
        const D3DXMATRIX& m = boneTransforms[w.bone];
        const D3DXMATRIX& n = normalTransforms[w.bone];
        for (int col = 0; col < 3; ++col) {
          out[col] += share * (in[0] * m(0, col) + in[1] * m(1, col) + in[2] * m(2, col) + m(3, col));
          out[3 + col] += share * (in[3] * n(0, col) + in[4] * n(1, col) + in[5] * n(2, col));
        }
      }
      std::memcpy(destination, out, 12);
      if (layout.normal >= 0) std::memcpy(destination + layout.normal, out + 3, 12);
    }
    return S_OK;
  });
}

HRESULT SkinInfo::ConvertToIndexedBlendedMesh(LPD3DXMESH, DWORD, DWORD, const DWORD*, LPDWORD, DWORD*,
                                              LPD3DXBUFFER* vertexRemap, DWORD*, DWORD*,
                                              LPD3DXBUFFER* boneCombinationTable, LPD3DXMESH* blendedMesh) {
  for (LPD3DXBUFFER* out : {vertexRemap, boneCombinationTable})
    if (out) *out = nullptr;
  if (blendedMesh) *blendedMesh = nullptr;
  return E_NOTIMPL;  // the rendering device blends without matrix indices
}

}  // namespace d3dx

extern "C" HRESULT WINAPI D3DXCreateSkinInfoFVF(DWORD numVertices, DWORD fvf, DWORD numBones,
                                                LPD3DXSKININFO* skinInfo) {
  if (skinInfo == nullptr) return D3DERR_INVALIDCALL;
  *skinInfo = nullptr;
  d3dx::ComPtr<d3dx::SkinInfo> made;
  const HRESULT hr = d3dx::SkinInfo::create(numVertices, fvf, numBones, made);
  if (SUCCEEDED(hr)) *skinInfo = made.detach();
  return hr;
}
