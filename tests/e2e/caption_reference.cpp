#include "caption_reference.h"

#include <win32_layer.h>

#include <cstring>
#include <vector>

namespace {

constexpr COLORREF kText = RGB(255, 204, 0);
constexpr COLORREF kGround = RGB(151, 39, 39);

uint16_t narrow(uint32_t rgb) {
  return static_cast<uint16_t>((rgb >> 19 & 0x1F) << 11 | (rgb >> 10 & 0x3F) << 5 | (rgb >> 3 & 0x1F));
}

uint32_t widen(uint16_t v) {
  const uint32_t r = v >> 11, g = v >> 5 & 0x3F, b = v & 0x1F;
  return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}

uint32_t stored(COLORREF colour) {
  return widen(narrow(uint32_t{GetRValue(colour)} << 16 | uint32_t{GetGValue(colour)} << 8 | GetBValue(colour)));
}

}  // namespace

uint32_t captionTextColour() { return stored(kText); }
uint32_t captionGroundColour() { return stored(kGround); }

Screenshot paintCaptionPiece(const Screenshot& wagon, const char* piece, int x) {
  std::vector<uint16_t> pixels;
  for (const uint32_t p : wagon.pixels) pixels.push_back(narrow(p));
  HDC dc = win32CreateMemoryDC(pixels.data(), wagon.width, wagon.height, wagon.width * 2, MemoryDcFormat::R5G6B5);
  HFONT font = CreateFontA(-50, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                           ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Times New Roman");
  SelectObject(dc, font);
  SetBkColor(dc, kGround);
  SetTextColor(dc, kText);
  static constexpr char kBlanks[] = "                  ";
  TextOutA(dc, 10, 70, kBlanks, static_cast<int>(sizeof kBlanks - 1));
  TextOutA(dc, x, 70, piece, static_cast<int>(std::strlen(piece)));
  win32DeleteMemoryDC(dc);
  DeleteObject(font);
  Screenshot painted{wagon.width, wagon.height, {}};
  for (const uint16_t v : pixels) painted.pixels.push_back(widen(v));
  return painted;
}
