// Encoders for the picture formats the program embeds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "canvas.h"

namespace assetgen {

// 24-bit uncompressed BMP, bottom-up, 40-byte info header, 2834 pixels per metre.
std::vector<uint8_t> encodeBmp24(const Canvas& picture);

// Uncompressed true-colour TGA, 32 bits with 8 alpha bits, bottom-up, no colour map or ID,
// with the 26-byte version 2 footer.
std::vector<uint8_t> encodeTga32(const Canvas& picture);

// Baseline JPEG through libjpeg: JFIF 1.02 and Adobe markers, three components without chroma
// subsampling, restart interval of 64 MCUs. Fails only when libjpeg reports an error.
bool encodeJpeg(const Canvas& picture, int quality, std::vector<uint8_t>& out, std::string* error);

struct IconImage {
  const Canvas* picture;  // square, with alpha
  int bitsPerPixel;       // 8, 24 or 32
};

// A .ico file: directory and one DIB per image (40-byte header, height doubled for the AND mask).
// 8-bit images use a fixed 256-colour palette.
std::vector<uint8_t> encodeIco(const std::vector<IconImage>& images);

}  // namespace assetgen
