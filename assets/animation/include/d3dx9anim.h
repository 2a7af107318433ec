// Keyframe animation: keyframed animation sets (scale, rotation and translation keys per
// animated frame) and the animation controller that plays sets on tracks, blends them and
// writes the result into registered output matrices.
//
// Times: key times are in ticks of the set; positions, periods and the controller's global time
// are in seconds. Stored rotation keys are the conjugates of the rotations they produce.
// A null event handle (0) means "no event".
#pragma once

#include <d3dx9core.h>
#include <d3dx9math.h>

struct _D3DXFRAME;
typedef struct _D3DXFRAME* LPD3DXFRAME;

extern "C" const IID IID_ID3DXAnimationSet;
extern "C" const IID IID_ID3DXKeyframedAnimationSet;
extern "C" const IID IID_ID3DXAnimationController;

// The _FORCE_DWORD members give the enumerations 32 bits, so that any value a caller passes
// can be checked.
enum D3DXPLAYBACK_TYPE {
  D3DXPLAY_LOOP = 0,
  D3DXPLAY_ONCE = 1,
  D3DXPLAY_PINGPONG = 2,
  D3DXPLAY_FORCE_DWORD = 0x7fffffff,
};
enum D3DXPRIORITY_TYPE { D3DXPRIORITY_LOW = 0, D3DXPRIORITY_HIGH = 1, D3DXPRIORITY_FORCE_DWORD = 0x7fffffff };
enum D3DXEVENT_TYPE {
  D3DXEVENT_TRACKSPEED = 0,
  D3DXEVENT_TRACKWEIGHT = 1,
  D3DXEVENT_TRACKPOSITION = 2,
  D3DXEVENT_TRACKENABLE = 3,
  D3DXEVENT_PRIORITYBLEND = 4,
  D3DXEVENT_FORCE_DWORD = 0x7fffffff,
};
enum D3DXTRANSITION_TYPE {
  D3DXTRANSITION_LINEAR = 0,
  D3DXTRANSITION_EASEINEASEOUT = 1,
  D3DXTRANSITION_FORCE_DWORD = 0x7fffffff,
};
enum D3DXCALLBACK_SEARCH_FLAGS {
  D3DXCALLBACK_SEARCH_EXCLUDING_INITIAL_POSITION = 0x01,  // a key exactly at the position is skipped
  D3DXCALLBACK_SEARCH_BEHIND_INITIAL_POSITION = 0x02,     // search towards earlier positions
};
enum D3DXCOMPRESSION_FLAGS { D3DXCOMPRESS_DEFAULT = 0 };

struct D3DXKEY_VECTOR3 {
  FLOAT Time;
  D3DXVECTOR3 Value;
};
typedef D3DXKEY_VECTOR3* LPD3DXKEY_VECTOR3;

struct D3DXKEY_QUATERNION {
  FLOAT Time;
  D3DXQUATERNION Value;
};
typedef D3DXKEY_QUATERNION* LPD3DXKEY_QUATERNION;

struct D3DXKEY_CALLBACK {
  FLOAT Time;
  LPVOID pCallbackData;
};
typedef D3DXKEY_CALLBACK* LPD3DXKEY_CALLBACK;

struct D3DXTRACK_DESC {
  D3DXPRIORITY_TYPE Priority;
  FLOAT Weight;
  FLOAT Speed;
  double Position;
  BOOL Enable;
};
typedef D3DXTRACK_DESC* LPD3DXTRACK_DESC;

typedef DWORD D3DXEVENTHANDLE;
typedef D3DXEVENTHANDLE* LPD3DXEVENTHANDLE;

struct D3DXEVENT_DESC {
  D3DXEVENT_TYPE Type;
  UINT Track;  // unused for priority-blend events
  double StartTime;
  double Duration;
  D3DXTRANSITION_TYPE Transition;
  union {
    FLOAT Weight;
    FLOAT Speed;
    double Position;
    BOOL Enable;
  };
};
typedef D3DXEVENT_DESC* LPD3DXEVENT_DESC;

// Receives the callback keys a track passes during AdvanceTime.
struct ID3DXAnimationCallbackHandler {
  virtual HRESULT STDMETHODCALLTYPE HandleCallback(UINT track, LPVOID callbackData) = 0;

