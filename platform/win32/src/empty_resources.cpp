// An empty resource table for programs and tests that embed no resources.
#include <win32_layer.h>

extern "C" const EmbeddedResource kEmbeddedResources[1] = {};
extern "C" const size_t kEmbeddedResourceCount = 0;
