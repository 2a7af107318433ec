// GDI fonts and text output on memory device contexts. Faces come from fontconfig, which
// maps the Windows face names to installed faces of the same metrics; FreeType rasterises
// them. Text is laid out as GDI lays it out for TextOutA: no kerning, hinted advances,
// the cell top-left at the reference point.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "font.h"
#include "gdi_internal.h"

namespace win32 {
namespace {

// FreeType's library and faces are not thread-safe, and fontconfig's configuration is
// loaded once; one lock covers both.
std::mutex g_fontMutex;

// The library outlives every face opened with it, whatever order statics are destroyed in.
class FreeTypeLibrary {
 public:
  static std::shared_ptr<FreeTypeLibrary> instance() {
    static const std::shared_ptr<FreeTypeLibrary> library = [] {
      FT_Library handle = nullptr;
      if (FT_Init_FreeType(&handle) != 0) {
        std::fprintf(stderr, "win32: FreeType cannot start\n");
        return std::shared_ptr<FreeTypeLibrary>();
      }
      return std::shared_ptr<FreeTypeLibrary>(new FreeTypeLibrary(handle));
    }();
    return library;
  }
  ~FreeTypeLibrary() { FT_Done_FreeType(m_library); }
  FT_Library get() const { return m_library; }
  FreeTypeLibrary(const FreeTypeLibrary&) = delete;
  FreeTypeLibrary& operator=(const FreeTypeLibrary&) = delete;

 private:
  explicit FreeTypeLibrary(FT_Library library) : m_library(library) {}
  FT_Library m_library;
};

// Fonts taller than this are refused rather than rasterised into huge buffers.
constexpr int kMaxPixelHeight = 1024;
// The cell height of a request for height 0.
constexpr int kDefaultCellHeight = 16;

struct FontRequest {
  int height = 0;  // as CreateFontA's
  int weight = FW_NORMAL;
  bool italic = false;
  bool antialiased = true;
  std::string faceName;                 // empty: the generic family only
  const char* genericFamily = nullptr;  // "serif", "sans-serif", "monospace" or none
};

}  // namespace

struct Font {
  std::shared_ptr<FreeTypeLibrary> library;
  FT_Face face = nullptr;
  int ascent = 0;  // pixels above the baseline in the cell
  int descent = 0;
  FT_Int32 loadFlags = 0;

  Font() = default;
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  ~Font() {
    if (face) FT_Done_Face(face);
  }
};

namespace {

struct FaceFile {
  std::string path;
  int index = 0;
};

std::optional<FaceFile> matchFace(const FontRequest& request) {
  static const bool configured = FcInit() == FcTrue;
  if (!configured) return std::nullopt;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return std::nullopt;
  if (!request.faceName.empty())
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(request.faceName.c_str()));
  if (request.genericFamily)
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(request.genericFamily));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(request.weight));
  FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return std::nullopt;
  std::optional<FaceFile> face;
  FcChar8* file = nullptr;
  int index = 0;
  if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    face = FaceFile{reinterpret_cast<const char*>(file), index};
  }
  FcPatternDestroy(match);
  return face;
}

int ceilPixels(FT_Long value26_6) { return static_cast<int>((value26_6 + 63) >> 6); }

// Sizes the face as GDI does: a negative height is the em, a positive one the whole cell
// (the Windows ascent plus descent of the OS/2 table, which is what GDI's cell is made of).
bool sizeFace(Font& font, int height) {
  FT_Face face = font.face;
  long cellAscent = face->ascender, cellDescent = -face->descender;
  if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
      os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
    cellAscent = os2->usWinAscent;
    cellDescent = os2->usWinDescent;
  }
  const long cellUnits = cellAscent + cellDescent;
  if (cellUnits <= 0 || face->units_per_EM == 0) return false;
  if (height == 0) height = kDefaultCellHeight;
  if (height < 0) {
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(-height)) != 0) return false;
    font.ascent = ceilPixels(FT_MulFix(cellAscent, face->size->metrics.y_scale));
    font.descent = ceilPixels(FT_MulFix(cellDescent, face->size->metrics.y_scale));
    return true;
  }
  const FT_F26Dot6 em = static_cast<FT_F26Dot6>(int64_t{height} * 64 * face->units_per_EM / cellUnits);
  if (FT_Set_Char_Size(face, 0, std::max<FT_F26Dot6>(em, 64), 72, 72) != 0) return false;
  font.ascent = static_cast<int>(std::lround(static_cast<double>(height) * cellAscent / cellUnits));
  font.descent = height - font.ascent;
  return true;
}

