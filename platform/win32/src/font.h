// Faces behind GDI fonts: chosen through fontconfig, measured and rasterised with FreeType.
// FreeType and fontconfig types stay in text.cpp.
#pragma once

#include <windows.h>

namespace win32 {

// The stock system font (a bold sans-serif face with a 16-pixel cell); null where no font
// can be opened.
HGDIOBJ stockSystemFont();

// The cell TextOutA fills for the text in that font: the sum of the advances wide, ascent
// plus descent high. False for a handle that is not a font, or bad text.
bool textExtent(HFONT font, const char* text, int length, SIZE* extent);

}  // namespace win32
