// Reference counting for every interface object of this layer, written once.
//
// Each object has a public count (what AddRef/Release report) and a private count. The
// device's bindings (SetTexture, SetStreamSource, SetIndices) hold private references: they
// keep the object's memory alive without keeping it "alive" for the program, so a device
// holding a texture it is bound to does not form a cycle with the texture holding its
// device. An object is deleted when both counts reach zero.
#pragma once

#include <cassert>
#include <cstdint>
#include <utility>

#include "d3d9.h"

namespace d3d9 {

template <typename Base>
class ComObject : public Base {
 public:
  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;
  virtual ~ComObject() = default;

  ULONG STDMETHODCALLTYPE AddRef() override {
    const uint32_t count = m_refCount++;
    if (count == 0) {
      addRefPrivate();
      onFirstPublicRef();
    }
    return count + 1;
  }

  ULONG STDMETHODCALLTYPE Release() override {
    // An over-release is always the caller's bug: loud in debug builds, and the count never
    // goes negative in release builds.
    assert(m_refCount > 0 && "Release of an object whose count is already zero");
    if (m_refCount == 0) return 0;
    const uint32_t count = --m_refCount;
    if (count == 0) onLastPublicRef();
    return count;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    void* found = interfaceFor(riid);
    if (found == nullptr) return E_NOINTERFACE;
    AddRef();
    *object = found;
    return S_OK;
  }

  void addRefPrivate() { ++m_refPrivate; }
  void releasePrivate() {
    if (--m_refPrivate == 0) delete this;
  }
  uint32_t publicRefCount() const { return m_refCount; }

 protected:
  // The object's interfaces, by IID; null for any other IID.
  virtual void* interfaceFor(REFIID riid) = 0;
  virtual void onFirstPublicRef() {}
  // Runs when the public count reaches zero; drops the private reference the public ones held.
  virtual void onLastPublicRef() { releasePrivate(); }

 private:
  uint32_t m_refCount = 0;
  uint32_t m_refPrivate = 0;
};

// A reference this layer holds, RAII: a public one (ComPtr) or a private one (PrivateRef, a
// device binding). Setting the pointer it already holds is a no-op, so a held object is never
// destroyed by being bound again.
template <typename T, bool kPublic>
class Ref {
 public:
  Ref() = default;
  explicit Ref(T* object) { set(object); }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() { reset(); }
  void set(T* object) {
    if (object == m_ptr) return;
    if (object) acquire(object);
    T* old = std::exchange(m_ptr, object);
    if (old) release(old);
  }
  void reset() { set(nullptr); }
  T* get() const { return m_ptr; }
  T* operator->() const { return m_ptr; }
  explicit operator bool() const { return m_ptr != nullptr; }

 private:
  static void acquire(T* object) {
    if constexpr (kPublic)
      object->AddRef();
    else
      object->addRefPrivate();
  }
  static void release(T* object) {
    if constexpr (kPublic)
      object->Release();
    else
      object->releasePrivate();
  }
  T* m_ptr = nullptr;
};

template <typename T>
using ComPtr = Ref<T, true>;
template <typename T>
using PrivateRef = Ref<T, false>;

// Clears an out-pointer before anything can fail, so callers never see stale values.
template <typename T>
void initReturnPtr(T** pointer) {
  if (pointer) *pointer = nullptr;
}

}  // namespace d3d9
