#include "gl_renderer.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>

#include "dxt_codec.h"
#include "fixed_function_shader.h"
#include "log.h"
#include "present_pacer.h"

namespace d3d9 {

namespace {

// Limits of the OpenGL seen by the last renderer made, so capability queries need no context.
std::optional<GlLimits>& cachedLimits() {
  static std::optional<GlLimits> limits;
  return limits;
}

// Debug builds report OpenGL errors (each distinct one once); a correct layer makes none.
void checkGlErrors([[maybe_unused]] const char* where) {
#ifndef NDEBUG
  for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError())
    logOnce("OpenGL error 0x%x after %s", static_cast<unsigned>(error), where);
#endif
}

GlLimits queryLimits() {
  GlLimits limits;
  GLint maxTexture = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
  limits.maxTextureSize = static_cast<uint32_t>(std::max(maxTexture, 0));
  GLfloat pointRange[2] = {1.0f, 1.0f};
  glGetFloatv(GL_POINT_SIZE_RANGE, pointRange);
  limits.maxPointSize = pointRange[1];
  limits.s3tc = epoxy_has_gl_extension("GL_EXT_texture_compression_s3tc");
  return limits;
}

struct GlTextureFormat {
  GLint internalFormat;
  GLenum format;
  GLenum type;
  std::array<GLint, 4> swizzle;
  GLenum compressed;  // 0 for uncompressed formats
};

// One switch from texture format to OpenGL upload; formats without alpha read alpha as one.
GlTextureFormat glTextureFormat(D3DFORMAT format) {
  constexpr std::array<GLint, 4> rgba = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
  constexpr std::array<GLint, 4> rgb1 = {GL_RED, GL_GREEN, GL_BLUE, GL_ONE};
  switch (format) {
    case D3DFMT_A8R8G8B8:
      return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, rgba, 0};
    case D3DFMT_X8R8G8B8:
      return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, rgb1, 0};
    case D3DFMT_R5G6B5:
      return {GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, rgb1, 0};
    case D3DFMT_X1R5G5B5:
      return {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, rgb1, 0};
    case D3DFMT_A1R5G5B5:
      return {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, rgba, 0};
    case D3DFMT_A4R4G4B4:
      return {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, rgba, 0};
    case D3DFMT_X4R4G4B4:
      return {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, rgb1, 0};
    case D3DFMT_A8:
      return {GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED}, 0};
    case D3DFMT_L8:
      return {GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_ONE}, 0};
    case D3DFMT_A8L8:
      return {GL_RG8, GL_RG, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_GREEN}, 0};
    case D3DFMT_DXT1:
      return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, rgba, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT};
    case D3DFMT_DXT3:
      return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, rgba, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT};
    case D3DFMT_DXT5:
      return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, rgba, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT};
    default:
      return {0, 0, 0, rgba, 0};
  }
}

GLenum glBlend(DWORD blend) {
  switch (blend) {
    case D3DBLEND_ZERO:
      return GL_ZERO;
    case D3DBLEND_ONE:
      return GL_ONE;
    case D3DBLEND_SRCCOLOR:
      return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
      return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
      return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
      return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
      return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
      return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
      return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
      return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
      return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR:
      return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR:
      return GL_ONE_MINUS_CONSTANT_COLOR;
    default:
      return GL_ONE;
  }
}

// BOTHSRCALPHA and BOTHINVSRCALPHA set both factors from the source one.
void glBlendPair(DWORD source, DWORD dest, GLenum& glSource, GLenum& glDest) {
  if (source == D3DBLEND_BOTHSRCALPHA) {
    glSource = GL_SRC_ALPHA;
    glDest = GL_ONE_MINUS_SRC_ALPHA;
  } else if (source == D3DBLEND_BOTHINVSRCALPHA) {
    glSource = GL_ONE_MINUS_SRC_ALPHA;
    glDest = GL_SRC_ALPHA;
  } else {
    glSource = glBlend(source);
    glDest = glBlend(dest);
  }
}

GLenum glBlendEquationFor(DWORD op) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT:
      return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
      return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
      return GL_MIN;
    case D3DBLENDOP_MAX:
      return GL_MAX;
    default:
      return GL_FUNC_ADD;
  }
}

GLenum glCompare(DWORD func) { return GL_NEVER + (std::clamp<DWORD>(func, 1, 8) - 1); }

GLenum glPrimitive(D3DPRIMITIVETYPE type) {
  switch (type) {
    case D3DPT_POINTLIST:
      return GL_POINTS;
    case D3DPT_LINELIST:
      return GL_LINES;
    case D3DPT_LINESTRIP:
      return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP:
      return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN:
      return GL_TRIANGLE_FAN;
    default:
      return GL_TRIANGLES;
  }
}

GLint glAddress(DWORD address) {
  switch (address) {
    case D3DTADDRESS_MIRROR:
      return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
      return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
      return GL_CLAMP_TO_BORDER;
    default:
      return GL_REPEAT;
  }
}

