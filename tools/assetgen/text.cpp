#include "text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <map>

namespace assetgen {

namespace {

const char* fontPath(FontFace face) {
  switch (face) {
    case FontFace::kSerifBold:
      return "/usr/share/fonts/truetype/liberation/LiberationSerif-Bold.ttf";
    case FontFace::kSerif:
      return "/usr/share/fonts/truetype/liberation/LiberationSerif-Regular.ttf";
    case FontFace::kSerifItalic:
      return "/usr/share/fonts/truetype/liberation/LiberationSerif-Italic.ttf";
    case FontFace::kSansBold:
      return "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf";
    case FontFace::kSans:
      return "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf";
  }
  return "";
}

}  // namespace

struct TextRenderer::Impl {
  FT_Library library = nullptr;
  std::map<FontFace, FT_Face> faces;
  std::string error;

  FT_Face face(FontFace f) {
    auto it = faces.find(f);
    if (it != faces.end()) return it->second;
    FT_Face face = nullptr;
    if (FT_New_Face(library, fontPath(f), 0, &face) != 0) {
      error = std::string("cannot open font ") + fontPath(f);
      return nullptr;
    }
    faces[f] = face;
    return face;
  }
};

TextRenderer::TextRenderer() : m_impl(std::make_unique<Impl>()) {
  if (FT_Init_FreeType(&m_impl->library) != 0) m_impl->error = "FreeType did not start";
}

TextRenderer::~TextRenderer() {
  for (auto& [k, f] : m_impl->faces) FT_Done_Face(f);
  if (m_impl->library) FT_Done_FreeType(m_impl->library);
}

bool TextRenderer::ok() const { return m_impl->library && m_impl->error.empty(); }
const std::string& TextRenderer::error() const { return m_impl->error; }

namespace {

// Sets the size and walks the text's glyphs from `pen`, adding the kerning between pairs;
// `place(glyph, pen)` loads one glyph and returns its advance in pixels (0 when it cannot be
// loaded). Returns the pen position after the last glyph.
template <typename Place>
double layOut(FT_Face face, double pixelSize, const std::string& text, double pen, Place&& place) {
  FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(pixelSize * 64)), 72, 72);
  FT_UInt previous = 0;
  for (unsigned char ch : text) {
    const FT_UInt glyph = FT_Get_Char_Index(face, ch);
    if (previous && glyph && FT_HAS_KERNING(face)) {
      FT_Vector k;
      FT_Get_Kerning(face, previous, glyph, FT_KERNING_UNFITTED, &k);
      pen += k.x / 64.0;
    }
    previous = glyph;
    pen += place(glyph, pen);
  }
  return pen;
}

}  // namespace

double TextRenderer::measure(FontFace f, double pixelSize, const std::string& text) {
  FT_Face face = m_impl->face(f);
  if (!face) return 0;
  return layOut(face, pixelSize, text, 0.0, [&](FT_UInt glyph, double) {
    return FT_Load_Glyph(face, glyph, FT_LOAD_NO_HINTING) == 0 ? face->glyph->advance.x / 64.0 : 0.0;
  });
}

void TextRenderer::draw(Canvas& canvas, FontFace f, double pixelSize, double x, double y, const std::string& text,
                        Colour colour) {
  FT_Face face = m_impl->face(f);
  if (!face) return;
  layOut(face, pixelSize, text, x, [&](FT_UInt glyph, double pen) {
    // Sub-pixel placement: shift the outline by the pen's fraction before rendering.
    const double whole = std::floor(pen);
    FT_Vector delta{static_cast<FT_Pos>(std::lround((pen - whole) * 64)), 0};
    FT_Set_Transform(face, nullptr, &delta);
    if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_HINTING | FT_LOAD_RENDER) != 0) return 0.0;
    FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    const int ox = static_cast<int>(whole) + slot->bitmap_left;
    const int oy = static_cast<int>(std::lround(y)) - slot->bitmap_top;
    for (unsigned r = 0; r < bm.rows; ++r) {
      for (unsigned c = 0; c < bm.width; ++c) {
        const double cov = bm.buffer[r * bm.pitch + c] / 255.0;
        if (cov > 0) canvas.blend(ox + static_cast<int>(c), oy + static_cast<int>(r), colour, cov);
      }
    }
    return slot->advance.x / 64.0;
  });
  FT_Set_Transform(face, nullptr, nullptr);
}

void TextRenderer::drawCentred(Canvas& canvas, FontFace face, double pixelSize, double x, double y,
                               const std::string& text, Colour colour) {
  draw(canvas, face, pixelSize, x - measure(face, pixelSize, text) / 2.0, y, text, colour);
}

}  // namespace assetgen
