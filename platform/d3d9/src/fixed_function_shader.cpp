#include "fixed_function_shader.h"

namespace d3d9 {

const char* const kFixedFunctionVertexShader = R"(#version 330 core
layout(location = 0) in vec3 a_position;
layout(location = 1) in vec4 a_weights;
layout(location = 2) in vec3 a_normal;
layout(location = 3) in vec4 a_diffuse;
layout(location = 4) in vec4 a_specular;
layout(location = 5) in vec2 a_texCoord;
layout(location = 6) in float a_pointSize;

uniform mat4 u_worldView[4];
uniform mat3 u_normalMatrix[4];
uniform mat4 u_projection;
uniform int u_blendWeights;      // 0: world matrix 0 alone; n: n weights and an implied last one
uniform vec2 u_pixelOffset;      // moves pixel centres to integer coordinates

uniform bool u_lighting;
uniform bool u_normalize;
uniform int u_diffuseSource;     // 0 material, 1 vertex diffuse, 2 vertex specular
uniform int u_ambientSource;
uniform int u_emissiveSource;
uniform vec4 u_materialDiffuse;
uniform vec4 u_materialAmbient;
uniform vec4 u_materialEmissive;
uniform vec4 u_globalAmbient;
uniform int u_lightCount;
uniform vec4 u_lightPosition[4];     // view space; w 0: directional, xyz towards the light
uniform vec4 u_lightDiffuse[4];
uniform vec4 u_lightAmbient[4];
uniform vec4 u_lightAttenuation[4];  // constant, linear, quadratic, range

uniform bool u_vertexPointSize;
uniform float u_pointSize;
uniform vec2 u_pointSizeLimits;
uniform bool u_pointScale;
uniform vec3 u_pointScaleFactors;
uniform float u_viewportHeight;

out vec4 v_diffuse;
out vec2 v_texCoord;

vec4 colourSource(int source, vec4 material) {
  if (source == 1) return a_diffuse;
  if (source == 2) return a_specular;
  return material;
}

void main() {
  vec4 position = vec4(a_position, 1.0);
  vec3 viewPosition;
  vec3 normal;
  if (u_blendWeights == 0) {
    viewPosition = (u_worldView[0] * position).xyz;
    normal = u_normalMatrix[0] * a_normal;
  } else {
    float last = 1.0;
    viewPosition = vec3(0.0);
    normal = vec3(0.0);
    for (int i = 0; i < u_blendWeights; ++i) {
      float weight = a_weights[i];
      last -= weight;
      viewPosition += weight * (u_worldView[i] * position).xyz;
      normal += weight * (u_normalMatrix[i] * a_normal);
    }
    viewPosition += last * (u_worldView[u_blendWeights] * position).xyz;
    normal += last * (u_normalMatrix[u_blendWeights] * a_normal);
  }

  if (u_lighting) {
    if (u_normalize && dot(normal, normal) > 0.0) normal = normalize(normal);
    vec4 diffuseColour = colourSource(u_diffuseSource, u_materialDiffuse);
    vec4 ambientColour = colourSource(u_ambientSource, u_materialAmbient);
    vec4 emissiveColour = colourSource(u_emissiveSource, u_materialEmissive);
    vec3 ambient = u_globalAmbient.rgb;
    vec3 diffuse = vec3(0.0);
    for (int i = 0; i < u_lightCount; ++i) {
      vec3 toLight = u_lightPosition[i].xyz;
      float attenuation = 1.0;
      if (u_lightPosition[i].w != 0.0) {
        vec3 offset = u_lightPosition[i].xyz - viewPosition;
        float distance = length(offset);
        if (distance > u_lightAttenuation[i].w) continue;  // out of range: no light at all
        toLight = distance > 0.0 ? offset / distance : vec3(0.0);
        float divisor = u_lightAttenuation[i].x + u_lightAttenuation[i].y * distance +
                        u_lightAttenuation[i].z * distance * distance;
        attenuation = divisor > 0.0 ? 1.0 / divisor : 1.0;
      }
      ambient += u_lightAmbient[i].rgb * attenuation;
      diffuse += u_lightDiffuse[i].rgb * max(dot(normal, toLight), 0.0) * attenuation;
    }
    vec3 colour = emissiveColour.rgb + ambientColour.rgb * ambient + diffuseColour.rgb * diffuse;
    v_diffuse = vec4(clamp(colour, 0.0, 1.0), clamp(diffuseColour.a, 0.0, 1.0));
  } else {
    v_diffuse = a_diffuse;
  }
  v_texCoord = a_texCoord;

  float size = u_vertexPointSize ? a_pointSize : u_pointSize;
  if (u_pointScale) {
    float distance = length(viewPosition);
    float divisor = u_pointScaleFactors.x + u_pointScaleFactors.y * distance +
                    u_pointScaleFactors.z * distance * distance;
    size = divisor > 0.0 ? u_viewportHeight * size * sqrt(1.0 / divisor) : size;
  }
  gl_PointSize = clamp(size, u_pointSizeLimits.x, u_pointSizeLimits.y);

  vec4 clip = u_projection * vec4(viewPosition, 1.0);
  clip.xy += u_pixelOffset * clip.w;
  clip.z = 2.0 * clip.z - clip.w;  // depth 0..1 to OpenGL's -1..1
  gl_Position = clip;
}
)";