std::array<float, 4> colourValue(D3DCOLOR c) {
  return {static_cast<float>((c >> 16) & 0xFF) / 255.0f, static_cast<float>((c >> 8) & 0xFF) / 255.0f,
          static_cast<float>(c & 0xFF) / 255.0f, static_cast<float>(c >> 24) / 255.0f};
}

// Normals are transformed by the inverse transpose of the world-view matrix's 3 x 3 part
// (row-vector form); a singular matrix falls back to the matrix itself.
std::array<float, 9> normalMatrix(const D3DMATRIX& m) {
  const float a = m._11, b = m._12, c = m._13, d = m._21, e = m._22, f = m._23, g = m._31, h = m._32, i = m._33;
  const float det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
  if (std::fabs(det) < 1e-20f) return {a, b, c, d, e, f, g, h, i};
  const float s = 1.0f / det;
  // inverse[r][c]; the inverse transpose in row-major order is inverse laid out column by column.
  const float inv[3][3] = {{(e * i - f * h) * s, (c * h - b * i) * s, (b * f - c * e) * s},
                           {(f * g - d * i) * s, (a * i - c * g) * s, (c * d - a * f) * s},
                           {(d * h - e * g) * s, (b * g - a * h) * s, (a * e - b * d) * s}};
  return {inv[0][0], inv[1][0], inv[2][0], inv[0][1], inv[1][1], inv[2][1], inv[0][2], inv[1][2], inv[2][2]};
}

// False, and what the driver's log says in `error`, when a compile or link step failed.
template <typename GetStatus, typename GetLog>
bool succeeded(GLuint object, GLenum status, GetStatus getStatus, GetLog getLog, const char* what, std::string& error) {
  GLint ok = GL_FALSE;
  getStatus(object, status, &ok);
  if (ok) return true;
  char log[1024] = {};
  getLog(object, sizeof log, nullptr, log);
  error = std::string(what) + " failed: " + log;
  return false;
}

