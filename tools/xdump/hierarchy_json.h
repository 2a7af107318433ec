// xdump --hierarchy: what the hierarchy loader builds from X data, as one JSON object.
#pragma once

#include <windows.h>

#include <string>

namespace xdump {

// Loads `bytes` onto a NULLREF device and prints the frames (depth first: a frame, its
// children, then its siblings), their containers and the animation. Returns the exit status.
int printHierarchy(const std::string& bytes, const char* (*codeName)(HRESULT));

}  // namespace xdump
