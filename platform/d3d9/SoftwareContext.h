// Mesa's software rasteriser (llvmpipe), chosen explicitly: an OpenGL 4.5
// core context on EGL's software device, with no window surface and no
// connection to the display, so it works whatever OpenGL the display offers
// (none, an older version, a broken or a hardware driver). The device draws
// into framebuffer objects; a frame is copied into the window's 2-D surface
// by a FramePresenter, rows turned top-down by the read itself
// (GL_MESA_pack_invert).
//
// Where the window's size differs from the back buffer's, the frame is first
// stretched into a window-sized framebuffer object.
//
// Each frame is read and shown in its own Present, as Direct3D shows it: an
// application that draws once sees its frame. The read waits until the frame
// is rasterised (Mesa's rasteriser finishes a read only after everything
// flushed before it); showing each frame one Present late, read while the
// next is drawn, measured about 5% faster on two cores, not worth a frame
// that an application drawing only now and then would never see.
//
// Mesa picks the rasteriser of the software device from GALLIUM_DRIVER when
// the EGL display starts, llvmpipe where it is not set; another value (such
// as softpipe, which offers no OpenGL 4.5) is replaced by llvmpipe for that
// moment only and then put back.
#pragma once

#include "FramePresenter.h"
#include "GlContext.h"

#include <memory>
#include <string>

struct SDL_Window;

class SoftwareContext : public GlContext {
public:
    // The context, current on return, and the presenter for the window;
    // null with the reason when Mesa's software rasteriser cannot be had.
    static std::unique_ptr<SoftwareContext> create(SDL_Window* window, bool debug, std::string& reason);
    ~SoftwareContext() override;

    bool isCurrent() const override;
    bool windowFramebufferFits(int, int) const override { return false; }
    void setSwapInterval(int) override {}
    void present(GlStateTracker& tracker, GLuint framebuffer, int width, int height) override;

private:
    SoftwareContext(void* display, void* context) : display(display), context(context) {}
    bool bind() override;
    void release() override;
    bool stretchTarget(GlStateTracker& tracker, int width, int height);
    void dropStretchTarget(GlStateTracker& tracker);

    void* display;  // EGLDisplay, shared by every software context
    void* context;  // EGLContext
    std::unique_ptr<FramePresenter> presenter;
    GLuint stretchFramebuffer = 0;
    GLuint stretchColor = 0;
    int stretchWidth = 0;
    int stretchHeight = 0;
};