GLuint compileShader(GLenum kind, const char* source, std::string& error) {
  GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  if (!succeeded(shader, GL_COMPILE_STATUS, glGetShaderiv, glGetShaderInfoLog, "shader compilation", error)) {
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

struct Uniforms {
  GLint worldView, normalMatrix, projection, blendWeights, pixelOffset;
  GLint lighting, normalize, diffuseSource, ambientSource, emissiveSource;
  GLint materialDiffuse, materialAmbient, materialEmissive, globalAmbient;
  GLint lightCount, lightPosition, lightDiffuse, lightAmbient, lightAttenuation;
  GLint vertexPointSize, pointSize, pointSizeLimits, pointScale, pointScaleFactors, viewportHeight;
  GLint texture, hasTexture, pointSprite, colourOp, colourArg1, colourArg2, alphaOp, alphaArg1, alphaArg2;
  GLint textureFactor, alphaTest, alphaFunc, alphaRef;
};

// Values that depend on the draw as well as on the state; uploaded only when they change.
struct DrawUniforms {
  int blendWeights = -1;
  int diffuseSource = -1, ambientSource = -1, emissiveSource = -1;
  int vertexPointSize = -1, hasTexture = -1, pointSprite = -1;
  bool operator==(const DrawUniforms&) const = default;
};

struct VertexInputKey {
  GLuint buffer = 0;
  size_t offset = 0;
  uint32_t stride = 0;
  DWORD layoutKey = 0;
  bool operator==(const VertexInputKey&) const = default;
};

}  // namespace

struct GlRenderer::Impl {
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  GlLimits limits;
  int width = 0, height = 0;
  ColourBits bits;
  uint32_t refreshRate = 60;
  GLuint program = 0, vertexArray = 0, streamBuffer = 0, sampler = 0;
  Uniforms u{};
  DrawUniforms drawUniforms;
  VertexInputKey vertexInput;
  GLuint boundTexture = 0;
  GLuint boundIndexBuffer = 0;
  std::unique_ptr<PresentPacer> pacer;
  std::vector<uint32_t> decodeScratch;

  ~Impl() {
    if (context) {
      SDL_GL_MakeCurrent(window, context);
      if (program) glDeleteProgram(program);
      if (vertexArray) glDeleteVertexArrays(1, &vertexArray);
      if (streamBuffer) glDeleteBuffers(1, &streamBuffer);
      if (sampler) glDeleteSamplers(1, &sampler);
      SDL_GL_MakeCurrent(window, nullptr);
      SDL_GL_DeleteContext(context);
    }
  }

  bool buildProgram(std::string& error) {
    GLuint vs = compileShader(GL_VERTEX_SHADER, kFixedFunctionVertexShader, error);
    if (!vs) return false;
    GLuint fs = compileShader(GL_FRAGMENT_SHADER, kFixedFunctionFragmentShader, error);
    if (!fs) {
      glDeleteShader(vs);
      return false;
    }
    program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    if (!succeeded(program, GL_LINK_STATUS, glGetProgramiv, glGetProgramInfoLog, "shader link", error)) return false;
    auto at = [&](const char* name) { return glGetUniformLocation(program, name); };
    u = Uniforms{at("u_worldView"),        at("u_normalMatrix"),    at("u_projection"),       at("u_blendWeights"),
                 at("u_pixelOffset"),      at("u_lighting"),        at("u_normalize"),        at("u_diffuseSource"),
                 at("u_ambientSource"),    at("u_emissiveSource"),  at("u_materialDiffuse"),  at("u_materialAmbient"),
                 at("u_materialEmissive"), at("u_globalAmbient"),   at("u_lightCount"),       at("u_lightPosition"),
                 at("u_lightDiffuse"),     at("u_lightAmbient"),    at("u_lightAttenuation"), at("u_vertexPointSize"),
                 at("u_pointSize"),        at("u_pointSizeLimits"), at("u_pointScale"),       at("u_pointScaleFactors"),
                 at("u_viewportHeight"),   at("u_texture"),         at("u_hasTexture"),       at("u_pointSprite"),
                 at("u_colourOp"),         at("u_colourArg1"),      at("u_colourArg2"),       at("u_alphaOp"),
                 at("u_alphaArg1"),        at("u_alphaArg2"),       at("u_textureFactor"),    at("u_alphaTest"),
                 at("u_alphaFunc"),        at("u_alphaRef")};
    glUseProgram(program);
    glUniform1i(u.texture, 0);
    return true;
  }

  void applyRaster(const DeviceState& state) {
    const auto& rs = state.renderStates;
    if (rs[D3DRS_ZENABLE])
      glEnable(GL_DEPTH_TEST);
    else
      glDisable(GL_DEPTH_TEST);
    glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    glDepthFunc(glCompare(rs[D3DRS_ZFUNC]));
    if (rs[D3DRS_ALPHABLENDENABLE]) {
      glEnable(GL_BLEND);
      GLenum src, dst, srcAlpha, dstAlpha;
      glBlendPair(rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND], src, dst);
      GLenum equation = glBlendEquationFor(rs[D3DRS_BLENDOP]), alphaEquation = equation;
      if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
        glBlendPair(rs[D3DRS_SRCBLENDALPHA], rs[D3DRS_DESTBLENDALPHA], srcAlpha, dstAlpha);
        alphaEquation = glBlendEquationFor(rs[D3DRS_BLENDOPALPHA]);
      } else {
        srcAlpha = src;
        dstAlpha = dst;
      }
      glBlendFuncSeparate(src, dst, srcAlpha, dstAlpha);
      glBlendEquationSeparate(equation, alphaEquation);
      const auto factor = colourValue(rs[D3DRS_BLENDFACTOR]);
      glBlendColor(factor[0], factor[1], factor[2], factor[3]);
    } else {
      glDisable(GL_BLEND);
    }
    // Clockwise triangles are front faces; the default culls counter-clockwise ones.
    switch (rs[D3DRS_CULLMODE]) {
      case D3DCULL_NONE:
        glDisable(GL_CULL_FACE);
        break;
      case D3DCULL_CW:
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CCW);
        glCullFace(GL_BACK);
        break;
      default:
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CW);
        glCullFace(GL_BACK);
        break;
    }
    const DWORD mask = rs[D3DRS_COLORWRITEENABLE];
    glColorMask(mask & 1 ? GL_TRUE : GL_FALSE, mask & 2 ? GL_TRUE : GL_FALSE, mask & 4 ? GL_TRUE : GL_FALSE,
                mask & 8 ? GL_TRUE : GL_FALSE);
    const DWORD fill = rs[D3DRS_FILLMODE];
    glPolygonMode(GL_FRONT_AND_BACK, fill == D3DFILL_POINT ? GL_POINT : fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL);
  }

  void applyViewport(const DeviceState& state) {
    const D3DVIEWPORT9& vp = state.viewport;
    glViewport(static_cast<GLint>(vp.X), height - static_cast<GLint>(vp.Y + vp.Height), static_cast<GLsizei>(vp.Width),
               static_cast<GLsizei>(vp.Height));
    glDepthRange(vp.MinZ, vp.MaxZ);
    glUniform2f(u.pixelOffset, 1.0f / static_cast<float>(vp.Width), -1.0f / static_cast<float>(vp.Height));
    glUniform1f(u.viewportHeight, static_cast<float>(vp.Height));
  }

  void applyTransforms(const DeviceState& state) {
    float worldView[kBlendMatrixCount][16];
    float normals[kBlendMatrixCount][9];
    for (uint32_t i = 0; i < kBlendMatrixCount; ++i) {
      const D3DMATRIX wv = multiplyMatrices(state.world[i], state.view);
      std::memcpy(worldView[i], &wv, sizeof(float) * 16);
      const auto n = normalMatrix(wv);
      std::copy(n.begin(), n.end(), normals[i]);
    }
    glUniformMatrix4fv(u.worldView, kBlendMatrixCount, GL_FALSE, &worldView[0][0]);
    glUniformMatrix3fv(u.normalMatrix, kBlendMatrixCount, GL_FALSE, &normals[0][0]);
    glUniformMatrix4fv(u.projection, 1, GL_FALSE, &state.projection.m[0][0]);
  }

  void applyLighting(const DeviceState& state) {
    const auto& rs = state.renderStates;
    glUniform1i(u.lighting, rs[D3DRS_LIGHTING] ? 1 : 0);
    glUniform1i(u.normalize, rs[D3DRS_NORMALIZENORMALS] ? 1 : 0);
    const D3DMATERIAL9& m = state.material;
    glUniform4f(u.materialDiffuse, m.Diffuse.r, m.Diffuse.g, m.Diffuse.b, m.Diffuse.a);
    glUniform4f(u.materialAmbient, m.Ambient.r, m.Ambient.g, m.Ambient.b, m.Ambient.a);
    glUniform4f(u.materialEmissive, m.Emissive.r, m.Emissive.g, m.Emissive.b, m.Emissive.a);
    const auto ambient = colourValue(rs[D3DRS_AMBIENT]);
    glUniform4f(u.globalAmbient, ambient[0], ambient[1], ambient[2], ambient[3]);
    float position[kMaxActiveLights][4] = {}, diffuse[kMaxActiveLights][4] = {}, ambientLight[kMaxActiveLights][4] = {},
          attenuation[kMaxActiveLights][4] = {};
    int count = 0;
    const D3DMATRIX& v = state.view;
    for (const auto& [index, slot] : state.lights) {
      if (!slot.enabled || count == static_cast<int>(kMaxActiveLights)) continue;
      const D3DLIGHT9& l = slot.light;
      if (l.Type == D3DLIGHT_POINT) {
        const D3DVECTOR& p = l.Position;
        for (int c = 0; c < 3; ++c)
          position[count][c] = p.x * v.m[0][c] + p.y * v.m[1][c] + p.z * v.m[2][c] + v.m[3][c];
        position[count][3] = 1.0f;
      } else {
        const D3DVECTOR& d = l.Direction;
        float dir[3];
        for (int c = 0; c < 3; ++c) dir[c] = d.x * v.m[0][c] + d.y * v.m[1][c] + d.z * v.m[2][c];
        const float length = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
        for (int c = 0; c < 3; ++c) position[count][c] = length > 0.0f ? -dir[c] / length : 0.0f;
        position[count][3] = 0.0f;
      }
      const float diffuseValue[4] = {l.Diffuse.r, l.Diffuse.g, l.Diffuse.b, l.Diffuse.a};
      const float ambientValue[4] = {l.Ambient.r, l.Ambient.g, l.Ambient.b, l.Ambient.a};
      std::copy(diffuseValue, diffuseValue + 4, diffuse[count]);
      std::copy(ambientValue, ambientValue + 4, ambientLight[count]);
      attenuation[count][0] = l.Attenuation0;
      attenuation[count][1] = l.Attenuation1;
      attenuation[count][2] = l.Attenuation2;
      attenuation[count][3] = l.Range;
      ++count;
    }
    glUniform1i(u.lightCount, count);
    glUniform4fv(u.lightPosition, kMaxActiveLights, &position[0][0]);
    glUniform4fv(u.lightDiffuse, kMaxActiveLights, &diffuse[0][0]);
    glUniform4fv(u.lightAmbient, kMaxActiveLights, &ambientLight[0][0]);
    glUniform4fv(u.lightAttenuation, kMaxActiveLights, &attenuation[0][0]);
  }

  void applyFragment(const DeviceState& state) {
    const auto& ts = state.stageStates[0];
    glUniform1i(u.colourOp, static_cast<GLint>(ts[D3DTSS_COLOROP]));
    glUniform1i(u.colourArg1, static_cast<GLint>(ts[D3DTSS_COLORARG1]));
    glUniform1i(u.colourArg2, static_cast<GLint>(ts[D3DTSS_COLORARG2]));
    glUniform1i(u.alphaOp, static_cast<GLint>(ts[D3DTSS_ALPHAOP]));
    glUniform1i(u.alphaArg1, static_cast<GLint>(ts[D3DTSS_ALPHAARG1]));
    glUniform1i(u.alphaArg2, static_cast<GLint>(ts[D3DTSS_ALPHAARG2]));
    const auto& rs = state.renderStates;
    const auto factor = colourValue(rs[D3DRS_TEXTUREFACTOR]);
    glUniform4f(u.textureFactor, factor[0], factor[1], factor[2], factor[3]);
    glUniform1i(u.alphaTest, rs[D3DRS_ALPHATESTENABLE] ? 1 : 0);
    glUniform1i(u.alphaFunc, static_cast<GLint>(rs[D3DRS_ALPHAFUNC]));
    glUniform1i(u.alphaRef, static_cast<GLint>(rs[D3DRS_ALPHAREF] & 0xFF));
  }

  void applyPoint(const DeviceState& state) {
    const auto& rs = state.renderStates;
    glUniform1f(u.pointSize, floatBits(rs[D3DRS_POINTSIZE]));
    const float maxSize = std::min(floatBits(rs[D3DRS_POINTSIZE_MAX]), limits.maxPointSize);
    glUniform2f(u.pointSizeLimits, std::min(floatBits(rs[D3DRS_POINTSIZE_MIN]), maxSize), maxSize);
    glUniform1i(u.pointScale, rs[D3DRS_POINTSCALEENABLE] ? 1 : 0);
    glUniform3f(u.pointScaleFactors, floatBits(rs[D3DRS_POINTSCALE_A]), floatBits(rs[D3DRS_POINTSCALE_B]),
                floatBits(rs[D3DRS_POINTSCALE_C]));
  }

  void applySampler(const DeviceState& state) {
    const auto& ss = state.samplerStates[0];
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, glAddress(ss[D3DSAMP_ADDRESSU]));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, glAddress(ss[D3DSAMP_ADDRESSV]));
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER,
                        ss[D3DSAMP_MAGFILTER] == D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
    const bool linear = ss[D3DSAMP_MINFILTER] == D3DTEXF_LINEAR;
    GLint minFilter = linear ? GL_LINEAR : GL_NEAREST;
    if (ss[D3DSAMP_MIPFILTER] == D3DTEXF_POINT)
      minFilter = linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    if (ss[D3DSAMP_MIPFILTER] == D3DTEXF_LINEAR)
      minFilter = linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, minFilter);
    const auto border = colourValue(ss[D3DSAMP_BORDERCOLOR]);
    glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, border.data());
    glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, floatBits(ss[D3DSAMP_MIPMAPLODBIAS]));
    glSamplerParameterf(sampler, GL_TEXTURE_MIN_LOD, static_cast<float>(ss[D3DSAMP_MAXMIPLEVEL]));
  }

  void bindTexture(GLuint name) {
    if (boundTexture == name) return;
    glBindTexture(GL_TEXTURE_2D, name);
    boundTexture = name;
  }

  void applyVertexInput(const DrawCall& call, GLuint buffer, size_t offset) {
    const FvfLayout& l = call.layout;
    const DWORD layoutKey = static_cast<DWORD>(l.size) | (l.weightCount << 8) | ((l.normalOffset >= 0) << 11) |
                            ((l.pointSizeOffset >= 0) << 12) | ((l.diffuseOffset >= 0) << 13) |
                            ((l.specularOffset >= 0) << 14) | ((l.texCoordOffset >= 0) << 15);
    const VertexInputKey key{buffer, offset, call.stride, layoutKey};
    if (key == vertexInput) return;
    // Attributes that the layout lacks read a constant value. Setting those constants costs
    // the driver far more than pointing at another buffer, so they are set only when the
    // layout itself changes (each mesh has its own buffers, but they share one layout).
    const bool layoutChanged = key.layoutKey != vertexInput.layoutKey || vertexInput.buffer == 0;
    vertexInput = key;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    const GLsizei stride = static_cast<GLsizei>(call.stride);
    auto pointer = [&](size_t at) { return reinterpret_cast<const void*>(offset + at); };
    glEnableVertexAttribArray(kAttribPosition);
    glVertexAttribPointer(kAttribPosition, 3, GL_FLOAT, GL_FALSE, stride, pointer(0));
    auto optional = [&](GLuint location, int32_t at, GLint size, GLenum type, GLboolean normalized,
                        std::array<float, 4> missing) {
      if (at >= 0) {
        if (layoutChanged) glEnableVertexAttribArray(location);
        glVertexAttribPointer(location, size, type, normalized, stride, pointer(static_cast<size_t>(at)));
      } else if (layoutChanged) {
        glDisableVertexAttribArray(location);
        glVertexAttrib4f(location, missing[0], missing[1], missing[2], missing[3]);
      }
    };
    optional(kAttribWeights, l.weightCount > 0 ? 12 : -1, static_cast<GLint>(std::max<uint32_t>(l.weightCount, 1)),
             GL_FLOAT, GL_FALSE, {0, 0, 0, 0});
    optional(kAttribNormal, l.normalOffset, 3, GL_FLOAT, GL_FALSE, {0, 0, 0, 0});
    // Vertex colours are D3DCOLOR words: bytes blue, green, red, alpha in memory.
    optional(kAttribDiffuse, l.diffuseOffset, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, {1, 1, 1, 1});
    optional(kAttribSpecular, l.specularOffset, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, {0, 0, 0, 0});
    optional(kAttribTexCoord, l.texCoordOffset, 2, GL_FLOAT, GL_FALSE, {0, 0, 0, 1});
    optional(kAttribPointSize, l.pointSizeOffset, 1, GL_FLOAT, GL_FALSE, {1, 0, 0, 1});
  }
};

