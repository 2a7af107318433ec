// Anti-aliased text through FreeType with the Liberation faces.
#pragma once

#include <memory>
#include <string>

#include "canvas.h"

namespace assetgen {

enum class FontFace { kSerifBold, kSerif, kSerifItalic, kSansBold, kSans };

class TextRenderer {
 public:
  TextRenderer();
  ~TextRenderer();
  TextRenderer(const TextRenderer&) = delete;
  TextRenderer& operator=(const TextRenderer&) = delete;

  bool ok() const;
  const std::string& error() const;

  // Advance width of the text in pixels.
  double measure(FontFace face, double pixelSize, const std::string& text);
  // Draws text with its baseline starting at (x, y).
  void draw(Canvas& canvas, FontFace face, double pixelSize, double x, double y, const std::string& text,
            Colour colour);
  // Centred on x.
  void drawCentred(Canvas& canvas, FontFace face, double pixelSize, double x, double y, const std::string& text,
                   Colour colour);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace assetgen
