#include "image_formats.h"

#include <cstdio>
#include <jpeglib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csetjmp>

#include "byte_writer.h"

namespace assetgen {
namespace {

uint8_t quantise(double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); }

void writeInfoHeader(ByteWriter& w, int width, int height, int bits, uint32_t imageBytes, uint32_t coloursUsed) {
  w.u32(40);
  w.i32(width);
  w.i32(height);
  w.u16(1);
  w.u16(static_cast<uint16_t>(bits));
  w.u32(0);  // BI_RGB
  w.u32(imageBytes);
  w.i32(2834);
  w.i32(2834);
  w.u32(coloursUsed);
  w.u32(0);
}

}  // namespace

std::vector<uint8_t> encodeBmp24(const Canvas& picture) {
  const int w = picture.width(), h = picture.height();
  const uint32_t rowBytes = (static_cast<uint32_t>(w) * 3 + 3) & ~3u;
  const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(h);
  ByteWriter out;
  out.text("BM");
  out.u32(14 + 40 + imageBytes);
  out.u32(0);
  out.u32(14 + 40);
  writeInfoHeader(out, w, h, 24, imageBytes, 0);
  for (int y = h - 1; y >= 0; --y) {
    uint32_t written = 0;
    for (int x = 0; x < w; ++x) {
      const Colour& c = picture.at(x, y);
      out.u8(quantise(c.b));
      out.u8(quantise(c.g));
      out.u8(quantise(c.r));
      written += 3;
    }
    for (; written < rowBytes; ++written) out.u8(0);
  }
  return out.take();
}

std::vector<uint8_t> encodeTga32(const Canvas& picture) {
  const int w = picture.width(), h = picture.height();
  ByteWriter out;
  out.u8(0);                              // no image ID
  out.u8(0);                              // no colour map
  out.u8(2);                              // uncompressed true colour
  for (int i = 0; i < 5; ++i) out.u8(0);  // colour map: first entry, length, entry size
  out.u16(0);
  out.u16(0);
  out.u16(static_cast<uint16_t>(w));
  out.u16(static_cast<uint16_t>(h));
  out.u8(32);
  out.u8(8);  // 8 alpha bits, bottom-up, left-to-right
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      const Colour& c = picture.at(x, y);
      out.u8(quantise(c.b));
      out.u8(quantise(c.g));
      out.u8(quantise(c.r));
      out.u8(quantise(c.a));
    }
  }
  out.u32(0);  // extension area offset
  out.u32(0);  // developer directory offset
  out.text("TRUEVISION-XFILE.");
  out.u8(0);
  return out.take();
}

namespace {

struct JpegErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void jpegErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

void jpegSilence(j_common_ptr) {}

}  // namespace

bool encodeJpeg(const Canvas& picture, int quality, std::vector<uint8_t>& out, std::string* error) {
  const int w = picture.width(), h = picture.height();
  std::vector<uint8_t> rgbRows(static_cast<size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Colour& c = picture.at(x, y);
      uint8_t* p = &rgbRows[(static_cast<size_t>(y) * w + x) * 3];
      p[0] = quantise(c.r);
      p[1] = quantise(c.g);
      p[2] = quantise(c.b);
    }
  }
  jpeg_compress_struct cinfo;
  JpegErrorManager err;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = jpegErrorExit;
  err.pub.output_message = jpegSilence;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    if (error) *error = std::string("JPEG encoding failed: ") + err.message;
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(w);
  cinfo.image_height = static_cast<JDIMENSION>(h);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  cinfo.optimize_coding = TRUE;
  cinfo.dct_method = JDCT_ISLOW;
  for (int c = 0; c < 3; ++c) {
    cinfo.comp_info[c].h_samp_factor = 1;
    cinfo.comp_info[c].v_samp_factor = 1;
  }
  cinfo.write_JFIF_header = TRUE;
  cinfo.JFIF_major_version = 1;
  cinfo.JFIF_minor_version = 2;
  cinfo.density_unit = 1;
  cinfo.X_density = 72;
  cinfo.Y_density = 72;
  // YCbCr data with a JFIF marker; the Adobe marker says so explicitly (transform 1).
  cinfo.write_Adobe_marker = TRUE;
  cinfo.restart_interval = 64;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = &rgbRows[static_cast<size_t>(cinfo.next_scanline) * w * 3];
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  out.assign(buffer, buffer + size);
  std::free(buffer);
  return true;
}