GlRenderer::GlRenderer(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
GlRenderer::~GlRenderer() = default;

std::unique_ptr<GlRenderer> GlRenderer::create(SDL_Window* window, std::string& error) {
  auto impl = std::make_unique<Impl>();
  impl->window = window;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  impl->context = SDL_GL_CreateContext(window);
  if (impl->context == nullptr) {
    error = std::string("no OpenGL 3.3 core context: ") + SDL_GetError();
    return nullptr;
  }
  if (SDL_GL_MakeCurrent(window, impl->context) != 0 || !epoxy_is_desktop_gl() || epoxy_gl_version() < 33) {
    error = "no OpenGL 3.3 core context on this window";
    return nullptr;
  }
  impl->limits = queryLimits();
  cachedLimits() = impl->limits;
  SDL_GL_GetDrawableSize(window, &impl->width, &impl->height);
  SDL_GL_GetAttribute(SDL_GL_RED_SIZE, &impl->bits.red);
  SDL_GL_GetAttribute(SDL_GL_GREEN_SIZE, &impl->bits.green);
  SDL_GL_GetAttribute(SDL_GL_BLUE_SIZE, &impl->bits.blue);
  SDL_DisplayMode mode;
  if (SDL_GetWindowDisplayMode(window, &mode) == 0 && mode.refresh_rate > 0)
    impl->refreshRate = static_cast<uint32_t>(mode.refresh_rate);
  if (!impl->buildProgram(error)) return nullptr;

  glGenVertexArrays(1, &impl->vertexArray);
  glBindVertexArray(impl->vertexArray);
  glGenBuffers(1, &impl->streamBuffer);
  glGenSamplers(1, &impl->sampler);
  glBindSampler(0, impl->sampler);
  glActiveTexture(GL_TEXTURE0);
  glEnable(GL_PROGRAM_POINT_SIZE);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);

  const bool swapInterval = SDL_GL_SetSwapInterval(1) == 0;
  impl->pacer = std::make_unique<PresentPacer>(impl->refreshRate, swapInterval);
  return std::unique_ptr<GlRenderer>(new GlRenderer(std::move(impl)));
}

