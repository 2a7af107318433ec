#include "adjacency.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <tuple>

namespace d3dx {

std::vector<DWORD> pointRepsFromPositions(const MeshBuffers& mesh, float epsilon) {
  const DWORD count = mesh.vertexCount();
  std::vector<D3DXVECTOR3> positions(count);
  for (DWORD v = 0; v < count; ++v) positions[v] = mesh.position(v);
  // Sorted by x, vertices within epsilon of each other sit in one window of the order. NaN
  // coordinates sort last and match nothing.
  std::vector<DWORD> order(count);
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(), [&](DWORD a, DWORD b) {
    const float xa = positions[a].x, xb = positions[b].x;
    if (std::isnan(xa) || std::isnan(xb)) return std::isnan(xa) == std::isnan(xb) ? a < b : std::isnan(xb);
    return std::tie(xa, a) < std::tie(xb, b);
  });
  std::vector<DWORD> rank(count);
  for (DWORD i = 0; i < count; ++i) rank[order[i]] = i;

  std::vector<DWORD> reps(count);
  std::iota(reps.begin(), reps.end(), 0u);
  auto close = [&](DWORD a, DWORD b) {
    return std::fabs(positions[a].y - positions[b].y) <= epsilon &&
           std::fabs(positions[a].z - positions[b].z) <= epsilon;
  };
  for (DWORD v = 0; v < count; ++v) {
    if (reps[v] != v) continue;
    auto claim = [&](DWORD w) {
      if (w > v && reps[w] == w && close(v, w)) reps[w] = v;
    };
    for (DWORD i = rank[v] + 1; i < count && positions[order[i]].x - positions[v].x <= epsilon; ++i) claim(order[i]);
    for (DWORD i = rank[v]; i-- > 0 && positions[v].x - positions[order[i]].x <= epsilon;) claim(order[i]);
  }
  return reps;
}

HRESULT adjacencyFromPointReps(const MeshBuffers& mesh, const DWORD* pointReps, DWORD* adjacency) {
  const DWORD faces = mesh.faceCount();
  for (DWORD v = 0; v < mesh.vertexCount(); ++v)
    if (pointReps[v] >= mesh.vertexCount()) return D3DERR_INVALIDCALL;
  struct EdgeEnd {
    DWORD low, high;  // representatives of the edge's ends
    bool rising;      // the face runs from low to high
    DWORD faceEdge;   // face * 3 + edge
  };
  std::vector<EdgeEnd> edges;
  edges.reserve(static_cast<size_t>(faces) * 3);
  for (DWORD f = 0; f < faces; ++f)
    for (DWORD e = 0; e < 3; ++e) {
      adjacency[f * 3 + e] = kNoFace;
      const DWORD a = pointReps[mesh.index(f, e)], b = pointReps[mesh.index(f, (e + 1) % 3)];
      if (a != b) edges.push_back({std::min(a, b), std::max(a, b), a < b, f * 3 + e});
    }
  std::sort(edges.begin(), edges.end(), [](const EdgeEnd& x, const EdgeEnd& y) {
    return std::tie(x.low, x.high, x.faceEdge) < std::tie(y.low, y.high, y.faceEdge);
  });
  std::vector<bool> paired(edges.size(), false);
  for (size_t begin = 0, end; begin < edges.size(); begin = end) {
    for (end = begin + 1;
         end < edges.size() && edges[end].low == edges[begin].low && edges[end].high == edges[begin].high;)
      ++end;
    for (size_t i = begin; i < end; ++i) {
      if (paired[i]) continue;
      const DWORD face = edges[i].faceEdge / 3;
      auto partner = [&](bool oppositeOnly) -> size_t {
        for (size_t j = i + 1; j < end; ++j)
          if (!paired[j] && edges[j].faceEdge / 3 != face && (!oppositeOnly || edges[j].rising != edges[i].rising))
            return j;
        return end;
      };
      size_t j = partner(true);
      if (j == end) j = partner(false);
      if (j == end) continue;
      paired[i] = paired[j] = true;
      adjacency[edges[i].faceEdge] = edges[j].faceEdge / 3;
      adjacency[edges[j].faceEdge] = face;
    }
  }
  return S_OK;
}

HRESULT pointRepsFromAdjacency(const MeshBuffers& mesh, const DWORD* adjacency, DWORD* pointReps) {
  const DWORD faces = mesh.faceCount();
  for (size_t i = 0; i < static_cast<size_t>(faces) * 3; ++i)
    if (adjacency[i] != kNoFace && adjacency[i] >= faces) return D3DERR_INVALIDCALL;
  // Union-find whose root is always the group's lowest vertex.
  std::vector<DWORD> parent(mesh.vertexCount());
  std::iota(parent.begin(), parent.end(), 0u);
  auto find = [&](DWORD v) {
    while (parent[v] != v) v = parent[v] = parent[parent[v]];
    return v;
  };
  auto join = [&](DWORD a, DWORD b) {
    a = find(a);
    b = find(b);
    if (a != b) parent[std::max(a, b)] = std::min(a, b);
  };
  auto distance = [&](DWORD a, DWORD b) {
    D3DXVECTOR3 pa = mesh.position(a), pb = mesh.position(b), d;
    return D3DXVec3Length(D3DXVec3Subtract(&d, &pa, &pb));
  };
  for (DWORD f = 0; f < faces; ++f)
    for (DWORD e = 0; e < 3; ++e) {
      const DWORD g = adjacency[f * 3 + e];
      if (g == kNoFace) continue;
      const DWORD a = mesh.index(f, e), b = mesh.index(f, (e + 1) % 3);
      for (DWORD k = 0; k < 3; ++k) {
        if (adjacency[g * 3 + k] != f) continue;
        const DWORD c = mesh.index(g, k), d = mesh.index(g, (k + 1) % 3);
        // Faces wound alike meet along opposite directions of the edge.
        if (distance(a, d) + distance(b, c) <= distance(a, c) + distance(b, d)) {
          join(a, d);
          join(b, c);
        } else {
          join(a, c);
          join(b, d);
        }
        break;
      }
    }
  for (DWORD v = 0; v < mesh.vertexCount(); ++v) pointReps[v] = find(v);
  return S_OK;
}

}  // namespace d3dx
