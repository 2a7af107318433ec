// GDI objects (brushes, regions, fonts) and device contexts behind their handles. A device
// context keeps its selected objects and text state, so text output can draw with the
// selected font onto the same pixels that FillRect writes.
#pragma once

#include <win32_layer.h>
#include <windows.h>

#include <memory>
#include <optional>
#include <vector>

namespace win32 {

enum class GdiKind { Brush, Region, Font };

struct Font;  // a resolved, sized face (font.h)

struct GdiObject {
  GdiKind kind = GdiKind::Brush;
  bool stock = false;          // never freed; DeleteObject succeeds without effect
  HWND ownerWindow = nullptr;  // a region that a window took over
  int selections = 0;          // device contexts that have it selected
  // Brush
  COLORREF color = 0;
  bool hollow = false;
  // Region: rectangles in banded order, right/bottom exclusive
  std::vector<RECT> rects;
  RECT bound{};
  // Font
  std::shared_ptr<Font> font;
};

std::shared_ptr<GdiObject> findGdiObject(HGDIOBJ handle);
HGDIOBJ addGdiObject(std::shared_ptr<GdiObject> object);
// Removes the handle whatever its state (a window freeing the region it owns).
std::shared_ptr<GdiObject> takeGdiObject(HGDIOBJ handle);

enum class DcKind { Memory, Window };

struct DeviceContext {
  DcKind kind = DcKind::Memory;
  // Memory: caller-owned pixels, rows top-down
  unsigned char* pixels = nullptr;
  int width = 0;
  int height = 0;
  int pitch = 0;
  MemoryDcFormat format = MemoryDcFormat::X8R8G8B8;
  // Window
  HWND window = nullptr;
  // Selected objects and text state
  HGDIOBJ brush = nullptr;
  HGDIOBJ font = nullptr;  // the stock system font until one is selected
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF backgroundColor = RGB(255, 255, 255);
};

std::shared_ptr<DeviceContext> findDc(HDC handle);
// The font a DC draws with: the one selected, or the stock system font.
HGDIOBJ selectedFont(const DeviceContext& dc);
HDC createWindowDc(HWND window);
void deleteDc(HDC handle);

// A colour in a memory DC's pixel format (R5G6B5 in the low 16 bits). GDI knows nothing of
// alpha: the top byte of 32-bit formats is left zero.
uint32_t packColor(MemoryDcFormat format, COLORREF color);
// Stores a packed colour at column x of a row of a memory DC's pixels.
void storePixel(unsigned char* row, int x, MemoryDcFormat format, uint32_t packed);

// Parses RGNDATA strictly; see ExtCreateRegion.
struct RegionData {
  std::vector<RECT> rects;
  RECT bound{};
};
std::optional<RegionData> parseRegionData(const void* bytes, size_t size);

}  // namespace win32
