// The OpenGL context a device draws with, and the way its frames reach the
// device window. There are two kinds, and only the device's creation knows
// which one it has:
//  * WindowContext (HAL, and REF where the window's renderer is llvmpipe):
//    SDL's GL context on the window itself; the window's own framebuffer (0)
//    is a render target and a frame is shown by swapping buffers.
//  * SoftwareContext (REF anywhere else): Mesa's software rasteriser on EGL,
//    with no window surface at all; frames are drawn into framebuffer
//    objects and copied into the window's 2-D surface.
//
// One thread may hold one current context of one window-system API at a
// time, so making a context current first releases the one made current
// before, whichever kind it was.
#pragma once

#include "GlCaps.h"

#include "GlApi.h"

#include <string>

class GlStateTracker;

class GlContext {
public:
    GlContext() = default;
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;
    virtual ~GlContext();

    // True when this context is current on the calling thread.
    virtual bool isCurrent() const = 0;
    bool makeCurrent();

    // Whether a back buffer of this size can be drawn straight into the
    // window's own framebuffer (0): there is one, and it has that size.
    virtual bool windowFramebufferFits(int width, int height) const = 0;
    virtual void setSwapInterval(int interval) = 0;
    // Shows a frame: `framebuffer` (a framebuffer object of width x height,
    // or 0 for the window's own framebuffer) over the window's client area,
    // stretched where the sizes differ. The context is current.
    virtual void present(GlStateTracker& tracker, GLuint framebuffer, int width, int height) = 0;

    // What the context offers, learnt when it was made.
    const GlCaps& caps() const { return glCaps; }

protected:
    // Learns what the context, current now, offers (no more than `ceiling`);
    // false with the reason when it is none of the kinds the layer draws
    // with.
    bool learnCaps(std::string& reason, GlCaps::Api ceiling = GlCaps::Api::Gl45)
    {
        return GlCaps::ofCurrentContext(glCaps, reason, ceiling);
    }

    // Makes this context current / makes no context of its kind current.
    virtual bool bind() = 0;
    virtual void release() = 0;
    // Makes no context of this layer current (before a new context is made,
    // which its creation makes current), and records the new one as current.
    static void releaseActive();
    void markActive();
    // To be called by a derived destructor while the context still exists.
    void forgetIfActive();

    // Copies the colour of one framebuffer onto another, stretched with
    // linear filtering. Blits obey the scissor test and the colour mask, so
    // both are opened first.
    static void stretch(GlStateTracker& tracker, GLuint source, int sourceWidth, int sourceHeight, GLuint target,
                        int targetWidth, int targetHeight);

    GlCaps glCaps;
};
