// Placeholder: replaced by the real device set-up.
#include "app/GraphicsDevice.h"
GraphicsDevice::GraphicsDevice(HWND, bool, int32_t, int32_t) : direct3d(nullptr), device_(nullptr) {}
GraphicsDevice::~GraphicsDevice() = default;
IDirect3DDevice9*& GraphicsDevice::device() { return device_; }
const std::string& GraphicsDevice::description() const { return description_; }
