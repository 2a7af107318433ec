// GDI objects (brushes, regions) and device contexts behind their handles. A device
// context keeps its selected objects and text state, so text output can draw with the
// selected font onto the same pixels that FillRect writes.
#pragma once

#include <win32_layer.h>
#include <windows.h>

#include <memory>
#include <optional>
#include <vector>

namespace win32 {

enum class GdiKind { Brush, Region };

struct GdiObject {
  GdiKind kind = GdiKind::Brush;
  bool stock = false;      // never freed; DeleteObject succeeds without effect
  HWND ownerWindow = nullptr;  // a region that a window took over
  int selections = 0;      // device contexts that have it selected
  // Brush
  COLORREF color = 0;
  bool hollow = false;
  // Region: rectangles in banded order, right/bottom exclusive
  std::vector<RECT> rects;
  RECT bound{};
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
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF backgroundColor = RGB(255, 255, 255);
};

std::shared_ptr<DeviceContext> findDc(HDC handle);
HDC createWindowDc(HWND window);
void deleteDc(HDC handle);

// Parses RGNDATA strictly; see ExtCreateRegion.
struct RegionData {
  std::vector<RECT> rects;
  RECT bound{};
};
std::optional<RegionData> parseRegionData(const void* bytes, size_t size);

}  // namespace win32
