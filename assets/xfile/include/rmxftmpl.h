// The built-in template blocks, for ID3DXFile::RegisterTemplates: the standard templates as a
// binary X block, and two text blocks with the skinning, effect and animation templates and
// the vertex-format and progressive-mesh templates.
#pragma once

#include <windows.h>

#define D3DRM_XTEMPLATE_BYTES 3322
extern "C" const unsigned char D3DRM_XTEMPLATES[D3DRM_XTEMPLATE_BYTES];

// Zero-terminated text; register strlen() bytes.
extern "C" const char XSKINEXP_TEMPLATES[];
extern "C" const char XEXTENSIONS_TEMPLATES[];
