// The animation controller: plays registered sets on tracks, moves the tracks through time
// (with keyed events) and writes the blended pose of every animated output.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "d3dx9anim.h"
#include "d3dx_com.h"
#include "event_pool.h"

extern "C" const IID IID_ID3DXAnimationController = {
    0x1ea6f1a2, 0x80e4, 0x4e8a, {0x90, 0xf9, 0x77, 0x34, 0xcf, 0xb1, 0xde, 0x30}};

namespace {

using d3dx::AnimationEvent;
using d3dx::ComPtr;

constexpr UINT kMaxEvents = 65535;  // event handles carry the record index in 16 bits
// The running part of the global time is folded into the base past this, so that small steps
// keep their precision over long runs.
constexpr double kRunningTimeLimit = 100.0;
constexpr UINT kTrackEventKinds = 4;  // speed, weight, position, enable

struct Output {
  std::string name;
  bool used = false;
  D3DXMATRIX* matrix = nullptr;
  D3DXVECTOR3* scale = nullptr;
  D3DXQUATERNION* rotation = nullptr;
  D3DXVECTOR3* translation = nullptr;

  bool writesSomething() const { return matrix || scale || rotation || translation; }
};

struct Track {
  D3DXTRACK_DESC desc{D3DXPRIORITY_LOW, 0.0f, 0.0f, 0.0, FALSE};
  UINT setSlot = 0;  // the controller's maxSets when the track plays no set
  double periodicPosition = 0.0;
  std::vector<D3DXEVENTHANDLE> pending;  // events not yet begun, by start time
  std::array<D3DXEVENTHANDLE, kTrackEventKinds> current{};
};

// One priority's share of an output: weighted sums of the tracks' poses.
struct Accumulator {
  D3DXVECTOR3 scale{0, 0, 0};
  D3DXVECTOR3 translation{0, 0, 0};
  D3DXQUATERNION rotation{0, 0, 0, 0};
  float weight = 0.0f;

  void add(float w, const D3DXVECTOR3& s, const D3DXQUATERNION& r, const D3DXVECTOR3& t) {
    scale = {scale.x + w * s.x, scale.y + w * s.y, scale.z + w * s.z};
    translation = {translation.x + w * t.x, translation.y + w * t.y, translation.z + w * t.z};
    // Keep the rotations in one hemisphere: q and -q are the same rotation.
    const float sw = dot(rotation, r) >= 0.0f ? w : -w;
    rotation = {rotation.x + sw * r.x, rotation.y + sw * r.y, rotation.z + sw * r.z, rotation.w + sw * r.w};
    weight += w;
  }

  // The weighted means; the rotation stays a sum, normalised later.
  void average() {
    if (weight == 1.0f) return;
    scale = {scale.x / weight, scale.y / weight, scale.z / weight};
    translation = {translation.x / weight, translation.y / weight, translation.z / weight};
  }

  static float dot(const D3DXQUATERNION& a, const D3DXQUATERNION& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
  }
};

float lerp(float a, float b, float u) { return a + u * (b - a); }

D3DXVECTOR3 lerp(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float u) {
  return {lerp(a.x, b.x, u), lerp(a.y, b.y, u), lerp(a.z, b.z, u)};
}

// Scaling(S) x RotationQuaternion(R) x Translation(T) for row vectors.
void composeMatrix(D3DXMATRIX* out, const D3DXVECTOR3& s, const D3DXQUATERNION& r, const D3DXVECTOR3& t) {
  D3DXMatrixRotationQuaternion(out, &r);
  const float rowScale[3] = {s.x, s.y, s.z};
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col) out->m[row][col] *= rowScale[row];
  out->_41 = t.x;
  out->_42 = t.y;
  out->_43 = t.z;
}

bool isTrackEventKind(D3DXEVENT_TYPE type) { return UINT(type) < kTrackEventKinds; }

class AnimationController final : public d3dx::RefCounted<ID3DXAnimationController> {
 public:
  AnimationController(UINT maxOutputs, UINT maxSets, UINT maxTracks, UINT maxEvents)
      : m_outputs(maxOutputs),
        m_sets(maxSets + size_t(1)),
        m_outputMap((size_t(maxSets) + 1) * maxOutputs, -1),
        m_tracks(maxTracks),
        m_events(maxEvents) {
    for (Track& t : m_tracks) t.setSlot = maxSets;
  }

