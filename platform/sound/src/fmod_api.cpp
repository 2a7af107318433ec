// The published FSOUND/FMUSIC functions: argument checks, handle bookkeeping and the call lock,
// over the engine in mixer.cpp.
#include <algorithm>
#include <cstdio>

#include "fmod.h"
#include "mixer.h"
#include "path_resolve.h"

using kq::sound::Engine;
using kq::sound::Source;

namespace {

// Both guarded by apiLock().
std::unique_ptr<Engine> g_engine;
std::vector<Source*> g_live;  // every open stream and module, with or without an engine

using Lock = std::lock_guard<std::recursive_mutex>;

bool isLive(const Source* s) { return s != nullptr && std::find(g_live.begin(), g_live.end(), s) != g_live.end(); }

// A handle that can play: open, and opened under the engine that runs now.
Engine* engineOf(const Source* s) { return isLive(s) ? s->engine : nullptr; }

bool wholeFileArgs(const char* what, bool ok) {
  if (!ok) std::fprintf(stderr, "sound: %s: only whole files opened by name are supported\n", what);
  return ok;
}

// The file read and its decoder made by `open` (bytes, reason out); on failure one line on
// stderr names the file and the reason.
template <typename Open>
std::unique_ptr<kq::sound::Decoder> openFile(const char* function, const char* name, Open open) {
  std::string why;
  std::unique_ptr<kq::sound::Decoder> decoder;
  if (auto bytes = kq::sound::readWholeFile(name, &why)) decoder = open(std::move(*bytes), &why);
  if (!decoder) std::fprintf(stderr, "sound: %s: %s: %s\n", function, name, why.c_str());
  return decoder;
}

void unbind(Source* s) {
  if (s->engine && s->channel >= 0) s->engine->channelSlot(s->channel) = nullptr;
  s->channel = -1;
}

void release(Source* s) {
  if (Engine* e = s->engine) {
    e->stop(s);
    unbind(s);
    e->detach(s);
  }
  g_live.erase(std::remove(g_live.begin(), g_live.end(), s), g_live.end());
  delete s;
}

// Under the call lock: the result of `action` on what plays on the channel, FALSE for a channel
// out of range or with nothing on it.
template <typename Action>
signed char withChannelSource(int channel, Action action) {
  Lock lock(kq::sound::apiLock());
  if (!g_engine || channel < 0 || channel >= g_engine->channelCount()) return FALSE;
  Source* s = g_engine->channelSlot(channel);
  return s && action(*g_engine, s) ? TRUE : FALSE;
}

bool isModule(const FMUSIC_MODULE* mod) { return isLive(mod) && !mod->isStream; }

// Under the call lock: the result of `action` on the engine of a module that can play, FALSE
// for any other handle.
template <typename Action>
signed char withModuleEngine(FMUSIC_MODULE* mod, Action action) {
  Lock lock(kq::sound::apiLock());
  Engine* e = isModule(mod) ? mod->engine : nullptr;
  return e && action(*e) ? TRUE : FALSE;
}

}  // namespace

signed char FSOUND_Init(int mixrate, int maxsoftwarechannels,
                        unsigned int /*flags: global focus is the only behaviour*/) {
  Lock lock(kq::sound::apiLock());
  if (g_engine) {
    std::fprintf(stderr, "sound: FSOUND_Init: already started\n");
    return FALSE;
  }
  if (mixrate < 8000 || mixrate > 192000 || maxsoftwarechannels < 1 || maxsoftwarechannels > 1024) {
    std::fprintf(stderr, "sound: FSOUND_Init: unsupported rate %d or channel count %d\n", mixrate, maxsoftwarechannels);
    return FALSE;
  }
  g_engine = Engine::open(mixrate, maxsoftwarechannels);
  return g_engine ? TRUE : FALSE;
}

void FSOUND_Close(void) {
  std::unique_ptr<Engine> engine;
  {
    Lock lock(kq::sound::apiLock());
    if (!g_engine) return;
    if (g_engine->isWorkerThread()) {
      std::fprintf(stderr, "sound: FSOUND_Close from inside an end callback is not supported\n");
      return;
    }
    for (Source* s : g_live) {
      if (s->engine == g_engine.get()) {
        s->engine = nullptr;
        s->channel = -1;
      }
    }
    g_engine->beginShutdown();
    engine = std::move(g_engine);
  }
  // Outside the lock: the worker may be waiting for it to deliver a callback it will now skip.
  engine.reset();
}

