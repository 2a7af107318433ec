#include "mixer.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace kq::sound {
namespace {

// 16384 frames is 0.37 s at 44.1 kHz: the worker keeps three quarters of it filled, so a late wake
// or a slow module row never starves the mixer.
constexpr size_t kRingFrames = 16384;
constexpr size_t kFillTarget = 12288;
constexpr size_t kChunkFrames = 1024;
// 11.6 ms at 44.1 kHz: a track change is heard within about two of these.
constexpr Uint16 kDeviceFrames = 512;
constexpr Uint32 kWorkerWakeMs = 50;
// Silent device buffers to wait for after the closing fade: the one that holds the fade's end
// has then been played out, also by drivers that keep a buffer queued.
constexpr int kSilentBuffersBeforeClose = 2;
// How long a close waits for the fade; a stalled device is closed anyway.
constexpr auto kFadeTimeout = std::chrono::milliseconds(300);

}  // namespace

std::recursive_mutex& apiLock() {
  static std::recursive_mutex lock;
  return lock;
}

FrameRing::FrameRing(size_t capacityFrames)
    : m_data(capacityFrames * 2), m_capacity(capacityFrames), m_mask(capacityFrames - 1) {}

void FrameRing::push(const float* frames, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    float* dst = &m_data[((m_write + i) & m_mask) * 2];
    dst[0] = frames[2 * i];
    dst[1] = frames[2 * i + 1];
  }
  m_write += count;
}

Source::Source(bool stream, std::unique_ptr<Decoder> dec, int rampFrames)
    : isStream(stream), decoder(std::move(dec)), ring(kRingFrames), tail(static_cast<size_t>(rampFrames) * 2) {}

Engine::Engine(int rate, int channels)
    : m_rate(rate), m_channels(static_cast<size_t>(channels), nullptr), m_scratch(kChunkFrames * 2) {}

std::unique_ptr<Engine> Engine::open(int mixRate, int channels) {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "sound: no audio subsystem: %s\n", SDL_GetError());
    return nullptr;
  }
  std::unique_ptr<Engine> engine(new Engine(mixRate, channels));
  engine->m_wake = SDL_CreateSemaphore(0);
  SDL_AudioSpec want{};
  want.freq = mixRate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = kDeviceFrames;
  want.callback = &Engine::audioCallback;
  want.userdata = engine.get();
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts to whatever the hardware wants, so the mix is always
  // 16-bit stereo at mixRate.
  engine->m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (engine->m_device == 0 || engine->m_wake == nullptr) {
    std::fprintf(stderr, "sound: cannot open the audio device: %s\n", SDL_GetError());
    return nullptr;  // the destructor quits the subsystem again
  }
  engine->m_mixBuffer.assign(static_cast<size_t>(std::max<Uint16>(have.samples, kDeviceFrames)) * 2, 0.0f);
  engine->m_sources.reserve(64);
  engine->m_worker = std::thread([e = engine.get()] { e->workerMain(); });
  SDL_PauseAudioDevice(engine->m_device, 0);
  return engine;
}

