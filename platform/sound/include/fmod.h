// The classic FSOUND/FMUSIC sound library interface, as far as this program calls it.
//
// Here it runs over one SDL audio device (16-bit stereo at the mixing rate), libmpg123 for MP3
// streams and libopenmpt for tracker modules. Results that are signed chars are TRUE (1) or
// FALSE (0). Every call is meant for one application thread, plus the end-of-stream callback
// (see FSOUND_Stream_SetEndCallback), which may call back into the library.
#ifndef KQ_PLATFORM_SOUND_FMOD_H
#define KQ_PLATFORM_SOUND_FMOD_H

#ifdef __cplusplus
extern "C" {
#endif

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

typedef struct FSOUND_STREAM FSOUND_STREAM;
typedef struct FMUSIC_MODULE FMUSIC_MODULE;

// End-of-stream notification: buff is null and len 0 here; the result is ignored.
typedef signed char (*FSOUND_STREAMCALLBACK)(FSOUND_STREAM *stream, void *buff, int len, void *userdata);

// Keep playing while the program's window is in the background (the only behaviour on Linux).
#define FSOUND_INIT_GLOBALFOCUS 0x02

// Opens the default output device at mixrate Hz, 16-bit stereo, and starts mixing. FALSE when
// the library is already started, the arguments are out of range, or no device can be opened.
signed char FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int flags);

// Closes the device. Streams and modules stay valid handles but go silent for good: only
// FSOUND_Stream_Close and FMUSIC_FreeSong may still be called on them. Not callable from inside
// an end-of-stream callback.
void FSOUND_Close(void);

// Opens an MP3 file for streaming; mode, offset and length must be 0 (a file read whole, by name).
// Backslashes in name act as slashes, and each path component is matched without regard to
// case when no exact match exists. Null for a missing, unreadable or undecodable file (the first
// frame must decode as MPEG layer 3) and before FSOUND_Init.
FSOUND_STREAM *FSOUND_Stream_Open(const char *name, unsigned int mode, int offset, int length);

// Registers the function called once each time the stream has played to its end (its last
// sample mixed), never after FSOUND_Stream_Stop or a restart. It runs on the library's decoder
// thread, with the library's call lock held: it may call any function here except FSOUND_Close,
// and must not wait for the thread that makes the other calls.
signed char FSOUND_Stream_SetEndCallback(FSOUND_STREAM *stream, FSOUND_STREAMCALLBACK callback, void *userdata);

// Starts the stream from its beginning on the given channel (0 .. maxsoftwarechannels - 1),
// unpaused, stopping whatever that channel played. Returns the channel, or -1 on failure.
int FSOUND_Stream_Play(int channel, FSOUND_STREAM *stream);

// Stops the stream (a short fade-out) and rewinds it; no end callback follows.
signed char FSOUND_Stream_Stop(FSOUND_STREAM *stream);

// Stops the stream and frees it; the handle is invalid afterwards.
signed char FSOUND_Stream_Close(FSOUND_STREAM *stream);

// Pause state of the stream on the channel; FALSE for a channel with no stream.
signed char FSOUND_GetPaused(int channel);

// Pauses or resumes the stream on the channel, with a short fade. FALSE for a channel with no stream.
signed char FSOUND_SetPaused(int channel, signed char paused);

// Loads a tracker module (IT, XM, S3M, MOD, ...) read whole from a file, with the path rules of
// FSOUND_Stream_Open; offset, length, mode, samplelist and samplelistnum must be 0/null. Null
// when the file is missing, unreadable or not a module, and before FSOUND_Init.
FMUSIC_MODULE *FMUSIC_LoadSongEx(const char *name, int offset, int length, unsigned int mode, const int *samplelist,
                                 int samplelistnum);

// TRUE (the default) repeats the song forever; FALSE lets it end after one pass.
signed char FMUSIC_SetLooping(FMUSIC_MODULE *mod, signed char looping);

// Starts the module from its beginning, unpaused (a restart when it is already playing).
signed char FMUSIC_PlaySong(FMUSIC_MODULE *mod);

// Stops the module (a short fade-out) and rewinds it.
signed char FMUSIC_StopSong(FMUSIC_MODULE *mod);

// Whether the module is paused (FALSE once stopped or started again).
signed char FMUSIC_GetPaused(FMUSIC_MODULE *mod);

// Pauses or resumes the module, with a short fade.
signed char FMUSIC_SetPaused(FMUSIC_MODULE *mod, signed char pause);

// TRUE when the module is not playing: never started, stopped, or played to its end (the last
// sample mixed). FALSE from FMUSIC_PlaySong until then, paused or not.
signed char FMUSIC_IsFinished(FMUSIC_MODULE *mod);

// Stops the module and frees it; the handle is invalid afterwards.
signed char FMUSIC_FreeSong(FMUSIC_MODULE *mod);

#ifdef __cplusplus
}
#endif

#endif
