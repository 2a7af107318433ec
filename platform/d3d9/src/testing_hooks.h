// The state behind the test interface that the layer itself consults.
#pragma once

#include "d3d9caps.h"

namespace d3d9 {

void applyCapsOverride(D3DCAPS9& caps);

}  // namespace d3d9