  UINT STDMETHODCALLTYPE GetMaxNumAnimationOutputs() override { return UINT(m_outputs.size()); }
  UINT STDMETHODCALLTYPE GetMaxNumAnimationSets() override { return maxSets(); }
  UINT STDMETHODCALLTYPE GetMaxNumTracks() override { return UINT(m_tracks.size()); }
  UINT STDMETHODCALLTYPE GetMaxNumEvents() override { return m_events.capacity(); }

  HRESULT STDMETHODCALLTYPE RegisterAnimationOutput(LPCSTR name, D3DXMATRIX* matrix, D3DXVECTOR3* scale,
                                                    D3DXQUATERNION* rotation, D3DXVECTOR3* translation) override;
  HRESULT STDMETHODCALLTYPE RegisterAnimationSet(LPD3DXANIMATIONSET set) override;
  HRESULT STDMETHODCALLTYPE UnregisterAnimationSet(LPD3DXANIMATIONSET set) override;

  UINT STDMETHODCALLTYPE GetNumAnimationSets() override { return m_numSets; }

  HRESULT STDMETHODCALLTYPE GetAnimationSet(UINT index, LPD3DXANIMATIONSET* set) override {
    if (set == nullptr) return D3DERR_INVALIDCALL;
    *set = nullptr;
    if (index >= m_numSets) return D3DERR_INVALIDCALL;
    return handOut(m_sets[index].get(), set);
  }

  HRESULT STDMETHODCALLTYPE GetAnimationSetByName(LPCSTR name, LPD3DXANIMATIONSET* set) override {
    if (set == nullptr) return D3DERR_INVALIDCALL;
    *set = nullptr;
    if (name == nullptr) return D3DERR_INVALIDCALL;
    for (UINT i = 0; i < m_numSets; ++i) {
      const LPCSTR setName = m_sets[i]->GetName();
      if (setName && std::strcmp(setName, name) == 0) return handOut(m_sets[i].get(), set);
    }
    return D3DERR_NOTFOUND;
  }

  HRESULT STDMETHODCALLTYPE AdvanceTime(double timeDelta, LPD3DXANIMATIONCALLBACKHANDLER handler) override;

  HRESULT STDMETHODCALLTYPE ResetTime() override {
    const double now = GetTime();
    auto shift = [&](D3DXEVENTHANDLE h) {
      if (AnimationEvent* e = m_events.find(h)) e->desc.StartTime -= now;
    };
    for (Track& t : m_tracks) {
      std::for_each(t.pending.begin(), t.pending.end(), shift);
      std::for_each(t.current.begin(), t.current.end(), shift);
      if (ID3DXAnimationSet* set = m_sets[t.setSlot].get()) t.desc.Position = set->GetPeriodicPosition(t.desc.Position);
    }
    std::for_each(m_pendingBlends.begin(), m_pendingBlends.end(), shift);
    shift(m_currentBlend);
    m_timeBase = 0.0;
    m_timeRunning = 0.0;
    return S_OK;
  }

  double STDMETHODCALLTYPE GetTime() override { return m_timeBase + m_timeRunning; }

