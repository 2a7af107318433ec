// Brushes, stock objects, selection and FillRect on memory device contexts.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "font.h"
#include "gdi_internal.h"
#include "handle_table.h"

namespace win32 {
namespace {

HandleTable<GdiObject>& gdiTable() {
  static HandleTable<GdiObject> table(0x01000000);
  return table;
}
HandleTable<DeviceContext>& dcTable() {
  static HandleTable<DeviceContext> table(0x02000000);
  return table;
}

HGDIOBJ toHandle(uintptr_t value) { return reinterpret_cast<HGDIOBJ>(value); }

struct StockObjects {
  HGDIOBJ brushes[NULL_BRUSH + 1]{};
  StockObjects() {
    static constexpr COLORREF kColors[] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128),
                                           RGB(64, 64, 64),    RGB(0, 0, 0),       RGB(0, 0, 0)};
    for (int i = 0; i <= NULL_BRUSH; ++i) {
      auto brush = std::make_shared<GdiObject>();
      brush->kind = GdiKind::Brush;
      brush->stock = true;
      brush->color = kColors[i];
      brush->hollow = i == NULL_BRUSH;
      brushes[i] = toHandle(gdiTable().add(std::move(brush)));
    }
  }
};
const StockObjects& stockObjects() {
  static const StockObjects stock;
  return stock;
}

int bytesPerPixel(MemoryDcFormat format) { return format == MemoryDcFormat::R5G6B5 ? 2 : 4; }

void fillPixels(DeviceContext& dc, const RECT& area, COLORREF color) {
  const LONG left = std::max<LONG>(area.left, 0), top = std::max<LONG>(area.top, 0);
  const LONG right = std::min<LONG>(area.right, dc.width), bottom = std::min<LONG>(area.bottom, dc.height);
  if (left >= right || top >= bottom) return;
  const uint32_t packed = packColor(dc.format, color);
  for (LONG y = top; y < bottom; ++y) {
    unsigned char* row = dc.pixels + static_cast<ptrdiff_t>(y) * dc.pitch;
    for (LONG x = left; x < right; ++x) storePixel(row, x, dc.format, packed);
  }
}

// Whole-program tests read back what GDI drew on a surface (the caption on the wagons, say):
// with KQ_MEMORY_DC_DUMP naming a folder, every memory DC is saved there as it is deleted,
// as dc-0001.ppm, dc-0002.ppm, ... in deletion order (one per GetDC/ReleaseDC of a surface). 5- and 6-bit channels are
// widened by repeating their top bits, so shifting back gives the stored values exactly.
void dumpMemoryDc(const DeviceContext& dc) {
  static const char* const folder = std::getenv("KQ_MEMORY_DC_DUMP");
  if (folder == nullptr || *folder == '\0') return;
  static std::atomic<int> count = 0;
  char name[32];
  std::snprintf(name, sizeof name, "/dc-%04d.ppm", ++count);
  const std::string path = std::string(folder) + name;
  std::vector<unsigned char> rgb;
  rgb.reserve(static_cast<size_t>(dc.width) * static_cast<size_t>(dc.height) * 3);
  for (int y = 0; y < dc.height; ++y) {
    const unsigned char* row = dc.pixels + static_cast<ptrdiff_t>(y) * dc.pitch;
    for (int x = 0; x < dc.width; ++x) {
      if (dc.format == MemoryDcFormat::R5G6B5) {
        uint16_t v;
        std::memcpy(&v, row + static_cast<ptrdiff_t>(x) * 2, 2);
        const unsigned r = v >> 11, g = (v >> 5) & 0x3F, b = v & 0x1F;
        rgb.insert(rgb.end(), {static_cast<unsigned char>(r << 3 | r >> 2), static_cast<unsigned char>(g << 2 | g >> 4),
                               static_cast<unsigned char>(b << 3 | b >> 2)});
      } else {
        const unsigned char* p = row + static_cast<ptrdiff_t>(x) * 4;  // B, G, R, X in memory
        rgb.insert(rgb.end(), {p[2], p[1], p[0]});
      }
    }
  }
  // Written aside and renamed, so that a reader watching the folder never sees half a file.
  const std::string partial = path + ".part";
  FILE* file = std::fopen(partial.c_str(), "wb");
  bool written = file != nullptr && std::fprintf(file, "P6\n%d %d\n255\n", dc.width, dc.height) > 0 &&
                 std::fwrite(rgb.data(), 1, rgb.size(), file) == rgb.size();
  if (file != nullptr && std::fclose(file) != 0) written = false;
  if (!written || std::rename(partial.c_str(), path.c_str()) != 0)
    std::fprintf(stderr, "win32: could not write %s\n", path.c_str());
}

}  // namespace

uint32_t packColor(MemoryDcFormat format, COLORREF color) {
  const uint32_t r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
  if (format == MemoryDcFormat::R5G6B5) return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
  return (r << 16) | (g << 8) | b;
}