bool GlRenderer::probeLimits(GlLimits& limits) {
  if (cachedLimits()) {
    limits = *cachedLimits();
    return true;
  }
  const bool startVideo = SDL_WasInit(SDL_INIT_VIDEO) == 0;
  if (startVideo && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  bool found = false;
  SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
  SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
  if (SDL_Window* window = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN)) {
    if (SDL_GLContext context = SDL_GL_CreateContext(window)) {
      if (epoxy_is_desktop_gl() && epoxy_gl_version() >= 33) {
        cachedLimits() = queryLimits();
        limits = *cachedLimits();
        found = true;
      }
      SDL_GL_DeleteContext(context);
    }
    SDL_DestroyWindow(window);
  }
  if (previousContext) SDL_GL_MakeCurrent(previousWindow, previousContext);
  if (startVideo) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return found;
}

void GlRenderer::makeCurrent() {
  if (SDL_GL_GetCurrentContext() != m_impl->context) SDL_GL_MakeCurrent(m_impl->window, m_impl->context);
}

const GlLimits& GlRenderer::limits() const { return m_impl->limits; }
ColourBits GlRenderer::backBufferBits() const { return m_impl->bits; }
uint32_t GlRenderer::backBufferWidth() const { return static_cast<uint32_t>(m_impl->width); }
uint32_t GlRenderer::backBufferHeight() const { return static_cast<uint32_t>(m_impl->height); }
uint32_t GlRenderer::refreshRate() const { return m_impl->refreshRate; }
bool GlRenderer::swapWaitsForRefresh() const { return m_impl->pacer->swapWaitsForRefresh(); }
void GlRenderer::setPresentImmediately(bool immediately) {
  SDL_GL_SetSwapInterval(immediately ? 0 : 1);
  m_impl->pacer->setImmediate(immediately);
}

