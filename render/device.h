// The program's one Direct3D device, bound to the main window, and the render state every
// frame starts from.
#pragma once

#include <cstring>

#include <windows.h>
#include <d3d9.h>
#include <d3dx9math.h>

// The Direct3D object and the device; one reference each, owned here. Other parts draw,
// load textures and build meshes with `device` but never release it.
extern IDirect3D9* direct3D;
extern IDirect3DDevice9* device;
// Light 0 of the scene: a warm point light above and to the left of the train.
extern D3DLIGHT9 sceneLight;
extern D3DXMATRIX projectionMatrix;
extern D3DXMATRIX viewMatrix;
// World matrix of everything drawn untransformed (scene, credits, buttons, smoke).
extern D3DXMATRIX identityMatrix;

// A float render state (point sizes, scales) as the DWORD the device takes: its bits.
inline DWORD floatState(float value) {
  DWORD bits;
  static_assert(sizeof bits == sizeof value);
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Makes `direct3D` and `device` for the window (the main window), whose client area is the
// back buffer; any failure ends the program.
void createDevice(HWND window);
// Releases the device, then the Direct3D object, each only if present, and empties them.
// Safe at any time, also twice or when nothing was made.
void releaseDevice();
// Sets the base texture-stage, alpha, point-sprite, filtering, light and ambient state
// (ending the program if any of those calls fails), then projection, world and camera.
void applyBaseState();