void storePixel(unsigned char* row, int x, MemoryDcFormat format, uint32_t packed) {
  if (format == MemoryDcFormat::R5G6B5) {
    const uint16_t v = static_cast<uint16_t>(packed);
    std::memcpy(row + static_cast<ptrdiff_t>(x) * 2, &v, 2);
  } else {
    std::memcpy(row + static_cast<ptrdiff_t>(x) * 4, &packed, 4);
  }
}

HGDIOBJ selectedFont(const DeviceContext& dc) { return dc.font ? dc.font : stockSystemFont(); }

HGDIOBJ addGdiObject(std::shared_ptr<GdiObject> object) {
  stockObjects();  // stock objects take the first handles
  return toHandle(gdiTable().add(std::move(object)));
}

std::shared_ptr<GdiObject> findGdiObject(HGDIOBJ handle) {
  return gdiTable().find(reinterpret_cast<uintptr_t>(handle));
}

std::shared_ptr<GdiObject> takeGdiObject(HGDIOBJ handle) {
  return gdiTable().remove(reinterpret_cast<uintptr_t>(handle));
}

std::shared_ptr<DeviceContext> findDc(HDC handle) { return dcTable().find(reinterpret_cast<uintptr_t>(handle)); }

static HDC addDc(std::shared_ptr<DeviceContext> dc) {
  dc->brush = stockObjects().brushes[WHITE_BRUSH];
  return reinterpret_cast<HDC>(dcTable().add(std::move(dc)));
}

HDC createWindowDc(HWND window) {
  auto dc = std::make_shared<DeviceContext>();
  dc->kind = DcKind::Window;
  dc->window = window;
  return addDc(std::move(dc));
}

void deleteDc(HDC handle) {
  auto dc = dcTable().remove(reinterpret_cast<uintptr_t>(handle));
  if (!dc) return;
  if (auto brush = findGdiObject(dc->brush)) --brush->selections;
  if (auto font = findGdiObject(dc->font)) --font->selections;
}

}  // namespace win32

using namespace win32;

HDC win32CreateMemoryDC(void* pixels, int width, int height, int pitch, MemoryDcFormat format) {
  if (!pixels || width <= 0 || height <= 0 || pitch <= 0 ||
      static_cast<int64_t>(pitch) < static_cast<int64_t>(width) * bytesPerPixel(format)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto dc = std::make_shared<DeviceContext>();
  dc->kind = DcKind::Memory;
  dc->pixels = static_cast<unsigned char*>(pixels);
  dc->width = width;
  dc->height = height;
  dc->pitch = pitch;
  dc->format = format;
  return addDc(std::move(dc));
}

BOOL win32DeleteMemoryDC(HDC handle) {
  auto dc = findDc(handle);
  if (!dc || dc->kind != DcKind::Memory) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  dumpMemoryDc(*dc);
  deleteDc(handle);
  return TRUE;
}

extern "C" {

HGDIOBJ WINAPI GetStockObject(int index) {
  if (index == SYSTEM_FONT) return stockSystemFont();
  if (index < WHITE_BRUSH || index > NULL_BRUSH) return nullptr;
  return stockObjects().brushes[index];
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
  auto brush = std::make_shared<GdiObject>();
  brush->kind = GdiKind::Brush;
  brush->color = color & 0x00FFFFFF;
  return addGdiObject(std::move(brush));
}

HGDIOBJ WINAPI SelectObject(HDC dcHandle, HGDIOBJ objectHandle) {
  auto dc = findDc(dcHandle);
  auto object = findGdiObject(objectHandle);
  if (!dc || !object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  HGDIOBJ* slot = nullptr;
  HGDIOBJ previous = nullptr;
  switch (object->kind) {
    case GdiKind::Brush:
      slot = &dc->brush;
      previous = dc->brush;
      break;
    case GdiKind::Font:
      slot = &dc->font;
      previous = selectedFont(*dc);
      break;
    case GdiKind::Region:
      // Selecting a region clips; nothing here draws with a clip region.
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
  if (auto old = findGdiObject(*slot)) --old->selections;
  ++object->selections;
  *slot = objectHandle;
  return previous;
}

BOOL WINAPI DeleteObject(HGDIOBJ handle) {
  auto object = findGdiObject(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (object->stock) return TRUE;
  // A region a window owns and an object still selected into a DC stay alive.
  if (object->ownerWindow || object->selections > 0) return FALSE;
  takeGdiObject(handle);
  return TRUE;
}

int WINAPI FillRect(HDC dcHandle, const RECT* rect, HBRUSH brushHandle) {
  auto dc = findDc(dcHandle);
  auto brush = findGdiObject(brushHandle);
  if (!dc || !rect || !brush || brush->kind != GdiKind::Brush) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (brush->hollow) return 1;
  if (dc->kind != DcKind::Memory) {
    // Window pixels come from the rendering device; drawing on them directly is not supported.
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  fillPixels(*dc, *rect, brush->color);
  return 1;
}

}  // extern "C"
