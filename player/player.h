// The playback controller: plays the playlist one entry at a time through the sound library,
// with pause, stop, next and previous (wrapping at both ends) and automatic advance at a track's
// end. Free functions over module state, all called on the main thread except onStreamEnd.
#pragma once

#include "fmod.h"

enum class PlayState : int { Playing = 0, Paused = 1, Stopped = 2 };

// Starts the sound system at mixRate and opens every entry. False when the sound system or
// any entry cannot be opened (entries opened before that one stay open).
bool playerInit(int mixRate);
// Starts the current entry from its beginning.
void playCurrent();
// Pauses or resumes the current entry, by what the sound library reports.
void togglePause();
// The play/pause button: togglePause, or playCurrent when stopped.
void playPause();
// Stops the current entry.
void stopTrack();
void nextTrack();
void previousTrack();
// Once per main-loop pass: advances when the current stream or module has ended by itself,
// then reports (and clears) whether the caption must be redrawn.
bool playerPoll();
PlayState playerState();
// The sound library's end-of-stream callback. Runs on the library's thread: it only records the
// end for the next playerPoll. Returns 0.
signed char onStreamEnd(FSOUND_STREAM* stream, void* buffer, int length, void* userData);
// Closes the sound system and releases every entry's handle.
void playerShutdown();
