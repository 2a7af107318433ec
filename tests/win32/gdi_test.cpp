#include <gtest/gtest.h>

#include <win32_layer.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace {

template <typename Pixel>
struct Canvas {
  int width, height, pitchPixels;
  std::vector<Pixel> pixels;
  Canvas(int w, int h, int padding, Pixel fill)
      : width(w), height(h), pitchPixels(w + padding), pixels(static_cast<size_t>((w + padding) * h), fill) {}
  Pixel at(int x, int y) const { return pixels[static_cast<size_t>(y * pitchPixels + x)]; }
  int pitch() const { return pitchPixels * static_cast<int>(sizeof(Pixel)); }
};

TEST(MemoryDc, FillRect565ClipsAndConverts) {
  Canvas<uint16_t> canvas(8, 6, 2, 0xAAAA);
  HDC dc =
      win32CreateMemoryDC(canvas.pixels.data(), canvas.width, canvas.height, canvas.pitch(), MemoryDcFormat::R5G6B5);
  ASSERT_NE(dc, nullptr);
  HBRUSH brush = CreateSolidBrush(RGB(255, 128, 8));
  const RECT area{-3, 4, 3, 100};  // partly outside: clipped to the bitmap
  EXPECT_NE(FillRect(dc, &area, brush), 0);
  const uint16_t expected = (31 << 11) | (32 << 5) | 1;
  EXPECT_EQ(canvas.at(0, 4), expected);
  EXPECT_EQ(canvas.at(2, 5), expected);
  EXPECT_EQ(canvas.at(3, 5), 0xAAAA);  // right edge exclusive
  EXPECT_EQ(canvas.at(0, 3), 0xAAAA);
  EXPECT_EQ(canvas.pixels[static_cast<size_t>(5 * canvas.pitchPixels + 8)], 0xAAAA);  // padding untouched
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_TRUE(win32DeleteMemoryDC(dc));
  EXPECT_FALSE(win32DeleteMemoryDC(dc));
}

TEST(MemoryDc, FillRect32BitLeavesAlphaZero) {
  for (MemoryDcFormat format : {MemoryDcFormat::X8R8G8B8, MemoryDcFormat::A8R8G8B8}) {
    Canvas<uint32_t> canvas(4, 4, 0, 0xFFFFFFFFu);
    HDC dc = win32CreateMemoryDC(canvas.pixels.data(), 4, 4, canvas.pitch(), format);
    ASSERT_NE(dc, nullptr);
    const RECT area{1, 1, 3, 2};
    EXPECT_NE(FillRect(dc, &area, CreateSolidBrush(RGB(0x12, 0x34, 0x56))), 0);
    EXPECT_EQ(canvas.at(1, 1), 0x00123456u);
    EXPECT_EQ(canvas.at(2, 1), 0x00123456u);
    EXPECT_EQ(canvas.at(3, 1), 0xFFFFFFFFu);
    EXPECT_EQ(canvas.at(1, 2), 0xFFFFFFFFu);
    // Stock brushes work the same; the hollow brush paints nothing.
    const RECT all{0, 0, 4, 4};
    EXPECT_NE(FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))), 0);
    EXPECT_EQ(canvas.at(0, 0), 0xFFFFFFFFu);
    EXPECT_NE(FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 0);
    EXPECT_EQ(canvas.at(0, 0), 0u);
    win32DeleteMemoryDC(dc);
  }
}

TEST(MemoryDc, InvalidArguments) {
  uint32_t pixels[4] = {};
  EXPECT_EQ(win32CreateMemoryDC(nullptr, 2, 2, 8, MemoryDcFormat::X8R8G8B8), nullptr);
  EXPECT_EQ(win32CreateMemoryDC(pixels, 2, 2, 4, MemoryDcFormat::X8R8G8B8), nullptr);  // pitch too small
  EXPECT_EQ(win32CreateMemoryDC(pixels, 0, 2, 8, MemoryDcFormat::X8R8G8B8), nullptr);
  const RECT area{0, 0, 1, 1};
  EXPECT_EQ(FillRect(nullptr, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 0);
}

TEST(GdiObjects, SelectionKeepsBrushAlive) {
  uint32_t pixels[4] = {};
  HDC dc = win32CreateMemoryDC(pixels, 2, 2, 8, MemoryDcFormat::X8R8G8B8);
  ASSERT_NE(dc, nullptr);
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  HGDIOBJ previous = SelectObject(dc, brush);
  EXPECT_EQ(previous, GetStockObject(WHITE_BRUSH));
  EXPECT_FALSE(DeleteObject(brush));  // still selected
  EXPECT_EQ(SelectObject(dc, previous), brush);
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH)));  // stock objects survive deletion
  EXPECT_NE(GetStockObject(BLACK_BRUSH), nullptr);
  EXPECT_EQ(SelectObject(dc, brush), nullptr);  // deleted
  win32DeleteMemoryDC(dc);
}