 protected:
  ~ID3DXAnimationCallbackHandler() = default;
};
typedef ID3DXAnimationCallbackHandler* LPD3DXANIMATIONCALLBACKHANDLER;

struct ID3DXAnimationSet : public IUnknown {
  virtual LPCSTR STDMETHODCALLTYPE GetName() = 0;
  // One pass for loop and once, there and back for ping-pong.
  virtual double STDMETHODCALLTYPE GetPeriod() = 0;
  // A track position mapped into [0, GetPeriod()] (once: clamped).
  virtual double STDMETHODCALLTYPE GetPeriodicPosition(double position) = 0;
  virtual UINT STDMETHODCALLTYPE GetNumAnimations() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAnimationNameByIndex(UINT index, LPCSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAnimationIndexByName(LPCSTR name, UINT* index) = 0;
  // The pose of one animation at a periodic position; each out pointer may be null.
  virtual HRESULT STDMETHODCALLTYPE GetSRT(double periodicPosition, UINT animation, D3DXVECTOR3* scale,
                                           D3DXQUATERNION* rotation, D3DXVECTOR3* translation) = 0;
  // The nearest callback key from a track position on, as a track position (later passes of a
  // looping set included); D3DERR_NOTFOUND when there is none.
  virtual HRESULT STDMETHODCALLTYPE GetCallback(double position, DWORD flags, double* callbackPosition,
                                                LPVOID* callbackData) = 0;

 protected:
  ~ID3DXAnimationSet() = default;
};
typedef ID3DXAnimationSet* LPD3DXANIMATIONSET;

// Key setters and removal change keys only: the period stays what creation and registration
// made it. Controllers map their outputs to animation indices when the set is registered with
// them; after UnregisterAnimation, register the set with them again.
struct ID3DXKeyframedAnimationSet : public ID3DXAnimationSet {
  virtual D3DXPLAYBACK_TYPE STDMETHODCALLTYPE GetPlaybackType() = 0;
  virtual double STDMETHODCALLTYPE GetSourceTicksPerSecond() = 0;
  virtual UINT STDMETHODCALLTYPE GetNumScaleKeys(UINT animation) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetScaleKeys(UINT animation, LPD3DXKEY_VECTOR3 keys) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetScaleKey(UINT animation, UINT key, LPD3DXKEY_VECTOR3 scaleKey) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetScaleKey(UINT animation, UINT key, LPD3DXKEY_VECTOR3 scaleKey) = 0;
  virtual UINT STDMETHODCALLTYPE GetNumRotationKeys(UINT animation) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRotationKeys(UINT animation, LPD3DXKEY_QUATERNION keys) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRotationKey(UINT animation, UINT key, LPD3DXKEY_QUATERNION rotationKey) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetRotationKey(UINT animation, UINT key, LPD3DXKEY_QUATERNION rotationKey) = 0;
  virtual UINT STDMETHODCALLTYPE GetNumTranslationKeys(UINT animation) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTranslationKeys(UINT animation, LPD3DXKEY_VECTOR3 keys) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTranslationKey(UINT animation, UINT key, LPD3DXKEY_VECTOR3 translationKey) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTranslationKey(UINT animation, UINT key, LPD3DXKEY_VECTOR3 translationKey) = 0;
  virtual UINT STDMETHODCALLTYPE GetNumCallbackKeys() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCallbackKeys(LPD3DXKEY_CALLBACK keys) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCallbackKey(UINT key, LPD3DXKEY_CALLBACK callbackKey) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetCallbackKey(UINT key, LPD3DXKEY_CALLBACK callbackKey) = 0;
  // A channel keeps at least one key: removing its only key is D3DERR_INVALIDCALL.
  virtual HRESULT STDMETHODCALLTYPE UnregisterScaleKey(UINT animation, UINT key) = 0;
  virtual HRESULT STDMETHODCALLTYPE UnregisterRotationKey(UINT animation, UINT key) = 0;
  virtual HRESULT STDMETHODCALLTYPE UnregisterTranslationKey(UINT animation, UINT key) = 0;
  // Copies the keys; a channel given with count 0 gets one default key at time 0. Key times
  // must ascend within each channel.
  virtual HRESULT STDMETHODCALLTYPE RegisterAnimationSRTKeys(LPCSTR name, UINT numScaleKeys, UINT numRotationKeys,
                                                             UINT numTranslationKeys, const D3DXKEY_VECTOR3* scaleKeys,
                                                             const D3DXKEY_QUATERNION* rotationKeys,
                                                             const D3DXKEY_VECTOR3* translationKeys,
                                                             DWORD* animationIndex) = 0;
  // Not implemented here: E_NOTIMPL.
  virtual HRESULT STDMETHODCALLTYPE Compress(DWORD flags, FLOAT lossiness, LPD3DXFRAME hierarchy,
                                             LPD3DXBUFFER* compressedData) = 0;
  // Later animations move down one index, keeping their order.
  virtual HRESULT STDMETHODCALLTYPE UnregisterAnimation(UINT index) = 0;

