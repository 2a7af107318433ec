#include <cstring>
#include <numeric>
#include <vector>

#include "adjacency.h"

extern "C" HRESULT WINAPI D3DXComputeNormals(LPD3DXBASEMESH mesh, const DWORD* adjacency) {
  if (mesh == nullptr) return D3DERR_INVALIDCALL;
  d3dx::MeshBuffers buffers(mesh, 0);
  if (FAILED(buffers.result())) return buffers.result();
  const d3dx::FvfLayout& layout = buffers.layout();
  if (layout.normal < 0 || layout.transformed) return D3DERR_INVALIDCALL;

  std::vector<DWORD> reps(buffers.vertexCount());
  if (adjacency) {
    if (const HRESULT hr = d3dx::pointRepsFromAdjacency(buffers, adjacency, reps.data()); FAILED(hr)) return hr;
  } else {
    std::iota(reps.begin(), reps.end(), 0u);
  }
  // The cross product of two edges is twice the face's area long, which is the weight.
  std::vector<D3DXVECTOR3> sums(buffers.vertexCount(), D3DXVECTOR3(0, 0, 0));
  for (DWORD f = 0; f < buffers.faceCount(); ++f) {
    const DWORD i0 = buffers.index(f, 0), i1 = buffers.index(f, 1), i2 = buffers.index(f, 2);
    const D3DXVECTOR3 p0 = buffers.position(i0), p1 = buffers.position(i1), p2 = buffers.position(i2);
    D3DXVECTOR3 e1, e2, n;
    D3DXVec3Cross(&n, D3DXVec3Subtract(&e1, &p1, &p0), D3DXVec3Subtract(&e2, &p2, &p0));
    for (DWORD v : {i0, i1, i2}) {
      D3DXVECTOR3& sum = sums[reps[v]];
      sum = D3DXVECTOR3(sum.x + n.x, sum.y + n.y, sum.z + n.z);
    }
  }
  for (DWORD v = 0; v < buffers.vertexCount(); ++v) {
    D3DXVECTOR3 normal;
    D3DXVec3Normalize(&normal, &sums[reps[v]]);
    std::memcpy(buffers.vertex(v) + layout.normal, &normal, sizeof normal);
  }
  return S_OK;
}
