// Skin information: bones with names, offset matrices and weighted vertex influences.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <d3dx9mesh.h>

#include "d3dx_com.h"

namespace d3dx {

struct BoneWeight {
  DWORD bone;
  float weight;
};
// For each vertex, the bones that move it.
using VertexInfluences = std::vector<std::vector<BoneWeight>>;

class SkinInfo final : public RefCounted<ID3DXSkinInfo> {
 public:
  // D3DERR_INVALIDCALL for a format without an untransformed position.
  static HRESULT create(DWORD vertices, DWORD fvf, DWORD bones, ComPtr<SkinInfo>& skin);

  HRESULT STDMETHODCALLTYPE SetBoneInfluence(DWORD bone, DWORD numInfluences, const DWORD* vertices,
                                             const FLOAT* weights) override;
  HRESULT STDMETHODCALLTYPE SetBoneVertexInfluence(DWORD boneNum, DWORD influenceNum, float weight) override;
  DWORD STDMETHODCALLTYPE GetNumBoneInfluences(DWORD bone) override;
  HRESULT STDMETHODCALLTYPE GetBoneInfluence(DWORD bone, DWORD* vertices, FLOAT* weights) override;
  HRESULT STDMETHODCALLTYPE GetBoneVertexInfluence(DWORD boneNum, DWORD influenceNum, float* weight,
                                                   DWORD* vertexNum) override;
  HRESULT STDMETHODCALLTYPE GetMaxVertexInfluences(DWORD* maxVertexInfluences) override;
  DWORD STDMETHODCALLTYPE GetNumBones() override { return static_cast<DWORD>(m_bones.size()); }
  HRESULT STDMETHODCALLTYPE FindBoneVertexInfluenceIndex(DWORD boneNum, DWORD vertexNum,
                                                         DWORD* influenceIndex) override;
  HRESULT STDMETHODCALLTYPE GetMaxFaceInfluences(LPDIRECT3DINDEXBUFFER9 indexBuffer, DWORD numFaces,
                                                 DWORD* maxFaceInfluences) override;
  HRESULT STDMETHODCALLTYPE SetMinBoneInfluence(FLOAT minInfluence) override;
  FLOAT STDMETHODCALLTYPE GetMinBoneInfluence() override { return m_minWeight; }
  HRESULT STDMETHODCALLTYPE SetBoneName(DWORD bone, LPCSTR name) override;
  LPCSTR STDMETHODCALLTYPE GetBoneName(DWORD bone) override;
  HRESULT STDMETHODCALLTYPE SetBoneOffsetMatrix(DWORD bone, const D3DXMATRIX* boneTransform) override;
  D3DXMATRIX* STDMETHODCALLTYPE GetBoneOffsetMatrix(DWORD bone) override;
  HRESULT STDMETHODCALLTYPE Clone(LPD3DXSKININFO* skinInfo) override;
  HRESULT STDMETHODCALLTYPE Remap(DWORD numVertices, DWORD* vertexRemap) override;
  HRESULT STDMETHODCALLTYPE SetFVF(DWORD fvf) override;
  HRESULT STDMETHODCALLTYPE SetDeclaration(const D3DVERTEXELEMENT9*) override { return E_NOTIMPL; }
  DWORD STDMETHODCALLTYPE GetFVF() override { return m_fvf; }
  HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UpdateSkinnedMesh(const D3DXMATRIX* boneTransforms,
                                              const D3DXMATRIX* boneInvTransposeTransforms, LPCVOID verticesSrc,
                                              PVOID verticesDst) override;
  HRESULT STDMETHODCALLTYPE ConvertToBlendedMesh(LPD3DXMESH mesh, DWORD options, const DWORD* adjacencyIn,
                                                 LPDWORD adjacencyOut, DWORD* faceRemap, LPD3DXBUFFER* vertexRemap,
                                                 DWORD* maxFaceInfl, DWORD* numBoneCombinations,
                                                 LPD3DXBUFFER* boneCombinationTable, LPD3DXMESH* blendedMesh) override;
  HRESULT STDMETHODCALLTYPE ConvertToIndexedBlendedMesh(LPD3DXMESH, DWORD, DWORD, const DWORD*, LPDWORD, DWORD*,
                                                        LPD3DXBUFFER* vertexRemap, DWORD*, DWORD*,
                                                        LPD3DXBUFFER* boneCombinationTable,
                                                        LPD3DXMESH* blendedMesh) override;

 private:
  struct Bone {
    std::optional<std::string> name;
    D3DXMATRIX offset;
    std::vector<DWORD> vertices;
    std::vector<float> weights;
  };

  SkinInfo(DWORD vertices, DWORD fvf, DWORD bones);
  bool answersTo(REFIID riid) const override { return IsEqualGUID(riid, IID_ID3DXSkinInfo); }
  // The influences at or above the minimum weight, bones ascending; a bone listed twice for
  // one vertex counts once with the weights summed.
  VertexInfluences influencesByVertex() const;

  DWORD m_vertexCount;
  DWORD m_fvf;
  float m_minWeight = 0.0f;
  std::vector<Bone> m_bones;
};

// The bones that move any corner of a face with their summed weights, bones ascending.
std::vector<BoneWeight> faceBones(const VertexInfluences& influences, const DWORD corners[3]);

}  // namespace d3dx
