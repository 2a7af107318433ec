// The keyframed animation set: per animation three channels of keys sampled with linear
// interpolation (rotations too: per component, then normalised, as the original library does;
// keys are expected close enough for that to look like a slerp).
#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "d3dx9anim.h"
#include "d3dx_com.h"

extern "C" const IID IID_ID3DXAnimationSet = {
    0x30da71b3, 0x32cd, 0x4dd3, {0xbb, 0x61, 0xff, 0xd4, 0x74, 0x32, 0x84, 0x5f}};
extern "C" const IID IID_ID3DXKeyframedAnimationSet = {
    0x957d8071, 0x0525, 0x4053, {0x87, 0xe2, 0x9e, 0xda, 0xb1, 0x23, 0x43, 0xa9}};

namespace {

// Key segments and periods shorter than this are treated as empty.
constexpr double kMinSpan = 1e-8;

template <typename Key>
struct Channel {
  std::vector<Key> keys;  // never empty
  UINT cursor = 0;        // segment found by the last sample: successive samples are usually near
};

struct Animation {
  std::string name;
  Channel<D3DXKEY_VECTOR3> scale;
  Channel<D3DXKEY_QUATERNION> rotation;
  Channel<D3DXKEY_VECTOR3> translation;
};

// Which keys a sample blends: keys[from] + u * (keys[to] - keys[from]); from == to when the
// sample takes one key as it is.
struct KeyBlend {
  UINT from;
  UINT to;
  double u;
};

// The segment i with k[i] <= t <= k[i + 1] within [lo, hi), by bisection. Keys whose times do
// not ascend make the answer meaningless but never out of range.
template <typename Key>
UINT bisect(const std::vector<Key>& k, UINT lo, UINT hi, double t) {
  while (lo < hi) {
    const UINT mid = (lo + hi) / 2;
    if (t < k[mid].Time) {
      hi = mid;
    } else if (t > k[mid + 1].Time) {
      lo = mid + 1;
    } else {
      return mid;
    }
  }
  return std::min<UINT>(lo, UINT(k.size()) - 2);
}

// Needs k[0] < t < k[n - 1]: then the cursor's neighbours exist wherever they are looked at.
template <typename Key>
UINT findSegment(const std::vector<Key>& k, UINT cursor, double t) {
  const UINT n = UINT(k.size());
  const UINT c = std::min(cursor, n - 2);
  if (t > k[c + 1].Time) return t <= k[c + 2].Time ? c + 1 : bisect(k, c + 1, n - 1, t);
  if (t < k[c].Time) return t >= k[c - 1].Time ? c - 1 : bisect(k, 0, c, t);
  return c;
}

template <typename Key>
KeyBlend locate(Channel<Key>& channel, double t, bool backward) {
  const auto& k = channel.keys;
  const UINT n = UINT(k.size());
  if (n < 2 || !(k[0].Time < t && t < k[n - 1].Time)) {
    const UINT end = (n < 2 || t <= k[0].Time) ? 0 : n - 1;
    return {end, end, 0.0};
  }
  const UINT i = findSegment(k, channel.cursor, t);
  channel.cursor = i;
  const double span = double(k[i + 1].Time) - k[i].Time;
  if (span > kMinSpan) return {i, i + 1, std::clamp((t - k[i].Time) / span, 0.0, 1.0)};
  const UINT only = backward ? i + 1 : i;
  return {only, only, 0.0};
}

float lerp(float a, float b, double u) { return static_cast<float>(a + u * (double(b) - a)); }

D3DXVECTOR3 sampleVector(Channel<D3DXKEY_VECTOR3>& channel, double t, bool backward) {
  const KeyBlend b = locate(channel, t, backward);
  const D3DXVECTOR3& p = channel.keys[b.from].Value;
  if (b.from == b.to) return p;
  const D3DXVECTOR3& q = channel.keys[b.to].Value;
  return {lerp(p.x, q.x, b.u), lerp(p.y, q.y, b.u), lerp(p.z, q.z, b.u)};
}

// Stored keys are conjugates: x, y and z are negated on the way out.
D3DXQUATERNION sampleRotation(Channel<D3DXKEY_QUATERNION>& channel, double t, bool backward) {
  const KeyBlend b = locate(channel, t, backward);
  const D3DXQUATERNION& p = channel.keys[b.from].Value;
  if (b.from == b.to) return {-p.x, -p.y, -p.z, p.w};
  const D3DXQUATERNION& q = channel.keys[b.to].Value;
  D3DXQUATERNION r{lerp(-p.x, -q.x, b.u), lerp(-p.y, -q.y, b.u), lerp(-p.z, -q.z, b.u), lerp(p.w, q.w, b.u)};
  D3DXQuaternionNormalize(&r, &r);
  return r;
}

// A channel's keys as given, or its one default key when none are.
template <typename Key>
std::vector<Key> channelKeys(UINT count, const Key* keys, const Key& defaultKey) {
  if (count == 0) return {defaultKey};
  return std::vector<Key>(keys, keys + count);
}

template <typename Key>
HRESULT getKey(const std::vector<Key>& keys, UINT key, Key* out) {
  if (out == nullptr || key >= keys.size()) return D3DERR_INVALIDCALL;
  *out = keys[key];
  return S_OK;
}

template <typename Key>
HRESULT setKey(std::vector<Key>& keys, UINT key, const Key* in) {
  if (in == nullptr || key >= keys.size()) return D3DERR_INVALIDCALL;
  keys[key] = *in;
  return S_OK;
}

template <typename Key>
HRESULT getKeys(const std::vector<Key>& keys, Key* out) {
  if (out == nullptr) return D3DERR_INVALIDCALL;
  std::copy(keys.begin(), keys.end(), out);
  return S_OK;
}

template <typename Key>
HRESULT unregisterKey(Channel<Key>& channel, UINT key) {
  if (key >= channel.keys.size() || channel.keys.size() == 1) return D3DERR_INVALIDCALL;
  channel.keys.erase(channel.keys.begin() + key);
  channel.cursor = 0;
  return S_OK;
}

class KeyframedAnimationSet final : public d3dx::RefCounted<ID3DXKeyframedAnimationSet> {
 public:
  KeyframedAnimationSet(LPCSTR name, double ticksPerSecond, D3DXPLAYBACK_TYPE playback, UINT capacity,
                        std::vector<D3DXKEY_CALLBACK> callbackKeys)
      : m_hasName(name != nullptr),
        m_name(name ? name : ""),
        m_ticksPerSecond(ticksPerSecond),
        m_playback(playback),
        m_capacity(capacity),
        m_callbackKeys(std::move(callbackKeys)) {
    if (!m_callbackKeys.empty()) {
      const double last = m_callbackKeys.back().Time / m_ticksPerSecond;
      if (last >= kMinSpan) m_period = last;
    }
  }

