#include "shell_stand_in.h"

#include "shell.h"

bool stayOnTopIndicator = false;
bool testPlaybackPaused = false;

bool playbackPaused() { return testPlaybackPaused; }
