#include "device_state.h"

#include "buffer.h"
#include "texture.h"

namespace d3d9 {

D3DMATRIX identityMatrix4() {
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

D3DMATRIX multiplyMatrices(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DMATRIX r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
  return r;
}

void resetDeviceState(DeviceState& state, bool autoDepthStencil, UINT backBufferWidth, UINT backBufferHeight) {
  auto& rs = state.renderStates;
  rs.fill(0);
  rs[D3DRS_ZENABLE] = autoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
  rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs[D3DRS_ZWRITEENABLE] = TRUE;
  rs[D3DRS_ALPHATESTENABLE] = FALSE;
  rs[D3DRS_LASTPIXEL] = TRUE;
  rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRS_ALPHAREF] = 0;
  rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_FOGSTART] = dwordBits(0.0f);
  rs[D3DRS_FOGEND] = dwordBits(1.0f);
  rs[D3DRS_FOGDENSITY] = dwordBits(1.0f);
  // Both faces' stencil operations keep, and the test always passes.
  for (D3DRENDERSTATETYPE op : {D3DRS_STENCILFAIL, D3DRS_STENCILZFAIL, D3DRS_STENCILPASS, D3DRS_CCW_STENCILFAIL,
                                D3DRS_CCW_STENCILZFAIL, D3DRS_CCW_STENCILPASS})
    rs[op] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILFUNC] = rs[D3DRS_CCW_STENCILFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_STENCILMASK] = 0xFFFFFFFFu;
  rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFFu;
  rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
  rs[D3DRS_CLIPPING] = TRUE;
  rs[D3DRS_LIGHTING] = TRUE;
  rs[D3DRS_AMBIENT] = 0;
  rs[D3DRS_FOGVERTEXMODE] = D3DFOG_NONE;
  rs[D3DRS_COLORVERTEX] = TRUE;
  rs[D3DRS_LOCALVIEWER] = TRUE;
  rs[D3DRS_NORMALIZENORMALS] = FALSE;
  rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  rs[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
  rs[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
  rs[D3DRS_VERTEXBLEND] = D3DVBF_DISABLE;
  rs[D3DRS_POINTSIZE] = dwordBits(1.0f);
  rs[D3DRS_POINTSIZE_MIN] = dwordBits(1.0f);
  rs[D3DRS_POINTSCALE_A] = dwordBits(1.0f);
  rs[D3DRS_POINTSCALE_B] = dwordBits(0.0f);
  rs[D3DRS_POINTSCALE_C] = dwordBits(0.0f);
  rs[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
  rs[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFFu;
  rs[D3DRS_POINTSIZE_MAX] = dwordBits(64.0f);
  rs[D3DRS_COLORWRITEENABLE] = 0xF;
  rs[D3DRS_TWEENFACTOR] = dwordBits(0.0f);
  rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
  rs[D3DRS_POSITIONDEGREE] = 3;  // D3DDEGREE_CUBIC
  rs[D3DRS_NORMALDEGREE] = 1;    // D3DDEGREE_LINEAR
  rs[D3DRS_MINTESSELLATIONLEVEL] = dwordBits(1.0f);
  rs[D3DRS_MAXTESSELLATIONLEVEL] = dwordBits(1.0f);
  rs[D3DRS_ADAPTIVETESS_Z] = dwordBits(1.0f);
  rs[D3DRS_COLORWRITEENABLE1] = rs[D3DRS_COLORWRITEENABLE2] = rs[D3DRS_COLORWRITEENABLE3] = 0xF;
  rs[D3DRS_BLENDFACTOR] = 0xFFFFFFFFu;
  rs[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
  rs[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;

  for (uint32_t stage = 0; stage < kTextureStageCount; ++stage) {
    auto& ts = state.stageStates[stage];
    ts.fill(0);
    ts[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    ts[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    ts[D3DTSS_TEXCOORDINDEX] = stage;
    ts[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
    ts[D3DTSS_COLORARG0] = D3DTA_CURRENT;
    ts[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
    ts[D3DTSS_RESULTARG] = D3DTA_CURRENT;
  }
  for (auto& ss : state.samplerStates) {
    ss.fill(0);
    ss[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
    ss[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    ss[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    ss[D3DSAMP_MAXANISOTROPY] = 1;
  }

  state.view = identityMatrix4();
  state.projection = identityMatrix4();
  state.world.fill(identityMatrix4());
  state.textureTransforms.fill(identityMatrix4());
  state.material = D3DMATERIAL9{};
  state.lights.clear();
  state.viewport = D3DVIEWPORT9{0, 0, backBufferWidth, backBufferHeight, 0.0f, 1.0f};
  state.fvf = 0;
  state.stream0.buffer.reset();
  state.stream0.offset = state.stream0.stride = 0;
  state.indices.reset();
  for (auto& texture : state.textures) texture.reset();
  state.softwareVertexProcessing = FALSE;
  state.dirty = kDirtyAll;
}

}  // namespace d3d9