Engine::~Engine() {
  if (m_device != 0) {
    fadeOut();
    SDL_CloseAudioDevice(m_device);  // waits for a running callback
  }
  m_quit = true;
  if (m_worker.joinable()) {
    wake();
    m_worker.join();
  }
  if (m_wake) SDL_DestroySemaphore(m_wake);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void Engine::beginShutdown() { m_quit = true; }

void Engine::fadeOut() {
  std::unique_lock mixing(m_mixLock);
  m_closing = true;
  m_faded.wait_for(mixing, kFadeTimeout, [this] { return m_silentBuffers >= kSilentBuffersBeforeClose; });
}

void Engine::attach(Source* s) {
  std::lock_guard decode(m_decodeLock);
  std::lock_guard mixing(m_mixLock);
  m_sources.push_back(s);
  s->engine = this;
  wake();  // the worker decodes the first frames at once, so a later play starts without delay
}

void Engine::detach(Source* s) {
  std::lock_guard decode(m_decodeLock);
  std::lock_guard mixing(m_mixLock);
  m_sources.erase(std::remove(m_sources.begin(), m_sources.end(), s), m_sources.end());
  for (Source*& slot : m_channels) {
    if (slot == s) slot = nullptr;
  }
  s->engine = nullptr;
  s->channel = -1;
}

void Engine::cutLocked(Source& s) {
  if (s.phase == Phase::Playing && s.gain > 0.0f) {
    size_t n = std::min(s.ring.size(), s.tail.size() / 2);
    for (size_t i = 0; i < n; ++i) std::memcpy(&s.tail[2 * i], s.ring.peek(i), 2 * sizeof(float));
    s.tailLen = n;
    s.tailPos = 0;
    s.tailGain = s.gain;
  }
  s.ring.clear();
  ++s.gen;
  s.decodeEnded = false;
  s.gain = 0.0f;
}

void Engine::play(Source* s) {
  {
    std::lock_guard mixing(m_mixLock);
    if (s->phase == Phase::Playing) cutLocked(*s);  // a restart: from the beginning again
    s->phase = Phase::Playing;
    s->paused = false;
    s->gain = 0.0f;
    s->endPending = false;
  }
  wake();
}

void Engine::stop(Source* s) {
  {
    std::lock_guard mixing(m_mixLock);
    if (s->phase == Phase::Playing) cutLocked(*s);  // stopped and ended ones are rewound already
    s->phase = Phase::Stopped;
    s->paused = false;
    s->endPending = false;
  }
  wake();
}

void Engine::setPaused(Source* s, bool paused) {
  std::lock_guard mixing(m_mixLock);
  s->paused = paused;
}

bool Engine::paused(Source* s) {
  std::lock_guard mixing(m_mixLock);
  return s->paused;
}

bool Engine::finished(Source* s) {
  std::lock_guard mixing(m_mixLock);
  return s->phase != Phase::Playing;
}

void Engine::setLooping(Source* s, bool looping) {
  {
    std::lock_guard mixing(m_mixLock);
    s->looping = looping;
  }
  wake();
}

// ---- the audio thread ---------------------------------------------------------------------------
// Runs on SDL's audio thread. Real-time rules: m_mixLock is the only lock (every holder keeps it
// for microseconds), no allocation, no I/O, no call into a decoder or back into SDL's device
// functions. Anything that needs more is handed to the worker through m_wake.

void SDLCALL Engine::audioCallback(void* user, Uint8* stream, int len) {
  auto* engine = static_cast<Engine*>(user);
  auto* out = reinterpret_cast<std::int16_t*>(stream);
  size_t frames = static_cast<size_t>(len) / (2 * sizeof(std::int16_t));
  const size_t chunk = engine->m_mixBuffer.size() / 2;
  while (frames > 0) {
    size_t n = std::min(frames, chunk);
    engine->mix(out, n);
    out += 2 * n;
    frames -= n;
  }
  std::lock_guard mixing(engine->m_mixLock);
  if (engine->m_closing && engine->m_outputGain <= 0.0f && ++engine->m_silentBuffers >= kSilentBuffersBeforeClose) {
    engine->m_faded.notify_all();
  }
}

void Engine::mix(std::int16_t* out, size_t frames) {
  float* acc = m_mixBuffer.data();
  std::fill(acc, acc + 2 * frames, 0.0f);
  bool consumed = false;
  {
    std::lock_guard mixing(m_mixLock);
    for (Source* s : m_sources) mixSource(*s, acc, frames, consumed);
    if (m_closing) {
      const float step = 1.0f / static_cast<float>(rampFrames());
      for (size_t i = 0; i < frames; ++i) {
        m_outputGain = std::max(0.0f, m_outputGain - step);
        acc[2 * i] *= m_outputGain;
        acc[2 * i + 1] *= m_outputGain;
      }
    }
  }
  for (size_t i = 0; i < 2 * frames; ++i) {
    float v = std::clamp(acc[i], -1.0f, 1.0f) * 32767.0f;
    out[i] = static_cast<std::int16_t>(std::lrintf(v));
  }
  if (consumed) wake();
}

void Engine::mixSource(Source& s, float* acc, size_t frames, bool& consumed) {
  // The fade-out of a stopped or restarted source, from the frames it was about to play.
  for (size_t i = 0; i < frames && s.tailPos < s.tailLen; ++i, ++s.tailPos) {
    float g = s.tailGain * static_cast<float>(s.tailLen - s.tailPos - 1) / static_cast<float>(s.tailLen);
    acc[2 * i] += s.tail[2 * s.tailPos] * g;
    acc[2 * i + 1] += s.tail[2 * s.tailPos + 1] * g;
  }
  if (s.phase != Phase::Playing) return;
  const float step = 1.0f / static_cast<float>(rampFrames());
  for (size_t i = 0; i < frames; ++i) {
    if (s.paused && s.gain <= 0.0f) {
      s.gain = 0.0f;  // faded out: hold the position until resumed
      return;
    }
    if (s.ring.size() == 0) {
      if (s.decodeEnded && s.filledGen == s.gen) {
        // Every frame has been mixed: the end. The ring starts over for the next play.
        s.phase = Phase::Ended;
        ++s.gen;
        s.decodeEnded = false;
        s.endPending = s.isStream;
        s.endGen = s.gen;
        if (s.endPending) m_endSignal.store(true, std::memory_order_relaxed);
        consumed = true;
      }
      return;  // otherwise the worker is behind: silence until it catches up
    }
    s.gain = s.paused ? std::max(0.0f, s.gain - step) : std::min(1.0f, s.gain + step);
    const float* f = s.ring.peek();
    acc[2 * i] += f[0] * s.gain;
    acc[2 * i + 1] += f[1] * s.gain;
    s.ring.drop(1);
    consumed = true;
  }
}

// ---- the decoder worker ---------------------------------------------------------------------------

void Engine::workerMain() {
  pthread_setname_np(pthread_self(), "kq-sound-decode");
  while (!m_quit) {
    SDL_SemWaitTimeout(m_wake, kWorkerWakeMs);
    if (m_quit) break;
    if (m_endSignal.exchange(false, std::memory_order_relaxed)) deliverEndEvents();
    decodePass();
  }
}

void Engine::deliverEndEvents() {
  // The call lock makes the callback and the application's calls take turns: once a stop has
  // returned, no callback for the play it ended can still be on its way.
  std::lock_guard api(apiLock());
  if (m_quit) return;
  std::vector<Source*> snapshot = m_sources;
  for (Source* s : snapshot) {
    // An earlier callback may have closed it.
    if (std::find(m_sources.begin(), m_sources.end(), s) == m_sources.end()) continue;
    bool fire = false;
    {
      std::lock_guard mixing(m_mixLock);
      if (s->endPending) {
        s->endPending = false;
        fire = s->phase == Phase::Ended && s->gen == s->endGen;
      }
    }
    if (fire && s->isStream && s->endCallback) {
      s->endCallback(static_cast<FSOUND_STREAM*>(s), nullptr, 0, s->endUserData);
    }
  }
}

void Engine::decodePass() {
  std::lock_guard decode(m_decodeLock);
  // Playing sources first; the others only get their opening frames ready.
  for (int round = 0; round < 2; ++round) {
    for (Source* s : m_sources) {
      for (;;) {
        bool rewind = false;
        bool looping = true;
        size_t want = 0;
        std::uint32_t target = 0;
        {
          std::lock_guard mixing(m_mixLock);
          if ((s->phase == Phase::Playing) != (round == 0)) break;
          looping = s->looping;
          target = s->gen;
          if (s->filledGen != s->gen) {
            rewind = true;
          } else if (!s->decodeEnded && s->ring.size() < kFillTarget) {
            want = std::min(kChunkFrames, s->ring.space());
          }
        }
        if (looping != s->appliedLooping) {
          s->decoder->setLooping(looping);
          s->appliedLooping = looping;
        }
        if (rewind) {
          s->decoder->rewind();
          std::lock_guard mixing(m_mixLock);
          if (s->gen == target) {
            s->ring.clear();
            s->filledGen = target;
            s->decodeEnded = false;
          }
          continue;
        }
        if (want == 0) break;
        bool ended = false;
        size_t got = s->decoder->render(m_scratch.data(), want, ended);
        std::lock_guard mixing(m_mixLock);
        if (s->gen != target || s->filledGen != target) continue;  // stopped meanwhile: discard
        s->ring.push(m_scratch.data(), got);
        if (ended) s->decodeEnded = true;
      }
    }
  }
}

}  // namespace kq::sound
