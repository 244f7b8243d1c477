#pragma once

#include <d3d9.h>

#include <cstdint>
#include <string>

// Creates and owns the Direct3D 9 interface and the rendering device, falling
// back from hardware to the reference rasteriser, and records a description
// of the device it obtained.
class GraphicsDevice {
public:
    // The function that makes the Direct3D 9 interface: Direct3DCreate9 in
    // the program; tests hand in a stand-in to drive the fall-back path.
    typedef IDirect3D9* (*Direct3DFactory)(UINT sdkVersion);

    GraphicsDevice(HWND window, bool fullScreen, int32_t width, int32_t height);
    GraphicsDevice(HWND window, bool fullScreen, int32_t width, int32_t height, Direct3DFactory createDirect3D);
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
