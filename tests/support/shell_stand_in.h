// The shell's state as the renderer reads it, set by tests of the parts below the shell.
// stayOnTopIndicator is declared in shell.h.
#pragma once

// What playbackPaused reports.
extern bool testPlaybackPaused;
