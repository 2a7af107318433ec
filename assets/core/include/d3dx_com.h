// Reference counting for the asset library's interface objects, written once, and the
// smart pointer its code holds interfaces with. Not part of the published interface.
//
// An object starts with one reference, owned by whoever created it, and deletes itself when
// the last one is released.
#pragma once

#include <cassert>
#include <cstdint>
#include <utility>

#include <windows.h>

namespace d3dx {

template <typename Interface>
class RefCounted : public Interface {
 public:
  RefCounted() = default;
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refCount; }

  ULONG STDMETHODCALLTYPE Release() override {
    assert(m_refCount > 0 && "Release on an object nobody holds");
    if (m_refCount == 0) return 0;
    const uint32_t count = --m_refCount;
    if (count == 0) delete this;
    return count;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!IsEqualGUID(riid, IID_IUnknown) && !answersTo(riid)) return E_NOINTERFACE;
    AddRef();
    *object = static_cast<Interface*>(this);
    return S_OK;
  }

 protected:
  virtual ~RefCounted() = default;
  // True for the IIDs of Interface and its bases other than IUnknown.
  virtual bool answersTo(REFIID riid) const = 0;

 private:
  uint32_t m_refCount = 1;
};

// Holds one reference. adopt() takes over a reference the caller already owns (a creation
// function's result); set() adds one of its own.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr& other) { set(other.m_ptr); }
  ComPtr(ComPtr&& other) noexcept : m_ptr(std::exchange(other.m_ptr, nullptr)) {}
  ComPtr& operator=(const ComPtr& other) {
    set(other.m_ptr);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) adopt(std::exchange(other.m_ptr, nullptr));
    return *this;
  }
  ~ComPtr() { reset(); }

  static ComPtr adopting(T* object) {
    ComPtr p;
    p.m_ptr = object;
    return p;
  }
  void adopt(T* object) {
    T* old = std::exchange(m_ptr, object);
    if (old) old->Release();
  }
  void set(T* object) {
    if (object) object->AddRef();
    adopt(object);
  }
  void reset() { adopt(nullptr); }
  // Gives the reference away (to an out pointer).
  T* detach() { return std::exchange(m_ptr, nullptr); }
  // For creation functions that write an out pointer: releases what is held first.
  T** receive() {
    reset();
    return &m_ptr;
  }

  T* get() const { return m_ptr; }
  T* operator->() const { return m_ptr; }
  explicit operator bool() const { return m_ptr != nullptr; }

 private:
  T* m_ptr = nullptr;
};

}  // namespace d3dx