std::shared_ptr<Font> openFont(const FontRequest& request) {
  std::lock_guard lock(g_fontMutex);
  auto library = FreeTypeLibrary::instance();
  if (!library) return nullptr;
  const auto file = matchFace(request);
  if (!file) {
    std::fprintf(stderr, "win32: no installed face for \"%s\"\n", request.faceName.c_str());
    return nullptr;
  }
  auto font = std::make_shared<Font>();
  font->library = library;
  if (FT_New_Face(library->get(), file->path.c_str(), file->index, &font->face) != 0 || !FT_IS_SCALABLE(font->face)) {
    std::fprintf(stderr, "win32: cannot open the face %s\n", file->path.c_str());
    return nullptr;
  }
  if (!sizeFace(*font, request.height)) return nullptr;
  font->loadFlags = request.antialiased ? FT_LOAD_TARGET_NORMAL : (FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME);
  return font;
}

// Windows-1252, the ANSI code page: 0x80 to 0x9F differ from Latin-1. The five unassigned
// codes stay control characters, which draw as the face's missing-glyph box.
FT_ULong codePoint(unsigned char c) {
  static constexpr uint16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                         0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                         0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                         0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  return c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c;
}

// Loads one character's glyph (rendered when asked) and returns its advance in pixels.
std::optional<int> loadGlyph(const Font& font, unsigned char c, bool render) {
  const FT_UInt index = FT_Get_Char_Index(font.face, codePoint(c));
  if (FT_Load_Glyph(font.face, index, font.loadFlags | (render ? FT_LOAD_RENDER : 0)) != 0) return std::nullopt;
  return static_cast<int>((font.face->glyph->advance.x + 32) >> 6);
}

std::shared_ptr<Font> dcFont(const DeviceContext& dc) {
  auto object = findGdiObject(selectedFont(dc));
  return object && object->kind == GdiKind::Font ? object->font : nullptr;
}

HFONT addFont(std::shared_ptr<Font> font, bool stock) {
  auto object = std::make_shared<GdiObject>();
  object->kind = GdiKind::Font;
  object->stock = stock;
  object->font = std::move(font);
  return addGdiObject(std::move(object));
}

uint8_t blendChannel(unsigned background, unsigned text, unsigned coverage) {
  return static_cast<uint8_t>((background * (255 - coverage) + text * coverage + 127) / 255);
}

// Adds a rendered glyph's coverage into the visible part of the cell. The buffer holds
// `rows` cell rows from firstRow on and `columns` columns; the glyph's top-left lands at
// column originX and cell row originY. A buffer column at or after 0 is never left of the
// cell; columns right of the cell are never written out.
void accumulateGlyph(const FT_Bitmap& bitmap, int64_t originX, int originY, int cellHeight, int firstRow, int rows,
                     int columns, std::vector<uint8_t>& coverage) {
  for (unsigned r = 0; r < bitmap.rows; ++r) {
    const int cellY = originY + static_cast<int>(r);
    if (cellY < 0 || cellY >= cellHeight) continue;  // outside the cell
    const int bufferY = cellY - firstRow;
    if (bufferY < 0 || bufferY >= rows) continue;  // outside the bitmap
    const unsigned char* source = bitmap.pitch >= 0
                                      ? bitmap.buffer + static_cast<ptrdiff_t>(r) * bitmap.pitch
                                      : bitmap.buffer + static_cast<ptrdiff_t>(bitmap.rows - 1 - r) * -bitmap.pitch;
    for (unsigned c = 0; c < bitmap.width; ++c) {
      const int64_t bufferX = originX + c;
      if (bufferX < 0 || bufferX >= columns) continue;
      unsigned value;
      if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
        value = (source[c >> 3] & (0x80 >> (c & 7))) ? 255 : 0;
      else
        value = source[c] * 255u / std::max<unsigned>(bitmap.num_grays - 1, 1);
      uint8_t& cell = coverage[static_cast<size_t>(bufferY) * columns + static_cast<size_t>(bufferX)];
      cell = static_cast<uint8_t>(std::min(255u, cell + value));
    }
  }
}

}  // namespace

HGDIOBJ stockSystemFont() {
  static const HGDIOBJ handle = [] {
    FontRequest request;
    request.height = kDefaultCellHeight;
    request.weight = FW_BOLD;
    request.genericFamily = "sans-serif";
    auto font = openFont(request);
    return font ? addFont(std::move(font), true) : nullptr;
  }();
  return handle;
}

bool textExtent(HFONT fontHandle, const char* text, int length, SIZE* extent) {
  auto object = findGdiObject(fontHandle);
  if (!object || object->kind != GdiKind::Font || length < 0 || (length > 0 && !text) || !extent) return false;
  const auto& font = object->font;
  std::lock_guard lock(g_fontMutex);
  int64_t width = 0;
  for (int i = 0; i < length; ++i) width += loadGlyph(*font, static_cast<unsigned char>(text[i]), false).value_or(0);
  extent->cx = static_cast<LONG>(std::min<int64_t>(width, INT32_MAX));
  extent->cy = font->ascent + font->descent;
  return true;
}

}  // namespace win32

