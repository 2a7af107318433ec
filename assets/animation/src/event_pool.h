// The animation controller's keyed events: a fixed pool of records handed out under handles
// that go stale when the record is released, and the transitions the events follow.
#pragma once

#include <cstdint>
#include <vector>

#include "d3dx9anim.h"

namespace d3dx {

struct AnimationEvent {
  D3DXEVENT_DESC desc{};  // target value in the union
  double from = 0.0;      // speed, weight or blend when the event began
};

// The value of a speed, weight or blend event at a global time.
double eventValue(const AnimationEvent& event, double time);
// The track distance a speed event covers from time a to time b (both at or after its start).
double eventDistance(const AnimationEvent& event, double a, double b);

class EventPool {
 public:
  explicit EventPool(UINT capacity);

  UINT capacity() const { return UINT(m_records.size()); }
  // A record holding `event`; 0 when every record is in use.
  D3DXEVENTHANDLE add(const AnimationEvent& event);
  // The live record behind a handle, or null for 0 and stale handles.
  AnimationEvent* find(D3DXEVENTHANDLE handle);
  const AnimationEvent* find(D3DXEVENTHANDLE handle) const;
  void release(D3DXEVENTHANDLE handle);

 private:
  struct Record {
    AnimationEvent event;
    uint16_t generation = 1;
    bool live = false;
  };

  std::vector<Record> m_records;
  std::vector<uint16_t> m_free;  // indices of records not in use
};

}  // namespace d3dx
