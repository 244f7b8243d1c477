// Frames shown through SDL's window surface: on X11 an XImage in memory
// shared with the X server (MIT-SHM) where it can, put into the window
// without any OpenGL on the display.
#pragma once

#include "FramePresenter.h"

class SurfacePresenter : public FramePresenter {
public:
    explicit SurfacePresenter(SDL_Window* window);

    bool beginFrame(Frame& frame) override;
    void endFrame() override;

private:
    SDL_Window* window;
    bool reported = false;  // a surface that could not be used was named once
};
