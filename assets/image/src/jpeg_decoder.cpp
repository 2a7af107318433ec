// JPEG through libjpeg: grey pictures become L8, colour ones X8R8G8B8.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

#include "decoders.h"

namespace d3dx::image {

namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

[[noreturn]] void errorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }
void silentMessage(j_common_ptr, int) {}
void silentOutput(j_common_ptr) {}

// The whole buffer is one block of input. A request for more data than there is ends
// decoding with an error (a truncated file is rejected); a skip past the end stops there.
void initSource(j_decompress_ptr) {}
boolean fillInput(j_decompress_ptr cinfo) {
  ERREXIT(cinfo, JERR_INPUT_EOF);
  return FALSE;
}
void skipInput(j_decompress_ptr cinfo, long count) {
  jpeg_source_mgr* src = cinfo->src;
  if (count <= 0) return;
  const size_t skip = std::min(static_cast<size_t>(count), src->bytes_in_buffer);
  src->next_input_byte += skip;
  src->bytes_in_buffer -= skip;
}
void termSource(j_decompress_ptr) {}

// The inverse DCT: the fast integer one unless the processor offers MMX as the library
// counts it (an x86 processor above the 486 that reports MMX, not switched off through the
// "DisableMMX" value), in which case libjpeg's default stays.
bool mmxAvailable() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Direct3D", 0, KEY_READ, &key) == ERROR_SUCCESS) {
    DWORD value = 0, type = 0, size = sizeof value;
    const bool disabled =
        RegQueryValueExA(key, "DisableMMX", nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size) == ERROR_SUCCESS &&
        type == REG_DWORD && value != 0;
    RegCloseKey(key);
    if (disabled) return false;
  }
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  return system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_INTEL && system.wProcessorLevel > 4 &&
         IsProcessorFeaturePresent(PF_MMX_INSTRUCTIONS_AVAILABLE);
}

// Runs between setjmp and the end of decoding; holds nothing that needs destroying, so the
// error exit may jump over it.
HRESULT decompress(jpeg_decompress_struct& cinfo, DecodedImage& image, JSAMPLE* rowBuffer) {
  for (uint32_t y = 0; y < cinfo.output_height; ++y) {
    JSAMPROW row = rowBuffer;
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) return kRejected;
    uint8_t* dst = image.storage.get() + size_t{y} * image.pitch;
    if (cinfo.output_components == 1) {
      std::memcpy(dst, rowBuffer, cinfo.output_width);
    } else {
      for (uint32_t x = 0; x < cinfo.output_width; ++x) {
        const JSAMPLE* rgb = rowBuffer + 3 * x;
        putLe32(dst + 4 * x, (uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2]);
      }
    }
  }
  jpeg_finish_decompress(&cinfo);
  return S_OK;
}

// Everything that may end in libjpeg's error exit. Holds no state of its own across the jump.
HRESULT readPicture(jpeg_decompress_struct& cinfo, ErrorManager& errors, jpeg_source_mgr& source, Bytes file,
                    bool useDefaultDct, DecodedImage& image) {
  if (setjmp(errors.jump) != 0) return kRejected;
  jpeg_create_decompress(&cinfo);
  // libjpeg's own working memory (progressive coefficients) is bounded too.
  cinfo.mem->max_memory_to_use = static_cast<long>(kMaxPictureBytes / 2);
  source.next_input_byte = file.data();
  source.bytes_in_buffer = file.size();
  source.init_source = initSource;
  source.fill_input_buffer = fillInput;
  source.skip_input_data = skipInput;
  source.resync_to_restart = jpeg_resync_to_restart;
  source.term_source = termSource;
  cinfo.src = &source;

  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) return kRejected;
  if (!useDefaultDct) cinfo.dct_method = JDCT_IFAST;
  if (cinfo.image_width > kMaxDimension || cinfo.image_height > kMaxDimension) return kRejected;
  if (!jpeg_start_decompress(&cinfo)) return kRejected;
  if (cinfo.output_components != 1 && cinfo.output_components != 3) return E_FAIL;
  const HRESULT hr = allocatePicture(image, cinfo.output_components == 1 ? D3DFMT_L8 : D3DFMT_X8R8G8B8,
                                     cinfo.output_width, cinfo.output_height);
  if (hr != S_OK) return hr;
  // From libjpeg's pool, so that an error exit leaves nothing to free.
  JSAMPARRAY rows =
      (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, cinfo.output_width * 3, 1);
  return decompress(cinfo, image, rows[0]);
}

}  // namespace

HRESULT decodeJpeg(Bytes file, DecodedImage& image) {
  if (file.empty()) return kRejected;
  static const bool useDefaultDct = mmxAvailable();
  jpeg_decompress_struct cinfo{};
  ErrorManager errors{};
  cinfo.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = errorExit;
  errors.base.emit_message = silentMessage;
  errors.base.output_message = silentOutput;
  jpeg_source_mgr source{};
  const HRESULT hr = readPicture(cinfo, errors, source, file, useDefaultDct, image);
  jpeg_destroy_decompress(&cinfo);
  return hr;
}

}  // namespace d3dx::image