const char* const kFixedFunctionFragmentShader = R"(#version 330 core
in vec4 v_diffuse;
in vec2 v_texCoord;

uniform sampler2D u_texture;
uniform bool u_hasTexture;
uniform bool u_pointSprite;
uniform int u_colourOp;
uniform int u_colourArg1;
uniform int u_colourArg2;
uniform int u_alphaOp;
uniform int u_alphaArg1;
uniform int u_alphaArg2;
uniform vec4 u_textureFactor;
uniform bool u_alphaTest;
uniform int u_alphaFunc;
uniform int u_alphaRef;

out vec4 fragColour;

vec4 argument(int arg, vec4 texel) {
  int selector = arg & 15;
  vec4 value = selector == 2 ? texel : selector == 3 ? u_textureFactor : v_diffuse;  // diffuse = current at stage 0
  if ((arg & 16) != 0) value = vec4(1.0) - value;
  if ((arg & 32) != 0) value = vec4(value.a);
  return value;
}

vec4 operation(int op, vec4 first, vec4 second) {
  if (op == 2) return first;
  if (op == 3) return second;
  if (op == 4) return first * second;
  return v_diffuse;
}

bool passes(int func, int value, int reference) {
  if (func == 1) return false;
  if (func == 2) return value < reference;
  if (func == 3) return value == reference;
  if (func == 4) return value <= reference;
  if (func == 5) return value > reference;
  if (func == 6) return value != reference;
  if (func == 7) return value >= reference;
  return true;
}

void main() {
  vec2 coordinates = u_pointSprite ? gl_PointCoord : v_texCoord;
  // An empty stage samples as opaque white, so untextured draws show their vertex colour.
  vec4 texel = u_hasTexture ? texture(u_texture, coordinates) : vec4(1.0);
  vec4 colour = v_diffuse;
  if (u_colourOp != 1) {
    colour.rgb = operation(u_colourOp, argument(u_colourArg1, texel), argument(u_colourArg2, texel)).rgb;
    if (u_alphaOp != 1) colour.a = operation(u_alphaOp, argument(u_alphaArg1, texel), argument(u_alphaArg2, texel)).a;
  }
  colour = clamp(colour, 0.0, 1.0);
  if (u_alphaTest && !passes(u_alphaFunc, int(floor(colour.a * 255.0 + 0.5)), u_alphaRef)) discard;
  fragColour = colour;
}
)";

}  // namespace d3d9
