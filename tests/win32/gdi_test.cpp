#include <gtest/gtest.h>

#include <win32_layer.h>

#include <cstdint>
#include <vector>

namespace {

template <typename Pixel>
struct Canvas {
  int width, height, pitchPixels;
  std::vector<Pixel> pixels;
  Canvas(int w, int h, int padding, Pixel fill) : width(w), height(h), pitchPixels(w + padding),
                                                   pixels(static_cast<size_t>((w + padding) * h), fill) {}
  Pixel at(int x, int y) const { return pixels[static_cast<size_t>(y * pitchPixels + x)]; }
  int pitch() const { return pitchPixels * static_cast<int>(sizeof(Pixel)); }
};

TEST(MemoryDc, FillRect565ClipsAndConverts) {
  Canvas<uint16_t> canvas(8, 6, 2, 0xAAAA);
  HDC dc = win32CreateMemoryDC(canvas.pixels.data(), canvas.width, canvas.height, canvas.pitch(),
                               MemoryDcFormat::R5G6B5);
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

}  // namespace
