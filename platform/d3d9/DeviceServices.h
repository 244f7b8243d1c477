// What the objects a device creates (textures, surfaces, buffers, vertex
// declarations, shaders, the swap chain) need of their device, and all they
// see of it: its GL context and the state that context holds, its counters,
// the varying locations its shaders share, its limits and its staging block,
// and the calls that let it forget what it made from an object that goes.
// The device derives from it; its children never include Device9.h.
#pragma once

#include "GlStateTracker.h"
#include "StagingBlock.h"
#include "VaryingRegistry.h"

#include <d3d9.h>
#include <tarnvale_d3d9.h>

#include "GlApi.h"

#include <cstdint>
#include <memory>

struct SDL_Window;
class GlContext;

class DeviceServices {
public:
    // The device as the application sees it: a child holds references on it
    // while it has references of its own, and hands it out (GetDevice).
    IDirect3DDevice9* comDevice() const { return com; }
    // GetDevice of every child: a new reference on the device in *out.
    HRESULT handOutDevice(IDirect3DDevice9** out) const;

    // Makes the device's context current; false once its window is gone.
    bool makeCurrent();
    // The GL state the context holds; every GL state call goes through it,
    // and it counts the other calls too.
    GlStateTracker& tracker() { return glState; }
    const tvd3d9::DeviceStats& stats() const { return counters; }
    // The varying locations every shader of the device shares.
    VaryingRegistry& varyings() { return varyingRegistry; }
    // The block that short-lived system-memory copies take turns in.
    StagingBlock& staging() { return stagingBlock; }
    // The largest texture width and height the context accepts.
    GLint maxTextureSize() const { return textureSizeLimit; }

    // Called by shaders and declarations as they are destroyed: whatever the
    // device made from them goes too.
    virtual void forgetShader(uint32_t serial) = 0;
    virtual void forgetDeclaration(uint32_t serial) = 0;

protected:
    DeviceServices(IDirect3DDevice9* com, HWND window, SDL_Window* sdlWindow);
    DeviceServices(const DeviceServices&) = delete;
    DeviceServices& operator=(const DeviceServices&) = delete;
    ~DeviceServices();

    std::unique_ptr<GlContext> context;
    tvd3d9::DeviceStats counters = {};
    StagingBlock stagingBlock;
    GlStateTracker glState;
    VaryingRegistry varyingRegistry;
    GLint textureSizeLimit = 4096;

private:
    IDirect3DDevice9* com;
    HWND window;
    SDL_Window* sdl;
    bool windowLost = false;
};
