#include "animation_reader.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "x_data.h"

namespace d3dx::hierarchy {
namespace {

enum KeyType : DWORD { kRotation = 0, kScale = 1, kPosition = 2, kMatrix = 4 };

struct AnimationRecord {
  std::string target;
  std::vector<D3DXKEY_VECTOR3> scale;
  std::vector<D3DXKEY_QUATERNION> rotation;
  std::vector<D3DXKEY_VECTOR3> translation;
  bool seen[3] = {};  // key blocks read for rotation, scale, position
};

D3DXVECTOR3 unitAxis(int axis) {
  D3DXVECTOR3 v(0.0f, 0.0f, 0.0f);
  (&v.x)[axis] = 1.0f;
  return v;
}

// Splits a key matrix into scale, rotation and translation. Axes with (nearly) no scale are
// rebuilt from the larger ones so that the rotation stays a rotation; a mirroring matrix
// gives its largest axis a negative scale.
void decompose(const D3DXMATRIX& m, D3DXVECTOR3& scale, D3DXQUATERNION& rotation, D3DXVECTOR3& translation) {
  constexpr float kTiny = 0.0001f;
  translation = D3DXVECTOR3(m(3, 0), m(3, 1), m(3, 2));
  D3DXVECTOR3 rows[3];
  float s[3];
  for (int r = 0; r < 3; ++r) {
    rows[r] = D3DXVECTOR3(m(r, 0), m(r, 1), m(r, 2));
    s[r] = D3DXVec3Length(&rows[r]);
    if (s[r] > 0.0f) D3DXVec3Normalize(&rows[r], &rows[r]);
  }
  int order[3] = {0, 1, 2};
  // NaN lengths sort last, so the comparison stays a strict order.
  auto key = [&](int axis) { return std::isnan(s[axis]) ? -1.0f : s[axis]; };
  std::stable_sort(order, order + 3, [&](int a, int b) { return key(a) > key(b); });
  const int h = order[0], mid = order[1], low = order[2];
  if (s[h] < kTiny) rows[h] = unitAxis(h);
  if (s[mid] < kTiny) {
    int smallest = 0;
    for (int c = 1; c < 3; ++c)
      if (std::fabs((&rows[h].x)[c]) < std::fabs((&rows[h].x)[smallest])) smallest = c;
    const D3DXVECTOR3 axis = unitAxis(smallest);
    D3DXVec3Cross(&rows[mid], &rows[h], &axis);
    D3DXVec3Normalize(&rows[mid], &rows[mid]);
  }
  if (s[low] < kTiny) {
    D3DXVec3Cross(&rows[low], &rows[h], &rows[mid]);
    D3DXVec3Normalize(&rows[low], &rows[low]);
  }
  D3DXVECTOR3 cross;
  D3DXVec3Cross(&cross, &rows[1], &rows[2]);
  if (D3DXVec3Dot(&rows[0], &cross) < 0.0f) {
    s[h] = -s[h];
    rows[h] = D3DXVECTOR3(-rows[h].x, -rows[h].y, -rows[h].z);
  }
  scale = D3DXVECTOR3(s[0], s[1], s[2]);
  D3DXMATRIX r;
  D3DXMatrixIdentity(&r);
  for (int i = 0; i < 3; ++i) r(i, 0) = rows[i].x, r(i, 1) = rows[i].y, r(i, 2) = rows[i].z;
  D3DXQuaternionRotationMatrix(&rotation, &r);
  // Stored keys are conjugates: sampling negates x, y and z again.
  rotation = {-rotation.x, -rotation.y, -rotation.z, rotation.w};
}

// One AnimationKey block: key type, key count, then per key a time, a value count and the
// values, laid out by type (the value count is not checked against the layout).
HRESULT readKeys(ID3DXFileData* object, AnimationRecord& r) {
  DataCursor c(object);
  DWORD type = 0, count = 0;
  if (!c.read(type) || !c.read(count)) return E_FAIL;
  uint32_t words;
  switch (type) {
    case kRotation:
      words = 6;
      break;
    case kScale:
    case kPosition:
      words = 5;
      break;
    case kMatrix:
      words = 18;
      break;
    default:
      return S_OK;  // not a kind of key this loader knows
  }
  if (type == kMatrix ? (r.seen[0] || r.seen[1] || r.seen[2]) : r.seen[type]) return E_INVALIDARG;
  if (!c.holds(count, words * 4)) return E_FAIL;
  for (DWORD k = 0; k < count; ++k) {
    DWORD time = 0, values = 0;
    c.read(time), c.read(values);
    const float t = static_cast<float>(time);
    if (type == kRotation) {
      float wxyz[4];
      c.read(wxyz);
      r.rotation.push_back({t, {wxyz[1], wxyz[2], wxyz[3], wxyz[0]}});
    } else if (type == kMatrix) {
      D3DXMATRIX m;
      c.read(m);
      D3DXKEY_VECTOR3 s{t, {}}, p{t, {}};
      D3DXKEY_QUATERNION q{t, {}};
      decompose(m, s.Value, q.Value, p.Value);
      r.scale.push_back(s), r.rotation.push_back(q), r.translation.push_back(p);
    } else {
      D3DXVECTOR3 v;
      c.read(v);
      (type == kScale ? r.scale : r.translation).push_back({t, v});
    }
  }
  if (type == kMatrix) {
    // Neighbouring quaternions in one hemisphere, so that interpolation takes the short way.
    for (size_t k = 1; k < r.rotation.size(); ++k) {
      const D3DXQUATERNION& a = r.rotation[k - 1].Value;
      D3DXQUATERNION& b = r.rotation[k].Value;
      if (a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w < 0.0f) b = {-b.x, -b.y, -b.z, -b.w};
    }
    r.seen[0] = r.seen[1] = r.seen[2] = true;
  } else {
    r.seen[type] = true;
  }
  return S_OK;
}

HRESULT readAnimation(ID3DXFileData* object, AnimationRecord& r) {
  bool targetSeen = false;
  for (SIZE_T i = 0, n = childCount(object); i < n; ++i) {
    ComPtr<ID3DXFileData> child = childAt(object, i);
    if (!child) continue;
    const GUID type = typeOf(child.get());
    if (IsEqualGUID(type, kFrameId)) {
      r.target = nameOf(child.get());
      if (targetSeen || r.target.empty()) return E_INVALIDARG;
      targetSeen = true;
    } else if (IsEqualGUID(type, kAnimationKeyId)) {
      const HRESULT hr = readKeys(child.get(), r);
      if (FAILED(hr)) return hr;
    }
    // AnimationOptions and anything else carry nothing the set uses.
  }
  if (!targetSeen || (r.scale.empty() && r.rotation.empty() && r.translation.empty())) return E_FAIL;
  return S_OK;
}

}  // namespace

HRESULT readAnimationSet(ID3DXFileData* object, double ticksPerSecond, ComPtr<ID3DXKeyframedAnimationSet>& set) {
  set.reset();
  std::vector<AnimationRecord> records;
  for (SIZE_T i = 0, n = childCount(object); i < n; ++i) {
    ComPtr<ID3DXFileData> child = childAt(object, i);
    if (!child || !isType(child.get(), kAnimationId)) continue;
    AnimationRecord r;
    if (SUCCEEDED(readAnimation(child.get(), r))) records.push_back(std::move(r));
  }
  if (records.empty()) return S_OK;
  const std::string name = nameOf(object);
  HRESULT hr = D3DXCreateKeyframedAnimationSet(name.empty() ? nullptr : name.c_str(), ticksPerSecond, D3DXPLAY_LOOP,
                                               static_cast<UINT>(records.size()), 0, nullptr, set.receive());
  if (FAILED(hr)) return hr;
  // Registered last to first, as a list built by pushing on its front would give them.
  for (auto r = records.rbegin(); r != records.rend(); ++r) {
    hr = set->RegisterAnimationSRTKeys(r->target.c_str(), static_cast<UINT>(r->scale.size()),
                                       static_cast<UINT>(r->rotation.size()), static_cast<UINT>(r->translation.size()),
                                       r->scale.data(), r->rotation.data(), r->translation.data(), nullptr);
    if (FAILED(hr)) {
      set.reset();
      return hr;
    }
  }
  return S_OK;
}

}  // namespace d3dx::hierarchy