uint32_t GlRenderer::createTexture(const TextureFormatInfo& format, uint32_t levels) {
  GLuint name = 0;
  glGenTextures(1, &name);
  m_impl->bindTexture(name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels - 1));
  const GlTextureFormat gl = glTextureFormat(format.format);
  glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, gl.swizzle.data());
  return name;
}

void GlRenderer::uploadTextureLevel(uint32_t name, const TextureFormatInfo& format, uint32_t level, uint32_t width,
                                    uint32_t height, const uint8_t* bytes) {
  const GlTextureFormat gl = glTextureFormat(format.format);
  m_impl->bindTexture(name);
  const GLsizei w = static_cast<GLsizei>(width), h = static_cast<GLsizei>(height);
  if (gl.compressed != 0 && m_impl->limits.s3tc) {
    const size_t size = levelPitch(format, width) * levelRows(format, height);
    glCompressedTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), gl.compressed, w, h, 0, static_cast<GLsizei>(size),
                           bytes);
  } else if (gl.compressed != 0) {
    // No S3TC in this OpenGL: decode on the way up.
    const size_t size = levelPitch(format, width) * levelRows(format, height);
    m_impl->decodeScratch.assign(static_cast<size_t>(width) * height, 0);
    dxt::decode(format.format, {bytes, size}, width, height, m_impl->decodeScratch);
    glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), gl.internalFormat, w, h, 0, gl.format, gl.type,
                 m_impl->decodeScratch.data());
  } else {
    glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), gl.internalFormat, w, h, 0, gl.format, gl.type, bytes);
  }
  checkGlErrors("texture upload");
}

