// Reference counting and the COM plumbing shared by every object a device
// creates.
//
// COM rules as Direct3D 9 applies them: the creator holds the first public
// reference, AddRef/Release return the new count. While an object has public
// references it holds one public reference on its device, so a device is not
// destroyed while the application still holds anything made from it.
//
// Binding an object to the device (SetTexture, SetStreamSource, ...) does not
// change the public count. The device takes an internal binding instead; an
// object whose public count reaches zero while it is still bound stays alive
// (its GL objects too) until the device lets go of it.
#pragma once

#include "DeviceServices.h"

#include <d3d9.h>

#include <cstdint>

class DeviceChild {
public:
    explicit DeviceChild(DeviceServices* device);
    DeviceChild(const DeviceChild&) = delete;
    DeviceChild& operator=(const DeviceChild&) = delete;

    DeviceServices* owner() const { return device; }
    // A number unique among all objects of the process, never reused; caches
    // key on it instead of GL names, which GL may hand out again.
    uint32_t serial() const { return serialNumber; }
    // A fresh number from the same sequence, for things an object makes that
    // caches must tell apart from everything else.
    static uint32_t newSerial();

    void takeBinding() { ++bindings; }
    // Drops one binding; destroys the object when nothing holds it any more.
    void dropBinding();

    ULONG publicReferences() const { return references; }

protected:
    virtual ~DeviceChild();
    ULONG addRefChild();
    ULONG releaseChild();
    HRESULT getDevice(IDirect3DDevice9** out) const;

private:
    DeviceServices* device;
    ULONG references = 1;
    uint32_t bindings = 0;
    uint32_t serialNumber;
};

// A child implementing the Direct3D interface `Interface`: QueryInterface
// answers IUnknown and the identifiers listed (the interface's own and those
// of the interfaces it derives from), AddRef and Release keep the counts
// above, GetDevice hands out the device.
template <typename Interface, const IID&... identifiers>
class DeviceChildOf : public Interface, public DeviceChild {
public:
    HRESULT WINAPI QueryInterface(REFIID riid, void** ppvObj) override
    {
        if (ppvObj == nullptr) return E_POINTER;
        if (riid == IID_IUnknown || ((riid == identifiers) || ...)) {
            *ppvObj = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *ppvObj = nullptr;
        return E_NOINTERFACE;
    }
    ULONG WINAPI AddRef() override { return addRefChild(); }
    ULONG WINAPI Release() override { return releaseChild(); }
    HRESULT WINAPI GetDevice(IDirect3DDevice9** ppDevice) override { return getDevice(ppDevice); }

protected:
    explicit DeviceChildOf(DeviceServices* device) : DeviceChild(device) {}
};
