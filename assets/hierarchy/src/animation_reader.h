// Reads AnimationSet objects into keyframed animation sets.
#pragma once

#include "d3dx9hierarchy.h"
#include "d3dx_com.h"

namespace d3dx::hierarchy {

// A looping set with one animation per readable Animation child, at the given rate; `set`
// stays null when no child could be read (an Animation that fails is dropped).
HRESULT readAnimationSet(ID3DXFileData* object, double ticksPerSecond, ComPtr<ID3DXKeyframedAnimationSet>& set);

}  // namespace d3dx::hierarchy
