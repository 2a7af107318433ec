#include "frame.h"

#include "device.h"

// Presenting waits for the display refresh, which is what paces the main loop.
void renderFrame(int /*clickedButton*/) {
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  if (SUCCEEDED(device->BeginScene())) device->EndScene();
  device->Present(nullptr, nullptr, nullptr, nullptr);
}
