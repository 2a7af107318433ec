// The scene: the background and overlay, the credits panel, the circling train with its
// wheels and smoke, and the lit buttons; built once, rendered once per main-loop pass.
#pragma once

#include <windows.h>

#include "skinned_mesh.h"

inline constexpr int kSceneButtonCount = 8;

// The train's locomotive and wagons; the caption paints on its wagon textures.
extern SkinnedMesh* cabsMesh;

// The credits panel's opacity (0..255) as last drawn.
extern int creditsAlpha;
// Per button, the time after the scene's start until which it is lit (milliseconds; 0
// dark, 0xFFFFFFFF until its mode is turned off).
extern DWORD litUntil[kSceneButtonCount];

// Starts the scene's clocks, applies the base render state and loads every mesh, then the
// smoke. Any failure ends the program.
void createScene();
// Renders and presents one frame; clickedButton is the button clicked since the last
// frame (0..7) or 8 for none, and lights that button.
void renderFrame(int clickedButton);
// Releases everything createScene made; safe on an empty or partly built scene.
void releaseScene();
// Shows or hides the credits panel with a 1000 ms fade from its present opacity.
void toggleCredits();
// Lights the clicked button: 250 ms, or for the credits and stay-on-top buttons as long as
// their modes are on. 8 (no button) lights nothing.
void startButtonHighlight(int index);
// Draws the credits panel at the opacity its fade has reached.
void drawCredits();
// Draws the buttons that are lit now; the play/pause button is lit while paused.
void drawLitButtons();