  HRESULT STDMETHODCALLTYPE SetTrackAnimationSet(UINT track, LPD3DXANIMATIONSET set) override {
    if (set == nullptr || track >= m_tracks.size()) return D3DERR_INVALIDCALL;
    const UINT slot = slotOf(set);
    if (slot == m_numSets) return D3DERR_INVALIDCALL;
    m_tracks[track].setSlot = slot;
    m_tracksInUse = std::max(m_tracksInUse, track + 1);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetTrackAnimationSet(UINT track, LPD3DXANIMATIONSET* set) override {
    if (set == nullptr) return D3DERR_INVALIDCALL;
    *set = nullptr;
    if (track >= m_tracks.size()) return D3DERR_INVALIDCALL;
    return handOut(m_sets[m_tracks[track].setSlot].get(), set);
  }

  HRESULT STDMETHODCALLTYPE SetTrackPriority(UINT track, D3DXPRIORITY_TYPE priority) override {
    if (track >= m_tracks.size() || UINT(priority) > D3DXPRIORITY_HIGH) return D3DERR_INVALIDCALL;
    m_tracks[track].desc.Priority = priority;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetTrackSpeed(UINT track, FLOAT speed) override {
    return setTrackValue(track, D3DXEVENT_TRACKSPEED, [&](D3DXTRACK_DESC& d) { d.Speed = speed; });
  }
  HRESULT STDMETHODCALLTYPE SetTrackWeight(UINT track, FLOAT weight) override {
    return setTrackValue(track, D3DXEVENT_TRACKWEIGHT, [&](D3DXTRACK_DESC& d) { d.Weight = weight; });
  }
  HRESULT STDMETHODCALLTYPE SetTrackPosition(UINT track, double position) override {
    return setTrackValue(track, D3DXEVENT_TRACKPOSITION, [&](D3DXTRACK_DESC& d) { d.Position = position; });
  }
  HRESULT STDMETHODCALLTYPE SetTrackEnable(UINT track, BOOL enable) override {
    return setTrackValue(track, D3DXEVENT_TRACKENABLE, [&](D3DXTRACK_DESC& d) { d.Enable = enable ? TRUE : FALSE; });
  }

  HRESULT STDMETHODCALLTYPE SetTrackDesc(UINT track, LPD3DXTRACK_DESC desc) override {
    if (desc == nullptr || track >= m_tracks.size() || UINT(desc->Priority) > D3DXPRIORITY_HIGH)
      return D3DERR_INVALIDCALL;
    Track& t = m_tracks[track];
    for (D3DXEVENTHANDLE& h : t.current) m_events.release(std::exchange(h, 0));
    t.desc = *desc;
    t.desc.Enable = desc->Enable ? TRUE : FALSE;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetTrackDesc(UINT track, LPD3DXTRACK_DESC desc) override {
    if (desc == nullptr || track >= m_tracks.size()) return D3DERR_INVALIDCALL;
    *desc = m_tracks[track].desc;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetPriorityBlend(FLOAT blendWeight) override {
    if (!(blendWeight >= 0.0f && blendWeight <= 1.0f)) return D3DERR_INVALIDCALL;
    m_events.release(std::exchange(m_currentBlend, 0));
    m_priorityBlend = blendWeight;
    return S_OK;
  }

  FLOAT STDMETHODCALLTYPE GetPriorityBlend() override { return m_priorityBlend; }

  D3DXEVENTHANDLE STDMETHODCALLTYPE KeyTrackSpeed(UINT track, FLOAT newSpeed, double startTime, double duration,
                                                  D3DXTRANSITION_TYPE transition) override {
    AnimationEvent e = eventAt(D3DXEVENT_TRACKSPEED, track, startTime, duration, transition);
    e.desc.Speed = newSpeed;
    return keyTrackEvent(e);
  }
  D3DXEVENTHANDLE STDMETHODCALLTYPE KeyTrackWeight(UINT track, FLOAT newWeight, double startTime, double duration,
                                                   D3DXTRANSITION_TYPE transition) override {
    AnimationEvent e = eventAt(D3DXEVENT_TRACKWEIGHT, track, startTime, duration, transition);
    e.desc.Weight = newWeight;
    return keyTrackEvent(e);
  }
  D3DXEVENTHANDLE STDMETHODCALLTYPE KeyTrackPosition(UINT track, double newPosition, double startTime) override {
    AnimationEvent e = eventAt(D3DXEVENT_TRACKPOSITION, track, startTime, 0.0, D3DXTRANSITION_LINEAR);
    e.desc.Position = newPosition;
    return keyTrackEvent(e);
  }
  D3DXEVENTHANDLE STDMETHODCALLTYPE KeyTrackEnable(UINT track, BOOL newEnable, double startTime) override {
    AnimationEvent e = eventAt(D3DXEVENT_TRACKENABLE, track, startTime, 0.0, D3DXTRANSITION_LINEAR);
    e.desc.Enable = newEnable ? TRUE : FALSE;
    return keyTrackEvent(e);
  }
  D3DXEVENTHANDLE STDMETHODCALLTYPE KeyPriorityBlend(FLOAT newBlendWeight, double startTime, double duration,
                                                     D3DXTRANSITION_TYPE transition) override {
    if (!(newBlendWeight >= 0.0f && newBlendWeight <= 1.0f)) return 0;
    AnimationEvent e = eventAt(D3DXEVENT_PRIORITYBLEND, 0, startTime, duration, transition);
    e.desc.Weight = newBlendWeight;
    return validTiming(e) ? schedule(m_pendingBlends, e) : 0;
  }

  HRESULT STDMETHODCALLTYPE UnkeyEvent(D3DXEVENTHANDLE event) override {
    const AnimationEvent* e = m_events.find(event);
    if (e == nullptr) return D3DERR_INVALIDCALL;
    if (e->desc.Type == D3DXEVENT_PRIORITYBLEND) {
      forget(event, m_pendingBlends, m_currentBlend);
    } else {
      Track& t = m_tracks[e->desc.Track];
      forget(event, t.pending, t.current[e->desc.Type]);
    }
    m_events.release(event);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE UnkeyAllTrackEvents(UINT track) override {
    if (track >= m_tracks.size()) return D3DERR_INVALIDCALL;
    Track& t = m_tracks[track];
    releaseAll(t.pending);
    for (D3DXEVENTHANDLE& h : t.current) m_events.release(std::exchange(h, 0));
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE UnkeyAllPriorityBlends() override {
    releaseAll(m_pendingBlends);
    m_events.release(std::exchange(m_currentBlend, 0));
    return S_OK;
  }

  D3DXEVENTHANDLE STDMETHODCALLTYPE GetCurrentTrackEvent(UINT track, D3DXEVENT_TYPE eventType) override {
    if (track >= m_tracks.size() || !isTrackEventKind(eventType)) return 0;
    return m_tracks[track].current[eventType];
  }

  D3DXEVENTHANDLE STDMETHODCALLTYPE GetCurrentPriorityBlend() override { return m_currentBlend; }

  D3DXEVENTHANDLE STDMETHODCALLTYPE GetUpcomingTrackEvent(UINT track, D3DXEVENTHANDLE event) override {
    return track < m_tracks.size() ? following(m_tracks[track].pending, event) : 0;
  }

  D3DXEVENTHANDLE STDMETHODCALLTYPE GetUpcomingPriorityBlend(D3DXEVENTHANDLE event) override {
    return following(m_pendingBlends, event);
  }

  HRESULT STDMETHODCALLTYPE ValidateEvent(D3DXEVENTHANDLE event) override {
    return m_events.find(event) ? S_OK : D3DERR_INVALIDCALL;
  }

  HRESULT STDMETHODCALLTYPE GetEventDesc(D3DXEVENTHANDLE event, LPD3DXEVENT_DESC desc) override {
    const AnimationEvent* e = m_events.find(event);
    if (desc == nullptr || e == nullptr) return D3DERR_INVALIDCALL;
    *desc = e->desc;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE CloneAnimationController(UINT maxOutputs, UINT maxSets, UINT maxTracks, UINT maxEvents,
                                                     LPD3DXANIMATIONCONTROLLER* clone) override;

  // Whether the size of the output map (one entry per set slot and output) can be expressed at
  // all; checked before anything is allocated.
  static bool outputMapFits(UINT maxOutputs, UINT maxSets) {
    return size_t(maxSets) + 1 <= std::numeric_limits<size_t>::max() / sizeof(int) / maxOutputs;
  }

 private:
  bool answersTo(REFIID riid) const override { return IsEqualGUID(riid, IID_ID3DXAnimationController); }

  UINT maxSets() const { return UINT(m_sets.size() - 1); }
  UINT maxOutputs() const { return UINT(m_outputs.size()); }
  int* mapRow(UINT slot) { return m_outputMap.data() + size_t(slot) * maxOutputs(); }

  static HRESULT handOut(ID3DXAnimationSet* set, LPD3DXANIMATIONSET* out) {
    if (set) set->AddRef();
    *out = set;
    return S_OK;
  }

  // The registered index of a set, or the count when it is not registered.
  UINT slotOf(ID3DXAnimationSet* set) const {
    UINT i = 0;
    while (i < m_numSets && m_sets[i].get() != set) ++i;
    return i;
  }

  // The animation of `set` that drives a named output, or -1.
  static int animationFor(ID3DXAnimationSet* set, const Output& output) {
    UINT index = 0;
    if (!output.used || FAILED(set->GetAnimationIndexByName(output.name.c_str(), &index))) return -1;
    return int(index);
  }

  template <typename Assign>
  HRESULT setTrackValue(UINT track, D3DXEVENT_TYPE kind, Assign assign) {
    if (track >= m_tracks.size()) return D3DERR_INVALIDCALL;
    Track& t = m_tracks[track];
    m_events.release(std::exchange(t.current[kind], 0));
    assign(t.desc);
    return S_OK;
  }

  static AnimationEvent eventAt(D3DXEVENT_TYPE type, UINT track, double start, double duration,
                                D3DXTRANSITION_TYPE transition) {
    AnimationEvent e;
    e.desc.Type = type;
    e.desc.Track = track;
    e.desc.StartTime = start;
    e.desc.Duration = duration;
    e.desc.Transition = transition;
    return e;
  }

  static bool validTiming(const AnimationEvent& e) {
    return std::isfinite(e.desc.StartTime) && std::isfinite(e.desc.Duration) && e.desc.Duration >= 0.0 &&
           UINT(e.desc.Transition) <= D3DXTRANSITION_EASEINEASEOUT;
  }

  D3DXEVENTHANDLE keyTrackEvent(const AnimationEvent& e) {
    if (e.desc.Track >= m_tracks.size() || !validTiming(e)) return 0;
    return schedule(m_tracks[e.desc.Track].pending, e);
  }

  // Adds an event to a waiting list after those that start no later.
  D3DXEVENTHANDLE schedule(std::vector<D3DXEVENTHANDLE>& pending, const AnimationEvent& e) {
    try {
      pending.reserve(pending.size() + 1);
    } catch (const std::bad_alloc&) {
      return 0;
    }
    const D3DXEVENTHANDLE handle = m_events.add(e);
    if (handle == 0) return 0;
    const auto at = std::upper_bound(pending.begin(), pending.end(), e.desc.StartTime,
                                     [this](double start, D3DXEVENTHANDLE h) { return start < startOf(h); });
    pending.insert(at, handle);
    return handle;
  }

  double startOf(D3DXEVENTHANDLE h) const { return m_events.find(h)->desc.StartTime; }

  static void forget(D3DXEVENTHANDLE event, std::vector<D3DXEVENTHANDLE>& pending, D3DXEVENTHANDLE& current) {
    if (current == event) current = 0;
    pending.erase(std::remove(pending.begin(), pending.end(), event), pending.end());
  }

  void releaseAll(std::vector<D3DXEVENTHANDLE>& handles) {
    for (D3DXEVENTHANDLE h : handles) m_events.release(h);
    handles.clear();
  }

  static D3DXEVENTHANDLE following(const std::vector<D3DXEVENTHANDLE>& pending, D3DXEVENTHANDLE event) {
    auto at = std::find(pending.begin(), pending.end(), event);
    at = at == pending.end() ? pending.begin() : at + 1;
    return at == pending.end() ? 0 : *at;
  }

  // Makes the first waiting event current (replacing the one of its kind) and returns it.
  AnimationEvent& begin(std::vector<D3DXEVENTHANDLE>& pending, D3DXEVENTHANDLE& current, double value) {
    const D3DXEVENTHANDLE h = pending.front();
    pending.erase(pending.begin());
    m_events.release(std::exchange(current, h));
    AnimationEvent& e = *m_events.find(h);
    e.from = value;
    return e;
  }

  void applyBlendEvents(double previous, double now);
  double advanceTrack(Track& t, double previous, double now);
  void reportCallbacks(UINT track, double from, LPD3DXANIMATIONCALLBACKHANDLER handler);
  HRESULT writeOutput(UINT output);

  std::vector<Output> m_outputs;
  UINT m_outputsInUse = 0;                        // one past the highest slot ever filled and not trailing free
  std::vector<ComPtr<ID3DXAnimationSet>> m_sets;  // maxSets + 1: the last stays empty ("no set")
  UINT m_numSets = 0;
  std::vector<int> m_outputMap;  // per set slot, per output: the animation index or -1
  std::vector<Track> m_tracks;
  UINT m_tracksInUse = 0;
  double m_timeBase = 0.0;
  double m_timeRunning = 0.0;
  float m_priorityBlend = 0.0f;
  d3dx::EventPool m_events;
  std::vector<D3DXEVENTHANDLE> m_pendingBlends;
  D3DXEVENTHANDLE m_currentBlend = 0;
};

HRESULT AnimationController::RegisterAnimationOutput(LPCSTR name, D3DXMATRIX* matrix, D3DXVECTOR3* scale,
                                                     D3DXQUATERNION* rotation, D3DXVECTOR3* translation) {
  if (name == nullptr) return D3DERR_INVALIDCALL;
  UINT freeSlot = m_outputsInUse;
  for (UINT i = 0; i < m_outputsInUse; ++i) {
    Output& o = m_outputs[i];
    if (!o.used) {
      freeSlot = i;
      continue;
    }
    if (o.name != name) continue;
    o.matrix = matrix;
    o.scale = scale;
    o.rotation = rotation;
    o.translation = translation;
    if (o.writesSomething()) return S_OK;
    o = Output{};
    for (UINT slot = 0; slot < m_numSets; ++slot) mapRow(slot)[i] = -1;
    while (m_outputsInUse > 0 && !m_outputs[m_outputsInUse - 1].used) --m_outputsInUse;
    return S_OK;
  }
  Output o{std::string(), true, matrix, scale, rotation, translation};
  if (!o.writesSomething()) return S_OK;  // nothing to animate, nothing to remember
  if (freeSlot == maxOutputs()) return D3DERR_INVALIDCALL;
  try {
    o.name = name;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  m_outputs[freeSlot] = std::move(o);
  m_outputsInUse = std::max(m_outputsInUse, freeSlot + 1);
  for (UINT slot = 0; slot < m_numSets; ++slot)
    mapRow(slot)[freeSlot] = animationFor(m_sets[slot].get(), m_outputs[freeSlot]);
  return S_OK;
}

HRESULT AnimationController::RegisterAnimationSet(LPD3DXANIMATIONSET set) {
  if (set == nullptr || m_numSets == maxSets() || slotOf(set) != m_numSets) return D3DERR_INVALIDCALL;
  const UINT slot = m_numSets++;
  m_sets[slot].set(set);
  int* row = mapRow(slot);
  for (UINT i = 0; i < maxOutputs(); ++i) row[i] = i < m_outputsInUse ? animationFor(set, m_outputs[i]) : -1;
  return S_OK;
}

HRESULT AnimationController::UnregisterAnimationSet(LPD3DXANIMATIONSET set) {
  if (set == nullptr) return D3DERR_INVALIDCALL;
  const UINT slot = slotOf(set);
  if (slot == m_numSets) return D3DERR_NOTFOUND;
  const UINT last = --m_numSets;
  m_sets[slot] = std::move(m_sets[last]);
  m_sets[last].reset();
  if (slot != last) std::copy_n(mapRow(last), maxOutputs(), mapRow(slot));
  std::fill_n(mapRow(last), maxOutputs(), -1);
  for (Track& t : m_tracks) {
    if (t.setSlot == slot) {
      t.setSlot = maxSets();
    } else if (t.setSlot == last) {
      t.setSlot = slot;
    }
  }
  return S_OK;
}

void AnimationController::applyBlendEvents(double previous, double now) {
  while (!m_pendingBlends.empty() && startOf(m_pendingBlends.front()) <= now) {
    const double at = std::max(previous, startOf(m_pendingBlends.front()));
    const AnimationEvent* running = m_events.find(m_currentBlend);
    begin(m_pendingBlends, m_currentBlend, running ? eventValue(*running, at) : m_priorityBlend);
  }
  if (const AnimationEvent* e = m_events.find(m_currentBlend)) m_priorityBlend = float(eventValue(*e, now));
}

// Moves a track from the global time `previous` to `now`, starting its events where they fall
// due and splitting the movement there. Returns the position from which the track moved
// continuously (past any keyed jump), for callback reporting.
double AnimationController::advanceTrack(Track& t, double previous, double now) {
  double movedFrom = t.desc.Position;
  double time = previous;
  for (;;) {
    while (!t.pending.empty() && startOf(t.pending.front()) <= time) {
      const D3DXEVENT_TYPE kind = m_events.find(t.pending.front())->desc.Type;
      // A change that starts while another of its kind runs starts from where that one is.
      const AnimationEvent* running = m_events.find(t.current[kind]);
      double value = kind == D3DXEVENT_TRACKSPEED ? t.desc.Speed : t.desc.Weight;
      if (running && (kind == D3DXEVENT_TRACKSPEED || kind == D3DXEVENT_TRACKWEIGHT))
        value = eventValue(*running, time);
      const AnimationEvent& e = begin(t.pending, t.current[kind], value);
      if (kind == D3DXEVENT_TRACKPOSITION) movedFrom = t.desc.Position = e.desc.Position;
      if (kind == D3DXEVENT_TRACKENABLE) t.desc.Enable = e.desc.Enable;
    }
    if (time >= now) break;
    const double next = t.pending.empty() ? now : std::min(now, startOf(t.pending.front()));
    if (t.desc.Enable) {
      const AnimationEvent* speed = m_events.find(t.current[D3DXEVENT_TRACKSPEED]);
      t.desc.Position += speed ? eventDistance(*speed, time, next) : (next - time) * t.desc.Speed;
    }
    time = next;
  }
  if (const AnimationEvent* e = m_events.find(t.current[D3DXEVENT_TRACKSPEED]))
    t.desc.Speed = float(eventValue(*e, now));
  if (const AnimationEvent* e = m_events.find(t.current[D3DXEVENT_TRACKWEIGHT]))
    t.desc.Weight = float(eventValue(*e, now));
  return movedFrom;
}

// Reports each callback key the track passed from `from` to its position, at most one pass of
// the set's worth, so that a huge step cannot flood the handler.
void AnimationController::reportCallbacks(UINT track, double from, LPD3DXANIMATIONCALLBACKHANDLER handler) {
  const Track& t = m_tracks[track];
  ID3DXAnimationSet* set = m_sets[t.setSlot].get();
  const double to = t.desc.Position;
  if (!t.desc.Enable || set == nullptr || to == from) return;
  const bool forward = to > from;
  const double pass = set->GetPeriod();
  const double limit = forward ? std::min(to, from + pass) : std::max(to, from - pass);
  const DWORD flags = D3DXCALLBACK_SEARCH_EXCLUDING_INITIAL_POSITION |
                      (forward ? 0u : DWORD(D3DXCALLBACK_SEARCH_BEHIND_INITIAL_POSITION));
  double at = from;
  double next = 0.0;
  LPVOID data = nullptr;
  while (SUCCEEDED(set->GetCallback(at, flags, &next, &data)) &&
         (forward ? next > at && next <= limit : next < at && next >= limit)) {
    handler->HandleCallback(track, data);
    at = next;
  }
}

HRESULT AnimationController::writeOutput(UINT output) {
  const Output& o = m_outputs[output];
  if (!o.writesSomething()) return S_OK;
  HRESULT result = S_OK;
  Accumulator sums[2];
  for (UINT i = 0; i < m_tracksInUse; ++i) {
    const Track& t = m_tracks[i];
    const int animation = mapRow(t.setSlot)[output];
    if (!t.desc.Enable || t.desc.Weight == 0.0f || animation < 0) continue;
    D3DXVECTOR3 s, tr;
    D3DXQUATERNION r;
    const HRESULT hr = m_sets[t.setSlot]->GetSRT(t.periodicPosition, UINT(animation), &s, &r, &tr);
    if (FAILED(hr)) {
      result = hr;
      continue;
    }
    sums[t.desc.Priority == D3DXPRIORITY_HIGH].add(t.desc.Weight, s, r, tr);
  }
  Accumulator& low = sums[0];
  Accumulator& high = sums[1];
  if (low.weight == 0.0f && high.weight == 0.0f) return result;

  D3DXVECTOR3 s, tr;
  D3DXQUATERNION r;
  if (high.weight == 0.0f) {
    low.average();
    s = low.scale, r = low.rotation, tr = low.translation;
  } else if (low.weight == 0.0f || m_priorityBlend == 1.0f) {
    high.average();
    s = high.scale, r = high.rotation, tr = high.translation;
  } else {
    low.average();
    high.average();
    if (Accumulator::dot(low.rotation, high.rotation) < 0.0f)
      low.rotation = {-low.rotation.x, -low.rotation.y, -low.rotation.z, -low.rotation.w};
    D3DXQuaternionNormalize(&low.rotation, &low.rotation);
    D3DXQuaternionNormalize(&high.rotation, &high.rotation);
    const float b = m_priorityBlend;
    s = lerp(low.scale, high.scale, b);
    tr = lerp(low.translation, high.translation, b);
    const D3DXQUATERNION &p = low.rotation, &q = high.rotation;
    r = {lerp(p.x, q.x, b), lerp(p.y, q.y, b), lerp(p.z, q.z, b), lerp(p.w, q.w, b)};
  }
  D3DXQuaternionNormalize(&r, &r);
  if (o.scale) *o.scale = s;
  if (o.rotation) *o.rotation = r;
  if (o.translation) *o.translation = tr;
  if (o.matrix) composeMatrix(o.matrix, s, r, tr);
  return result;
}

HRESULT AnimationController::AdvanceTime(double timeDelta, LPD3DXANIMATIONCALLBACKHANDLER handler) {
  if (!(timeDelta >= 0.0) || !std::isfinite(timeDelta)) return D3DERR_INVALIDCALL;
  const double previous = GetTime();
  m_timeRunning += timeDelta;
  if (m_timeRunning > kRunningTimeLimit) {
    m_timeBase += m_timeRunning;
    m_timeRunning = 0.0;
  }
  const double now = GetTime();
  applyBlendEvents(previous, now);
  for (UINT i = 0; i < m_tracks.size(); ++i) {
    Track& t = m_tracks[i];
    const double movedFrom = advanceTrack(t, previous, now);
    ID3DXAnimationSet* set = m_sets[t.setSlot].get();
    t.periodicPosition = set ? set->GetPeriodicPosition(t.desc.Position) : t.desc.Position;
    if (handler) reportCallbacks(i, movedFrom, handler);
  }
  HRESULT result = S_OK;
  for (UINT i = 0; i < m_outputsInUse; ++i) {
    const HRESULT hr = writeOutput(i);
    if (SUCCEEDED(result)) result = hr;
  }
  return result;
}

HRESULT AnimationController::CloneAnimationController(UINT maxOutputs, UINT maxSets, UINT maxTracks, UINT maxEvents,
                                                      LPD3DXANIMATIONCONTROLLER* clone) {
  if (clone == nullptr) return D3DERR_INVALIDCALL;
  *clone = nullptr;
  if (maxOutputs < m_outputsInUse || maxSets < m_numSets || maxTracks < m_tracksInUse || maxEvents == 0 ||
      maxEvents > kMaxEvents)
    return D3DERR_INVALIDCALL;
  ComPtr<ID3DXAnimationController> made;
  if (HRESULT hr = D3DXCreateAnimationController(maxOutputs, maxSets, maxTracks, maxEvents, made.receive()); FAILED(hr))
    return hr;
  auto* c = static_cast<AnimationController*>(made.get());
  try {
    std::copy_n(m_outputs.begin(), m_outputsInUse, c->m_outputs.begin());
    c->m_outputsInUse = m_outputsInUse;
    for (UINT slot = 0; slot < m_numSets; ++slot) {
      c->m_sets[slot] = m_sets[slot];
      std::copy_n(mapRow(slot), m_outputsInUse, c->mapRow(slot));
    }
    c->m_numSets = m_numSets;
    c->m_tracksInUse = m_tracksInUse;
    c->m_timeBase = m_timeBase;
    c->m_timeRunning = m_timeRunning;
    c->m_priorityBlend = m_priorityBlend;

    // Events move under new handles, in the same order.
    auto copyEvent = [&](D3DXEVENTHANDLE h) -> D3DXEVENTHANDLE {
      const AnimationEvent* e = m_events.find(h);
      if (e == nullptr) return 0;
      const D3DXEVENTHANDLE copied = c->m_events.add(*e);
      if (copied == 0) throw std::length_error("event pool");
      return copied;
    };
    auto copyEvents = [&](const std::vector<D3DXEVENTHANDLE>& from, std::vector<D3DXEVENTHANDLE>& to) {
      for (D3DXEVENTHANDLE h : from) to.push_back(copyEvent(h));
    };
    const UINT tracks = std::min(maxTracks, UINT(m_tracks.size()));
    for (UINT i = 0; i < tracks; ++i) {
      const Track& from = m_tracks[i];
      Track& to = c->m_tracks[i];
      to.desc = from.desc;
      to.setSlot = from.setSlot == this->maxSets() ? maxSets : from.setSlot;
      to.periodicPosition = from.periodicPosition;
      copyEvents(from.pending, to.pending);
      std::transform(from.current.begin(), from.current.end(), to.current.begin(), copyEvent);
    }
    copyEvents(m_pendingBlends, c->m_pendingBlends);
    c->m_currentBlend = copyEvent(m_currentBlend);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::length_error&) {
    return D3DERR_INVALIDCALL;  // the clone's event pool cannot hold the events
  }
  *clone = made.detach();
  return S_OK;
}

}  // namespace

extern "C" HRESULT WINAPI D3DXCreateAnimationController(UINT maxNumAnimationOutputs, UINT maxNumAnimationSets,
                                                        UINT maxNumTracks, UINT maxNumEvents,
                                                        LPD3DXANIMATIONCONTROLLER* animationController) {
  if (animationController == nullptr) return D3DERR_INVALIDCALL;
  *animationController = nullptr;
  if (maxNumAnimationOutputs == 0 || maxNumAnimationSets == 0 || maxNumTracks == 0 || maxNumEvents == 0 ||
      maxNumEvents > kMaxEvents)
    return D3DERR_INVALIDCALL;
  if (!AnimationController::outputMapFits(maxNumAnimationOutputs, maxNumAnimationSets)) return E_OUTOFMEMORY;
  try {
    *animationController =
        new AnimationController(maxNumAnimationOutputs, maxNumAnimationSets, maxNumTracks, maxNumEvents);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::length_error&) {
    return E_OUTOFMEMORY;
  }
}