using namespace win32;

extern "C" {

HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strikeOut, DWORD charSet, DWORD, DWORD, DWORD quality,
                         DWORD pitchAndFamily, LPCSTR faceName) {
  if (width != 0 || escapement != 0 || orientation != 0 || underline || strikeOut ||
      (charSet != ANSI_CHARSET && charSet != DEFAULT_CHARSET) || height < -kMaxPixelHeight ||
      height > kMaxPixelHeight || weight < 0 || weight > 1000) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  FontRequest request;
  request.height = height;
  request.weight = weight == FW_DONTCARE ? FW_NORMAL : weight;
  request.italic = italic != 0;
  request.antialiased = quality != NONANTIALIASED_QUALITY;
  if (faceName) request.faceName = faceName;
  switch (pitchAndFamily & 0xF0) {
    case FF_ROMAN:
      request.genericFamily = "serif";
      break;
    case FF_MODERN:
      request.genericFamily = "monospace";
      break;
    case FF_SWISS:
      request.genericFamily = "sans-serif";
      break;
    default:
      request.genericFamily = request.faceName.empty() ? "sans-serif" : nullptr;
      break;
  }
  auto font = openFont(request);
  if (!font) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return addFont(std::move(font), false);
}

COLORREF WINAPI SetBkColor(HDC dcHandle, COLORREF color) {
  auto dc = findDc(dcHandle);
  if (!dc) return CLR_INVALID;
  return std::exchange(dc->backgroundColor, color & 0x00FFFFFF);
}

COLORREF WINAPI SetTextColor(HDC dcHandle, COLORREF color) {
  auto dc = findDc(dcHandle);
  if (!dc) return CLR_INVALID;
  return std::exchange(dc->textColor, color & 0x00FFFFFF);
}

BOOL WINAPI TextOutA(HDC dcHandle, int x, int y, LPCSTR text, int length) {
  auto dc = findDc(dcHandle);
  if (!dc || length < 0 || (length > 0 && !text)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto font = dcFont(*dc);
  if (dc->kind != DcKind::Memory || !font) {
    // Window pixels come from the rendering device; drawing on them directly is not supported.
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const int cellHeight = font->ascent + font->descent;
  // Only the part of the cell on the bitmap is rasterised: rows firstRow.. of the cell and
  // the columns from the bitmap's left edge (or the cell's) to its right edge. The reference
  // point may lie anywhere in the int range, hence the 64-bit arithmetic.
  const int firstRow = static_cast<int>(std::clamp<int64_t>(-int64_t{y}, 0, cellHeight));
  const int rows = static_cast<int>(std::min<int64_t>(cellHeight, int64_t{dc->height} - y) - firstRow);
  const int left = std::max(0, x);
  const int columns = dc->width - left;
  if (rows <= 0 || columns <= 0 || length == 0) return TRUE;

  std::vector<uint8_t> coverage(static_cast<size_t>(rows) * static_cast<size_t>(columns), 0);
  int64_t pen = 0;  // from the cell's left edge
  {
    std::lock_guard lock(g_fontMutex);
    for (int i = 0; i < length && x + pen < dc->width; ++i) {
      const auto advance = loadGlyph(*font, static_cast<unsigned char>(text[i]), true);
      if (!advance) continue;
      const FT_GlyphSlot glyph = font->face->glyph;
      // The right edge of the cell is known once the last advance is: columns past it are
      // simply not written out below.
      accumulateGlyph(glyph->bitmap, x + pen + glyph->bitmap_left - left, font->ascent - glyph->bitmap_top, cellHeight,
                      firstRow, rows, columns, coverage);
      pen += *advance;
    }
  }
  const int right = static_cast<int>(std::min<int64_t>(int64_t{x} + pen, dc->width));
  const unsigned bkR = GetRValue(dc->backgroundColor), bkG = GetGValue(dc->backgroundColor),
                 bkB = GetBValue(dc->backgroundColor);
  const unsigned fgR = GetRValue(dc->textColor), fgG = GetGValue(dc->textColor), fgB = GetBValue(dc->textColor);
  for (int row = 0; row < rows; ++row) {
    unsigned char* pixels = dc->pixels + static_cast<ptrdiff_t>(int64_t{y} + firstRow + row) * dc->pitch;
    for (int column = 0; left + column < right; ++column) {
      const unsigned a = coverage[static_cast<size_t>(row) * columns + static_cast<size_t>(column)];
      const COLORREF color = RGB(blendChannel(bkR, fgR, a), blendChannel(bkG, fgG, a), blendChannel(bkB, fgB, a));
      storePixel(pixels, left + column, dc->format, packColor(dc->format, color));
    }
  }
  return TRUE;
}

}  // extern "C"
