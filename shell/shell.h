// What every part of the program may ask of its shell. The parts below the shell (player,
// renderer, skinned meshes) depend on these declarations only; the shell (app/) defines
// them, and tests of those parts link a stand-in.
#pragma once

// The main window's client size, which is also the back buffer's.
inline constexpr int kWindowWidth = 512;
inline constexpr int kWindowHeight = 512;

// Fades out and closes the sound system if it was started, releases the scene, the device
// and the main window (whatever of them exists), writes the message and a newline to the
// debugger output, shows it in a message box captioned with the program's name and, once
// that is closed, ends the process with exit code 5.
// Callable from any start-up step and from the main loop, with state only partly built.
[[noreturn]] void fatalError(const char* message);

// Set while the stay-on-top mode is on; the renderer keeps that button lit meanwhile.
extern bool stayOnTopIndicator;
// Whether playback is paused; the renderer keeps the play/pause button lit meanwhile.
bool playbackPaused();
