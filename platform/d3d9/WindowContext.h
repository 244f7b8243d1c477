// SDL's OpenGL context on the device window (the HAL device's, and the REF
// device's where the window's renderer is llvmpipe): drawing goes
// to the window's own framebuffer, or to a framebuffer object stretched onto
// it, and a frame is shown by swapping buffers.
#pragma once

#include "GlContext.h"

#include <memory>
#include <string>

struct SDL_Window;

class WindowContext : public GlContext {
public:
    // Which contexts a device can take: OpenGL 4.5 core alone (the
    // reference device's llvmpipe), or the best of 4.5 core, 3.3 core and
    // OpenGL ES 3.0 (the hardware device's).
    enum class Versions { Core45, Any };

    // A context on the window, current on return; null with the reason when
    // the window or its driver offers none of `versions`.
    static std::unique_ptr<WindowContext> create(SDL_Window* window, bool debug, Versions versions,
                                                 std::string& reason);
    ~WindowContext() override;

    bool isCurrent() const override;
    bool windowFramebufferFits(int width, int height) const override;
    void setSwapInterval(int interval) override;
    void present(GlStateTracker& tracker, GLuint framebuffer, int width, int height) override;

private:
    WindowContext(SDL_Window* window, void* context) : window(window), context(context) {}
    bool bind() override;
    void release() override;

    SDL_Window* window;
    void* context;
};
