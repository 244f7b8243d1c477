#include "SwapChain9.h"

#include "DeviceServices.h"
#include "GlContext.h"
#include "GlObjects.h"

#include <tarnvale_platform.h>

#include <cstring>

bool SwapChain9::create(DeviceServices& owner, GlContext* glContext, UINT width, UINT height, D3DFORMAT format)
{
    tracker = &owner.tracker();
    context = glContext;
    backWidth = width;
    backHeight = height;
    backFormat = format;
    backSurface = std::make_unique<Surface9>(&owner, Surface9::Kind::BackBuffer, width, height, format,
                                             D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET);
    rowScratch.resize(size_t{width} * 4);
    return chooseTarget();
}

void SwapChain9::destroy(bool deleteGlObjects)
{
    if (deleteGlObjects) {
        for (GLsync& fence : fences)
            if (fence) glDeleteSync(fence);
        if (framebuffer) {
            glDeleteFramebuffers(1, &framebuffer);
            tracker->forgetFramebuffer(framebuffer);
        }
        if (colorBuffer) glDeleteRenderbuffers(1, &colorBuffer);
        if (depthBuffer) glDeleteRenderbuffers(1, &depthBuffer);
    }
    for (GLsync& fence : fences) fence = nullptr;
    framebuffer = colorBuffer = depthBuffer = 0;
    backSurface.reset();
}

bool SwapChain9::ensureFramebuffer()
{
    if (framebuffer != 0) return true;
    const auto width = static_cast<int>(backWidth);
    const auto height = static_cast<int>(backHeight);
    colorBuffer = GlObjects::createRenderbuffer(*tracker, GL_RGBA8, width, height);
    // The depth format of the window's own framebuffer.
    static_assert(tvplat::windowDepthBits == 24 && tvplat::windowStencilBits == 8);
    depthBuffer = GlObjects::createRenderbuffer(*tracker, GL_DEPTH24_STENCIL8, width, height);
    framebuffer = GlObjects::createFramebuffer(*tracker, colorBuffer, depthBuffer);
    if (framebuffer == 0) {
        glDeleteRenderbuffers(1, &colorBuffer);
        glDeleteRenderbuffers(1, &depthBuffer);
        colorBuffer = depthBuffer = 0;
        return false;
    }
    return true;
}

bool SwapChain9::chooseTarget()
{
    const bool fits = context->windowFramebufferFits(static_cast<int>(backWidth), static_cast<int>(backHeight));
    offscreen = !fits && ensureFramebuffer();
    // Without a framebuffer object, only a window framebuffer of the right
    // size will do.
    return fits || offscreen;
}

void SwapChain9::bindTarget()
{
    tracker->bindDrawFramebuffer(offscreen ? framebuffer : 0);
}

void SwapChain9::present()
{
    context->present(*tracker, offscreen ? framebuffer : 0, static_cast<int>(backWidth), static_cast<int>(backHeight));

    // Keep the CPU at most two frames ahead: fence this frame, wait for the
    // one two frames back. Offscreen, nothing else would hold it back. (A
    // browser allows no waiting on fences; it paces the frames itself.)
    if (tracker->caps().fenceWaits) {
        const size_t slot = frame % (framesInFlight + 1);
        fences[slot] = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        tracker->countCall();
        if (frame >= framesInFlight) {
            const size_t waitSlot = (frame - framesInFlight) % (framesInFlight + 1);
            if (GLsync fence = fences[waitSlot]) {
                while (glClientWaitSync(fence, GL_SYNC_FLUSH_COMMANDS_BIT, 1000000000ull) == GL_TIMEOUT_EXPIRED) {
                }
                glDeleteSync(fence);
                tracker->countCall();
                fences[waitSlot] = nullptr;
            }
        }
    }
    ++frame;

    chooseTarget();
    bindTarget();
}

void SwapChain9::readBack(uint8_t* destination, UINT pitch, bool opaque)
{
    GlObjects::readPixels(*tracker, offscreen ? framebuffer : 0, static_cast<int>(backWidth), static_cast<int>(backHeight),
                          destination, pitch);
    // GL's rows run bottom-up; Direct3D's top-down.
    const size_t rowBytes = size_t{backWidth} * 4;
    for (UINT top = 0, bottom = backHeight - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = destination + size_t{top} * pitch;
        uint8_t* b = destination + size_t{bottom} * pitch;
        std::memcpy(rowScratch.data(), a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, rowScratch.data(), rowBytes);
    }
    if (opaque) {
        for (UINT y = 0; y < backHeight; ++y) {
            uint8_t* row = destination + size_t{y} * pitch;
            for (UINT x = 0; x < backWidth; ++x) row[x * 4 + 3] = 0xFF;
        }
    }
}
