// The one shader program that reproduces the fixed-function stages the program uses.
#pragma once

namespace d3d9 {

// GLSL 3.30 core sources. Attribute locations are fixed (see kAttrib*); matrices arrive as
// row-vector matrices unchanged, so the shader multiplies matrix * vector.
extern const char* const kFixedFunctionVertexShader;
extern const char* const kFixedFunctionFragmentShader;

enum AttribLocation : unsigned {
  kAttribPosition = 0,
  kAttribWeights = 1,
  kAttribNormal = 2,
  kAttribDiffuse = 3,
  kAttribSpecular = 4,
  kAttribTexCoord = 5,
  kAttribPointSize = 6,
};

}  // namespace d3d9
