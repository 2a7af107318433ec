// Face adjacency and point representatives: which faces meet at an edge, and which vertices
// stand for one point of the surface.
#pragma once

#include <vector>

#include "mesh_buffers.h"

namespace d3dx {

constexpr DWORD kNoFace = 0xFFFFFFFF;

// Each vertex's representative: the lowest-numbered representative whose position lies within
// epsilon of it on every axis.
std::vector<DWORD> pointRepsFromPositions(const MeshBuffers& mesh, float epsilon);

// Three entries per face, one per edge (corner k to corner k + 1): the face across that edge,
// kNoFace when none. Edges are matched by the representatives of their ends; where more than
// two faces share an edge they are paired in face order, oppositely wound faces first.
// D3DERR_INVALIDCALL when a representative names no vertex.
HRESULT adjacencyFromPointReps(const MeshBuffers& mesh, const DWORD* pointReps, DWORD* adjacency);

// Joins the corners of every pair of faces the adjacency names (the nearer ends of the shared
// edge go together) and gives each vertex the lowest vertex of its group. D3DERR_INVALIDCALL
// when an entry names no face.
HRESULT pointRepsFromAdjacency(const MeshBuffers& mesh, const DWORD* adjacency, DWORD* pointReps);

}  // namespace d3dx