void GlRenderer::deleteTexture(uint32_t name) {
  if (m_impl->boundTexture == name) m_impl->boundTexture = 0;
  GLuint glName = name;
  glDeleteTextures(1, &glName);
}

uint32_t GlRenderer::createBuffer(size_t size, bool) {
  GLuint name = 0;
  glGenBuffers(1, &name);
  // The copy-write target leaves the vertex array's bindings alone.
  glBindBuffer(GL_COPY_WRITE_BUFFER, name);
  glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(size), nullptr, GL_STATIC_DRAW);
  return name;
}

void GlRenderer::uploadBuffer(uint32_t name, bool, size_t offset, size_t size, const uint8_t* bytes) {
  glBindBuffer(GL_COPY_WRITE_BUFFER, name);
  glBufferSubData(GL_COPY_WRITE_BUFFER, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(size), bytes);
  checkGlErrors("buffer upload");
}

void GlRenderer::deleteBuffer(uint32_t name) {
  if (m_impl->vertexInput.buffer == name) m_impl->vertexInput = VertexInputKey{};
  if (m_impl->boundIndexBuffer == name) m_impl->boundIndexBuffer = 0;
  GLuint glName = name;
  glDeleteBuffers(1, &glName);
}

void GlRenderer::clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil,
                       DeviceState& state) {
  Impl& impl = *m_impl;
  // Clearing ignores the write masks of drawing. Masks that may be closed now (set for drawing,
  // or not yet known) are opened for the clear and put back before the next draw; the usual
  // open ones cost nothing per frame. The stencil mask is never changed from its default.
  const auto& rs = state.renderStates;
  const bool rasterApplied = (state.dirty & kDirtyRaster) == 0;
  const bool colourOpen = rasterApplied && rs[D3DRS_COLORWRITEENABLE] == 0xF;
  const bool depthOpen = rasterApplied && rs[D3DRS_ZWRITEENABLE] != FALSE;
  if (!colourOpen) glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  if (!depthOpen) glDepthMask(GL_TRUE);
  if (!colourOpen || !depthOpen) state.dirty |= kDirtyRaster;
  const auto c = colourValue(color);
  glClearColor(c[0], c[1], c[2], c[3]);
  glClearDepth(z);
  glClearStencil(static_cast<GLint>(stencil));
  GLbitfield mask = 0;
  if (flags & D3DCLEAR_TARGET) mask |= GL_COLOR_BUFFER_BIT;
  if (flags & D3DCLEAR_ZBUFFER) mask |= GL_DEPTH_BUFFER_BIT;
  if (flags & D3DCLEAR_STENCIL) mask |= GL_STENCIL_BUFFER_BIT;
  const D3DVIEWPORT9& vp = state.viewport;
  const LONG vx1 = static_cast<LONG>(vp.X), vy1 = static_cast<LONG>(vp.Y);
  const LONG vx2 = vx1 + static_cast<LONG>(vp.Width), vy2 = vy1 + static_cast<LONG>(vp.Height);
  // The scissor test is on only inside this function.
  bool scissor = false;
  auto clearRect = [&](LONG x1, LONG y1, LONG x2, LONG y2) {
    x1 = std::max(x1, vx1);
    y1 = std::max(y1, vy1);
    x2 = std::min(x2, vx2);
    y2 = std::min(y2, vy2);
    if (x1 >= x2 || y1 >= y2) return;
    // A clear of the whole buffer goes without the scissor: drivers clear that far faster.
    const bool whole = x1 == 0 && y1 == 0 && x2 == impl.width && y2 == impl.height;
    if (whole == scissor) {
      scissor = !whole;
      if (scissor)
        glEnable(GL_SCISSOR_TEST);
      else
        glDisable(GL_SCISSOR_TEST);
    }
    if (scissor) glScissor(x1, impl.height - y2, x2 - x1, y2 - y1);
    glClear(mask);
  };
  if (count == 0) {
    clearRect(vx1, vy1, vx2, vy2);
  } else {
    for (DWORD i = 0; i < count; ++i) clearRect(rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2);
  }
  if (scissor) glDisable(GL_SCISSOR_TEST);
  checkGlErrors("clear");
}

