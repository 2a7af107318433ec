// Smoke from the locomotive's chimney: three puffs a second, each a textured point sprite
// that rises, swells and fades over five seconds where it was born.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <d3dx9math.h>

struct SmokeParticle {
  D3DXVECTOR3 position;  // also the whole vertex drawn (D3DFVF_XYZ)
  bool alive;
  DWORD expiryTime;  // clock value at which the puff dies
  int alpha;         // 0..255
  D3DXVECTOR3 origin;
  float size;  // pixels
  int textureIndex;
};

inline constexpr int kSmokePoolSize = 400;

extern SmokeParticle smokeParticles[kSmokePoolSize];
// The emission credit carried between updates, in puffs.
extern float smokeCredit;

// Loads the five smoke textures (a failure ends the program), empties the pool and starts
// the smoke clock.
void initSmoke();
// Kills expired puffs, emits the puffs due since the last update from the chimney of the
// train turned by trainAngle, then moves, swells and fades every live puff.
void updateSmoke(float trainAngle);
// Starts one puff at the chimney; false when the pool is full.
bool emitSmoke(float trainAngle);
// Draws every live puff, unlit, depth-tested without depth writes, and restores the
// states it changed. Between BeginScene and EndScene, world matrix identity.
void drawSmoke();
// Releases the textures that were loaded.
void releaseSmoke();