FSOUND_STREAM* FSOUND_Stream_Open(const char* name, unsigned int mode, int offset, int length) {
  Lock lock(kq::sound::apiLock());
  if (!g_engine || !wholeFileArgs("FSOUND_Stream_Open", mode == 0 && offset == 0 && length == 0)) {
    return nullptr;
  }
  const int rate = g_engine->rate();
  auto decoder = openFile("FSOUND_Stream_Open", name, [rate](std::vector<std::uint8_t> bytes, std::string* why) {
    return kq::sound::openMp3(std::move(bytes), rate, why);
  });
  if (!decoder) return nullptr;
  auto* stream = new FSOUND_STREAM(true, std::move(decoder), g_engine->rampFrames());
  g_live.push_back(stream);
  g_engine->attach(stream);
  return stream;
}

signed char FSOUND_Stream_SetEndCallback(FSOUND_STREAM* stream, FSOUND_STREAMCALLBACK callback, void* userdata) {
  Lock lock(kq::sound::apiLock());
  if (!isLive(stream)) return FALSE;
  stream->endCallback = callback;
  stream->endUserData = userdata;
  return TRUE;
}

int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream) {
  Lock lock(kq::sound::apiLock());
  Engine* e = engineOf(stream);
  if (!e || channel < 0 || channel >= e->channelCount()) return -1;
  Source*& slot = e->channelSlot(channel);
  if (slot != nullptr && slot != stream) {
    e->stop(slot);
    slot->channel = -1;
  }
  if (stream->channel >= 0 && stream->channel != channel) unbind(stream);
  slot = stream;
  stream->channel = channel;
  e->play(stream);
  return channel;
}

signed char FSOUND_Stream_Stop(FSOUND_STREAM* stream) {
  Lock lock(kq::sound::apiLock());
  Engine* e = engineOf(stream);
  if (!e) return FALSE;
  e->stop(stream);
  unbind(stream);
  return TRUE;
}

signed char FSOUND_Stream_Close(FSOUND_STREAM* stream) {
  Lock lock(kq::sound::apiLock());
  if (!isLive(stream) || !stream->isStream) return FALSE;
  release(stream);
  return TRUE;
}

signed char FSOUND_GetPaused(int channel) {
  return withChannelSource(channel, [](Engine& e, Source* s) { return e.paused(s); });
}

signed char FSOUND_SetPaused(int channel, signed char paused) {
  return withChannelSource(channel, [&](Engine& e, Source* s) {
    e.setPaused(s, paused != 0);
    return true;
  });
}

FMUSIC_MODULE* FMUSIC_LoadSongEx(const char* name, int offset, int length, unsigned int mode, const int* samplelist,
                                 int samplelistnum) {
  Lock lock(kq::sound::apiLock());
  if (!g_engine || !wholeFileArgs("FMUSIC_LoadSongEx", offset == 0 && length == 0 && mode == 0 &&
                                                           samplelist == nullptr && samplelistnum == 0)) {
    return nullptr;
  }
  const int rate = g_engine->rate();
  auto decoder = openFile("FMUSIC_LoadSongEx", name, [rate](std::vector<std::uint8_t> bytes, std::string* why) {
    return kq::sound::openModule(bytes, rate, why);
  });
  if (!decoder) return nullptr;
  auto* mod = new FMUSIC_MODULE(false, std::move(decoder), g_engine->rampFrames());
  g_live.push_back(mod);
  g_engine->attach(mod);
  return mod;
}

signed char FMUSIC_SetLooping(FMUSIC_MODULE* mod, signed char looping) {
  Lock lock(kq::sound::apiLock());
  if (!isModule(mod)) return FALSE;
  if (mod->engine) mod->engine->setLooping(mod, looping != 0);
  return TRUE;
}

signed char FMUSIC_PlaySong(FMUSIC_MODULE* mod) {
  return withModuleEngine(mod, [&](Engine& e) {
    e.play(mod);
    return true;
  });
}

signed char FMUSIC_StopSong(FMUSIC_MODULE* mod) {
  return withModuleEngine(mod, [&](Engine& e) {
    e.stop(mod);
    return true;
  });
}

signed char FMUSIC_GetPaused(FMUSIC_MODULE* mod) {
  return withModuleEngine(mod, [&](Engine& e) { return e.paused(mod); });
}

signed char FMUSIC_SetPaused(FMUSIC_MODULE* mod, signed char pause) {
  return withModuleEngine(mod, [&](Engine& e) {
    e.setPaused(mod, pause != 0);
    return true;
  });
}

signed char FMUSIC_IsFinished(FMUSIC_MODULE* mod) {
  Lock lock(kq::sound::apiLock());
  if (!isModule(mod)) return FALSE;
  return !mod->engine || mod->engine->finished(mod) ? TRUE : FALSE;
}

signed char FMUSIC_FreeSong(FMUSIC_MODULE* mod) {
  Lock lock(kq::sound::apiLock());
  if (!isModule(mod)) return FALSE;
  release(mod);
  return TRUE;
}
