#include "mp3_encoder.h"

#include "song.h"

#include <lame/lame.h>

#include <memory>

namespace tune {
namespace {

struct LameDeleter {
  void operator()(lame_global_flags* gf) const { lame_close(gf); }
};

}  // namespace

Mp3Result encodeMp3(const Stereo& audio, const std::string& title, const std::string& artist) {
  Mp3Result result;
  if (audio.left.size() != audio.right.size()) {
    result.error = "channels differ in length";
    return result;
  }
  std::unique_ptr<lame_global_flags, LameDeleter> gf(lame_init());
  if (!gf) {
    result.error = "lame_init failed";
    return result;
  }
  lame_set_in_samplerate(gf.get(), 44100);
  lame_set_out_samplerate(gf.get(), 44100);
  lame_set_num_channels(gf.get(), 2);
  lame_set_mode(gf.get(), JOINT_STEREO);
  lame_set_VBR(gf.get(), vbr_off);
  lame_set_brate(gf.get(), kMp3Kbps);
  lame_set_quality(gf.get(), 5);
  lame_set_bWriteVbrTag(gf.get(), 1);
  lame_set_write_id3tag_automatic(gf.get(), 0);
  id3tag_init(gf.get());
  id3tag_v2_only(gf.get());
  id3tag_set_title(gf.get(), title.c_str());
  id3tag_set_artist(gf.get(), artist.c_str());
  if (lame_init_params(gf.get()) < 0) {
    result.error = "lame_init_params failed";
    return result;
  }
  std::vector<uint8_t>& out = result.bytes;
  std::vector<unsigned char> tag(lame_get_id3v2_tag(gf.get(), nullptr, 0));
  if (!tag.empty()) {
    const size_t written = lame_get_id3v2_tag(gf.get(), tag.data(), tag.size());
    out.insert(out.end(), tag.begin(), tag.begin() + static_cast<long>(std::min(written, tag.size())));
  }
  const size_t firstFrame = out.size();

  const size_t chunk = 8192;
  std::vector<unsigned char> buf(chunk * 5 / 4 + 7200);
  for (size_t pos = 0; pos < audio.left.size(); pos += chunk) {
    const int count = static_cast<int>(std::min(chunk, audio.left.size() - pos));
    const int n = lame_encode_buffer_ieee_float(gf.get(), audio.left.data() + pos, audio.right.data() + pos, count,
                                                buf.data(), static_cast<int>(buf.size()));
    if (n < 0) {
      result.error = "lame_encode_buffer_ieee_float failed (" + std::to_string(n) + ")";
      return result;
    }
    out.insert(out.end(), buf.begin(), buf.begin() + n);
  }
  const int n = lame_encode_flush(gf.get(), buf.data(), static_cast<int>(buf.size()));
  if (n < 0) {
    result.error = "lame_encode_flush failed";
    return result;
  }
  out.insert(out.end(), buf.begin(), buf.begin() + n);

  // The first frame was reserved for the info tag; fill it in now that the totals are known.
  std::vector<unsigned char> info(2880);
  const size_t infoSize = lame_get_lametag_frame(gf.get(), info.data(), info.size());
  if (infoSize > 0 && infoSize <= info.size() && firstFrame + infoSize <= out.size())
    std::copy(info.begin(), info.begin() + static_cast<long>(infoSize), out.begin() + static_cast<long>(firstFrame));
  result.ok = true;
  return result;
}

}  // namespace tune
