// The engine behind the FSOUND/FMUSIC calls: one SDL output device, a decoder worker thread and
// the sources (streams and modules) they share.
//
// Threads and locks, in the order they may be taken:
//   apiLock (recursive, global): every public call, and the decoder worker while it delivers
//     end-of-stream callbacks, so a callback never runs concurrently with (or after) a stop.
//   Engine::m_decodeLock: held by the worker for a decode pass; taken by calls that remove a
//     source so its decoder is not in use when it goes away.
//   Engine::m_mixLock: ring buffers and play state; held only for a few microseconds by anyone,
//     and the only lock the SDL audio callback takes.
// The audio callback does no I/O and allocates nothing: it mixes what the worker decoded ahead.
#pragma once

#include <SDL.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "decoders.h"
#include "fmod.h"

namespace kq::sound {

class Engine;

// Float stereo frames, decoded ahead of the mixer. Guarded by Engine::m_mixLock.
class FrameRing {
 public:
  explicit FrameRing(size_t capacityFrames);
  size_t size() const { return static_cast<size_t>(m_write - m_read); }
  size_t space() const { return m_capacity - size(); }
  void clear() { m_read = m_write = 0; }
  void push(const float* frames, size_t count);
  // The frame `ahead` places after the next one to be read.
  const float* peek(size_t ahead = 0) const { return &m_data[((m_read + ahead) & m_mask) * 2]; }
  void drop(size_t count) { m_read += count; }

 private:
  std::vector<float> m_data;
  size_t m_capacity;
  size_t m_mask;
  std::uint64_t m_read = 0;
  std::uint64_t m_write = 0;
};

enum class Phase { Stopped, Playing, Ended };

// Shared part of FSOUND_STREAM and FMUSIC_MODULE.
class Source {
 public:
  Source(bool isStream, std::unique_ptr<Decoder> decoder, int rampFrames);
  virtual ~Source() = default;

  const bool isStream;

  // Used by the decoder worker only while the source belongs to a running engine.
  std::unique_ptr<Decoder> decoder;
  bool appliedLooping = true;

  // apiLock.
  Engine* engine = nullptr;
  int channel = -1;
  FSOUND_STREAMCALLBACK endCallback = nullptr;
  void* endUserData = nullptr;

  // Engine::m_mixLock.
  FrameRing ring;
  Phase phase = Phase::Stopped;
  bool paused = false;
  bool looping = true;
  float gain = 0.0f;              // fade gain, moving towards 0 (paused) or 1
  std::uint32_t gen = 0;          // bumped on every stop, restart and end: the ring must start over
  std::uint32_t filledGen = ~0u;  // which `gen` the ring holds frames of (frames only if equal)
  bool decodeEnded = false;       // the decoder reached the end of `filledGen`
  bool endPending = false;        // ended by itself; the end callback is still to be delivered
  std::uint32_t endGen = 0;
  std::vector<float> tail;  // the last frames heard before a stop, faded out after it
  size_t tailLen = 0;
  size_t tailPos = 0;
  float tailGain = 0.0f;
};

class Engine {
 public:
  // Null (and the reason on stderr) when the device cannot be opened.
  static std::unique_ptr<Engine> open(int mixRate, int channels);
  // Fades the output to silence, stops and joins the worker and closes the device. Call
  // beginShutdown under apiLock first.
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  int rate() const { return m_rate; }
  int rampFrames() const { return m_rate / 200; }  // 5 ms
  int channelCount() const { return static_cast<int>(m_channels.size()); }
  bool isWorkerThread() const { return std::this_thread::get_id() == m_worker.get_id(); }

  // Makes the worker deliver no more end callbacks (call under apiLock).
  void beginShutdown();

  // All of these run under apiLock.
  void attach(Source* s);
  void detach(Source* s);
  void play(Source* s);
  void stop(Source* s);
  void setPaused(Source* s, bool paused);
  bool paused(Source* s);
  bool finished(Source* s);
  void setLooping(Source* s, bool looping);
  Source*& channelSlot(int channel) { return m_channels[static_cast<size_t>(channel)]; }

 private:
  Engine(int rate, int channels);
  static void SDLCALL audioCallback(void* user, Uint8* stream, int len);
  void mix(std::int16_t* out, size_t frames);
  void mixSource(Source& s, float* acc, size_t frames, bool& consumed);
  void workerMain();
  void deliverEndEvents();
  void decodePass();
  // Under m_mixLock: keeps the frames about to be heard for the fade-out and empties the ring.
  void cutLocked(Source& s);
  void wake() { SDL_SemPost(m_wake); }
  // Ramps the whole mix down and waits until the device has been handed silence, so closing it
  // cuts nothing off mid-waveform.
  void fadeOut();

  int m_rate;
  SDL_AudioDeviceID m_device = 0;
  SDL_sem* m_wake = nullptr;
  std::thread m_worker;
  std::atomic<bool> m_quit{false};
  std::atomic<bool> m_endSignal{false};  // a stream ended; its callback is to be delivered

  std::mutex m_decodeLock;
  std::mutex m_mixLock;
  // The closing fade, under m_mixLock: the output gain falls to 0 once m_closing is set, and
  // m_silentBuffers counts the device buffers finished at gain 0 since.
  bool m_closing = false;
  float m_outputGain = 1.0f;
  int m_silentBuffers = 0;
  std::condition_variable m_faded;
  std::vector<Source*> m_sources;   // changed under all three locks
  std::vector<Source*> m_channels;  // apiLock
  std::vector<float> m_mixBuffer;   // audio callback only
  std::vector<float> m_scratch;     // worker only
};

// Taken by every public call; see above.
std::recursive_mutex& apiLock();

}  // namespace kq::sound

struct FSOUND_STREAM final : kq::sound::Source {
  using Source::Source;
};
struct FMUSIC_MODULE final : kq::sound::Source {
  using Source::Source;
};
