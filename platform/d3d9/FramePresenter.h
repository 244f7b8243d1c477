// Where a frame drawn in software goes to be seen: the device window's 2-D
// surface, with no OpenGL involved. The software context reads each frame
// into the memory a presenter hands out and then lets it show it.
#pragma once

#include <cstdint>
#include <memory>

struct SDL_Window;

class FramePresenter {
public:
    // Memory for one frame of the window's current client area: `height`
    // rows from the top, `pitch` bytes apart, each pixel the bytes B, G, R, A
    // (A must be 255 where `keepsAlpha` says the window uses it).
    struct Frame {
        uint8_t* pixels;
        int width;
        int height;
        int pitch;
        bool keepsAlpha;

        // Sets A to 255 where the window uses it.
        void makeOpaque() const;
    };

    FramePresenter() = default;
    FramePresenter(const FramePresenter&) = delete;
    FramePresenter& operator=(const FramePresenter&) = delete;
    virtual ~FramePresenter() = default;

    // The presenter for the window's video driver: shared-memory XImages on
    // X11, wl_shm buffers on Wayland; null where a window shows nothing
    // (SDL's offscreen and dummy drivers) or cannot show these frames.
    static std::unique_ptr<FramePresenter> forWindow(SDL_Window* window);

    // False when nothing can be shown now (the window is hidden or
    // minimised, or its surface cannot be had): the frame is skipped.
    virtual bool beginFrame(Frame& frame) = 0;
    // Shows what was written into the frame's memory.
    virtual void endFrame() = 0;

protected:
    // The window's client size, when it can show a frame now (it is neither
    // hidden nor minimised, nor empty).
    static bool showsFrames(SDL_Window* window, int& width, int& height);
};