// ---- text ------------------------------------------------------------------------------

constexpr COLORREF kWagonRed = RGB(151, 39, 39);
constexpr COLORREF kGold = RGB(255, 204, 0);
constexpr uint16_t kUntouched = 0x0841;  // a colour neither text nor background produce here

uint16_t to565(COLORREF c) {
  return static_cast<uint16_t>(((GetRValue(c) >> 3) << 11) | ((GetGValue(c) >> 2) << 5) | (GetBValue(c) >> 3));
}

HFONT captionFont(DWORD quality = ANTIALIASED_QUALITY, int height = -50) {
  return CreateFontA(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                     quality, DEFAULT_PITCH | FF_DONTCARE, "Times New Roman");
}

// A 16-bit surface as the wagon textures are, with a DC holding the caption's font and colours.
struct TextSurface {
  Canvas<uint16_t> canvas;
  HDC dc = nullptr;
  HFONT font = nullptr;
  TextSurface(int w, int h, DWORD quality = ANTIALIASED_QUALITY, int height = -50) : canvas(w, h, 3, kUntouched) {
    dc = win32CreateMemoryDC(canvas.pixels.data(), w, h, canvas.pitch(), MemoryDcFormat::R5G6B5);
    font = captionFont(quality, height);
    SelectObject(dc, font);
    SetBkColor(dc, kWagonRed);
    SetTextColor(dc, kGold);
  }
  ~TextSurface() {
    win32DeleteMemoryDC(dc);
    DeleteObject(font);
  }
  bool draw(int x, int y, const char* text) { return TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text))); }
  // The smallest rectangle holding every changed pixel (right and bottom exclusive).
  RECT changed() const {
    RECT box{canvas.width, canvas.height, 0, 0};
    for (int y = 0; y < canvas.height; ++y)
      for (int x = 0; x < canvas.width; ++x)
        if (canvas.at(x, y) != kUntouched)
          box = RECT{std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
                     std::max<LONG>(box.bottom, y + 1)};
    return box;
  }
  int count(const RECT& area, const std::function<bool(uint16_t)>& match) const {
    int n = 0;
    for (LONG y = area.top; y < area.bottom; ++y)
      for (LONG x = area.left; x < area.right; ++x) n += match(canvas.at(x, y)) ? 1 : 0;
    return n;
  }
  bool paddingUntouched() const {
    for (int y = 0; y < canvas.height; ++y)
      for (int x = canvas.width; x < canvas.pitchPixels; ++x)
        if (canvas.pixels[static_cast<size_t>(y * canvas.pitchPixels + x)] != kUntouched) return false;
    return true;
  }
};

bool between(unsigned v, unsigned a, unsigned b) { return std::min(a, b) <= v && v <= std::max(a, b); }

// An anti-aliased edge pixel: neither colour, each channel between the two.
bool isBlend(uint16_t p) {
  const uint16_t bk = to565(kWagonRed), fg = to565(kGold);
  if (p == bk || p == fg) return false;
  return between(p >> 11, bk >> 11, fg >> 11) && between((p >> 5) & 63, (bk >> 5) & 63, (fg >> 5) & 63) &&
         between(p & 31, bk & 31, fg & 31);
}

