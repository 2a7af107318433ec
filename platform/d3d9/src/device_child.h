// Objects made by a device. While the program holds a public reference to one, the object
// holds a public reference to its device, so the device outlives everything it made.
#pragma once

#include "com_object.h"
#include "device.h"

namespace d3d9 {

// What every resource here answers the same way: private data and priorities are not kept.
template <typename Base>
class ResourceDefaults : public Base {
 public:
  HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, const void*, DWORD, DWORD) override { return D3DERR_INVALIDCALL; }
  HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, void*, DWORD*) override { return D3DERR_NOTFOUND; }
  HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID) override { return D3DERR_NOTFOUND; }
  DWORD STDMETHODCALLTYPE SetPriority(DWORD) override { return 0; }
  DWORD STDMETHODCALLTYPE GetPriority() override { return 0; }
  void STDMETHODCALLTYPE PreLoad() override {}
};

template <typename Base>
class DeviceChild : public ComObject<ResourceDefaults<Base>> {
 public:
  explicit DeviceChild(Device* device) : m_device(device) {}

  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override {
    initReturnPtr(device);
    if (device == nullptr) return D3DERR_INVALIDCALL;
    m_device->AddRef();
    *device = m_device;
    return D3D_OK;
  }

  Device* device() const { return m_device; }

 protected:
  void onFirstPublicRef() override { m_device->AddRef(); }
  void onLastPublicRef() override {
    Device* device = m_device;
    this->releasePrivate();  // may delete this
    device->Release();
  }

 private:
  Device* m_device;
};

}  // namespace d3d9
