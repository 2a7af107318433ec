#include <SDL.h>
#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "decoders.h"

namespace kq::sound {
namespace {

// libmpg123 reads the file through these, from the bytes held in memory.
struct MemoryFile {
  std::vector<std::uint8_t> bytes;
  size_t pos = 0;
};

mpg123_ssize_t memoryRead(void* handle, void* buffer, size_t count) {
  auto* f = static_cast<MemoryFile*>(handle);
  size_t n = std::min(count, f->bytes.size() - f->pos);
  std::memcpy(buffer, f->bytes.data() + f->pos, n);
  f->pos += n;
  return static_cast<mpg123_ssize_t>(n);
}

off_t memorySeek(void* handle, off_t offset, int whence) {
  auto* f = static_cast<MemoryFile*>(handle);
  off_t base = whence == SEEK_SET   ? 0
               : whence == SEEK_CUR ? static_cast<off_t>(f->pos)
               : whence == SEEK_END ? static_cast<off_t>(f->bytes.size())
                                    : -1;
  if (base < 0 || offset < -base || offset > static_cast<off_t>(f->bytes.size()) - base) return -1;
  f->pos = static_cast<size_t>(base + offset);
  return static_cast<off_t>(f->pos);
}

struct HandleDeleter {
  void operator()(mpg123_handle* h) const {
    mpg123_close(h);
    mpg123_delete(h);
  }
};
struct StreamDeleter {
  void operator()(SDL_AudioStream* s) const { SDL_FreeAudioStream(s); }
};

constexpr size_t kDecodeFrames = 1152 * 2;

class Mp3Decoder final : public Decoder {
 public:
  size_t render(float* out, size_t frames, bool& ended) override;
  void rewind() override;

  bool open(std::vector<std::uint8_t> bytes, int outRate, std::string* why);

 private:
  // Decodes up to `bytes` into `buffer` at the file's own rate; the bytes written. Marks the
  // input done at its end, where the data turns bad, or where the format changes midway (a file
  // glued from two: the first one plays).
  size_t read(void* buffer, size_t bytes);

  MemoryFile m_file;
  std::unique_ptr<mpg123_handle, HandleDeleter> m_mh;
  // Null when the file already is stereo at the output rate.
  std::unique_ptr<SDL_AudioStream, StreamDeleter> m_converter;
  long m_rate = 0;
  int m_channels = 0;
  bool m_inputDone = false;
  std::vector<float> m_decoded = std::vector<float>(kDecodeFrames * 2);
};

bool Mp3Decoder::open(std::vector<std::uint8_t> bytes, int outRate, std::string* why) {
  auto fail = [&](const char* reason) {
    if (why) *why = reason;
    return false;
  };
  m_file.bytes = std::move(bytes);
  int err = MPG123_OK;
  m_mh.reset(mpg123_new(nullptr, &err));
  if (!m_mh) return fail("decoder unavailable");
  mpg123_handle* mh = m_mh.get();
  mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
  // Every rate, native: the file's own rate wins, so libmpg123's crude resampler never runs and
  // the conversion to the output rate is SDL's band-limited one.
  mpg123_format_none(mh);
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (size_t i = 0; i < rateCount; ++i) {
    mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
  }
  if (mpg123_replace_reader_handle(mh, memoryRead, memorySeek, nullptr) != MPG123_OK ||
      mpg123_open_handle(mh, &m_file) != MPG123_OK) {
    return fail("cannot open");
  }
  // Opening accepts any readable bytes; only a decodable first frame tells an MP3 apart.
  int encoding = 0;
  if (mpg123_getformat(mh, &m_rate, &m_channels, &encoding) != MPG123_OK) return fail("no MPEG frame");
  mpg123_frameinfo2 info{};
  if (mpg123_info2(mh, &info) != MPG123_OK || info.layer != 3) return fail("not MPEG layer 3");
  if (encoding != MPG123_ENC_FLOAT_32 || (m_channels != 1 && m_channels != 2) || m_rate <= 0) {
    return fail("unsupported sample format");
  }
  size_t got = 0;
  int rc = mpg123_read(mh, m_decoded.data(), m_decoded.size() * sizeof(float), &got);
  if (got == 0 || (rc != MPG123_OK && rc != MPG123_DONE)) return fail("first frame does not decode");
  if (mpg123_seek(mh, 0, SEEK_SET) < 0) return fail("cannot rewind");

  if (m_rate != outRate || m_channels != 2) {
    m_converter.reset(SDL_NewAudioStream(AUDIO_F32SYS, static_cast<Uint8>(m_channels), static_cast<int>(m_rate),
                                         AUDIO_F32SYS, 2, outRate));
    if (!m_converter) return fail("no rate converter");
  }
  return true;
}

size_t Mp3Decoder::read(void* buffer, size_t bytes) {
  if (m_inputDone) return 0;
  size_t got = 0;
  const int rc = mpg123_read(m_mh.get(), buffer, bytes, &got);
  // The last call may bring the final bytes along with MPG123_DONE: they are kept.
  if (rc == MPG123_NEW_FORMAT) {
    long rate = 0;
    int channels = 0, encoding = 0;
    mpg123_getformat(m_mh.get(), &rate, &channels, &encoding);
    if (rate != m_rate || channels != m_channels) m_inputDone = true;
  } else if (rc != MPG123_OK) {
    m_inputDone = true;  // MPG123_DONE, or data that has turned bad
  }
  return got;
}

size_t Mp3Decoder::render(float* out, size_t frames, bool& ended) {
  constexpr size_t kFrameBytes = 2 * sizeof(float);
  size_t done = 0;
  while (done < frames) {
    if (!m_converter) {
      done += read(out + 2 * done, (frames - done) * kFrameBytes) / kFrameBytes;
      if (m_inputDone) {
        ended = true;
        break;
      }
      continue;
    }
    const int available = SDL_AudioStreamAvailable(m_converter.get());
    if (available >= static_cast<int>(kFrameBytes)) {
      const size_t want = std::min(frames - done, static_cast<size_t>(available) / kFrameBytes);
      const int got = SDL_AudioStreamGet(m_converter.get(), out + 2 * done, static_cast<int>(want * kFrameBytes));
      if (got <= 0) {
        // The converter failed: end here rather than hand back a short render that looks like
        // more is coming.
        m_inputDone = true;
        ended = true;
        break;
      }
      done += static_cast<size_t>(got) / kFrameBytes;
      continue;
    }
    if (m_inputDone) {
      ended = true;
      break;
    }
    if (const size_t got = read(m_decoded.data(), m_decoded.size() * sizeof(float)); got > 0)
      SDL_AudioStreamPut(m_converter.get(), m_decoded.data(), static_cast<int>(got));
    // Push the converter's held-back tail out once nothing more comes in.
    if (m_inputDone) SDL_AudioStreamFlush(m_converter.get());
  }
  return done;
}

void Mp3Decoder::rewind() {
  mpg123_seek(m_mh.get(), 0, SEEK_SET);
  if (m_converter) SDL_AudioStreamClear(m_converter.get());
  m_inputDone = false;
}

}  // namespace

std::unique_ptr<Decoder> openMp3(std::vector<std::uint8_t> bytes, int outRate, std::string* why) {
  auto decoder = std::make_unique<Mp3Decoder>();
  if (!decoder->open(std::move(bytes), outRate, why)) return nullptr;
  return decoder;
}

}  // namespace kq::sound
