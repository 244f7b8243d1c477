#include "DeviceChild.h"

namespace {
uint32_t nextSerial = 1;
}

DeviceChild::DeviceChild(DeviceServices* owningDevice) : device(owningDevice), serialNumber(nextSerial++)
{
    device->comDevice()->AddRef();
}

DeviceChild::~DeviceChild() = default;

uint32_t DeviceChild::newSerial()
{
    return nextSerial++;
}

ULONG DeviceChild::addRefChild()
{
    if (references++ == 0) device->comDevice()->AddRef();
    return references;
}

ULONG DeviceChild::releaseChild()
{
    if (references == 0) return 0;  // an unbalanced Release; nothing to give back
    const ULONG left = --references;
    if (left == 0) {
        IDirect3DDevice9* const d = device->comDevice();
        if (bindings == 0) delete this;
        // The device may go now, after the object (whose GL names need the
        // device's context) is gone.
        d->Release();
    }
    return left;
}

HRESULT DeviceChild::getDevice(IDirect3DDevice9** out) const
{
    return device->handOutDevice(out);
}

void DeviceChild::dropBinding()
{
    if (bindings > 0 && --bindings == 0 && references == 0) delete this;
}