  LPCSTR STDMETHODCALLTYPE GetName() override { return m_hasName ? m_name.c_str() : nullptr; }

  double STDMETHODCALLTYPE GetPeriod() override { return m_playback == D3DXPLAY_PINGPONG ? 2 * m_period : m_period; }

  double STDMETHODCALLTYPE GetPeriodicPosition(double position) override {
    switch (m_playback) {
      case D3DXPLAY_ONCE:
        return std::clamp(position, 0.0, m_period);
      case D3DXPLAY_PINGPONG:
        return wrap(position, 2 * m_period);
      default:
        return wrap(position, m_period);
    }
  }

  UINT STDMETHODCALLTYPE GetNumAnimations() override { return UINT(m_animations.size()); }

  HRESULT STDMETHODCALLTYPE GetAnimationNameByIndex(UINT index, LPCSTR* name) override {
    if (name == nullptr) return D3DERR_INVALIDCALL;
    *name = nullptr;
    if (index >= m_animations.size()) return D3DERR_INVALIDCALL;
    *name = m_animations[index].name.c_str();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetAnimationIndexByName(LPCSTR name, UINT* index) override {
    if (name == nullptr) return D3DERR_INVALIDCALL;
    const auto at = nameSlot(name);
    if (at == m_nameIndex.end() || m_animations[*at].name != name) return D3DERR_NOTFOUND;
    if (index) *index = *at;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetSRT(double periodicPosition, UINT animation, D3DXVECTOR3* scale,
                                   D3DXQUATERNION* rotation, D3DXVECTOR3* translation) override {
    if (animation >= m_animations.size()) return D3DERR_INVALIDCALL;
    bool backward = false;
    if (m_playback == D3DXPLAY_PINGPONG && periodicPosition >= m_period) {
      periodicPosition = 2 * m_period - periodicPosition;
      backward = true;
    }
    const double t = periodicPosition * m_ticksPerSecond;
    Animation& a = m_animations[animation];
    if (scale) *scale = sampleVector(a.scale, t, backward);
    if (rotation) *rotation = sampleRotation(a.rotation, t, backward);
    if (translation) *translation = sampleVector(a.translation, t, backward);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetCallback(double position, DWORD flags, double* callbackPosition,
                                        LPVOID* callbackData) override;

  D3DXPLAYBACK_TYPE STDMETHODCALLTYPE GetPlaybackType() override { return m_playback; }
  double STDMETHODCALLTYPE GetSourceTicksPerSecond() override { return m_ticksPerSecond; }

  UINT STDMETHODCALLTYPE GetNumScaleKeys(UINT animation) override { return keyCount(animation, &Animation::scale); }
  HRESULT STDMETHODCALLTYPE GetScaleKeys(UINT animation, LPD3DXKEY_VECTOR3 keys) override {
    return onKeys(animation, &Animation::scale, [&](auto& k) { return getKeys(k, keys); });
  }
  HRESULT STDMETHODCALLTYPE GetScaleKey(UINT animation, UINT key, LPD3DXKEY_VECTOR3 out) override {
    return onKeys(animation, &Animation::scale, [&](auto& k) { return getKey(k, key, out); });
  }
  HRESULT STDMETHODCALLTYPE SetScaleKey(UINT animation, UINT key, LPD3DXKEY_VECTOR3 in) override {
    return onKeys(animation, &Animation::scale, [&](auto& k) { return setKey(k, key, in); });
  }

  UINT STDMETHODCALLTYPE GetNumRotationKeys(UINT animation) override {
    return keyCount(animation, &Animation::rotation);
  }
  HRESULT STDMETHODCALLTYPE GetRotationKeys(UINT animation, LPD3DXKEY_QUATERNION keys) override {
    return onKeys(animation, &Animation::rotation, [&](auto& k) { return getKeys(k, keys); });
  }
  HRESULT STDMETHODCALLTYPE GetRotationKey(UINT animation, UINT key, LPD3DXKEY_QUATERNION out) override {
    return onKeys(animation, &Animation::rotation, [&](auto& k) { return getKey(k, key, out); });
  }
  HRESULT STDMETHODCALLTYPE SetRotationKey(UINT animation, UINT key, LPD3DXKEY_QUATERNION in) override {
    return onKeys(animation, &Animation::rotation, [&](auto& k) { return setKey(k, key, in); });
  }

  UINT STDMETHODCALLTYPE GetNumTranslationKeys(UINT animation) override {
    return keyCount(animation, &Animation::translation);
  }
  HRESULT STDMETHODCALLTYPE GetTranslationKeys(UINT animation, LPD3DXKEY_VECTOR3 keys) override {
    return onKeys(animation, &Animation::translation, [&](auto& k) { return getKeys(k, keys); });
  }
  HRESULT STDMETHODCALLTYPE GetTranslationKey(UINT animation, UINT key, LPD3DXKEY_VECTOR3 out) override {
    return onKeys(animation, &Animation::translation, [&](auto& k) { return getKey(k, key, out); });
  }
  HRESULT STDMETHODCALLTYPE SetTranslationKey(UINT animation, UINT key, LPD3DXKEY_VECTOR3 in) override {
    return onKeys(animation, &Animation::translation, [&](auto& k) { return setKey(k, key, in); });
  }

  UINT STDMETHODCALLTYPE GetNumCallbackKeys() override { return UINT(m_callbackKeys.size()); }
  HRESULT STDMETHODCALLTYPE GetCallbackKeys(LPD3DXKEY_CALLBACK keys) override { return getKeys(m_callbackKeys, keys); }
  HRESULT STDMETHODCALLTYPE GetCallbackKey(UINT key, LPD3DXKEY_CALLBACK out) override {
    return getKey(m_callbackKeys, key, out);
  }
  HRESULT STDMETHODCALLTYPE SetCallbackKey(UINT key, LPD3DXKEY_CALLBACK in) override {
    return setKey(m_callbackKeys, key, in);
  }

  HRESULT STDMETHODCALLTYPE UnregisterScaleKey(UINT animation, UINT key) override {
    return onChannel(animation, &Animation::scale, [&](auto& c) { return unregisterKey(c, key); });
  }
  HRESULT STDMETHODCALLTYPE UnregisterRotationKey(UINT animation, UINT key) override {
    return onChannel(animation, &Animation::rotation, [&](auto& c) { return unregisterKey(c, key); });
  }
  HRESULT STDMETHODCALLTYPE UnregisterTranslationKey(UINT animation, UINT key) override {
    return onChannel(animation, &Animation::translation, [&](auto& c) { return unregisterKey(c, key); });
  }

  HRESULT STDMETHODCALLTYPE RegisterAnimationSRTKeys(LPCSTR name, UINT numScaleKeys, UINT numRotationKeys,
                                                     UINT numTranslationKeys, const D3DXKEY_VECTOR3* scaleKeys,
                                                     const D3DXKEY_QUATERNION* rotationKeys,
                                                     const D3DXKEY_VECTOR3* translationKeys,
                                                     DWORD* animationIndex) override;

  HRESULT STDMETHODCALLTYPE Compress(DWORD, FLOAT, LPD3DXFRAME, LPD3DXBUFFER* compressedData) override {
    if (compressedData) *compressedData = nullptr;
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE UnregisterAnimation(UINT index) override {
    if (index >= m_animations.size()) return D3DERR_INVALIDCALL;
    m_nameIndex.erase(std::find(m_nameIndex.begin(), m_nameIndex.end(), index));
    for (UINT& i : m_nameIndex)
      if (i > index) --i;
    m_animations.erase(m_animations.begin() + index);
    return S_OK;
  }

 private:
  bool answersTo(REFIID riid) const override {
    return IsEqualGUID(riid, IID_ID3DXAnimationSet) || IsEqualGUID(riid, IID_ID3DXKeyframedAnimationSet);
  }

  static double wrap(double position, double cycle) {
    const double r = std::fmod(position, cycle);
    return r < 0 ? r + cycle : r;
  }

  // Where `name` is or would be in the sorted name index (byte-wise order).
  std::vector<UINT>::iterator nameSlot(std::string_view name) {
    return std::lower_bound(m_nameIndex.begin(), m_nameIndex.end(), name,
                            [this](UINT i, std::string_view n) { return std::string_view(m_animations[i].name) < n; });
  }

  template <typename Key>
  UINT keyCount(UINT animation, Channel<Key> Animation::*channel) const {
    return animation < m_animations.size() ? UINT((m_animations[animation].*channel).keys.size()) : 0;
  }

  // Runs `op` on a channel of an animation; D3DERR_INVALIDCALL for an animation not there.
  template <typename Key, typename Op>
  HRESULT onChannel(UINT animation, Channel<Key> Animation::*channel, Op op) {
    return animation < m_animations.size() ? op(m_animations[animation].*channel) : D3DERR_INVALIDCALL;
  }
  template <typename Key, typename Op>
  HRESULT onKeys(UINT animation, Channel<Key> Animation::*channel, Op op) {
    return onChannel(animation, channel, [&](Channel<Key>& c) { return op(c.keys); });
  }

  bool m_hasName;
  std::string m_name;
  double m_ticksPerSecond;
  D3DXPLAYBACK_TYPE m_playback;
  UINT m_capacity;
  double m_period = 1.0;  // seconds, one pass
  std::vector<Animation> m_animations;
  std::vector<UINT> m_nameIndex;  // animation indices sorted by name
  std::vector<D3DXKEY_CALLBACK> m_callbackKeys;
};

HRESULT KeyframedAnimationSet::RegisterAnimationSRTKeys(LPCSTR name, UINT numScaleKeys, UINT numRotationKeys,
                                                        UINT numTranslationKeys, const D3DXKEY_VECTOR3* scaleKeys,
                                                        const D3DXKEY_QUATERNION* rotationKeys,
                                                        const D3DXKEY_VECTOR3* translationKeys, DWORD* animationIndex) {
  if (m_animations.size() >= m_capacity || name == nullptr) return D3DERR_INVALIDCALL;
  if ((numScaleKeys && !scaleKeys) || (numRotationKeys && !rotationKeys) || (numTranslationKeys && !translationKeys))
    return D3DERR_INVALIDCALL;
  const auto slot = nameSlot(name);
  if (slot != m_nameIndex.end() && m_animations[*slot].name == name) return D3DERR_INVALIDCALL;

  try {
    Animation a;
    a.name = name;
    a.scale.keys = channelKeys(numScaleKeys, scaleKeys, {0.0f, D3DXVECTOR3(1, 1, 1)});
    a.rotation.keys = channelKeys(numRotationKeys, rotationKeys, {0.0f, D3DXQUATERNION{0, 0, 0, 1}});
    a.translation.keys = channelKeys(numTranslationKeys, translationKeys, {0.0f, D3DXVECTOR3(0, 0, 0)});
    const double lastTick = std::max({std::fabs(a.scale.keys.back().Time), std::fabs(a.rotation.keys.back().Time),
                                      std::fabs(a.translation.keys.back().Time)});
    m_nameIndex.reserve(m_nameIndex.size() + 1);
    m_animations.push_back(std::move(a));
    // The first animation replaces the period made up at creation, unless callback keys set it.
    const UINT index = UINT(m_animations.size() - 1);
    double period = lastTick / m_ticksPerSecond;
    if (index > 0 || !m_callbackKeys.empty()) period = std::max(period, m_period);
    m_period = period < kMinSpan ? 1.0 : period;
    m_nameIndex.insert(nameSlot(name), index);
    if (animationIndex) *animationIndex = index;
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

// Occurrences of the callback keys are searched in the pass of `position` and its two
// neighbours, compared as absolute positions so that a position returned earlier is found
// again exactly (and skipped when excluded).
HRESULT KeyframedAnimationSet::GetCallback(double position, DWORD flags, double* callbackPosition,
                                           LPVOID* callbackData) {
  const bool behind = flags & D3DXCALLBACK_SEARCH_BEHIND_INITIAL_POSITION;
  const bool excluding = flags & D3DXCALLBACK_SEARCH_EXCLUDING_INITIAL_POSITION;
  const double cycle = m_playback == D3DXPLAY_ONCE ? 0.0 : GetPeriod();
  const double pass = cycle > 0 ? std::floor(position / cycle) : 0.0;
  bool found = false;
  double best = 0.0;
  LPVOID bestData = nullptr;
  auto consider = [&](double at, LPVOID data) {
    const bool ahead =
        behind ? (excluding ? at < position : at <= position) : (excluding ? at > position : at >= position);
    if (!ahead || (found && (behind ? at <= best : at >= best))) return;
    found = true;
    best = at;
    bestData = data;
  };
  for (const D3DXKEY_CALLBACK& key : m_callbackKeys) {
    const double t = key.Time / m_ticksPerSecond;
    if (cycle == 0.0) {
      consider(t, key.pCallbackData);
      continue;
    }
    if (t < 0 || t > m_period) continue;  // never reached by a repeating set
    for (double p = pass - 1; p <= pass + 1; ++p) {
      consider(p * cycle + t, key.pCallbackData);
      if (m_playback == D3DXPLAY_PINGPONG) consider(p * cycle + cycle - t, key.pCallbackData);
    }
  }
  if (!found) return D3DERR_NOTFOUND;
  if (callbackPosition) *callbackPosition = best;
  if (callbackData) *callbackData = bestData;
  return S_OK;
}

}  // namespace

extern "C" HRESULT WINAPI D3DXCreateKeyframedAnimationSet(LPCSTR name, double ticksPerSecond,
                                                          D3DXPLAYBACK_TYPE playback, UINT numAnimations,
                                                          UINT numCallbackKeys, const D3DXKEY_CALLBACK* callbackKeys,
                                                          LPD3DXKEYFRAMEDANIMATIONSET* animationSet) {
  if (animationSet == nullptr) return D3DERR_INVALIDCALL;
  *animationSet = nullptr;
  if ((callbackKeys == nullptr && numCallbackKeys != 0) || UINT(playback) > D3DXPLAY_PINGPONG || numAnimations == 0 ||
      !(ticksPerSecond >= kMinSpan))
    return D3DERR_INVALIDCALL;
  try {
    std::vector<D3DXKEY_CALLBACK> keys(callbackKeys, callbackKeys + numCallbackKeys);
    *animationSet = new KeyframedAnimationSet(name, ticksPerSecond, playback, numAnimations, std::move(keys));
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}
