// Mesa's software rasteriser (llvmpipe), chosen explicitly: an OpenGL 4.5
// core context on EGL's software device, with no window surface and no
// connection to the display, so it works whatever OpenGL the display offers
// (none, an older version, a broken or a hardware driver). The device draws
// into framebuffer objects; a frame is copied into the window's 2-D surface
// by a FramePresenter, rows turned top-down by the read itself
// (GL_MESA_pack_invert).
//
// Where the swap chain lets it, a frame is shown one Present late, so that
// the rasteriser works on it while the next frame is built: the next Present
// waits for it (usually done by then), reads it into the window's memory and
// only then flushes the new frame. Mesa's rasteriser would make the read
// wait for everything flushed before it, and a context switch flushes, so
// the read goes through a second context sharing this one's objects, and
// neither context flushes when it is made current or released
// (EGL_KHR_context_flush_control). Otherwise (the copy swap effect, a window
// whose size differs from the back buffer's, no second context) a frame is
// read at once, stretched first through a window-sized framebuffer object
// where the sizes differ.
//
// Mesa picks the rasteriser of the software device from GALLIUM_DRIVER when
// the EGL display starts; it is set to llvmpipe for that moment only (another
// value, such as softpipe, offers no OpenGL 4.5) and then put back.
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
    bool showsFramesLate() const override { return presenter != nullptr && reader != nullptr; }
    void setSwapInterval(int) override {}
    void present(GlStateTracker& tracker, GLuint framebuffer, GLuint colour, int width, int height,
                 bool late) override;

private:
    SoftwareContext(void* display, void* context) : display(display), context(context) {}
    bool bind() override;
    void release() override;
    bool stretchTarget(GlStateTracker& tracker, int width, int height);
    void makeReader(const int* attributes);
    // Reads the frame kept from the last Present into the window's memory.
    void readKept(const FramePresenter::Frame& frame);
    void dropKept();
    void presentAtOnce(GlStateTracker& tracker, GLuint framebuffer, int width, int height,
                       const FramePresenter::Frame& frame);

    void* display;  // EGLDisplay, shared by every software context
    void* context;  // EGLContext
    std::unique_ptr<FramePresenter> presenter;
    void* reader = nullptr;        // EGLContext sharing this one's objects, or null
    GLuint readerFramebuffer = 0;  // the reader's own
    GLuint keptColour = 0;         // the frame to show at the next Present...
    GLsync keptFence = nullptr;    // ...finished when this has passed
    GLuint stretchFramebuffer = 0;
    GLuint stretchColor = 0;
    int stretchWidth = 0;
    int stretchHeight = 0;
};
