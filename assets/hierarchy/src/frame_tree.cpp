// Operations on frame trees: destruction, search, appending and output registration.
#include <cstring>
#include <vector>

#include "d3dx9hierarchy.h"

namespace {

bool sameName(LPCSTR a, LPCSTR b) {
  if (a == b) return true;
  return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}

// Walked as a list rather than by recursion: files with thousands of top-level frames give
// the root that many children.
std::vector<LPD3DXFRAME> siblingChain(const D3DXFRAME* frame) {
  std::vector<LPD3DXFRAME> chain;
  for (; frame != nullptr; frame = frame->pFrameSibling) chain.push_back(const_cast<LPD3DXFRAME>(frame));
  return chain;
}

}  // namespace

extern "C" {

HRESULT WINAPI D3DXFrameDestroy(LPD3DXFRAME frame, LPD3DXALLOCATEHIERARCHY allocator) {
  if (frame == nullptr || allocator == nullptr) return D3DERR_INVALIDCALL;
  // Siblings are unlinked one at a time and children hoisted a level per round, so the
  // recursion goes no deeper than the tree, however long its sibling chains are.
  while (LPD3DXFRAME sibling = frame->pFrameSibling) {
    frame->pFrameSibling = sibling->pFrameSibling;
    sibling->pFrameSibling = nullptr;
    const HRESULT hr = D3DXFrameDestroy(sibling, allocator);
    if (FAILED(hr)) return hr;
  }
  while (LPD3DXFRAME child = frame->pFrameFirstChild) {
    frame->pFrameFirstChild = child->pFrameFirstChild;
    child->pFrameFirstChild = nullptr;
    const HRESULT hr = D3DXFrameDestroy(child, allocator);
    if (FAILED(hr)) return hr;
  }
  while (LPD3DXMESHCONTAINER container = frame->pMeshContainer) {
    frame->pMeshContainer = container->pNextMeshContainer;
    const HRESULT hr = allocator->DestroyMeshContainer(container);
    if (FAILED(hr)) return hr;
  }
  return allocator->DestroyFrame(frame);
}

LPD3DXFRAME WINAPI D3DXFrameFind(const D3DXFRAME* frame, LPCSTR name) {
  // The frame, then its sibling subtree, then its child subtree: the sibling chain's own
  // frames first, then the child subtrees from the last sibling back to the frame's own.
  const std::vector<LPD3DXFRAME> chain = siblingChain(frame);
  for (LPD3DXFRAME f : chain) {
    if (sameName(f->Name, name)) return f;
  }
  for (auto f = chain.rbegin(); f != chain.rend(); ++f) {
    if (LPD3DXFRAME found = D3DXFrameFind((*f)->pFrameFirstChild, name)) return found;
  }
  return nullptr;
}

HRESULT WINAPI D3DXFrameAppendChild(LPD3DXFRAME parent, const D3DXFRAME* child) {
  if (parent == nullptr || child == nullptr) return D3DERR_INVALIDCALL;
  LPD3DXFRAME* link = &parent->pFrameFirstChild;
  while (*link != nullptr) link = &(*link)->pFrameSibling;
  *link = const_cast<LPD3DXFRAME>(child);
  return S_OK;
}

HRESULT WINAPI D3DXFrameRegisterNamedMatrices(LPD3DXFRAME frame, LPD3DXANIMATIONCONTROLLER controller) {
  if (frame == nullptr || controller == nullptr) return D3DERR_INVALIDCALL;
  // Same order as D3DXFrameFind.
  const std::vector<LPD3DXFRAME> chain = siblingChain(frame);
  for (LPD3DXFRAME f : chain) {
    if (f->Name == nullptr) continue;
    const HRESULT hr =
        controller->RegisterAnimationOutput(f->Name, &f->TransformationMatrix, nullptr, nullptr, nullptr);
    if (FAILED(hr)) return hr;
  }
  for (auto f = chain.rbegin(); f != chain.rend(); ++f) {
    if ((*f)->pFrameFirstChild == nullptr) continue;
    const HRESULT hr = D3DXFrameRegisterNamedMatrices((*f)->pFrameFirstChild, controller);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

}  // extern "C"
