// The multimedia timer of the window layer.
#pragma once

#include "windows.h"

extern "C" {
// Milliseconds as a 32-bit count that wraps, counting from the start of the process.
// KQ_CLOCK_START (decimal milliseconds) in the environment starts it at another value.
DWORD WINAPI timeGetTime();
}