void GlRenderer::draw(DeviceState& state, uint32_t textureName, const DrawCall& call) {
  Impl& impl = *m_impl;
  const uint32_t dirty = state.dirty;
  if (dirty & kDirtyRaster) impl.applyRaster(state);
  if (dirty & kDirtyViewport) impl.applyViewport(state);
  if (dirty & kDirtyTransforms) impl.applyTransforms(state);
  if (dirty & kDirtyLighting) impl.applyLighting(state);
  if (dirty & kDirtyFragment) impl.applyFragment(state);
  if (dirty & kDirtyPoint) impl.applyPoint(state);
  if (dirty & kDirtySampler) impl.applySampler(state);
  state.dirty = 0;
  impl.bindTexture(textureName);

  const auto& rs = state.renderStates;
  const bool colourVertex = rs[D3DRS_COLORVERTEX] != FALSE;
  auto source = [&](DWORD materialSource) {
    if (materialSource == D3DMCS_COLOR1 && colourVertex && call.layout.diffuseOffset >= 0) return 1;
    if (materialSource == D3DMCS_COLOR2 && colourVertex && call.layout.specularOffset >= 0) return 2;
    return 0;
  };
  DrawUniforms drawUniforms;
  const DWORD vertexBlend = rs[D3DRS_VERTEXBLEND];
  drawUniforms.blendWeights = static_cast<int>(std::min<DWORD>(vertexBlend, kBlendMatrixCount - 1));
  drawUniforms.diffuseSource = source(rs[D3DRS_DIFFUSEMATERIALSOURCE]);
  drawUniforms.ambientSource = source(rs[D3DRS_AMBIENTMATERIALSOURCE]);
  drawUniforms.emissiveSource = source(rs[D3DRS_EMISSIVEMATERIALSOURCE]);
  drawUniforms.vertexPointSize = call.layout.pointSizeOffset >= 0 ? 1 : 0;
  drawUniforms.hasTexture = textureName != 0 ? 1 : 0;
  drawUniforms.pointSprite = call.type == D3DPT_POINTLIST && rs[D3DRS_POINTSPRITEENABLE] ? 1 : 0;
  if (!(drawUniforms == impl.drawUniforms)) {
    impl.drawUniforms = drawUniforms;
    glUniform1i(impl.u.blendWeights, drawUniforms.blendWeights);
    glUniform1i(impl.u.diffuseSource, drawUniforms.diffuseSource);
    glUniform1i(impl.u.ambientSource, drawUniforms.ambientSource);
    glUniform1i(impl.u.emissiveSource, drawUniforms.emissiveSource);
    glUniform1i(impl.u.vertexPointSize, drawUniforms.vertexPointSize);
    glUniform1i(impl.u.hasTexture, drawUniforms.hasTexture);
    glUniform1i(impl.u.pointSprite, drawUniforms.pointSprite);
  }

  if (call.userVertices != nullptr) {
    glBindBuffer(GL_ARRAY_BUFFER, impl.streamBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(call.userBytes), call.userVertices, GL_STREAM_DRAW);
    impl.applyVertexInput(call, impl.streamBuffer, 0);
  } else {
    impl.applyVertexInput(call, call.vertexBuffer, call.vertexOffset);
  }
  const GLenum mode = glPrimitive(call.type);
  if (call.indexBuffer != 0) {
    if (impl.boundIndexBuffer != call.indexBuffer) {
      glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, call.indexBuffer);
      impl.boundIndexBuffer = call.indexBuffer;
    }
    glDrawRangeElementsBaseVertex(mode, call.lowestIndex, call.highestIndex, static_cast<GLsizei>(call.vertexCount),
                                  call.indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                                  reinterpret_cast<const void*>(call.indexOffset), call.baseVertex);
  } else {
    glDrawArrays(mode, static_cast<GLint>(call.firstVertex), static_cast<GLsizei>(call.vertexCount));
  }
  checkGlErrors("draw");
}

void GlRenderer::present() {
  m_impl->pacer->beforeSwap();
  SDL_GL_SwapWindow(m_impl->window);
  m_impl->pacer->afterSwap();
}

void GlRenderer::readBack(std::vector<uint32_t>& pixels, bool forceOpaque) {
  const int w = m_impl->width, h = m_impl->height;
  std::vector<uint32_t> bottomUp(static_cast<size_t>(w) * h);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, bottomUp.data());
  pixels.resize(bottomUp.size());
  for (int y = 0; y < h; ++y)
    std::memcpy(&pixels[static_cast<size_t>(y) * w], &bottomUp[static_cast<size_t>(h - 1 - y) * w],
                sizeof(uint32_t) * w);
  if (forceOpaque)
    for (uint32_t& p : pixels) p |= 0xFF000000u;
}

}  // namespace d3d9
