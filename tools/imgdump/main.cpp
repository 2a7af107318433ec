// imgdump FILE [--rgba OUT]
// Prints what the image decoders make of FILE as one line of JSON; with --rgba also writes
// the first level as 8-bit R, G, B, A bytes, top row first. Exit status 0 when the file was
// accepted, 1 when it was not, 2 for usage or file errors.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "d3dx9tex.h"
#include "image_decoder.h"
#include "pixel_conversion.h"
#include "pixel_format.h"

namespace {

std::string resultName(HRESULT hr) {
  switch (hr) {
    case S_OK:
      return "S_OK";
    case D3DXERR_INVALIDDATA:
      return "D3DXERR_INVALIDDATA";
    case D3DERR_INVALIDCALL:
      return "D3DERR_INVALIDCALL";
    case D3DERR_NOTAVAILABLE:
      return "D3DERR_NOTAVAILABLE";
    case E_OUTOFMEMORY:
      return "E_OUTOFMEMORY";
    case E_FAIL:
      return "E_FAIL";
    default: {
      char text[16];
      std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
      return text;
    }
  }
}

const char* fileFormatName(D3DXIMAGE_FILEFORMAT format) {
  static const char* const kNames[] = {"BMP", "JPEG", "TGA", "PNG", "DDS", "PPM", "DIB", "HDR", "PFM"};
  return static_cast<size_t>(format) < std::size(kNames) ? kNames[format] : "?";
}

int usage() {
  std::fprintf(stderr, "usage: imgdump FILE [--rgba OUT]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && std::strcmp(argv[2], "--rgba") == 0)) return usage();
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "imgdump: cannot read %s\n", argv[1]);
    return 2;
  }
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  d3dx::DecodedImage picture;
  D3DXIMAGE_INFO info{};
  const HRESULT hr = d3dx::decodeImage(file.data(), file.size(), true, &info, picture);
  if (FAILED(hr)) {
    std::printf(
        "{\"accepted\": false, \"result\": \"%s\", \"file_format\": null, \"format\": null, \"width\": 0, "
        "\"height\": 0, \"levels\": 0}\n",
        resultName(hr).c_str());
    return 1;
  }
  const d3dx::PixelFormatInfo* format = d3dx::pixelFormatInfo(info.Format);
  std::printf(
      "{\"accepted\": true, \"result\": \"%s\", \"file_format\": \"%s\", \"format\": \"%s\", \"width\": %u, "
      "\"height\": %u, \"levels\": %u}\n",
      resultName(hr).c_str(), fileFormatName(info.ImageFileFormat), format ? format->name : "?", info.Width,
      info.Height, info.MipLevels);
  if (argc == 4) {
    std::vector<uint8_t> rgba;
    if (const HRESULT converted = d3dx::pictureToRgba8(picture, rgba); FAILED(converted)) {
      std::fprintf(stderr, "imgdump: cannot convert the picture: %s\n", resultName(converted).c_str());
      return 2;
    }
    std::ofstream out(argv[3], std::ios::binary);
    out.write(reinterpret_cast<const char*>(rgba.data()), static_cast<std::streamsize>(rgba.size()));
    if (!out) {
      std::fprintf(stderr, "imgdump: cannot write %s\n", argv[3]);
      return 2;
    }
  }
  return 0;
}
