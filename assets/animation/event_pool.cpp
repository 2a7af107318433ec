#include "event_pool.h"

#include <algorithm>

namespace d3dx {

namespace {

// Transitions shorter than this complete at once.
constexpr double kMinDuration = 1e-8;

// Handles carry the record index (plus one, so that 0 is never a handle) in the low 16 bits
// and the record's generation in the high 16 bits.
D3DXEVENTHANDLE makeHandle(UINT index, uint16_t generation) {
  return (D3DXEVENTHANDLE(generation) << 16) | (index + 1);
}

double progress(const AnimationEvent& e, double time) {
  if (e.desc.Duration <= kMinDuration) return 1.0;
  return std::clamp((time - e.desc.StartTime) / e.desc.Duration, 0.0, 1.0);
}

double shape(D3DXTRANSITION_TYPE transition, double u) {
  return transition == D3DXTRANSITION_EASEINEASEOUT ? (3.0 - 2.0 * u) * u * u : u;
}

// The integral of shape(progress(tau)) from the event's start to `time`.
double shapeIntegral(const AnimationEvent& e, double time) {
  const double d = e.desc.Duration;
  if (d <= kMinDuration) return std::max(0.0, time - e.desc.StartTime);
  const double u = progress(e, time);
  const double within =
      e.desc.Transition == D3DXTRANSITION_EASEINEASEOUT ? u * u * u - 0.5 * u * u * u * u : 0.5 * u * u;
  return d * within + std::max(0.0, time - e.desc.StartTime - d);
}

// Blend events keep their target in Weight.
double target(const AnimationEvent& e) { return e.desc.Type == D3DXEVENT_TRACKSPEED ? e.desc.Speed : e.desc.Weight; }

}  // namespace

double eventValue(const AnimationEvent& e, double time) {
  return e.from + (target(e) - e.from) * shape(e.desc.Transition, progress(e, time));
}

double eventDistance(const AnimationEvent& e, double a, double b) {
  return e.from * (b - a) + (target(e) - e.from) * (shapeIntegral(e, b) - shapeIntegral(e, a));
}

EventPool::EventPool(UINT capacity) : m_records(capacity) {
  m_free.reserve(capacity);
  for (UINT i = capacity; i-- > 0;) m_free.push_back(uint16_t(i));
}

D3DXEVENTHANDLE EventPool::add(const AnimationEvent& event) {
  if (m_free.empty()) return 0;
  const UINT index = m_free.back();
  m_free.pop_back();
  Record& r = m_records[index];
  r.event = event;
  r.live = true;
  return makeHandle(index, r.generation);
}

const AnimationEvent* EventPool::find(D3DXEVENTHANDLE handle) const {
  const UINT index = (handle & 0xffff) - 1;
  if ((handle & 0xffff) == 0 || index >= m_records.size()) return nullptr;
  const Record& r = m_records[index];
  return r.live && r.generation == (handle >> 16) ? &r.event : nullptr;
}

AnimationEvent* EventPool::find(D3DXEVENTHANDLE handle) {
  return const_cast<AnimationEvent*>(static_cast<const EventPool*>(this)->find(handle));
}

void EventPool::release(D3DXEVENTHANDLE handle) {
  if (find(handle) == nullptr) return;
  const UINT index = (handle & 0xffff) - 1;
  Record& r = m_records[index];
  r.live = false;
  r.generation = r.generation == 0xffff ? 1 : r.generation + 1;
  m_free.push_back(uint16_t(index));
}

}  // namespace d3dx
