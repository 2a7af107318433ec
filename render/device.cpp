#include "device.h"

#include "shell.h"

IDirect3D9* direct3D = nullptr;
IDirect3DDevice9* device = nullptr;
D3DXMATRIX projectionMatrix;
D3DXMATRIX viewMatrix;
D3DXMATRIX identityMatrix;

D3DLIGHT9 sceneLight = {
    D3DLIGHT_POINT,
    {1.0f, 0.87f, 0.64f, 0.0f},          // diffuse
    {0.0f, 0.0f, 0.0f, 0.0f},            // specular
    {0.0f, 0.0f, 0.0f, 0.0f},            // ambient
    {-1063.561f, 1682.245f, -988.624f},  // position
    {0.0f, 0.0f, 0.0f},                  // direction
    4000.0f,                             // range
    0.0f,                                // falloff
    1.0f,                                // attenuation 0
    0.0f,                                // attenuation 1
    0.0f,                                // attenuation 2
    0.0f,                                // theta
    0.0f,                                // phi
};

void createDevice(HWND window) {
  direct3D = Direct3DCreate9(D3D_SDK_VERSION);
  if (direct3D == nullptr) fatalError("Error getting Direct3D");

  D3DDISPLAYMODE displayMode;
  if (FAILED(direct3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &displayMode)))
    fatalError("Error getting display mode\n");

  D3DPRESENT_PARAMETERS parameters;
  std::memset(&parameters, 0, sizeof parameters);
  parameters.BackBufferWidth = 0;  // the window's client size
  parameters.BackBufferHeight = 0;
  parameters.BackBufferFormat = displayMode.Format;
  parameters.BackBufferCount = 1;
  parameters.MultiSampleType = D3DMULTISAMPLE_NONE;
  parameters.MultiSampleQuality = 0;
  parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
  parameters.hDeviceWindow = window;
  parameters.Windowed = TRUE;
  parameters.EnableAutoDepthStencil = TRUE;
  parameters.AutoDepthStencilFormat = D3DFMT_D16;
  parameters.Flags = 0;
  parameters.FullScreen_RefreshRateInHz = 0;
  parameters.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;

  if (FAILED(direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                    &parameters, &device)))
    fatalError("Error creating device\n");
}

void releaseDevice() {
  if (device != nullptr) {
    device->Release();
    device = nullptr;
  }
  if (direct3D != nullptr) {
    direct3D->Release();
    direct3D = nullptr;
  }
}

void applyBaseState() {
  // Every call is made even after one fails; the results are tested together.
  HRESULT result = 0;
  result |= device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  result |= device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  result |= device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_CURRENT);
  result |= device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  result |= device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  result |= device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_TFACTOR);
  result |= device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  result |= device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  result |= device->SetRenderState(D3DRS_ALPHAREF, 127);
  result |= device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  result |= device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  result |= device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
  result |= device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  result |= device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  result |= device->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
  result |= device->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
  result |= device->SetRenderState(D3DRS_POINTSIZE, floatState(20.0f));
  result |= device->SetRenderState(D3DRS_POINTSIZE_MIN, floatState(1.0f));
  result |= device->SetRenderState(D3DRS_POINTSCALE_A, floatState(0.0f));
  result |= device->SetRenderState(D3DRS_POINTSCALE_B, floatState(0.0f));
  result |= device->SetRenderState(D3DRS_POINTSCALE_C, floatState(1.0f));
  result |= device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  result |= device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  result |= device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
  result |= device->SetRenderState(D3DRS_LIGHTING, FALSE);
  result |= device->SetLight(0, &sceneLight);
  result |= device->LightEnable(0, TRUE);
  result |= device->SetRenderState(D3DRS_AMBIENT, D3DCOLOR_ARGB(255, 114, 134, 168));
  if (FAILED(result)) fatalError("Unable to setup base render state.\n");

  D3DXMatrixPerspectiveFovLH(&projectionMatrix, 1.4418356f, 1.0f, 1.0f, 20000.0f);
  device->SetTransform(D3DTS_PROJECTION, &projectionMatrix);

  D3DXMatrixIdentity(&identityMatrix);
  device->SetTransform(D3DTS_WORLD, &identityMatrix);

  const D3DXVECTOR3 eye(-130.757f, -48.355f, -537.955f);
  const D3DXVECTOR3 target(-12.479f, -86.872f, 0.0f);
  const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
  D3DXMatrixLookAtLH(&viewMatrix, &eye, &target, &up);
  device->SetTransform(D3DTS_VIEW, &viewMatrix);
}