TEST(TextOut, BoldSerifFillsItsCellOn16BitSurface) {
  TextSurface surface(256, 128);
  ASSERT_NE(surface.font, nullptr);
  ASSERT_TRUE(surface.draw(20, 30, "Wg"));
  const RECT cell = surface.changed();
  // The reference point is the cell's top-left corner, and nothing outside the cell changes.
  EXPECT_EQ(cell.left, 20);
  EXPECT_EQ(cell.top, 30);
  EXPECT_TRUE(surface.paddingUntouched());
  // Every pixel of the cell is background, text or a blend of the two.
  const uint16_t bk = to565(kWagonRed), fg = to565(kGold);
  const int cellPixels = (cell.right - cell.left) * (cell.bottom - cell.top);
  EXPECT_EQ(surface.count(cell, [&](uint16_t p) { return p == bk || p == fg || isBlend(p); }), cellPixels);
  // A 50-pixel em of Times New Roman's metrics: a cell of about 1.1 em, W one em and g half
  // an em wide (a face of other metrics, such as a sans-serif, is far wider).
  EXPECT_GE(cell.bottom - cell.top, 55);
  EXPECT_LE(cell.bottom - cell.top, 57);
  EXPECT_GE(cell.right - cell.left, 73);
  EXPECT_LE(cell.right - cell.left, 77);
  // Bold strokes: many solid text pixels, and anti-aliased edges around them.
  EXPECT_GT(surface.count(cell, [&](uint16_t p) { return p == fg; }), 600);
  EXPECT_GT(surface.count(cell, isBlend), 100);
  // Upright, on a baseline about 45 pixels down: the W stands above it, only the g's tail
  // hangs below it, and the top rows above the capitals stay background.
  const RECT aboveCaps{cell.left, cell.top, cell.right, cell.top + 8};
  EXPECT_EQ(surface.count(aboveCaps, [&](uint16_t p) { return p != bk; }), 0);
  const RECT belowBaselineOfW{cell.left, cell.top + 47, cell.left + 45, cell.bottom};
  EXPECT_EQ(surface.count(belowBaselineOfW, [&](uint16_t p) { return p == fg; }), 0);
  const RECT tailOfG{cell.left + 50, cell.top + 47, cell.right, cell.bottom};
  EXPECT_GT(surface.count(tailOfG, [&](uint16_t p) { return p == fg; }), 20);
}

TEST(TextOut, ClippedToTheSurface) {
  TextSurface surface(64, 40);
  ASSERT_TRUE(surface.draw(30, 10, "Wg"));  // off the right and bottom edges
  EXPECT_EQ(surface.changed().left, 30);
  EXPECT_EQ(surface.changed().right, 64);
  EXPECT_EQ(surface.changed().bottom, 40);
  EXPECT_TRUE(surface.paddingUntouched());
  TextSurface offTopLeft(64, 40);
  ASSERT_TRUE(offTopLeft.draw(-40, -30, "Wg"));
  const RECT box = offTopLeft.changed();
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.top, 0);
  EXPECT_LT(box.right, 40);  // the cell ends about 35 pixels in
  EXPECT_LT(box.bottom, 30);
  TextSurface outside(64, 40);
  EXPECT_TRUE(outside.draw(64, 0, "Wg"));
  EXPECT_TRUE(outside.draw(-200, 0, "Wg"));
  EXPECT_TRUE(outside.draw(0, -60, "Wg"));
  EXPECT_TRUE(outside.draw(INT32_MIN, INT32_MIN, "Wg"));
  EXPECT_TRUE(outside.draw(INT32_MAX, INT32_MAX, "Wg"));
  EXPECT_TRUE(outside.draw(INT32_MIN, 0, "Wg"));
  EXPECT_EQ(outside.changed().right, 0);  // nothing drawn
}

TEST(TextOut, BlanksEraseALongerEarlierPiece) {
  constexpr char kBlanks[] = "                  ";  // 18
  TextSurface blanksAlone(256, 256);
  ASSERT_TRUE(blanksAlone.draw(10, 70, kBlanks));
  const RECT blankCell = blanksAlone.changed();

  TextSurface surface(256, 256);
  ASSERT_TRUE(surface.draw(12, 70, "Holy Nite"));
  const RECT first = surface.changed();
  // The widest pieces of the caption end inside the blanks' cell.
  EXPECT_LE(first.right, blankCell.right);
  EXPECT_EQ(first.top, blankCell.top);
  EXPECT_EQ(first.bottom, blankCell.bottom);
  ASSERT_TRUE(surface.draw(10, 70, kBlanks));
  const uint16_t bk = to565(kWagonRed);
  EXPECT_EQ(surface.count(blankCell, [&](uint16_t p) { return p != bk; }), 0);
  ASSERT_TRUE(surface.draw(12, 70, "by"));
  const RECT afterShortPiece{80, first.top, blankCell.right, first.bottom};
  EXPECT_EQ(surface.count(afterShortPiece, [&](uint16_t p) { return p != bk; }), 0);
  EXPECT_EQ(surface.canvas.at(9, 80), kUntouched);  // left of the blanks
}

