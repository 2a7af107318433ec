#include "scene.h"

#include <cmath>
#include <new>
#include <numbers>

#include <mmsystem.h>

#include "device.h"
#include "shell.h"
#include "smoke.h"

SkinnedMesh* cabsMesh = nullptr;
int creditsAlpha = 0;
DWORD litUntil[kSceneButtonCount] = {};

namespace {

constexpr int kCreditsButton = 4;
constexpr int kStayOnTopButton = 5;
constexpr int kPlayPauseButton = 1;
constexpr DWORD kLitForever = 0xFFFFFFFF;
constexpr DWORD kFlashMs = 250;
constexpr int kFadeMs = 1000;

SkinnedMesh* sceneMesh = nullptr;
SkinnedMesh* creditsMesh = nullptr;
SkinnedMesh* wheelsMesh = nullptr;
SkinnedMesh* buttonMeshes[kSceneButtonCount] = {};

DWORD sceneStartTime = 0;
DWORD lastFrameTime = 0;
DWORD frameDelta = 0;

bool creditsVisible = false;
int fadeFrom = 0;
int fadeTo = 0;
DWORD fadeStart = 1;
int fadeDuration = 1;

// Milliseconds since the scene was made, with wrap-around.
DWORD sceneTime() { return timeGetTime() - sceneStartTime; }

SkinnedMesh* allocateMesh(const char* failureMessage) {
  auto* mesh = new (std::nothrow) SkinnedMesh(device);
  if (mesh == nullptr) fatalError(failureMessage);
  return mesh;
}

void releaseMesh(SkinnedMesh*& mesh) {
  if (mesh == nullptr) return;
  mesh->release();
  delete mesh;
  mesh = nullptr;
}

// 0.2 radians per second of the absolute clock. Reduced to one turn in double precision
// first, so that a large clock still gives a smoothly moving float angle.
float trainAngleAt(DWORD clock) { return static_cast<float>(std::fmod(clock * 0.0002, 2.0 * std::numbers::pi)); }

}  // namespace

void createScene() {
  sceneStartTime = timeGetTime();
  lastFrameTime = timeGetTime();
  creditsVisible = false;
  fadeStart = 1;
  fadeDuration = 1;
  fadeFrom = 0;
  fadeTo = 0;
  stayOnTopIndicator = false;
  applyBaseState();

  sceneMesh = allocateMesh("Unable to allocate a skinnable mesh - Scene ");
  sceneMesh->load("planes.x", false);
  creditsMesh = allocateMesh("Unable to allocate a skinnable mesh - credits");
  creditsMesh->load("credz.x", false);
  cabsMesh = allocateMesh("Unable to allocate a skinnable mesh - train");
  cabsMesh->load("train_cabs.x", true);
  wheelsMesh = allocateMesh("Unable to allocate a skinnable mesh - wheels");
  wheelsMesh->load("train_wheels.x", true);

  for (int i = 0; i < kSceneButtonCount; ++i) {
    buttonMeshes[i] = allocateMesh("Unable to allocate skinnable - Credits");
    litUntil[i] = 0;
  }
  // Index order, except that the credits button comes last.
  static const struct {
    int index;
    const char* resource;
  } kButtonResources[] = {{0, "but_prev.x"}, {1, "but_play.x"}, {2, "but_stop.x"}, {3, "but_next.x"},
                          {5, "but_top.x"},  {6, "but_min.x"},  {7, "but_quit.x"}, {4, "but_info.x"}};
  for (const auto& button : kButtonResources) buttonMeshes[button.index]->load(button.resource, false);

  initSmoke();
}

void renderFrame(int clickedButton) {
  frameDelta = timeGetTime() - lastFrameTime;
  lastFrameTime = timeGetTime();
  startButtonHighlight(clickedButton);
  const float trainAngle = trainAngleAt(lastFrameTime);
  updateSmoke(trainAngle);

  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  if (SUCCEEDED(device->BeginScene())) {
    sceneMesh->render(device, 0.0, &identityMatrix);
    drawCredits();

    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    D3DXMATRIX trainWorld;
    D3DXMatrixRotationY(&trainWorld, trainAngle);
    cabsMesh->render(device, frameDelta * static_cast<double>(4.1666667e-06f), &trainWorld);
    // The wheels turn at one eightieth of real time in their animation's units.
    wheelsMesh->render(device, frameDelta * static_cast<double>(1.25e-05f), &trainWorld);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetTransform(D3DTS_WORLD, &identityMatrix);

    drawSmoke();
    drawLitButtons();
    device->EndScene();
  }
  // Presenting waits for the display refresh, which is what paces the main loop.
  device->Present(nullptr, nullptr, nullptr, nullptr);
}

void releaseScene() {
  releaseMesh(sceneMesh);
  releaseMesh(creditsMesh);
  releaseMesh(cabsMesh);
  releaseMesh(wheelsMesh);
  for (SkinnedMesh*& button : buttonMeshes) releaseMesh(button);
  releaseSmoke();
}

void toggleCredits() {
  creditsVisible = !creditsVisible;
  fadeStart = sceneTime();
  fadeDuration = kFadeMs;
  // A fade reversed midway turns back from where it is, and still takes the full second.
  fadeFrom = creditsAlpha;
  fadeTo = creditsVisible ? 255 : 0;
}

void startButtonHighlight(int index) {
  if (index < 0 || index >= kSceneButtonCount) return;
  litUntil[index] = sceneTime() + kFlashMs;
  // The action has already run, so these follow the mode it left.
  if (index == kCreditsButton) litUntil[index] = creditsVisible ? kLitForever : 0;
  if (index == kStayOnTopButton) litUntil[index] = stayOnTopIndicator ? kLitForever : 0;
}

void drawCredits() {
  // Before the fade's start the unsigned time is huge, which reads as a finished fade.
  const DWORD t = sceneTime() - fadeStart;
  double x = static_cast<double>(t) / fadeDuration;
  if (x > 1.0) x = 1.0;
  creditsAlpha = static_cast<int>((fadeTo - fadeFrom) * x + fadeFrom);

  device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
  device->SetRenderState(D3DRS_TEXTUREFACTOR, static_cast<DWORD>(creditsAlpha) << 24);
  creditsMesh->render(device, 0.0, &identityMatrix);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
}

void drawLitButtons() {
  for (int i = 0; i < kSceneButtonCount; ++i) {
    const bool lit = i == kPlayPauseButton ? playbackPaused() : litUntil[i] > sceneTime();
    if (lit) buttonMeshes[i]->render(device, 0.0, &identityMatrix);
  }
}