 protected:
  ~ID3DXKeyframedAnimationSet() = default;
};
typedef ID3DXKeyframedAnimationSet* LPD3DXKEYFRAMEDANIMATIONSET;

struct ID3DXAnimationController;
typedef ID3DXAnimationController* LPD3DXANIMATIONCONTROLLER;

// Event handles stay valid until the event is unkeyed, replaced by a later event of the same
// kind on its track, or cancelled by setting that value directly.
struct ID3DXAnimationController : public IUnknown {
  virtual UINT STDMETHODCALLTYPE GetMaxNumAnimationOutputs() = 0;
  virtual UINT STDMETHODCALLTYPE GetMaxNumAnimationSets() = 0;
  virtual UINT STDMETHODCALLTYPE GetMaxNumTracks() = 0;
  virtual UINT STDMETHODCALLTYPE GetMaxNumEvents() = 0;
  // Registers, replaces (same name) or, with all four pointers null, unregisters an output.
  // The pointed-to values must outlive the registration; AdvanceTime writes them.
  virtual HRESULT STDMETHODCALLTYPE RegisterAnimationOutput(LPCSTR name, D3DXMATRIX* matrix, D3DXVECTOR3* scale,
                                                            D3DXQUATERNION* rotation, D3DXVECTOR3* translation) = 0;
  virtual HRESULT STDMETHODCALLTYPE RegisterAnimationSet(LPD3DXANIMATIONSET animationSet) = 0;
  // The last registered set takes the freed index; tracks playing the removed set lose it.
  virtual HRESULT STDMETHODCALLTYPE UnregisterAnimationSet(LPD3DXANIMATIONSET animationSet) = 0;
  virtual UINT STDMETHODCALLTYPE GetNumAnimationSets() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAnimationSet(UINT index, LPD3DXANIMATIONSET* animationSet) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAnimationSetByName(LPCSTR name, LPD3DXANIMATIONSET* animationSet) = 0;
  // Moves the global time and the enabled tracks by `timeDelta` seconds (not negative), then
  // writes every output that some track animates.
  virtual HRESULT STDMETHODCALLTYPE AdvanceTime(double timeDelta, LPD3DXANIMATIONCALLBACKHANDLER handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResetTime() = 0;
  virtual double STDMETHODCALLTYPE GetTime() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTrackAnimationSet(UINT track, LPD3DXANIMATIONSET animationSet) = 0;
  // S_OK with a null set for a track that plays none.
  virtual HRESULT STDMETHODCALLTYPE GetTrackAnimationSet(UINT track, LPD3DXANIMATIONSET* animationSet) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTrackPriority(UINT track, D3DXPRIORITY_TYPE priority) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTrackSpeed(UINT track, FLOAT speed) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTrackWeight(UINT track, FLOAT weight) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTrackPosition(UINT track, double position) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTrackEnable(UINT track, BOOL enable) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTrackDesc(UINT track, LPD3DXTRACK_DESC desc) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTrackDesc(UINT track, LPD3DXTRACK_DESC desc) = 0;
  // 0 gives the low-priority result, 1 the high-priority one.
  virtual HRESULT STDMETHODCALLTYPE SetPriorityBlend(FLOAT blendWeight) = 0;
  virtual FLOAT STDMETHODCALLTYPE GetPriorityBlend() = 0;
  // Events: a change of a track value or of the priority blend that starts at a global time
  // and, for speed, weight and blend, moves to its target over a duration. 0 when the
  // arguments are bad or all maxEvents records are in use.
  virtual D3DXEVENTHANDLE STDMETHODCALLTYPE KeyTrackSpeed(UINT track, FLOAT newSpeed, double startTime, double duration,
                                                          D3DXTRANSITION_TYPE transition) = 0;
  virtual D3DXEVENTHANDLE STDMETHODCALLTYPE KeyTrackWeight(UINT track, FLOAT newWeight, double startTime,
                                                           double duration, D3DXTRANSITION_TYPE transition) = 0;
  virtual D3DXEVENTHANDLE STDMETHODCALLTYPE KeyTrackPosition(UINT track, double newPosition, double startTime) = 0;
  virtual D3DXEVENTHANDLE STDMETHODCALLTYPE KeyTrackEnable(UINT track, BOOL newEnable, double startTime) = 0;
  virtual D3DXEVENTHANDLE STDMETHODCALLTYPE KeyPriorityBlend(FLOAT newBlendWeight, double startTime, double duration,
                                                             D3DXTRANSITION_TYPE transition) = 0;
  virtual HRESULT STDMETHODCALLTYPE UnkeyEvent(D3DXEVENTHANDLE event) = 0;
  virtual HRESULT STDMETHODCALLTYPE UnkeyAllTrackEvents(UINT track) = 0;
  virtual HRESULT STDMETHODCALLTYPE UnkeyAllPriorityBlends() = 0;
  // The event of that kind that has started most recently and still applies.
  virtual D3DXEVENTHANDLE STDMETHODCALLTYPE GetCurrentTrackEvent(UINT track, D3DXEVENT_TYPE eventType) = 0;
  virtual D3DXEVENTHANDLE STDMETHODCALLTYPE GetCurrentPriorityBlend() = 0;
  // The first event not yet started after `event` (the first of all when `event` is not a
  // waiting one), in start order.
  virtual D3DXEVENTHANDLE STDMETHODCALLTYPE GetUpcomingTrackEvent(UINT track, D3DXEVENTHANDLE event) = 0;
  virtual D3DXEVENTHANDLE STDMETHODCALLTYPE GetUpcomingPriorityBlend(D3DXEVENTHANDLE event) = 0;
  // S_OK while the event is waiting or current, D3DERR_INVALIDCALL after.
  virtual HRESULT STDMETHODCALLTYPE ValidateEvent(D3DXEVENTHANDLE event) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetEventDesc(D3DXEVENTHANDLE event, LPD3DXEVENT_DESC desc) = 0;
  // A controller with the given capacities (each at least what is in use) holding the same
  // outputs, sets (shared, not copied), tracks, time and events (under new handles).
  virtual HRESULT STDMETHODCALLTYPE CloneAnimationController(UINT maxNumAnimationOutputs, UINT maxNumAnimationSets,
                                                             UINT maxNumTracks, UINT maxNumEvents,
                                                             LPD3DXANIMATIONCONTROLLER* animationController) = 0;

 protected:
  ~ID3DXAnimationController() = default;
};

extern "C" {
// A set for `numAnimations` animations with a copy of the callback keys. The period starts as
// the last callback key's time (1 s without keys) and follows the registered keys.
HRESULT WINAPI D3DXCreateKeyframedAnimationSet(LPCSTR name, double ticksPerSecond, D3DXPLAYBACK_TYPE playback,
                                               UINT numAnimations, UINT numCallbackKeys,
                                               const D3DXKEY_CALLBACK* callbackKeys,
                                               LPD3DXKEYFRAMEDANIMATIONSET* animationSet);
// maxNumEvents is at most 65535.
HRESULT WINAPI D3DXCreateAnimationController(UINT maxNumAnimationOutputs, UINT maxNumAnimationSets, UINT maxNumTracks,
                                             UINT maxNumEvents, LPD3DXANIMATIONCONTROLLER* animationController);
}
