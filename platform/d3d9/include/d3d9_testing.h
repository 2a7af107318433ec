// Test interface of the Direct3D 9 layer (Linux side; program code never includes it).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "d3d9.h"

// Reads the device's back buffer as 0xAARRGGBB pixels, rows top-down (what Present would
// show next). Alpha reads 0xFF for back buffers without alpha. D3DERR_INVALIDCALL for a
// device without a back buffer (NULLREF) or null arguments.
HRESULT d3d9ReadBackBuffer(IDirect3DDevice9* device, std::vector<uint32_t>& pixels, UINT* width, UINT* height);

// Adjusts every capability record reported from now on (IDirect3D9 and devices), for
// testing callers against weaker hardware; an empty function restores the truth.
void d3d9SetCapsOverride(std::function<void(D3DCAPS9&)> adjust);

// Whether the device's swaps were measured to wait for the display refresh (false: Present
// paces itself to the refresh rate). False for NULLREF devices.
bool d3d9SwapWaitsForRefresh(IDirect3DDevice9* device);
