// The frame: one per pass of the main loop, presented on the device.
#pragma once

// Renders and presents one frame. `clickedButton` is the button clicked since the last
// frame (0..7), or kNoButton.
void renderFrame(int clickedButton);
