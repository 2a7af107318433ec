#include "smoke.h"

#include <cstdint>

#include <d3dx9tex.h>
#include <mmsystem.h>

#include "device.h"
#include "shell.h"

SmokeParticle smokeParticles[kSmokePoolSize];
float smokeCredit = 0.0f;

namespace {

constexpr int kSmokeTextureCount = 5;
constexpr float kPuffsPerSecond = 3.0f;
constexpr float kLifetimeSeconds = 5.0f;
constexpr DWORD kLifetimeMs = 5000;
constexpr float kRise = 15.0f;
// Where puffs are born, in the train's own coordinates.
const D3DXVECTOR3 kChimneyPoint(-221.974f, -89.651f, -137.885f);

IDirect3DTexture9* smokeTextures[kSmokeTextureCount] = {};
DWORD smokeLastUpdate = 0;

// The C library's classic generator (seed 1, never reseeded), written out so that every
// platform shows the same sequence of puff textures.
uint32_t randomState = 1;
int nextRandom() {
  randomState = randomState * 214013u + 2531011u;
  return static_cast<int>((randomState >> 16) & 0x7FFF);
}

}  // namespace

void initSmoke() {
  static const char* const kNames[kSmokeTextureCount] = {"SMOKE_1.TGA", "SMOKE_2.TGA", "SMOKE_3.TGA", "SMOKE_4.TGA",
                                                         "SMOKE_5.TGA"};
  static const char* const kMessages[kSmokeTextureCount] = {
      "Error loading smoke texture #1.\n", "Error loading smoke texture #2.\n", "Error loading smoke texture #3.\n",
      "Error loading smoke texture #4.", "Error loading smoke texture #5."};
  for (int i = 0; i < kSmokeTextureCount; ++i)
    if (FAILED(D3DXCreateTextureFromResourceA(device, nullptr, kNames[i], &smokeTextures[i]))) fatalError(kMessages[i]);
  for (SmokeParticle& particle : smokeParticles) particle.alive = false;
  smokeLastUpdate = timeGetTime();
}

void updateSmoke(float trainAngle) {
  const DWORD now = timeGetTime();
  // The signed difference keeps puffs born just before the clock wraps alive across it.
  for (SmokeParticle& particle : smokeParticles)
    if (particle.alive && static_cast<int32_t>(particle.expiryTime - now) <= 0) particle.alive = false;

  smokeCredit = static_cast<float>(smokeCredit + static_cast<double>(now - smokeLastUpdate) * 0.001 * kPuffsPerSecond);
  // A full pool keeps the credit: the puffs come out as soon as records free up.
  while (smokeCredit > 1.0f) {
    if (!emitSmoke(trainAngle)) break;
    smokeCredit -= 1.0f;
  }

  for (SmokeParticle& particle : smokeParticles) {
    if (!particle.alive) continue;
    const double r = (particle.expiryTime - now) / (kLifetimeSeconds * 1000.0);  // 1 at birth, 0 at death
    particle.position.y = static_cast<float>(particle.origin.y + kRise * (1.0 - r * r * r));
    particle.alpha = static_cast<int>(255.0 * r);
    const float rSquared = static_cast<float>(r * r);
    particle.size = static_cast<float>((2.0 * (1.0 - rSquared) + 0.5) * 20.0);
  }
  smokeLastUpdate = now;
}

bool emitSmoke(float trainAngle) {
  D3DXMATRIX trainWorld;
  D3DXMatrixRotationY(&trainWorld, trainAngle);
  for (SmokeParticle& particle : smokeParticles) {
    if (particle.alive) continue;
    particle.alive = true;
    D3DXVec3TransformCoord(&particle.origin, &kChimneyPoint, &trainWorld);
    particle.position = particle.origin;
    particle.expiryTime = timeGetTime() + kLifetimeMs;
    particle.alpha = 255;
    particle.textureIndex = nextRandom() % kSmokeTextureCount;
    return true;
  }
  return false;
}

void drawSmoke() {
  device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  for (const SmokeParticle& particle : smokeParticles) {
    if (!particle.alive) continue;
    device->SetRenderState(D3DRS_POINTSIZE, floatState(particle.size));
    device->SetRenderState(D3DRS_TEXTUREFACTOR, static_cast<DWORD>(particle.alpha) << 24);
    device->SetFVF(D3DFVF_XYZ);
    device->SetTexture(0, smokeTextures[particle.textureIndex]);
    device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &particle.position, sizeof particle.position);
  }
  device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  device->SetTexture(0, nullptr);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
}

void releaseSmoke() {
  for (IDirect3DTexture9*& texture : smokeTextures) {
    if (texture != nullptr) texture->Release();
    texture = nullptr;
  }
}