TEST(TextOut, QualityHeightAndFormat) {
  // Without anti-aliasing there are only the two colours.
  TextSurface mono(128, 64, NONANTIALIASED_QUALITY);
  ASSERT_NE(mono.font, nullptr);
  ASSERT_TRUE(mono.draw(0, 0, "Wg"));
  EXPECT_EQ(mono.count(mono.changed(), isBlend), 0);
  EXPECT_GT(mono.count(mono.changed(), [](uint16_t p) { return p == to565(kGold); }), 600);
  // A positive height is the whole cell.
  TextSurface cell30(128, 64, ANTIALIASED_QUALITY, 30);
  ASSERT_TRUE(cell30.draw(0, 0, "x"));
  EXPECT_EQ(cell30.changed().bottom, 30);
  // 32-bit surfaces get exact colours and an alpha byte of zero.
  Canvas<uint32_t> canvas(64, 64, 0, 0xFFFFFFFFu);
  HDC dc = win32CreateMemoryDC(canvas.pixels.data(), 64, 64, canvas.pitch(), MemoryDcFormat::A8R8G8B8);
  HFONT font = captionFont();
  SelectObject(dc, font);
  EXPECT_EQ(SetBkColor(dc, RGB(1, 2, 3)), RGB(255, 255, 255));  // the defaults: white behind black
  EXPECT_EQ(SetTextColor(dc, RGB(250, 251, 252)), RGB(0, 0, 0));
  ASSERT_TRUE(TextOutA(dc, 0, 0, "I", 1));
  EXPECT_EQ(canvas.at(0, 0), 0x00010203u);
  bool textSeen = false;
  for (uint32_t p : canvas.pixels) textSeen |= p == 0x00FAFBFCu;
  EXPECT_TRUE(textSeen);
  win32DeleteMemoryDC(dc);
  DeleteObject(font);
}

TEST(GdiObjects, FontLivesWhileSelectedAndDiesWithItsDc) {
  uint16_t pixels[16] = {};
  HDC dc = win32CreateMemoryDC(pixels, 4, 4, 8, MemoryDcFormat::R5G6B5);
  HFONT font = captionFont();
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(SelectObject(dc, font), GetStockObject(SYSTEM_FONT));  // every DC starts with it
  EXPECT_FALSE(DeleteObject(font));
  // A DC released with the font still selected lets it go, as the caption's refresh relies on.
  EXPECT_TRUE(win32DeleteMemoryDC(dc));
  EXPECT_TRUE(DeleteObject(font));
  EXPECT_FALSE(DeleteObject(font));
}

TEST(TextOut, InvalidArguments) {
  EXPECT_EQ(CreateFontA(-50, 10, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Times New Roman"), nullptr);
  EXPECT_EQ(CreateFontA(-50, 0, 900, 900, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Times New Roman"), nullptr);
  EXPECT_EQ(CreateFontA(-50, 0, 0, 0, FW_BOLD, 0, TRUE, 0, ANSI_CHARSET, 0, 0, 0, 0, "Times New Roman"), nullptr);
  EXPECT_EQ(CreateFontA(-50, 0, 0, 0, FW_BOLD, 0, 0, 0, 128, 0, 0, 0, 0, "Times New Roman"), nullptr);
  EXPECT_EQ(CreateFontA(-100000, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Times New Roman"), nullptr);
  EXPECT_FALSE(TextOutA(nullptr, 0, 0, "x", 1));
  EXPECT_EQ(SetBkColor(nullptr, 0), CLR_INVALID);
  EXPECT_EQ(SetTextColor(nullptr, 0), CLR_INVALID);
  uint16_t pixels[16] = {};
  HDC dc = win32CreateMemoryDC(pixels, 4, 4, 8, MemoryDcFormat::R5G6B5);
  EXPECT_FALSE(TextOutA(dc, 0, 0, nullptr, 1));
  EXPECT_FALSE(TextOutA(dc, 0, 0, "x", -1));
  EXPECT_TRUE(TextOutA(dc, 0, 0, "", 0));
  EXPECT_EQ(pixels[0], 0);  // an empty string draws nothing
  win32DeleteMemoryDC(dc);
}

}  // namespace
