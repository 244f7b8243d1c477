// The device's back buffer and its presentation.
//
// While the window's own framebuffer has the back buffer's size, the device
// renders straight into it and Present only swaps. Otherwise (the window was
// resized, and the back buffer keeps its size, as on Direct3D 9; or the
// context has no window framebuffer at all, as the software one) rendering
// goes to a framebuffer object of the back buffer's size, which the context
// shows stretched over the window. A fence per frame keeps the CPU at most
// two frames ahead of the GPU.
#pragma once

#include "GlStateTracker.h"
#include "Surface9.h"

#include <d3d9.h>
#include "GlApi.h"

#include <cstdint>
#include <memory>
#include <vector>

class DeviceServices;
class GlContext;

class SwapChain9 {
public:
    SwapChain9() = default;
    SwapChain9(const SwapChain9&) = delete;
    SwapChain9& operator=(const SwapChain9&) = delete;

    bool create(DeviceServices& device, GlContext* context, UINT width, UINT height, D3DFORMAT format);
    // Deletes the GL objects (context current) or only forgets them.
    void destroy(bool deleteGlObjects);

    UINT width() const { return backWidth; }
    UINT height() const { return backHeight; }
    D3DFORMAT format() const { return backFormat; }
    Surface9* surface() { return backSurface.get(); }
    // Binds the framebuffer the device renders into.
    void bindTarget();

    // Shows the frame; afterwards the device renders into whichever target
    // fits the window's current size.
    void present();
    // Frames presented so far, and how many of the first of them are known
    // to be finished (present waits until at most two are in flight).
    uint64_t presentedFrames() const { return frame; }
    uint64_t completedFrames() const { return frame > framesInFlight ? frame - framesInFlight : 0; }

    // Copies the back buffer into memory (rows from the top, B, G, R, A
    // bytes per pixel); opaque forces alpha to 255.
    void readBack(uint8_t* destination, UINT pitch, bool opaque);

private:
    // Draws into the window's framebuffer where it fits the back buffer,
    // else into a framebuffer object; false when neither can be had.
    bool chooseTarget();
    bool ensureFramebuffer();

    GlStateTracker* tracker = nullptr;
    GlContext* context = nullptr;
    UINT backWidth = 0;
    UINT backHeight = 0;
    D3DFORMAT backFormat = D3DFMT_X8R8G8B8;
    std::unique_ptr<Surface9> backSurface;
    bool offscreen = false;   // rendering into the framebuffer object
    GLuint framebuffer = 0;
    GLuint colorBuffer = 0;
    GLuint depthBuffer = 0;
    static constexpr int framesInFlight = 2;
    GLsync fences[framesInFlight + 1] = {};
    uint64_t frame = 0;
    std::vector<uint8_t> rowScratch;
};