namespace {

// 8-bit icon palette: a 6x7x6 colour cube plus greys, enough for a small emblem.
std::array<std::array<uint8_t, 3>, 256> iconPalette() {
  std::array<std::array<uint8_t, 3>, 256> pal{};
  int i = 0;
  for (int r = 0; r < 6; ++r) {
    for (int g = 0; g < 7; ++g) {
      for (int b = 0; b < 6; ++b) {
        pal[i++] = {static_cast<uint8_t>(r * 51), static_cast<uint8_t>(std::lround(g * 42.5)),
                    static_cast<uint8_t>(b * 51)};
      }
    }
  }
  for (int k = 0; i < 256; ++i, ++k) {
    uint8_t v = static_cast<uint8_t>(std::lround(8 + k * (240.0 / 3.0)));
    pal[i] = {v, v, v};
  }
  return pal;
}

int nearestPaletteIndex(const std::array<std::array<uint8_t, 3>, 256>& pal, uint8_t r, uint8_t g, uint8_t b) {
  int best = 0;
  long bestD = -1;
  for (int i = 0; i < 256; ++i) {
    long dr = pal[i][0] - r, dg = pal[i][1] - g, db = pal[i][2] - b;
    long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
    if (bestD < 0 || d < bestD) {
      bestD = d;
      best = i;
    }
  }
  return best;
}

std::vector<uint8_t> iconDib(const IconImage& image) {
  const Canvas& pic = *image.picture;
  const int n = pic.width();
  const int bits = image.bitsPerPixel;
  const uint32_t xorRow = (static_cast<uint32_t>(n) * bits / 8 + 3) & ~3u;
  const uint32_t andRow = ((static_cast<uint32_t>(n) + 31) / 32) * 4;
  ByteWriter w;
  writeInfoHeader(w, n, 2 * n, bits, (xorRow + andRow) * static_cast<uint32_t>(n), 0);
  auto pal = iconPalette();
  if (bits == 8) {
    for (const auto& e : pal) {
      w.u8(e[2]);
      w.u8(e[1]);
      w.u8(e[0]);
      w.u8(0);
    }
  }
  // Where the mask hides a pixel, the colour is black so the icon also looks right on
  // systems that ignore the alpha channel.
  const int threshold = 128;
  for (int y = n - 1; y >= 0; --y) {
    uint32_t written = 0;
    for (int x = 0; x < n; ++x) {
      const Colour& c = pic.at(x, y);
      uint8_t a = quantise(c.a);
      bool shown = a >= threshold;
      uint8_t r = quantise(c.r), g = quantise(c.g), b = quantise(c.b);
      if (bits == 32) {
        // Premultiplication is not used by icons: straight colour with alpha.
        w.u8(b);
        w.u8(g);
        w.u8(r);
        w.u8(a);
        written += 4;
      } else if (bits == 24) {
        w.u8(shown ? b : 0);
        w.u8(shown ? g : 0);
        w.u8(shown ? r : 0);
        written += 3;
      } else {
        w.u8(static_cast<uint8_t>(shown ? nearestPaletteIndex(pal, r, g, b) : 0));
        written += 1;
      }
    }
    for (; written < xorRow; ++written) w.u8(0);
  }
  for (int y = n - 1; y >= 0; --y) {
    for (uint32_t byte = 0; byte < andRow; ++byte) {
      uint8_t bitsOut = 0;
      for (int bit = 0; bit < 8; ++bit) {
        int x = static_cast<int>(byte * 8) + bit;
        bool transparent = x >= n || quantise(pic.at(x, y).a) < threshold;
        if (transparent) bitsOut |= static_cast<uint8_t>(0x80 >> bit);
      }
      w.u8(bitsOut);
    }
  }
  return w.take();
}

}  // namespace

std::vector<uint8_t> encodeIco(const std::vector<IconImage>& images) {
  std::vector<std::vector<uint8_t>> dibs;
  for (const IconImage& im : images) dibs.push_back(iconDib(im));
  ByteWriter w;
  w.u16(0);
  w.u16(1);  // icon
  w.u16(static_cast<uint16_t>(images.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    int n = images[i].picture->width();
    w.u8(static_cast<uint8_t>(n >= 256 ? 0 : n));
    w.u8(static_cast<uint8_t>(n >= 256 ? 0 : n));
    w.u8(0);  // colour count: 0 for 8 bits and above
    w.u8(0);
    w.u16(1);
    w.u16(static_cast<uint16_t>(images[i].bitsPerPixel));
    w.u32(static_cast<uint32_t>(dibs[i].size()));
    w.u32(offset);
    offset += static_cast<uint32_t>(dibs[i].size());
  }
  for (const auto& d : dibs) w.bytes(d.data(), d.size());
  return w.take();
}

}  // namespace assetgen
