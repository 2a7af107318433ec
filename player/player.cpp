#include "player.h"

#include <atomic>
#include <cstdint>

#include "playlist.h"

namespace {

PlayState playState = PlayState::Playing;
bool captionDirty = true;  // so the first poll draws the caption
bool moduleStopped = false;

// Every start and stop opens a new "play" of the current entry. The end callback arrives on the
// sound library's thread and is acted on by the next poll; it is tagged with the play it ended
// so that an end the user has already moved away from (stop, skip, restart) advances nothing.
std::uint32_t playSerial = 0;                   // main thread
std::atomic<std::uint32_t> publishedSerial{0};  // the serial, for the callback
std::atomic<std::uint32_t> endedSerial{0};      // 0: no end waiting

PlaylistEntry& current() { return playlist[currentTrack]; }

void beginNewPlay() {
  if (++playSerial == 0) playSerial = 1;  // 0 means "none"
  publishedSerial.store(playSerial, std::memory_order_release);
}

}  // namespace

bool playerInit(int mixRate) {
  if (!FSOUND_Init(mixRate, 32, FSOUND_INIT_GLOBALFOCUS)) return false;
  for (PlaylistEntry& entry : playlist) {
    if (entry.kind == TrackKind::Stream) {
      FSOUND_STREAM* stream = FSOUND_Stream_Open(entry.path, 0, 0, 0);
      if (!stream) return false;
      entry.handle = stream;
      FSOUND_Stream_SetEndCallback(stream, onStreamEnd, nullptr);
    } else if (entry.kind == TrackKind::Module) {
      FMUSIC_MODULE* mod = FMUSIC_LoadSongEx(entry.path, 0, 0, 0, nullptr, 0);
      if (!mod) return false;
      entry.handle = mod;
      FMUSIC_SetLooping(mod, FALSE);  // end, so the playlist moves on
    }
  }
  currentTrack = 0;
  return true;
}

void playCurrent() {
  // A new play before the start, so an end callback can only ever carry this play's tag.
  beginNewPlay();
  PlaylistEntry& entry = current();
  if (entry.kind == TrackKind::Stream) {
    FSOUND_Stream_Play(0, static_cast<FSOUND_STREAM*>(entry.handle));
  } else if (entry.kind == TrackKind::Module) {
    FMUSIC_PlaySong(static_cast<FMUSIC_MODULE*>(entry.handle));
  }
  playState = PlayState::Playing;
  captionDirty = true;
  moduleStopped = false;
}

void togglePause() {
  PlaylistEntry& entry = current();
  if (entry.kind == TrackKind::Stream) {
    signed char paused = FSOUND_GetPaused(0) ? FALSE : TRUE;
    FSOUND_SetPaused(0, paused);
    playState = paused ? PlayState::Paused : PlayState::Playing;
  } else if (entry.kind == TrackKind::Module) {
    auto* mod = static_cast<FMUSIC_MODULE*>(entry.handle);
    signed char paused = FMUSIC_GetPaused(mod) ? FALSE : TRUE;
    FMUSIC_SetPaused(mod, paused);
    playState = paused ? PlayState::Paused : PlayState::Playing;
  }
  captionDirty = true;
}

void playPause() {
  if (playState == PlayState::Stopped) {
    playCurrent();
  } else {
    togglePause();
  }
}

void stopTrack() {
  PlaylistEntry& entry = current();
  if (entry.kind == TrackKind::Stream) {
    FSOUND_Stream_Stop(static_cast<FSOUND_STREAM*>(entry.handle));
  } else if (entry.kind == TrackKind::Module) {
    FMUSIC_StopSong(static_cast<FMUSIC_MODULE*>(entry.handle));
    moduleStopped = true;
  }
  beginNewPlay();  // after the stop: an end delivered before it belongs to the play just left
  captionDirty = true;
  playState = PlayState::Stopped;
}

void nextTrack() {
  stopTrack();
  currentTrack = static_cast<std::int8_t>(currentTrack + 1 >= kTrackCount ? 0 : currentTrack + 1);
  playCurrent();
  captionDirty = true;
}

void previousTrack() {
  stopTrack();
  currentTrack = static_cast<std::int8_t>(currentTrack - 1 < 0 ? kTrackCount - 1 : currentTrack - 1);
  playCurrent();
  captionDirty = true;
}

signed char onStreamEnd(FSOUND_STREAM*, void*, int, void*) {
  // Runs on the sound library's thread: no player state is touched here.
  endedSerial.store(publishedSerial.load(std::memory_order_acquire), std::memory_order_release);
  return 0;
}

bool playerPoll() {
  std::uint32_t ended = endedSerial.exchange(0, std::memory_order_acq_rel);
  if (ended != 0 && ended == playSerial && current().kind == TrackKind::Stream) nextTrack();

  PlaylistEntry& entry = current();
  if (entry.kind == TrackKind::Module && !moduleStopped &&
      FMUSIC_IsFinished(static_cast<FMUSIC_MODULE*>(entry.handle))) {
    nextTrack();
    moduleStopped = false;
  }

  if (!captionDirty) return false;
  captionDirty = false;
  return true;
}

PlayState playerState() { return playState; }

void playerShutdown() {
  FSOUND_Close();
  for (PlaylistEntry& entry : playlist) {
    if (entry.kind == TrackKind::Module && entry.handle) {
      FMUSIC_FreeSong(static_cast<FMUSIC_MODULE*>(entry.handle));
    } else if (entry.kind == TrackKind::Stream && entry.handle) {
      FSOUND_Stream_Close(static_cast<FSOUND_STREAM*>(entry.handle));
    }
    entry.handle = nullptr;
  }
}
