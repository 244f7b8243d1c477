#pragma once

#include <d3d9.h>

#include <string>

// Creates and owns the Direct3D 9 interface and the rendering device, falling
// back from hardware to the reference rasteriser, and records a description
// of the device it obtained.
class GraphicsDevice {
public:
    GraphicsDevice(HWND window, bool fullScreen, int32_t width, int32_t height);
    ~GraphicsDevice();

    GraphicsDevice(const GraphicsDevice&) = delete;
    GraphicsDevice& operator=(const GraphicsDevice&) = delete;

    // Null when no creation attempt succeeded.
    IDirect3DDevice9*& device();
    const std::string& description() const;

private:
    IDirect3D9* direct3d;
    IDirect3DDevice9* device_;
    std::string description_;
};
